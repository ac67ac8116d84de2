#pragma once
/// @class CServerSocket
/// A listening CSocket that accepts every connection into a
/// new CClientSocket, keeps it in m_Clients (the index is its place there;
/// entries are never removed, so indices stay valid) and sends packets to a
/// client by index. The accepted clients are plain CClientSocket objects: the
/// packets they receive are announced to the thread's own queue and dropped.
/// The server owns them and deletes them with itself.
///
/// The caller creates the socket and calls Listen through CSocket.
#include <zep3/net/ClientSocket.h>
#include <zep3/platform/Array.h>

class ZEP3_API CServerSocket : public CSocket {
public:
    CServerSocket();
    /// Deletes the accepted clients (closing their connections).
    ~CServerSocket() override;

    /// false when index is not a client's; otherwise the client's
    /// SendPacket(data, size, 0).
    virtual bool SendPacketToClient(int index, void* data, int size);

    void OnAccept(int errorCode) override;
    void OnSend(int errorCode) override;

    CArray<CClientSocket*, CClientSocket*> m_Clients;
};
