#pragma once
// File operations of the configuration store on POSIX: descriptors that
// carry an advisory lock, whole-file reads and writes, and the syncs that
// make a replacement durable.
#include <zep3/platform/detail/Posix.h>

#include <cstddef>
#include <memory>
#include <string>
#include <sys/file.h>

namespace zep3::detail {

// A file descriptor that is closed (and its lock released) on destruction.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : m_fd(fd) {}
    FileHandle(FileHandle&& o) noexcept : m_fd(o.m_fd) { o.m_fd = -1; }
    FileHandle& operator=(FileHandle&& o) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

private:
    int m_fd = -1;
};

// Opens path for reading, creating it empty when missing if create is set,
// and takes a non-blocking flock of the given kind (LOCK_SH or LOCK_EX; 0
// for none).
// A refused lock is a failed open. When the path was replaced between the
// open and the lock, the open is retried, so a held lock always belongs to
// the file the path names at that moment. *created tells whether this open
// made the file.
FileHandle OpenLocked(const std::string& path, int lockKind, bool create, bool* created = nullptr);

// The whole file from its start; false on a read error.
bool ReadWhole(int fd, std::unique_ptr<char[]>& data, size_t& size);
bool WriteWhole(int fd, const char* data, size_t size);

} // namespace zep3::detail
