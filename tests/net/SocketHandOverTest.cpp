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

} // namespace

TEST(AcceptedSockets, AcceptedInOnAcceptAreWatchedOnceItReturnsUnlessDetachedThere) {
    AsyncLog server;
    const UINT port = ListenOnLoopback(server);
    AsyncLog kept, handedOver;
    SOCKET handle = INVALID_SOCKET;
    // The first connection stays on this thread, the second leaves it.
    server.hook = [&](const std::string&) {
        if (kept.m_hSocket == INVALID_SOCKET) {
            EXPECT_TRUE(server.Accept(kept));
        } else {
            EXPECT_TRUE(server.Accept(handedOver));
            handle = handedOver.Detach();
        }
    };
    const int keptPeer = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return kept.Has("send 0"); })); // OnSend follows an accept
    std::string keptGot;
    KeepReceived(kept, keptGot);
    ASSERT_TRUE(RawWrite(keptPeer, "stay"));
    ASSERT_TRUE(PumpUntil([&] { return keptGot == "stay"; }));

    const int leftPeer = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return handle != INVALID_SOCKET; }));
    LoopThread worker;
    AsyncLog attached;
    std::string got;
    KeepReceived(attached, got);
    worker.Call([&] { EXPECT_TRUE(attached.Attach(handle)); });
    ASSERT_TRUE(RawWrite(leftPeer, "left"));
    ASSERT_TRUE(worker.WaitFor([&] { return got == "left" && attached.Has("send 0"); }));
    PumpPasses();
    EXPECT_TRUE(handedOver.events.empty()); // nothing of it reached the accepting thread
    worker.Call([&] { attached.Close(); });
    close(keptPeer);
    close(leftPeer);
}

TEST(AcceptedSockets, AcceptedAndDeletedInOnAcceptLeavesNothingToWatch) {
    AsyncLog server;
    const UINT port = ListenOnLoopback(server);
    int accepted = 0;
    server.hook = [&](const std::string&) {
        auto* connection = new AsyncLog;
        accepted += server.Accept(*connection) ? 1 : 0;
        delete connection;
    };
    const int peer = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return accepted == 1; }));
    PumpPasses();
    close(peer);
}

TEST(AttachedSockets, TakeTheKindAndStateOfAnyDescriptor) {
    RawListener listener;
    // Connected: non-blocking, close-on-exec, OnSend once.
    const int own = RawConnect(listener.port());
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    const int plain = dup(own); // a descriptor without close-on-exec
    close(own);
    AsyncLog connected;
    ASSERT_TRUE(connected.Attach(SOCKET(plain)));
    EXPECT_TRUE(fcntl(plain, F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(fcntl(plain, F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(PumpUntil([&] { return connected.Has("send 0"); }));
    std::string got;
    KeepReceived(connected, got);
    ASSERT_TRUE(RawWrite(peer, "x"));
    EXPECT_TRUE(PumpUntil([&] { return got == "x"; }));
    CString address;
    UINT port = 0;
    EXPECT_TRUE(connected.GetPeerName(address, port));
    EXPECT_EQ(port, listener.port());

    // Listening: OnAccept.
    AsyncLog source;
    const UINT listenPort = ListenOnLoopback(source);
    AsyncLog listening;
    ASSERT_TRUE(listening.Attach(source.Detach()));
    const int caller = RawConnect(listenPort);
    EXPECT_TRUE(PumpUntil([&] { return listening.Has("accept 0"); }));

    // Neither connected nor listening: no OnSend; a datagram socket: OnSend.
    AsyncLog fresh, datagram;
    ASSERT_TRUE(fresh.Attach(SOCKET(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))));
    ASSERT_TRUE(datagram.Attach(SOCKET(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))));
    EXPECT_TRUE(PumpUntil([&] { return datagram.Has("send 0"); }));
    PumpPasses();
    EXPECT_TRUE(fresh.events.empty());

    // A peer reset before the attach: not connected, so no OnSend.
    const int doomed = RawConnect(listener.port());
    const int doomedPeer = listener.Accept();
    RawReset(doomedPeer);
    char byte;
    while (recv(doomed, &byte, 1, 0) > 0) {
    }
    AsyncLog reset;
    ASSERT_TRUE(reset.Attach(SOCKET(doomed)));
    PumpPasses();
    EXPECT_FALSE(reset.Has("send 0"));

    // No socket at all.
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    CAsyncSocket notASocket;
    EXPECT_FALSE(notASocket.Attach(SOCKET(fds[0])));
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAENOTSOCK);
    EXPECT_EQ(notASocket.m_hSocket, INVALID_SOCKET);
    close(fds[0]);
    close(fds[1]);
    close(peer);
    close(caller);
}

TEST(BlockingTimeOuts, FollowSetSockOptTheListenerAndOptionsSetBeforeAttach) {
    const DWORD limit = 30;
    char buffer[4];
    // Changed after a wait without a limit: the next wait keeps the new one.
    RawListener listener;
    CSocket client;
    ASSERT_TRUE(client.Create() && client.Connect("127.0.0.1", listener.port()));
    const int peer = listener.Accept();
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        RawWrite(peer, "ab");
    });
    EXPECT_EQ(client.Receive(buffer, sizeof buffer), 2); // waits, with no limit
    late.join();
    ASSERT_TRUE(client.SetSockOpt(SO_RCVTIMEO, &limit, sizeof limit));
    EXPECT_EQ(client.Receive(buffer, sizeof buffer), SOCKET_ERROR);
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAETIMEDOUT);

    // A listener's limit holds for the connections it accepts.
    CSocket server, accepted;
    ASSERT_TRUE(server.Create(0, SOCK_STREAM, "127.0.0.1") && server.Listen());
    ASSERT_TRUE(server.SetSockOpt(SO_RCVTIMEO, &limit, sizeof limit));
    CString address;
    UINT port = 0;
    ASSERT_TRUE(server.GetSockName(address, port));
    const int caller = RawConnect(port);
    ASSERT_TRUE(server.Accept(accepted));
    EXPECT_EQ(accepted.Receive(buffer, sizeof buffer), SOCKET_ERROR);
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAETIMEDOUT);

    // One set on the descriptor before it was attached.
    const int raw = RawConnect(listener.port());
    const int rawPeer = listener.Accept();
    const timeval tv = {0, 30000};
    ASSERT_EQ(setsockopt(raw, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv), 0);
    CSocket attached;
    ASSERT_TRUE(attached.Attach(SOCKET(raw)));
    EXPECT_EQ(attached.Receive(buffer, sizeof buffer), SOCKET_ERROR);
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAETIMEDOUT);
    close(peer);
    close(caller);
    close(rawPeer);
}
