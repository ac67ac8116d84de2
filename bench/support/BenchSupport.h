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
};

// Keeps each run's CPU time per iteration, for the ratios.
class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

// Registers "<name> | ours" and "<name> | <peer>" for every pair, runs what
// the command line selects and prints peer time / our time for each pair
// (above 1: ours is faster).
inline void RunPairs(int argc, char** argv, const std::vector<Pair>& pairs) {
    std::set<std::string> registered;
    for (const Pair& p : pairs) {
        if (registered.insert(p.name).second)
            benchmark::RegisterBenchmark((p.name + " | ours").c_str(), p.ours)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((p.name + " | " + p.peerName).c_str(), p.peer)->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSpeed ratio (peer time / our time; above 1 means ours is faster):\n");
    for (const Pair& p : pairs) {
        const double ours = reporter.times[p.name + " | ours"], peer = reporter.times[p.name + " | " + p.peerName];
        if (ours > 0 && peer > 0)
            std::printf("  %-30s vs %-42s %5.2fx\n", p.name.c_str(), p.peerName.c_str(), peer / ours);
    }
    benchmark::Shutdown();
}

} // namespace benchsupport
