// The station's command-line client: connects to the remote-control port,
// reads the banner, logs in, prints the station's status record and, when
// asked, fetches the latest snapshot into a JPEG file.
//
//   zep3-station-client --port N [--host 127.0.0.1] [--user U] [--password P]
//                       [--snapshot file.jpg]
//
// Exit status 0 when every step answered, 1 otherwise (the reason on stderr).
#include <zep3/zep3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

namespace {

const DWORD kAnswerTimeoutMs = 10000;

struct Options {
    std::string host = "127.0.0.1";
    UINT port = 7010;
    std::string user = "admin";
    std::string password = "zep3";
    std::string snapshot;
};

// Keeps every packet body that arrives, in order.
class Client : public CClientSocket {
public:
    void Received() override { m_Bodies.emplace_back(m_pData, m_pData + m_nLength); }
    void OnClose(int errorCode) override {
        CClientSocket::OnClose(errorCode);
        m_bClosed = true;
    }

    // The next body, once it is there; false after the time-out or when the
    // station has closed the connection.
    bool Next(std::vector<BYTE>& body) {
        PumpMessagesUntil([this] { return !m_Bodies.empty() || m_bClosed; }, kAnswerTimeoutMs);
        if (m_Bodies.empty()) return false;
        body = std::move(m_Bodies.front());
        m_Bodies.pop_front();
        return true;
    }

    // The next body as a record of type Record; false for anything else.
    template <class Record> bool Expect(Record& record, std::vector<BYTE>& body) {
        if (!Next(body)) return Fail("no answer from the station");
        int32_t type = 0;
        if (body.size() >= sizeof type) std::memcpy(&type, body.data(), sizeof type);
        if (type == CTextMessage::Type && body.size() >= sizeof(CTextMessage)) {
            CTextMessage text(0, nullptr);
            std::memcpy(static_cast<void*>(&text), body.data(), sizeof text);
            if (type != Record::Type) return Fail(Text(text.m_szText, 100));
        }
        if (type != Record::Type || body.size() < sizeof(Record))
            return Fail("unexpected record of type " + std::to_string(type));
        std::memcpy(static_cast<void*>(&record), body.data(), sizeof record);
        return true;
    }

    template <class Record> bool Send(Record& record) {
        return SendPacket(&record, sizeof record, Record::Type) || Fail("cannot send to the station");
    }

    static std::string Text(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }
    static bool Fail(const std::string& why) {
        std::fprintf(stderr, "zep3-station-client: %s\n", why.c_str());
        return false;
    }

private:
    std::deque<std::vector<BYTE>> m_Bodies;
    bool m_bClosed = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--host") options.host = value;
        else if (name == "--port") options.port = UINT(std::strtoul(value.c_str(), nullptr, 10));
        else if (name == "--user") options.user = value;
        else if (name == "--password") options.password = value;
        else if (name == "--snapshot") options.snapshot = value;
        else return false;
    }
    return argc % 2 == 1 && options.port > 0 && options.port < 65536;
}

bool LogIn(Client& client, const Options& options) {
    std::vector<BYTE> body;
    CPromptMessage banner(0);
    if (!client.Expect(banner, body)) return false;
    std::printf("banner: %s\n", Client::Text(banner.m_szPrompt, sizeof banner.m_szPrompt).c_str());
    CLoginMessage login(0);
    std::strncpy(login.m_szLogin1, options.user.c_str(), sizeof login.m_szLogin1 - 1);
    std::strncpy(login.m_szLogin2, options.password.c_str(), sizeof login.m_szLogin2 - 1);
    CTextMessage answer(0, nullptr);
    if (!client.Send(login) || !client.Expect(answer, body)) return false;
    std::printf("login: %s\n", Client::Text(answer.m_szText, 100).c_str());
    return answer.m_nParam == 1;
}

bool PrintStatus(Client& client) {
    std::vector<BYTE> body;
    CGeneralStatusMessage status(0);
    if (!client.Send(status) || !client.Expect(status, body)) return false;
    std::printf("status: frames grabbed %d, recorded %d, objects in zone %d, snapshots %d, segment %s, %s\n",
                status.m_nStatus[0], status.m_nStatus[1], status.m_nStatus[2], status.m_nStatus[3],
                Client::Text(status.m_szStatus1, sizeof status.m_szStatus1).c_str(),
                Client::Text(status.m_szStatus2, sizeof status.m_szStatus2).c_str());
    return true;
}

bool FetchSnapshot(Client& client, const std::string& path) {
    std::vector<BYTE> body;
    CPrepareImageServerMessage ask(0);
    CImageMessage image(0);
    if (!client.Send(ask) || !client.Expect(image, body)) return false;
    const size_t length = size_t(image.m_nValue2);
    if (body.size() != sizeof image + length) return Client::Fail("the image record and its JPEG do not match");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(body.data() + sizeof image), std::streamsize(length));
    if (!out.flush()) return Client::Fail("cannot write " + path);
    const SYSTEMTIME& t = image.m_Time.m_Time;
    std::printf("snapshot %d: frame %d, %d x %d, taken %04u-%02u-%02u %02u:%02u:%02u.%03u, %zu bytes -> %s\n",
                image.m_nValue1, image.m_nValue3, image.m_nSize[0], image.m_nSize[1], t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, length, path.c_str());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: zep3-station-client --port N [--host H] [--user U] [--password P] "
                             "[--snapshot file.jpg]\n");
        return 2;
    }
    Client client;
    if (!client.Create() || !client.Connect(options.host.c_str(), options.port)) {
        Client::Fail("cannot connect to " + options.host + ":" + std::to_string(options.port));
        return 1;
    }
    bool ok = LogIn(client, options) && PrintStatus(client);
    if (ok && !options.snapshot.empty()) ok = FetchSnapshot(client, options.snapshot);
    std::fflush(stdout);
    return ok ? 0 : 1;
}
