// The platform's sockets over real loopback connections: Windows' re-arming
// of the events, closing and resetting peers, blocking calls that keep the
// thread's messages flowing, descriptors moving between threads, and line
// I/O through CSocketFile and CArchive.
#include "NetTestSupport.h"

using namespace nettest;

namespace {

typedef EventLog<CAsyncSocket> AsyncLog;

// A listening socket of ours and one connection accepted from a raw peer.
struct AcceptedPair {
    AsyncLog server;
    AsyncLog conn;
    int peer = -1;
    UINT port = 0;
    AcceptedPair() {
        port = ListenOnLoopback(server);
        EXPECT_NE(port, 0u);
        peer = RawConnect(port);
        EXPECT_TRUE(PumpUntil([&] { return server.Count("accept") == 1; }));
        EXPECT_TRUE(server.Accept(conn));
        EXPECT_TRUE(PumpUntil([&] { return conn.Has("send 0"); })); // OnSend follows an accept
    }
    ~AcceptedPair() {
        if (peer >= 0) close(peer);
    }
};

} // namespace

TEST(AsyncSocketEvents, ConnectThenOneSendAndAcceptRearmedOnlyByAccept) {
    AsyncLog server;
    const UINT port = ListenOnLoopback(server);
    ASSERT_NE(port, 0u);
    AsyncLog client;
    ASSERT_TRUE(client.Create());
    EXPECT_FALSE(client.Connect("127.0.0.1", port));
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);
    const int second = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return client.Has("send 0") && server.Count("accept") == 1; }));
    PumpPasses();
    EXPECT_EQ(client.events, (std::vector<std::string>{"connect 0", "send 0"}));
    EXPECT_EQ(server.Count("accept"), 1) << "two connections wait, but nothing was accepted yet";

    AsyncLog first, other;
    ASSERT_TRUE(server.Accept(first));
    ASSERT_TRUE(PumpUntil([&] { return server.Count("accept") == 2; }));
    ASSERT_TRUE(server.Accept(other));
    PumpPasses();
    EXPECT_EQ(server.Count("accept"), 2);
    EXPECT_FALSE(server.Accept(other)) << "a socket that has a connection cannot take another";
    for (SOCKET s : {server.m_hSocket, client.m_hSocket, other.m_hSocket})
        EXPECT_TRUE(fcntl(int(s), F_GETFD) & FD_CLOEXEC);
    close(second);

    // Nobody listens on the port once its listener has gone.
    const UINT closedPort = RawListener().port();
    AsyncLog refused;
    ASSERT_TRUE(refused.Create());
    refused.Connect("127.0.0.1", closedPort);
    ASSERT_TRUE(PumpUntil([&] { return refused.Count("connect") == 1; }));
    EXPECT_EQ(refused.events.front(), "connect " + std::to_string(WSAECONNREFUSED));
}

TEST(AsyncSocketEvents, ReceiveRearmedOnlyByReceive) {
    AcceptedPair p;
    ASSERT_TRUE(RawWrite(p.peer, "abc"));
    ASSERT_TRUE(PumpUntil([&] { return p.conn.Count("receive") == 1; }));
    PumpPasses();
    EXPECT_EQ(p.conn.Count("receive"), 1) << "no Receive, no second OnReceive";

    char buffer[16];
    ASSERT_EQ(p.conn.Receive(buffer, 1), 1);
    ASSERT_TRUE(PumpUntil([&] { return p.conn.Count("receive") == 2; })) << "data remains after a Receive";
    ASSERT_EQ(p.conn.Receive(buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(buffer, 2), "bc");
    PumpPasses();
    EXPECT_EQ(p.conn.Count("receive"), 2);
    EXPECT_EQ(p.conn.Receive(buffer, sizeof buffer), SOCKET_ERROR);
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);
    ASSERT_TRUE(RawWrite(p.peer, "d"));
    EXPECT_TRUE(PumpUntil([&] { return p.conn.Count("receive") == 3; }));
    EXPECT_EQ(p.conn.Count("send"), 1);
}

TEST(AsyncSocketEvents, SendEventOnlyAfterAWouldBlock) {
    AcceptedPair p;
    const std::string chunk(65536, 'x');
    size_t queued = 0;
    for (int n; (n = p.conn.Send(chunk.data(), int(chunk.size()))) != SOCKET_ERROR;) queued += size_t(n);
    ASSERT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);
    PumpPasses();
    EXPECT_EQ(p.conn.Count("send"), 1) << "only the one after the accept";

    // The peer takes everything; the socket can send again: one OnSend.
    std::thread drain([&] {
        char buffer[65536];
        size_t got = 0;
        while (got < queued) {
            const ssize_t n = recv(p.peer, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            got += size_t(n);
        }
    });
    ASSERT_TRUE(PumpUntil([&] { return p.conn.Count("send") == 2; }));
    drain.join();
    PumpPasses();
    EXPECT_EQ(p.conn.Count("send"), 2) << "a writable socket alone gives no OnSend";
}

TEST(AsyncSocketEvents, CloseComesOnceAfterTheLastDataAndReportsAReset) {
    AcceptedPair p;
    ASSERT_TRUE(RawWrite(p.peer, "xy"));
    close(p.peer);
    p.peer = -1;
    std::string got;
    p.conn.hook = [&](const std::string& e) {
        char buffer[8];
        if (e == "receive 0")
            for (int n; (n = p.conn.Receive(buffer, sizeof buffer)) > 0;) got.append(buffer, size_t(n));
    };
    ASSERT_TRUE(PumpUntil([&] { return p.conn.Count("close") == 1; }));
    PumpPasses();
    EXPECT_EQ(got, "xy");
    EXPECT_EQ(p.conn.events.back(), "close 0");
    EXPECT_EQ(p.conn.Count("close"), 1);

    AsyncLog reset;
    const int peer = RawConnect(p.port);
    ASSERT_TRUE(PumpUntil([&] { return p.server.Count("accept") == 2; }));
    ASSERT_TRUE(p.server.Accept(reset));
    RawReset(peer);
    ASSERT_TRUE(PumpUntil([&] { return reset.Count("close") == 1; }));
    EXPECT_EQ(reset.events.back(), "close 10054");
    // Without MSG_NOSIGNAL this send would end the test program with SIGPIPE.
    EXPECT_EQ(reset.Send("z", 1), SOCKET_ERROR);
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAECONNRESET);
}

TEST(AsyncSocketThreads, DetachedConnectionDeliversItsEventsOnTheAttachingThread) {
    AsyncLog server;
    const UINT port = ListenOnLoopback(server);
    const int peer = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return server.Count("accept") == 1; }));
    CAsyncSocket accepted;
    ASSERT_TRUE(server.Accept(accepted));
    const SOCKET handle = accepted.Detach();
    EXPECT_EQ(accepted.m_hSocket, INVALID_SOCKET);

    LoopThread worker;
    AsyncLog attached;
    std::string got;
    attached.hook = [&](const std::string& e) {
        char buffer[8];
        if (e == "receive 0") got.append(buffer, size_t(std::max(0, attached.Receive(buffer, sizeof buffer))));
    };
    worker.Call([&] { EXPECT_TRUE(attached.Attach(handle)); });
    ASSERT_TRUE(RawWrite(peer, "hi"));
    ASSERT_TRUE(worker.WaitFor([&] { return got == "hi"; }));
    worker.Call([&] {
        EXPECT_EQ(attached.threads.back(), worker.id());
        attached.Close();
    });
    PumpPasses();
    close(peer);
}

TEST(BlockingSocket, WaitingCallServesPostedMessagesAndCanBeCancelled) {
    RawListener listener;
    LoopThread worker;
    CSocket blocking, other;
    int peer = -1;
    worker.Call([&] { ASSERT_TRUE(blocking.Create() && other.Create()); });
    std::thread connector([&] { peer = listener.Accept(); });
    worker.Call([&] { EXPECT_TRUE(blocking.Connect("127.0.0.1", listener.port())); });
    connector.join();
    ASSERT_GE(peer, 0);

    // While the worker waits in Receive, a message posted to its window is
    // handled there; a second blocking call from the handler is refused.
    struct Handler : CWnd {
        std::function<void()> onMessage;
        LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override {
            if (m == WM_APP + 1) onMessage();
            return CWnd::WindowProc(m, w, l);
        }
    } window;
    std::atomic<bool> served{false};
    bool wasBlocking = false;
    int nestedError = 0;
    window.onMessage = [&] {
        wasBlocking = blocking.IsBlocking() != FALSE;
        char c;
        if (other.Receive(&c, 1) == SOCKET_ERROR) nestedError = CAsyncSocket::GetLastError();
        served = true;
    };
    worker.Call([&] { ASSERT_TRUE(window.CreateEx(0, nullptr, "w", 0, CRect(0, 0, 5, 5), nullptr, 0)); });
    std::promise<std::string> received;
    std::atomic<bool> waiting{false};
    std::thread poster([&] {
        for (int i = 0; i < 20000 && !waiting; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        PostMessage(window.m_hWnd, WM_APP + 1, 0, 0);
        for (int i = 0; i < 20000 && !served; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        RawWrite(peer, "data");
    });
    worker.Call([&] {
        char buffer[8];
        waiting = true; // what is posted from now on can only be served inside Receive
        const int n = blocking.Receive(buffer, sizeof buffer);
        received.set_value(n > 0 ? std::string(buffer, size_t(n)) : std::string());
    });
    poster.join();
    EXPECT_EQ(received.get_future().get(), "data");
    EXPECT_TRUE(served);
    EXPECT_TRUE(wasBlocking);
    EXPECT_EQ(nestedError, WSAEINPROGRESS);

    // A handler that cancels the wait: the call fails with WSAEINTR.
    window.onMessage = [&] { blocking.CancelBlockingCall(); };
    worker.Call([&] {
        PostMessage(window.m_hWnd, WM_APP + 1, 0, 0);
        char c;
        EXPECT_EQ(blocking.Receive(&c, 1), SOCKET_ERROR);
        EXPECT_EQ(CAsyncSocket::GetLastError(), WSAEINTR);
        // A thread told to quit leaves the wait too; the quit stays queued.
        PostQuitMessage(5);
        EXPECT_EQ(blocking.Receive(&c, 1), SOCKET_ERROR);
        MSG msg;
        EXPECT_TRUE(PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        window.DestroyWindow();
        // Closed on their own thread: its loop may still be delivering their events.
        blocking.Close();
        other.Close();
    });
    close(peer);
}

TEST(SocketArchive, ReadsLinesAcrossSmallFillsAndWritesCommandLines) {
    RawListener listener;
    CSocket control;
    ASSERT_TRUE(control.Create() && control.Connect("127.0.0.1", listener.port()));
    const int peer = listener.Accept(); // the connection waited in the backlog
    ASSERT_GE(peer, 0);
    CSocketFile file(&control);
    CArchive in(&file, CArchive::load, 16); // small: lines cross refills
    CArchive out(&file, CArchive::store, 4096);
    EXPECT_TRUE(out.WriteString("USER anonymous\r\n") && out.Flush());
    EXPECT_EQ(RawRead(peer, 16), "USER anonymous\r\n");

    // The first fill ends with a CR; a short buffer cuts a line, whose rest comes next.
    ASSERT_TRUE(RawWrite(peer, std::string(15, 'a') + "\r\nabcdefgh\r\n220 ready\r\nsecond\n\r\nlast"));
    shutdown(peer, SHUT_WR);
    CString line;
    ASSERT_TRUE(in.ReadString(line));
    EXPECT_EQ(std::string(line), std::string(15, 'a'));
    char part[5];
    for (const char* expected : {"abcd", "efgh"}) {
        ASSERT_NE(in.ReadString(part, 4), nullptr);
        EXPECT_STREQ(part, expected);
    }
    std::vector<std::string> lines;
    while (in.ReadString(line)) lines.emplace_back(static_cast<const char*>(line));
    EXPECT_EQ(lines, (std::vector<std::string>{"", "220 ready", "second", "", "last"}));
    EXPECT_EQ(in.GetFailure().m_cause, CArchiveException::none);
    EXPECT_EQ(in.ReadString(part, 3), nullptr);
    EXPECT_FALSE(in.WriteString("x"));
    EXPECT_EQ(in.GetFailure().m_cause, CArchiveException::readOnly);

    // Once the peer has reset the connection, writing fails instead of throwing.
    RawReset(peer);
    bool failed = false;
    for (int i = 0; i < 100 && !failed; ++i) failed = !(out.WriteString("NOOP\r\n") && out.Flush());
    EXPECT_TRUE(failed);
    EXPECT_EQ(out.GetFailure().m_cause, CArchiveException::genericException);
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAECONNRESET);
}

TEST(WinSock, StartupIsCountedAndAfxSocketInitSucceeds) {
    while (WSACleanup() == 0) {
    }
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
    EXPECT_TRUE(AfxSocketInit());
    EXPECT_EQ(WSACleanup() + WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 0), &data), WSAVERNOTSUPPORTED);
}
