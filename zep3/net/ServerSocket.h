#pragma once
/// @class CServerSocket
/// A listening CSocket that accepts every connection into a
/// new CClientSocket, keeps it in m_Clients (the index is its place there)
/// and sends packets to a client by index. The accepted clients are plain
/// CClientSocket objects: the packets they receive are announced to the
/// thread's own queue and dropped. The server owns them and deletes them with
/// itself.
///
/// A client whose connection ends leaves the list: its entry becomes null --
/// the list never shrinks, so the indices of the others stay valid -- its
/// socket is closed at once and the object deleted outside its own event (at
/// the next client's close, or with the server). A long-running server thus
/// keeps a pointer per connection it ever took, not a connection. A client
/// taken out of m_Clients by the application is the application's to delete.
///
/// The caller creates the socket and calls Listen through CSocket.
#include <zep3/net/ClientSocket.h>
#include <zep3/platform/Array.h>

namespace zep3::detail {
class AcceptedClient;
}

class ZEP3_API CServerSocket : public CSocket {
public:
    CServerSocket();
    /// Deletes the accepted clients (closing their connections).
    ~CServerSocket() override;

    /// false when index is not a client's (or its connection has ended);
    /// otherwise the client's SendPacket(data, size, 0).
    virtual bool SendPacketToClient(int index, void* data, int size);

    void OnAccept(int errorCode) override;
    void OnSend(int errorCode) override;

    CArray<CClientSocket*, CClientSocket*> m_Clients;

private:
    friend class zep3::detail::AcceptedClient;
    // From the client's OnClose: empties its entry and closes its socket.
    void ClientClosed(CClientSocket* client, INT_PTR index);

    CClientSocket* m_pClosed = nullptr; // closed, deleted at the next close
};
