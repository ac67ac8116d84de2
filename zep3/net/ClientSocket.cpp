#include <zep3/net/ClientSocket.h>
#include <zep3/net/detail/PacketStream.h>
#include <zep3/platform/detail/SocketCore.h>

CClientSocket::CClientSocket()
    : m_pServerSocket(nullptr), m_pData(nullptr), m_nReceived(0), m_nLength(0), m_nPackets(0), m_bHeader(true),
      m_nHeaderReceived(0), m_hNotifyWnd(nullptr) {
    m_pCore->readAhead = true; // headers and small bodies: one system call for many
}

CClientSocket::~CClientSocket() { delete[] m_pData; }

bool CClientSocket::SendPacket(void* data, int size, int param) {
    zep3::detail::FillHeader(m_SendHeader, size, param);
    auto sendAll = [this](const void* bytes, int count, int flags) {
        const char* next = static_cast<const char*>(bytes);
        while (count > 0) {
            const int sent = Send(next, count, flags);
            if (sent == SOCKET_ERROR) return false;
            next += sent;
            count -= sent;
        }
        return true;
    };
    // MSG_MORE: header and body leave in one segment, and Nagle's rule
    // cannot hold the body back behind the lone header.
    return sendAll(&m_SendHeader, sizeof m_SendHeader, size > 0 ? MSG_MORE : 0) &&
           (size <= 0 || sendAll(data, size, 0));
}

void CClientSocket::SetServerSocket(CServerSocket* server) { m_pServerSocket = server; }

void CClientSocket::Received() {}

void CClientSocket::OnReceive(int errorCode) {
    CSocket::OnReceive(errorCode);
    zep3::detail::ReceivePacketChunk(*this);
}

void CClientSocket::OnSend(int errorCode) { CSocket::OnSend(errorCode); }

void CClientSocket::SetMaxPacketLength(int maxLength) { m_nMaxPacketLength = maxLength < 1 ? 1 : maxLength; }
