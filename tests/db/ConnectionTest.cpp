// Connections to the suite's server: through its socket and its port,
// refused ones, statements and their errors, copies, and the server going
// away in the middle of a session.
#include "db/DbTestSupport.h"

#include "support/TestSupport.h"

#include <zep3/db/detail/ClientLibrary.h>

using namespace dbtest;
using Rows_t = std::vector<std::vector<std::string>>;

namespace {

// The connection's own row of the server's process list: its host and user.
Rows_t Whoami(CMySQLConnection& connection) {
    return Rows(connection, "SELECT SUBSTRING_INDEX(HOST, ':', 1), USER FROM information_schema.PROCESSLIST "
                            "WHERE ID = CONNECTION_ID()");
}

} // namespace

TEST(MySQLConnection, ConnectsThroughTheSocketAndThePort) {
    for (const char* host : {"localhost", "127.0.0.1"}) {
        SCOPED_TRACE(host);
        CMySQLConnection connection;
        ASSERT_TRUE(ConnectTestUser(connection, host));
        EXPECT_EQ(Whoami(connection), (Rows_t{{host, kUser}}));
    }
}

TEST(MySQLConnection, RefusedConnectionsKeepTheirHandleUntilClosed) {
    MariaDbServer* server = SharedServer();
    ASSERT_NE(server, nullptr);
    // The library reads its default port when it is loaded.
    ASSERT_EQ(zep3::detail::ClientLibraryReferences(), 0);
    int port = 0;
    const int refusing = BindFreeLoopbackPort(port);
    ASSERT_GE(refusing, 0);
    setenv("MYSQL_TCP_PORT", std::to_string(port).c_str(), 1);
    {
        CMySQLConnection connection;
        ASSERT_TRUE(connection.Init(""));
        EXPECT_FALSE(connection.Connect("127.0.0.1", kUser, kPassword, kDatabase));
        // (followed by the system's error number, which the library takes
        // from its connect call in progress)
        EXPECT_EQ(ClientError(connection.GetMYSQL()).rfind("Can't connect to server on '127.0.0.1' (", 0), 0u);
        EXPECT_FALSE(connection.Connect("localhost", kUser, "wrong", kDatabase));
        ASSERT_NE(connection.GetMYSQL(), nullptr);
        EXPECT_EQ(ClientError(connection.GetMYSQL()), "Access denied for user 'zep3'@'localhost' (using password: YES)");
        EXPECT_FALSE(connection.Connect("localhost", kUser, kPassword, "nosuchdb"));
        EXPECT_EQ(ClientError(connection.GetMYSQL()), "Access denied for user 'zep3'@'localhost' to database 'nosuchdb'");
        MessageBoxRecorder boxes;
        EXPECT_FALSE(connection.DoQuery("SELECT 1")) << "a refused handle runs no statement";
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_FALSE(boxes.boxes[0].text.empty()) << "the library says why";
        connection.Close();
        EXPECT_EQ(connection.GetMYSQL(), nullptr);
        EXPECT_TRUE(connection.Connect("localhost", kUser, kPassword, kDatabase));
    }
    server->SetClientDefaults();
    close(refusing);
}

TEST(MySQLConnection, StatementsAndTheirErrors) {
    CMySQLConnection connection;
    ASSERT_TRUE(ConnectTestUser(connection));
    MessageBoxRecorder boxes;
    EXPECT_TRUE(connection.DoQuery("CREATE TEMPORARY TABLE t (id INT PRIMARY KEY, name VARCHAR(20))"));
    EXPECT_TRUE(connection.DoQuery("INSERT INTO t VALUES (1, 'one'), (2, 'two')"));
    CMySQLResult none = connection.GetResult(); // a statement without rows
    EXPECT_EQ(none.GetMYSQL_RES(), nullptr);
    EXPECT_FALSE(none.NextRow());

    EXPECT_FALSE(connection.DoQuery("INSERT INTO t VALUES (1, 'again')"));
    EXPECT_FALSE(connection.DoQuery("SELEC 1"));
    EXPECT_FALSE(connection.DoQuery("SELECT * FROM nosuch"));
    const char* const texts[] = {"Duplicate entry '1' for key 'PRIMARY'",
                                 "You have an error in your SQL syntax; check the manual that corresponds to your "
                                 "MariaDB server version for the right syntax to use near 'SELEC 1' at line 1",
                                 "Table 'zep3test.nosuch' doesn't exist"};
    ASSERT_EQ(boxes.boxes.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(boxes.boxes[i].text, texts[i]);
        EXPECT_EQ(boxes.boxes[i].caption, "");
        EXPECT_EQ(boxes.boxes[i].type, UINT(MB_OK));
    }
    // The connection stays open.
    EXPECT_EQ(Rows(connection, "SELECT name FROM t ORDER BY id"), (Rows_t{{"one"}, {"two"}}));
    EXPECT_EQ(boxes.boxes.size(), 3u);
}

TEST(MySQLConnection, CopiesShareOneConnectionClosedByTheLast) {
    auto* original = new CMySQLConnection;
    ASSERT_TRUE(ConnectTestUser(*original));
    const Rows_t id = Rows(*original, "SELECT CONNECTION_ID()");
    CMySQLConnection copy(*original), assigned;
    assigned = copy;
    EXPECT_EQ(assigned.GetMYSQL(), original->GetMYSQL());
    delete original;
    EXPECT_EQ(Rows(copy, "SELECT CONNECTION_ID()"), id);
    copy.Close();
    EXPECT_EQ(copy.GetMYSQL(), nullptr);
    EXPECT_EQ(Rows(assigned, "SELECT CONNECTION_ID()"), id);

    // A copy that connects anew leaves the shared connection to the others.
    ASSERT_TRUE(copy.Connect("localhost", kUser, kPassword, kDatabase));
    EXPECT_NE(Rows(copy, "SELECT CONNECTION_ID()"), id);
    EXPECT_EQ(Rows(assigned, "SELECT CONNECTION_ID()"), id);

    // Closed by its last holder, the session ends on the server.
    assigned.Close();
    const std::string gone = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + id[0][0];
    EXPECT_TRUE(zep3test::waitFor([&] { return Rows(copy, gone.c_str()) == Rows_t{{"0"}}; }));
}

TEST(MySQLConnection, ServerGoneInTheMiddleOfASession) {
    MariaDbServer* server = SharedServer();
    ASSERT_NE(server, nullptr);
    CMySQLConnection connection;
    ASSERT_TRUE(ConnectTestUser(connection));
    ASSERT_TRUE(connection.DoQuery("SELECT seq FROM seq_1_to_3"));
    CMySQLResult stored = connection.GetResult();

    server->Stop();
    {
        MessageBoxRecorder boxes;
        EXPECT_FALSE(connection.DoQuery("SELECT 1"));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        const std::string text = boxes.boxes[0].text;
        EXPECT_TRUE(text == "Server has gone away" || text == "Lost connection to server during query") << text;
    }
    EXPECT_FALSE(connection.GetResult().NextRow());
    // A stored result is the client's own: it outlives the server.
    for (const char* value : {"1", "2", "3"}) {
        ASSERT_TRUE(stored.NextRow());
        EXPECT_EQ(stored.GetField(0), value);
    }
    connection.Close();

    ASSERT_TRUE(server->Start()) << server->Logs();
    server->SetClientDefaults();
    EXPECT_TRUE(connection.Connect("localhost", kUser, kPassword, kDatabase));
}
