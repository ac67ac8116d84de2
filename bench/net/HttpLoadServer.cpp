// The web server under load (bench/net/HttpLoad.sh): one small open page,
// "small", on 127.0.0.1 at a port of the system's choice, printed on the
// first line; the body's bytes are written to the file named by the first
// argument so that the peer serves the very same bytes. Runs until killed.
#include <zep3/zep3.h>

#include <cstdio>

namespace {

const char kBody[] = "<html><head><title>ZEP3</title></head><body><p>Kamera 1: OK</p></body></html>\r\n";

class SmallPage : public CHTMLPage {
public:
    SmallPage() { m_PageName = "small"; }
    CMemory GenerateContent(CString&) override { return CMemory(CString(kBody)); }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    FILE* body = std::fopen(argv[1], "wb");
    if (!body || std::fwrite(kBody, 1, sizeof kBody - 1, body) != sizeof kBody - 1 || std::fclose(body) != 0) return 1;
    SmallPage page;
    CHTTPServer server;
    server.SetPort(0);
    server.SetIP("127.0.0.1");
    // More than the load's connections: none is turned away.
    server.SetConnectionLimit(1000);
    server.GetHTMLPageManager()->AddHTMLPage(&page);
    if (!server.EnableServer(true)) return 1;
    std::printf("%u\n", server.GetListeningPort());
    std::fflush(stdout);
    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0) > 0) DispatchMessage(&msg);
    return 0;
}
