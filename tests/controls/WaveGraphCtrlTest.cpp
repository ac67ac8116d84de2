// The wave graph driven by real mouse messages: its overview against a
// reference minimum and maximum, zooming with raw samples from the parent,
// selection, the messages to the parent, and its picture on an X server.
#include "WaveGraphTestSupport.h"

#include <algorithm>
#include <random>

using controltest::Message;
using controltest::PixelOf;

namespace {

const COLORREF kBackground = 0x464646, kWave = 0x0AE60A, kSelection = 0xE6F0F0, kSelectedWave = 0x8C3232;
const COLORREF kZeroLine = 0x506E6E, kPosition = 0x64C8C8, kSelectionLine = 0x648C8C;
const int kRate = 8000;

// Smallest and largest byte of a stretch of samples, the picture's unit.
struct Extent {
    int lo = 128, hi = 128;
    bool operator==(const Extent& o) const { return lo == o.lo && hi == o.hi; }
};
std::ostream& operator<<(std::ostream& os, const Extent& e) { return os << "[" << e.lo << ", " << e.hi << "]"; }

// The samples of a recording as bytes: 8-bit as they are, 16-bit (s + 32768) / 256.
std::vector<int> SampleBytes(const std::vector<unsigned char>& recording, int bytesPerSample) {
    std::vector<int> out(recording.size() / size_t(bytesPerSample));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = bytesPerSample == 1 ? recording[i]
                                     : (int16_t(recording[2 * i] | recording[2 * i + 1] << 8) + 32768) / 256;
    return out;
}

Extent ExtentOf(const std::vector<int>& bytes, size_t from, size_t to) {
    Extent e{bytes[from], bytes[from]};
    for (size_t i = from; i < to; ++i) e = {std::min(e.lo, bytes[i]), std::max(e.hi, bytes[i])};
    return e;
}

using Graph = controltest::Counting<CWaveGraphCtrl>;

class WaveGraphTest : public ::testing::Test {
protected:
    controltest::HeadlessScreen display; // first made, last gone
    controltest::RecordingParent parent;
    Graph graph;
    size_t parentMessagesAtReturn = 0; // what the parent had when the last mouse handler returned
    int width = 0, height = 0;

    void Make(int w, int h) {
        width = w;
        height = h;
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "recorder", WS_VISIBLE, CRect(0, 0, w, h), nullptr, 0));
        graph.afterEach = [this] { parentMessagesAtReturn = parent.messages.size(); };
        ASSERT_TRUE(graph.Create(&parent, CRect(0, 0, w, h), 200, WS_VISIBLE));
    }
    void TearDown() override { parent.DestroyWindow(); }

    void Mouse(UINT message, UINT keys, int x) { controltest::Mouse(graph, message, keys, CPoint(x, 10)); }
    // The painted waveform, column by column: the rows in the waveform's
    // colours from the top one to the bottom one, each byte v drawn at
    // (255 - v) * height / 256; for a height of 256 that reads back the bytes.
    std::vector<Extent> PaintedColumns() {
        controltest::DrainMessages();
        std::vector<Extent> out(size_t(width), Extent{-1, -1});
        for (int x = 0; x < width; ++x) {
            int top = -1, bottom = -1;
            for (int y = 0; y < height; ++y) {
                const COLORREF c = PixelOf(graph, x, y);
                if (c != kWave && c != kSelectedWave) continue;
                if (top < 0) top = y;
                EXPECT_TRUE(bottom < 0 || bottom == y - 1) << "a gap in column " << x;
                bottom = y;
            }
            if (top >= 0) out[size_t(x)] = Extent{255 - bottom, 255 - top};
        }
        return out;
    }
    static std::vector<unsigned char> Random(size_t bytes, int spread, unsigned seed) {
        std::mt19937 random(seed);
        std::vector<unsigned char> out(bytes);
        for (auto& b : out) b = static_cast<unsigned char>(128 + std::uniform_int_distribution<int>(-spread, spread)(random));
        return out;
    }
};

class WaveGraphFormats : public WaveGraphTest, public ::testing::WithParamInterface<int> {};

} // namespace

// 2500 pixels of 256 rows: each pixel column shows one overview column.
TEST_P(WaveGraphFormats, OverviewColumnsMatchAReferenceMinimumAndMaximum) {
    const int bps = GetParam();
    Make(2500, 256);
    const int total = 10000; // four samples a column
    parent.recording = Random(size_t(total * bps), 127, 1);
    const std::vector<int> bytes = SampleBytes(parent.recording, bps);
    ASSERT_TRUE(graph.Init(total, bps, kRate, false));

    std::vector<Extent> expected(2500);
    for (int chunk = 0; chunk < total; chunk += 400) {
        graph.AddWaveData(parent.recording.data() + chunk * bps, 400);
        for (int c = chunk / 4; c < (chunk + 400) / 4; ++c) expected[size_t(c)] = ExtentOf(bytes, size_t(c) * 4, size_t(c) * 4 + 4);
        if (chunk == 0) {
            ASSERT_EQ(PaintedColumns(), expected) << "100 columns filled, the rest on the zero line";
        }
    }
    EXPECT_EQ(PaintedColumns(), expected);
    EXPECT_TRUE(parent.requests.empty()) << "the whole recording is drawn from the overview";

    // 12345 samples at once: column c from sample c * 12345 / 2500 on, all
    // 2500 columns full.
    ASSERT_TRUE(graph.Init(12345, bps, kRate, false));
    parent.recording = Random(size_t(12345 * bps), 127, 2);
    const std::vector<int> more = SampleBytes(parent.recording, bps);
    graph.AddWaveData(parent.recording.data(), 12345);
    for (int c = 0; c < 2500; ++c)
        expected[size_t(c)] = ExtentOf(more, size_t(c) * 12345 / 2500, size_t(c + 1) * 12345 / 2500);
    EXPECT_EQ(PaintedColumns(), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, WaveGraphFormats, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) { return info.param == 1 ? "Bits8" : "Bits16"; });

TEST_F(WaveGraphTest, ChunksFillWholeColumnsAndShortRecordingsDrawNothing) {
    Make(2500, 256);
    std::vector<unsigned char> loud(5000);
    for (size_t i = 0; i < loud.size(); ++i) loud[i] = i % 2 ? 255 : 0;
    auto fullColumns = [&] {
        const std::vector<Extent> columns = PaintedColumns();
        return std::count(columns.begin(), columns.end(), Extent{0, 255});
    };
    ASSERT_TRUE(graph.Init(5000, 1, kRate, false)); // two samples a column
    EXPECT_EQ(graph.AddWaveData(loud.data(), 1000), 0);
    EXPECT_EQ(fullColumns(), 500);
    graph.AddWaveData(loud.data(), 3); // one column, the third sample dropped
    EXPECT_EQ(fullColumns(), 501);
    EXPECT_EQ(PixelOf(graph, 2000, 128), kZeroLine);
    graph.AddWaveData(loud.data(), 10000);
    EXPECT_EQ(fullColumns(), 2500) << "never past the last column";

    ASSERT_TRUE(graph.Init(2000, 1, kRate, false));
    graph.AddWaveData(loud.data(), 2000);
    controltest::DrainMessages();
    for (int x = 0; x < width; x += 7)
        for (int y = 0; y < height; y += 5) ASSERT_EQ(PixelOf(graph, x, y), kBackground) << x << ", " << y;

    EXPECT_FALSE(graph.Init(0, 1, kRate, false));
    EXPECT_FALSE(graph.Init(100, 3, kRate, false));
    EXPECT_EQ(graph.AddWaveData(loud.data(), 100), 0) << "nothing after a refused Init";
}

TEST_F(WaveGraphTest, SelectionByMouseAndWhatTheParentIsSent) {
    Make(2500, 256);
    parent.recording = Random(10000, 10, 3); // quiet: the waveform stays near the middle
    ASSERT_TRUE(graph.Init(10000, 1, kRate, false));
    EXPECT_EQ(parent.messages, (std::vector<Message>{{WM_WAVEGRAPH_SELCHANGE, 0, 0}})) << "sent within Init";
    graph.AddWaveData(parent.recording.data(), 10000);
    parent.messages.clear();

    // Pressed at 40 %, dragged back to 20 % beyond the left edge and back.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 1000);
    EXPECT_EQ(parentMessagesAtReturn, 1u) << "sent, not posted";
    EXPECT_EQ(GetCapture(), graph.m_hWnd);
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, -300);
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, 500);
    int start = 0, end = 0;
    EXPECT_TRUE(graph.GetSelection(start, end));
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(4000, 2000)) << "not yet in order while dragging";
    Mouse(WM_LBUTTONUP, 0, 500);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(graph.GetSelectionMS(start, end));
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(250, 500));
    EXPECT_EQ(parent.messages,
              (std::vector<Message>{{WM_WAVEGRAPH_SELSTART, 500, 0}, {WM_WAVEGRAPH_SELCHANGE, 250, 500}}));

    // The selection's columns [500, 1000) are filled, their waveform in its own pen.
    controltest::DrainMessages();
    EXPECT_EQ(PixelOf(graph, 700, 5), kSelection);
    EXPECT_EQ(PixelOf(graph, 1200, 5), kBackground);
    EXPECT_EQ(PixelOf(graph, 700, 127), kSelectedWave);

    // Markers: a selection of one point and the play position.
    graph.SetSelection(3000, 3000);
    graph.SetPositionMS(500); // sample 4000
    controltest::DrainMessages();
    EXPECT_EQ(PixelOf(graph, 750, 5), kSelectionLine);
    EXPECT_EQ(PixelOf(graph, 1000, 5), kPosition);
    graph.SetSelection(1000, 1050);
    EXPECT_FALSE(graph.CanZoomSelection()) << "50 samples are not enough";
    graph.SetSelection(1000, 1051);
    EXPECT_TRUE(graph.CanZoomSelection());

    // A double click from the display: the class takes double clicks, so
    // the second press arrives as one.
    parent.messages.clear();
    const int ups = graph.counts[WM_LBUTTONUP];
    display.Click(CPoint(16, 10), 2); // sample 64, 8 ms
    ASSERT_TRUE(PumpMessagesUntil([&] { return graph.counts[WM_LBUTTONUP] == ups + 2; }, 5000));
    EXPECT_EQ(graph.counts[WM_LBUTTONDBLCLK], 1);
    Mouse(WM_RBUTTONDOWN, MK_RBUTTON, 10);
    EXPECT_FALSE(graph.GetSelection(start, end));
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(-1, -1));
    EXPECT_EQ(parent.messages, (std::vector<Message>{{WM_WAVEGRAPH_SELSTART, 8, 0},
                                                     {WM_WAVEGRAPH_SELCHANGE, 8, 8},
                                                     {WM_WAVEGRAPH_DBLCLK, 0, 0},
                                                     {WM_WAVEGRAPH_SELCLEAR, 0, 0}}));
    controltest::DrainMessages();
    EXPECT_EQ(PixelOf(graph, 700, 5), kBackground);
}

TEST_F(WaveGraphTest, PostedMessagesGoThroughTheParentsQueue) {
    Make(500, 100);
    ASSERT_TRUE(graph.Init(10000, 2, kRate, true));
    EXPECT_TRUE(parent.messages.empty());
    ASSERT_TRUE(PumpMessagesUntil([&] { return parent.messages.size() == 1; }, 5000));
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 250);
    EXPECT_EQ(parentMessagesAtReturn, 1u) << "posted: not there yet";
    ASSERT_TRUE(PumpMessagesUntil([&] { return parent.messages.size() == 2; }, 5000));
    Mouse(WM_LBUTTONUP, 0, 250);
    ASSERT_TRUE(PumpMessagesUntil([&] { return parent.messages.size() == 3; }, 5000));
    EXPECT_EQ(parent.messages.back(), (Message{WM_WAVEGRAPH_SELCHANGE, 625, 625}));
    graph.Clear(true);
    EXPECT_FALSE(graph.CanZoom());
}

// 512 pixels over 4096 samples: each pixel shows eight raw samples that the
// parent supplies; without them, the overview's columns.
TEST_F(WaveGraphTest, ZoomedInTheParentSuppliesRawSamples) {
    Make(512, 256);
    const int total = 100000; // 40 samples a column
    parent.recording = Random(size_t(total) * 2, 127, 4);
    const std::vector<int> bytes = SampleBytes(parent.recording, 2);
    ASSERT_TRUE(graph.Init(total, 2, kRate, false));
    graph.AddWaveData(parent.recording.data(), total);
    parent.messages.clear();

    graph.ZoomMS(2500, 3012); // samples 20000 to 24096
    int first = 0, end = 0, all = 0;
    graph.GetVisible(first, end, all);
    EXPECT_EQ(std::make_tuple(first, end, all), std::make_tuple(20000, 24096, total));
    ASSERT_EQ(parent.requests, (std::vector<Message>{{WM_WAVEGRAPH_DATAREQUEST, 40000, 8192}}));
    EXPECT_EQ(parent.messages, (std::vector<Message>{{WM_WAVEGRAPH_SELCHANGE, 2500, 2500}}));
    std::vector<Extent> expected(512);
    for (size_t x = 0; x < 512; ++x) expected[x] = ExtentOf(bytes, 20000 + 8 * x, 20000 + 8 * x + 8);
    graph.SetSelection(-1, -1);
    graph.SetPositionMS(-1);
    EXPECT_EQ(PaintedColumns(), expected);

    // Selecting inside the zoomed view maps the pointer over the visible range.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 64);
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, 128);
    Mouse(WM_LBUTTONUP, 0, 128);
    int start = 0, stop = 0;
    graph.GetSelection(start, stop);
    EXPECT_EQ(std::make_pair(start, stop), std::make_pair(20512, 21024));
    controltest::DrainMessages();
    EXPECT_EQ(PixelOf(graph, 63, 2), kBackground);
    EXPECT_EQ(PixelOf(graph, 64, 2), kSelection);

    // The parent has nothing: each pixel shows the overview column under it.
    parent.answer = 0;
    graph.ZoomMS(2500, 3012);
    graph.SetSelection(-1, -1);
    graph.SetPositionMS(-1);
    for (size_t x = 0; x < 512; ++x) {
        const size_t column = (20000 + 8 * x) / 40;
        expected[x] = ExtentOf(bytes, column * 40, column * 40 + 40);
    }
    EXPECT_EQ(PaintedColumns(), expected);

    graph.ZoomOff();
    graph.GetVisible(first, end, all);
    EXPECT_EQ(std::make_tuple(first, end, all), std::make_tuple(0, total, total));
    EXPECT_EQ(parent.requests.size(), 2u) << "the whole recording needs no raw samples";
    graph.ZoomMS(3000, 3000);
    graph.GetVisible(first, end, all);
    EXPECT_EQ(std::make_pair(first, end), std::make_pair(0, total)) << "an empty range is no zoom";
}
