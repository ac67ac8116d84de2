#pragma once
/// @class CHTTPServerThread
/// A worker thread of the web server. The listening socket hands it
/// accepted connections, and its message loop serves many of them at once:
/// each is a CRemoteBrowserSocket that reads its one request, answers it and
/// is closed. A worker registers with the thread registry as "HTTP Server"
/// and deletes itself when it ends.
///
/// The server starts workers as the connections need them, at most one per
/// processor (at least two), each created suspended with its first
/// connection's handle in m_hSocket; later connections come as the thread
/// message kServeMessage. A worker that has had nothing to serve for a
/// second ends; the thread message WM_USER tells it to end once its
/// connections are done (the server's Stop does so).
///
/// A connection is closed when it has taken longer than the server's
/// GetRequestTimeout() to deliver its request, or as long again to take the
/// answer.
#include <zep3/net/RemoteBrowserSocket.h>
#include <zep3/platform/WinThread.h>

#include <vector>

class ZEP3_API CHTTPServerThread : public CWinThread {
public:
    CHTTPServerThread();
    /// Unregisters the thread and tells the server that it has ended.
    ~CHTTPServerThread() override;

    /// Registers the thread and starts serving m_hSocket.
    BOOL InitInstance() override;
    /// Closes the connections still open.
    int ExitInstance() override;
    /// WM_USER, kServeMessage and kDeleteMessage.
    BOOL DispatchThreadMessageEx(MSG* msg) override;

    /// Serves the accepted socket `connection`, which the thread now owns.
    void Serve(SOCKET connection);
    /// Ends a connection of this thread: closed at once, deleted by the
    /// thread's loop once the event that ended it is over.
    void EndConnection(CRemoteBrowserSocket* connection);

    /// Thread message: serve the socket handle in wParam.
    static const UINT kServeMessage = WM_USER + 1;
    /// Thread message: delete the connections that have ended.
    static const UINT kDeleteMessage = WM_USER + 2;
    /// How long a worker waits for a connection before it ends.
    static const int kIdleMilliseconds = 1000;

    SOCKET m_hSocket; // the first connection, until InitInstance serves it
    CHTTPServer* m_pHTTPServer;

protected:
    /// Closes the connections that have run out of time, and ends an idle worker.
    static void CALLBACK OnSweep(HWND, UINT, UINT_PTR, DWORD);
    void Sweep();
    void DeleteConnection(CRemoteBrowserSocket* connection);

    std::vector<CRemoteBrowserSocket*> m_Connections;
    std::vector<CRemoteBrowserSocket*> m_Ended; // closed, to be deleted at kDeleteMessage
    UINT_PTR m_nTimer;
    int64_t m_nIdleSince; // when the last connection ended (monotonic milliseconds)
};
