#include <zep3/db/MySQLResult.h>
#include <zep3/db/detail/ClientLibrary.h>

#include <cstring>
#include <new>

// For the layout of the field descriptors only; the functions are the
// looked-up ones.
#include <mariadb/mysql.h>

using zep3::detail::ClientApi;

namespace {

// A row of a stored result keeps its fields back to back, each followed by
// a zero byte, and one pointer more that marks the end of the last field (the
// client library measures lengths the same way). So a field is as long as
// the distance to the next field that is not NULL, less its zero byte; this
// keeps zero bytes inside binary fields.
size_t FieldLength(char* const* row, int index, int count) {
    for (int next = index + 1; next <= count; ++next)
        if (row[next]) return static_cast<size_t>(row[next] - row[index] - 1);
    return std::strlen(row[index]);
}

} // namespace

CMySQLResult::CMySQLResult() = default;

CMySQLResult::CMySQLResult(const CMySQLResult& other) { Share(other); }

CMySQLResult& CMySQLResult::operator=(const CMySQLResult& other) {
    if (this != &other) {
        Free();
        Share(other);
    }
    return *this;
}

CMySQLResult::~CMySQLResult() { Free(); }

void CMySQLResult::Share(const CMySQLResult& other) {
    m_pRes = other.m_pRes;
    m_Row = other.m_Row;
    m_pMySQL = other.m_pMySQL;
    m_pnRefCount = other.m_pnRefCount;
    m_nFields = other.m_nFields;
    if (m_pnRefCount) ++*m_pnRefCount;
}

void CMySQLResult::Free() {
    if (m_pnRefCount && --*m_pnRefCount == 0) {
        ClientApi().freeResult(m_pRes);
        delete m_pnRefCount;
        zep3::detail::ReleaseClientLibrary();
    }
    m_pRes = nullptr;
    m_Row = nullptr;
    m_pMySQL = nullptr;
    m_pnRefCount = nullptr;
    m_nFields = 0;
}

void CMySQLResult::Set(st_mysql_res* result, st_mysql* connection) {
    Free();
    // The result holds the library loaded until it is freed, so that its
    // holders may outlive the connections in any order.
    if (!result || !zep3::detail::AddClientLibraryReference()) return;
    m_pnRefCount = new (std::nothrow) int(1);
    if (!m_pnRefCount) {
        ClientApi().freeResult(result);
        zep3::detail::ReleaseClientLibrary();
        return;
    }
    m_pRes = result;
    m_pMySQL = connection;
    m_nFields = static_cast<int>(ClientApi().numFields(result));
}

ULONGLONG CMySQLResult::GetRowCount() { return m_pRes ? ClientApi().numRows(m_pRes) : 0; }

int CMySQLResult::GetFieldCount() { return m_pRes ? static_cast<int>(ClientApi().numFields(m_pRes)) : 0; }

bool CMySQLResult::NextRow() {
    if (!m_pRes) return false;
    m_Row = ClientApi().fetchRow(m_pRes);
    return m_Row != nullptr;
}

CString CMySQLResult::GetField(int index) {
    if (!m_Row || index < 0 || index >= m_nFields || !m_Row[index]) return CString();
    return CString(m_Row[index], static_cast<int>(FieldLength(m_Row, index, m_nFields)));
}

CString CMySQLResult::GetField(CString name) {
    if (!m_Row) return CString();
    const MYSQL_FIELD* fields = ClientApi().fetchFields(m_pRes);
    for (int i = 0; fields && i < m_nFields; ++i)
        if (fields[i].name && name.Compare(fields[i].name) == 0) return GetField(i);
    return CString();
}
