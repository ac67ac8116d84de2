// CMCI headless: null sinks that keep the media's pace, a WAV and a short
// video made here by sox and ffmpeg, and the completion notice arriving at
// a window of this thread.
#include "support/TestSupport.h"

#include <zep3/zep3.h>
#include <zep3/media/detail/MciDevice.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>


namespace {

int64_t MonotonicMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class NoticeWnd : public CWnd {
public:
    struct Notice {
        WPARAM how;
        LPARAM device;
        int64_t at;
    };
    std::vector<Notice> notices;

    NoticeWnd() { CreateEx(0, nullptr, "mci", 0, CRect(0, 0, 10, 10), nullptr, 0); }

    // Runs this thread's loop until `count` notices have come, or 20 s.
    bool WaitForNotices(size_t count) {
        const UINT_PTR limit = SetTimer(1, 20000);
        MSG msg;
        while (notices.size() < count && GetMessage(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && msg.hwnd == m_hWnd) break;
            DispatchMessage(&msg);
        }
        KillTimer(limit);
        return notices.size() >= count;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == MM_MCINOTIFY) notices.push_back({wParam, lParam, MonotonicMilliseconds()});
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class Player : public CMCI {
public:
    MCIDEVICEID Id() const { return m_DeviceID; }
};

class Mci : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("ZEP3_HEADLESS", "1", 1);
        s_dir = new zep3test::TempDir;
        ASSERT_EQ(0, zep3test::runCommand("sox -n -r 8000 -c 1 -b 16 " + File("tone.wav") + " synth 7 sine 440"));
        ASSERT_EQ(0, zep3test::runCommand("sox -n -r 8000 -c 1 -b 16 " + File("second.wav") + " synth 1 sine 440"));
        ASSERT_EQ(0, zep3test::runCommand("ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=10 -f lavfi "
                                          "-i sine=frequency=440:sample_rate=8000 -t 2 -c:v mjpeg -c:a pcm_s16le " +
                                          File("clip.avi")));
        zep3test::writeFile(File("text.wav"), "this is no media file\n");
    }
    static void TearDownTestSuite() { delete s_dir; }
    static std::string File(const char* name) { return s_dir->file(name); }

    static zep3test::TempDir* s_dir;
};
zep3test::TempDir* Mci::s_dir = nullptr;

// Plays [start, end) with a notice and returns the milliseconds it took.
int64_t PlayRange(Player& player, NoticeWnd& wnd, int start, int end) {
    player.SetRange(start, end);
    const size_t before = wnd.notices.size();
    const int64_t began = MonotonicMilliseconds();
    EXPECT_TRUE(player.Play(wnd));
    EXPECT_TRUE(player.IsPlaying());
    if (!wnd.WaitForNotices(before + 1)) return -1;
    const NoticeWnd::Notice& notice = wnd.notices.back();
    EXPECT_EQ(WPARAM(MCI_NOTIFY_SUCCESSFUL), notice.how);
    EXPECT_EQ(LPARAM(player.Id()), notice.device);
    return notice.at - began;
}

} // namespace

TEST_F(Mci, APlayedRangeEndsWithANoticeToTheWindow) {
    NoticeWnd wnd;
    Player player;
    ASSERT_TRUE(player.Open(File("tone.wav").c_str()));
    EXPECT_NEAR(7000, player.GetLengthMS(), 20);
    const int64_t took = PlayRange(player, wnd, 500, 1500);
    // The range lasts a second; the bound above allows for a loaded machine.
    std::printf("played 1000 ms in %lld ms\n", static_cast<long long>(took));
    EXPECT_TRUE(took >= 900 && took <= 6000);
    EXPECT_NEAR(1500, player.GetPosition(), 100);
    EXPECT_EQ(MCI_MODE_STOP, player.GetStatus());

    // A range end beyond the length plays to the end.
    Player second;
    ASSERT_TRUE(second.Open(File("second.wav").c_str()));
    const int64_t whole = PlayRange(second, wnd, 0, 60000);
    EXPECT_TRUE(whole >= 900 && whole <= 6000) << whole;
    EXPECT_NEAR(1000, second.GetPosition(), 100);
}

TEST_F(Mci, PlayStartsAtTheRangeStartOnlyOutsideTheRange) {
    NoticeWnd wnd;
    Player player;
    ASSERT_TRUE(player.Open(File("tone.wav").c_str()));
    player.SetRange(1000, 5000);
    struct Case {
        int position, low;
    };
    for (const Case& c : {Case{0, 1000}, Case{2000, 2000}, Case{6000, 1000}}) {
        SCOPED_TRACE(c.position);
        ASSERT_TRUE(player.Seek(c.position));
        ASSERT_TRUE(player.Play(wnd));
        ASSERT_TRUE(player.Pause());
        EXPECT_TRUE(player.IsPaused());
        EXPECT_TRUE(player.GetPosition() >= c.low && player.GetPosition() < 5000) << player.GetPosition();
    }
    // The seeks ended the paused requests before them.
    ASSERT_TRUE(player.Resume());
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_TRUE(player.Stop());
    EXPECT_TRUE(player.GetPosition() == 0 && player.GetStatus() == MCI_MODE_STOP);
    // The seeks ended the two paused requests; Stop ends the resumed one.
    ASSERT_TRUE(wnd.WaitForNotices(3));
    for (const NoticeWnd::Notice& notice : wnd.notices) EXPECT_EQ(WPARAM(MCI_NOTIFY_ABORTED), notice.how);

    // Only an end set, the position beyond it: nothing to play.
    player.SetRange(-1, 2000);
    ASSERT_TRUE(player.Seek(3000));
    EXPECT_FALSE(player.Play(wnd));
}

TEST_F(Mci, AVideoClipPlaysSeeksAndCloses) {
    NoticeWnd wnd;
    Player player;
    EXPECT_TRUE(player.Play(nullptr, File("clip.avi").c_str())) << "Play opens the file it is given";
    ASSERT_TRUE(player.IsOpened());
    EXPECT_NEAR(2000, player.GetLengthMS(), 100);
    const int64_t took = PlayRange(player, wnd, 200, 700);
    EXPECT_TRUE(took >= 450 && took <= 5500) << took;
    player.SetRange(-1, -1);
    ASSERT_TRUE(player.Play(wnd));
    ASSERT_TRUE(player.Pause());
    EXPECT_TRUE(player.IsPaused());
    ASSERT_TRUE(player.Seek(1000));
    EXPECT_NEAR(1000, player.GetPosition(), 100);
    EXPECT_FALSE(player.Seek(5000)) << "beyond the length";
    EXPECT_TRUE(player.Close());
    EXPECT_TRUE(player.Close()) << "nothing open";
}

TEST_F(Mci, FailuresAreResults) {
    NoticeWnd wnd;
    Player player;
    EXPECT_FALSE(player.Play(wnd)) << "nothing open";
    EXPECT_FALSE(player.Open(File("missing.wav").c_str()) || player.Open(File("text.wav").c_str()));
    EXPECT_FALSE(player.IsOpened() || player.Pause() || player.Resume() || player.Seek(0));
    EXPECT_EQ(0, player.GetLengthMS() + player.GetPosition() + player.GetStatus());
    EXPECT_TRUE(player.Stop() && player.Close());

    char text[256];
    EXPECT_TRUE(zep3::detail::mciGetErrorString(MCIERR_FILE_NOT_FOUND, text, sizeof text));
    EXPECT_STRNE("", text);
    EXPECT_FALSE(zep3::detail::mciGetErrorString(12345, text, sizeof text));
    EXPECT_STREQ("", text);
}

TEST_F(Mci, ACopyRefersToTheSameDevice) {
    Player player;
    ASSERT_TRUE(player.Open(File("second.wav").c_str()));
    player.SetRange(100, 200);
    auto copy = std::make_unique<Player>(static_cast<const Player&>(player));
    EXPECT_EQ(player.Id(), copy->Id());
    copy.reset(); // its destructor closes the device for both
    EXPECT_TRUE(player.IsOpened());
    EXPECT_EQ(0, player.GetLengthMS());
    EXPECT_FALSE(player.Close()) << "the device had gone";
    EXPECT_FALSE(player.IsOpened());
}
