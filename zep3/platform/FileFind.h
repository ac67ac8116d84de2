#pragma once
/// @class CFileFind
/// The entries of one folder that match a mask. FindFile takes
/// "folder/mask" (a mask alone searches the current folder) and gathers the
/// matches; each FindNextFile then steps to the next one and returns FALSE
/// when the entry it stepped to is the last, so the usual loop is
///
///     BOOL more = finder.FindFile("logs/*.log");
///     while (more) { more = finder.FindNextFile(); ... finder.GetFilePath() ... }
///
/// Masks follow Windows rules ('*', '?', no case, "*.*" matches every name).
/// "." and ".." come first when the mask matches them, the other names in
/// byte order. Symbolic links report the attributes of their target plus
/// FILE_ATTRIBUTE_REPARSE_POINT. One object is used by one thread at a time.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/Time.h>

#include <memory>

class ZEP3_API CFileFind {
public:
    CFileFind();
    virtual ~CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    /// Starts a search (null: "*.*" in the current folder). TRUE when at least
    /// one entry matches; FALSE (last error set) when none does or the folder
    /// cannot be read.
    virtual BOOL FindFile(LPCSTR name = nullptr, DWORD unused = 0);
    /// Steps to the next match; FALSE when that match is the last one (its
    /// details are still valid) or when there was none left.
    virtual BOOL FindNextFile();
    /// Ends the search.
    void Close();

    ///@{
    /// Details of the current match; empty or 0 before the first FindNextFile.
    CString GetFileName() const;
    CString GetFilePath() const;
    CString GetFileTitle() const;
    ///@}
    /// The searched folder with a trailing "/" (empty for the current folder).
    CString GetRoot() const;
    ULONGLONG GetLength() const;
    BOOL GetLastWriteTime(CTime& time) const;
    BOOL IsDirectory() const;
    BOOL IsDots() const;
    BOOL IsReadOnly() const;
    BOOL IsSymbolicLink() const;
    /// TRUE when the current entry has any of the FILE_ATTRIBUTE_* bits.
    BOOL MatchesMask(DWORD mask) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
