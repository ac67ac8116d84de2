#pragma once
/// @class CStdioFile
/// A buffered file with line reading and writing. Lines are bytes:
/// ReadString ends a line at LF and drops one CR before it; WriteString writes
/// exactly the bytes it is given (write `"\r\n"` for a Windows line end).
/// Opening, sharing and failure reporting are those of CFile.
#include <zep3/platform/File.h>

#include <cstdio>

class ZEP3_API CStdioFile : public CFile {
public:
    CStdioFile() = default;
    ~CStdioFile() override;

    BOOL Open(LPCSTR fileName, UINT openFlags, CFileException* error = nullptr) override;
    UINT Read(void* buffer, UINT count) override;
    BOOL Write(const void* buffer, UINT count) override;
    LONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetPosition() const override;
    ULONGLONG GetLength() const override;
    BOOL SetLength(ULONGLONG newLength) override;
    /// Hands buffered bytes to the system (no disk synchronisation).
    BOOL Flush() override;
    void Close() override;
    void Abort() override;

    /// The next line without its line end; FALSE at the end of the file when
    /// nothing is left to read. A last line without LF is still returned.
    virtual BOOL ReadString(CString& line);
    /// Writes text up to its terminating zero; FALSE on a write error.
    virtual BOOL WriteString(LPCSTR text);

    FILE* m_pStream = nullptr; ///< the open stream, null when closed

private:
    char* m_line = nullptr;
    size_t m_lineCapacity = 0;
};
