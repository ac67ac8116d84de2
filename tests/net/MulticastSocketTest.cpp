// CMulticastSocket on loopback, inside a network namespace of the test's
// own (only "lo", with a route for 239/8), so that no datagram can leave the
// machine: receivers on other threads and in another process, address reuse,
// groups kept apart, the TTL warning, leaving the group.
#include "NetTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/wait.h>

using nettest::LoopThread;

namespace {

// Keeps every datagram it receives.
class Receiver : public CMulticastSocket {
public:
    void OnReceive(int error) override {
        CMulticastSocket::OnReceive(error);
        CString from;
        UINT port = 0;
        const int n = ReceiveFrom(m_ReceiveBuffer, sizeof m_ReceiveBuffer, from, port);
        if (n >= 0) datagrams.emplace_back(m_ReceiveBuffer, size_t(n));
    }
    std::vector<std::string> datagrams;
};

class Multicast : public ::testing::Test {
protected:
    void SetUp() override {
        // The namespace belongs to this thread, and to the threads and
        // processes it starts.
        if (unshare(CLONE_NEWNET) != 0) GTEST_SKIP() << "no network namespace: " << strerror(errno);
        ASSERT_EQ(zep3test::runCommand("ip link set lo up && ip route add 239.0.0.0/8 dev lo"), 0);
        port = nettest::RawListener().port(); // some free port number
    }
    UINT port = 0;
};

int CountHook(const char* text, const char*, UINT, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(text);
    return IDOK;
}

} // namespace

TEST_F(Multicast, TwoReceiversOnOtherThreadsGetEveryDatagram) {
    LoopThread first, second;
    Receiver a, b; // created and driven on their threads
    first.Call([&] { ASSERT_EQ(a.JoinGroup("239.1.2.3", port, 1, 1), 1); });
    second.Call([&] { ASSERT_EQ(b.JoinGroup("239.1.2.3", port, 1, 1), 1); }); // the same port again
    CMulticastSocket sender;
    ASSERT_EQ(sender.JoinGroup("239.1.2.3", port, 1, 1), 1);
    for (int i = 0; i < 5; ++i) {
        const std::string text = "datagram " + std::to_string(i);
        EXPECT_EQ(sender.SendTo(text.data(), int(text.size())), 0);
    }
    const auto gotAll = [](Receiver& r) { return r.datagrams.size() == 5; };
    EXPECT_TRUE(first.WaitFor([&] { return gotAll(a); }));
    EXPECT_TRUE(second.WaitFor([&] { return gotAll(b); }));
    first.Call([&] {
        EXPECT_EQ(a.datagrams.front(), "datagram 0");
        EXPECT_EQ(a.datagrams.back(), "datagram 4");
        EXPECT_EQ(a.LeaveGroup(), 1);
        EXPECT_EQ(a.LeaveGroup(), 0); // nothing left to drop
    });
    second.Call([&] { b.LeaveGroup(); });
    EXPECT_EQ(sender.LeaveGroup(), 1);
    EXPECT_EQ(sender.SendTo("x", 1), 1); // no sending socket any more
}

TEST_F(Multicast, ReceiverInAnotherProcessAndGroupsKeptApart) {
    int ready[2], result[2];
    ASSERT_EQ(pipe(ready) | pipe(result), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) { // joins, says so, and passes on the first datagram it gets
        CMulticastSocket member;
        const bool joined = member.JoinGroup("239.1.2.3", port, 1, 1);
        char buffer[100];
        pollfd p = {int(member.m_hSocket), POLLIN, 0};
        _exit(!joined || write(ready[1], "r", 1) != 1 || poll(&p, 1, 20000) != 1 ||
              write(result[1], buffer, size_t(std::max(0, member.Receive(buffer, sizeof buffer)))) <= 0);
    }
    close(ready[1]); // a child that fails closes the last writing ends
    close(result[1]);
    char buffer[100] = {};
    ASSERT_EQ(read(ready[0], buffer, 1), 1);

    Receiver same, other; // this thread: one for the group, one for another group on the port
    ASSERT_EQ(same.JoinGroup("239.1.2.3", port, 1, 0), 1);
    ASSERT_EQ(other.JoinGroup("239.1.2.4", port, 1, 1), 1);
    EXPECT_EQ(same.SendTo("hello", 5), 0);
    EXPECT_EQ(std::string(buffer, size_t(std::max<ssize_t>(0, read(result[0], buffer, sizeof buffer)))), "hello");
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // Groups stay apart although they share the port. (The datagrams leave
    // through "lo" itself, so they come back even with loopback off.)
    EXPECT_EQ(other.SendTo("to 4", 4), 0);
    EXPECT_TRUE(nettest::PumpUntil([&] { return other.datagrams.size() == 1 && same.datagrams.size() == 1; }));
    nettest::PumpPasses();
    EXPECT_EQ(same.datagrams, std::vector<std::string>{"hello"});
    EXPECT_EQ(other.datagrams, std::vector<std::string>{"to 4"});
    EXPECT_FALSE(same.m_bForceNoLoopback); // Linux always switches loopback
}

TEST_F(Multicast, RefusedTtlWarnsAndSendingFailsWithOne) {
    std::vector<std::string> boxes;
    ZEP3MessageBoxHook previous = ZEP3SetMessageBoxHook(CountHook, &boxes);
    CMulticastSocket socket;
    EXPECT_EQ(socket.JoinGroup("239.1.2.5", port, 300, 1), 1); // a TTL above 255 is refused
    ZEP3SetMessageBoxHook(previous, nullptr);
    EXPECT_EQ(boxes, std::vector<std::string>{"Warning! Error Setting TTL"});
    EXPECT_EQ(socket.SetTTL(4), 1);
    std::string tooBig(70000, 'x');
    EXPECT_EQ(socket.SendTo(tooBig.data(), int(tooBig.size())), 1);
    CMulticastSocket notAGroup;
    EXPECT_EQ(notAGroup.JoinGroup("10.1.2.3", port, 1, 1), 0);
}
