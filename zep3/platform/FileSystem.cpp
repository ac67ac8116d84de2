#include <zep3/platform/FileSystem.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/detail/Posix.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

BOOL Fail(int err) {
    SetLastError(ZEP3ErrorFromErrno(err));
    return FALSE;
}

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Copies every byte from one descriptor to another, in the kernel where it can.
bool CopyBytes(int from, int to) {
    for (;;) {
        ssize_t n = copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (n == 0) return true;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
        break;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = zep3::detail::ReadAll(from, buffer, sizeof buffer);
        if (n < 0 || !zep3::detail::WriteAll(to, buffer, static_cast<size_t>(n))) return false;
        if (static_cast<size_t>(n) < sizeof buffer) return true;
    }
}

} // namespace

BOOL DeleteFile(LPCSTR path) {
    if (!path) return FailWith(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    return unlink(path) == 0 ? TRUE : Fail(errno);
}

BOOL MoveFile(LPCSTR existingPath, LPCSTR newPath) {
    if (!existingPath || !newPath) return FailWith(ERROR_INVALID_PARAMETER);
    if (zep3::detail::MoveNoReplace(existingPath, newPath)) return TRUE;
    int err = errno;
    if (err == EXDEV) {
        struct stat st;
        if (lstat(existingPath, &st) != 0) return Fail(errno);
        if (!S_ISREG(st.st_mode)) return FailWith(ERROR_NOT_SAME_DEVICE);
        if (!CopyFile(existingPath, newPath, TRUE)) return FALSE;
        if (unlink(existingPath) != 0) {
            int e = errno;
            unlink(newPath);
            return Fail(e);
        }
        return TRUE;
    }
    return Fail(err);
}

BOOL CopyFile(LPCSTR existingPath, LPCSTR newPath, BOOL failIfExists) {
    if (!existingPath || !newPath) return FailWith(ERROR_INVALID_PARAMETER);
    zep3::detail::UniqueFd from(open(existingPath, O_RDONLY | O_CLOEXEC));
    if (!from.IsOpen()) return Fail(errno);
    struct stat src, dst;
    if (fstat(from.Get(), &src) != 0 || S_ISDIR(src.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    if (stat(newPath, &dst) == 0 && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)
        return FailWith(failIfExists ? ERROR_FILE_EXISTS : ERROR_SHARING_VIOLATION);
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
    int to = open(newPath, flags, src.st_mode & 07777);
    if (to < 0) return errno == EEXIST ? FailWith(ERROR_FILE_EXISTS) : Fail(errno);
    bool ok = CopyBytes(from.Get(), to);
    int err = errno;
    if (close(to) != 0 && ok) {
        ok = false;
        err = errno;
    }
    return ok ? TRUE : Fail(err);
}

BOOL CreateDirectory(LPCSTR path, void*) {
    if (!path) return FailWith(ERROR_INVALID_PARAMETER);
    if (mkdir(path, 0777) == 0) return TRUE;
    return errno == ENOENT ? FailWith(ERROR_PATH_NOT_FOUND) : Fail(errno);
}

BOOL RemoveDirectory(LPCSTR path) {
    if (!path) return FailWith(ERROR_INVALID_PARAMETER);
    if (rmdir(path) == 0) return TRUE;
    return errno == EEXIST ? FailWith(ERROR_DIR_NOT_EMPTY) : Fail(errno);
}

DWORD GetFileAttributes(LPCSTR path) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat link, st;
    if (lstat(path, &link) != 0) {
        SetLastError(ZEP3ErrorFromErrno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    bool isLink = S_ISLNK(link.st_mode);
    if (!isLink || stat(path, &st) != 0) st = link;
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    if (isLink) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL GetDiskFreeSpaceEx(LPCSTR path, PULARGE_INTEGER freeBytesAvailableToCaller, PULARGE_INTEGER totalNumberOfBytes,
                        PULARGE_INTEGER totalNumberOfFreeBytes) {
    struct statvfs vfs;
    if (statvfs(path && *path ? path : ".", &vfs) != 0) return Fail(errno);
    ULONGLONG unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    if (freeBytesAvailableToCaller) freeBytesAvailableToCaller->QuadPart = unit * vfs.f_bavail;
    if (totalNumberOfBytes) totalNumberOfBytes->QuadPart = unit * vfs.f_blocks;
    if (totalNumberOfFreeBytes) totalNumberOfFreeBytes->QuadPart = unit * vfs.f_bfree;
    return TRUE;
}
