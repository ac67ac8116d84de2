#pragma once
/// @class CFTPClient
/// A small blocking FTP client. It logs on to a server (directly
/// or through one of eight kinds of firewall or proxy), sends single
/// commands, moves one file in binary mode over an active or passive data
/// connection, and logs off.
///
/// Every call works on the calling thread and blocks until its step is done;
/// the control connection is a CSocket, so the thread's messages keep flowing
/// while it waits. Each wait for the server -- a reply line, a connection, a
/// block of data -- is bounded by the time-out (SetTimeOut, 60 s unless set),
/// after which the step fails as a broken connection does.
///
/// Operations return 1 on success and 0 on failure and leave the reason in
/// m_strReply: the server's reply line when it refused, or one of the fixed
/// texts "Unable to create socket", "Unable to connect to server", "Network
/// error", "Unable to open file on local machine", "File error" and "Logon
/// failed" for local failures. Nothing is retried and nothing is thrown.
///
/// Copies share the connection of the original: each copy may use it, and it
/// is closed when the last copy holding it logs off or is destroyed. One
/// thread uses a client (and its copies) at a time.
#include <zep3/platform/String.h>

#include <memory>

class CFile;
class CSocket;

namespace zep3::detail {
struct FtpControl;
}

class ZEP3_API CFTPClient {
public:
    CFTPClient();
    /// Closes the control connection (without QUIT) unless a copy still holds it.
    ~CFTPClient();
    CFTPClient(const CFTPClient& other);
    CFTPClient& operator=(const CFTPClient& other);

    /// Logs on: logonType 0 connects to host:port directly; types 1 to 8 go
    /// through the firewall or proxy at firewallHost:firewallPort with their
    /// own command sequences. 1 when logged on, 0 otherwise. A failed logon
    /// leaves the connection open: log off (or destroy the client) after it.
    int LogOnToServer(CString host, int port, CString user, CString password, CString account,
                      CString firewallHost, CString firewallUser, CString firewallPassword, int firewallPort,
                      int logonType);
    /// Sends QUIT (reading no reply) and closes the control connection.
    void LogOffServer();
    /// Sends the command (unless it is empty) and reads one reply: 1 when its
    /// class is 2. An empty command only reads a reply.
    int FTPcommand(CString command);
    /// Moves one file in binary mode: get non-zero fetches remoteFile into
    /// localFile, zero sends localFile as remoteFile; passive non-zero uses a
    /// passive data connection, zero an active one. 1 when the server
    /// confirmed the transfer.
    int MoveFile(CString remoteFile, CString localFile, int passive, int get);
    /// Writes the line and `"\r\n"` and flushes: 1, or 0 when the connection failed.
    int WriteStr(CString line);
    /// Reads one complete reply, multi-line replies included: 1, or 0 when
    /// the connection failed.
    int ReadStr();

    /// How long each wait for the server may last, in milliseconds (at least
    /// 1). Applies to the connections opened after the call.
    void SetTimeOut(DWORD milliseconds);
    DWORD GetTimeOut() const { return m_nTimeOut; }

    /// The last reply line read from the server, or the text of the last local failure.
    CString m_strReply;

private:
    int ReadStr2();
    int OpenControlChannel(CString server, int port);
    void CloseControlChannel();
    // The local address of the control connection as dotted text; empty when unknown.
    CString GetControlAddress() const;
    // MoveFile's steps after the local file is open: the data connection,
    // the copy and the final reply. started tells whether data began to move.
    int Transfer(const CString& remoteFile, CFile& file, bool passive, bool get, bool& started);
    // Listens for the server's data connection and announces it with PORT.
    int OpenActiveListener(CSocket& listener);

    // Receive archive, send archive, socket file and control socket.
    std::shared_ptr<zep3::detail::FtpControl> m_pControl;

public:
    /// The first digit of the last reply line read (1 to 5 for a well-formed reply).
    int m_nReplyClass;

private:
    DWORD m_nTimeOut;
};
