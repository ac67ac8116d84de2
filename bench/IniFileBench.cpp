// The configuration store against its peers, measured in the same run:
//   Read    CIniFile::ReadIniFile of 100 000 items vs inih feeding a
//           std::unordered_map<std::string, std::string>
//   Write   CIniFile::WriteIniFile vs the floor: unordered_map -> sort -> fwrite
//           (and the floor with an fsync), on disk and on tmpfs, where the
//           syncs that make a save durable cost nothing
//   Lookup  one item read through the typed exchange vs unordered_map::find
// Prints the ratios at the end.
#include <zep3/zep3.h>

#include <benchmark/benchmark.h>
#include <ini.h>

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
            std::snprintf(key, sizeof key, "Camera%02d\\Tracker(%d)\\Param%03d", i / 5000, i / 100 % 50, i % 100);
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

// Keeps each benchmark's best wall-clock and CPU time per iteration over its
// repetitions, which run interleaved with the other benchmarks': on a shared
// machine the minimum is the least disturbed, and CPU time does not count
// the time other processes take (it leaves out waiting for the disk, so
// only wall-clock time tells the cost of the syncs).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Best {
        double real = 1e30, cpu = 1e30;
    };
    std::map<std::string, Best> best;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Iteration) continue;
            Best& b = best[run.run_name.function_name];
            b.real = std::min(b.real, run.real_accumulated_time / static_cast<double>(run.iterations));
            b.cpu = std::min(b.cpu, run.cpu_accumulated_time / static_cast<double>(run.iterations));
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Ratio(const char* what, const std::string& ours, const std::string& peer) {
        if (!best.count(ours) || !best.count(peer)) return;
        const Best& a = best[ours];
        const Best& b = best[peer];
        const bool small = a.real < 1e-3; // lookups: nanoseconds
        const double unit = small ? 1e9 : 1e3;
        std::printf("ratio %-48s %6.2fx wall (%9.3f vs %9.3f %s)  %6.2fx cpu\n", what, b.real / a.real,
                    a.real * unit, b.real * unit, small ? "ns" : "ms", b.cpu / a.cpu);
    }
};

} // namespace

int main(int argc, char** argv) {
    Folder readFolder(diskParent());
    const std::string file = readFolder.path + "/read.ini";
    {
        CIniFile ini(file.c_str(), false);
        fill(ini);
        ini.WriteIniFile(false);
    }
    const bool haveTmpfs = ::access("/dev/shm", W_OK) == 0;
    // Each benchmark runs five times, interleaved with the others at random.

    benchmark::RegisterBenchmark("Read/CIniFile", readStore, file)->Unit(benchmark::kMillisecond)->Repetitions(5);
    benchmark::RegisterBenchmark("Read/inih+unordered_map", readInih, file)->Unit(benchmark::kMillisecond)->Repetitions(5);
    benchmark::RegisterBenchmark("Write/CIniFile/disk", writeStore, diskParent())->Unit(benchmark::kMillisecond)->Repetitions(5);
    benchmark::RegisterBenchmark("Write/floor/disk", writeFloor, diskParent(), false)->Unit(benchmark::kMillisecond)->Repetitions(5);
    benchmark::RegisterBenchmark("Write/floor+fsync/disk", writeFloor, diskParent(), true)->Unit(benchmark::kMillisecond)->Repetitions(5);
    if (haveTmpfs) {
        benchmark::RegisterBenchmark("Write/CIniFile/tmpfs", writeStore, std::string("/dev/shm"))->Unit(benchmark::kMillisecond)->Repetitions(5);
        benchmark::RegisterBenchmark("Write/floor/tmpfs", writeFloor, std::string("/dev/shm"), false)->Unit(benchmark::kMillisecond)->Repetitions(5);
    }
    benchmark::RegisterBenchmark("Lookup/CIniFile", lookupStore)->Repetitions(5);
    benchmark::RegisterBenchmark("Lookup/unordered_map", lookupMap)->Repetitions(5);

    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSpeed-up of CIniFile over the peer (above 1: CIniFile is faster), best of 5\n");
    reporter.Ratio("read 100000 items vs inih + unordered_map", "Read/CIniFile", "Read/inih+unordered_map");
    reporter.Ratio("write, disk, durable vs floor without sync", "Write/CIniFile/disk", "Write/floor/disk");
    reporter.Ratio("write, disk, durable vs floor + one fsync", "Write/CIniFile/disk", "Write/floor+fsync/disk");
    reporter.Ratio("write, tmpfs (syncs free) vs floor", "Write/CIniFile/tmpfs", "Write/floor/tmpfs");
    reporter.Ratio("random lookup vs unordered_map::find + copy", "Lookup/CIniFile", "Lookup/unordered_map");
    benchmark::Shutdown();
    return 0;
}
