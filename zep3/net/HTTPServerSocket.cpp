#include <zep3/net/HTTPServer.h>
#include <zep3/net/detail/HTTPServerWorkers.h>

#include <sys/socket.h>
#include <unistd.h>

namespace {

const int kAcceptsPerTurn = 64;

} // namespace

CHTTPServerSocket::CHTTPServerSocket() : m_pHTTPServer(nullptr) {}

void CHTTPServerSocket::OnAccept(int errorCode) {
    // Taken by the system call rather than Accept, which would first tie each
    // connection to this thread's loop only to have it detached for a worker; and all that are waiting (up to a bound that keeps the loop
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
    return m_pHTTPServer && m_pHTTPServer->m_pWorkers->HandOver(connection, m_pHTTPServer->GetMaxConnections());
}
