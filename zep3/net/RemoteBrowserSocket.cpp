// A browser's connection: collecting the request and answering it.
#include <zep3/crypto/Hash.h>
#include <zep3/foundation/Language.h>
#include <zep3/foundation/detail/LibraryResources.h>
#include <zep3/net/HTTPServer.h>
#include <zep3/net/HTTPServerThread.h>
#include <zep3/net/detail/HttpRequest.h>
#include <zep3/net/detail/HttpTexts.h>
#include <zep3/platform/detail/Random.h>

#include <cstdlib>
#include <mutex>

using namespace zep3::detail;

namespace {

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

CRemoteBrowserSocket::CRemoteBrowserSocket() : m_pThread(nullptr), m_pHTTPServer(nullptr), m_bDone(false), m_bLinger(false) {}

void CRemoteBrowserSocket::OnReceive(int errorCode) {
    if (m_bDone) return; // one request per connection
    char chunk[9999 + 1];
    const int count = Receive(chunk, 9999);
    if (count > 0) {
        chunk[count] = '\0';
        m_Request += chunk; // as text: a zero byte ends the chunk
    }
    if (m_pHTTPServer && m_Request.GetLength() > m_pHTTPServer->GetMaxRequestSize()) {
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
    if (m_pThread) m_pThread->StartTimeout(); // the browser gets as long again to take the answer
    HttpRequest request;
    ParseHttpRequest(m_Request, request);
    // Only a login or a protected page asks who the browser is.
    CString peer;
    UINT peerPort = 0;
    if (request.path == "login" || m_pHTTPServer->GetHTMLPageManager()->IsHTMLPageProtected(request.path))
        GetPeerName(peer, peerPort);
    Answer(request, peer);
    m_Request.Empty();
    EndConnection();
    CSocket::OnReceive(errorCode);
}

void CRemoteBrowserSocket::OnClose(int errorCode) {
    CSocket::OnClose(errorCode);
    m_bLinger = false; // nothing more comes from the browser
    EndConnection();
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

bool CRemoteBrowserSocket::SendAnswer(const CString& header, const void* body, int size) {
    // Held back (MSG_MORE) until the sending side is shut, which sends it all
    // with the end of the answer: header, body and end come in one segment
    // (when they fit), and the browser reads the whole answer at one wake-up.
    m_bLinger = Send(header, header.GetLength(), MSG_MORE) != SOCKET_ERROR &&
                (size <= 0 || Send(body, size, MSG_MORE) != SOCKET_ERROR) && ShutDown(sends);
    return m_bLinger;
}

void CRemoteBrowserSocket::EndConnection() {
    if (m_pThread) m_pThread->PostThreadMessage(WM_USER, 0, 0);
    else PostThreadMessage(GetCurrentThreadId(), WM_USER, 0, 0);
}
