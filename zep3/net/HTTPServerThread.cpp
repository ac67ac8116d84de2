#include <zep3/foundation/ThreadManager.h>
#include <zep3/net/HTTPServer.h>
#include <zep3/net/HTTPServerThread.h>
#include <zep3/net/detail/HTTPServerWorkers.h>
#include <zep3/platform/detail/Posix.h>

#include <algorithm>
#include <unistd.h>

using zep3::detail::MonotonicMilliseconds;

CHTTPServerThread::CHTTPServerThread()
    : m_hSocket(INVALID_SOCKET), m_pHTTPServer(nullptr), m_nTimer(0), m_nIdleSince(0) {}

CHTTPServerThread::~CHTTPServerThread() {
    CThreadManager::UnRegister(m_nThreadID);
    if (m_hSocket != INVALID_SOCKET) close(static_cast<int>(m_hSocket)); // never served
    if (m_pHTTPServer) m_pHTTPServer->m_pWorkers->WorkerEnded(this);
}

BOOL CHTTPServerThread::InitInstance() {
    CThreadManager::Register(m_nThreadID, "HTTP Server", nullptr);
    if (!m_pHTTPServer) return FALSE;
    // Often enough that a connection overstays its time by a quarter at most.
    const int period = std::clamp(m_pHTTPServer->GetRequestTimeout() / 4, 10, 1000);
    m_nTimer = SetTimer(nullptr, 0, UINT(period), OnSweep);
    m_nIdleSince = MonotonicMilliseconds();
    const SOCKET first = m_hSocket;
    m_hSocket = INVALID_SOCKET;
    if (first != INVALID_SOCKET) Serve(first);
    return TRUE;
}

int CHTTPServerThread::ExitInstance() {
    if (m_nTimer) KillTimer(nullptr, m_nTimer);
    // The server counts what is left of this worker's connections when it ends.
    for (CRemoteBrowserSocket* connection : m_Connections) delete connection;
    m_Connections.clear();
    m_Ended.clear();
    return CWinThread::ExitInstance();
}

BOOL CHTTPServerThread::DispatchThreadMessageEx(MSG* msg) {
    switch (msg->message) {
    case WM_USER:
        if (m_pHTTPServer->m_pWorkers->Retire(this, true)) PostQuitMessage(0);
        return TRUE;
    case kServeMessage:
        Serve(static_cast<SOCKET>(msg->wParam));
        return TRUE;
    case kDeleteMessage:
        for (CRemoteBrowserSocket* connection : m_Ended) DeleteConnection(connection);
        m_Ended.clear();
        return TRUE;
    default:
        return FALSE;
    }
}

void CHTTPServerThread::Serve(SOCKET handle) {
    auto* connection = new CRemoteBrowserSocket;
    connection->m_pThread = this;
    connection->m_pHTTPServer = m_pHTTPServer;
    connection->m_nDeadline = MonotonicMilliseconds() + m_pHTTPServer->GetRequestTimeout();
    m_Connections.push_back(connection);
    if (!connection->AttachAccepted(handle)) {
        close(static_cast<int>(handle));
        DeleteConnection(connection);
    }
}

void CHTTPServerThread::EndConnection(CRemoteBrowserSocket* connection) {
    connection->Close();
    // One message for all that end in one turn of the loop.
    m_Ended.push_back(connection);
    if (m_Ended.size() == 1) PostThreadMessage(kDeleteMessage, 0, 0);
}

void CHTTPServerThread::DeleteConnection(CRemoteBrowserSocket* connection) {
    auto it = std::find(m_Connections.begin(), m_Connections.end(), connection);
    if (it == m_Connections.end()) return;
    *it = m_Connections.back();
    m_Connections.pop_back();
    delete connection;
    if (m_Connections.empty()) m_nIdleSince = MonotonicMilliseconds();
    if (m_pHTTPServer->m_pWorkers->ConnectionEnded(this)) PostQuitMessage(0);
}

void CALLBACK CHTTPServerThread::OnSweep(HWND, UINT, UINT_PTR, DWORD) {
    // Only workers set this timer.
    if (auto* worker = static_cast<CHTTPServerThread*>(AfxGetThread())) worker->Sweep();
}

void CHTTPServerThread::Sweep() {
    const int64_t now = MonotonicMilliseconds();
    for (CRemoteBrowserSocket* connection : m_Connections)
        if (now >= connection->m_nDeadline && connection->m_hSocket != INVALID_SOCKET) EndConnection(connection);
    if (m_Connections.empty() && now - m_nIdleSince >= kIdleMilliseconds &&
        m_pHTTPServer->m_pWorkers->Retire(this, false))
        PostQuitMessage(0);
}
