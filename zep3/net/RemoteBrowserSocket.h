#pragma once
/// @class CRemoteBrowserSocket
/// One browser connection of the web server, on its own
/// CHTTPServerThread. It collects the request until it is complete (the
/// empty line after the header and, with a Content-Length, the body), then
/// answers once -- the login page and login, a redirect to "login" for a
/// protected page without a valid session, or a page of the page manager --
/// and ends its thread, which closes the connection. A second request on the
/// connection is never read.
///
/// A request larger than the server's GetMaxRequestSize() closes the
/// connection without an answer.
#include <zep3/platform/Socket.h>

class CHTTPServer;
class CHTTPServerThread;

namespace zep3::detail {
struct HttpRequest;
}

class ZEP3_API CRemoteBrowserSocket : public CSocket {
public:
    CRemoteBrowserSocket();

    void OnReceive(int errorCode) override;
    void OnClose(int errorCode) override;

    CHTTPServerThread* m_pThread;
    CHTTPServer* m_pHTTPServer;
    CString m_Request; // the request text received so far

    /// Set once the request has been answered or refused: nothing more is read.
    bool m_bDone;
    /// Set once the whole answer has gone and the sending side is shut: the
    /// thread then reads what the browser sent beyond its request until it
    /// closes, so that unread bytes cannot turn the close into a reset that
    /// loses the answer.
    bool m_bLinger;

protected:
    void Answer(const zep3::detail::HttpRequest& request, const CString& peer);
    void AnswerLogin(const zep3::detail::HttpRequest& request, const CString& peer);
    void SendLoginPage(const CString& message, const CString& peer);
    /// Sends the header text, then the body; false when the connection failed.
    bool SendAnswer(const CString& header, const void* body, int size);
    /// Posts WM_USER to the connection's thread, which ends it.
    void EndConnection();
};
