#pragma once
/// @class CMySQLConnection
/// A connection to a MySQL or MariaDB server through the
/// client library, which is not linked to this library: Init loads it at run
/// time from a folder the caller names, as folder + "libmariadb.so.3" (plain
/// concatenation: pass an empty text to use the system's search path, or a
/// folder ending in "/"). The process keeps one loaded copy, counted by
/// references (one per bound connection and per held result); the last one to
/// let go unloads it.
///
/// Lifecycle: Init, Connect, DoQuery and GetResult as often as needed, Close,
/// Release (the destructor closes and releases). Connect takes no port: the
/// client library's defaults apply (TCP port 3306 or MYSQL_TCP_PORT; host
/// "localhost" uses the Unix socket, /run/mysqld/mysqld.sock or
/// MYSQL_UNIX_PORT), read when the library is loaded.
///
/// Copies share the one connection: it is closed when the last copy closes.
/// Loading and releasing the library may happen on any thread; one connection
/// (with its copies and results) is used by one thread at a time.
#include <zep3/db/MySQLResult.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CMySQLConnection {
public:
    CMySQLConnection();
    /// Shares the other's connection and takes its own reference to the
    /// client library when the other holds one.
    CMySQLConnection(const CMySQLConnection& other);
    /// Closes and releases what this object held, then shares the other's.
    CMySQLConnection& operator=(const CMySQLConnection& other);
    /// Closes the connection and gives back the library reference.
    virtual ~CMySQLConnection();

    /// Binds the client library from folder + "libmariadb.so.3", or takes one
    /// more reference when it is already loaded. False when the file cannot be
    /// loaded or lacks one of the client functions this class calls; then no
    /// other operation does anything. A second Init of a bound object is true
    /// and takes no second reference.
    bool Init(const CString& folder);
    /// Closes the connection (it cannot be closed once the library may be
    /// gone) and gives back this object's reference to the client library.
    void Release();

    /// Opens a new connection; false when the server refuses or cannot be
    /// reached, or before Init. A connection held before is closed first. A
    /// refused connection keeps its handle (its error text is the client
    /// library's) until Close.
    bool Connect(const CString& host, const CString& user, const CString& password, const CString& database);
    /// Closes the connection (when this is its last copy); the handle becomes null.
    void Close();

    /// Runs a statement (it ends at its first zero byte: write binary values
    /// as hex literals). On failure shows the server's or the library's error
    /// text in a message box without a title and returns false; the
    /// connection stays open. False without a box when not connected.
    bool DoQuery(CString statement);
    /// The whole result of the last statement; an empty result when it had
    /// none (or on failure).
    CMySQLResult GetResult();

    st_mysql* GetMYSQL() { return m_pMySQL; }

protected:
    st_mysql* m_pMySQL = nullptr;      ///< the client library's connection handle
    bool m_bInit = false;              ///< Init succeeded: this object holds a library reference
    int* m_pnConnectionRefs = nullptr; ///< copies sharing m_pMySQL

private:
    void Share(const CMySQLConnection& other);
};
