// The position bar under the wave graph: paging, dragging its thumb through
// real mouse messages, what the parent is told; and both controls on an X
// server.
#include "WaveGraphTestSupport.h"

#include <cmath>

using controltest::Message;
using controltest::PixelOf;

namespace {

const COLORREF kBarBackground = 0x464646, kThumb = 0x648C8C, kThumbFrame = 0x64C8C8;

using Bar = controltest::Counting<CWaveGraphPositionCtrl>;

class PositionBarTest : public ::testing::Test {
protected:
    controltest::HeadlessScreen display; // first made, last gone
    controltest::RecordingParent parent;
    Bar bar;

    void SetUp() override {
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "recorder", WS_VISIBLE, CRect(0, 0, 500, 16), nullptr, 0));
        ASSERT_TRUE(bar.Create(&parent, CRect(0, 0, 500, 16), 201, WS_VISIBLE));
    }
    void TearDown() override { parent.DestroyWindow(); }

    void Mouse(UINT message, UINT keys, int x) { controltest::Mouse(bar, message, keys, CPoint(x, 8)); }
    // Where the thumb is painted: its first and last column.
    std::pair<int, int> PaintedThumb() {
        controltest::DrainMessages();
        int first = -1, last = -1;
        for (int x = 0; x < 500; ++x) {
            const COLORREF c = PixelOf(bar, x, 8);
            EXPECT_TRUE(c == kBarBackground || c == kThumb || c == kThumbFrame) << x;
            if (c == kBarBackground) continue;
            if (first < 0) first = x;
            last = x;
        }
        return {first, last};
    }
};

} // namespace

TEST_F(PositionBarTest, PagesAndDragsTheWindowWithinTheRecording) {
    bar.Init(1000);
    EXPECT_EQ(PaintedThumb(), std::make_pair(0, 499)) << "all of it in the window";
    bar.SetSelection(100, 400);
    EXPECT_EQ(PaintedThumb(), std::make_pair(50, 199));
    EXPECT_EQ(PixelOf(bar, 50, 8), kThumbFrame);
    EXPECT_TRUE(parent.messages.empty()) << "only moves by the operator are told";

    // Paging: left of the thumb back by its length, right of it to its end.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 10);
    Mouse(WM_LBUTTONUP, 0, 10);
    EXPECT_EQ(parent.messages, (std::vector<Message>{{WM_WAVEGRAPH_WINDOWMOVED, 0, 300}}));
    for (int i = 0; i < 3; ++i) Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 499);
    EXPECT_EQ(parent.messages.back(), (Message{WM_WAVEGRAPH_WINDOWMOVED, 700, 1000}))
        << "the last page is pushed back to end at the total";
    EXPECT_EQ(PaintedThumb(), std::make_pair(350, 499));

    // The thumb, grabbed 50 pixels in, follows the pointer past both ends.
    parent.messages.clear();
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 400);
    EXPECT_EQ(GetCapture(), bar.m_hWnd);
    for (int x : {200, -100, -90, 900}) Mouse(WM_MOUSEMOVE, MK_LBUTTON, x);
    Mouse(WM_LBUTTONUP, 0, 151);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(parent.messages, (std::vector<Message>{{WM_WAVEGRAPH_WINDOWMOVED, 300, 600},
                                                     {WM_WAVEGRAPH_WINDOWMOVED, 0, 300},
                                                     {WM_WAVEGRAPH_WINDOWMOVED, 700, 1000},
                                                     {WM_WAVEGRAPH_WINDOWMOVED, 202, 502}}));
    Mouse(WM_MOUSEMOVE, 0, 300);
    EXPECT_EQ(parent.messages.size(), 4u) << "no longer dragging";

    bar.SetSelection(0, -1);
    EXPECT_EQ(PaintedThumb(), std::make_pair(0, 499)) << "an end of -1 is the total";
    bar.Clear();
    EXPECT_EQ(PaintedThumb(), std::make_pair(-1, -1));
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 10);
    EXPECT_EQ(parent.messages.size(), 4u) << "nothing to move without a recording";
}

TEST(WaveGraphScreen, BothControlsShownOnAnXServerAsPainted) {
    xvfbtest::Xvfb server;
    ASSERT_TRUE(server.Ready()) << "Xvfb did not start (package xvfb)";
    xvfbtest::ScopedEnv display("DISPLAY", server.Name().c_str());
    xvfbtest::ScopedEnv shown("ZEP3_HEADLESS", nullptr);

    controltest::RecordingParent recorder;
    CWaveGraphCtrl graph;
    CWaveGraphPositionCtrl bar;
    ASSERT_TRUE(recorder.CreateEx(0, nullptr, "Nagranie", 0, CRect(0, 0, 520, 250), nullptr, 0));
    ASSERT_TRUE(graph.Create(&recorder, CRect(10, 10, 510, 210), 200, WS_VISIBLE));
    ASSERT_TRUE(bar.Create(&recorder, CRect(10, 220, 510, 236), 201, WS_VISIBLE));

    // Two seconds of a 16-bit tone at 8000 samples a second that swells.
    const int total = 16000;
    recorder.recording.resize(size_t(total) * 2);
    for (int i = 0; i < total; ++i) {
        const auto s = static_cast<int16_t>(30000.0 * i / total * std::sin(i * 0.05));
        recorder.recording[size_t(2 * i)] = static_cast<unsigned char>(s & 0xFF);
        recorder.recording[size_t(2 * i + 1)] = static_cast<unsigned char>((s >> 8) & 0xFF);
    }
    ASSERT_TRUE(graph.Init(total, 2, 8000, false));
    graph.AddWaveData(recorder.recording.data(), total);
    graph.SetSelectionMS(1000, 1500);
    bar.Init(total);
    bar.SetSelection(4000, 12000);

    const CPixelSurface screen = controltest::ShowAndShoot(server, recorder, 520, 250, "wavegraph");
    // The graph at (10, 10): 500 pixels over 16000 samples, the selection
    // from pixel 250 to 375, the position at 250.
    EXPECT_EQ(screen.GetPixel(310, 20), 0xE6F0F0u) << "the selection";
    EXPECT_EQ(screen.GetPixel(310, 110), 0x8C3232u) << "the tone inside the selection";
    int after = 0; // the tone after the selection, loud there
    for (int y = 10; y < 210; ++y) after += screen.GetPixel(490, y) == 0x0AE60Au;
    EXPECT_GT(after, 50);
    EXPECT_EQ(screen.GetPixel(260, 15), 0x64C8C8u) << "the play position";
    EXPECT_EQ(screen.GetPixel(200, 228), 0x648C8Cu) << "its thumb over samples 4000 to 12000";
    recorder.DestroyWindow();
}
