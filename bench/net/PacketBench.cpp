// Framed packets over a loopback TCP connection, one way: a sender thread
// sends `count` packets of 1 KB or 64 KB bodies, the benchmark's thread
// receives them. Ours: CClientSocket or CClientASocket on both ends, the
// receiver reassembling packets in its message loop (a progress message per
// chunk included). The floor: the same frames through writev of header and
// body, and recv of the 32-byte header, then of the body, in a plain loop.
// Reported as frames per second of wall-clock time.
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

#include <netinet/tcp.h>
#include <sys/uio.h>
#include <thread>

namespace {

const size_t kBytesPerRun = 32u << 20;

int Frames(size_t body) { return int(std::max<size_t>(200, kBytesPerRun / body)); }

// A connected loopback pair: [0] sends, [1] receives.
struct Connection {
    int fd[2] = {-1, -1};
    Connection() {
        const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener, 1);
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        fd[0] = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        connect(fd[0], reinterpret_cast<sockaddr*>(&a), sizeof a);
        fd[1] = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        close(listener);
    }
    ~Connection() {
        close(fd[0]);
        close(fd[1]);
    }
};

bool RecvAll(int fd, void* to, size_t size) {
    char* at = static_cast<char*>(to);
    while (size > 0) {
        const ssize_t n = recv(fd, at, size, 0);
        if (n <= 0) return false;
        at += n;
        size -= size_t(n);
    }
    return true;
}

void Floor(benchmark::State& state, size_t body) {
    Connection c;
    const int frames = Frames(body);
    const std::vector<char> payload(body, 'p');
    std::vector<char> received(body);
    PacketHeader header;
    header.length = int32_t(body);
    for (auto _ : state) {
        std::thread sender([&] {
            for (int i = 0; i < frames; ++i) {
                iovec v[2] = {{&header, sizeof header}, {const_cast<char*>(payload.data()), body}};
                for (int first = 0; first < 2;) { // writev may take less than all
                    ssize_t n = writev(c.fd[0], v + first, 2 - first);
                    if (n <= 0) return;
                    for (; first < 2 && size_t(n) >= v[first].iov_len; ++first) n -= ssize_t(v[first].iov_len);
                    if (first < 2) {
                        v[first].iov_base = static_cast<char*>(v[first].iov_base) + n;
                        v[first].iov_len -= size_t(n);
                    }
                }
            }
        });
        PacketHeader in;
        for (int i = 0; i < frames; ++i)
            if (!RecvAll(c.fd[1], &in, sizeof in) || !RecvAll(c.fd[1], received.data(), size_t(in.length))) break;
        sender.join();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

template <class Client> class Counter : public Client {
public:
    int count = 0;
    void Received() override { ++count; }
};

// Sends all frames; the asynchronous client waits for its queue to drain
// whenever it fills, as a well-behaved sender does.
template <class Client> void SendFrames(Client& out, const std::vector<char>& payload, int frames) {
    for (int i = 0; i < frames; ++i) {
        out.SendPacket(const_cast<char*>(payload.data()), int(payload.size()), i);
        if constexpr (std::is_same<Client, CClientASocket>::value)
            if (!out.m_SendQueue.IsEmpty()) PumpMessagesUntil([&] { return out.m_SendQueue.IsEmpty(); }, 60000);
    }
}

template <class Client> void Ours(benchmark::State& state, size_t body) {
    Connection c;
    const int frames = Frames(body);
    const std::vector<char> payload(body, 'p');
    Counter<Client> in;
    in.Attach(SOCKET(c.fd[1]));
    for (auto _ : state) {
        in.count = 0;
        std::thread sender([&] {
            Client out;
            out.Attach(SOCKET(c.fd[0]));
            SendFrames(out, payload, frames);
            out.Detach();
        });
        if (!PumpMessagesUntil([&] { return in.count == frames; }, 120000)) state.SkipWithError("frames lost");
        sender.join();
    }
    in.Detach();
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

} // namespace

int main(int argc, char** argv) {
    using benchsupport::Pair;
    std::vector<Pair> pairs;
    for (size_t body : {size_t(1024), size_t(65536)}) {
        const std::string size = body == 1024 ? "1 KB" : "64 KB";
        const auto floor = [body](benchmark::State& s) { Floor(s, body); };
        pairs.push_back({"CClientSocket " + size, [body](benchmark::State& s) { Ours<CClientSocket>(s, body); },
                         "writev/recv " + size, floor, benchsupport::Timing::Real});
        pairs.push_back({"CClientASocket " + size, [body](benchmark::State& s) { Ours<CClientASocket>(s, body); },
                         "writev/recv " + size, floor, benchsupport::Timing::Real});
    }
    benchsupport::RunPairs(argc, argv, pairs);
}
