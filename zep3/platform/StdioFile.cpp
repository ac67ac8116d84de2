#include <zep3/platform/LastError.h>
#include <zep3/platform/StdioFile.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

BOOL FailErrno() {
    SetLastError(ZEP3ErrorFromErrno(errno));
    return FALSE;
}

} // namespace

CStdioFile::~CStdioFile() {
    Abort();
    std::free(m_line);
}

BOOL CStdioFile::Open(LPCSTR fileName, UINT openFlags, CFileException* error) {
    if (m_pStream) {
        SetLastError(ERROR_INVALID_HANDLE);
        if (error) *error = CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, fileName);
        return FALSE;
    }
    int fd = OpenDescriptor(fileName, openFlags, error);
    if (fd < 0) return FALSE;
    UINT access = openFlags & 3;
    m_pStream = fdopen(fd, access == modeWrite ? "wb" : access == modeReadWrite ? "r+b" : "rb");
    if (!m_pStream) {
        DWORD e = ZEP3ErrorFromErrno(errno);
        close(fd);
        SetLastError(e);
        if (error) *error = CFileException(CFileException::OsErrorToException(LONG(e)), LONG(e), fileName);
        return FALSE;
    }
    m_fd = fd;
    m_strFileName = fileName;
    if (error) *error = CFileException(CFileException::none, ERROR_SUCCESS, fileName);
    return TRUE;
}

UINT CStdioFile::Read(void* buffer, UINT count) {
    if (!m_pStream || !buffer || count == 0) return 0;
    size_t n = fread(buffer, 1, count, m_pStream);
    if (n < count && ferror(m_pStream)) FailErrno();
    return static_cast<UINT>(n);
}

BOOL CStdioFile::Write(const void* buffer, UINT count) {
    if (count == 0) return TRUE;
    if (!m_pStream || !buffer) {
        SetLastError(m_pStream ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return fwrite(buffer, 1, count, m_pStream) == count ? TRUE : FailErrno();
}

LONGLONG CStdioFile::Seek(LONGLONG offset, UINT from) {
    if (!m_pStream) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
    if (fseeko(m_pStream, static_cast<off_t>(offset), whence) != 0) {
        FailErrno();
        return -1;
    }
    return ftello(m_pStream);
}

ULONGLONG CStdioFile::GetPosition() const {
    off_t position = m_pStream ? ftello(m_pStream) : -1;
    return position < 0 ? 0 : static_cast<ULONGLONG>(position);
}

ULONGLONG CStdioFile::GetLength() const {
    if (!m_pStream) return 0;
    fflush(m_pStream);
    return CFile::GetLength();
}

BOOL CStdioFile::SetLength(ULONGLONG newLength) {
    if (!m_pStream) return FALSE;
    fflush(m_pStream);
    return CFile::SetLength(newLength);
}

BOOL CStdioFile::Flush() {
    if (!m_pStream) return FALSE;
    return fflush(m_pStream) == 0 ? TRUE : FailErrno();
}

void CStdioFile::Close() {
    if (m_pStream && fclose(m_pStream) != 0) FailErrno();
    m_pStream = nullptr;
    m_fd = -1;
    m_strFileName.Empty();
}

void CStdioFile::Abort() {
    if (m_pStream) fclose(m_pStream);
    m_pStream = nullptr;
    m_fd = -1;
    m_strFileName.Empty();
}

BOOL CStdioFile::ReadString(CString& line) {
    if (!m_pStream) return FALSE;
    ssize_t n = getdelim(&m_line, &m_lineCapacity, '\n', m_pStream);
    if (n <= 0) {
        line.Empty();
        return FALSE;
    }
    if (m_line[n - 1] == '\n') {
        --n;
        if (n > 0 && m_line[n - 1] == '\r') --n;
    }
    line = CString(m_line, static_cast<int>(n));
    return TRUE;
}

BOOL CStdioFile::WriteString(LPCSTR text) {
    if (!text) return TRUE;
    return Write(text, static_cast<UINT>(std::strlen(text)));
}
