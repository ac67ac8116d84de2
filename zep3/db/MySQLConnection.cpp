#include <zep3/db/MySQLConnection.h>
#include <zep3/db/detail/ClientLibrary.h>
#include <zep3/platform/MessageBox.h>

#include <new>

using zep3::detail::ClientApi;

namespace {

// The client library's file in the folder the caller names.
const char kClientLibrary[] = "libmariadb.so.3";

} // namespace

CMySQLConnection::CMySQLConnection() = default;

CMySQLConnection::CMySQLConnection(const CMySQLConnection& other) { Share(other); }

CMySQLConnection& CMySQLConnection::operator=(const CMySQLConnection& other) {
    if (this != &other) {
        Release();
        Share(other);
    }
    return *this;
}

CMySQLConnection::~CMySQLConnection() { Release(); } // Release closes first

void CMySQLConnection::Share(const CMySQLConnection& other) {
    m_pMySQL = other.m_pMySQL;
    m_bInit = other.m_bInit;
    m_pnConnectionRefs = other.m_pnConnectionRefs;
    if (m_pnConnectionRefs) ++*m_pnConnectionRefs;
    if (m_bInit) zep3::detail::AddClientLibraryReference();
}

bool CMySQLConnection::Init(const CString& folder) {
    if (!m_bInit) m_bInit = zep3::detail::AcquireClientLibrary(folder.str() + kClientLibrary);
    return m_bInit;
}

void CMySQLConnection::Release() {
    Close();
    if (!m_bInit) return;
    m_bInit = false;
    zep3::detail::ReleaseClientLibrary();
}

bool CMySQLConnection::Connect(const CString& host, const CString& user, const CString& password,
                               const CString& database) {
    Close();
    if (!m_bInit) return false;
    m_pMySQL = ClientApi().init(nullptr);
    if (!m_pMySQL) return false;
    m_pnConnectionRefs = new (std::nothrow) int(1);
    if (!m_pnConnectionRefs) {
        ClientApi().close(m_pMySQL);
        m_pMySQL = nullptr;
        return false;
    }
    return ClientApi().realConnect(m_pMySQL, host, user, password, database, 0, nullptr, 0) != nullptr;
}

void CMySQLConnection::Close() {
    if (!m_pMySQL) return;
    if (--*m_pnConnectionRefs == 0) {
        ClientApi().close(m_pMySQL);
        delete m_pnConnectionRefs;
    }
    m_pMySQL = nullptr;
    m_pnConnectionRefs = nullptr;
}

bool CMySQLConnection::DoQuery(CString statement) {
    if (!m_pMySQL) return false;
    if (ClientApi().query(m_pMySQL, statement) == 0) return true;
    MessageBox(nullptr, ClientApi().error(m_pMySQL), nullptr, MB_OK);
    return false;
}

CMySQLResult CMySQLConnection::GetResult() {
    CMySQLResult result;
    if (m_pMySQL) result.Set(ClientApi().storeResult(m_pMySQL), m_pMySQL);
    return result;
}
