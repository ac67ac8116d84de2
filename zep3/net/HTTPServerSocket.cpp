#include <zep3/net/HTTPServer.h>
#include <zep3/net/HTTPServerThread.h>
#include <zep3/net/detail/HTTPServerConnections.h>

CHTTPServerSocket::CHTTPServerSocket() : m_pHTTPServer(nullptr) {}

void CHTTPServerSocket::OnAccept(int errorCode) {
    zep3::detail::HTTPServerConnections* connections =
        m_pHTTPServer ? m_pHTTPServer->m_pConnections.get() : nullptr;
    CHTTPServerThread* thread = nullptr;
    if (connections && connections->Reserve(m_pHTTPServer->GetMaxConnections())) {
        thread = AfxBeginThread<CHTTPServerThread>(THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        if (!thread) connections->Ended(0);
    }
    // The non-blocking accept: a connection reset before it is taken must
    // not leave this thread waiting for the next one.
    CRemoteBrowserSocket connection;
    const bool accepted = CAsyncSocket::Accept(connection) != FALSE;
    if (thread) {
        thread->m_pHTTPServer = m_pHTTPServer;
        if (accepted) thread->m_hSocket = connection.Detach();
        connections->Started(thread->m_nThreadID);
        thread->ResumeThread();
    }
    // Without a thread the connection closes here.
    CSocket::OnAccept(errorCode);
}
