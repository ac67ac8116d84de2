// The configuration store against its peers, measured in the same run:
//   Read        CIniFile::ReadIniFile of 100 000 items vs inih feeding a
//               std::unordered_map<std::string, std::string>, repeated in one
//               process and as the first read of a fresh process
//   Write       CIniFile::WriteIniFile vs the floor: unordered_map -> sort ->
//               fwrite (and the floor with an fsync), on disk and on tmpfs,
//               where the syncs that make a save durable cost nothing
//   Lookup      one item read through the typed exchange vs unordered_map::find
#include <zep3/zep3.h>

#include "support/BenchSupport.h"

#include <ini.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kItems = 100000;

struct Item {
    std::string key, value;
};

// Paths three levels deep, values of numbers and short texts.
const std::vector<Item>& items() {
    static const std::vector<Item> all = [] {
        std::vector<Item> v;
        v.reserve(kItems);
        char key[64], value[32];
        for (int i = 0; i < kItems; ++i) {
            std::snprintf(key, sizeof key, "Camera%02d\\Tracker(%d)\\Param%03d", i / 5000, i / 100 % 50,
                          i % 100);
            if (i % 3 == 0)
                std::snprintf(value, sizeof value, "Name %d", i);
            else
                std::snprintf(value, sizeof value, "%d", i * 7919 % 1000003);
            v.push_back({key, value});
        }
        return v;
    }();
    return all;
}

void fill(CIniFile& ini) {
    for (const Item& item : items()) {
        CString value(item.value.c_str());
        ini.ExchangeSimpleObject(1, item.key.c_str(), &value);
    }
}

std::unordered_map<std::string, std::string> itemMap() {
    std::unordered_map<std::string, std::string> map;
    for (const Item& item : items()) map.emplace(item.key, item.value);
    return map;
}

struct Folder {
    std::string path;
    explicit Folder(const std::string& parent) {
        std::string pattern = parent + "/zep3bench-XXXXXX";
        if (::mkdtemp(pattern.data())) path = pattern;
    }
    ~Folder() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
};

std::string diskParent() { return std::filesystem::temp_directory_path().string(); }

int inihHandler(void* user, const char*, const char* name, const char* value) {
    (*static_cast<std::unordered_map<std::string, std::string>*>(user))[name] = value;
    return 1;
}

void readStore(benchmark::State& state, const std::string& file) {
    CIniFile ini(file.c_str(), false);
    for (auto _ : state) {
        if (!ini.ReadIniFile(CString())) state.SkipWithError("read failed");
    }
}

void readInih(benchmark::State& state, const std::string& file) {
    std::unordered_map<std::string, std::string> map;
    for (auto _ : state) {
        map.clear();
        if (ini_parse(file.c_str(), inihHandler, &map) != 0) state.SkipWithError("inih failed");
        benchmark::DoNotOptimize(map.size());
    }
}

void writeStore(benchmark::State& state, const std::string& parent) {
    Folder folder(parent);
    CIniFile ini((folder.path + "/cfg.ini").c_str(), false);
    fill(ini);
    for (auto _ : state) {
        if (!ini.WriteIniFile(false)) state.SkipWithError("write failed");
    }
}

void writeFloor(benchmark::State& state, const std::string& parent, bool sync) {
    Folder folder(parent);
    const std::string file = folder.path + "/floor.ini";
    const auto map = itemMap();
    for (auto _ : state) {
        std::vector<const std::pair<const std::string, std::string>*> sorted;
        sorted.reserve(map.size());
        for (const auto& entry : map) sorted.push_back(&entry);
        std::sort(sorted.begin(), sorted.end(), [](auto a, auto b) { return a->first < b->first; });
        FILE* f = std::fopen(file.c_str(), "wb");
        for (auto entry : sorted) {
            std::fwrite(entry->first.data(), 1, entry->first.size(), f);
            std::fputc('=', f);
            std::fwrite(entry->second.data(), 1, entry->second.size(), f);
            std::fwrite("\r\n", 1, 2, f);
        }
        std::fflush(f);
        if (sync) ::fsync(::fileno(f));
        std::fclose(f);
    }
}

std::vector<int> shuffledOrder() {
    std::vector<int> order(kItems);
    for (int i = 0; i < kItems; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    return order;
}

void lookupStore(benchmark::State& state) {
    CIniFile ini("/nonexistent/lookup.ini", false);
    fill(ini);
    std::vector<CString> keys;
    for (const Item& item : items()) keys.emplace_back(item.key.c_str());
    const auto order = shuffledOrder();
    size_t i = 0;
    CString value;
    for (auto _ : state) {
        ini.ExchangeSimpleObject(0, keys[order[i]], &value);
        benchmark::DoNotOptimize(value.GetLength());
        if (++i == order.size()) i = 0;
    }
}

void lookupMap(benchmark::State& state) {
    const auto map = itemMap();
    std::vector<std::string> keys;
    for (const Item& item : items()) keys.push_back(item.key);
    const auto order = shuffledOrder();
    size_t i = 0;
    std::string value;
    for (auto _ : state) {
        auto it = map.find(keys[order[i]]);
        if (it != map.end()) value = it->second;
        benchmark::DoNotOptimize(value.size());
        if (++i == order.size()) i = 0;
    }
}

// The first read in a fresh process, as an application's start does it:
// the program runs itself with --first-read, and the child reports the CPU
// time that constructing and reading took (page faults included; wall-clock
// time on a shared machine would mostly measure the other processes).
double firstReadInChild(const std::string& which, const std::string& file) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string(), flag = "--first-read";
    char* args[] = {self.data(), flag.data(), const_cast<char*>(which.c_str()),
                    const_cast<char*>(file.c_str()), nullptr};
    pid_t child = -1;
    const bool started = ::posix_spawn(&child, self.c_str(), &actions, nullptr, args, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char text[64] = {};
    const ssize_t n = started ? ::read(out[0], text, sizeof text - 1) : -1;
    ::close(out[0]);
    int status = 0;
    if (started) ::waitpid(child, &status, 0);
    return n > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::atof(text) : -1;
}

int firstReadChild(const std::string& which, const std::string& file) {
    timespec start, end;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    size_t items = 0;
    if (which == "ours") {
        CIniFile ini(file.c_str(), true);
        CString value;
        ini.ExchangeSimpleObject(0, "Camera00\\Tracker(0)\\Param000", &value);
        items = size_t(value.GetLength());
    } else {
        std::unordered_map<std::string, std::string> map;
        ini_parse(file.c_str(), inihHandler, &map);
        items = map.size();
    }
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
    std::printf("%.9f\n", double(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9);
    return items > 0 ? 0 : 1;
}

void firstRead(benchmark::State& state, const std::string& which, const std::string& file) {
    for (auto _ : state) {
        const double seconds = firstReadInChild(which, file);
        if (seconds < 0) state.SkipWithError("the child failed");
        state.SetIterationTime(std::max(seconds, 0.0));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--first-read") return firstReadChild(argv[2], argv[3]);
    Folder readFolder(diskParent());
    const std::string file = readFolder.path + "/read.ini";
    {
        CIniFile ini(file.c_str(), false);
        fill(ini);
        ini.WriteIniFile(false);
    }
    using benchsupport::Timing;
    auto with = [](auto f, auto... args) { return [=](benchmark::State& s) { f(s, args...); }; };
    const std::string disk = diskParent(), tmpfs = "/dev/shm";
    std::vector<benchsupport::Pair> pairs = {
        {"ReadIniFile 100000 items", with(readStore, file), "inih + unordered_map", with(readInih, file)},
        {"first read in a new process", with(firstRead, std::string("ours"), file),
         "inih + unordered_map, first in a new process", with(firstRead, std::string("inih"), file),
         Timing::Manual},
        {"WriteIniFile, disk, durable", with(writeStore, disk), "unordered_map -> sort -> fwrite",
         with(writeFloor, disk, false), Timing::Real},
        {"WriteIniFile, disk, durable", with(writeStore, disk), "unordered_map -> sort -> fwrite + fsync",
         with(writeFloor, disk, true), Timing::Real},
        {"lookup (random key)", lookupStore, "unordered_map::find + copy", lookupMap},
    };
    if (::access(tmpfs.c_str(), W_OK) == 0) // where the syncs cost nothing
        pairs.push_back({"WriteIniFile, tmpfs", with(writeStore, tmpfs),
                         "unordered_map -> sort -> fwrite, tmpfs", with(writeFloor, tmpfs, false),
                         Timing::Real});
    benchsupport::RunPairs(argc, argv, pairs);
    return 0;
}
