#include <zep3/foundation/detail/IniFileIO.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zep3::detail {

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

} // namespace zep3::detail
