#include <zep3/foundation/detail/IniFileIO.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zep3detail {

FileHandle& FileHandle::operator=(FileHandle&& o) noexcept {
    if (this != &o) {
        Close();
        m_fd = o.m_fd;
        o.m_fd = -1;
    }
    return *this;
}

void FileHandle::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool IsSameFile(int fd, const std::string& path) {
    struct stat a, b;
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

FileHandle OpenLocked(const std::string& path, int lockKind, bool create, bool* created) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        bool made = false;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && create) {
            fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            made = fd >= 0;
            if (fd < 0 && errno == EEXIST) continue; // someone else made it: open theirs
        }
        if (fd < 0) return FileHandle();
        FileHandle file(fd);
        struct stat st;
        if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) return FileHandle();
        if (lockKind == 0) {
            if (created) *created = made;
            return file;
        }
        if (::flock(fd, lockKind | LOCK_NB) != 0) return FileHandle();
        if (IsSameFile(fd, path)) {
            if (created) *created = made;
            return file;
        }
        // Replaced (renamed over) between our open and our lock: try the new one.
    }
    return FileHandle();
}

bool ReadWhole(int fd, std::unique_ptr<char[]>& data, size_t& size) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    size_t capacity = static_cast<size_t>(st.st_size) + 1;
    data.reset(new char[capacity]);
    size = 0;
    for (;;) {
        if (size == capacity) {
            // The file grew while we read it: keep going.
            std::unique_ptr<char[]> bigger(new char[2 * capacity]);
            std::copy(data.get(), data.get() + size, bigger.get());
            data.swap(bigger);
            capacity *= 2;
        }
        ssize_t n = ::pread(fd, data.get() + size, capacity - size, static_cast<off_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        size += static_cast<size_t>(n);
    }
}

bool WriteWhole(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool SyncFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool CopyToNewFile(int sourceFd, const std::string& target, unsigned mode) {
    FileHandle out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!out.IsOpen()) return false;
    ::fchmod(out.Get(), mode); // the umask must not narrow the copied permissions
    std::unique_ptr<char[]> data;
    size_t size = 0;
    bool ok = ReadWhole(sourceFd, data, size) && WriteWhole(out.Get(), data.get(), size) &&
              ::fsync(out.Get()) == 0;
    if (!ok) ::unlink(target.c_str());
    return ok;
}

bool MoveNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing target.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    // Nor hard links (FAT and the like): check, then rename.
    if (errno != EPERM && errno != EOPNOTSUPP) return false;
    return !FileExists(to) && ::rename(from.c_str(), to.c_str()) == 0;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace zep3detail
