#include <zep3/foundation/ThreadManager.h>
#include <zep3/net/HTTPServer.h>
#include <zep3/net/HTTPServerThread.h>
#include <zep3/net/detail/HTTPServerConnections.h>
#include <zep3/platform/detail/Posix.h>

#include <poll.h>
#include <unistd.h>

namespace {

// What a browser may still send after the answer, and how long we read it.
const size_t kDrainBytes = 256 * 1024;
const DWORD kDrainMilliseconds = 2000;

} // namespace

CHTTPServerThread::CHTTPServerThread() : m_hSocket(INVALID_SOCKET), m_pHTTPServer(nullptr), m_nTimer(0) {}

CHTTPServerThread::~CHTTPServerThread() {
    CThreadManager::UnRegister(m_nThreadID);
    if (m_hSocket != INVALID_SOCKET) close(static_cast<int>(m_hSocket)); // never attached
    if (m_pHTTPServer) m_pHTTPServer->m_pConnections->Ended(m_nThreadID);
}

BOOL CHTTPServerThread::InitInstance() {
    CThreadManager::Register(m_nThreadID, "HTTP Server", nullptr);
    if (m_hSocket == INVALID_SOCKET || !m_Socket.Attach(m_hSocket, FD_ALL_EVENTS)) return FALSE;
    m_hSocket = INVALID_SOCKET;
    m_Socket.m_pThread = this;
    m_Socket.m_pHTTPServer = m_pHTTPServer;
    StartTimeout();
    return TRUE;
}

int CHTTPServerThread::ExitInstance() {
    if (m_nTimer) KillTimer(nullptr, m_nTimer);
    if (m_Socket.m_bLinger) DrainAfterAnswer();
    m_Socket.Close();
    return CWinThread::ExitInstance();
}

BOOL CHTTPServerThread::DispatchThreadMessageEx(MSG* msg) {
    if (msg->message != WM_USER) return FALSE;
    PostQuitMessage(0);
    return TRUE;
}

void CHTTPServerThread::StartTimeout() {
    if (m_pHTTPServer) m_nTimer = SetTimer(nullptr, m_nTimer, UINT(m_pHTTPServer->GetRequestTimeout()), OnTimeout);
}

void CALLBACK CHTTPServerThread::OnTimeout(HWND, UINT, UINT_PTR, DWORD) {
    // Only connection threads set this timer. A blocked send or receive
    // gives up, and the loop ends.
    auto* thread = static_cast<CHTTPServerThread*>(AfxGetThread());
    if (!thread) return;
    thread->m_Socket.CancelBlockingCall();
    thread->m_Socket.m_bLinger = false; // cut, do not wait for the browser
    PostQuitMessage(0);
}

void CHTTPServerThread::DrainAfterAnswer() {
    const int fd = static_cast<int>(m_Socket.m_hSocket);
    const zep3::detail::Deadline deadline = zep3::detail::Deadline::After(kDrainMilliseconds);
    char buffer[4096];
    for (size_t drained = 0; drained < kDrainBytes;) {
        pollfd p = {fd, POLLIN, 0};
        if (drained > 0 && poll(&p, 1, deadline.RemainingMilliseconds()) <= 0) return;
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        // Nothing waiting at first is the usual case: no reset to fear, no
        // wait. Later: closed by the browser (or failed), done.
        if (n <= 0) return;
        drained += size_t(n);
    }
}
