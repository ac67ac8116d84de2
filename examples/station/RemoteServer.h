#pragma once
// The station's remote-control port: a packet-stream listener on 127.0.0.1.
// Each packet carries one remote-control record (the packet's param repeats
// the record's type):
//   station -> client on connecting   CPromptMessage, the banner
//   CLoginMessage (login 1 the user, login 2 the password)
//                                     -> CTextMessage, param 1 accepted / 0 refused
//   CGeneralStatusMessage             -> CGeneralStatusMessage: values frames
//                                        grabbed, recorded, objects in the zone,
//                                        snapshots; texts the segment being
//                                        written and "recording" or "paused"
//   CPrepareImageServerMessage        -> CImageMessage followed, in the same
//                                        body, by the latest snapshot's JPEG
// Before a login, and for unknown records, the answer is a CTextMessage with
// param 0. Sockets live on the thread that runs the message loop.
#include <zep3/zep3.h>

#include <memory>
#include <vector>

class Station;

class RemoteServer : public CSocket {
public:
    explicit RemoteServer(const Station& station);
    ~RemoteServer() override;

    // Listens on 127.0.0.1:port (0: any free port). False when it cannot.
    bool Start(UINT port);
    UINT Port() const { return m_nPort; }
    // Deletes the connections whose peers have gone; call it outside the
    // socket handlers.
    void Sweep();

    void OnAccept(int errorCode) override;

private:
    class Connection;

    const Station& m_Station;
    UINT m_nPort = 0;
    std::vector<std::unique_ptr<Connection>> m_Connections;
};
