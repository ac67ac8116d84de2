// Real processes against one configuration file: a saver killed with
// SIGKILL at random moments, and savers racing each other and a reader.
#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
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

bool save(const std::string& path, int w, int s) {
    CIniFile ini(path.c_str(), false);
    ExchangeObject(&ini, 1, "Writer", &w);
    ExchangeObject(&ini, 1, "Save", &s);
    for (int i = 0; i < itemCount(s); ++i) {
        CString value = itemValue(w, s, i);
        ExchangeObject(&ini, 1, itemKey(i), &value);
    }
    return ini.WriteIniFile(s % 2 == 1);
}

// What a fresh store reads from the file: the (w, s) of the one complete
// content it holds, or why it holds none.
struct Content {
    int w = -1, s = -1;
    std::string why;
};

Content readContent(const std::string& path) {
    Content c;
    CIniFile ini(path.c_str(), false);
    if (!ini.ReadIniFile(CString())) return c.why = "read failed", c;
    if (!ExchangeObject(&ini, 0, "Writer", &c.w) || !ExchangeObject(&ini, 0, "Save", &c.s))
        return c.why = "no tag", c;
    for (int i = 0; i <= itemCount(c.s); ++i) {
        CString value;
        bool present = ExchangeObject(&ini, 0, itemKey(i), &value);
        if (i == itemCount(c.s) ? present : !present || value != itemValue(c.w, c.s, i))
            return c.why = "item " + std::to_string(i) + " is '" + value.str() + "'", c;
    }
    return c;
}

// A forked process running body(fd), fd being the write end of a pipe on
// which it reports ints. Killed and reaped when the object goes away.
struct Child {
    pid_t pid = -1;
    int fd = -1, status = 0;

    template <class Body> explicit Child(Body body) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return;
        if ((pid = ::fork()) == 0) {
            ::close(pipeFds[0]);
            body(pipeFds[1]);
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        fd = pipeFds[0];
    }
    ~Child() {
        Kill();
        ::close(fd);
    }
    bool Running() {
        if (pid > 0 && ::waitpid(pid, &status, WNOHANG) != 0) pid = -1;
        return pid > 0;
    }
    int Kill() { // the wait status; a child that already ended is only reaped
        if (pid > 0) ::kill(pid, SIGKILL), ::waitpid(pid, &status, 0), pid = -1;
        return status;
    }
    std::vector<int> Reports() { // every int sent; call once the child has ended
        std::vector<int> values;
        for (int v; ::read(fd, &v, sizeof v) == static_cast<ssize_t>(sizeof v);) values.push_back(v);
        return values;
    }
};

void report(int fd, int value) {
    if (::write(fd, &value, sizeof value) != static_cast<ssize_t>(sizeof value)) ::_exit(4);
}

} // namespace

TEST(CIniFileProcesses, SaverKilledAtAnyMomentLeavesOneCompleteContent) {
    zep3test::TempDir dir;
    const std::string path = dir.file("crash.ini");
    ASSERT_TRUE(save(path, 0, 0));
    std::mt19937 random(12345);
    // lastSaved: the newest save known to be complete.
    int lastSaved = 0, nextSave = 1, inFlightDone = 0, kills = 0;
    for (; kills < 200; ++kills) {
        const int first = nextSave;
        Child saver([&](int fd) {
            // Each saver starts by reading, so kills also land in reads.
            CIniFile start(path.c_str(), true);
            for (int s = first;; ++s) {
                if (!save(path, 0, s)) ::_exit(3);
                report(fd, s);
            }
        });
        ASSERT_GT(saver.pid, 0);
        ::usleep(std::uniform_int_distribution<int>(0, 12000)(random));
        int status = saver.Kill();
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver failed on its own, status " << status;
        std::vector<int> saved = saver.Reports();
        if (!saved.empty()) lastSaved = saved.back();
        const int inFlight = saved.empty() ? first : saved.back() + 1;

        // Either the newest completed save, or the one in flight if it got
        // as far as its rename; never an older one, never a mixture.
        const Content c = readContent(path);
        ASSERT_EQ(c.why, "") << "after kill " << kills;
        ASSERT_TRUE(c.s == lastSaved || c.s == inFlight)
            << "after kill " << kills << ": save " << c.s << ", expected " << lastSaved << " or " << inFlight;
        inFlightDone += c.s == inFlight;
        lastSaved = c.s;
        nextSave = inFlight + 1;
    }
    std::printf("[ info ] %d kills, %d saves, the save in flight found complete %d times\n", kills, nextSave - 1,
                inFlightDone);
}

TEST(CIniFileProcesses, RacingSaversAndAReaderNeverSeeATornOrLostSave) {
    zep3test::TempDir dir;
    const std::string path = dir.file("race.ini");
    ASSERT_TRUE(save(path, 1, 0));
    ASSERT_TRUE(save(path, 1, 0)); // a valid backup from the start

    // Each saver reports +s for a save that succeeded and -s for one refused,
    // and goes on until it has met the other at least once.
    std::vector<std::unique_ptr<Child>> savers;
    for (int w = 1; w <= 2; ++w) {
        savers.push_back(std::make_unique<Child>([&, w](int fd) {
            const auto stop = Clock::now() + std::chrono::seconds(10);
            std::mt19937 random(w);
            int refused = 0;
            for (int s = 1; s <= 400 && (s <= 60 || refused == 0) && Clock::now() < stop; ++s) {
                ::usleep(std::uniform_int_distribution<int>(0, 3000)(random)); // let the other one in
                bool ok = save(path, w, s);
                refused += !ok;
                report(fd, ok ? s : -s);
            }
        }));
        ASSERT_GT(savers.back()->pid, 0);
    }

    // Meanwhile, read. A read that meets a save in progress gets the backup,
    // which may be older than what an earlier read saw, but is never torn.
    int reads = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while ((savers[0]->Running() || savers[1]->Running()) && Clock::now() < deadline) {
        ASSERT_EQ(readContent(path).why, "") << "torn read";
        ++reads;
    }
    ASSERT_FALSE(savers[0]->Running() || savers[1]->Running()) << "savers did not finish in time";
    int lastSuccess[3] = {0, 0, 0}, refusals = 0;
    for (int w = 1; w <= 2; ++w)
        for (int message : savers[w - 1]->Reports()) {
            if (message > 0) lastSuccess[w] = message;
            refusals += message < 0;
        }

    // The file holds the last successful save of one of the savers.
    const Content last = readContent(path);
    ASSERT_EQ(last.why, "");
    EXPECT_EQ(last.s, lastSuccess[last.w]) << "a save reported as done was lost";
    EXPECT_GT(refusals, 0) << "the savers never met";
    EXPECT_GT(lastSuccess[1] * lastSuccess[2], 0) << "one saver never got through";
    std::printf("[ info ] %d reads, %d refused saves, last saves %d and %d\n", reads, refusals, lastSuccess[1],
                lastSuccess[2]);
}
