#pragma once
/// @class CHTTPServerThread
/// The thread of one web connection. Created suspended by
/// the listening socket, which hands it the accepted socket's handle, it
/// registers with the thread registry as "HTTP Server", attaches the handle
/// to its CRemoteBrowserSocket and runs its message loop until the thread
/// message WM_USER ends it; then it closes the connection and deletes itself.
///
/// A connection lives at most the server's GetRequestTimeout() to deliver
/// its request, and as long again to take the answer; then it is closed.
#include <zep3/net/RemoteBrowserSocket.h>
#include <zep3/platform/WinThread.h>

class ZEP3_API CHTTPServerThread : public CWinThread {
public:
    CHTTPServerThread();
    /// Unregisters the thread and tells the server that the connection ended.
    ~CHTTPServerThread() override;

    BOOL InitInstance() override;
    /// Closes the connection.
    int ExitInstance() override;
    /// WM_USER ends the thread.
    BOOL DispatchThreadMessageEx(MSG* msg) override;

    /// Starts (or restarts) the connection's time limit.
    void StartTimeout();

    CRemoteBrowserSocket m_Socket;
    SOCKET m_hSocket; // the accepted connection, until InitInstance attaches it
    CHTTPServer* m_pHTTPServer;

protected:
    /// The time limit has passed: cut the connection.
    static void CALLBACK OnTimeout(HWND, UINT, UINT_PTR, DWORD);
    /// When the browser has sent more than its request, reads and drops it
    /// until the browser closes or a short time has passed; otherwise returns
    /// at once (one request per connection: a browser sends nothing more).
    void DrainAfterAnswer();

    UINT_PTR m_nTimer;
};
