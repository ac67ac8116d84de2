#pragma once
// Shared by the benchmark programs that measure an operation of ours against
// a peer doing the same work: registers both, runs them and prints the speed
// ratio of each pair after the table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace benchsupport {

using Body = std::function<void(benchmark::State&)>;

// One operation: ours, and the peer it is measured against. Pairs of the
// same name share our run.
struct Pair {
    std::string name;
    Body ours;
    std::string peerName;
    Body peer;
    // Measures wall-clock time: for work spread over several threads, where
    // the CPU time of the benchmark's own thread tells little.
    bool realTime = false;
};

// Keeps each run's CPU and wall-clock time per iteration, for the ratios.
class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            cpu[run.benchmark_name()] = run.GetAdjustedCPUTime();
            real[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpu, real;
};

// Registers "<name> | ours" and "<name> | <peer>" for every pair, runs what
// the command line selects and prints peer time / our time for each pair
// (above 1: ours is faster).
inline void RunPairs(int argc, char** argv, const std::vector<Pair>& pairs) {
    std::set<std::string> registered;
    auto add = [](const std::string& name, const Body& body, bool realTime) {
        benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(name.c_str(), body);
        b->Unit(benchmark::kMicrosecond);
        if (realTime) b->UseRealTime();
    };
    for (const Pair& p : pairs) {
        if (registered.insert(p.name).second) add(p.name + " | ours", p.ours, p.realTime);
        add(p.name + " | " + p.peerName, p.peer, p.realTime);
    }
    benchmark::Initialize(&argc, argv);
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSpeed ratio (peer time / our time; above 1 means ours is faster):\n");
    for (const Pair& p : pairs) {
        const std::string suffix = p.realTime ? "/real_time" : "";
        std::map<std::string, double>& times = p.realTime ? reporter.real : reporter.cpu;
        const double ours = times[p.name + " | ours" + suffix], peer = times[p.name + " | " + p.peerName + suffix];
        if (ours > 0 && peer > 0)
            std::printf("  %-30s vs %-42s %5.2fx\n", p.name.c_str(), p.peerName.c_str(), peer / ours);
    }
    benchmark::Shutdown();
}

} // namespace benchsupport
