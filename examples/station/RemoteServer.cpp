#include "RemoteServer.h"

#include "Station.h"

#include <cstring>
#include <string>

namespace {

// A text field that may lack its terminator.
CString FieldText(const char* field, size_t size) { return CString(field, int(strnlen(field, size))); }

void CopyText(char* field, size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

} // namespace

class RemoteServer::Connection : public CClientSocket {
public:
    explicit Connection(const Station& station) : m_Station(station) {}
    bool IsClosed() const { return m_bClosed; }

    void OnClose(int errorCode) override {
        CClientSocket::OnClose(errorCode);
        m_bClosed = true;
    }

    void Banner() {
        CPromptMessage prompt(0);
        Send(prompt);
    }

    void Received() override {
        if (m_nLength < static_cast<int>(sizeof(CRemoteMessage))) return;
        int32_t type;
        std::memcpy(&type, m_pData, sizeof type);
        if (type == CLoginMessage::Type && m_nLength >= static_cast<int>(sizeof(CLoginMessage))) return Login();
        if (!m_bLoggedIn) return Refuse("Log in first");
        if (type == CGeneralStatusMessage::Type) return SendStatus();
        if (type == CPrepareImageServerMessage::Type) return SendSnapshot();
        Refuse("Unknown record " + std::to_string(type));
    }

private:
    template <class Record> void Send(Record& record) { SendPacket(&record, sizeof record, Record::Type); }

    void Refuse(const std::string& why) {
        CTextMessage text(0, why.c_str());
        Send(text);
    }

    void Login() {
        CLoginMessage login(0);
        std::memcpy(static_cast<void*>(&login), m_pData, sizeof login);
        const StationSettings& settings = m_Station.Settings();
        m_bLoggedIn = FieldText(login.m_szLogin1, sizeof login.m_szLogin1) == settings.user &&
                      FieldText(login.m_szLogin2, sizeof login.m_szLogin2) == settings.password;
        CTextMessage answer(m_bLoggedIn ? 1 : 0, m_bLoggedIn ? "Login accepted" : "Login refused");
        Send(answer);
    }

    void SendStatus() {
        const StationStatus s = m_Station.Status();
        CGeneralStatusMessage status(0);
        status.m_nStatus[0] = static_cast<int32_t>(s.grabbed);
        status.m_nStatus[1] = static_cast<int32_t>(s.recorded);
        status.m_nStatus[2] = static_cast<int32_t>(s.objects.size());
        status.m_nStatus[3] = static_cast<int32_t>(s.snapshots);
        CopyText(status.m_szStatus1, sizeof status.m_szStatus1, s.segment);
        CopyText(status.m_szStatus2, sizeof status.m_szStatus2, s.segment.empty() ? "paused" : "recording");
        Send(status);
    }

    // The record and the JPEG travel in one body, so a reader never sees one
    // without the other.
    void SendSnapshot() {
        Snapshot shot;
        if (!m_Station.LatestSnapshot(shot)) return Refuse("No snapshot yet");
        CImageMessage image(0);
        image.m_nValue1 = shot.number;
        image.m_nSize[0] = shot.size.cx;
        image.m_nSize[1] = shot.size.cy;
        image.m_nValue2 = static_cast<int32_t>(shot.jpeg.size());
        image.m_bFlag = true; // JPEG
        image.m_nValue3 = static_cast<int32_t>(shot.frame);
        image.m_Time = shot.time;
        std::vector<BYTE> body(sizeof image + shot.jpeg.size());
        std::memcpy(body.data(), &image, sizeof image);
        std::memcpy(body.data() + sizeof image, shot.jpeg.data(), shot.jpeg.size());
        SendPacket(body.data(), static_cast<int>(body.size()), CImageMessage::Type);
    }

    const Station& m_Station;
    bool m_bLoggedIn = false;
    bool m_bClosed = false;
};

RemoteServer::RemoteServer(const Station& station) : m_Station(station) {}

RemoteServer::~RemoteServer() = default;

bool RemoteServer::Start(UINT port) {
    CString address;
    return Create(port, SOCK_STREAM, "127.0.0.1") && Listen() && GetSockName(address, m_nPort);
}

void RemoteServer::OnAccept(int errorCode) {
    CSocket::OnAccept(errorCode);
    auto connection = std::make_unique<Connection>(m_Station);
    if (!Accept(*connection)) return;
    Connection* accepted = connection.get();
    m_Connections.push_back(std::move(connection));
    accepted->Banner();
}

void RemoteServer::Sweep() {
    for (size_t i = 0; i < m_Connections.size();) {
        if (m_Connections[i]->IsClosed())
            m_Connections.erase(m_Connections.begin() + long(i));
        else
            ++i;
    }
}
