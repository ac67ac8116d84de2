#include <zep3/net/FTPClient.h>
#include <zep3/net/detail/FtpReply.h>
#include <zep3/platform/File.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/Socket.h>
#include <zep3/platform/SocketFile.h>

#include <cstdio>

namespace zep3::detail {

// The control connection; members are destroyed in the order the client
// closes them: send archive, receive archive, socket file, socket.
struct FtpControl {
    std::unique_ptr<CSocket> socket;
    std::unique_ptr<CSocketFile> file;
    std::unique_ptr<CArchive> receive;
    std::unique_ptr<CArchive> send;
};

} // namespace zep3::detail

namespace {

const char kUnableToCreateSocket[] = "Unable to create socket";
const char kUnableToConnect[] = "Unable to connect to server";
const char kNetworkError[] = "Network error";
const char kUnableToOpenFile[] = "Unable to open file on local machine";
const char kFileError[] = "File error";
const char kLogonFailed[] = "Logon failed";

const int kLoggedOn = -2; // LO
const int kFailed = -1;   // ER

// Per logon type, steps of three numbers: the command code, the position of
// the next step after a 2xx reply and after a 3xx reply.
const int kLogonSequences[9][18] = {
    {0, kLoggedOn, 3, 1, kLoggedOn, 6, 2, kLoggedOn, kFailed},
    {3, 6, 3, 4, 6, kFailed, 5, kFailed, 9, 0, kLoggedOn, 12, 1, kLoggedOn, 15, 2, kLoggedOn, kFailed},
    {3, 6, 3, 4, 6, kFailed, 6, kLoggedOn, 9, 1, kLoggedOn, 12, 2, kLoggedOn, kFailed},
    {7, 3, 3, 0, kLoggedOn, 6, 1, kLoggedOn, 9, 2, kLoggedOn, kFailed},
    {3, 6, 3, 4, 6, kFailed, 0, kLoggedOn, 9, 1, kLoggedOn, 12, 2, kLoggedOn, kFailed},
    {6, kLoggedOn, 3, 1, kLoggedOn, 6, 2, kLoggedOn, kFailed},
    {8, 6, 3, 4, 6, kFailed, 0, kLoggedOn, 9, 1, kLoggedOn, 12, 2, kLoggedOn, kFailed},
    {9, kFailed, 3, 1, kLoggedOn, 6, 2, kLoggedOn, kFailed},
    {10, kLoggedOn, 3, 11, kLoggedOn, 6, 2, kLoggedOn, kFailed},
};

struct LogonTexts {
    CString user, password, account, firewallUser, firewallPassword, host;
};

CString LogonCommand(int code, const LogonTexts& t) {
    switch (code) {
    case 0:
        return "USER " + t.user;
    case 1:
        return "PASS " + t.password;
    case 2:
        return "ACCT " + t.account;
    case 3:
        return "USER " + t.firewallUser;
    case 4:
        return "PASS " + t.firewallPassword;
    case 5:
        return "SITE " + t.host;
    case 6:
        return "USER " + t.user + "@" + t.host;
    case 7:
        return "OPEN " + t.host;
    case 8:
        return "USER " + t.firewallUser + "@" + t.host;
    case 9:
        return "USER " + t.user + "@" + t.host + " " + t.firewallUser;
    case 10:
        return "USER " + t.user + "@" + t.firewallUser + "@" + t.host;
    default:
        return "PASS " + t.password + "@" + t.firewallPassword;
    }
}

// Bounds the socket's blocking waits (and, once it blocks in the kernel, its
// receives and sends).
void LimitWaits(CAsyncSocket& socket, DWORD milliseconds) {
    socket.SetSockOpt(SO_RCVTIMEO, &milliseconds, sizeof milliseconds);
    socket.SetSockOpt(SO_SNDTIMEO, &milliseconds, sizeof milliseconds);
}

// Receives into the file until the server ends the data connection (or it
// fails); false on a file error.
bool ReceiveFile(CAsyncSocket& data, CFile& file) {
    char block[4096];
    for (;;) {
        const int n = data.Receive(block, sizeof block);
        if (n <= 0) return true;
        if (!file.Write(block, UINT(n))) return false;
    }
}

// Sends the file until its end or a failed send; what a short send left
// behind is read again. False on a file error.
bool SendFile(CAsyncSocket& data, CFile& file) {
    char block[4096];
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const UINT n = file.Read(block, sizeof block);
        if (n == 0) return GetLastError() == ERROR_SUCCESS;
        const int sent = data.Send(block, int(n));
        if (sent == SOCKET_ERROR) return true;
        if (UINT(sent) < n && file.Seek(LONGLONG(sent) - LONGLONG(n), CFile::current) < 0) return false;
    }
}

} // namespace

using zep3::detail::FtpControl;

CFTPClient::CFTPClient() : m_nReplyClass(0), m_nTimeOut(60000) {}

CFTPClient::~CFTPClient() { CloseControlChannel(); }

CFTPClient::CFTPClient(const CFTPClient& other) = default;

CFTPClient& CFTPClient::operator=(const CFTPClient& other) = default;

void CFTPClient::SetTimeOut(DWORD milliseconds) { m_nTimeOut = milliseconds ? milliseconds : 1; }

int CFTPClient::OpenControlChannel(CString server, int port) {
    m_pControl = std::make_shared<FtpControl>();
    m_strReply = kUnableToCreateSocket;
    m_pControl->socket = std::make_unique<CSocket>();
    if (!m_pControl->socket->Create()) return 0;
    LimitWaits(*m_pControl->socket, m_nTimeOut);
    m_strReply = kUnableToConnect;
    if (!m_pControl->socket->Connect(server, UINT(port))) return 0;
    m_strReply = kUnableToCreateSocket;
    m_pControl->file = std::make_unique<CSocketFile>(m_pControl->socket.get());
    m_pControl->receive = std::make_unique<CArchive>(m_pControl->file.get(), CArchive::load, 4096);
    m_pControl->send = std::make_unique<CArchive>(m_pControl->file.get(), CArchive::store, 4096);
    return 1;
}

void CFTPClient::CloseControlChannel() { m_pControl.reset(); }

CString CFTPClient::GetControlAddress() const {
    CString address;
    UINT port = 0;
    if (!m_pControl || !m_pControl->socket || !m_pControl->socket->GetSockName(address, port))
        return CString();
    return address;
}

int CFTPClient::WriteStr(CString line) {
    m_strReply = kNetworkError;
    if (!m_pControl || !m_pControl->send) return 0;
    line += "\r\n";
    return m_pControl->send->WriteString(line) && m_pControl->send->Flush() ? 1 : 0;
}

int CFTPClient::ReadStr2() {
    return zep3::detail::ReadFtpLine(m_pControl ? m_pControl->receive.get() : nullptr, m_strReply,
                                     m_nReplyClass);
}

int CFTPClient::ReadStr() {
    return zep3::detail::ReadFtpReply(m_pControl ? m_pControl->receive.get() : nullptr, m_strReply,
                                      m_nReplyClass);
}

int CFTPClient::FTPcommand(CString command) {
    if (!command.IsEmpty() && !WriteStr(command)) return 0;
    return ReadStr() && m_nReplyClass == 2 ? 1 : 0;
}

int CFTPClient::LogOnToServer(CString host, int port, CString user, CString password, CString account,
                              CString firewallHost, CString firewallUser, CString firewallPassword,
                              int firewallPort, int logonType) {
    if (logonType < 0 || logonType > 8) {
        m_strReply = kLogonFailed;
        return 0;
    }
    LogonTexts texts = {user, password, account, firewallUser, firewallPassword, host};
    if (port != 21) texts.host.Format("%s:%d", static_cast<const char*>(host), port);
    const bool direct = logonType == 0;
    if (!OpenControlChannel(direct ? host : firewallHost, direct ? port : firewallPort)) return 0;
    if (!FTPcommand("")) return 0;

    const int* row = kLogonSequences[logonType];
    for (int at = 0;;) {
        if (!WriteStr(LogonCommand(row[at], texts)) || !ReadStr()) return 0;
        if (m_nReplyClass != 2 && m_nReplyClass != 3) return 0;
        at = row[at + (m_nReplyClass == 2 ? 1 : 2)];
        if (at == kLoggedOn) return 1;
        if (at == kFailed) {
            m_strReply = kLogonFailed;
            return 0;
        }
    }
}

void CFTPClient::LogOffServer() {
    WriteStr("QUIT");
    CloseControlChannel();
}

int CFTPClient::MoveFile(CString remoteFile, CString localFile, int passive, int get) {
    CFileStatus status;
    const bool existed = CFile::GetStatus(localFile, status);
    CFile file;
    // A fetched file is emptied only once the server starts sending, so that
    // a refused transfer leaves what was there.
    const UINT mode = get ? CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::typeBinary
                          : CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary;
    if (!file.Open(localFile, mode)) {
        m_strReply = kUnableToOpenFile;
        return 0;
    }
    bool started = false;
    const int result = Transfer(remoteFile, file, passive != 0, get != 0, started);
    file.Close();
    if (get && !existed && !started) std::remove(localFile);
    return result;
}

int CFTPClient::OpenActiveListener(CSocket& listener) {
    m_strReply = kNetworkError;
    const CString address = GetControlAddress();
    CString bound;
    UINT port = 0;
    // Bound to the address the PORT command names: the server comes back
    // there, and nowhere else needs to reach it.
    if (address.IsEmpty() || !listener.Create(0, SOCK_STREAM, address) || !listener.Listen(5) ||
        !listener.GetSockName(bound, port))
        return 0;
    LimitWaits(listener, m_nTimeOut);
    return FTPcommand(zep3::detail::PortCommand(address, port));
}

int CFTPClient::Transfer(const CString& remoteFile, CFile& file, bool passive, bool get, bool& started) {
    if (!FTPcommand("TYPE I")) return 0;
    CSocket listener;
    CAsyncSocket data;
    CString dataHost;
    UINT dataPort = 0;
    if (passive) {
        if (!FTPcommand("PASV") || !zep3::detail::ParsePassiveReply(m_strReply, dataHost, dataPort)) return 0;
    } else if (!OpenActiveListener(listener)) {
        return 0;
    }
    if (!WriteStr((get ? "RETR " : "STOR ") + remoteFile)) return 0;
    if (passive) {
        if (!data.Create()) {
            m_strReply = kNetworkError;
            return 0;
        }
        LimitWaits(data, m_nTimeOut);
        data.Connect(dataHost, dataPort); // how it went shows in the server's reply
    }
    if (!ReadStr() || m_nReplyClass != 1) return 0;
    DWORD blocking = 0;
    if ((!passive && !listener.Accept(data)) || !data.AsyncSelect(0) || !data.IOCtl(FIONBIO, &blocking)) {
        m_strReply = kNetworkError;
        return 0;
    }
    listener.Close();
    LimitWaits(data, m_nTimeOut);
    started = true;
    const bool fileOk = get ? file.SetLength(0) && ReceiveFile(data, file) : SendFile(data, file);
    data.Close();
    file.Close();
    if (!fileOk) {
        m_strReply = kFileError;
        return 0;
    }
    return FTPcommand("");
}
