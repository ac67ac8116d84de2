// The packet receiver fed arbitrary byte streams in arbitrary pieces: each
// receive event takes a piece whose size (or a failure, or an empty read)
// the input chooses. Every packet delivered must carry a header that passes
// the checks, with a body of the announced length no longer than the cap,
// and the receiver must end between packets or inside one, never elsewhere.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

namespace {

const int kCap = 1 << 20; // keeps each run's allocations small

class FuzzClient : public CClientASocket {
public:
    FuzzClient(const uint8_t* data, size_t size) : m_data(data), m_size(size) { SetMaxPacketLength(kCap); }

    // Serves the stream: the first byte of each event chooses its piece.
    int Receive(void* buffer, int length, int) override {
        const uint8_t code = Next();
        if (code == 0) {
            WSASetLastError(WSAECONNRESET);
            return SOCKET_ERROR;
        }
        const size_t piece = std::min<size_t>({size_t(code == 1 ? 0 : code * 8), size_t(length), m_size - m_at});
        std::memcpy(buffer, m_data + m_at, piece);
        m_at += piece;
        return int(piece);
    }
    void Received() override {
        uint32_t sum = 0;
        const auto* h = reinterpret_cast<const unsigned char*>(&m_RecvHeader);
        for (int i = 0; i < 28; ++i) sum += h[i];
        zep3fuzz::check(sum == m_RecvHeader.checksum, "delivered header has a good checksum");
        zep3fuzz::check(m_RecvHeader.sequence != 0, "delivered header has a sequence");
        zep3fuzz::check(std::strcmp(m_RecvHeader.version, "Packet 1.0.2") == 0, "delivered header has the version");
        zep3fuzz::check(m_nLength == m_RecvHeader.length && m_nLength >= 1 && m_nLength <= kCap,
                        "body length as announced and within the cap");
        zep3fuzz::check(m_nReceived == m_nLength && m_pData != nullptr, "body complete");
        ++delivered;
    }
    bool Done() const { return m_at >= m_size; }

    int delivered = 0;

private:
    uint8_t Next() { return m_at < m_size ? m_data[m_at++] : 1; }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) { // what others left in this thread's queue
    }
    FuzzClient client(data, size);
    for (size_t events = 0; !client.Done() && events <= size; ++events) client.OnReceive(0);
    zep3fuzz::check(client.delivered == client.m_nPackets, "every packet reported once");
    zep3fuzz::check(client.m_bHeader ? client.m_pData == nullptr && client.m_nHeaderReceived < 32
                                     : client.m_pData != nullptr && client.m_nReceived < client.m_nLength,
                    "between packets or inside one");
    zep3fuzz::check((client.GetLastPacketTimer() >= 0), "the stall timer reads");
    // The progress messages went to this thread's queue.
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
        zep3fuzz::check(msg.message == WM_PACKET_PROGRESS && msg.wParam <= WPARAM(kCap), "only progress, in range");
    return 0;
}
