// Ten minutes of station under load (ZEP3_LONG_TESTS=1): a busy loop on
// every core beside it, its resident memory sampled every ten seconds, and
// every frame accounted for in its log at the end.
#include "StationProcess.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace stationtest;

namespace {

long ResidentKiB(pid_t pid) {
    const std::string status = zep3test::readFile("/proc/" + std::to_string(pid) + "/status");
    const size_t at = status.find("VmRSS:");
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + 6);
}

// Busy children, one per core, killed when the object goes away.
class Load {
public:
    Load() {
        for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i) {
            const pid_t pid = fork();
            if (pid == 0)
                for (volatile unsigned long n = 0;; ++n) {
                }
            m_Children.push_back(pid);
        }
    }
    ~Load() {
        for (pid_t pid : m_Children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> m_Children;
};

} // namespace

TEST(StationLong, TenMinutesUnderLoadWithFlatMemoryAndEveryFrameAccountedFor) {
    const char* enabled = std::getenv("ZEP3_LONG_TESTS");
    if (!enabled || std::string(enabled) != "1") GTEST_SKIP() << "set ZEP3_LONG_TESTS=1";
    const int seconds = 600, warmUp = 60;
    zep3test::TempDir dir;
    // A small size limit, so that old segments are removed on the way.
    WriteSettings(dir.path(), {{"Camera\\Rate", "10"}, {"Recording\\LimitMB", "20"}, {"Remote\\Port", "0"},
                               {"Web\\Port", "0"}});
    Load load;
    StationProcess station(dir.path(), {"--seconds", std::to_string(seconds)});
    std::vector<long> samples; // KiB, every 10 s
    int status = -1;
    while ((status = station.Wait(10000)) < 0) samples.push_back(ResidentKiB(station.Pid()));
    ASSERT_EQ(status, 0) << station.Errors();
    ASSERT_GT(samples.size(), size_t(seconds / 10 - 2));

    const long atWarmUp = samples[warmUp / 10];
    const long peakAfter = *std::max_element(samples.begin() + warmUp / 10, samples.end());
    std::printf("resident memory: %ld KiB after %d s, at most %ld KiB afterwards, %ld KiB at the end\n", atWarmUp,
                warmUp, peakAfter, samples.back());
    EXPECT_LT(peakAfter - atWarmUp, 4096) << "memory grows";

    const std::string log = station.Log();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(log, m, std::regex("frames: [^\r\n]*")));
    std::printf("%s\n", m[0].str().c_str());
    const FrameTally t = Tally(log);
    EXPECT_EQ(t.last + 1, t.grabbed + t.missed);
    EXPECT_EQ(t.grabbed, t.recorded + t.notRecorded);
    // Each missed frame is named in the log by its number range.
    long named = 0;
    static const std::regex gap("frames ([0-9]+) to ([0-9]+) missed");
    for (std::sregex_iterator i(log.begin(), log.end(), gap), end; i != end; ++i)
        named += std::stol((*i)[2]) - std::stol((*i)[1]) + 1;
    EXPECT_EQ(named, t.missed);
    long inSegments = 0;
    for (const auto& s : ClosedSegments(log)) inSegments += s.second;
    EXPECT_EQ(inSegments, t.recorded);
    EXPECT_NE(log.find("removed to keep the folder under its limit"), std::string::npos);
}
