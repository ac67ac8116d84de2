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

int CClientASocket::SendWhatGoes(const void* data, int size, int flags) {
    const char* bytes = static_cast<const char*>(data);
    int done = 0;
    while (done < size) {
        const int sent = Send(bytes + done, size - done, flags);
        if (sent == SOCKET_ERROR) return GetLastError() == WSAEWOULDBLOCK ? done : -1;
        done += sent;
    }
    return done;
}

bool CClientASocket::Enqueue(const void* data, int size) {
    if (size <= 0) return true;
    m_SendQueue.AddTail(CMemory());
    if (m_SendQueue.GetTail().Create(size, data)) return true;
    m_SendQueue.RemoveTail();
    return false;
}

bool CClientASocket::SendPacketData(void* data, int size) { return SendOrQueue(data, size, 0); }

bool CClientASocket::SendOrQueue(const void* data, int size, int flags) {
    if (size <= 0) return true;
    if (!m_SendQueue.IsEmpty()) return Enqueue(data, size); // behind what waits
    const int sent = SendWhatGoes(data, size, flags);
    return sent >= 0 && Enqueue(static_cast<const char*>(data) + sent, size - sent);
}

bool CClientASocket::SendHeader(int length, int param, bool bodyFollows) {
    zep3::detail::FillHeader(m_SendHeader, length, param);
    // MSG_MORE: header and body leave in one segment, and Nagle's rule
    // cannot hold the body back behind the lone header.
    return SendOrQueue(&m_SendHeader, sizeof m_SendHeader, bodyFollows ? MSG_MORE : 0);
}

bool CClientASocket::SendPacket(void* data, int size, int param) {
    return SendHeader(size, param, size > 0) && SendPacketData(data, size);
}

bool CClientASocket::SendPacketEx(void* data, int size, int total, int param) {
    if (total >= size && !SendHeader(total, param, size > 0)) return false;
    return SendPacketData(data, size);
}

void CClientASocket::OnSend(int errorCode) {
    while (!m_SendQueue.IsEmpty()) {
        CMemory& head = m_SendQueue.GetHead();
        const int left = head.GetSize() - m_nHeadSent;
        const int sent = SendWhatGoes(head.GetData() + m_nHeadSent, left, 0);
        if (sent >= 0 && sent < left) { // would block: the next OnSend goes on
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
