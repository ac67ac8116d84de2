#pragma once
// Helpers of the web server tests: a server on its own message-loop thread,
// listening on 127.0.0.1 at a port of the system's choice; raw clients that
// send exact bytes (from any loopback source address) and read the whole
// answer; the answers' fixed texts as the protocol gives them, written here
// independently of the library; and the process's resident memory.
#include "NetTestSupport.h"

#include <openssl/sha.h>

#include <fstream>
#include <map>
#include <regex>

namespace httptest {

using nettest::LoopThread;

// A page that answers "<name>|<rights>|<input>=<value>|..." for its inputs.
class EchoPage : public CHTMLPage {
public:
    EchoPage(const char* name, bool protect, std::vector<std::string> inputs = {}) {
        m_PageName = name;
        Protect(protect);
        for (const std::string& input : inputs) {
            m_Fields.emplace_back(new CHTMLInputText(input.c_str(), "", ""));
            AddInputElement(m_Fields.back().get());
        }
    }
    CMemory GenerateContent(CString&) override {
        ++served;
        std::string body = std::string(m_PageName) + "|" + std::to_string(m_nRights);
        for (auto& field : m_Fields) body += "|" + std::string(field->m_Name) + "=" + std::string(field->m_Value);
        return CMemory(CString(body.c_str()));
    }
    std::atomic<int> served{0};

private:
    std::vector<std::unique_ptr<CHTMLInputText>> m_Fields;
};

// The server lives on its own loop thread (which accepts the connections);
// configure runs there before the server is enabled.
class ServerRunner {
public:
    explicit ServerRunner(const std::function<void(CHTTPServer&)>& configure = nullptr) {
        m_loop.Call([&] {
            m_server = std::make_unique<CHTTPServer>();
            m_server->SetPort(0);
            m_server->SetIP("127.0.0.1");
            m_server->AddUser("admin", "tajne", 7);
            m_server->AddUser("gosc", "haslo", 1);
            if (configure) configure(*m_server);
            if (m_server->EnableServer(true)) m_port = m_server->GetListeningPort();
        });
        EXPECT_NE(m_port, 0u) << "the server did not start";
    }
    ~ServerRunner() {
        m_loop.Call([&] { m_server.reset(); });
    }
    CHTTPServer& server() { return *m_server; }
    UINT port() const { return m_port; }
    // Runs f on the server's thread.
    void Call(const std::function<void()>& f) { m_loop.Call(f); }
    // Waits until no connection is being served.
    bool WaitIdle(int timeoutMs = 20000) {
        return PumpMessagesUntil([&] { return m_server->GetConnectionCount() == 0; }, DWORD(timeoutMs));
    }

private:
    LoopThread m_loop;
    std::unique_ptr<CHTTPServer> m_server;
    UINT m_port = 0;
};

using nettest::RawConnect;

// Everything until the server closes (waiting up to timeoutMs for each chunk).
inline std::string ReadAll(int fd, int timeoutMs = 20000) {
    std::string all;
    char buffer[65536];
    for (;;) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) != 1) return all + "<timeout>";
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0) return all + "<reset>";
        if (n == 0) return all;
        all.append(buffer, size_t(n));
    }
}

// Whether the server has sent nothing and kept the connection open for a
// short while: a check that can only miss a fault, never invent one.
inline bool Quiet(int fd, int ms = 150) {
    pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, ms) == 0;
}

// One request, the whole answer.
inline std::string Exchange(UINT port, const std::string& request, const char* source = "127.0.0.1") {
    const int fd = RawConnect(port, source);
    if (fd < 0) return "<no connection>";
    const std::string answer = nettest::RawWrite(fd, request) ? ReadAll(fd) : "<write failed>";
    close(fd);
    return answer;
}

inline std::string Get(UINT port, const std::string& path, const std::string& cookies = "",
                       const char* source = "127.0.0.1") {
    std::string request = "GET /" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!cookies.empty()) request += "Cookie: " + cookies + "\r\n";
    return Exchange(port, request + "\r\n", source);
}

inline std::string Post(UINT port, const std::string& path, const std::string& body, const std::string& cookies = "",
                        const char* source = "127.0.0.1") {
    std::string request = "POST /" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!cookies.empty()) request += "Cookie: " + cookies + "\r\n";
    request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\n\r\n" + body;
    return Exchange(port, request, source);
}

// ---- the protocol's texts ----

const std::string kHeader = "HTTP/1.1 200 OK\r\nExpires: -1\r\nPragma: No-Cache\r\nCache-Control: No-Cache\r\n";

inline std::string Redirect(const std::string& to) {
    return "<HTML><HEAD><script type=\"text/javascript\">\r\nwindow.location.href=\"" + to +
           "\";\r\n</script>\r\n<noscript>\r\n<meta http-equiv=\"refresh\" content=\"0;url=" + to +
           "\" />\r\n</noscript></HEAD></HTML>\r\n";
}

// The library's Polish texts as Windows-1250 bytes.
const std::string kWrongLogin = "Z\xB3" "a nazwa u\xBF" "ytkownika lub has\xB3" "o.";
const std::string kSessionExpired = "Sesja wygas\xB3" "a, zaloguj si\xEA ponownie.";
const std::string kLoggedOut = "U\xBF" "ytkownik zosta\xB3 wylogowany.";

inline std::string LoginPage(const std::string& message, const std::string& challenge) {
    const char* lines[] = {
        "<HTML>", "<HEAD>", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1250\">",
        "<STYLE TYPE=\"text/css\">",
        "BODY { MARGIN: 20px; PADDING: 20px; FONT-SIZE: 13px; FONT-FAMILY: Arial; background:#F0F0F0; }",
        "TD, INPUT { FONT-SIZE: 13px; FONT-FAMILY: Arial; }", "</STYLE>",
        "<script type=\"text/javascript\" src=\"sha1.js\"></script>", "<script type=\"text/javascript\">",
        "function login() {", "var loginForm = document.getElementById(\"loginForm\");",
        "var submitForm = document.getElementById(\"submitForm\");",
        "submitForm.username.value = loginForm.username.value;",
        "submitForm.response.value = hex_sha1(loginForm.challenge.value+loginForm.password.value);",
        "submitForm.submit();", "}", "</script>", "</HEAD>", "<BODY><CENTER>",
        "<form id='loginForm' action='#' method='post'>", "<table>", "<tr>", "@message", "</tr>", "<tr>",
        "<td>Nazwa u\xBF" "ytkownika:</td>", "<td><input type='text' name='username'/></td>", "</tr>", "<tr>",
        "<td>Has\xB3" "o:</td>", "<td><input type='password' name='password'/></td>", "</tr>", "<tr>",
        "<td>&nbsp;</td>", "<td>", "@challenge",
        "<input type='button' name='submit' value='OK' onclick='login();' style='width:60px;'/>", "</td>", "</tr>",
        "</table>", "</form>", "<form id='submitForm' action='login' method='post'>", "<div>",
        "<input type='hidden' name='username'/>", "<input type='hidden' name='response'/>", "</div>", "</form>",
        "</CENTER></BODY></HTML>"};
    std::string page;
    for (const char* line : lines) {
        if (std::string(line) == "@message")
            page += "<td style='color: red; width:300px; text-align:center' colspan=2>" + message + "<nbsp></td>";
        else if (std::string(line) == "@challenge")
            page += "<input type='hidden' name='challenge' value='" + challenge + "'/>";
        else page += line;
        page += "\r\n";
    }
    return page;
}

// A login page answer: its session number and challenge.
struct LoginPageAnswer {
    int sid = -1;
    std::string challenge;
};

// Reads session and challenge from an answer that is expected to be the login
// page, and checks its exact bytes with the given message.
inline LoginPageAnswer ExpectLoginPage(const std::string& answer, const std::string& message) {
    LoginPageAnswer found;
    std::smatch m;
    if (std::regex_search(answer, m, std::regex("Set-Cookie: SID=(-?[0-9]+)\r\n"))) found.sid = std::stoi(m[1]);
    if (std::regex_search(answer, m, std::regex("name='challenge' value='([^']*)'"))) found.challenge = m[1];
    EXPECT_EQ(answer, kHeader + "Set-Cookie: Login=0\r\nSet-Cookie: SID=" + std::to_string(found.sid) +
                          "\r\n\r\n\r\n" + LoginPage(message, found.challenge));
    EXPECT_TRUE(std::regex_match(found.challenge, std::regex("[0-9A-F]{5}-?[0-9]+[0-9A-F]{7}")))
        << found.challenge;
    EXPECT_GE(found.sid, 0);
    EXPECT_LE(found.sid, 32767);
    return found;
}

// The upper-case hex SHA-1 of text, by OpenSSL.
inline std::string Sha1Hex(const std::string& text) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    char hex[2 * SHA_DIGEST_LENGTH + 1];
    for (int i = 0; i < SHA_DIGEST_LENGTH; ++i) std::snprintf(hex + 2 * i, 3, "%02X", digest[i]);
    return hex;
}

// The process's resident memory in KiB (VmRSS of /proc/self/status).
// Sanitizers keep freed memory aside (quarantine, shadow), so there resident
// memory tells nothing; their builds check leaks with LeakSanitizer instead.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentMemoryTells = false;
#else
constexpr bool kResidentMemoryTells = true;
#endif
inline long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::stol(line.substr(6));
    return -1;
}

} // namespace httptest
