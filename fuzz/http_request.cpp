// A browser connection fed arbitrary request bytes: the first input byte
// chooses the size of the pieces in which the rest arrives. The connection
// socket runs its whole path -- collecting, reading the request, the login,
// sessions and pages -- against a server that is not listening, with its
// sends captured. It must answer at most once, with the fixed response
// header first, and the request reader's results must keep their shape.
#include "FuzzSupport.h"

#include <zep3/net/detail/HttpRequest.h>
#include <zep3/zep3.h>

#include <cstring>

namespace {

const char kHeader[] = "HTTP/1.1 200 OK\r\nExpires: -1\r\nPragma: No-Cache\r\nCache-Control: No-Cache\r\n";

class FuzzPage : public CHTMLPage {
public:
    FuzzPage(const char* name, bool protect) : m_box("b", "", ""), m_text("t", "", "") {
        m_PageName = name;
        Protect(protect);
        AddInputElement(&m_box);
        AddInputElement(&m_text);
    }
    CMemory GenerateContent(CString& header) override {
        if (m_box.GetValue()) header += "X-Box: on\r\n"; // a page may add header lines
        return CMemory(m_text.HTML());
    }

private:
    CHTMLInputCheckBox m_box;
    CHTMLInputText m_text;
};

class FuzzConnection : public CRemoteBrowserSocket {
public:
    FuzzConnection(const uint8_t* data, size_t size, size_t piece) : m_data(data), m_size(size), m_piece(piece) {}

    int Receive(void* buffer, int length, int) override {
        const size_t n = std::min({m_piece, size_t(length), m_size - m_at});
        std::memcpy(buffer, m_data + m_at, n);
        m_at += n;
        return int(n);
    }
    int Send(const void* buffer, int length, int) override {
        if (sends++ == 0)
            zep3fuzz::check(size_t(length) >= sizeof kHeader - 1 && std::memcmp(buffer, kHeader, sizeof kHeader - 1) == 0,
                            "an answer starts with the response header");
        return length;
    }
    bool Done() const { return m_at >= m_size; }

    int sends = 0;

private:
    const uint8_t* m_data;
    size_t m_size, m_piece, m_at = 0;
};

void CheckShape(const CString& text) {
    zep3::detail::HttpRequest request;
    zep3::detail::ParseHttpRequest(text, request);
    zep3fuzz::check(request.path.FindOneOf("\r\n") < 0, "the page name is one line");
    POSITION p = request.parameters.GetStartPosition();
    while (p) {
        CString name, value;
        request.parameters.GetNextAssoc(p, name, value);
        zep3fuzz::check(name.FindOneOf("&=+") < 0 && value.FindOneOf("&+") < 0, "pairs split at & and =, + decoded");
    }
    zep3fuzz::check(request.sid.Find(';') < 0 && request.login.Find(';') < 0, "cookies split at ;");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) { // the ends the last input posted
    }
    CHTTPServer server;
    server.SetMaxRequestSize(16 * 1024);
    server.AddUser("u", "p", 3);
    FuzzPage open("p", false), closed("s", true);
    server.GetHTMLPageManager()->AddHTMLPage(&open);
    server.GetHTMLPageManager()->AddHTMLPage(&closed);

    FuzzConnection connection(data + 1, size - 1, size_t(data[0] % 64) + 1);
    connection.m_pHTTPServer = &server;
    CString text;
    while (!connection.Done() && !connection.m_bDone) {
        connection.OnReceive(0);
        text = connection.m_Request.IsEmpty() ? text : connection.m_Request;
    }
    zep3fuzz::check(connection.sends <= 1, "one answer at most");
    if (zep3::detail::IsHttpRequestComplete(text)) CheckShape(text);
    return 0;
}
