#include <zep3/foundation/detail/MemoryMap.h>
#include <zep3/platform/detail/Posix.h>

#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

namespace zep3::detail {
namespace {

// Parses a hexadecimal (or decimal) number at s, moving s past it.
uint64_t Number(const char*& s, const char* end, int base) {
    uint64_t value = 0;
    for (; s < end; ++s) {
        int digit;
        if (*s >= '0' && *s <= '9') digit = *s - '0';
        else if (base == 16 && *s >= 'a' && *s <= 'f') digit = *s - 'a' + 10;
        else if (base == 16 && *s >= 'A' && *s <= 'F') digit = *s - 'A' + 10;
        else break;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    return value;
}

void SkipSpaces(const char*& s, const char* end) {
    while (s < end && *s == ' ') ++s;
}

void SkipField(const char*& s, const char* end) {
    while (s < end && *s != ' ') ++s;
    SkipSpaces(s, end);
}

// The kernel's time pages can fault when read in some configurations; they
// hold nothing a report needs.
bool IsTimePage(const char* path, size_t length) {
    return length >= 5 && std::memcmp(path, "[vvar", 5) == 0;
}

} // namespace

bool MemoryMap::Load() {
    m_count = 0;
    m_pathsUsed = 1; // offset 0 is the empty path
    m_paths[0] = '\0';
    UniqueFd fd(open("/proc/self/maps", O_RDONLY | O_CLOEXEC));
    if (!fd.IsOpen()) return false;
    char chunk[4096];
    char line[4608];
    size_t lineLength = 0;
    for (ssize_t n = sizeof chunk; n == sizeof chunk;) {
        n = ReadAll(fd.Get(), chunk, sizeof chunk);
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] == '\n') {
                AddLine(line, lineLength);
                lineLength = 0;
            } else if (lineLength < sizeof line) {
                line[lineLength++] = chunk[i]; // an overlong path is cut
            }
        }
    }
    if (lineLength) AddLine(line, lineLength);
    return m_count > 0;
}

void MemoryMap::AddLine(const char* s, size_t length) {
    if (m_count >= kMaxEntries) return;
    const char* end = s + length;
    Entry e{};
    e.start = Number(s, end, 16);
    if (s < end && *s == '-') ++s;
    e.end = Number(s, end, 16);
    SkipSpaces(s, end);
    if (end - s < 4 || e.end <= e.start) return;
    e.access = (s[0] == 'r' ? kRead : 0) | (s[1] == 'w' ? kWrite : 0);
    SkipField(s, end);
    e.offset = Number(s, end, 16);
    SkipSpaces(s, end);
    SkipField(s, end); // device
    e.inode = Number(s, end, 10);
    SkipSpaces(s, end);
    if (s < end) {
        if (IsTimePage(s, static_cast<size_t>(end - s))) e.access = 0;
        e.path = StorePath(s, static_cast<size_t>(end - s));
    }
    m_entries[m_count++] = e;
}

uint32_t MemoryMap::StorePath(const char* path, size_t length) {
    // Consecutive mappings of one object share its path.
    if (m_count > 0) {
        uint32_t last = m_entries[m_count - 1].path;
        if (last && std::strlen(m_paths + last) == length && std::memcmp(m_paths + last, path, length) == 0)
            return last;
    }
    if (m_pathsUsed + length + 1 > kPathBytes) return 0;
    uint32_t at = static_cast<uint32_t>(m_pathsUsed);
    std::memcpy(m_paths + at, path, length);
    m_paths[at + length] = '\0';
    m_pathsUsed += length + 1;
    return at;
}

int MemoryMap::Find(uintptr_t addr) const {
    int low = 0, high = m_count - 1;
    while (low <= high) {
        int mid = (low + high) / 2;
        if (addr < m_entries[mid].start) high = mid - 1;
        else if (addr >= m_entries[mid].end) low = mid + 1;
        else return mid;
    }
    return -1;
}

bool MemoryMap::Covers(uintptr_t p, size_t size, uint32_t access) const {
    if (size == 0) return true;
    if (p + size < p) return false;
    int i = Find(p);
    if (i < 0) return false;
    uintptr_t last = p + size - 1;
    for (;; ++i) {
        const Entry& e = m_entries[i];
        if ((e.access & access) != access) return false;
        if (last < e.end) return true;
        if (i + 1 >= m_count || m_entries[i + 1].start != e.end) return false;
    }
}

bool MemoryMap::Read(uintptr_t p, void* to, size_t size) const {
    if (!IsReadable(p, size)) return false;
    std::memcpy(to, reinterpret_cast<const void*>(p), size);
    return true;
}

bool MemoryMap::FindModule(uintptr_t addr, Module& module) const {
    int i = Find(addr);
    if (i < 0 || !m_entries[i].path) return false;
    const char* path = m_paths + m_entries[i].path;
    // The object's first mapping (file offset 0) holds its ELF header.
    int first = i;
    while (m_entries[first].offset != 0 && first > 0 && m_entries[first - 1].inode == m_entries[i].inode &&
           std::strcmp(m_paths + m_entries[first - 1].path, path) == 0)
        --first;
    if (m_entries[first].offset != 0) return false;
    uintptr_t base = m_entries[first].start;

    Elf64_Ehdr header;
    if (!Read(base, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr))
        return false;
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    uint64_t lowest = UINT64_MAX;
    for (int pass = 0; pass < 2; ++pass) {
        uint32_t segment = 0;
        for (unsigned k = 0; k < header.e_phnum; ++k) {
            Elf64_Phdr ph;
            if (!Read(base + header.e_phoff + k * sizeof ph, &ph, sizeof ph)) return false;
            if (ph.p_type != PT_LOAD) continue;
            if (pass == 0) {
                if (ph.p_vaddr < lowest) lowest = ph.p_vaddr;
                continue;
            }
            ++segment;
            // The lowest segment's page is mapped at the base.
            uint64_t start = ph.p_vaddr - (lowest & ~(page - 1));
            uint64_t size = ph.p_memsz > ph.p_filesz ? ph.p_memsz : ph.p_filesz;
            uint64_t relative = addr - base;
            if (relative >= start && relative <= start + size) {
                module = Module{base, path, segment, static_cast<uint32_t>(relative - start)};
                return true;
            }
        }
        if (lowest == UINT64_MAX) return false;
    }
    return false;
}

} // namespace zep3::detail
