#include <zep3/platform/detail/Posix.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zep3::detail {

namespace {

constexpr DWORD kInfinite = 0xFFFFFFFFu; // INFINITE, without the synchronisation header
constexpr int64_t kNsPerMs = 1000000;
constexpr int64_t kNsPerSecond = 1000000000;

struct timespec ToTimespec(int64_t ns) {
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(ns / kNsPerSecond);
    ts.tv_nsec = static_cast<long>(ns % kNsPerSecond);
    return ts;
}

} // namespace

// ---- descriptors ----

UniqueFd& UniqueFd::operator=(UniqueFd&& o) noexcept {
    if (this != &o) Reset(o.Release());
    return *this;
}

int UniqueFd::Release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

void UniqueFd::Reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

void CloseKeepingErrno(int fd) {
    int saved = errno;
    ::close(fd);
    errno = saved;
}

bool SetNonBlocking(int fd, bool on) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return wanted == flags || ::fcntl(fd, F_SETFL, wanted) == 0;
}

bool SetCloseOnExec(int fd) {
    int flags = ::fcntl(fd, F_GETFD);
    return flags >= 0 && ((flags & FD_CLOEXEC) || ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC) == 0);
}

// ---- whole reads and writes ----

namespace {

// One loop for the four transfers: positioned or not, either direction.
template <class Transfer>
ssize_t TransferAll(size_t size, bool stopAtZero, Transfer transfer) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) {
            if (stopAtZero) break;
            errno = EIO; // a write that takes nothing would loop for ever
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    return TransferAll(size, false, [&](size_t done) { return ::write(fd, p + done, size - done); }) >= 0;
}

bool SendAll(int fd, const void* data, size_t size, size_t* sent) {
    const char* p = static_cast<const char*>(data);
    size_t before = 0; // bytes sent before the call that failed
    const bool ok = TransferAll(size, false, [&](size_t done) {
                        before = done;
                        return ::send(fd, p + done, size - done, MSG_NOSIGNAL);
                    }) >= 0;
    if (sent) *sent = ok ? size : before;
    return ok;
}

bool WriteAllAt(int fd, const void* data, size_t size, off_t offset) {
    const char* p = static_cast<const char*>(data);
    return TransferAll(size, false, [&](size_t done) {
               return ::pwrite(fd, p + done, size - done, offset + static_cast<off_t>(done));
           }) >= 0;
}

ssize_t ReadAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    return TransferAll(size, true, [&](size_t done) { return ::read(fd, p + done, size - done); });
}

ssize_t ReadAllAt(int fd, void* data, size_t size, off_t offset) {
    char* p = static_cast<char*>(data);
    return TransferAll(size, true, [&](size_t done) {
        return ::pread(fd, p + done, size - done, offset + static_cast<off_t>(done));
    });
}

bool ReadToEnd(int fd, std::string& out) {
    out.clear();
    struct stat st;
    size_t chunk = 65536;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) chunk = static_cast<size_t>(st.st_size) + 1;
    for (;;) {
        size_t used = out.size();
        out.resize(used + chunk);
        ssize_t n = ReadAll(fd, &out[used], chunk);
        if (n < 0) {
            out.clear();
            return false;
        }
        out.resize(used + static_cast<size_t>(n));
        if (static_cast<size_t>(n) < chunk) return true;
        chunk = 65536; // the file grew while we read it: keep going
    }
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsOpen()) return false;
    return ReadToEnd(fd.Get(), out);
}

// ---- files and folders ----

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsSameFile(int fd, const std::string& path) {
    struct stat a, b;
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFolderOf(const std::string& path) {
    UniqueFd fd(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.IsOpen() && ::fsync(fd.Get()) == 0;
}

namespace {

// Writes a new file (there must be none) with the bytes, synced; on failure
// nothing is left at target.
bool WriteNewFile(const std::string& target, const void* data, size_t size, mode_t mode) {
    UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!out.IsOpen()) return false;
    // The umask must not narrow the permissions asked for.
    ::fchmod(out.Get(), mode);
    if (WriteAll(out.Get(), data, size) && ::fsync(out.Get()) == 0) return true;
    int saved = errno;
    ::unlink(target.c_str());
    errno = saved;
    return false;
}

} // namespace

bool CopyToNewFile(int sourceFd, const std::string& target, mode_t mode) {
    std::string bytes;
    struct stat st;
    if (::fstat(sourceFd, &st) != 0) return false;
    bytes.resize(static_cast<size_t>(st.st_size));
    ssize_t n = ReadAllAt(sourceFd, &bytes[0], bytes.size(), 0);
    if (n < 0) return false;
    bytes.resize(static_cast<size_t>(n));
    std::string rest; // the file grew while we read it
    if (static_cast<size_t>(n) == static_cast<size_t>(st.st_size) && ::lseek(sourceFd, n, SEEK_SET) == n &&
        ReadToEnd(sourceFd, rest))
        bytes += rest;
    return WriteNewFile(target, bytes.data(), bytes.size(), mode);
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
    if (FileExists(to)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool ReplaceFileDurably(const std::string& path, const std::string& temp, const void* data, size_t size,
                        mode_t mode) {
    if (::unlink(temp.c_str()) != 0 && errno != ENOENT) return false;
    if (!WriteNewFile(temp, data, size, mode)) return false;
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return false;
    }
    SyncFolderOf(path); // the content is safe either way; this makes the new name durable
    return true;
}

// ---- time ----

int64_t MonotonicNanoseconds() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

int64_t MonotonicMilliseconds() { return MonotonicNanoseconds() / kNsPerMs; }

void SleepMilliseconds(DWORD milliseconds) {
    struct timespec ts = ToTimespec(int64_t(milliseconds) * kNsPerMs);
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

Deadline Deadline::After(DWORD milliseconds) {
    if (milliseconds == kInfinite) return Never();
    return Deadline(MonotonicNanoseconds() + int64_t(milliseconds) * kNsPerMs);
}

bool Deadline::HasPassed() const { return !IsInfinite() && MonotonicNanoseconds() >= m_ns; }

int Deadline::RemainingMilliseconds() const {
    if (IsInfinite()) return -1;
    int64_t left = m_ns - MonotonicNanoseconds();
    if (left <= 0) return 0;
    int64_t ms = (left + kNsPerMs - 1) / kNsPerMs;
    return ms > INT32_MAX ? INT32_MAX : static_cast<int>(ms);
}

struct timespec Deadline::AbsoluteTime() const {
    return ToTimespec(IsInfinite() ? INT64_MAX : m_ns);
}

struct timespec Deadline::RemainingTime() const {
    if (IsInfinite()) return ToTimespec(INT64_MAX);
    int64_t left = m_ns - MonotonicNanoseconds();
    return ToTimespec(left > 0 ? left : 0);
}

// ---- small shared pieces ----

void CopyText(char* to, size_t size, const char* from) {
    if (size == 0) return;
    size_t i = 0;
    for (; from && from[i] && i + 1 < size; ++i) to[i] = from[i];
    to[i] = '\0';
}

} // namespace zep3::detail
