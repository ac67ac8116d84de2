// The client library: bound from a folder, loaded once for every connection
// of the process, unloaded with the last reference, and refused when absent
// or incomplete. Loaded copies are counted in /proc/self/maps.
#include "db/DbTestSupport.h"
#include "support/TestSupport.h"

#include <zep3/db/detail/ClientLibrary.h>

#include <chrono>
#include <condition_variable>
#include <thread>

using namespace dbtest;
using zep3::detail::ClientLibraryReferences;

TEST(MySQLClientLibrary, LoadedOnceForAllConnectionsAndUnloadedWithTheLast) {
    ASSERT_EQ(LoadedClientCopies(), 0);
    std::string path;
    {
        CMySQLConnection first;
        ASSERT_TRUE(first.Init(""));
        EXPECT_TRUE(first.Init("")); // bound already: no second reference
        ASSERT_EQ(LoadedClientCopies(&path), 1);
        EXPECT_EQ(ClientLibraryReferences(), 1);

        // The same library named by its folder is the loaded one.
        const CString folder = path.substr(0, path.rfind('/') + 1).c_str();
        CMySQLConnection second;
        ASSERT_TRUE(second.Init(folder));
        EXPECT_EQ(LoadedClientCopies(), 1);
        {
            CMySQLConnection copy(second);
            EXPECT_EQ(ClientLibraryReferences(), 3);
        }
        first.Release();
        EXPECT_EQ(ClientLibraryReferences(), 1);
        EXPECT_EQ(LoadedClientCopies(), 1);
        second.Release();
        EXPECT_EQ(ClientLibraryReferences(), 0);
        EXPECT_EQ(LoadedClientCopies(), 0);

        // Bound again, it is loaded again; the destructor lets it go.
        ASSERT_TRUE(first.Init(folder));
        EXPECT_EQ(LoadedClientCopies(), 1);
    }
    EXPECT_EQ(ClientLibraryReferences(), 0);
    EXPECT_EQ(LoadedClientCopies(), 0);
}

namespace {

// Runs `count` small queries and checks every answer; how many were wrong.
int WrongAnswers(CMySQLConnection& connection, int thread, int count) {
    int wrong = 0;
    CString statement, name;
    name.Format("thread %d", thread);
    for (int i = 0; i < count; ++i) {
        statement.Format("SELECT %d, '%s', NULL", i, (const char*)name);
        if (!connection.DoQuery(statement)) {
            ++wrong;
            continue;
        }
        CMySQLResult result = connection.GetResult();
        wrong += !result.NextRow() || result.GetField(0).str() != std::to_string(i) || result.GetField(1) != name ||
                 !result.GetField(2).IsEmpty() || result.NextRow();
    }
    return wrong;
}

} // namespace

// Eight threads with their own connections query at once, then hold their
// connections: one loaded library serves them all, and each connection
// lets it go on its own thread.
TEST(MySQLClientLibrary, SharedByConnectionsQueryingOnSeveralThreads) {
    ASSERT_NE(SharedServer(), nullptr);
    constexpr int kThreads = 8, kQueries = 10000;
    std::mutex lock;
    std::condition_variable changed;
    int connected = 0, wrong = 0;
    bool goOn = false;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            CMySQLConnection connection;
            const int failed = ConnectTestUser(connection) ? WrongAnswers(connection, t, kQueries) : kQueries;
            std::unique_lock<std::mutex> guard(lock);
            wrong += failed;
            ++connected;
            changed.notify_all();
            changed.wait_for(guard, std::chrono::seconds(240), [&] { return goOn; });
        });

    {
        std::unique_lock<std::mutex> guard(lock);
        EXPECT_TRUE(changed.wait_for(guard, std::chrono::seconds(240), [&] { return connected == kThreads; }));
        EXPECT_EQ(ClientLibraryReferences(), kThreads);
        EXPECT_EQ(LoadedClientCopies(), 1);
        goOn = true;
        changed.notify_all();
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(ClientLibraryReferences(), 0);
    EXPECT_EQ(LoadedClientCopies(), 0);
}

TEST(MySQLClientLibrary, FolderWithoutTheLibraryOrWithAnIncompleteOne) {
    zep3test::TempDir empty;
    const std::string incomplete[] = {ZEP3TEST_CLIENT_WITHOUT_FIRST, ZEP3TEST_CLIENT_WITHOUT_LAST};
    // Plain concatenation: a folder without its separator names another file.
    std::string withoutSeparator = incomplete[0];
    withoutSeparator.pop_back();
    for (const std::string& folder : {empty.path() + "/", incomplete[0], incomplete[1], withoutSeparator}) {
        SCOPED_TRACE(folder);
        CMySQLConnection connection;
        EXPECT_FALSE(connection.Init(folder.c_str()));
        EXPECT_EQ(ClientLibraryReferences(), 0);
        EXPECT_EQ(LoadedClientCopies(), 0); // an incomplete one is unloaded again

        // Nothing else does anything then.
        MessageBoxRecorder boxes;
        EXPECT_FALSE(connection.Connect("localhost", kUser, kPassword, kDatabase));
        EXPECT_EQ(connection.GetMYSQL(), nullptr);
        EXPECT_FALSE(connection.DoQuery("SELECT 1"));
        EXPECT_FALSE(connection.GetResult().NextRow());
        EXPECT_TRUE(boxes.Boxes().empty());
        connection.Release();
    }
    EXPECT_EQ(ClientLibraryReferences(), 0);
}
