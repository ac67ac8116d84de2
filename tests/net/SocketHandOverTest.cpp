// What a socket learns without asking the system: connections accepted in
// OnAccept and handed to another thread, descriptors of every kind taken over
// by Attach, and time-outs that a blocking call no longer reads each time.
#include "NetTestSupport.h"

using namespace nettest;

namespace {

typedef EventLog<CAsyncSocket> AsyncLog;

// Receives what the peer sends, on each OnReceive.
void KeepReceived(AsyncLog& socket, std::string& into) {
    socket.hook = [&socket, &into](const std::string& e) {
        char buffer[64];
        if (e == "receive 0") into.append(buffer, size_t(std::max(0, socket.Receive(buffer, sizeof buffer))));
    };
}

void ExpectTimedOut(CSocket& socket) {
    char buffer[4];
    EXPECT_EQ(socket.Receive(buffer, sizeof buffer), SOCKET_ERROR);
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAETIMEDOUT);
}

} // namespace

TEST(AcceptedSockets, WatchedOnceOnAcceptReturnsUnlessDetachedOrDeletedThere) {
    AsyncLog server, kept, handedOver;
    const UINT port = ListenOnLoopback(server);
    SOCKET handle = INVALID_SOCKET;
    // The first connection stays, the second leaves the thread, the third is dropped.
    server.hook = [&](const std::string&) {
        if (kept.m_hSocket == INVALID_SOCKET) {
            EXPECT_TRUE(server.Accept(kept));
        } else if (handle == INVALID_SOCKET) {
            EXPECT_TRUE(server.Accept(handedOver));
            handle = handedOver.Detach();
        } else {
            auto dropped = std::make_unique<AsyncLog>();
            EXPECT_TRUE(server.Accept(*dropped));
        }
    };
    const int keptPeer = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return kept.Has("send 0"); })); // OnSend follows an accept
    std::string keptGot, got;
    KeepReceived(kept, keptGot);
    ASSERT_TRUE(RawWrite(keptPeer, "stay"));
    ASSERT_TRUE(PumpUntil([&] { return keptGot == "stay"; }));

    const int leftPeer = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return handle != INVALID_SOCKET; }));
    LoopThread worker;
    AsyncLog attached;
    KeepReceived(attached, got);
    worker.Call([&] { EXPECT_TRUE(attached.Attach(handle)); });
    ASSERT_TRUE(RawWrite(leftPeer, "left"));
    ASSERT_TRUE(worker.WaitFor([&] { return got == "left" && attached.Has("send 0"); }));
    const int droppedPeer = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return server.Count("accept") == 3; }));
    PumpPasses();
    EXPECT_TRUE(handedOver.events.empty()); // nothing of it reached the accepting thread
    worker.Call([&] { attached.Close(); });
    for (int fd : {keptPeer, leftPeer, droppedPeer}) close(fd);
}

TEST(AttachedSockets, TakeTheKindAndStateOfAnyDescriptor) {
    RawListener listener;
    const int own = RawConnect(listener.port());
    const int peer = listener.Accept();
    const int plain = dup(own); // neither non-blocking nor close-on-exec
    close(own);
    AsyncLog connected;
    ASSERT_TRUE(connected.Attach(SOCKET(plain)));
    EXPECT_TRUE(fcntl(plain, F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(fcntl(plain, F_GETFD) & FD_CLOEXEC);

    AsyncLog source, listening, fresh, datagram, reset;
    const UINT listenPort = ListenOnLoopback(source);
    ASSERT_TRUE(listening.Attach(source.Detach()));
    const int caller = RawConnect(listenPort);
    ASSERT_TRUE(fresh.Attach(SOCKET(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))));
    ASSERT_TRUE(datagram.Attach(SOCKET(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))));
    // Reset by its peer before the attach: no longer connected.
    const int doomed = RawConnect(listener.port());
    RawReset(listener.Accept());
    char byte;
    while (recv(doomed, &byte, 1, 0) > 0) {
    }
    ASSERT_TRUE(reset.Attach(SOCKET(doomed)));
    EXPECT_TRUE(PumpUntil([&] {
        return connected.Has("send 0") && listening.Has("accept 0") && datagram.Has("send 0");
    }));
    PumpPasses();
    EXPECT_TRUE(fresh.events.empty());
    EXPECT_TRUE(reset.events.empty());

    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    CAsyncSocket notASocket;
    EXPECT_FALSE(notASocket.Attach(SOCKET(fds[0])));
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAENOTSOCK);
    EXPECT_EQ(notASocket.m_hSocket, INVALID_SOCKET);
    for (int fd : {fds[0], fds[1], peer, caller}) close(fd);
}

TEST(BlockingTimeOuts, FollowSetSockOptTheListenerAndOptionsSetBeforeAttach) {
    const DWORD limit = 30;
    RawListener listener;
    // Set after a wait without a limit: the next wait keeps the new one.
    CSocket client;
    ASSERT_TRUE(client.Create() && client.Connect("127.0.0.1", listener.port()));
    const int peer = listener.Accept();
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        RawWrite(peer, "ab");
    });
    char buffer[4];
    EXPECT_EQ(client.Receive(buffer, sizeof buffer), 2);
    late.join();
    ASSERT_TRUE(client.SetSockOpt(SO_RCVTIMEO, &limit, sizeof limit));
    ExpectTimedOut(client);

    // A listener's limit holds for the connections it accepts.
    CSocket server, accepted;
    CString address;
    UINT port = 0;
    ASSERT_TRUE(server.Create(0, SOCK_STREAM, "127.0.0.1") && server.Listen() && server.GetSockName(address, port));
    ASSERT_TRUE(server.SetSockOpt(SO_RCVTIMEO, &limit, sizeof limit));
    const int caller = RawConnect(port);
    ASSERT_TRUE(server.Accept(accepted));
    ExpectTimedOut(accepted);

    // One set on the descriptor before it was attached.
    const int raw = RawConnect(listener.port());
    const int rawPeer = listener.Accept();
    const timeval tv = {0, 30000};
    ASSERT_EQ(setsockopt(raw, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv), 0);
    CSocket attached;
    ASSERT_TRUE(attached.Attach(SOCKET(raw)));
    ExpectTimedOut(attached);
    for (int fd : {peer, caller, rawPeer}) close(fd);
}
