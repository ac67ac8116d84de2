#pragma once
// The POSIX groundwork every subsystem shares: owned descriptors, whole reads
// and writes that survive signals and short transfers, durable file
// replacement, and monotonic deadlines. This is the one private header that
// code outside the platform layer may include.
//
// The read and write helpers retry on EINTR and on partial transfers and
// allocate nothing, so the crash report may call them from a signal handler.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <time.h>

namespace zep3::detail {

// ---- descriptors ----

// A descriptor closed (and any flock on it released) on destruction.
class ZEP3_TEST_API UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : m_fd(o.Release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Gives up ownership: the caller closes the descriptor.
    int Release();
    // Closes the current descriptor and takes fd.
    void Reset(int fd = -1);

private:
    int m_fd = -1;
};

// close(2) that keeps errno (for paths that report an earlier error).
ZEP3_TEST_API void CloseKeepingErrno(int fd);
ZEP3_TEST_API bool SetNonBlocking(int fd, bool on);
ZEP3_TEST_API bool SetCloseOnExec(int fd);

// ---- whole reads and writes ----

// Writes every byte; false on an error (errno set) or when the descriptor
// takes nothing.
ZEP3_TEST_API bool WriteAll(int fd, const void* data, size_t size);
ZEP3_TEST_API bool WriteAllAt(int fd, const void* data, size_t size, off_t offset);
// WriteAll for a blocking socket: MSG_NOSIGNAL, so that a closed peer gives
// EPIPE instead of SIGPIPE. sent, when given, receives the bytes that went.
ZEP3_TEST_API bool SendAll(int fd, const void* data, size_t size, size_t* sent = nullptr);
// Reads until size bytes or the end of the file; the count read, -1 on an
// error (errno set).
ZEP3_TEST_API ssize_t ReadAll(int fd, void* data, size_t size);
ZEP3_TEST_API ssize_t ReadAllAt(int fd, void* data, size_t size, off_t offset);
// The rest of the descriptor's content from its current position (or the
// whole file from its start with ReadWholeFile); false on an error.
ZEP3_TEST_API bool ReadToEnd(int fd, std::string& out);
ZEP3_TEST_API bool ReadWholeFile(const std::string& path, std::string& out);

// ---- files and folders ----

ZEP3_TEST_API bool FileExists(const std::string& path);
// Whether the descriptor's file is still the one the path names.
ZEP3_TEST_API bool IsSameFile(int fd, const std::string& path);
// The folder part of a path ("." for a bare name, "/" for a name in the root).
ZEP3_TEST_API std::string FolderOf(const std::string& path);
// Makes the folder's entries (renames, creations) durable.
ZEP3_TEST_API bool SyncFolderOf(const std::string& path);
// A new file at target (there must be none) holding the bytes of source
// from its start, with the given permission bits (not narrowed by the
// umask), synced to disk. On failure no target is left behind.
ZEP3_TEST_API bool CopyToNewFile(int sourceFd, const std::string& target, mode_t mode);
// rename(2) that never replaces an existing target (where the file system has
// neither RENAME_NOREPLACE nor hard links, the target is checked first).
ZEP3_TEST_API bool MoveNoReplace(const std::string& from, const std::string& to);
// Replaces path by the given bytes so that at every moment the path names
// either the old content or the whole new one, even across a power cut: the
// bytes go to temp (a name beside path the caller chooses, so that locks and
// backups can follow their own naming), are synced and renamed over path,
// and the folder is synced. A stale temp is replaced. mode gives the new
// file's permission bits. On failure path is unchanged and no temp remains;
// errno tells why.
ZEP3_TEST_API bool ReplaceFileDurably(const std::string& path, const std::string& temp, const void* data,
                                      size_t size, mode_t mode);

// ---- time ----

ZEP3_TEST_API int64_t MonotonicNanoseconds();
ZEP3_TEST_API int64_t MonotonicMilliseconds();
// Sleeps the whole time even when signals interrupt it.
ZEP3_TEST_API void SleepMilliseconds(DWORD milliseconds);

// A point on the monotonic clock that a wait may not pass. INFINITE (and
// only it) never expires.
class ZEP3_TEST_API Deadline {
public:
    static Deadline After(DWORD milliseconds);
    static Deadline Never() { return Deadline(-1); }

    bool IsInfinite() const { return m_ns < 0; }
    bool HasPassed() const;
    // Milliseconds left, rounded up so that a wait never wakes early; -1 when
    // infinite, 0 once passed. Suits poll(2) and epoll_wait(2).
    int RemainingMilliseconds() const;
    // The absolute time on CLOCK_MONOTONIC, for pthread_cond_clockwait and
    // futexes with an absolute time-out.
    struct timespec AbsoluteTime() const;
    // The time left as a relative timespec (zero once passed).
    struct timespec RemainingTime() const;

private:
    explicit Deadline(int64_t ns) : m_ns(ns) {}
    int64_t m_ns; // monotonic nanoseconds, -1 for never
};

// ---- small shared pieces ----

// Copies text into a fixed buffer, always terminated, cut to fit.
ZEP3_TEST_API void CopyText(char* to, size_t size, const char* from);

// GetCurrentThread()'s pseudo-handle, as on Windows.
inline HANDLE CurrentThreadPseudoHandle() { return reinterpret_cast<HANDLE>(intptr_t(-2)); }

} // namespace zep3::detail
