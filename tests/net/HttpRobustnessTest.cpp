// The web server against slow, oversized and numerous clients: each is cut
// off by its limit, the server goes on answering, and its memory stays flat.
#include "HttpTestSupport.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>

using namespace httptest;

namespace {

const std::string kSmallAnswer = kHeader + "\r\nsmall|-1";

// The small page on a server of its own; `limit` sets the server's limits.
struct SmallSite {
    EchoPage small{"small", false};
    ServerRunner runner;
    explicit SmallSite(const std::function<void(CHTTPServer&)>& limit = [](CHTTPServer&) {})
        : runner([&](CHTTPServer& s) {
              s.GetHTMLPageManager()->AddHTMLPage(&small);
              limit(s);
          }) {}
};

// Opens `count` connections at once, sends each a request for the small
// page and reads every answer; the number answered in full (the others were
// closed by the connection limit).
int Burst(UINT port, int count) {
    std::vector<int> fds;
    for (int i = 0; i < count; ++i) {
        const int fd = RawConnect(port);
        if (fd < 0) break;
        fds.push_back(fd);
    }
    for (int fd : fds) nettest::RawWrite(fd, "GET /small HTTP/1.1\r\n\r\n");
    int answered = 0;
    for (int fd : fds) {
        const std::string answer = ReadAll(fd);
        if (answer == kSmallAnswer) ++answered;
        else EXPECT_TRUE(answer.empty() || answer == "<reset>") << answer.substr(0, 200);
        close(fd);
    }
    EXPECT_EQ(int(fds.size()), count);
    return answered;
}

// A page of `size` bytes, all 'x'.
class BigPage : public CHTMLPage {
public:
    explicit BigPage(size_t size) : m_Body(size, 'x') { m_PageName = "big"; }
    CMemory GenerateContent(CString&) override { return CMemory(int(m_Body.size()), m_Body.data()); }

private:
    std::string m_Body;
};

} // namespace

TEST(HttpRobustness, BrowsersThatDoNotReadHoldUpNoOtherConnection) {
    // Every worker gets some of the stalled browsers (more of them than
    // workers), so the small pages below share workers with them.
    const size_t bigSize = 16 << 20; // more than the socket buffers hold
    BigPage big(bigSize);
    SmallSite site([&](CHTTPServer& s) { s.GetHTMLPageManager()->AddHTMLPage(&big); });
    std::vector<int> stalled;
    for (int i = 0; i < 8; ++i) {
        const int fd = RawConnect(site.runner.port());
        ASSERT_TRUE(nettest::RawWrite(fd, "GET /big HTTP/1.1\r\n\r\n"));
        stalled.push_back(fd);
    }
    for (int i = 0; i < 20; ++i) ASSERT_EQ(Get(site.runner.port(), "small"), kSmallAnswer);
    // The waiting answers go on as the browsers read, each whole.
    const std::string bigAnswer = kHeader + "\r\n" + std::string(bigSize, 'x');
    for (int fd : stalled) {
        const std::string answer = ReadAll(fd);
        EXPECT_TRUE(answer == bigAnswer) << answer.size() << " " << answer.substr(answer.size() > 20 ? answer.size() - 20 : 0);
        close(fd);
    }
    EXPECT_TRUE(site.runner.WaitIdle());
}

TEST(HttpRobustness, SlowAndSilentClientsAreCutOffByTheTimeLimit) {
    SmallSite site([](CHTTPServer& s) { EXPECT_TRUE(s.SetRequestTimeout(1500)); });
    ServerRunner& runner = site.runner;
    const int slow = RawConnect(runner.port());
    const std::string request = "GET /small HTTP/1.1\r\n\r\n";
    const int64_t start = zep3::detail::MonotonicMilliseconds();
    bool cut = false;
    for (size_t i = 0; i < request.size() && !cut; ++i) {
        if (send(slow, &request[i], 1, MSG_NOSIGNAL) != 1) break;
        // One byte a second; the wait ends early when the server closes.
        pollfd p = {slow, POLLIN, 0};
        cut = poll(&p, 1, 1000) == 1;
    }
    EXPECT_TRUE(cut) << "the whole request went through one byte a second";
    EXPECT_EQ(ReadAll(slow), "");
    close(slow);
    EXPECT_LT(zep3::detail::MonotonicMilliseconds() - start, 15000);
    const int silent = RawConnect(runner.port()); // sends nothing at all
    EXPECT_EQ(ReadAll(silent), "");
    close(silent);
    EXPECT_EQ(Get(runner.port(), "small"), kSmallAnswer) << "the server goes on answering";
    EXPECT_TRUE(runner.WaitIdle());
}

TEST(HttpRobustness, OversizedRequestClosesTheConnectionAndMemoryStaysFlat) {
    SmallSite site([](CHTTPServer& s) { EXPECT_TRUE(s.SetMaxRequestSize(64 * 1024)); });
    ServerRunner& runner = site.runner;
    const std::string header = "GET /small HTTP/1.1\r\nX-Filler: ";
    const std::string filler(8 * 1024, 'f');
    long before = 0;
    for (int round = 0; round < 12; ++round) {
        if (round == 2) before = ResidentKiB(); // after the first rounds have warmed the allocator
        const int fd = RawConnect(runner.port());
        // Small fixed buffers: what the server has not read waits in send,
        // so however slowly the server gets to its close, the count below
        // holds what it took, not what the kernel could queue meanwhile.
        const int buffer = 64 * 1024;
        const timeval bound = {20, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
        nettest::RawWrite(fd, header);
        // Writes until the server closes; it must not read a megabyte first.
        size_t sent = header.size();
        while (sent < (4u << 20) && send(fd, filler.data(), filler.size(), MSG_NOSIGNAL) > 0) sent += filler.size();
        EXPECT_LT(sent, 4u << 20) << "the server kept reading";
        const std::string answer = ReadAll(fd);
        EXPECT_TRUE(answer.empty() || answer == "<reset>");
        close(fd);
    }
    EXPECT_EQ(Get(runner.port(), "small"), kSmallAnswer);
    EXPECT_TRUE(runner.WaitIdle());
    if (kResidentMemoryTells) {
        EXPECT_LT(ResidentKiB() - before, 8 * 1024) << "resident memory grew";
    }

    // Just below the limit is still served.
    const std::string fits = header + std::string(64 * 1024 - header.size() - 4, 'f') + "\r\n\r\n";
    EXPECT_EQ(Exchange(runner.port(), fits), kSmallAnswer);
}

TEST(HttpRobustness, ConnectionsBeyondTheLimitAreClosedAtOnce) {
    SmallSite site([](CHTTPServer& s) { EXPECT_TRUE(s.SetConnectionLimit(2)); });
    ServerRunner& runner = site.runner;
    const int first = RawConnect(runner.port()), second = RawConnect(runner.port());
    nettest::RawWrite(first, "GET /sm");
    nettest::RawWrite(second, "GET /sm");
    ASSERT_TRUE(PumpMessagesUntil([&] { return runner.server().GetConnectionCount() == 2; }, 20000));
    const std::string third = Get(runner.port(), "small");
    EXPECT_TRUE(third.empty() || third == "<reset>") << "a third connection is closed unanswered: " << third;
    for (int fd : {first, second}) {
        nettest::RawWrite(fd, "all HTTP/1.1\r\n\r\n");
        EXPECT_EQ(ReadAll(fd), kSmallAnswer);
        close(fd);
    }
    EXPECT_TRUE(runner.WaitIdle());
    EXPECT_EQ(Get(runner.port(), "small"), kSmallAnswer);
}

TEST(HttpRobustness, ThousandConnectionsLeaveTheServerAnsweringWithFlatMemory) {
    SmallSite site;
    ServerRunner& runner = site.runner;
    long before = 0;
    int answered = 0;
    for (int round = 0; round < 10; ++round) {
        if (round == 2) before = ResidentKiB();
        answered += Burst(runner.port(), 100);
        EXPECT_TRUE(runner.WaitIdle());
    }
    EXPECT_GT(answered, 0);
    EXPECT_EQ(site.small.served, answered);
    if (kResidentMemoryTells) {
        EXPECT_LT(ResidentKiB() - before, 8 * 1024) << "resident memory grew";
    }
    EXPECT_EQ(Get(runner.port(), "small"), kSmallAnswer);
}
