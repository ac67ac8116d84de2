#pragma once
/// @class CArchiveException
/// Why an archive operation failed. The library never
/// throws it: a CArchive keeps the cause of its first failure, which
/// CArchive::GetFailure reports (see Archive.h).
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CArchiveException {
public:
    enum { none, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };

    CArchiveException(int cause = none, const char* fileName = nullptr) : m_cause(cause), m_strFileName(fileName) {}
    virtual ~CArchiveException() = default;

    int m_cause;           ///< one of the causes above
    CString m_strFileName; ///< the archive's file, when it has a name
};
