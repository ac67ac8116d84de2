#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using zep3test::readFile;
using zep3test::TempDir;

// Every entry starts with a time stamp, "YYYY-MM-DD  hh:mm:ss.mmm:  ".
const size_t kStampLength = 27;
const size_t kFrame = kStampLength + 4; // plus CR LF and the YY marker

uint32_t storedOffset(const std::string& file) {
    if (file.size() < 4) return 0;
    auto b = reinterpret_cast<const unsigned char*>(file.data());
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

bool hasStampAt(const std::string& file, size_t offset) {
    static const std::regex stamp(R"(\d{4}-\d\d-\d\d  \d\d:\d\d:\d\d\.\d{3}:  )");
    auto at = file.begin() + static_cast<std::ptrdiff_t>(std::min(offset, file.size()));
    return offset + kStampLength <= file.size() && std::regex_match(at, at + kStampLength, stamp);
}

// The entry "<stamp>body\r\n" at offset.
::testing::AssertionResult EntryAt(const std::string& file, size_t offset, const std::string& body) {
    if (!hasStampAt(file, offset))
        return ::testing::AssertionFailure() << "no time stamp at " << offset << ": "
                                             << file.substr(offset, kStampLength);
    std::string text = file.substr(offset + kStampLength, body.size() + 2);
    if (text != body + "\r\n")
        return ::testing::AssertionFailure() << "at " << offset << " found '" << text << "'";
    return ::testing::AssertionSuccess();
}

// Header of a file whose newest entry (of body) starts at entryOffset.
::testing::AssertionResult NewestEntryIs(const std::string& file, size_t entryOffset, const std::string& body) {
    auto entry = EntryAt(file, entryOffset, body);
    if (!entry) return entry;
    size_t marker = entryOffset + kStampLength + body.size() + 2;
    if (storedOffset(file) != marker)
        return ::testing::AssertionFailure() << "header offset " << storedOffset(file) << ", expected " << marker;
    if (file.substr(marker, 2) != "YY") return ::testing::AssertionFailure() << "no YY marker at " << marker;
    const char* ms = file.data() + entryOffset + 21; // the three millisecond digits of the stamp
    if (file[4] != ms[0] - '0' || file[5] != ms[1] - '0' || file[6] != ms[2] - '0' || file.substr(7, 2) != "\r\n")
        return ::testing::AssertionFailure() << "header milliseconds or CR LF wrong";
    return ::testing::AssertionSuccess();
}

void setModified(const std::string& path, time_t seconds) {
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::string emptyLog(size_t size) {
    std::string file(size, '\0');
    file[0] = 9;
    file[7] = '\r';
    file[8] = '\n';
    return file;
}

} // namespace

TEST(CLogFile, HeaderStartAndStopEntriesAndBothLineForms) {
    TempDir dir;
    std::string path = dir.file("app.log");
    CLogFile log;
    EXPECT_FALSE(log.Add("before init", "", -1));
    ASSERT_TRUE(log.Init(path.c_str(), 1000, 1));
    std::string file = readFile(path);
    EXPECT_TRUE(NewestEntryIs(file, 9, "*** Start ***"));
    EXPECT_EQ(file.substr(53), std::string(947, '\0')) << "made at its full size";

    // line -1 ignores the file name; line 0 already gives the long form.
    EXPECT_TRUE(log.Add("first", "ignored.cpp", -1));
    EXPECT_TRUE(log.Add("second", "main.cpp", 0));
    file = readFile(path);
    EXPECT_TRUE(EntryAt(file, 51, "first"));
    EXPECT_TRUE(NewestEntryIs(file, 51 + kFrame + 5 - 2, "second   [File: main.cpp, line: 0]"));

    // Close writes no Stop entry; a log that goes away open does.
    log.Close();
    EXPECT_FALSE(log.Add("after close", "", -1));
    EXPECT_EQ(readFile(path), file);
    const size_t end = storedOffset(file);
    std::make_unique<CLogFile>()->Init(path.c_str(), 1000, 1); // opened and gone
    file = readFile(path);
    EXPECT_TRUE(EntryAt(file, end, "*** Start ***"));
    EXPECT_TRUE(NewestEntryIs(file, end + kFrame - 2 + 13, "*** Stop ***"));
}

TEST(CLogFile, EntryThatDoesNotFitStartsAgainAtOffsetNine) {
    TempDir dir;
    std::string path = dir.file("one.log");
    CLogFile log;
    log.Init(path.c_str(), 100, 1); // Start entry: 9..53
    log.Add("abc", "", -1);         // 51..85, fits exactly below 100
    std::string before = readFile(path);
    EXPECT_TRUE(NewestEntryIs(before, 51, "abc"));

    log.Add("def", "", -1); // 83 + 34 > 100
    std::string file = readFile(path);
    EXPECT_TRUE(NewestEntryIs(file, 9, "def"));
    // The older entries behind the new one are untouched.
    EXPECT_EQ(file.substr(43), before.substr(43));

    // An entry longer than the file is written whole; the next one cuts the
    // file back to its size and starts at 9 again.
    std::string longText(200, 'L');
    log.Add(longText.c_str(), "", -1);
    file = readFile(path);
    EXPECT_EQ(file.size(), 9 + kFrame + 200);
    EXPECT_TRUE(NewestEntryIs(file, 9, longText));
    log.Add("ghi", "", -1);
    file = readFile(path);
    EXPECT_TRUE(file.size() == 100u && NewestEntryIs(file, 9, "ghi"));
}

TEST(CLogFile, RingOfThreeMovesOnAndWrapsToTheFirstFile) {
    TempDir dir;
    CLogFile log;
    log.Init(dir.file("app.log").c_str(), 100, 3);
    const char* texts[] = {"abc", "def", "ghi", "jkl", "mno"};
    for (const char* t : texts) log.Add(t, "", -1);
    std::string f0 = readFile(dir.file("app00.log")), f1 = readFile(dir.file("app01.log")),
                f2 = readFile(dir.file("app02.log"));
    ASSERT_TRUE(f0.size() == 100 && f1.size() == 100 && f2.size() == 100);
    EXPECT_TRUE(EntryAt(f0, 9, "*** Start ***"));
    EXPECT_TRUE(NewestEntryIs(f0, 51, "abc"));
    EXPECT_TRUE(EntryAt(f1, 9, "def"));
    EXPECT_TRUE(NewestEntryIs(f1, 41, "ghi"));
    EXPECT_TRUE(EntryAt(f2, 9, "jkl"));
    EXPECT_TRUE(NewestEntryIs(f2, 41, "mno"));

    // The third file is full: writing goes on at the start of the first.
    log.Add("pqr", "", -1);
    std::string wrapped = readFile(dir.file("app00.log"));
    EXPECT_TRUE(NewestEntryIs(wrapped, 9, "pqr"));
    EXPECT_TRUE(EntryAt(wrapped, 51, "abc"));
    EXPECT_EQ(readFile(dir.file("app02.log")), f2);
}

TEST(CLogFile, RestartContinuesInTheMostRecentlyModifiedFile) {
    TempDir dir;
    std::string names[] = {dir.file("ring00"), dir.file("ring01"), dir.file("ring02")};
    for (auto& n : names) zep3test::writeFile(n, emptyLog(100));
    setModified(names[0], 1000000);
    setModified(names[1], 3000000);
    setModified(names[2], 2000000);
    {
        CLogFile log; // a name without a dot gets the index appended
        log.Init(dir.file("ring").c_str(), 100, 3);
        EXPECT_TRUE(NewestEntryIs(readFile(names[1]), 9, "*** Start ***"));
        EXPECT_EQ(readFile(names[0]), emptyLog(100));
        EXPECT_EQ(readFile(names[2]), emptyLog(100));
        log.Close();
    }
    setModified(names[1], 3000000);
    // The newest file is the last of the ring and too full for the Start
    // entry, so it goes to the first file.
    std::string full = emptyLog(100);
    full[0] = 80;
    zep3test::writeFile(names[2], full);
    setModified(names[2], 4000000);
    CLogFile log;
    log.Init(dir.file("ring").c_str(), 100, 3);
    EXPECT_TRUE(NewestEntryIs(readFile(names[0]), 9, "*** Start ***"));
    EXPECT_EQ(readFile(names[2]), full);
}

TEST(CLogFile, MissingFoldersAndDamagedHeaders) {
    TempDir dir;
    CLogFile missing;
    missing.Init(dir.file("missing/folder.log").c_str(), 200, 1);
    EXPECT_FALSE(missing.Add("x", "", -1));

    // A header offset pointing into the header, or a file shorter than a
    // header, never gets the header overwritten by an entry.
    std::string path = dir.file("damaged.log");
    std::string file = emptyLog(100);
    file[0] = 2;
    zep3test::writeFile(path, file);
    CLogFile log;
    log.Init(path.c_str(), 100, 1);
    EXPECT_TRUE(NewestEntryIs(readFile(path), 9, "*** Start ***"));
    // Cut short, or deleted between two entries: made again at full size.
    zep3test::writeFile(path, "short");
    log.Add("abc", "", -1);
    file = readFile(path);
    EXPECT_TRUE(file.size() == 100u && NewestEntryIs(file, 9, "abc"));
    ASSERT_EQ(std::remove(path.c_str()), 0);
    log.Add("def", "", -1);
    file = readFile(path);
    EXPECT_TRUE(file.size() == 100u && NewestEntryIs(file, 9, "def"));
}

TEST(CLogFile, EightThreadsLoseNoLineAndInterleaveNoBytes) {
    const int kThreads = 8, kLines = 10000;
    TempDir dir;
    std::string path = dir.file("threads.log");
    CLogFile log;
    log.Init(path.c_str(), 8 << 20, 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            char text[32];
            for (int i = 0; i < kLines; ++i) {
                std::snprintf(text, sizeof text, "T%d #%d", t, i);
                log.Add(text, "", -1);
            }
        });
    for (auto& th : threads) th.join();
    log.Close();

    std::string file = readFile(path);
    size_t end = storedOffset(file);
    ASSERT_TRUE(end < file.size() && file.substr(end, 2) == "YY");
    ASSERT_TRUE(EntryAt(file, 9, "*** Start ***"));
    std::vector<int> next(kThreads, 0);
    size_t pos = 9 + kFrame - 2 + 13, lines = 0;
    for (; pos < end; pos = file.find("\r\n", pos) + 2, ++lines) {
        int t = -1, i = -1;
        ASSERT_TRUE(hasStampAt(file, pos)) << "line " << lines;
        ASSERT_EQ(std::sscanf(file.c_str() + pos + kStampLength, "T%d #%d\r", &t, &i), 2) << "line " << lines;
        ASSERT_TRUE(t >= 0 && t < kThreads) << "line " << lines;
        ASSERT_EQ(i, next[t]++) << "thread " << t;
    }
    EXPECT_EQ(pos, end);
    EXPECT_EQ(lines, size_t(kThreads * kLines));
}
