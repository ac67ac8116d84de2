#include <zep3/net/ServerSocket.h>

CServerSocket::CServerSocket() = default;

CServerSocket::~CServerSocket() {
    for (INT_PTR i = 0; i < m_Clients.GetSize(); ++i) delete m_Clients[i];
}

bool CServerSocket::SendPacketToClient(int index, void* data, int size) {
    if (index < 0 || index >= m_Clients.GetSize()) return false;
    return m_Clients[index]->SendPacket(data, size, 0);
}

void CServerSocket::OnAccept(int errorCode) {
    CSocket::OnAccept(errorCode);
    auto* client = new CClientSocket;
    Accept(*client); // as the protocol has it, the outcome is not examined
    m_Clients.Add(client);
}

void CServerSocket::OnSend(int errorCode) { CSocket::OnSend(errorCode); }
