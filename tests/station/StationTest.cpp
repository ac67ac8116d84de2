// The station as its users meet it: a child process with a scratch output
// folder, its port on 127.0.0.1 picked free, its files checked with ffprobe
// and the JPEG decoder, and the command-line client talking to it.
#include "StationProcess.h"

#include "support/TestSupport.h"

#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <regex>

using namespace stationtest;
namespace fs = std::filesystem;

namespace {

const int kStartMs = 30000; // a busy machine may take its time
const int kStopMs = 60000;

// Rate 10, two-second segments and any free port.
const std::vector<std::pair<std::string, std::string>> kQuickSettings = {
    {"Camera\\Rate", "10"}, {"Recording\\SegmentSeconds", "2"}, {"Remote\\Port", "0"}, {"Web\\Port", "0"}};

// Every frame the camera numbered is grabbed or missed, every grabbed one
// recorded or not, and the closed segments hold exactly the recorded ones,
// as ffprobe counts them at the set rate.
void ExpectFramesAccountedFor(const std::string& folder, const std::string& log) {
    const FrameTally t = Tally(log);
    ASSERT_GT(t.grabbed, 0) << log;
    EXPECT_EQ(t.last + 1, t.grabbed + t.missed);
    EXPECT_EQ(t.grabbed, t.recorded + t.notRecorded);
    long inSegments = 0;
    for (const auto& [name, frames] : ClosedSegments(log)) {
        inSegments += frames;
        if (!fs::exists(folder + "/" + name)) continue; // removed for the size limit
        const Probe probe = ProbeVideo(folder + "/" + name);
        EXPECT_EQ(probe.codec, "mjpeg") << name;
        EXPECT_EQ(probe.frames, frames) << name;
        EXPECT_EQ(probe.rate, "10/1") << name;
    }
    EXPECT_EQ(inSegments, t.recorded);
}

std::vector<std::string> Files(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (std::regex_match(e.path().filename().string(), std::regex(pattern))) names.push_back(e.path().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Client(const std::string& arguments, int& status) {
    std::string out;
    status = zep3test::runCommand("timeout 60 " + ClientBinary() + " " + arguments + " 2>&1", &out);
    return out;
}

} // namespace

TEST(Station, RecordsSegmentsSnapshotsAndLogThenStopsWithTheFilesPrinted) {
    zep3test::TempDir dir;
    WriteSettings(dir.path(), kQuickSettings);
    StationProcess station(dir.path(), {"--seconds", "7"});
    ASSERT_EQ(station.Wait(kStopMs), 0) << station.Errors();

    const std::string out = station.Output(), log = station.Log();
    EXPECT_NE(out.find("files in " + fs::canonical(dir.path()).string()), std::string::npos) << out;
    EXPECT_NE(log.find("*** Start ***"), std::string::npos);
    EXPECT_LT(log.rfind("frames: "), log.rfind("*** Stop ***"));
    ExpectFramesAccountedFor(dir.path(), log);
    // Segments of 20 frames (2 s at 10 per second), the last one cut short by
    // the stop; a busy machine misses frames, so the count follows the frames.
    const auto segments = ClosedSegments(log);
    ASSERT_FALSE(segments.empty()) << log;
    EXPECT_EQ(long(segments.size()), (Tally(log).recorded + 19) / 20) << log;
    for (size_t i = 0; i + 1 < segments.size(); ++i) EXPECT_EQ(segments[i].second, 20) << segments[i].first;
    EXPECT_TRUE(Files(dir.path(), ".*\\.part").empty());

    const auto snapshots = Files(dir.path(), "snapshot-[0-9]{6}\\.jpg");
    ASSERT_FALSE(snapshots.empty()) << log;
    for (const std::string& s : snapshots) {
        EXPECT_TRUE(DecodesAsJpeg(s, 640, 480)) << s;
        EXPECT_TRUE(DecodesAsJpeg(s.substr(0, s.size() - 4) + "-ground.jpg", 320, 240)) << s;
    }
    EXPECT_NE(zep3test::readFile(dir.file("zep3-station.ini")).find("__checksum__="), std::string::npos);
}

TEST(Station, FirstRunWritesTheDefaultsAndBadSettingsAreNamedAndReplaced) {
    zep3test::TempDir dir;
    WriteSettings(dir.path(), {{"Remote\\Port", "0"}, {"Web\\Port", "0"},
                               {"Camera\\Rate", "ten"},
                               {"Recording\\Quality", "500"},
                               {"Remote\\Password", "not hex"}});
    StationProcess station(dir.path(), {"--seconds", "2"});
    ASSERT_EQ(station.Wait(kStopMs), 0) << station.Errors();

    const std::string errors = station.Errors(), out = station.Output();
    EXPECT_NE(errors.find("Station\\Camera\\Rate = \"ten\" is not valid (a whole number from 1 to 100); using the "
                          "default 10"),
              std::string::npos)
        << errors;
    for (const char* named : {"Recording\\Quality = \"500\"", "Remote\\Password = \"not hex\""})
        EXPECT_NE(errors.find(std::string("Station\\") + named), std::string::npos) << errors;
    EXPECT_NE(out.find("Camera\\Rate = 10   (default 10)"), std::string::npos) << out;

    // The missing keys were added; what the user wrote is still there.
    CIniFile ini(dir.file("zep3-station.ini").c_str(), true);
    CString rate, segment;
    EXPECT_TRUE(ExchangeObject(&ini, 0, "Station\\Camera\\Rate", &rate));
    EXPECT_EQ(CString("ten"), rate);
    EXPECT_TRUE(ExchangeObject(&ini, 0, "Station\\Recording\\SegmentSeconds", &segment));
    EXPECT_EQ(CString("10"), segment);
}

TEST(Station, ClientPrintsTheStatusAndFetchesASnapshotAndSigtermStops) {
    zep3test::TempDir dir;
    WriteSettings(dir.path(), kQuickSettings);
    StationProcess station(dir.path(), {});
    const int port = station.WaitForPort(kStartMs);
    ASSERT_GT(port, 0) << station.Output() << station.Errors();
    ASSERT_TRUE(WaitUntil([&] { return !Files(dir.path(), "snapshot-[0-9]{6}\\.jpg").empty(); }, kStartMs))
        << station.Log();

    // A second station on the same folder would number its files over the first's.
    StationProcess second(dir.path(), {"--seconds", "2"});
    EXPECT_EQ(second.Wait(kStopMs), 1);
    EXPECT_NE(second.Errors().find("another station is using"), std::string::npos) << second.Errors();

    int status = 0;
    const std::string fetched = dir.file("fetched.jpg");
    std::string out = Client("--port " + std::to_string(port) + " --snapshot " + fetched, status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("banner: Dravolin Remote Control"), std::string::npos) << out;
    EXPECT_NE(out.find("login: Login accepted"), std::string::npos) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("status: frames grabbed [1-9][0-9]*, recorded [0-9]+, objects in "
                                                  "zone [0-9]+, snapshots [1-9][0-9]*, segment segment-[0-9]{6}\\.avi, "
                                                  "recording")))
        << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("snapshot [0-9]+: frame [0-9]+, 640 x 480, taken 20")) ) << out;
    EXPECT_TRUE(DecodesAsJpeg(fetched, 640, 480));

    out = Client("--port " + std::to_string(port) + " --password wrong", status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("login: Login refused"), std::string::npos) << out;

    station.Signal(SIGTERM);
    ASSERT_EQ(station.Wait(kStopMs), 0) << station.Errors();
    const std::string log = station.Log();
    EXPECT_NE(log.find("stopped by SIGTERM"), std::string::npos);
    EXPECT_NE(log.rfind("*** Stop ***"), std::string::npos);
    ExpectFramesAccountedFor(dir.path(), log);
}

TEST(Station, SigkillKeepsTheSettingsAndFinishedSegmentsAndTheNextStartGoesOn) {
    zep3test::TempDir dir;
    WriteSettings(dir.path(), {{"Camera\\Rate", "10"}, {"Recording\\SegmentSeconds", "1"}, {"Remote\\Port", "0"},
                               {"Web\\Port", "0"}});
    std::string iniBefore;
    {
        StationProcess station(dir.path(), {});
        ASSERT_GT(station.WaitForPort(kStartMs), 0) << station.Errors();
        iniBefore = zep3test::readFile(dir.file("zep3-station.ini"));
        ASSERT_TRUE(WaitUntil([&] { return ClosedSegments(station.Log()).size() >= 2; }, kStopMs)) << station.Log();
        station.Signal(SIGKILL);
        ASSERT_EQ(station.Wait(kStopMs), 128 + SIGKILL);
    }
    EXPECT_EQ(zep3test::readFile(dir.file("zep3-station.ini")), iniBefore);
    const auto finished = Files(dir.path(), "segment-[0-9]{6}\\.avi");
    ASSERT_GE(finished.size(), 2u);
    for (const std::string& s : finished) EXPECT_EQ(ProbeVideo(s).frames, 10) << s;
    const auto unfinished = Files(dir.path(), "segment-[0-9]{6}\\.avi\\.part");

    StationProcess again(dir.path(), {"--seconds", "3"});
    ASSERT_EQ(again.Wait(kStopMs), 0) << again.Errors();
    const std::string log = again.Log();
    for (const std::string& s : unfinished)
        EXPECT_NE(log.find("unfinished segment of an interrupted run kept: " + fs::path(s).filename().string()),
                  std::string::npos);
    // Numbering goes on after the segments of the killed run.
    const auto after = Files(dir.path(), "segment-[0-9]{6}\\.avi");
    ASSERT_GT(after.size(), finished.size());
    EXPECT_GT(after.back(), unfinished.empty() ? finished.back() : unfinished.back());
    for (const std::string& s : finished) EXPECT_EQ(ProbeVideo(s).frames, 10) << s;
    EXPECT_EQ(zep3test::readFile(dir.file("zep3-station.ini")), iniBefore);
}
