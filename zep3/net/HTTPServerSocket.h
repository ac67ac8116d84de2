#pragma once
/// @class CHTTPServerSocket
/// The web server's listening socket. Each connection it
/// accepts is handed to a CHTTPServerThread, which serves its one request;
/// when none can take it (the server's connection limit is reached, or the
/// system refuses a thread) the connection is closed at once.
/// It runs on the thread that started the server, which must run a message
/// loop.
#include <zep3/platform/Socket.h>

class CHTTPServer;

class ZEP3_API CHTTPServerSocket : public CSocket {
public:
    CHTTPServerSocket();
    void OnAccept(int errorCode) override;

    CHTTPServer* m_pHTTPServer;

protected:
    // Gives the accepted socket to a worker; false (the caller closes it)
    // when none can take it.
    bool HandOver(SOCKET connection);
};
