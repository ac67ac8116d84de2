#pragma once
// What the database tests share: the suite's server, connections of its test
// user, the loaded copies of the client library as the process maps them,
// and the message boxes a test provokes.
#include "db/MariaDbServer.h"

#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dbtest {

// The suite's server, started on first use and stopped when the test run
// ends; null (with the server's logs reported) when it cannot start. Made the
// client library's default server.
MariaDbServer* SharedServer();

// Binds the client library from the loader's search path and connects the
// test user to the shared server: "localhost" goes through its socket,
// "127.0.0.1" through its port.
testing::AssertionResult ConnectTestUser(CMySQLConnection& connection, const char* host = "localhost");

// How many copies of the client library ("libmariadb.so.3") the process has
// mapped, and the path of the last one.
int LoadedClientCopies(std::string* path = nullptr);

// The client library's error text for a connection handle, through the
// loaded library itself.
std::string ClientError(st_mysql* connection);

// Every field of every row of a statement's result.
std::vector<std::vector<std::string>> Rows(CMySQLConnection& connection, const char* statement);

// Collects the message boxes shown while it lives (on the test's thread).
class MessageBoxRecorder {
public:
    MessageBoxRecorder() : m_previous(ZEP3SetMessageBoxHook(&Hook, this)) {}
    ~MessageBoxRecorder() { ZEP3SetMessageBoxHook(m_previous, nullptr); }
    struct Box {
        std::string text, caption;
        UINT type;
    };
    std::vector<Box> boxes;

private:
    static int Hook(const char* text, const char* caption, UINT type, void* self) {
        static_cast<MessageBoxRecorder*>(self)->boxes.push_back({text, caption, type});
        return 0;
    }
    ZEP3MessageBoxHook m_previous;
};

} // namespace dbtest
