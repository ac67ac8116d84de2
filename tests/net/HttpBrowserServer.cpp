// The web server that the browser test drives: a protected home page "/"
// showing the user's rights, a page that runs the two served scripts over
// test texts, and "quit", which ends the program. It listens on 127.0.0.1
// at a port of the system's choice and prints that port on its first line.
#include <zep3/zep3.h>

#include <cstdio>
#include <string>

namespace {

class HomePage : public CHTMLPage {
public:
    HomePage() {
        m_PageName = "";
        m_PageTitle = "Strona g\xB3\xF3wna";
        Protect(true);
    }
    CMemory GenerateContent(CString&) override {
        CString body;
        body.Format("<html>%s<body><h1 id='home'>Strona chroniona</h1><p id='rights'>%i</p>"
                    "<a id='logout' href='logout'>Wyloguj</a></body></html>",
                    (const char*)GenerateHTMLPageHeader(""), m_nRights);
        return CMemory(body);
    }
};

// Digests of texts with every 8-bit character, computed by the browser.
class ScriptPage : public CHTMLPage {
public:
    ScriptPage() { m_PageName = "scripts"; }
    CMemory GenerateContent(CString&) override {
        return CMemory(CString("<html><head><script src='sha1.js'></script><script src='md5.js'></script></head>"
                               "<body><pre id='out'></pre><script>"
                               "var lines = [];"
                               "for (var n = 0; n < 300; n += 7) {"
                               "  var t = ''; for (var i = 0; i < n; i++) t += String.fromCharCode((i * 37 + n) & 255);"
                               "  lines.push(n + ' ' + hex_sha1(t) + ' ' + hex_md5(t)); }"
                               "document.getElementById('out').textContent = lines.join('\\n');"
                               "</script></body></html>"));
    }
};

class QuitPage : public CHTMLPage {
public:
    explicit QuitPage(DWORD thread) : m_thread(thread) { m_PageName = "quit"; }
    CMemory GenerateContent(CString&) override {
        PostThreadMessage(m_thread, WM_QUIT, 0, 0);
        return CMemory(CString("bye"));
    }

private:
    DWORD m_thread;
};

} // namespace

int main() {
    HomePage home;
    ScriptPage scripts;
    QuitPage quit(GetCurrentThreadId());
    int port = 0;
    {
        CHTTPServer server;
        server.SetPort(0);
        server.SetIP("127.0.0.1");
        server.AddUser("admin", "tajne has\xB3o", 5);
        for (CHTMLPage* page : {static_cast<CHTMLPage*>(&home), static_cast<CHTMLPage*>(&scripts),
                                static_cast<CHTMLPage*>(&quit)})
            server.GetHTMLPageManager()->AddHTMLPage(page);
        if (!server.EnableServer(true)) return 1;
        port = int(server.GetListeningPort());
        std::printf("%d\n", port);
        std::fflush(stdout);
        MSG msg;
        while (GetMessage(&msg, nullptr, 0, 0) > 0) DispatchMessage(&msg);
    }
    return port ? 0 : 1;
}
