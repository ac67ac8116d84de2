#pragma once
// Shared by the benchmark programs that measure an operation of ours against
// a peer doing the same work in the same run.
//
// One noisy moment on a shared machine must not decide a ratio, so each pair
// runs in rounds (five unless --rounds=N is given): every round runs ours and
// each of its peers once, alternating which goes first, and a pair's ratio is
// the median of its per-round ratios (peer time / our time: above 1, ours is
// faster). The times shown are the medians of the rounds.
//
// After Google Benchmark's own table, RunPairs prints one line per pair;
// when ZEP3_BENCH_SUMMARY names a file, it also appends them there as
// tab-separated fields (program, pair, peer, our time, peer time, ratio,
// lowest and highest round ratio), for scripts/run-benchmarks's closing
// table of every pair.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchsupport {

using Body = std::function<void(benchmark::State&)>;

enum class Timing {
    Cpu,   // the benchmark thread's CPU time: disturbed least by other work
    Real,  // wall-clock time: work spread over threads, or waiting for a disk
    Manual // the body measures and calls state.SetIterationTime
};

// One operation: ours, and the peer it is measured against. Pairs of the
// same name share our run.
struct Pair {
    std::string name;
    Body ours;
    std::string peerName;
    Body peer;
    Timing timing = Timing::Cpu;
};

namespace detail {

// Seconds per iteration of every run, by the name it was registered under.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Iteration) continue;
            const double n = double(run.iterations);
            seconds[run.run_name.function_name] = {run.cpu_accumulated_time / n,
                                                   run.real_accumulated_time / n};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    struct Times {
        double cpu, real;
    };
    std::map<std::string, Times> seconds;
};

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline std::string Duration(double seconds) {
    char text[32];
    if (seconds >= 1e-3)
        std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
    else if (seconds >= 1e-6)
        std::snprintf(text, sizeof text, "%.3f us", seconds * 1e6);
    else
        std::snprintf(text, sizeof text, "%.1f ns", seconds * 1e9);
    return text;
}

inline std::string RunName(const std::string& pair, const std::string& side, int round) {
    return pair + " | " + side + " #" + std::to_string(round);
}

// Takes --rounds=N off the command line.
inline int TakeRounds(int& argc, char** argv) {
    int rounds = 5;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strncmp(argv[i], "--rounds=", 9) == 0)
            rounds = std::max(1, std::atoi(argv[i] + 9));
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return rounds;
}

} // namespace detail

// Registers every pair for each round, runs what the command line selects
// and prints the pairs' medians.
inline void RunPairs(int argc, char** argv, const std::vector<Pair>& pairs) {
    const int rounds = detail::TakeRounds(argc, argv);
    // The pairs grouped by name, in order, so ours runs once per round.
    std::vector<std::vector<const Pair*>> groups;
    for (const Pair& p : pairs) {
        auto same = std::find_if(groups.begin(), groups.end(), [&](auto& g) { return g[0]->name == p.name; });
        if (same == groups.end())
            groups.push_back({&p});
        else
            same->push_back(&p);
    }
    auto add = [](const std::string& name, const Body& body, Timing timing) {
        benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(name.c_str(), body);
        b->Unit(benchmark::kMicrosecond);
        if (timing == Timing::Real) b->UseRealTime();
        if (timing == Timing::Manual) b->UseManualTime();
    };
    for (int round = 0; round < rounds; ++round)
        for (const auto& group : groups) {
            const bool oursFirst = round % 2 == 0;
            const Pair& first = *group[0];
            if (oursFirst) add(detail::RunName(first.name, "ours", round), first.ours, first.timing);
            for (const Pair* p : group) add(detail::RunName(p->name, p->peerName, round), p->peer, p->timing);
            if (!oursFirst) add(detail::RunName(first.name, "ours", round), first.ours, first.timing);
        }

    benchmark::Initialize(&argc, argv);
    detail::Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    const char* summaryPath = std::getenv("ZEP3_BENCH_SUMMARY");
    FILE* summary = summaryPath && *summaryPath ? std::fopen(summaryPath, "a") : nullptr;
    const char* program = std::strrchr(argv[0], '/') ? std::strrchr(argv[0], '/') + 1 : argv[0];
    std::printf("\nMedian of %d rounds; ratio = peer time / our time (above 1: ours is faster)\n", rounds);
    for (const Pair& p : pairs) {
        std::vector<double> ours, peer, ratios;
        for (int round = 0; round < rounds; ++round) {
            auto a = collector.seconds.find(detail::RunName(p.name, "ours", round));
            auto b = collector.seconds.find(detail::RunName(p.name, p.peerName, round));
            if (a == collector.seconds.end() || b == collector.seconds.end()) continue;
            const bool cpu = p.timing == Timing::Cpu;
            ours.push_back(cpu ? a->second.cpu : a->second.real);
            peer.push_back(cpu ? b->second.cpu : b->second.real);
            if (ours.back() > 0) ratios.push_back(peer.back() / ours.back());
        }
        if (ratios.empty()) continue;
        const double ratio = detail::Median(ratios);
        const auto range = std::minmax_element(ratios.begin(), ratios.end());
        const std::string ourTime = detail::Duration(detail::Median(ours)),
                          peerTime = detail::Duration(detail::Median(peer));
        std::printf("  %-40s %12s  vs %-44s %12s  %6.2fx  (%.2f-%.2f)\n", p.name.c_str(), ourTime.c_str(),
                    p.peerName.c_str(), peerTime.c_str(), ratio, *range.first, *range.second);
        if (summary)
            std::fprintf(summary, "%s\t%s\t%s\t%s\t%s\t%.3f\t%.3f\t%.3f\n", program, p.name.c_str(),
                         p.peerName.c_str(), ourTime.c_str(), peerTime.c_str(), ratio, *range.first,
                         *range.second);
    }
    if (summary) std::fclose(summary);
    benchmark::Shutdown();
}

} // namespace benchsupport
