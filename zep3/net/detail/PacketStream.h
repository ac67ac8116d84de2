#pragma once
// The framing both packet clients share: building a header to send, and one
// receive event of the reassembly (header phase, then body phase) working
// on the client's own members.
#include <zep3/net/PacketHeader.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/WinSock.h>

#include <cstring>
#include <new>

namespace zep3::detail {

// The sum of header bytes 0 to 27.
ZEP3_TEST_API uint32_t HeaderChecksum(const PacketHeader& header);
// Length, the next sequence number and param; then the checksum.
void FillHeader(PacketHeader& header, int length, int param);
// The four checks of a received header, and the length cap.
ZEP3_TEST_API bool IsAcceptableHeader(const PacketHeader& header, int maxLength);

enum class ChunkResult { Dropped, InProgress, Completed };

// One receive event of a packet client: receives the next part of the header
// or body through the client's Receive, posts WM_PACKET_PROGRESS and, when
// the packet is complete, calls Received and releases the body. Dropped: the
// receive failed or the header was rejected (nothing posted).
template <class Client> ChunkResult ReceivePacketChunk(Client& c) {
    if (c.m_bHeader) {
        if (c.m_nHeaderReceived == 0) std::memset(static_cast<void*>(&c.m_RecvHeader), 0, sizeof c.m_RecvHeader);
        char* at = reinterpret_cast<char*>(&c.m_RecvHeader) + c.m_nHeaderReceived;
        const int n = c.Receive(at, int(sizeof c.m_RecvHeader) - c.m_nHeaderReceived);
        if (n == SOCKET_ERROR) {
            c.m_nHeaderReceived = 0;
            return ChunkResult::Dropped;
        }
        c.m_nHeaderReceived += n;
        if (c.m_nHeaderReceived == int(sizeof c.m_RecvHeader)) {
            c.m_nHeaderReceived = 0;
            if (!IsAcceptableHeader(c.m_RecvHeader, c.GetMaxPacketLength())) return ChunkResult::Dropped;
            c.m_pData = new (std::nothrow) BYTE[c.m_RecvHeader.length];
            if (!c.m_pData) return ChunkResult::Dropped; // as a header we cannot take
            c.m_nLength = c.m_RecvHeader.length;
            c.m_nReceived = 0;
            c.m_bHeader = false;
        }
    } else {
        const int n = c.Receive(c.m_pData + c.m_nReceived, c.m_nLength - c.m_nReceived);
        if (n == SOCKET_ERROR) {
            delete[] c.m_pData;
            c.m_pData = nullptr;
            c.m_nReceived = c.m_nLength = 0;
            c.m_bHeader = true;
            return ChunkResult::Dropped;
        }
        c.m_nReceived += n;
    }
    PostMessage(c.m_hNotifyWnd, WM_PACKET_PROGRESS, WPARAM(c.m_nReceived), LPARAM(c.m_nLength));
    if (c.m_bHeader || c.m_nReceived < c.m_nLength) return ChunkResult::InProgress;
    c.m_bHeader = true;
    c.m_nHeaderReceived = 0;
    ++c.m_nPackets;
    c.Received();
    delete[] c.m_pData;
    c.m_pData = nullptr;
    c.m_nReceived = c.m_nLength = 0;
    return ChunkResult::Completed;
}

} // namespace zep3::detail
