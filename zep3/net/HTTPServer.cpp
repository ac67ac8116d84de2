#include <zep3/crypto/Hash.h>
#include <zep3/net/HTTPServer.h>
#include <zep3/net/detail/HTTPServerWorkers.h>
#include <zep3/platform/MessagePump.h>

#include <algorithm>
#include <thread>

namespace {

// One worker per processor, and two at least, so that one page that takes
// its time does not hold up every other connection.
int WorkerCount() { return std::max(2, int(std::thread::hardware_concurrency())); }

} // namespace

CHTTPServer::CHTTPServer()
    : m_pServerSocket(nullptr), m_bStarted(false), m_bEnabled(false), m_nPort(80), m_nConnectionLimit(0),
      m_nMaxRequestSize(kDefaultMaxRequestSize), m_nRequestTimeout(kDefaultRequestTimeout),
      m_pWorkers(std::make_unique<zep3::detail::HTTPServerWorkers>(this, WorkerCount())) {}

CHTTPServer::~CHTTPServer() {
    delete m_pServerSocket;
    m_pServerSocket = nullptr;
    // The workers use this object (pages, sessions, users) to their end.
    m_pWorkers->QuitAll();
    while (!PumpMessagesUntil([this] { return m_pWorkers->Workers() == 0; }, 1000)) m_pWorkers->QuitAll();
}

bool CHTTPServer::SetPort(int port) {
    if (m_bStarted) return false;
    m_nPort = port;
    return true;
}

bool CHTTPServer::SetIP(const CString& address) {
    if (m_bStarted) return false;
    m_IP = address;
    return true;
}

bool CHTTPServer::SetConnectionLimit(int limit) {
    if (m_bStarted) return false;
    m_nConnectionLimit = limit;
    return true;
}

bool CHTTPServer::SetMaxRequestSize(int bytes) {
    if (m_bStarted || bytes < 1) return false;
    m_nMaxRequestSize = bytes;
    return true;
}

bool CHTTPServer::SetRequestTimeout(int milliseconds) {
    if (m_bStarted || milliseconds < 1) return false;
    m_nRequestTimeout = milliseconds;
    return true;
}

UINT CHTTPServer::GetListeningPort() const {
    CString address;
    UINT port = 0;
    return m_pServerSocket && m_pServerSocket->GetSockName(address, port) ? port : 0;
}

int CHTTPServer::GetMaxConnections() const {
    return m_nConnectionLimit > 0 ? m_nConnectionLimit : kDefaultMaxConnections;
}

int CHTTPServer::GetConnectionCount() const { return m_pWorkers->Connections(); }

bool CHTTPServer::EnableServer(bool enable) {
    m_bEnabled = enable;
    if (enable && !m_bStarted) return Init();
    if (!enable && m_bStarted) return Stop();
    return false;
}

bool CHTTPServer::Init() {
    if (!m_bEnabled || m_bStarted || !AfxSocketInit()) return false;
    m_pServerSocket = new CHTTPServerSocket;
    // The system's longest queue, not the 5 of old: Linux drops the handshakes
    // beyond it and the browser tries again only a second later.
    if (!m_pServerSocket->Create(static_cast<UINT>(m_nPort), SOCK_STREAM, m_IP.IsEmpty() ? nullptr : (LPCTSTR)m_IP) ||
        !m_pServerSocket->Listen(SOMAXCONN)) {
        delete m_pServerSocket;
        m_pServerSocket = nullptr;
        return false;
    }
    m_bStarted = true;
    m_HTMLPageManager.CreateHTMLPages();
    m_pServerSocket->m_pHTTPServer = this;
    return true;
}

bool CHTTPServer::Stop() {
    if (!m_bStarted) return false;
    delete m_pServerSocket;
    m_pServerSocket = nullptr;
    m_bStarted = false;
    m_pWorkers->RetireAll();
    return true;
}

void CHTTPServer::AddUser(const CString& user, const CString& password, int rights) {
    m_UserNames.Add(user);
    m_Passwords.Add(password);
    m_Rights.Add(rights);
}

void CHTTPServer::RemoveUsers() {
    m_UserNames.RemoveAll();
    m_Passwords.RemoveAll();
    m_Rights.RemoveAll();
}

bool CHTTPServer::AuthorizeUser(const CString& user, const CString& response, const CString& challenge,
                                int& rights) {
    for (INT_PTR i = 0; i < m_UserNames.GetSize(); ++i) {
        if (m_UserNames[i] == user && CHash::SHA1(challenge + m_Passwords[i]) == response) {
            rights = m_Rights[i];
            return true;
        }
    }
    return false;
}
