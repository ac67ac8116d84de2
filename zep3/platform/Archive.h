#pragma once
/// @class CArchive
/// A buffered reader (load) or writer (store) over a CFile, here
/// chiefly over a CSocketFile to read and write a connection line by line.
///
/// Nothing is thrown. Where the framework throws a CArchiveException or the
/// file's exception, these calls report through their result instead, and
/// the archive keeps the cause of its first failure for GetFailure:
/// - ReadString gives FALSE (or null) when no line could be read because the
///   file ended -- for a socket: the peer closed or the connection failed --
///   before any byte of a line. A last line without a line end is returned as
///   a line; the call after it fails.
/// - Write, WriteString and Flush give FALSE when the file refused the bytes
///   (for a socket: the connection failed); the cause is genericException.
/// - Reading a storing archive or writing a loading one fails with writeOnly
///   or readOnly.
/// The framework's WriteString and Flush return nothing, so applications that
/// ignore the results compile and behave as before.
#include <zep3/platform/ArchiveException.h>

#include <memory>
#include <string>

class CFile;

class ZEP3_API CArchive {
public:
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2, bNoByteSwap = 4 };

    /// buffer, when given, is the caller's and must hold bufferSize bytes.
    CArchive(CFile* file, UINT mode, int bufferSize = 4096, void* buffer = nullptr);
    /// Close(), unless bNoFlushOnDelete.
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    /// Loading: nothing left in the buffer.
    BOOL IsBufferEmpty() const { return m_nCur == m_nMax; }
    CFile* GetFile() const { return m_pFile; }

    /// Up to count bytes; fewer only when the file ends.
    UINT Read(void* buffer, UINT count);
    BOOL Write(const void* buffer, UINT count);
    /// Writes the text without its zero and adds no line end.
    BOOL WriteString(LPCTSTR text);
    /// The next line without its end (`"\n"`, `"\r\n"` or a lone `"\r"`); FALSE
    /// when the file ended before it.
    BOOL ReadString(CString& line);
    /// At most maxChars characters of the next line, zero-terminated (the
    /// buffer holds maxChars + 1); a longer line continues in the next call.
    /// Null when the file ended before it.
    LPTSTR ReadString(LPTSTR buffer, UINT maxChars);
    /// Storing: hands the buffered bytes to the file.
    BOOL Flush();
    /// Flushes when storing and lets the file go (it stays open).
    void Close();
    /// Lets the file go without flushing.
    void Abort();

    /// The cause of the first failure; m_cause none while all went well.
    const CArchiveException& GetFailure() const { return m_failure; }

private:
    bool Fill();
    bool Failed(int cause);
    bool ReadLine(std::string& line, size_t limit);

    CFile* m_pFile;
    UINT m_nMode;
    int m_nBufSize;
    std::unique_ptr<BYTE[]> m_ownBuffer;
    BYTE* m_pBuffer;
    int m_nCur = 0; // loading: next byte to hand out
    int m_nMax = 0; // loading: bytes in the buffer; storing: bytes waiting
    CArchiveException m_failure;
};
