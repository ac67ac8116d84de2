// CNamedPipe between threads and between processes: byte and message pipes,
// message boundaries, waiting for clients and for a free instance, names
// that collide or do not exist, and handles shared and closed.
#include "PipeTestSupport.h"

#include <sys/wait.h>

using nettest::Pattern;
using pipetest::ReadOnce;
using pipetest::WriteText;

namespace {

using Pipes = pipetest::ScratchNames;

const char kName[] = "\\\\.\\pipe\\Zep3Test";

// Reads until `size` bytes have come.
std::string ReadBytes(CNamedPipe& pipe, size_t size) {
    std::string all;
    while (all.size() < size) {
        const std::string part = ReadOnce(pipe, 65536);
        if (part.compare(0, 6, "error ") == 0) break;
        all += part;
    }
    return all;
}

} // namespace

TEST_F(Pipes, BytePipeBothWaysBetweenThreads) {
    CNamedPipe server, client;
    ASSERT_TRUE(
        server.Create(kName, 4096, 4096, 0, 1, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE));
    std::thread serving([&] {
        EXPECT_TRUE(server.WaitForConnection());
        const std::string request = ReadBytes(server, 5);
        EXPECT_TRUE(WriteText(server, request + " back" + Pattern(1 << 20, 9)));
        server.Destroy();
    });
    // Names ignore case.
    ASSERT_TRUE(client.Connect("\\\\.\\PIPE\\zep3test", PIPE_READMODE_BYTE, GENERIC_READ | GENERIC_WRITE));
    ASSERT_TRUE(WriteText(client, "hello"));
    EXPECT_TRUE(ReadBytes(client, 10 + (1 << 20)) == "hello back" + Pattern(1 << 20, 9));
    serving.join();
    unsigned long waiting = 99;
    EXPECT_FALSE(client.DataAvailable(&waiting)); // the server has gone and nothing waits
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BROKEN_PIPE));
    EXPECT_EQ(ReadOnce(client), "error 109");
    EXPECT_FALSE(client.Connect("\\\\.\\pipe\\zep3test", PIPE_READMODE_BYTE,
                                GENERIC_READ)); // gone with its last instance
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Pipes, MessagePipeKeepsBoundariesAndLongMessagesComeInParts) {
    CNamedPipe server, client;
    ASSERT_TRUE(server.Create(kName, 0, 0, 0, PIPE_UNLIMITED_INSTANCES, PIPE_ACCESS_DUPLEX,
                              PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE));
    ASSERT_TRUE(client.Connect(kName, PIPE_READMODE_MESSAGE, GENERIC_READ | GENERIC_WRITE));
    EXPECT_TRUE(server.WaitForConnection()); // the client came before the call
    EXPECT_TRUE(server.WaitForConnection());
    const std::vector<std::string> messages = {"one", Pattern(300000, 1), "3", Pattern(5000, 2)};
    for (const std::string& m : messages) ASSERT_TRUE(WriteText(client, m));
    unsigned long waiting = 0;
    EXPECT_TRUE(server.DataAvailable(&waiting));
    EXPECT_EQ(waiting, 3u + 300000 + 1 + 5000);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(ReadOnce(server, 400000) == messages[i]) << i;
    // A read shorter than the message: ERROR_MORE_DATA, then the rest.
    EXPECT_EQ(ReadOnce(server, 3000), "error 234");
    EXPECT_TRUE(ReadOnce(server, 3000) == messages[3].substr(3000));
    EXPECT_TRUE(WriteText(server, "reply"));
    EXPECT_EQ(ReadOnce(client), "reply");
    // A byte pipe cannot be read in message mode.
    CNamedPipe bytes, wrong;
    ASSERT_TRUE(bytes.Create("\\\\.\\pipe\\bytes", 0, 0, 0, 1, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE));
    EXPECT_FALSE(wrong.Connect("\\\\.\\pipe\\bytes", PIPE_READMODE_MESSAGE, GENERIC_READ));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Pipes, NamesThatCollideOrDoNotExist) {
    CNamedPipe first, second, client;
    EXPECT_FALSE(client.Connect(kName, PIPE_READMODE_BYTE, GENERIC_READ));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(client.m_hPipe, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(first.Create(kName, 0, 0, 0, 1, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE));
    EXPECT_FALSE(second.Create(kName, 0, 0, 0, 1, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PIPE_BUSY));
    EXPECT_FALSE(second.Create(kName, 0, 0, 0, 1, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(second.Create("\\\\server\\pipe\\x", 0, 0, 0, 1, PIPE_ACCESS_DUPLEX, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_NETPATH));
    EXPECT_FALSE(client.Connect("\\\\server\\pipe\\Zep3Test", 0, GENERIC_READ));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_NETPATH));
    for (const char* bad : {"Zep3Test", "\\\\.\\file\\x", "\\\\.\\pipe\\", "\\\\.\\pipe\\a/b"}) {
        EXPECT_FALSE(second.Create(bad, 0, 0, 0, 1, PIPE_ACCESS_DUPLEX, 0)) << bad;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME)) << bad;
    }
    // A name another process serves cannot be created here; once that
    // process has died without closing, the name is free again.
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready) | pipe(go), 0);
    const pid_t child = fork();
    if (child == 0) {
        CNamedPipe other;
        char c;
        const bool made = other.Create("\\\\.\\pipe\\other", 0, 0, 0, 1, PIPE_ACCESS_DUPLEX, 0);
        _exit(made && write(ready[1], "r", 1) == 1 && read(go[0], &c, 1) == 1 ? 0 : 1);
    }
    close(ready[1]); // a child that fails closes the last writing end
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_FALSE(second.Create("\\\\.\\pipe\\other", 0, 0, 0, 1, PIPE_ACCESS_DUPLEX, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    ASSERT_EQ(write(go[1], "g", 1), 1);
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(client.Connect("\\\\.\\pipe\\other", 0, GENERIC_READ));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(second.Create("\\\\.\\pipe\\other", 0, 0, 0, 1, PIPE_ACCESS_DUPLEX, 0));
}

TEST_F(Pipes, ClientWaitsForAFreeInstance) {
    CNamedPipe one, two, a, b;
    ASSERT_TRUE(one.Create(kName, 0, 0, 0, 2, PIPE_ACCESS_DUPLEX, 0));
    ASSERT_TRUE(two.Create(kName, 0, 0, 0, 2, PIPE_ACCESS_DUPLEX, 0));
    ASSERT_TRUE(a.Connect(kName, 0, GENERIC_READ | GENERIC_WRITE));
    ASSERT_TRUE(b.Connect(kName, 0, GENERIC_READ | GENERIC_WRITE));
    ASSERT_TRUE(one.WaitForConnection());
    ASSERT_TRUE(two.WaitForConnection());
    // Both instances busy: a third client waits until the server ends one
    // conversation and offers a new instance.
    CNamedPipe c, three;
    std::atomic<bool> connected{false};
    std::thread waiting([&] { connected = c.Connect(kName, 0, GENERIC_READ | GENERIC_WRITE); });
    one.Destroy();
    ASSERT_TRUE(three.Create(kName, 0, 0, 0, 2, PIPE_ACCESS_DUPLEX, 0));
    EXPECT_TRUE(three.WaitForConnection());
    waiting.join();
    ASSERT_TRUE(connected);
    EXPECT_TRUE(WriteText(c, "third"));
    EXPECT_EQ(ReadBytes(three, 5), "third");
    EXPECT_EQ(ReadOnce(a), "error 109"); // its instance was destroyed
}

TEST_F(Pipes, BetweenProcessesInBothModes) {
    CNamedPipe bytes, messages;
    ASSERT_TRUE(bytes.Create("\\\\.\\pipe\\bytes", 0, 0, 0, 1, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE));
    ASSERT_TRUE(messages.Create("\\\\.\\pipe\\messages", 0, 0, 0, 1, PIPE_ACCESS_INBOUND,
                                PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE));
    const pid_t child = fork();
    if (child == 0) {
        CNamedPipe b, m;
        bool ok = b.Connect("\\\\.\\pipe\\bytes", 0, GENERIC_WRITE) && WriteText(b, Pattern(3 << 20, 5)) &&
                  m.Connect("\\\\.\\pipe\\messages", PIPE_READMODE_MESSAGE, GENERIC_WRITE);
        for (size_t size : {1, 7, 65536, 1000}) ok = ok && WriteText(m, Pattern(size, unsigned(size)));
        _exit(ok ? 0 : 1);
    }
    ASSERT_TRUE(bytes.WaitForConnection());
    EXPECT_TRUE(ReadBytes(bytes, 3 << 20) == Pattern(3 << 20, 5));
    ASSERT_TRUE(messages.WaitForConnection());
    for (size_t size : {1, 7, 65536, 1000})
        EXPECT_TRUE(ReadOnce(messages) == Pattern(size, unsigned(size))) << size;
    EXPECT_EQ(ReadOnce(messages), "error 109");
    EXPECT_FALSE(WriteText(messages, "x")); // an inbound pipe
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(Pipes, CloseByAnotherHolderEndsAWaitOnAnotherThread) {
    CNamedPipe server;
    ASSERT_TRUE(server.Create(kName, 0, 0, 0, 1, PIPE_ACCESS_DUPLEX, 0));
    std::string waited;
    std::thread blocked([&] { waited = server.WaitForConnection() ? "connected" : std::to_string(GetLastError()); });
    CNamedPipe copy = server; // the same instance
    copy.Close();             // ends it for every holder, and the wait (or the wait finds it closed)
    blocked.join();
    EXPECT_TRUE(waited == std::to_string(ERROR_OPERATION_ABORTED) || waited == std::to_string(ERROR_INVALID_HANDLE))
        << waited;
    EXPECT_EQ(copy.m_hPipe, nullptr);
    EXPECT_EQ(ReadOnce(server), "error 6");
}
