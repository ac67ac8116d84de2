// CLogFile::Add, one line at a time, against
//   the ring floor: the least a ring log that keeps no file open must do per
//   line (open, read the header, write the entry at the header's offset,
//   write the header, close), with the entry's bytes made in advance;
//   a plain write(2) of the same bytes to a descriptor that stays open,
//   which shows what the open and close per line cost.
// CPU time of the benchmark thread, system time included: the work is system
// calls on a cached file, which do not wait, and on a shared machine
// wall-clock time would mostly measure the other processes.
#include <zep3/zep3.h>

#include "support/BenchSupport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const char kText[] = "benchmark line with a typical length 0123456789";
const int kFileSize = 16 << 20;

struct Setup {
    std::string folder;
    CLogFile log;
    std::string entry; // the bytes Add writes for kText
    std::string floorPath;
    int appendFd = -1;

    Setup() {
        char pattern[] = "/tmp/zep3bench-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        folder = pattern;
        log.Init((folder + "/bench.log").c_str(), kFileSize, 1);
        entry = "2024-03-05  14:07:09.042:  " + std::string(kText) + "\r\nYY";
        floorPath = folder + "/floor.log";
        const int fd = open(floorPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0 || ftruncate(fd, kFileSize) != 0) std::abort();
        close(fd);
        appendFd =
            open((folder + "/append.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    }
    ~Setup() {
        log.Close();
        close(appendFd);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

void Add(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(setup().log.Add(kText));
}

void RingFloor(benchmark::State& state) {
    const std::string& entry = setup().entry;
    const char* path = setup().floorPath.c_str();
    for (auto _ : state) {
        const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        unsigned char header[9] = {};
        if (pread(fd, header, sizeof header, 0) != sizeof header) state.SkipWithError("header");
        uint32_t offset = uint32_t(header[0]) | uint32_t(header[1]) << 8 | uint32_t(header[2]) << 16 |
                          uint32_t(header[3]) << 24;
        if (offset < 9 || offset + entry.size() > uint32_t(kFileSize)) offset = 9;
        if (pwrite(fd, entry.data(), entry.size(), offset) != ssize_t(entry.size()))
            state.SkipWithError("entry");
        const uint32_t next = offset + uint32_t(entry.size()) - 2;
        for (int i = 0; i < 4; ++i) header[i] = (unsigned char)(next >> (8 * i));
        if (pwrite(fd, header, sizeof header, 0) != sizeof header) state.SkipWithError("header");
        close(fd);
    }
}

void OpenWrite(benchmark::State& state) {
    const std::string& entry = setup().entry;
    for (auto _ : state) benchmark::DoNotOptimize(write(setup().appendFd, entry.data(), entry.size()));
}

} // namespace

int main(int argc, char** argv) {
    setup();
    benchsupport::RunPairs(argc, argv,
                           {{"CLogFile::Add", Add, "ring floor: open, pread, 2x pwrite, close", RingFloor},
                            {"CLogFile::Add", Add, "write(2) to a descriptor kept open", OpenWrite}});
    return 0;
}
