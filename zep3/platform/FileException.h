#pragma once
/// @class CFileException
/// Why a file operation failed. The library never throws it;
/// CFile::Open fills one in when the caller passes it, and the other file
/// operations report failure through their results and the last error.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CFileException {
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    CFileException(int cause = none, LONG osError = -1, const char* fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}
    virtual ~CFileException() = default;

    /// The cause (one of the values above) for a Windows error number.
    static int OsErrorToException(LONG osError);

    int m_cause;             ///< one of the causes above
    LONG m_lOsError;         ///< Windows error number, -1 when none
    CString m_strFileName;   ///< the file the operation was about
};
