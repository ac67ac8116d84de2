// Real processes against one configuration file: a saver killed with
// SIGKILL at random moments, and savers racing each other and a reader.
#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <map>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The content that writer w saves as its save number s: a tag, a size that
// varies from save to save, and items whose values all name (w, s), so a
// mixture of two saves cannot pass for either.
int itemCount(int s) { return 40 + (s * 7919) % 400; }

CString itemKey(int i) {
    CString key;
    key.Format("Sec%d\\Sub%d\\Item%d", i % 9, i % 4, i);
    return key;
}

CString itemValue(int w, int s, int i) {
    CString value;
    value.Format("%d:%d:%d:", w, s, i);
    return value + CString('x', (i * s) % 50);
}

void fillContent(CIniFile& ini, int w, int s) {
    ExchangeObject(&ini, 1, "Writer", &w);
    ExchangeObject(&ini, 1, "Save", &s);
    for (int i = 0; i < itemCount(s); ++i) {
        CString value = itemValue(w, s, i);
        ExchangeObject(&ini, 1, itemKey(i), &value);
    }
}

// Reads the file with a fresh store; true when it holds exactly one
// complete content, whose (w, s) is returned.
bool readContent(const std::string& path, int& w, int& s, std::string& why) {
    CIniFile ini(path.c_str(), false);
    if (!ini.ReadIniFile(CString())) return why = "read failed", false;
    if (!ExchangeObject(&ini, 0, "Writer", &w) || !ExchangeObject(&ini, 0, "Save", &s))
        return why = "no tag", false;
    for (int i = 0; i < itemCount(s); ++i) {
        CString value;
        if (!ExchangeObject(&ini, 0, itemKey(i), &value) || value != itemValue(w, s, i))
            return why = "item " + std::to_string(i) + " is '" + value.str() + "'", false;
    }
    CString extra;
    if (ExchangeObject(&ini, 0, itemKey(itemCount(s)), &extra)) return why = "an item too many", false;
    return true;
}

bool save(const std::string& path, int w, int s) {
    CIniFile ini(path.c_str(), false);
    fillContent(ini, w, s);
    return ini.WriteIniFile(s % 2 == 1);
}

// Reads every int the child sent before it ended.
std::vector<int> drain(int fd) {
    std::vector<int> values;
    int v;
    while (::read(fd, &v, sizeof v) == static_cast<ssize_t>(sizeof v)) values.push_back(v);
    return values;
}

} // namespace

TEST(CIniFileProcesses, SaverKilledAtAnyMomentLeavesOneCompleteContent) {
    zep3test::TempDir dir;
    const std::string path = dir.file("crash.ini");
    ASSERT_TRUE(save(path, 0, 0));
    std::mt19937 random(12345);
    int lastSaved = 0; // the newest save known to be complete
    int nextSave = 1;
    int sawInFlight = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(45);
    const int kKills = 200;
    int kills = 0;
    for (; kills < kKills && Clock::now() < deadline; ++kills) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const int first = nextSave;
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(report[0]);
            // Every child starts by reading, so kills also land in reads
            // (and in any backup promotion they make).
            CIniFile start(path.c_str(), true);
            for (int s = first;; ++s) {
                if (!save(path, 0, s)) ::_exit(3);
                if (::write(report[1], &s, sizeof s) != static_cast<ssize_t>(sizeof s)) ::_exit(4);
            }
        }
        ::close(report[1]);
        ::usleep(std::uniform_int_distribution<int>(0, 12000)(random));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver failed on its own, status " << status;
        std::vector<int> saved = drain(report[0]);
        ::close(report[0]);
        if (!saved.empty()) lastSaved = saved.back();
        const int inFlight = saved.empty() ? first : saved.back() + 1;

        int w = -1, s = -1;
        std::string why;
        ASSERT_TRUE(readContent(path, w, s, why)) << "after kill " << kills << ": " << why;
        // Either the newest completed save, or the one in flight if it got
        // as far as its rename; never an older one.
        ASSERT_TRUE(s == lastSaved || s == inFlight)
            << "after kill " << kills << ": save " << s << ", expected " << lastSaved << " or " << inFlight;
        if (s == inFlight) {
            lastSaved = s;
            ++sawInFlight;
        }
        nextSave = inFlight + 1;
    }
    EXPECT_EQ(kills, kKills) << "ran out of time";
    std::printf("[ info ] %d kills, %d saves, in-flight save found complete %d times\n", kills, nextSave - 1,
                sawInFlight);
}

TEST(CIniFileProcesses, RacingSaversAndAReaderNeverSeeATornOrLostSave) {
    struct Saver {
        pid_t pid;
        int fd;
    };
    // Kills and reaps the savers on every way out of the test.
    struct Savers : std::vector<Saver> {
        ~Savers() {
            for (Saver& s : *this) {
                if (s.pid > 0) {
                    ::kill(s.pid, SIGKILL);
                    ::waitpid(s.pid, nullptr, 0);
                }
                ::close(s.fd);
            }
        }
    } savers;

    zep3test::TempDir dir;
    const std::string path = dir.file("race.ini");
    ASSERT_TRUE(save(path, 1, 0));
    ASSERT_TRUE(save(path, 1, 0)); // a valid backup from the start

    // Each saver sends +s for a save that succeeded and -s for one refused.
    for (int w = 1; w <= 2; ++w) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(report[0]);
            const auto stop = Clock::now() + std::chrono::seconds(10);
            std::mt19937 random(w);
            int refused = 0;
            for (int s = 1; s <= 400 && (s <= 60 || refused == 0) && Clock::now() < stop; ++s) {
                ::usleep(std::uniform_int_distribution<int>(0, 3000)(random)); // let the other saver in
                bool ok = save(path, w, s);
                refused += !ok;
                int message = ok ? s : -s;
                if (::write(report[1], &message, sizeof message) < 0) ::_exit(4);
            }
            ::_exit(0);
        }
        ::close(report[1]);
        savers.push_back({pid, report[0]});
    }

    // Meanwhile: read. A read that meets a save in progress gets the backup,
    // which may be older than what an earlier read saw, but never torn.
    int reads = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    int running = 2;
    while (running > 0 && Clock::now() < deadline) {
        int w = -1, s = -1;
        std::string why;
        ASSERT_TRUE(readContent(path, w, s, why)) << "torn read: " << why;
        ASSERT_TRUE(w == 1 || w == 2);
        ++reads;
        running = 0;
        for (Saver& saver : savers)
            if (saver.pid > 0 && ::waitpid(saver.pid, nullptr, WNOHANG) == 0)
                ++running;
            else
                saver.pid = -1; // reaped
    }
    ASSERT_EQ(running, 0) << "savers did not finish in time";
    std::map<int, int> lastSuccess, refusals;
    for (size_t i = 0; i < savers.size(); ++i) {
        for (int message : drain(savers[i].fd)) {
            if (message > 0) lastSuccess[int(i) + 1] = message;
            else ++refusals[int(i) + 1];
        }
    }

    // The file holds the last successful save of one of the savers.
    int w = -1, s = -1;
    std::string why;
    ASSERT_TRUE(readContent(path, w, s, why)) << why;
    EXPECT_EQ(s, lastSuccess[w]) << "a save reported as done was lost";
    EXPECT_GT(refusals[1] + refusals[2], 0) << "the savers never met";
    EXPECT_GT(lastSuccess[1] * lastSuccess[2], 0) << "one saver never got through";
    std::printf("[ info ] %d reads; saver 1: last %d, %d refused; saver 2: last %d, %d refused\n", reads,
                lastSuccess[1], refusals[1], lastSuccess[2], refusals[2]);
}
