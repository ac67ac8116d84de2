// The private POSIX groundwork: whole transfers under signals and short
// transfers, durable replacement, deadlines.
#include <zep3/platform/Wait.h>
#include <zep3/platform/detail/Posix.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace zep3::detail;
using zep3test::readFile;
using zep3test::TempDir;
using zep3test::writeFile;

namespace {

void Ignore(int) {}

// A handler without SA_RESTART, so that blocked reads and writes return
// EINTR or a short count, restored on destruction.
class InterruptingSignal {
public:
    explicit InterruptingSignal(int sig) : m_sig(sig) {
        struct sigaction action = {};
        action.sa_handler = Ignore;
        sigemptyset(&action.sa_mask);
        sigaction(m_sig, &action, &m_previous);
    }
    ~InterruptingSignal() { sigaction(m_sig, &m_previous, nullptr); }

private:
    int m_sig;
    struct sigaction m_previous;
};

} // namespace

TEST(Posix, WholeTransfersSurviveSignalsAndShortTransfers) {
    // 4 MiB through a pipe of 64 KiB: every call transfers a part, and the
    // signals interrupt both sides again and again.
    std::string sent(4 << 20, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 4096);
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
    InterruptingSignal interrupting(SIGURG);

    std::string received(sent.size() + 1, '\0');
    ssize_t got = -2;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        got = ReadAll(readEnd.Get(), &received[0], received.size());
        done = true;
    });
    std::thread writer([&] { EXPECT_TRUE(WriteAll(writeEnd.Get(), sent.data(), sent.size())); });
    const pthread_t readerId = reader.native_handle(), writerId = writer.native_handle();
    for (int i = 0; i < 200; ++i) {
        pthread_kill(readerId, SIGURG);
        pthread_kill(writerId, SIGURG);
        std::this_thread::yield();
    }
    writer.join();
    writeEnd.Reset(); // the end of the data: ReadAll stops short of its size
    reader.join();
    ASSERT_TRUE(done);
    ASSERT_EQ(got, ssize_t(sent.size()));
    received.resize(sent.size());
    EXPECT_TRUE(received == sent);
}

TEST(Posix, WriteAllReportsADescriptorThatTakesNoMore) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
    UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
    std::string big(1 << 20, 'x'); // more than the pipe holds
    errno = 0;
    EXPECT_FALSE(WriteAll(writeEnd.Get(), big.data(), big.size()));
    EXPECT_EQ(errno, EAGAIN);
}

TEST(Posix, PositionedTransfersAndWholeReads) {
    TempDir dir;
    const std::string path = dir.file("f");
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(fd.IsOpen());
    ASSERT_TRUE(WriteAllAt(fd.Get(), "world", 5, 6));
    ASSERT_TRUE(WriteAllAt(fd.Get(), "hello ", 6, 0));
    char part[8] = {};
    EXPECT_EQ(ReadAllAt(fd.Get(), part, sizeof part, 3), 8);
    EXPECT_EQ(std::string(part, 8), "lo world");
    EXPECT_EQ(ReadAllAt(fd.Get(), part, sizeof part, 9), 2) << "stops at the end of the file";
    std::string all;
    ASSERT_TRUE(ReadWholeFile(path, all));
    EXPECT_EQ(all, "hello world");

    // Files under /proc say they are empty; their content is read all the same.
    ASSERT_TRUE(ReadWholeFile("/proc/self/status", all));
    EXPECT_NE(all.find("Pid:"), std::string::npos);
    EXPECT_FALSE(ReadWholeFile(dir.file("missing"), all));
    EXPECT_EQ(errno, ENOENT);
}

TEST(Posix, DurableReplacementKeepsTheOldFileOnFailure) {
    TempDir dir;
    const std::string path = dir.file("data"), temp = dir.file("data.new");
    writeFile(path, "old");
    writeFile(temp, "stale temporary");
    const mode_t oldMask = umask(077);
    EXPECT_TRUE(ReplaceFileDurably(path, temp, "new", 3, 0644));
    umask(oldMask);
    EXPECT_EQ(readFile(path), "new");
    EXPECT_FALSE(FileExists(temp));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "the umask does not narrow the bits asked for";

    // A temp where none can be made: the file stays as it was.
    errno = 0;
    EXPECT_FALSE(ReplaceFileDurably(path, dir.file("no/such/folder"), "lost", 4, 0644));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(readFile(path), "new");
    // A target that cannot be replaced (a folder): no temp is left behind.
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0700), 0);
    EXPECT_FALSE(ReplaceFileDurably(dir.file("folder"), temp, "x", 1, 0644));
    EXPECT_FALSE(FileExists(temp));
}

TEST(Posix, CopyToNewFileTakesTheWholeSourceAndReplacesNothing) {
    TempDir dir;
    writeFile(dir.file("src"), "content");
    writeFile(dir.file("taken"), "keep");
    UniqueFd src(open(dir.file("src").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(src.IsOpen());
    ASSERT_EQ(lseek(src.Get(), 0, SEEK_END), 7) << "the copy starts at the start whatever the position";
    EXPECT_TRUE(CopyToNewFile(src.Get(), dir.file("copy"), 0600));
    EXPECT_EQ(readFile(dir.file("copy")), "content");
    EXPECT_FALSE(CopyToNewFile(src.Get(), dir.file("taken"), 0600));
    EXPECT_EQ(readFile(dir.file("taken")), "keep");
}

TEST(Posix, DeadlinesAndSmallPieces) {
    EXPECT_TRUE(Deadline::Never().IsInfinite());
    EXPECT_TRUE(Deadline::After(INFINITE).IsInfinite());
    EXPECT_EQ(Deadline::Never().RemainingMilliseconds(), -1);
    EXPECT_FALSE(Deadline::Never().HasPassed());
    EXPECT_TRUE(Deadline::After(0).HasPassed());
    EXPECT_EQ(Deadline::After(0).RemainingMilliseconds(), 0);
    const Deadline later = Deadline::After(60000);
    EXPECT_FALSE(later.HasPassed());
    const int left = later.RemainingMilliseconds();
    EXPECT_GT(left, 59000);
    EXPECT_LE(left, 60000);
    const struct timespec at = later.AbsoluteTime();
    const int64_t atNs = int64_t(at.tv_sec) * 1000000000 + at.tv_nsec;
    EXPECT_GT(atNs - MonotonicNanoseconds(), int64_t(59000) * 1000000);

    const int64_t before = MonotonicMilliseconds();
    SleepMilliseconds(20);
    EXPECT_GE(MonotonicMilliseconds() - before, 20) << "a sleep never ends early";

    char text[6];
    CopyText(text, sizeof text, "truncated");
    EXPECT_STREQ(text, "trunc");
    CopyText(text, sizeof text, nullptr);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(FolderOf("name"), ".");
    EXPECT_EQ(FolderOf("/name"), "/");
    EXPECT_EQ(FolderOf("a/b/name"), "a/b");
}
