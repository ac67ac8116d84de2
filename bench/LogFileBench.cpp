// Lines per second of CLogFile::Add, on one and on four threads, against the
// floor of a plain write(2) of the same entry bytes to a file descriptor that
// stays open. Add opens and closes its file for every entry, so the ratio is
// expected to stay well below 1; it shows what that costs.
#include <zep3/zep3.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <string>
#include <unistd.h>

namespace {

const char kText[] = "benchmark line with a typical length 0123456789";
std::string g_folder;
CLogFile* g_log = nullptr;
int g_fd = -1;
std::string g_entry; // the bytes Add writes for kText

void BM_LogFileAdd(benchmark::State& state) {
    for (auto _ : state) g_log->Add(kText);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogFileAdd)->Threads(1)->Threads(4)->UseRealTime();

void BM_PlainWrite(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(write(g_fd, g_entry.data(), g_entry.size()));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainWrite)->Threads(1)->Threads(4)->UseRealTime();

// Prints each result as usual and, at the end, Add's rate over the floor's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("items_per_second");
            if (it != run.counters.end()) m_rates[run.benchmark_name()] = it->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (int threads : {1, 4}) {
            std::string suffix = "/real_time/threads:" + std::to_string(threads);
            double add = m_rates["BM_LogFileAdd" + suffix], floor = m_rates["BM_PlainWrite" + suffix];
            if (add > 0 && floor > 0)
                std::printf("CLogFile::Add / write(2), %d thread%s: %.0f / %.0f lines/s = %.3f\n", threads,
                            threads > 1 ? "s" : "", add, floor, add / floor);
        }
    }

private:
    std::map<std::string, double> m_rates;
};

} // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/zep3bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    g_folder = pattern;
    g_log = new CLogFile;
    g_log->Init((g_folder + "/bench.log").c_str(), 16 << 20, 1);
    g_entry = "2024-03-05  14:07:09.042:  " + std::string(kText) + "\r\nYY";
    g_fd = open((g_folder + "/floor.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    g_log->Close();
    delete g_log;
    close(g_fd);
    std::string cleanup = "rm -rf '" + g_folder + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
