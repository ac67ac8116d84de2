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
    // Header and body in one system call: one segment where they fit, and
    // Nagle's rule cannot hold the body back behind a lone header.
    iovec pieces[2] = {{&m_SendHeader, sizeof m_SendHeader}, {data, size > 0 ? size_t(size) : 0}};
    iovec* next = pieces;
    int count = size > 0 ? 2 : 1;
    return m_pCore->SendPieces(next, count, true) != SOCKET_ERROR;
}

void CClientSocket::SetServerSocket(CServerSocket* server) { m_pServerSocket = server; }

void CClientSocket::Received() {}

void CClientSocket::OnReceive(int errorCode) {
    CSocket::OnReceive(errorCode);
    zep3::detail::ReceivePacketChunk(*this);
}

void CClientSocket::OnSend(int errorCode) { CSocket::OnSend(errorCode); }

void CClientSocket::SetMaxPacketLength(int maxLength) { m_nMaxPacketLength = maxLength < 1 ? 1 : maxLength; }
