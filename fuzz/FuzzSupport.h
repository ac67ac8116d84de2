#pragma once
// Shared by the fuzz targets: scratch files for the parsers that read from a
// path, and the checks of their results.
//
// The test suites compile the targets too (with ZEP3_FUZZ_REPLAY and the
// entry renamed, see zep3_add_fuzz_replay) to replay the kept inputs; there a
// broken property throws instead of ending the process.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace zep3fuzz {

// One folder per process, on a memory file system when there is one, so
// that the stores' syncs cost nothing; removed with its files at exit.
class ScratchFolder {
public:
    ScratchFolder() {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        m_path = std::string(base) + "/zep3fuzz-XXXXXX";
        if (!mkdtemp(&m_path[0])) std::abort();
    }
    ~ScratchFolder() {
        if (DIR* dir = opendir(m_path.c_str())) {
            while (dirent* entry = readdir(dir))
                if (entry->d_name[0] != '.') unlink((m_path + "/" + entry->d_name).c_str());
            closedir(dir);
        }
        rmdir(m_path.c_str());
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

inline const std::string& scratchFolder() {
    static const ScratchFolder folder;
    return folder.path();
}

inline std::string scratchFile(const char* name) { return scratchFolder() + "/" + name; }

inline void writeFile(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size)) std::abort();
    std::fclose(f);
}

inline std::string readFile(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.append(chunk, n);
        std::fclose(f);
    }
    return bytes;
}

// Whether any frame header in the data (found by its marker alone, wherever
// it lies) declares more than 2^22 pixels. The decoders allocate the whole
// picture before the stream is read, which is right for real pictures but
// lets a few bytes cost a gigabyte of sanitizer bookkeeping; the JPEG
// targets skip such inputs to keep their pace.
inline bool jpegMayBeHuge(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 9 <= size; ++i) {
        if (data[i] != 0xFF || (data[i + 1] & 0xF0) != 0xC0 || data[i + 1] == 0xC4 || data[i + 1] == 0xC8 ||
            data[i + 1] == 0xCC)
            continue;
        const uint64_t height = data[i + 5] << 8 | data[i + 6], width = data[i + 7] << 8 | data[i + 8];
        if (width * height > (1u << 22)) return true;
    }
    return false;
}

// Stops the run when a property of the result does not hold.
inline void check(bool condition, const char* what) {
    if (condition) return;
#ifdef ZEP3_FUZZ_REPLAY
    throw std::runtime_error(what);
#else
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
#endif
}

} // namespace zep3fuzz
