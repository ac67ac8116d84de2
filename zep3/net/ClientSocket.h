#pragma once
/// @class CClientSocket
/// One end of a packet-stream connection over a blocking
/// CSocket. SendPacket puts a packet (header, then body) on the wire and
/// returns once the network has taken all of it, serving the thread's
/// messages meanwhile. Received bytes are reassembled into packets on the
/// socket's thread: each receive event takes the next part of the header or
/// body, posts WM_PACKET_PROGRESS to m_hNotifyWnd (the thread's own queue when
/// it is null) and, once a packet is whole, calls Received.
///
/// A received header is dropped, with its 32 bytes, when its checksum, length,
/// sequence or version is wrong or when it announces more than
/// GetMaxPacketLength() body bytes (64 MiB unless set): a hostile peer cannot
/// make the receiver allocate more. The next byte is read as a new header.
///
/// The caller creates and connects the socket with CSocket's calls.
#include <zep3/net/PacketHeader.h>
#include <zep3/platform/Socket.h>

class CServerSocket;

class ZEP3_API CClientSocket : public CSocket {
public:
    /// The largest body a received header may announce unless set otherwise.
    static const int DefaultMaxPacketLength = 64 * 1024 * 1024;

    CClientSocket();
    /// Releases a body in progress.
    ~CClientSocket() override;

    /// One packet whose body is the `size` bytes at data; true when header and
    /// body were all handed to the network. A size of 0 sends the header alone.
    bool SendPacket(void* data, int size, int param);
    virtual void SetServerSocket(CServerSocket* server);
    /// Called for every complete packet, on the socket's thread, while m_pData
    /// holds the body, m_nLength its length and m_RecvHeader its header. The
    /// body is released on return: an override that keeps it copies it.
    virtual void Received();

    void OnReceive(int errorCode) override;
    void OnSend(int errorCode) override;

    /// Headers announcing more body bytes than this (at least 1) are dropped.
    void SetMaxPacketLength(int maxLength);
    int GetMaxPacketLength() const { return m_nMaxPacketLength; }

    CServerSocket* m_pServerSocket;
    BYTE* m_pData;
    int m_nReceived;
    int m_nLength;
    int m_nPackets;
    bool m_bHeader;
    int m_nHeaderReceived;
    PacketHeader m_RecvHeader;
    PacketHeader m_SendHeader;
    HWND m_hNotifyWnd;

private:
    int m_nMaxPacketLength = DefaultMaxPacketLength;
};
