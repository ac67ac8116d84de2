#pragma once
/// @class CMySQLResult
/// The rows of a stored result, walked one by one, each field
/// returned as text. The fields of a row are the client library's bytes
/// unchanged (8-bit text in the connection's character set, binary data with
/// its zero bytes); a NULL field reads as an empty text.
///
/// Copies share one stored result through a reference count; the result is
/// freed when the last copy lets go. A held result keeps the client library
/// loaded, so results and connections may be destroyed in any order. A
/// result, like its connection, is used by one thread at a time.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/WinTypes.h>

// The client library's own handle types, opaque here.
struct st_mysql;
struct st_mysql_res;

class ZEP3_API CMySQLResult {
public:
    /// Empty: holds no result.
    CMySQLResult();
    /// Shares the other's result (and its current row); an empty copy of an
    /// empty result.
    CMySQLResult(const CMySQLResult& other);
    /// Gives back the held result first, then shares the other's.
    CMySQLResult& operator=(const CMySQLResult& other);
    virtual ~CMySQLResult();

    /// Rows and fields of the result; 0 when empty.
    ULONGLONG GetRowCount();
    int GetFieldCount();
    /// Moves to the next row; false at the end and when empty.
    bool NextRow();
    /// Field `index` (0 to GetFieldCount() - 1) of the current row; empty for
    /// NULL, for an index outside the row and before the first NextRow.
    CString GetField(int index);
    /// The field whose column name equals `name` exactly (case-sensitive; the
    /// first such column); empty when no column has that name.
    CString GetField(CString name);
    CString operator[](int index) { return GetField(index); }
    CString operator[](CString name) { return GetField(name); }

    st_mysql_res* GetMYSQL_RES() { return m_pRes; }

protected:
    /// Gives back the held result, then holds `result` (from `connection`)
    /// with a new count of 1; a null result leaves the object empty.
    void Set(st_mysql_res* result, st_mysql* connection);

    st_mysql_res* m_pRes = nullptr; ///< the stored result
    char** m_Row = nullptr;         ///< the current row: the library's field texts
    st_mysql* m_pMySQL = nullptr;   ///< the connection it came from
    int* m_pnRefCount = nullptr;    ///< holders of m_pRes, shared by the copies

private:
    int m_nFields = 0; // fields per row of m_pRes, asked for once
    friend class CMySQLConnection;
    void Share(const CMySQLResult& other);
    void Free();
};
