// Load: eight threads, each with its own connection, run many small queries
// at once and check every answer.
#include "db/DbTestSupport.h"

#include <zep3/db/detail/ClientLibrary.h>

#include <atomic>
#include <thread>

using namespace dbtest;

TEST(MySQLLoad, EightThreadsWithTheirOwnConnections) {
    ASSERT_NE(SharedServer(), nullptr);
    constexpr int kThreads = 8, kQueries = 10000;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &wrong] {
            CMySQLConnection connection;
            if (!ConnectTestUser(connection)) {
                wrong += kQueries;
                return;
            }
            CString statement, thread;
            thread.Format("thread %d", t);
            for (int i = 0; i < kQueries; ++i) {
                statement.Format("SELECT %d, '%s', NULL", i, (const char*)thread);
                if (!connection.DoQuery(statement)) {
                    ++wrong;
                    continue;
                }
                CMySQLResult result = connection.GetResult();
                if (!result.NextRow() || result.GetField(0).str() != std::to_string(i) ||
                    result.GetField(1) != thread || !result.GetField(2).IsEmpty() || result.NextRow())
                    ++wrong;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(zep3::detail::ClientLibraryReferences(), 0);
}
