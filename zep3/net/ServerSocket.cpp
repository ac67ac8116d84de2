#include <zep3/net/ServerSocket.h>

namespace zep3::detail {

// An accepted connection that tells its server when it ends.
class AcceptedClient : public CClientSocket {
public:
    AcceptedClient(CServerSocket& server, INT_PTR index) : m_server(server), m_index(index) {}

    void OnClose(int errorCode) override {
        CClientSocket::OnClose(errorCode);
        m_server.ClientClosed(this, m_index);
    }

private:
    CServerSocket& m_server;
    const INT_PTR m_index;
};

} // namespace zep3::detail

CServerSocket::CServerSocket() = default;

CServerSocket::~CServerSocket() {
    for (INT_PTR i = 0; i < m_Clients.GetSize(); ++i) delete m_Clients[i];
    delete m_pClosed;
}

bool CServerSocket::SendPacketToClient(int index, void* data, int size) {
    if (index < 0 || index >= m_Clients.GetSize() || !m_Clients[index]) return false;
    return m_Clients[index]->SendPacket(data, size, 0);
}

void CServerSocket::OnAccept(int errorCode) {
    CSocket::OnAccept(errorCode);
    auto* client = new zep3::detail::AcceptedClient(*this, m_Clients.GetSize());
    Accept(*client); // as the protocol has it, the outcome is not examined
    m_Clients.Add(client);
}

void CServerSocket::OnSend(int errorCode) { CSocket::OnSend(errorCode); }

void CServerSocket::ClientClosed(CClientSocket* client, INT_PTR index) {
    if (index >= m_Clients.GetSize() || m_Clients[index] != client) return; // the application took it over
    m_Clients[index] = nullptr;
    client->Close();
    // Still inside its own event: deleted later. The one closed before is
    // long out of its event by now.
    delete m_pClosed;
    m_pClosed = client;
}
