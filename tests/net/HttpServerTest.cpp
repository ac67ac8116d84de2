// The web server over real loopback connections, checked on the exact bytes
// of its answers: the login with its challenge and sessions, protected
// pages, logout, the error page, parameters and cookies, requests that come
// in pieces, and the server's own state.
#include "HttpTestSupport.h"
#include "support/TestSupport.h"

using namespace httptest;

namespace {

// The protected page "secret", the open pages "echo" (inputs a, c, x) and
// "" (the root), and the player page "play" (protected).
struct Site {
    EchoPage secret{"secret", true};
    EchoPage echo{"echo", false, {"a", "c", "x"}};
    EchoPage root{"", false};
    EchoPage play{"play", true};
    void Register(CHTTPServer& server) {
        for (CHTMLPage* page : std::initializer_list<CHTMLPage*>{&secret, &echo, &root, &play})
            server.GetHTMLPageManager()->AddHTMLPage(page);
    }
};

std::string Cookies(int sid, const char* login) { return "SID=" + std::to_string(sid) + "; Login=" + login; }

std::string LoginBody(const std::string& user, const std::string& challenge, const std::string& password) {
    return "username=" + user + "&response=" + Sha1Hex(challenge + password);
}

std::string PageAnswer(const std::string& body) { return kHeader + "\r\n" + body; }

const std::string kToLogin = kHeader + "Set-Cookie: SID=-1\r\nSet-Cookie: Login=0\r\n\r\n\r\n" + Redirect("login");

std::string LoggedIn(int sid) {
    return kHeader + "Set-Cookie: SID=" + std::to_string(sid) + "\r\nSet-Cookie: Login=1\r\n\r\n\r\n" + Redirect("/");
}

// A server of its own with the site registered.
class HttpServerSite : public ::testing::Test {
protected:
    Site site;
    ServerRunner runner{[this](CHTTPServer& s) { site.Register(s); }};
    const UINT port = runner.port();
};

// A fresh login page and a successful login as admin; the session number.
int LogIn(UINT port, const char* source = "127.0.0.1") {
    const LoginPageAnswer page = ExpectLoginPage(Get(port, "login", "", source), "");
    EXPECT_EQ(Post(port, "login", LoginBody("admin", page.challenge, "tajne"), Cookies(page.sid, "0"), source),
              LoggedIn(page.sid));
    return page.sid;
}

} // namespace

TEST_F(HttpServerSite, LoginThenProtectedPageThenLogout) {
    EXPECT_EQ(Get(port, "secret"), kToLogin) << "no session: sent to the login page";
    EXPECT_EQ(site.secret.served, 0);

    // The redirect's cookies come along; only a post of the form is a login.
    const LoginPageAnswer page = ExpectLoginPage(Get(port, "login", "SID=-1; Login=0"), "");
    EXPECT_EQ(Get(port, "secret", Cookies(page.sid, "1")), kToLogin) << "a forged Login cookie before the login";
    const std::string login = LoginBody("admin", page.challenge, "tajne");
    EXPECT_EQ(Post(port, "login", login, Cookies(page.sid, "0")), LoggedIn(page.sid));
    EXPECT_EQ(Get(port, "secret", Cookies(page.sid, "1")), PageAnswer("secret|7")) << "the user's rights reach the page";
    EXPECT_EQ(Get(port, "secret", Cookies(page.sid, "0")), kToLogin) << "Login must be 1";

    EXPECT_EQ(Get(port, "logout", Cookies(page.sid, "1")),
              kHeader + "Set-Cookie: SID=-1\r\nSet-Cookie: Login=-1\r\n\r\n\r\n\r\n" + Redirect("login"));
    ExpectLoginPage(Get(port, "login", "SID=-1; Login=-1"), kLoggedOut);
    EXPECT_EQ(Get(port, "secret", "SID=-1; Login=-1"), kToLogin);
}

TEST_F(HttpServerSite, WrongCredentialsAndUnknownSessionsGetTheLoginPageAgain) {
    const LoginPageAnswer page = ExpectLoginPage(Get(port, "login"), "");
    std::string lower = LoginBody("admin", page.challenge, "tajne"); // the hex digits are upper case
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    const std::pair<std::string, int> attempts[] = {
        {LoginBody("admin", page.challenge, "zle"), page.sid},
        {LoginBody("nikt", page.challenge, "tajne"), page.sid},
        {LoginBody("Admin", page.challenge, "tajne"), page.sid}, // user names compare exactly
        {lower, page.sid},
        {LoginBody("admin", page.challenge, "tajne"), (page.sid + 1) % 32768},
    };
    for (const auto& a : attempts) ExpectLoginPage(Post(port, "login", a.first, Cookies(a.second, "0")), kWrongLogin);
    // A failed attempt leaves the session open for a right one.
    EXPECT_EQ(Post(port, "login", LoginBody("gosc", page.challenge, "haslo"), Cookies(page.sid, "0")),
              LoggedIn(page.sid));
    EXPECT_EQ(Get(port, "secret", Cookies(page.sid, "1")), PageAnswer("secret|1"));
}

TEST_F(HttpServerSite, EveryLoginPageHasANewChallengeAcceptedOnlyOnce) {
    const LoginPageAnswer earlier = ExpectLoginPage(Get(port, "login", "SID=5; Login=1"), "");
    const LoginPageAnswer page = ExpectLoginPage(Get(port, "login"), "");
    EXPECT_NE(earlier.sid, page.sid);
    // Hex prefix, the counter, hex suffix: the counter grows by 317 per page.
    const auto counter = [](const std::string& c) { return std::stoi(c.substr(5, c.size() - 12)); };
    EXPECT_EQ(counter(page.challenge), counter(earlier.challenge) + 317);
    const std::string login = LoginBody("admin", page.challenge, "tajne");
    EXPECT_EQ(Post(port, "login", login, Cookies(page.sid, "0")), LoggedIn(page.sid));
    ExpectLoginPage(Post(port, "login", login, Cookies(page.sid, "0")), kSessionExpired);
    // Nor can another user take the bound session.
    ExpectLoginPage(Post(port, "login", LoginBody("gosc", page.challenge, "haslo"), Cookies(page.sid, "0")),
                    kSessionExpired);
    EXPECT_EQ(Get(port, "secret", Cookies(page.sid, "1")), PageAnswer("secret|7")) << "the first login stands";
}

TEST(HttpServer, SessionIsBoundToTheBrowsersAddress) {
    Site site;
    ServerRunner runner([&](CHTTPServer& s) {
        s.SetIP(""); // all local addresses
        site.Register(s);
    });
    const UINT port = runner.port();
    const int sid = LogIn(port);
    EXPECT_EQ(Get(port, "secret", Cookies(sid, "1"), "127.0.0.2"), kToLogin);
    EXPECT_EQ(Get(port, "secret", Cookies(sid, "1")), PageAnswer("secret|7"));

    // A login page fetched from one address cannot be completed from another.
    const LoginPageAnswer page = ExpectLoginPage(Get(port, "login"), "");
    ExpectLoginPage(
        Post(port, "login", LoginBody("admin", page.challenge, "tajne"), Cookies(page.sid, "0"), "127.0.0.2"),
        kSessionExpired);
    EXPECT_EQ(Get(port, "secret", Cookies(page.sid, "1")), kToLogin) << "a session without a login opens nothing";
}

TEST_F(HttpServerSite, SessionExpiresAfterAnHourWithoutARequest) {
    const int fresh = LogIn(port), aged = LogIn(port);
    CHTTPSessionManager* sessions = runner.server().GetHTTPSessionManager();
    const auto age = [&](int sid, int seconds) {
        CSingleLock lock(&sessions->m_CriticalSection, TRUE);
        sessions->m_SessionMap[sid].m_LastUse = CTime::GetCurrentTime() - CTimeSpan(seconds);
    };
    age(fresh, 3590);
    age(aged, 3600);
    EXPECT_EQ(Get(port, "secret", Cookies(aged, "1")), kToLogin);
    EXPECT_EQ(Get(port, "secret", Cookies(fresh, "1")), PageAnswer("secret|7"));
    {
        CSingleLock lock(&sessions->m_CriticalSection, TRUE);
        EXPECT_LT((CTime::GetCurrentTime() - sessions->m_SessionMap[fresh].m_LastUse).GetTotalSeconds(), 60)
            << "a validated request refreshes the session";
        EXPECT_NE(sessions->m_SessionMap.PLookup(aged), nullptr) << "only a new session sweeps";
    }
    Get(port, "login");
    CSingleLock lock(&sessions->m_CriticalSection, TRUE);
    EXPECT_EQ(sessions->m_SessionMap.PLookup(aged), nullptr);
    EXPECT_NE(sessions->m_SessionMap.PLookup(fresh), nullptr);
}

TEST_F(HttpServerSite, PagesByPathErrorPageAndThePlayerSessionInTheUrl) {
    EXPECT_EQ(Get(port, ""), PageAnswer("|-1")) << "\"/\" is the page with the empty name";
    EXPECT_EQ(Get(port, "?a=1"), PageAnswer("|-1"));
    const std::string error = Get(port, "Secret");
    EXPECT_EQ(error.substr(0, kHeader.size() + 10), kHeader + "\r\n<html>\r\n");
    EXPECT_NE(error.find("Brak strony"), std::string::npos);
    EXPECT_NE(error.find("</html>\r\n"), std::string::npos);

    const int sid = LogIn(port);
    EXPECT_EQ(Get(port, "play?SID=" + std::to_string(sid)), PageAnswer("play|7"));
    EXPECT_EQ(Get(port, "play?SID=" + std::to_string(sid), "SID=-1"), PageAnswer("play|7"));
    EXPECT_EQ(Get(port, "play?SID=" + std::to_string(sid), "SID=" + std::to_string(sid + 1) + "; Login=1"), kToLogin)
        << "a session cookie takes precedence";
    EXPECT_EQ(Get(port, "play?SID=" + std::to_string(sid), "", "127.0.0.2"), kToLogin);
}

// How the request text splits is the parser tests' part; here, what reaches the inputs.
TEST_F(HttpServerSite, GetKeepsTheInputsItLacksAndPostEmptiesThem) {
    EXPECT_EQ(Get(port, "echo?x=a+b&a=%41&c=x=y"), PageAnswer("echo|-1|a=%41|c=x=y|x=a b"));
    EXPECT_EQ(Get(port, "echo"), PageAnswer("echo|-1|a=%41|c=x=y|x=a b")) << "a GET without parameters keeps the values";
    EXPECT_EQ(Post(port, "echo", "c=posted"), PageAnswer("echo|-1|a=|c=posted|x=")) << "a POST empties the others";
}

TEST_F(HttpServerSite, RequestInPiecesIsAnsweredOnceWhenComplete) {
    const int fd = RawConnect(port);
    ASSERT_GE(fd, 0);
    const std::string body = "a=first&c=second&x=third";
    const std::string head = "POST /echo HTTP/1.1\r\nHost: h\r\ncontent-LENGTH:  " + std::to_string(body.size()) + " \r\n";
    for (const std::string& piece : {head.substr(0, 7), head.substr(7), std::string("\r\n"), body.substr(0, 9),
                                     body.substr(9, 10)}) {
        ASSERT_TRUE(nettest::RawWrite(fd, piece));
        EXPECT_TRUE(Quiet(fd)) << "answered before the request was complete";
    }
    ASSERT_TRUE(nettest::RawWrite(fd, body.substr(19)));
    EXPECT_EQ(ReadAll(fd), PageAnswer("echo|-1|a=first|c=second|x=third"));
    close(fd);
    EXPECT_EQ(site.echo.served, 1);
}

TEST_F(HttpServerSite, OneRequestPerConnectionAndNoAnswerToAnIncompleteOne) {
    EXPECT_EQ(Exchange(port, "GET /echo?a=1 HTTP/1.1\r\n\r\nGET /echo?a=2 HTTP/1.1\r\n\r\n"),
              PageAnswer("echo|-1|a=1|c=|x="));
    EXPECT_EQ(site.echo.served, 1);

    const int fd = RawConnect(port);
    ASSERT_TRUE(nettest::RawWrite(fd, "GET /echo?a=3 HTTP/1.1\r\nHost: h\r\n"));
    shutdown(fd, SHUT_WR);
    EXPECT_EQ(ReadAll(fd), "") << "a browser that leaves early gets nothing";
    close(fd);
    EXPECT_TRUE(runner.WaitIdle());
    EXPECT_EQ(site.echo.served, 1);
}

TEST(HttpServer, WorkersAreRegisteredAsHttpServerAndEndAfterStop) {
    ServerRunner runner;
    const auto httpThreads = [] {
        const std::string names = zep3test::registeredThreadNames();
        const std::string name = std::string(CThreadManager::m_AppName) + ":HTTP Server;";
        int n = 0;
        for (size_t at = names.find(name); at != std::string::npos; at = names.find(name, at + 1)) ++n;
        return n;
    };
    const int fd = RawConnect(runner.port());
    ASSERT_TRUE(nettest::RawWrite(fd, "GET /"));
    EXPECT_TRUE(PumpMessagesUntil([&] { return httpThreads() == 1; }, 20000));
    EXPECT_EQ(runner.server().GetConnectionCount(), 1);
    // A connection accepted before Stop is still served; then the workers end.
    runner.Call([&] { EXPECT_TRUE(runner.server().Stop()); });
    ASSERT_TRUE(nettest::RawWrite(fd, "login HTTP/1.1\r\n\r\n"));
    EXPECT_NE(ReadAll(fd).find("<HTML>"), std::string::npos);
    close(fd);
    EXPECT_TRUE(runner.WaitIdle());
    EXPECT_TRUE(PumpMessagesUntil([&] { return httpThreads() == 0; }, 20000));
    EXPECT_LT(RawConnect(runner.port()), 0) << "no longer listening";
}

TEST(HttpServer, StartAndStopFollowTheEnabledFlagAndSettingsWaitForTheStop) {
    nettest::RawListener busy;
    CHTTPServer server;
    EXPECT_FALSE(server.Init()) << "not enabled";
    EXPECT_TRUE(server.SetPort(int(busy.port())) && server.SetIP("127.0.0.1"));
    EXPECT_FALSE(server.EnableServer(true)) << "the port is taken";
    EXPECT_TRUE(server.IsServerEnabled() && !server.IsServerStarted());
    EXPECT_TRUE(server.SetPort(0) && server.Init());
    EXPECT_FALSE(server.Init() || server.EnableServer(true)) << "already started";
    EXPECT_FALSE(server.SetPort(81) || server.SetIP("") || server.SetConnectionLimit(3) ||
                 server.SetMaxRequestSize(10) || server.SetRequestTimeout(10));
    EXPECT_TRUE(server.EnableServer(false));
    EXPECT_FALSE(server.Stop() || server.EnableServer(false));
    EXPECT_TRUE(server.SetConnectionLimit(3));
}
