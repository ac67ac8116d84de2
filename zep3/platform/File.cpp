#include <zep3/platform/File.h>
#include <zep3/platform/FileSystem.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/detail/Posix.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

int CFileException::OsErrorToException(LONG osError) {
    switch (osError) {
    case ERROR_SUCCESS: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    case ERROR_IO_DEVICE: return hardIO;
    default: return genericException;
    }
}

namespace {

DWORD FailErrno() {
    DWORD error = ZEP3ErrorFromErrno(errno);
    SetLastError(error);
    return error;
}

void Report(CFileException* error, DWORD osError, LPCSTR fileName) {
    SetLastError(osError);
    if (!error) return;
    error->m_lOsError = static_cast<LONG>(osError);
    error->m_cause = CFileException::OsErrorToException(static_cast<LONG>(osError));
    error->m_strFileName = fileName;
}

int LockFor(UINT flags) {
    UINT share = flags & 0x70;
    if (share == CFile::shareExclusive || share == CFile::shareDenyRead) return LOCK_EX;
    if (share == CFile::shareDenyWrite) return (flags & 3) == CFile::modeRead ? LOCK_SH : LOCK_EX;
    return 0;
}

void FillStatus(const struct stat& st, CFileStatus& status) {
    status.m_ctime = CTime(st.st_ctime);
    status.m_mtime = CTime(st.st_mtime);
    status.m_atime = CTime(st.st_atime);
    status.m_size = static_cast<ULONGLONG>(st.st_size);
    status.m_attribute = 0;
    if (S_ISDIR(st.st_mode)) status.m_attribute |= CFile::directory;
    if (!(st.st_mode & S_IWUSR)) status.m_attribute |= CFile::readOnly;
}

void FillFullName(LPCSTR fileName, CFileStatus& status) {
    char resolved[PATH_MAX];
    const char* name = realpath(fileName, resolved) ? resolved : fileName;
    zep3::detail::CopyText(status.m_szFullName, sizeof status.m_szFullName, name);
}

} // namespace

int CFile::OpenDescriptor(LPCSTR fileName, UINT openFlags, CFileException* error) {
    if (!fileName || !*fileName) {
        Report(error, ERROR_INVALID_NAME, fileName);
        return -1;
    }
    UINT access = openFlags & 3;
    int flags = O_CLOEXEC | (access == modeWrite ? O_WRONLY : access == modeReadWrite ? O_RDWR : O_RDONLY);
    if (openFlags & modeCreate) flags |= O_CREAT;
    int fd = open(fileName, flags, 0666);
    if (fd < 0) {
        Report(error, errno == ENOENT && (openFlags & modeCreate) ? ERROR_PATH_NOT_FOUND : ZEP3ErrorFromErrno(errno),
               fileName);
        return -1;
    }
    struct stat st;
    DWORD failure = ERROR_SUCCESS;
    int lock = LockFor(openFlags);
    if (fstat(fd, &st) != 0) failure = ZEP3ErrorFromErrno(errno);
    else if (S_ISDIR(st.st_mode)) failure = ERROR_ACCESS_DENIED;
    else if (lock && flock(fd, lock | LOCK_NB) != 0)
        failure = errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ZEP3ErrorFromErrno(errno);
    // Emptying waits until the lock is ours, so a locked file is never cut.
    else if ((openFlags & modeCreate) && !(openFlags & modeNoTruncate) && access != modeRead &&
             ftruncate(fd, 0) != 0)
        failure = ZEP3ErrorFromErrno(errno);
    if (failure != ERROR_SUCCESS) {
        close(fd);
        Report(error, failure, fileName);
        return -1;
    }
    return fd;
}

CFile::~CFile() { Abort(); }

BOOL CFile::Open(LPCSTR fileName, UINT openFlags, CFileException* error) {
    if (IsOpen()) {
        Report(error, ERROR_INVALID_HANDLE, fileName);
        return FALSE;
    }
    m_fd = OpenDescriptor(fileName, openFlags, error);
    if (m_fd < 0) return FALSE;
    m_strFileName = fileName;
    if (error) *error = CFileException(CFileException::none, ERROR_SUCCESS, fileName);
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count) {
    if (!buffer || count == 0) return 0;
    ssize_t n = zep3::detail::ReadAll(m_fd, buffer, count);
    if (n < 0) {
        FailErrno();
        return 0;
    }
    return static_cast<UINT>(n);
}

BOOL CFile::Write(const void* buffer, UINT count) {
    if (count == 0) return TRUE;
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (zep3::detail::WriteAll(m_fd, buffer, count)) return TRUE;
    FailErrno();
    return FALSE;
}

LONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
    off_t position = lseek(m_fd, static_cast<off_t>(offset), whence);
    if (position < 0) {
        FailErrno();
        return -1;
    }
    return position;
}

ULONGLONG CFile::GetPosition() const {
    off_t position = lseek(m_fd, 0, SEEK_CUR);
    return position < 0 ? 0 : static_cast<ULONGLONG>(position);
}

ULONGLONG CFile::GetLength() const {
    struct stat st;
    if (fstat(m_fd, &st) != 0) {
        FailErrno();
        return 0;
    }
    return static_cast<ULONGLONG>(st.st_size);
}

BOOL CFile::SetLength(ULONGLONG newLength) {
    if (newLength > static_cast<ULONGLONG>(LLONG_MAX) || ftruncate(m_fd, static_cast<off_t>(newLength)) != 0) {
        FailErrno();
        return FALSE;
    }
    return TRUE;
}

BOOL CFile::Flush() {
    if (fsync(m_fd) != 0 && errno != EINVAL) {
        FailErrno();
        return FALSE;
    }
    return TRUE;
}

void CFile::Close() {
    if (m_fd >= 0 && close(m_fd) != 0) FailErrno();
    m_fd = -1;
    m_strFileName.Empty();
}

void CFile::Abort() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    m_strFileName.Empty();
}

BOOL CFile::GetStatus(CFileStatus& status) const {
    struct stat st;
    if (fstat(m_fd, &st) != 0) {
        FailErrno();
        return FALSE;
    }
    FillStatus(st, status);
    FillFullName(m_strFileName, status);
    return TRUE;
}

BOOL CFile::GetStatus(LPCSTR fileName, CFileStatus& status) {
    struct stat st;
    if (!fileName || stat(fileName, &st) != 0) {
        if (fileName) FailErrno();
        else SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FillStatus(st, status);
    FillFullName(fileName, status);
    return TRUE;
}

CString CFile::GetFileName() const {
    int slash = m_strFileName.ReverseFind('/');
    return m_strFileName.Mid(slash + 1);
}

CString CFile::GetFileTitle() const {
    CString name = GetFileName();
    int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}
