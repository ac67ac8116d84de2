#pragma once
// A snapshot of the process's mappings (/proc/self/maps), read with plain
// system calls into fixed storage so that the crash handler can use it: which
// memory may be read or written, and which loaded object an address belongs
// to. Nothing here allocates or can fault.
#include <cstddef>
#include <cstdint>

namespace zep3::detail {

class MemoryMap {
public:
    // Reads the current mappings; false when /proc/self/maps cannot be read
    // (then nothing counts as readable). Mappings beyond the fixed capacity
    // are left out.
    bool Load();

    // True when every byte of [p, p + size) lies in mappings with that access.
    bool IsReadable(uintptr_t p, size_t size) const { return Covers(p, size, kRead); }
    bool IsWritable(uintptr_t p, size_t size) const { return Covers(p, size, kWrite); }
    // Copies size bytes from p when they are readable.
    bool Read(uintptr_t p, void* to, size_t size) const;

    // The loaded object holding addr: its load address (where its ELF header
    // is mapped), its path, and the 1-based index of its PT_LOAD segment that
    // holds addr with the offset from that segment's start (a segment spans
    // the larger of its file and memory sizes, both ends included).
    struct Module {
        uintptr_t base;
        const char* path;
        uint32_t segment;
        uint32_t offset;
    };
    bool FindModule(uintptr_t addr, Module& module) const;

private:
    enum { kRead = 1, kWrite = 2 };
    struct Entry {
        uintptr_t start, end;
        uint64_t offset, inode;
        uint32_t path; // offset into m_paths; 0 is the empty path
        uint32_t access;
    };

    int Find(uintptr_t addr) const; // index of the entry holding addr, -1 for none
    bool Covers(uintptr_t p, size_t size, uint32_t access) const;
    void AddLine(const char* line, size_t length);
    uint32_t StorePath(const char* path, size_t length);

    static const int kMaxEntries = 8192;
    static const size_t kPathBytes = 256 * 1024;
    Entry m_entries[kMaxEntries];
    int m_count = 0;
    char m_paths[kPathBytes];
    size_t m_pathsUsed = 0;
};

} // namespace zep3::detail
