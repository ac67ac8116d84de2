// A browser's connection: collecting the request and answering it.
#include <zep3/crypto/Hash.h>
#include <zep3/foundation/Language.h>
#include <zep3/foundation/detail/LibraryResources.h>
#include <zep3/net/HTTPServer.h>
#include <zep3/net/HTTPServerThread.h>
#include <zep3/net/detail/HttpRequest.h>
#include <zep3/net/detail/HttpTexts.h>
#include <zep3/platform/detail/Posix.h>
#include <zep3/platform/detail/Random.h>
#include <zep3/platform/detail/SocketCore.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <mutex>

using namespace zep3::detail;

namespace {

// What a browser may still send after the answer, and how long we read it.
const size_t kLingerBytes = 256 * 1024;
const int64_t kLingerMilliseconds = 2000;

// The two fixed texts mixed into every challenge.
const char kChallengeSalt[] = "Zep3!";                   // 5 characters
const char kChallengeTimeFormat[] = "%d.%m.%Y %H:%M:%S ZEP3"; // 22 characters
static_assert(sizeof kChallengeSalt == 6 && sizeof kChallengeTimeFormat == 23, "fixed lengths");

// A hex prefix, a process-wide counter (started at a C-library random number,
// 317 more for each login page) and a hex suffix from the local time.
CString NewChallenge() {
    static std::mutex lock;
    static bool started = false;
    static int counter = 0;
    CString number;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!started) counter = Rand();
        else counter += 317;
        started = true;
        number.Format("%i", counter);
    }
    const CString time = CTime::GetCurrentTime().Format(kChallengeTimeFormat);
    return CHash::SHA1(number + kChallengeSalt).Left(5) + number + CHash::SHA1(time).Left(7);
}

} // namespace

CRemoteBrowserSocket::CRemoteBrowserSocket()
    : m_pThread(nullptr), m_pHTTPServer(nullptr), m_bDone(false), m_nDeadline(0), m_nSent(0), m_bWriteSelected(false),
      m_bLinger(false), m_nDrained(0) {}

void CRemoteBrowserSocket::OnReceive(int errorCode) {
    if (m_bLinger) {
        Linger();
        return;
    }
    if (m_bDone) return; // one request per connection
    char chunk[9999 + 1];
    const int count = Receive(chunk, 9999);
    if (count > 0) {
        chunk[count] = '\0';
        m_Request += chunk; // as text: a zero byte ends the chunk
    }
    if (m_Request.GetLength() > m_pHTTPServer->GetMaxRequestSize()) {
        m_Request.Empty();
        m_bDone = true;
        EndConnection();
        return;
    }
    if (!IsHttpRequestComplete(m_Request)) {
        CSocket::OnReceive(errorCode);
        return;
    }
    m_bDone = true;
    m_nDeadline = MonotonicMilliseconds() + m_pHTTPServer->GetRequestTimeout(); // as long again for the answer
    HttpRequest request;
    ParseHttpRequest(m_Request, request);
    // Only a login or a protected page asks who the browser is.
    CString peer;
    UINT peerPort = 0;
    if (request.path == "login" || m_pHTTPServer->GetHTMLPageManager()->IsHTMLPageProtected(request.path))
        GetPeerName(peer, peerPort);
    m_Request.Empty();
    Answer(request, peer);
}

int CRemoteBrowserSocket::Receive(void* buffer, int bufferLength, int flags) {
    return CAsyncSocket::Receive(buffer, bufferLength, flags);
}

int CRemoteBrowserSocket::Send(const void* buffer, int bufferLength, int flags) {
    return CAsyncSocket::Send(buffer, bufferLength, flags);
}

void CRemoteBrowserSocket::OnSend(int) { Flush(); }

BOOL CRemoteBrowserSocket::AttachAccepted(SOCKET socket) {
    if (m_hSocket != INVALID_SOCKET || socket == INVALID_SOCKET) return FALSE;
    m_pCore->Adopt(true, false, true);
    // Write events only once an answer has to wait for room.
    return m_pCore->Take(static_cast<int>(socket), FD_READ | FD_CLOSE) ? TRUE : FALSE;
}

void CRemoteBrowserSocket::OnClose(int errorCode) {
    CSocket::OnClose(errorCode);
    // A browser that has shut its side after the request still takes the answer.
    if (m_bDone && !m_bLinger && errorCode == 0 && m_nSent < m_Answer.size()) Flush();
    else EndConnection();
}

void CRemoteBrowserSocket::Answer(const HttpRequest& request, const CString& peer) {
    if (request.path == "login") {
        AnswerLogin(request, peer);
        return;
    }
    CHTMLPageManager* pages = m_pHTTPServer->GetHTMLPageManager();
    int rights = -1;
    // A session that no login has bound (rights -1) does not open a
    // protected page: its number comes with every login page.
    if (pages->IsHTMLPageProtected(request.path) &&
        (request.login != "1" ||
         !m_pHTTPServer->GetHTTPSessionManager()->ValidateSession(atoi(request.sid), peer, rights) ||
         rights == -1)) {
        const CString answer = CString(kHttpResponseHeader) + "Set-Cookie: SID=-1\r\nSet-Cookie: Login=0\r\n\r\n\r\n" +
                               HttpRedirectLines(false);
        SendAnswer(answer, nullptr, 0);
        return;
    }
    CString header = kHttpResponseHeader;
    CHTMLVariables parameters = request.parameters;
    const CMemory body = pages->GenerateHTMLPage(request.path, &parameters, request.post, rights, header);
    if (!header.IsEmpty()) header += "\r\n";
    SendAnswer(header, body.GetData(), body.GetSize());
}

void CRemoteBrowserSocket::AnswerLogin(const HttpRequest& request, const CString& peer) {
    if (request.login == "-1") {
        SendLoginPage(GetLibResString(IDS_LOGGED_OUT), peer);
        return;
    }
    // Login 0 comes with the login form's post, but also with the redirect
    // from a protected page: that visit gets a clean login page.
    if (request.login != "0" || !request.post) {
        SendLoginPage(CString(), peer);
        return;
    }
    CString user, response, challenge;
    request.parameters.Lookup("username", user);
    request.parameters.Lookup("response", response);
    const int session = atoi(request.sid);
    CHTTPSessionManager* sessions = m_pHTTPServer->GetHTTPSessionManager();
    int rights = -1;
    if (!sessions->GetSessionChallenge(session, peer, challenge) ||
        !m_pHTTPServer->AuthorizeUser(user, response, challenge, rights)) {
        SendLoginPage(GetLibResString(IDS_WRONG_USER_OR_PASSWORD), peer);
        return;
    }
    if (!sessions->BindSession(session, peer, rights)) {
        SendLoginPage(GetLibResString(IDS_SESSION_EXPIRED), peer);
        return;
    }
    CString answer = kHttpResponseHeader;
    answer.AppendFormat("Set-Cookie: SID=%i\r\nSet-Cookie: Login=1\r\n\r\n\r\n", session);
    SendAnswer(answer + HttpRedirectLines(true), nullptr, 0);
}

void CRemoteBrowserSocket::SendLoginPage(const CString& message, const CString& peer) {
    const CString challenge = NewChallenge();
    const int session = m_pHTTPServer->GetHTTPSessionManager()->CreateSession(peer, challenge);
    CString answer = kHttpResponseHeader;
    answer.AppendFormat("Set-Cookie: Login=0\r\nSet-Cookie: SID=%i\r\n\r\n\r\n", session);
    SendAnswer(answer + HttpLoginPage(message, challenge), nullptr, 0);
}

void CRemoteBrowserSocket::SendAnswer(const CString& header, const void* body, int size) {
    m_Answer.assign(header, size_t(header.GetLength()));
    if (size > 0) m_Answer.append(static_cast<const char*>(body), size_t(size));
    Flush();
}

void CRemoteBrowserSocket::Flush() {
    while (m_nSent < m_Answer.size()) {
        const size_t left = std::min<size_t>(m_Answer.size() - m_nSent, INT_MAX);
        // Held back (MSG_MORE) until the close (or shutdown), which sends it
        // all with the end of the answer: in one segment when it fits, so
        // that the browser reads the whole answer at one wake-up.
        const int sent = Send(m_Answer.data() + m_nSent, int(left), MSG_MORE);
        if (sent == SOCKET_ERROR) {
            if (GetLastError() != WSAEWOULDBLOCK) EndConnection();
            else if (!m_bWriteSelected) m_bWriteSelected = AsyncSelect(FD_ALL_EVENTS); // OnSend once there is room
            return;
        }
        m_nSent += size_t(sent);
    }
    std::string().swap(m_Answer);
    m_nSent = 0;
    m_bLinger = true;
    m_nDeadline = std::min(m_nDeadline, MonotonicMilliseconds() + kLingerMilliseconds);
    Linger();
}

void CRemoteBrowserSocket::Linger() {
    char buffer[4096];
    for (;;) {
        const int n = Receive(buffer, sizeof buffer);
        if (n == SOCKET_ERROR && GetLastError() == WSAEWOULDBLOCK && m_nDrained > 0) return; // more may come
        // Nothing waiting (the usual case: the close sends the end of the
        // answer at once), closed by the browser, failed, or enough read.
        if (n <= 0 || (m_nDrained += size_t(n)) >= kLingerBytes) {
            EndConnection();
            return;
        }
        // The browser sent more than its request: the shut sending side
        // tells it that the answer is complete while we read on.
        if (m_nDrained == size_t(n) && !ShutDown(sends)) {
            EndConnection();
            return;
        }
    }
}

void CRemoteBrowserSocket::EndConnection() {
    if (m_hSocket == INVALID_SOCKET) return;
    if (m_pThread) m_pThread->EndConnection(this);
    else Close();
}
