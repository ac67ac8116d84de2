#include <zep3/net/ClientASocket.h>
#include <zep3/net/detail/PacketStream.h>
#include <zep3/platform/detail/SocketCore.h>
#include <zep3/platform/SingleLock.h>

CClientASocket::CClientASocket()
    : m_pData(nullptr), m_nReceived(0), m_nLength(0), m_nPackets(0), m_bHeader(true), m_nHeaderReceived(0),
      m_hNotifyWnd(nullptr) {
    m_pCore->readAhead = true; // headers and small bodies: one system call for many
}

CClientASocket::~CClientASocket() { delete[] m_pData; }

bool CClientASocket::Enqueue(const void* data, int size) {
    if (size <= 0) return true;
    m_SendQueue.AddTail(CMemory());
    if (m_SendQueue.GetTail().Create(size, data)) return true;
    m_SendQueue.RemoveTail();
    return false;
}

bool CClientASocket::SendOrQueue(const void* header, int headerSize, const void* body, int bodySize) {
    iovec pieces[2];
    int count = 0;
    if (headerSize > 0) pieces[count++] = {const_cast<void*>(header), size_t(headerSize)};
    if (bodySize > 0) pieces[count++] = {const_cast<void*>(body), size_t(bodySize)};
    iovec* next = pieces;
    // Nothing overtakes what is queued; otherwise header and body go in one
    // system call, and only what the network does not take is queued.
    if (m_SendQueue.IsEmpty() && m_pCore->SendPieces(next, count, false) == SOCKET_ERROR) return false;
    for (; count > 0; ++next, --count)
        if (!Enqueue(next->iov_base, int(next->iov_len))) return false;
    return true;
}

bool CClientASocket::SendPacketData(void* data, int size) { return SendOrQueue(nullptr, 0, data, size); }

bool CClientASocket::SendPacket(void* data, int size, int param) { return SendPacketEx(data, size, size, param); }

bool CClientASocket::SendPacketEx(void* data, int size, int total, int param) {
    if (total < size) return SendPacketData(data, size);
    zep3::detail::FillHeader(m_SendHeader, total, param);
    return SendOrQueue(&m_SendHeader, sizeof m_SendHeader, data, size);
}

void CClientASocket::OnSend(int errorCode) {
    while (!m_SendQueue.IsEmpty()) {
        CMemory& head = m_SendQueue.GetHead();
        iovec rest = {head.GetData() + m_nHeadSent, size_t(head.GetSize() - m_nHeadSent)};
        iovec* next = &rest;
        int count = 1;
        const int sent = m_pCore->SendPieces(next, count, false);
        if (sent >= 0 && count > 0) { // would block: the next OnSend goes on
            m_nHeadSent += sent;
            return;
        }
        m_SendQueue.RemoveAt(m_SendQueue.GetHeadPosition());
        m_nHeadSent = 0;
        if (sent < 0) return; // that block is lost; the rest stays queued
    }
    CAsyncSocket::OnSend(errorCode);
}

int CClientASocket::GetLastPacketTimer() {
    CSingleLock hold(&m_TimerLock, TRUE);
    return m_Timer.IsRunning() ? m_Timer.GetCounts() : 0;
}

void CClientASocket::Received() {}

void CClientASocket::OnReceive(int errorCode) {
    CAsyncSocket::OnReceive(errorCode);
    const zep3::detail::ChunkResult result = zep3::detail::ReceivePacketChunk(*this);
    if (result == zep3::detail::ChunkResult::Dropped) return; // the timer stays as it was
    CSingleLock hold(&m_TimerLock, TRUE);
    if (m_Timer.IsRunning()) m_Timer.Stop();
    if (result == zep3::detail::ChunkResult::InProgress) m_Timer.Start();
}

void CClientASocket::SetMaxPacketLength(int maxLength) { m_nMaxPacketLength = maxLength < 1 ? 1 : maxLength; }
