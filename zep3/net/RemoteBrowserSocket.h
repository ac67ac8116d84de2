#pragma once
/// @class CRemoteBrowserSocket
/// One browser connection of the web server, served by a
/// CHTTPServerThread together with other connections. It collects the
/// request until it is complete (the empty line after the header and, with a
/// Content-Length, the body), then answers once -- the login page and login,
/// a redirect to "login" for a protected page without a valid session, or a
/// page of the page manager -- and is closed. A second request on the
/// connection is never read.
///
/// Nothing here waits: an answer the browser does not take at once is sent
/// on as the socket takes more (OnSend), so that one slow browser holds up
/// no other connection of its thread. A request larger than the server's
/// GetMaxRequestSize() closes the connection without an answer.
#include <zep3/platform/Socket.h>

#include <cstdint>
#include <string>

class CHTTPServer;
class CHTTPServerThread;

namespace zep3::detail {
struct HttpRequest;
}

class ZEP3_API CRemoteBrowserSocket : public CSocket {
public:
    CRemoteBrowserSocket();

    ///@{
    /// Never wait, unlike CSocket's: the connection's thread serves others.
    int Receive(void* buffer, int bufferLength, int flags = 0) override;
    int Send(const void* buffer, int bufferLength, int flags = 0) override;
    ///@}

    void OnReceive(int errorCode) override;
    /// Sends on the answer that had to wait.
    void OnSend(int errorCode) override;
    void OnClose(int errorCode) override;

    CHTTPServerThread* m_pThread;
    CHTTPServer* m_pHTTPServer;
    CString m_Request; // the request text received so far

    /// Set once the request has been answered or refused: nothing more is read.
    bool m_bDone;
    /// When the connection is closed unless it has ended (monotonic milliseconds).
    int64_t m_nDeadline;

protected:
    friend class CHTTPServerThread;
    /// Takes over a connection the listening socket accepted (a connected,
    /// non-blocking, close-on-exec TCP socket, as accept4 made it) for
    /// FD_READ and FD_CLOSE, without asking the system what it is.
    BOOL AttachAccepted(SOCKET socket);
    void Answer(const zep3::detail::HttpRequest& request, const CString& peer);
    void AnswerLogin(const zep3::detail::HttpRequest& request, const CString& peer);
    void SendLoginPage(const CString& message, const CString& peer);
    /// Sends the header text, then the body.
    void SendAnswer(const CString& header, const void* body, int size);
    /// Sends what the socket takes of the answer; once all has gone, lingers.
    void Flush();
    /// Ends the connection at once when the browser has sent nothing beyond
    /// its request (the usual case). Otherwise shuts the sending side and
    /// reads until the browser closes: a close with unread bytes would be a
    /// reset that can destroy the answer in flight.
    void Linger();
    /// Closes the connection; its thread deletes it.
    void EndConnection();

    std::string m_Answer; // what is still to be sent, from m_nSent on
    size_t m_nSent;
    bool m_bWriteSelected; // write events asked for, once an answer had to wait
    bool m_bLinger;
    size_t m_nDrained;
};
