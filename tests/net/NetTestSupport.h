#pragma once
// Helpers of the socket and packet-stream tests: plain POSIX peers on
// loopback, the packet wire format as the protocol table gives it (written
// here independently of the library's PacketHeader), threads with a message
// loop that run test code, and recording socket classes.
#include <zep3/platform/detail/Posix.h>
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <memory>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

// ---- the wire format ----

inline uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

inline void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char(v >> (8 * i));
}

struct WireHeader {
    int32_t length;
    uint32_t sequence;
    int32_t param;
    std::string version; // all 16 bytes
    uint32_t checksum;
    uint32_t sum; // of bytes 0 to 27
};

inline WireHeader ParseHeader(const void* bytes) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    WireHeader h;
    h.length = int32_t(Le32(p));
    h.sequence = Le32(p + 4);
    h.param = int32_t(Le32(p + 8));
    h.version.assign(reinterpret_cast<const char*>(p + 12), 16);
    h.checksum = Le32(p + 28);
    h.sum = 0;
    for (int i = 0; i < 28; ++i) h.sum += p[i];
    return h;
}

const std::string kVersionField("Packet 1.0.2\0\0\0\0", 16);

// A header as a well-behaved sender writes it; checksumDelta spoils it.
inline std::string Header(int32_t length, uint32_t sequence, int32_t param,
                          const std::string& version = kVersionField, int checksumDelta = 0) {
    std::string h;
    PutLe32(h, uint32_t(length));
    PutLe32(h, sequence);
    PutLe32(h, uint32_t(param));
    h += version.substr(0, 16);
    h.resize(28, '\0');
    uint32_t sum = 0;
    for (unsigned char c : h) sum += c;
    PutLe32(h, sum + uint32_t(checksumDelta));
    return h;
}

inline std::string Packet(const std::string& body, uint32_t sequence, int32_t param) {
    return Header(int32_t(body.size()), sequence, param) + body;
}

inline std::string Pattern(size_t size, unsigned seed) {
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        s[i] = char(x >> 24);
    }
    return s;
}

// ---- plain POSIX peers ----

// A listening TCP socket on 127.0.0.1 with a port of the system's choice.
class RawListener {
public:
    RawListener() {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(m_fd, 64) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            ADD_FAILURE() << "raw listener: " << strerror(errno);
        m_port = ntohs(a.sin_port);
    }
    ~RawListener() { close(m_fd); }
    UINT port() const { return m_port; }
    // The next connection, waiting up to 10 s; -1 when none came.
    int Accept() const {
        pollfd p = {m_fd, POLLIN, 0};
        if (poll(&p, 1, 10000) != 1) return -1;
        return accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int m_fd;
    UINT m_port = 0;
};

// A connection to 127.0.0.1:port from a loopback source address (127.0.0.2
// stands for a second client machine), without Nagle's delay; -1 on failure.
inline int RawConnect(UINT port, const char* source = "127.0.0.1") {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, source, &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    }
    close(fd);
    return -1;
}

inline bool RawWrite(int fd, const std::string& bytes) {
    return zep3::detail::WriteAll(fd, bytes.data(), bytes.size());
}

// Reads exactly `size` bytes, waiting up to timeoutMs for each chunk.
inline bool RawRead(int fd, void* buffer, size_t size, int timeoutMs = 20000) {
    char* at = static_cast<char*>(buffer);
    while (size > 0) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) != 1) return false;
        const ssize_t n = recv(fd, at, size, 0);
        if (n <= 0) return false;
        at += n;
        size -= size_t(n);
    }
    return true;
}

inline std::string RawRead(int fd, size_t size) {
    std::string s(size, '\0');
    return RawRead(fd, &s[0], size) ? s : std::string();
}

// Closes with a reset instead of a graceful end.
inline void RawReset(int fd) {
    linger l = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    close(fd);
}

// Listens on 127.0.0.1 (port of the system's choice); the port, 0 on failure.
inline UINT ListenOnLoopback(CAsyncSocket& socket) {
    CString address;
    UINT port = 0;
    if (!socket.Create(0, SOCK_STREAM, FD_ALL_EVENTS, "127.0.0.1") || !socket.Listen() ||
        !socket.GetSockName(address, port))
        return 0;
    return port;
}

// ---- message loops ----

// Pumps until the level-triggered loop has polled descriptors a few times
// more, so that any event still armed has been delivered: the way to show
// that an event does NOT come, without waiting for a guessed time.
inline void PumpPasses(int passes = 3) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    int calls = 0;
    CFdNotifier marker;
    ASSERT_TRUE(marker.Register(fds[0], CFdNotifier::Read, [&](DWORD) { ++calls; }));
    ASSERT_EQ(write(fds[1], "m", 1), 1);
    EXPECT_TRUE(PumpMessagesUntil([&] { return calls >= passes; }, 10000));
    marker.Unregister();
    close(fds[0]);
    close(fds[1]);
}

inline bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs = 20000) {
    return PumpMessagesUntil(cond, timeoutMs);
}

// A thread with a message loop on which tests create and drive sockets:
// Call runs a function there and returns once it has run.
class LoopThread {
public:
    LoopThread() {
        std::promise<DWORD> id;
        m_thread = std::thread([this, &id] {
            MSG msg;
            PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE); // makes the queue
            id.set_value(GetCurrentThreadId());
            while (GetMessage(&msg, nullptr, 0, 0) > 0) {
                if (msg.message == kRun) (*reinterpret_cast<std::function<void()>*>(msg.lParam))();
                else DispatchMessage(&msg);
                if (msg.message == WM_PACKET_PROGRESS && !msg.hwnd) ++threadProgress;
            }
        });
        m_id = id.get_future().get();
    }
    ~LoopThread() {
        PostThreadMessage(m_id, WM_QUIT, 0, 0);
        m_thread.join();
    }
    DWORD id() const { return m_id; }
    void Call(const std::function<void()>& f) {
        std::promise<void> done;
        std::function<void()> task = [&] {
            f();
            done.set_value();
        };
        ASSERT_TRUE(PostThreadMessage(m_id, kRun, 0, reinterpret_cast<LPARAM>(&task)));
        ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    }
    // Polls cond on the thread (between its messages) until it holds.
    bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 20000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            bool holds = false;
            Call([&] { holds = cond(); });
            if (holds) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::atomic<int> threadProgress{0}; // WM_PACKET_PROGRESS posted to the thread itself

private:
    static const UINT kRun = WM_APP + 77;
    std::thread m_thread;
    DWORD m_id = 0;
};

// ---- recording sockets ----

// Records the events of a socket as "receive 0", "close 10054", ...
template <class Base> class EventLog : public Base {
public:
    std::vector<std::string> events;
    std::vector<DWORD> threads;
    std::function<void(const std::string&)> hook;

    int Count(const std::string& name) const {
        int n = 0;
        for (const std::string& e : events) n += e.compare(0, name.size(), name) == 0;
        return n;
    }
    bool Has(const std::string& event) const { return std::find(events.begin(), events.end(), event) != events.end(); }

    void OnReceive(int e) override { Add("receive", e); }
    void OnSend(int e) override { Add("send", e); }
    void OnAccept(int e) override { Add("accept", e); }
    void OnConnect(int e) override { Add("connect", e); }
    void OnClose(int e) override { Add("close", e); }

private:
    void Add(const char* name, int error) {
        events.push_back(std::string(name) + " " + std::to_string(error));
        threads.push_back(GetCurrentThreadId());
        if (hook) hook(events.back());
    }
};

struct ReceivedPacket {
    int32_t param;
    uint32_t sequence;
    std::string body;
};

// A packet client that keeps what it receives.
template <class Base> class PacketSink : public Base {
public:
    std::vector<ReceivedPacket> packets;
    void Received() override {
        packets.push_back({this->m_RecvHeader.param, this->m_RecvHeader.sequence,
                           std::string(reinterpret_cast<const char*>(this->m_pData), size_t(this->m_nLength))});
    }
};

// A window that records WM_PACKET_PROGRESS as (wParam, lParam) pairs.
class ProgressWnd : public CWnd {
public:
    std::vector<std::pair<WPARAM, LPARAM>> progress;
    bool Create() { return CreateEx(0, nullptr, "progress", 0, CRect(0, 0, 10, 10), nullptr, 0) != FALSE; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_PACKET_PROGRESS) progress.emplace_back(wParam, lParam);
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

} // namespace nettest
