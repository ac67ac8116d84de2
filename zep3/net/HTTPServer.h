#pragma once
/// @class CHTTPServer
/// A small web server for browsers. It listens on a port and
/// address, hands each accepted connection to one of a few worker threads
/// (CHTTPServerThread), which serve many connections at once, one request
/// per connection, then the connection is closed; finds pages in its
/// CHTMLPageManager by the request path, and guards the protected pages with
/// a login: the login page carries a challenge, the browser's script posts
/// the SHA-1 of challenge + password, and a session number in the "SID"
/// cookie, bound to the browser's address and the user's rights, lets the
/// browser in for an hour after its last request.
///
/// Every answer is "HTTP/1.1 200 OK" with no-cache lines and no length: the
/// body ends when the connection closes.
///
/// Use: derive pages from CHTMLPage, register them with
/// GetHTMLPageManager()->AddHTMLPage, AddUser, then EnableServer(true). The
/// server's own operations are for the thread that started it, which must
/// run a message loop (connections are accepted there); the pages run on the
/// worker threads, one at a time. A page must not run a message loop of its
/// own (a blocking CSocket call, a modal dialog): its worker would serve
/// other connections from inside it. Failures are false results.
///
/// Limits that keep slow or hostile clients from holding resources (settable
/// while the server is not started):
/// - a request of more than GetMaxRequestSize() bytes (1 MiB by default)
///   closes its connection without an answer;
/// - a connection that has not delivered its whole request within
///   GetRequestTimeout() milliseconds (30 s by default), or has not taken the
///   answer within as long again, is closed;
/// - at most GetMaxConnections() connections are served at once: the
///   connection limit when one is set (SetConnectionLimit above 0), else 100.
///   A connection beyond that is closed as soon as it is accepted.
#include <zep3/net/HTMLPageManager.h>
#include <zep3/net/HTTPServerSocket.h>
#include <zep3/net/HTTPSessionManager.h>
#include <zep3/platform/StringArray.h>

#include <memory>

namespace zep3::detail {
class HTTPServerWorkers;
}

class ZEP3_API CHTTPServer {
public:
    /// Port 80, all addresses, not enabled, not started; the page manager
    /// holds the built-in pages.
    CHTTPServer();
    /// Stops listening, ends the worker threads (each at its next message,
    /// closing its connections) and waits until they have ended, serving the
    /// calling thread's messages meanwhile.
    virtual ~CHTTPServer();
    CHTTPServer(const CHTTPServer&) = delete;
    CHTTPServer& operator=(const CHTTPServer&) = delete;

    /// Store the value and return true; false (nothing changed) while started.
    bool SetPort(int port);
    /// A dotted address to listen on; empty: all local addresses.
    bool SetIP(const CString& address);
    /// The most connections served at once (0: the default, 100); false (nothing
    /// changed) while started.
    bool SetConnectionLimit(int limit);
    /// The port given to SetPort.
    int GetPort() const { return m_nPort; }
    /// The port listened on while started (the system's choice after
    /// SetPort(0)); 0 when not started.
    UINT GetListeningPort() const;
    /// 0 until set.
    int GetConnectionLimit() const { return m_nConnectionLimit; }
    ///@{
    /// The states EnableServer and Init/Stop set.
    bool IsServerEnabled() const { return m_bEnabled; }
    bool IsServerStarted() const { return m_bStarted; }
    ///@}

    /// Stores enable; enabling a server that is not started returns Init(),
    /// disabling a started one returns Stop(), anything else false.
    bool EnableServer(bool enable);
    /// Starts listening (backlog SOMAXCONN) and calls CreateHTMLPage of every page;
    /// false unless enabled and not started, or when the socket cannot listen.
    bool Init();
    /// Closes the listening socket; false when not started. Connections
    /// already accepted are served to their end, then the workers end.
    bool Stop();

    /// Appends a user (duplicates allowed). Change the users only while no
    /// login can be in progress (before enabling the server, say): the
    /// worker threads read them without a lock.
    void AddUser(const CString& user, const CString& password, int rights);
    /// Forgets every user; the same care as for AddUser.
    void RemoveUsers();
    /// True, with the user's rights, when a user of that name has a password
    /// whose CHash::SHA1(challenge + password) equals response exactly (the
    /// first such entry counts); false (rights unchanged) otherwise.
    bool AuthorizeUser(const CString& user, const CString& response, const CString& challenge, int& rights);

    ///@{
    /// The server's page table and session table, owned by the server.
    CHTMLPageManager* GetHTMLPageManager() { return &m_HTMLPageManager; }
    CHTTPSessionManager* GetHTTPSessionManager() { return &m_HTTPSessionManager; }
    ///@}

    /// The limits (see above); false (nothing changed) while started or for a
    /// value below 1.
    bool SetMaxRequestSize(int bytes);
    int GetMaxRequestSize() const { return m_nMaxRequestSize; }
    /// How long a connection may take to send one request; false (nothing
    /// changed) while started or for a value below 1.
    bool SetRequestTimeout(int milliseconds);
    int GetRequestTimeout() const { return m_nRequestTimeout; }
    /// The connection limit in force: GetConnectionLimit(), or 100 while it is 0.
    int GetMaxConnections() const;
    /// Connections being served now.
    int GetConnectionCount() const;

    ///@{
    /// The defaults: 1 MiB per request, 30 seconds per request, 100 connections.
    static const int kDefaultMaxRequestSize = 1 << 20;
    static const int kDefaultRequestTimeout = 30000;
    static const int kDefaultMaxConnections = 100;
    ///@}

protected:
    friend class CHTTPServerSocket;
    friend class CHTTPServerThread;

    CHTMLPageManager m_HTMLPageManager;
    CHTTPServerSocket* m_pServerSocket;
    bool m_bStarted;
    bool m_bEnabled;
    int m_nPort;
    int m_nConnectionLimit;
    CString m_IP;
    CHTTPSessionManager m_HTTPSessionManager;
    CStringArray m_UserNames;
    CStringArray m_Passwords;
    CArray<int, int> m_Rights;

    int m_nMaxRequestSize;
    int m_nRequestTimeout;
    /// The worker threads and their connections.
    std::unique_ptr<zep3::detail::HTTPServerWorkers> m_pWorkers;
};
