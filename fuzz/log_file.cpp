// CLogFile resuming a damaged ring: the input is split over one to three
// files of the ring, the ring is opened with a size from the input, and
// entries are added. After every entry its end marker must sit where the
// header says.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

#include <unistd.h>

namespace {

// Whether the header of the file at path points at the end marker that
// follows an entry ending in `tail`.
bool markerAfter(const std::string& path, const std::string& tail) {
    const std::string bytes = zep3fuzz::readFile(path);
    if (bytes.size() < 9) return false;
    const uint64_t offset = uint64_t(uint8_t(bytes[0])) | uint64_t(uint8_t(bytes[1])) << 8 |
                            uint64_t(uint8_t(bytes[2])) << 16 | uint64_t(uint8_t(bytes[3])) << 24;
    return offset >= tail.size() && offset + 2 <= bytes.size() && bytes.compare(offset, 2, "YY") == 0 &&
           bytes.compare(offset - tail.size(), tail.size(), tail) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int count = 1 + data[0] % 3;
    const int fileSize = data[1] | (data[2] & 0x0F) << 8; // up to 4095, below 10 raised to 10
    data += 3;
    size -= 3;

    const std::string base = zep3fuzz::scratchFile("ring.log");
    CStringArray names;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, count > 1 ? "ring%02d.log" : "ring.log", i);
        const std::string path = zep3fuzz::scratchFile(name);
        const size_t part = size / count, first = part * i;
        zep3fuzz::writeFile(path, data + first, i == count - 1 ? size - first : part);
        names.Add(CString(path.c_str()));
    }

    {
        CLogFile log;
        log.Init(CString(base.c_str()), fileSize, count);
        for (int i = 0; i < 3; ++i) {
            zep3fuzz::check(log.Add("entry", "log_file.cpp", i), "an entry is added");
            const std::string tail = "line: " + std::to_string(i) + "]\r\n";
            bool found = false;
            for (int k = 0; k < count && !found; ++k) found = markerAfter(static_cast<const char*>(names[k]), tail);
            zep3fuzz::check(found, "the header points at the newest entry's end marker");
        }
    }
    for (int i = 0; i < count; ++i) ::unlink(static_cast<const char*>(names[i]));
    return 0;
}
