#include <zep3/net/HTTPServer.h>
#include <zep3/net/HTTPServerThread.h>
#include <zep3/net/detail/HTTPServerConnections.h>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// The stack Windows gives a thread by default. The system's own 8 MiB would
// be mapped and unmapped for every connection; stacks of this size are kept
// by the C library for the next threads.
const UINT kConnectionStackSize = 1 << 20;

const int kAcceptsPerTurn = 64;

} // namespace

CHTTPServerSocket::CHTTPServerSocket() : m_pHTTPServer(nullptr) {}

void CHTTPServerSocket::OnAccept(int errorCode) {
    // Taken by the system call rather than Accept, which would first tie each
    // connection to this thread's loop only to have it detached for its own
    // thread; and all that are waiting (up to a bound that keeps the loop
    // serving its other messages) in one turn of the loop. Non-blocking: a
    // connection reset before it is taken must not hold this thread.
    for (int taken = 0; taken < kAcceptsPerTurn; ++taken) {
        const int fd = accept4(static_cast<int>(m_hSocket), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) break;
        if (!HandOver(static_cast<SOCKET>(fd))) close(fd);
    }
    AsyncSelect(FD_ACCEPT); // re-arms OnAccept, as Accept does
    CSocket::OnAccept(errorCode);
}

bool CHTTPServerSocket::HandOver(SOCKET connection) {
    zep3::detail::HTTPServerConnections* connections =
        m_pHTTPServer ? m_pHTTPServer->m_pConnections.get() : nullptr;
    if (!connections || !connections->Reserve(m_pHTTPServer->GetMaxConnections())) return false;
    auto* thread =
        AfxBeginThread<CHTTPServerThread>(THREAD_PRIORITY_NORMAL, kConnectionStackSize, CREATE_SUSPENDED);
    if (!thread) {
        connections->Ended(0);
        return false;
    }
    thread->m_pHTTPServer = m_pHTTPServer;
    thread->m_hSocket = connection;
    connections->Started(thread->m_nThreadID);
    thread->ResumeThread();
    return true;
}
