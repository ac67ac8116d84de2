#pragma once
/// @class CClientASocket
/// The packet stream of CClientSocket over a non-blocking
/// CAsyncSocket. What the network does not take at once goes to a send queue
/// that OnSend drains as the connection takes bytes again, so SendPacket never
/// waits. Bytes leave in the order of the calls: while anything is queued,
/// new packets (and SendPacketEx pieces) are appended to the queue instead of
/// overtaking it. A failure while draining drops the block concerned and is
/// reported to nobody; bytes still queued when the object is destroyed are
/// not sent.
///
/// Receiving, the progress message and the cap on announced body lengths are
/// as in CClientSocket. GetLastPacketTimer tells, from any thread, for how
/// long a half-received packet has been waiting for its next bytes, so that a
/// watchdog can close a stalled connection.
#include <zep3/foundation/Counter.h>
#include <zep3/foundation/Memory.h>
#include <zep3/net/PacketHeader.h>
#include <zep3/platform/AsyncSocket.h>
#include <zep3/platform/CriticalSection.h>
#include <zep3/platform/List.h>

class ZEP3_API CClientASocket : public CAsyncSocket {
public:
    static const int DefaultMaxPacketLength = 64 * 1024 * 1024;

    CClientASocket();
    ~CClientASocket() override;

    /// One packet; false only for an error other than WSAEWOULDBLOCK (what the
    /// network does not take is queued).
    bool SendPacket(void* data, int size, int param);
    /// A header announcing `total` body bytes followed by `size` of them when
    /// total >= size; only the `size` bytes otherwise. A long body goes out in
    /// pieces: first total = the whole length, then total = 0 for the rest.
    bool SendPacketEx(void* data, int size, int total, int param);
    /// Whole milliseconds since the last chunk of a packet still incomplete;
    /// 0 when none is in progress. Any thread.
    int GetLastPacketTimer();
    /// As in CClientSocket.
    virtual void Received();

    void OnReceive(int errorCode) override;
    /// Drains the queue; the base's OnSend once it is empty.
    void OnSend(int errorCode) override;

    void SetMaxPacketLength(int maxLength);
    int GetMaxPacketLength() const { return m_nMaxPacketLength; }

    BYTE* m_pData;
    int m_nReceived;
    int m_nLength;
    int m_nPackets;
    bool m_bHeader;
    int m_nHeaderReceived;
    PacketHeader m_RecvHeader;
    PacketHeader m_SendHeader;
    HWND m_hNotifyWnd;
    CList<CMemory, const CMemory&> m_SendQueue;
    CCounter m_Timer;
    CCriticalSection m_TimerLock;

protected:
    /// Raw bytes, queued as needed; false only for a real error.
    bool SendPacketData(void* data, int size);

private:
    // Sends header and body (either may be empty) as far as the network
    // takes them and queues the rest; everything is queued while the queue
    // holds anything, so that bytes keep the order of the calls.
    bool SendOrQueue(const void* header, int headerSize, const void* body, int bodySize);
    bool Enqueue(const void* data, int size);

    int m_nMaxPacketLength = DefaultMaxPacketLength;
    int m_nHeadSent = 0; // bytes of the queue's first block already sent
};
