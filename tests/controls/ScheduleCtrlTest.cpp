// The weekly schedule control driven by real mouse messages: its model,
// the merge of dragged selections against a minute-by-minute reference, and
// its painting, headless and on an X server.
#include "ControlTestSupport.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <random>
#include <vector>

using controltest::PixelOf;

namespace {

// Layout of a 374 x 405 control: a 16-pixel hour (8 pixels a half hour) and
// a 50-pixel day, the grid from (22, 19).
const int kWidth = 374, kHeight = 405;
const int kGridLeft = 22, kGridTop = 19, kHour = 16, kDay = 50;
const COLORREF kFace = RGB(212, 208, 200);

using Schedule = controltest::Counting<CScheduleCtrl>;

// A point inside half hour `granule` (0..47) of `day`.
CPoint At(int day, int granule, int dx = 25, int dy = 4) {
    return CPoint(kGridLeft + day * kDay + dx, kGridTop + granule * kHour / 2 + dy);
}

class ScheduleTest : public ::testing::Test {
protected:
    controltest::HeadlessScreen display; // first made, last gone
    CWnd dialog;
    Schedule schedule;

    void SetUp() override {
        ASSERT_TRUE(dialog.CreateEx(0, nullptr, "dialog", WS_VISIBLE, CRect(0, 0, kWidth, kHeight), nullptr, 0));
        ASSERT_TRUE(schedule.Create(&dialog, CRect(0, 0, kWidth, kHeight), 100, WS_VISIBLE));
    }
    void TearDown() override { dialog.DestroyWindow(); }

    // Posts a drag as the window system delivers it (the moves between) and
    // pumps until the button-up has been handled.
    void Drag(CPoint from, CPoint to, const std::vector<CPoint>& between = {}) {
        const int ups = schedule.counts[WM_LBUTTONUP];
        ASSERT_TRUE(PostMouseInput(schedule.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, from));
        for (CPoint p : between) ASSERT_TRUE(PostMouseInput(schedule.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, p));
        ASSERT_TRUE(PostMouseInput(schedule.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, to));
        ASSERT_TRUE(PostMouseInput(schedule.m_hWnd, WM_LBUTTONUP, 0, to));
        ASSERT_TRUE(PumpMessagesUntil([&] { return schedule.counts[WM_LBUTTONUP] > ups; }, 5000));
    }
    std::vector<CPeriod> Day(int day) const {
        std::vector<CPeriod> out(size_t(schedule.GetPeriodCount(day)));
        for (int i = 0; i < int(out.size()); ++i)
            EXPECT_TRUE(schedule.GetPeriodData(day, i, out[i].start, out[i].end, out[i].type));
        return out;
    }
};

using Periods = std::vector<CPeriod>;

} // namespace

// Beside CPeriod, where the comparisons look for them.
static bool operator==(const CPeriod& a, const CPeriod& b) {
    return a.start == b.start && a.end == b.end && a.type == b.type;
}
static std::ostream& operator<<(std::ostream& os, const CPeriod& p) {
    return os << "{" << p.start << ", " << p.end << ", " << p.type << "}";
}

TEST_F(ScheduleTest, ModelCallsAndTheirLimits) {
    EXPECT_TRUE(schedule.AddPeriod(0, 600, 480, 3)) << "no check of the times";
    EXPECT_TRUE(schedule.AddPeriod(0, 0, 1440, 3)) << "nor of overlaps";
    EXPECT_FALSE(schedule.AddPeriod(7, 0, 30, 3));
    int s = -9, e = -9, t = -9;
    EXPECT_FALSE(schedule.GetPeriodData(0, 2, s, e, t)) << "index equal to the count";
    EXPECT_EQ(Day(0), (Periods{{600, 480, 3}, {0, 1440, 3}}));
    // DeleteType takes the type's periods with it; ResetContent the types too.
    schedule.SetTypeColor(3, RGB(1, 2, 3));
    schedule.SetTypeColor(-1, RGB(255, 255, 255));
    schedule.DeleteType(3);
    EXPECT_EQ(schedule.GetPeriodCount(0), 0);
    schedule.ResetContent();
    EXPECT_FALSE(schedule.TypeExists(-1));
}

TEST_F(ScheduleTest, DragsBeforeTheFirstPaintSelectWholeHalfHours) {
    schedule.SetTypeColor(1, RGB(0, 128, 255));
    schedule.SelectNewPeriod(1);
    // Nothing has been painted: the grid comes from creation.
    Drag(At(2, 16), At(2, 16)); // one click inside 08:00-08:30
    EXPECT_EQ(schedule.paints, 0);
    EXPECT_EQ(Day(2), (Periods{{480, 510, 1}}));
    EXPECT_EQ(GetCapture(), nullptr);
    Drag(At(1, 18, 25, 0), At(1, 18, 25, 0)); // on the line of 09:00: the half hour after it
    EXPECT_EQ(Day(1), (Periods{{540, 570, 1}}));
    // Starting below the grid, and from the header strip (the day starts at 0).
    Drag(CPoint(At(4, 0).x, kHeight + 10), CPoint(At(4, 0).x, kHeight + 10));
    EXPECT_EQ(Day(4), (Periods{{1410, 1440, 1}}));
    Drag(CPoint(At(5, 0).x, 5), At(5, 1));
    EXPECT_EQ(Day(5), (Periods{{0, 60, 1}}));
    // Inside a period of the same type nothing changes, even where a
    // neighbour of that type touches it (loaded so, later in the day's list).
    schedule.AddPeriod(6, 600, 720, 1);
    schedule.AddPeriod(6, 480, 600, 1);
    Drag(At(6, 20), At(6, 21));
    EXPECT_EQ(Day(6), (Periods{{600, 720, 1}, {480, 600, 1}}));
}

TEST_F(ScheduleTest, NoDragWithoutEditModeAColouredTypeOrAGrid) {
    schedule.SetTypeColor(1, RGB(0, 128, 255));
    Drag(At(0, 2), At(0, 4));
    EXPECT_EQ(schedule.GetPeriodCount(0), 0) << "not editable before SelectNewPeriod";
    schedule.SelectNewPeriod(5);
    Drag(At(0, 2), At(0, 4));
    EXPECT_EQ(schedule.GetPeriodCount(0), 0) << "type 5 has no colour";
    schedule.SelectNewPeriod(1);
    schedule.DeleteType(1);
    schedule.SetTypeColor(1, RGB(0, 128, 255));
    Drag(At(0, 2), At(0, 4));
    EXPECT_EQ(schedule.GetPeriodCount(0), 0) << "DeleteType ends edit mode";

    // A window too small for a grid takes no drag and divides by nothing.
    schedule.SelectNewPeriod(1);
    schedule.MoveWindow(0, 0, 0, 0);
    Drag(CPoint(0, 0), CPoint(0, 0));
    for (int day = 0; day < 7; ++day) EXPECT_EQ(schedule.GetPeriodCount(day), 0);
}

// Thousands of random drags of random types over random existing periods,
// each checked minute by minute against a reference that paints the dragged
// rectangle of half hours and days into a plain array.
TEST_F(ScheduleTest, RandomDragsMatchAMinuteByMinuteReference) {
    const int kNone = INT_MIN;
    std::mt19937 random(20);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const std::vector<int> coloured{-1, 0, 1, 2, 3}, types{-1, 0, 1, 2, 3, 7, -7}, initial{0, 1, 2, 7, -7};
    std::vector<std::vector<int>> reference(7, std::vector<int>(1440, kNone));

    // Each day: random periods at any minute or at half hours (where drags
    // meet their ends), apart or touching but never touching one of their own
    // type, added in a shuffled order.
    for (int day = 0; day < 7; ++day) {
        const int step = day % 2 ? 1 : 30;
        std::vector<CPeriod> periods;
        for (int start = step * uniform(0, 200 / step); start < 1440;) {
            const int end = std::min(1440, start + step * uniform(1, 300 / step));
            const int type = initial[size_t(uniform(0, int(initial.size()) - 1))];
            if (!periods.empty() && periods.back().end == start && periods.back().type == type) periods.back().end = end;
            else periods.push_back(CPeriod{start, end, type});
            start = end + uniform(0, 1) * step * uniform(1, 60 / step);
        }
        std::shuffle(periods.begin(), periods.end(), random);
        for (const CPeriod& p : periods) {
            schedule.AddPeriod(day, p.start, p.end, p.type);
            std::fill(reference[day].begin() + p.start, reference[day].begin() + p.end, p.type);
        }
    }
    for (int t : coloured) schedule.SetTypeColor(t, RGB(40 * (t + 2), 0, 0));

    // A point in half hour g (-1 above the grid, 48 below it) and day d (-1
    // left of the grid, 7 right of it), with the half hour and day it selects.
    struct Place {
        CPoint point;
        int granule, day;
    };
    auto place = [&] {
        const int g = uniform(-1, 48), d = uniform(-1, 7);
        const int y = g < 0 ? uniform(-30, kGridTop - 1) : g > 47 ? uniform(kGridTop + 24 * kHour, kHeight + 30)
                                                                  : kGridTop + g * kHour / 2 + uniform(1, 7);
        const int x = d < 0 ? uniform(-80, kGridLeft - 1) : d > 6 ? uniform(kGridLeft + 7 * kDay, kWidth + 80)
                                                                  : kGridLeft + d * kDay + uniform(0, kDay - 1);
        return Place{CPoint(x, y), g, std::clamp(d, 0, 6)};
    };

    for (int drag = 0; drag < 3000; ++drag) {
        if (uniform(0, 99) == 0) { // now and then a type goes and comes back
            const int t = coloured[size_t(uniform(1, int(coloured.size()) - 1))];
            schedule.DeleteType(t);
            for (auto& minutes : reference) std::replace(minutes.begin(), minutes.end(), t, kNone);
            schedule.SetTypeColor(t, RGB(40 * (t + 2), 0, 0));
        }
        const int type = types[size_t(uniform(0, int(types.size()) - 1))];
        schedule.SelectNewPeriod(type);
        const Place from = place(), to = place();
        std::vector<CPoint> between(size_t(uniform(0, 2)));
        for (CPoint& p : between) p = place().point;
        Drag(from.point, to.point, between);

        if (std::count(coloured.begin(), coloured.end(), type)) {
            int start = std::clamp(30 * std::min(from.granule, to.granule), 0, 1440);
            int end = std::clamp(30 * (std::max(from.granule, to.granule) + 1), 0, 1440);
            if (start == end) { // squeezed against an end of the day: one half hour inside it
                if (end >= 30) start = end - 30;
                else end = 30;
            }
            for (int day = std::min(from.day, to.day); day <= std::max(from.day, to.day); ++day)
                std::fill(reference[day].begin() + start, reference[day].begin() + end, type == -1 ? kNone : type);
        }

        // Every day as the reference has it, with each stretch of one type
        // in one period: periods of a type that a drag meets join it.
        for (int day = 0; day < 7; ++day) {
            std::vector<int> minutes(1440, kNone);
            const Periods periods = Day(day);
            for (const CPeriod& p : periods) {
                ASSERT_TRUE(p.start >= 0 && p.start < p.end && p.end <= 1440 && p.type != -1)
                    << "drag " << drag << " day " << day << ": " << p;
                for (int m = p.start; m < p.end; ++m) {
                    ASSERT_EQ(minutes[m], kNone) << "drag " << drag << " day " << day << ": overlap at " << m;
                    minutes[m] = p.type;
                }
            }
            ASSERT_EQ(minutes, reference[day]) << "drag " << drag << " day " << day;
            for (const CPeriod& p : periods)
                ASSERT_TRUE((p.start == 0 || minutes[size_t(p.start - 1)] != p.type) &&
                            (p.end == 1440 || minutes[size_t(p.end)] != p.type))
                    << "drag " << drag << " day " << day << ": " << p << " touches one of its type";
        }
    }
}

namespace {

// A week to paint: white background, Tuesday 08:00-12:00 in blue, Wednesday
// 10:00-14:00 in pure red.
void FillForPainting(CScheduleCtrl& schedule) {
    schedule.SetTypeColor(-1, RGB(255, 255, 255));
    schedule.SetTypeColor(1, RGB(0, 128, 255));
    schedule.SetTypeColor(2, RGB(255, 0, 0));
    schedule.AddPeriod(1, 480, 720, 1);
    schedule.AddPeriod(2, 600, 840, 2);
}

// Pixels of the week above whose colour the layout fixes, away from text
// and dotted lines.
void CheckKnownPixels(const std::function<COLORREF(int, int)>& pixel) {
    EXPECT_EQ(pixel(0, 0), RGB(128, 128, 128)) << "the sunken edge";
    EXPECT_EQ(pixel(10, 10), kFace) << "the corner between the label strips";
    EXPECT_EQ(pixel(47, 54), RGB(255, 255, 255)) << "Monday 02:10, background";
    EXPECT_EQ(pixel(100, 150), RGB(0, 128, 255)) << "Tuesday 08:10";
    EXPECT_EQ(pixel(150, 182), RGB(255, 0, 0)) << "Wednesday 10:10";
    EXPECT_EQ(pixel(47, kGridTop + 3 * kHour), RGB(0xA0, 0xA0, 0xA0)) << "hour line 3";
    EXPECT_EQ(pixel(47, kGridTop + 6 * kHour), RGB(0x6E, 0x6E, 0x6E)) << "hour line 6";
    EXPECT_EQ(pixel(100, kGridTop + 8 * kHour), RGB(0xD2, 0xD2, 0xD2)) << "hour line 8, over a period";
    EXPECT_EQ(pixel(kGridLeft + 1 * kDay, 54), RGB(0x8C, 0x8C, 0x8C)) << "before Tuesday";
    EXPECT_EQ(pixel(kGridLeft + 5 * kDay, 54), RGB(0xD2, 0xD2, 0xF0)) << "before Saturday";
    EXPECT_EQ(pixel(kGridLeft + 6 * kDay, 54), RGB(0xF0, 0xD2, 0xD2)) << "before Sunday";
}

// How many pixels of the rectangle `ink` accepts.
int CountInk(const std::function<COLORREF(int, int)>& pixel, const CRect& area,
             const std::function<bool(int, int, int)>& ink) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF c = pixel(x, y);
            n += ink(GetRValue(c), GetGValue(c), GetBValue(c));
        }
    return n;
}
bool Dark(int r, int g, int b) { return r < 100 && g < 100 && b < 100; }

} // namespace

TEST_F(ScheduleTest, PaintsTheGridPeriodsLabelsAndTheDrag) {
    FillForPainting(schedule);
    controltest::DrainMessages();
    const auto pixel = [&](int x, int y) { return PixelOf(schedule, x, y); };
    CheckKnownPixels(pixel);
    EXPECT_GT(CountInk(pixel, CRect(6, kGridTop, 21, kGridTop + kHour), Dark), 5) << "hour label 00";
    EXPECT_EQ(CountInk(pixel, CRect(72, 147, 122, 160), Dark), 0) << "Tuesday's period: no times without drawHours";
    // A larger, bold hour font leaves more ink.
    const int ink = CountInk(pixel, CRect(6, kGridTop, 21, kGridTop + kHour), Dark);
    schedule.SetFontStyle(CScheduleCtrl::FONT_HOURS, -14, true);
    schedule.Invalidate();
    controltest::DrainMessages();
    EXPECT_GT(CountInk(pixel, CRect(6, kGridTop, 21, kGridTop + kHour), Dark), ink + 5);

    // While dragging (the button from the display, as a user gives it), the
    // selection shows in its plain colour with its times.
    using zep3::detail::DisplayEvent;
    schedule.SelectNewPeriod(2);
    const int paints = schedule.paints;
    display.Left(DisplayEvent::ButtonDown, At(4, 20));
    display.Left(DisplayEvent::Motion, At(4, 27));
    ASSERT_TRUE(PumpMessagesUntil([&] { return schedule.counts[WM_MOUSEMOVE] > 0 && schedule.paints > paints; }, 5000));
    EXPECT_EQ(pixel(kGridLeft + 4 * kDay + 40, 182), RGB(255, 0, 0));
    EXPECT_GT(CountInk(pixel, CRect(kGridLeft + 4 * kDay, 179, kGridLeft + 5 * kDay, 190), Dark), 5) << "10:00";
    EXPECT_GT(CountInk(pixel, CRect(kGridLeft + 4 * kDay, 232, kGridLeft + 5 * kDay, 243), Dark), 5) << "14:00";
    display.Left(DisplayEvent::ButtonUp, At(4, 27));
    ASSERT_TRUE(PumpMessagesUntil([&] { return schedule.counts[WM_LBUTTONUP] > 0; }, 5000));
    EXPECT_EQ(Day(4), (Periods{{600, 840, 2}}));
    controltest::DrainMessages();
    EXPECT_EQ(CountInk(pixel, CRect(kGridLeft + 4 * kDay, 179, kGridLeft + 5 * kDay, 190), Dark), 0);
    schedule.SetDrawHours(true);
    schedule.Invalidate();
    controltest::DrainMessages();
    EXPECT_GT(CountInk(pixel, CRect(kGridLeft + 4 * kDay, 179, kGridLeft + 5 * kDay, 190), Dark), 5);

    // Disabled: every colour moved two thirds to its grey, the background the button face.
    schedule.EnableWindow(FALSE);
    schedule.Invalidate();
    controltest::DrainMessages();
    EXPECT_EQ(schedule.ColorConvert(RGB(0, 10, 20)), RGB(6, 10, 14)) << "average 10: 0 + 20 / 3, 10, 20 - 20 / 3";
    EXPECT_EQ(pixel(150, 182), RGB(142, 56, 56));
    EXPECT_EQ(pixel(47, 54), kFace);
    const CPixelSurface shown = display.Frame();
    EXPECT_TRUE(shown.IsEqual(*GetWindowSurface(dialog.m_hWnd))) << "the display shows what was painted";
}

TEST(ScheduleScreen, ShownOnAnXServerAsPainted) {
    xvfbtest::Xvfb server;
    ASSERT_TRUE(server.Ready()) << "Xvfb did not start (package xvfb)";
    xvfbtest::ScopedEnv display("DISPLAY", server.Name().c_str());
    xvfbtest::ScopedEnv shown("ZEP3_HEADLESS", nullptr);

    CWnd dialog;
    CScheduleCtrl schedule;
    ASSERT_TRUE(dialog.CreateEx(0, nullptr, "Harmonogram", 0, CRect(0, 0, kWidth, kHeight), nullptr, 0));
    ASSERT_TRUE(schedule.Create(&dialog, CRect(0, 0, kWidth, kHeight), 100, WS_VISIBLE));
    FillForPainting(schedule);
    schedule.SetDrawHours(true);
    const CPixelSurface screen = controltest::ShowAndShoot(server, dialog, kWidth, kHeight, "schedule");
    CheckKnownPixels([&](int x, int y) { return screen.GetPixel(x, y); });
    dialog.DestroyWindow();
}
