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

namespace {

// The library's references, and one loaded copy exactly while there are any.
void ExpectReferences(int references) {
    EXPECT_EQ(ClientLibraryReferences(), references);
    EXPECT_EQ(LoadedClientCopies(), references ? 1 : 0);
}

} // namespace

TEST(MySQLClientLibrary, LoadedOnceForAllConnectionsAndUnloadedWithTheLast) {
    ExpectReferences(0);
    std::string path;
    {
        CMySQLConnection first, second;
        ASSERT_TRUE(first.Init(""));
        EXPECT_TRUE(first.Init("")); // bound already: no second reference
        ASSERT_EQ(LoadedClientCopies(&path), 1);
        // The same library named by its folder is the loaded one.
        const CString folder = path.substr(0, path.rfind('/') + 1).c_str();
        ASSERT_TRUE(second.Init(folder));
        {
            CMySQLConnection copy(second);
            ExpectReferences(3);
        }
        first.Release();
        ExpectReferences(1);
        second.Release();
        ExpectReferences(0);
        ASSERT_TRUE(first.Init(folder)); // bound again, loaded again; the destructor lets it go
        ExpectReferences(1);
    }
    ExpectReferences(0);
}

namespace {

// Runs `count` small queries and checks every answer; how many were wrong.
int WrongAnswers(CMySQLConnection& connection, int thread, int count) {
    int wrong = 0;
    const std::string name = "thread " + std::to_string(thread);
    for (int i = 0; i < count; ++i) {
        const bool done = connection.DoQuery(("SELECT " + std::to_string(i) + ", '" + name + "', NULL").c_str());
        CMySQLResult result = connection.GetResult();
        wrong += !done || !result.NextRow() || result.GetField(0).str() != std::to_string(i) ||
                 result.GetField(1).str() != name || !result.GetField(2).IsEmpty() || result.NextRow();
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
        ExpectReferences(kThreads);
        goOn = true;
        changed.notify_all();
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong, 0);
    ExpectReferences(0);
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
        ExpectReferences(0); // an incomplete one is unloaded again

        // Nothing else does anything then.
        MessageBoxRecorder boxes;
        EXPECT_FALSE(connection.Connect("localhost", kUser, kPassword, kDatabase));
        EXPECT_EQ(connection.GetMYSQL(), nullptr);
        EXPECT_FALSE(connection.DoQuery("SELECT 1"));
        EXPECT_FALSE(connection.GetResult().NextRow());
        EXPECT_TRUE(boxes.boxes.empty());
    }
}
