#pragma once
/// @struct CFileStatus
/// What CFile::GetStatus reports about a file.
#include <zep3/platform/Time.h>
#include <zep3/platform/WinTypes.h>

struct CFileStatus {
    CTime m_ctime;             ///< status change time
    CTime m_mtime;             ///< last modification
    CTime m_atime;             ///< last access
    ULONGLONG m_size = 0;      ///< length in bytes
    BYTE m_attribute = 0;      ///< CFile::Attribute bits
    char m_szFullName[4096] = {}; ///< absolute path, cut to fit
};
