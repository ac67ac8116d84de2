// A blocking CSocket call while its own socket and another socket of the
// thread turn ready for other events: the thread's timers keep running, the
// events wait for the end of the call and come after it, and the socket's
// time-out still ends a wait.
#include "NetTestSupport.h"

using namespace nettest;

namespace {

std::atomic<int> g_ticks{0};

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

} // namespace

TEST(BlockingSocket, SendServesTimersAndHoldsBackEventsThatComeMeanwhile) {
    RawListener listener;
    EventLog<CSocket> sender, other;
    ASSERT_TRUE(sender.Create() && sender.Connect("127.0.0.1", listener.port()));
    const int peer = listener.Accept();
    ASSERT_TRUE(other.Create() && other.Connect("127.0.0.1", listener.port()));
    const int otherPeer = listener.Accept();
    ASSERT_GE(peer, 0);
    ASSERT_GE(otherPeer, 0);
    PumpPasses();
    sender.events.clear();
    other.events.clear();
    // Bytes wait for both sockets before the call begins.
    ASSERT_TRUE(RawWrite(peer, "in"));
    ASSERT_TRUE(RawWrite(otherPeer, "in"));

    // Far more than the socket buffers hold; the peer starts reading only
    // once the thread's timer has fired inside the waiting Send.
    const std::string data = Pattern(16 << 20, 5);
    std::atomic<bool> sending{false};
    std::string got;
    std::thread reader([&] {
        for (int i = 0; i < 20000 && !(sending && g_ticks >= 3); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        got = RawRead(peer, data.size());
    });
    g_ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
    sending = true;
    EXPECT_EQ(sender.Send(data.data(), int(data.size())), int(data.size()));
    sending = false;
    const int ticksDuringSend = g_ticks;
    const size_t eventsDuringSend = sender.events.size() + other.events.size();
    KillTimer(nullptr, timer);
    reader.join();
    EXPECT_TRUE(got == data);
    EXPECT_GE(ticksDuringSend, 3);
    EXPECT_EQ(eventsDuringSend, 0u);
    EXPECT_TRUE(PumpUntil([&] { return sender.Has("receive 0") && other.Has("receive 0"); }));

    // With nothing coming, the receive time-out ends the wait.
    char buffer[4];
    EXPECT_EQ(sender.Receive(buffer, sizeof buffer), 2);
    const DWORD limit = 30;
    ASSERT_TRUE(sender.SetSockOpt(SO_RCVTIMEO, &limit, sizeof limit));
    EXPECT_EQ(sender.Receive(buffer, sizeof buffer), SOCKET_ERROR);
    EXPECT_EQ(CAsyncSocket::GetLastError(), WSAETIMEDOUT);
    close(peer);
    close(otherPeer);
}
