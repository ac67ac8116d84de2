#include <zep3/zep3.h>

#include "platform/Canvas.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

// Opens the protected handle operations, as a derived shape does.
class Tracker : public CHandleTracker {
public:
    using CHandleTracker::AddHandle;
    using CHandleTracker::GetHitHandle;
    using CHandleTracker::InsertHandle;
    using CHandleTracker::RemoveHandle;
    using CHandleTracker::Reset;
    using CHandleTracker::SetHandlePosition;

    Tracker() = default;
    Tracker(std::initializer_list<CPoint> points) {
        for (const CPoint& p : points) AddHandle(p);
    }
    CRect Square(int i) const { return m_HandleRects[i]; }
    const LOGFONT& NameFont() const { return m_NameFont; }
    COLORREF FrameColor() const { return GetFrameColor(); }
};

const COLORREF kWhite = RGB(255, 255, 255), kGreen = 0x00FF00, kRed = 0x0000FF, kBlue = 0xFF0000;

// A one-pixel frame of r in colour c, and white inside it unless `hollow` is false.
void ExpectFrame(const Canvas& canvas, const CRect& r, COLORREF c, bool hollow = true) {
    for (int x = r.left; x < r.right; ++x) {
        EXPECT_EQ(canvas.At(x, r.top), c) << x << "," << r.top;
        EXPECT_EQ(canvas.At(x, r.bottom - 1), c) << x << "," << r.bottom - 1;
    }
    for (int y = r.top; y < r.bottom; ++y) {
        EXPECT_EQ(canvas.At(r.left, y), c) << r.left << "," << y;
        EXPECT_EQ(canvas.At(r.right - 1, y), c) << r.right - 1 << "," << y;
    }
    for (int y = r.top + 1; hollow && y < r.bottom - 1; ++y)
        for (int x = r.left + 1; x < r.right - 1; ++x) EXPECT_EQ(canvas.At(x, y), kWhite) << x << "," << y;
}

} // namespace

TEST(HandleTracker, SquaresAndHitTesting) {
    Tracker t{{10, 10}, {40, 10}};
    EXPECT_EQ(t.Square(0), CRect(7, 7, 13, 13));
    EXPECT_EQ(t.GetHitHandle({7, 10}), 0);
    EXPECT_EQ(t.GetHitHandle({13, 10}), -1) << "right edge is outside";
    EXPECT_EQ(t.GetHitHandle({10, 13}), -1) << "bottom edge is outside";
    EXPECT_EQ(t.GetHitHandle({42, 12}), 1);

    t.SetHandleSize(5);
    EXPECT_EQ(t.Square(0), CRect(8, 8, 12, 12));
    EXPECT_EQ(t.Square(1), CRect(38, 8, 42, 12));

    // Overlapping squares: the lowest index wins.
    t.InsertHandle(0, {11, 11});
    EXPECT_EQ(t.GetHitHandle({10, 10}), 0);
    EXPECT_EQ(t.GetHitHandle({8, 8}), 1);

    // Distances: to the nearest edge of the hit square, or to any edge line.
    Tracker d{{10, 10}};
    EXPECT_EQ(d.GetDist({8, 10}), 1);
    EXPECT_EQ(d.GetDist({10, 10}), 3);
    EXPECT_EQ(d.GetDist({13, 10}), -1);
    EXPECT_EQ(d.GetMinDist({10, 30}), 3) << "|x - left| counts even far below the square";
    EXPECT_EQ(d.GetMinDist({50, 60}), 37);
    EXPECT_EQ(Tracker().GetMinDist({0, 0}), 100000);
    EXPECT_EQ(Tracker().GetDist({0, 0}), -1);
}

TEST(HandleTracker, HandleListEditing) {
    Tracker t{{1, 1}, {2, 2}};
    EXPECT_FALSE(t.InsertHandle(3, {9, 9}));
    EXPECT_FALSE(t.InsertHandle(-1, {9, 9}));
    EXPECT_TRUE(t.InsertHandle(2, {3, 3})) << "count appends";
    EXPECT_TRUE(t.InsertHandle(1, {50, 50}));
    ASSERT_EQ(t.GetHandleCount(), 4);
    EXPECT_EQ(t.GetHandle(1), CPoint(50, 50));
    EXPECT_EQ(t.GetHandle(3), CPoint(3, 3));
    EXPECT_EQ(t.GetHitHandle({50, 50}), 1) << "squares follow the insertion";

    EXPECT_FALSE(t.RemoveHandle(4));
    EXPECT_TRUE(t.RemoveHandle(0));
    EXPECT_EQ(t.GetHandle(0), CPoint(50, 50));
    EXPECT_EQ(t.GetHitHandle({50, 50}), 0);
    EXPECT_EQ(t.GetHandle(3), CPoint(-1, -1));
    EXPECT_EQ(t.GetHandle(-1), CPoint(-1, -1));

    t.Reset();
    EXPECT_EQ(t.GetHandleCount(), 0);
    EXPECT_EQ(t.GetHitHandle({50, 50}), -1);
    EXPECT_FALSE(t.RemoveHandle(0));
}

TEST(HandleTracker, SelectDragDrop) {
    Tracker t{{10, 10}, {50, 50}};
    EXPECT_TRUE(t.Select({10, 10}, true));
    EXPECT_EQ(t.GetSelectedHandle(), 0);
    EXPECT_EQ(t.GetGrabbedHandle(), 0);
    EXPECT_FALSE(t.Select({11, 11}, true)) << "nothing changed";

    // Selecting another handle without grab keeps the grab.
    EXPECT_TRUE(t.Select({50, 50}, false));
    EXPECT_TRUE(t.IsHandleSelected(1));
    EXPECT_EQ(t.GetGrabbedHandle(), 0);

    EXPECT_TRUE(t.Drag({20, 30}));
    EXPECT_TRUE(t.IsDragging());
    EXPECT_EQ(t.GetHandle(0), CPoint(20, 30));
    EXPECT_EQ(t.GetHitHandle({18, 28}), 0) << "the square moved with the handle";
    EXPECT_EQ(t.GetHitHandle({10, 10}), -1);
    EXPECT_TRUE(t.Drop());
    EXPECT_FALSE(t.IsDragging());
    EXPECT_FALSE(t.Drag({0, 0})) << "nothing grabbed";

    // Empty space clears the grab; Drop without a grab still ends dragging.
    t.Select({20, 30}, true);
    t.Drag({21, 31});
    EXPECT_TRUE(t.Select({100, 100}, false));
    EXPECT_EQ(t.GetGrabbedHandle(), -1);
    EXPECT_FALSE(t.IsSelected());
    EXPECT_TRUE(t.IsDragging());
    EXPECT_FALSE(t.Drop());
    EXPECT_FALSE(t.IsDragging());

    t.Select({50, 50}, true);
    EXPECT_TRUE(t.DeSelect());
    EXPECT_FALSE(t.DeSelect());

    // A disabled tracker answers false to everything and draws nothing.
    t.Select({50, 50}, true);
    t.EnableTracker(false);
    EXPECT_FALSE(t.IsEnabled());
    EXPECT_FALSE(t.Select({21, 31}, true));
    EXPECT_FALSE(t.Drag({5, 5}));
    EXPECT_FALSE(t.Drop());
    EXPECT_EQ(t.GetHitHandle({50, 50}), -1);
    EXPECT_EQ(t.GetDist({50, 50}), -1);
    Canvas canvas(60, 60);
    EXPECT_FALSE(t.Draw(&canvas.dc, 1.0));
    EXPECT_EQ(canvas.Ink(), CRect());
    t.EnableTracker(true);
    EXPECT_TRUE(t.Drag({5, 5})) << "the grab survived the disabled period";
    EXPECT_FALSE(t.SetCursor(nullptr, 0));
}

TEST(HandleTracker, ModifiedFlag) {
    Tracker t;
    EXPECT_TRUE(t.IsModified());
    EXPECT_FALSE(t.IsModified());
    t.SetColor(kRed, 3);
    EXPECT_TRUE(t.IsModified()) << "which 3 changes nothing but still marks";
    EXPECT_EQ(t.FrameColor(), kGreen);
    t.AddHandle({5, 5});
    EXPECT_TRUE(t.IsModified());
    t.SetHandlePosition(0, {5, 5});
    EXPECT_FALSE(t.IsModified()) << "an unchanged position is no change";
    t.SetHandlePosition(0, {6, 5});
    EXPECT_TRUE(t.IsModified());
    LOGFONT font = t.NameFont();
    t.SetNameFont(font, kBlue);
    t.SetViewIndex(3);
    EXPECT_FALSE(t.IsModified());
    t.SetName("Zone");
    EXPECT_TRUE(t.IsModified());
}

TEST(HandleTracker, HighlightBlinkAndCopy) {
    Tracker t{{10, 10}};
    t.SetColor(kRed, 1);
    t.SetColor(kBlue, 2);
    EXPECT_FALSE(t.Highlight(true)) << "highlighting is off by default";
    EXPECT_FALSE(t.EnableHighlight(true));
    EXPECT_TRUE(t.Highlight(true));
    EXPECT_FALSE(t.Highlight(true));
    EXPECT_EQ(t.FrameColor(), kBlue);
    EXPECT_FALSE(t.Blink());
    EXPECT_EQ(t.FrameColor(), kRed) << "hidden blink phase";
    EXPECT_TRUE(t.Blink());
    EXPECT_TRUE(t.EnableHighlight(true));
    EXPECT_FALSE(t.IsHighlighted()) << "enabling clears the highlight";

    // Copy: shape, colours, name and view; not the selection or the states.
    t.SetName("Gate");
    t.SetViewIndex(2);
    t.SetHandleSize(10);
    t.Select({10, 10}, true);
    t.Highlight(true);
    Tracker c{{1, 1}, {2, 2}, {3, 3}};
    c.EnableTracker(false);
    c = t;
    EXPECT_EQ(c.GetHandleCount(), 1);
    EXPECT_EQ(c.Square(0), CRect(5, 5, 15, 15));
    EXPECT_EQ(c.GetName(), CString("Gate"));
    EXPECT_TRUE(c.IsProperView(2));
    EXPECT_FALSE(c.IsSelected());
    EXPECT_FALSE(c.IsHighlighted());
    EXPECT_FALSE(c.IsEnabled());
    const Tracker copy(t);
    EXPECT_EQ(copy.GetHandle(0), CPoint(10, 10));
    EXPECT_TRUE(copy.IsEnabled());
}

TEST(HandleTracker, DrawsFramesByPixel) {
    Tracker t{{10, 10}, {30, 10}};
    const LOGFONT& font = t.NameFont();
    EXPECT_EQ(font.lfHeight, -8);
    EXPECT_EQ(font.lfWeight, 400);
    EXPECT_EQ(font.lfCharSet, 238);
    EXPECT_STREQ(font.lfFaceName, "Arial");
    EXPECT_EQ(font.lfWidth + font.lfItalic + font.lfQuality + font.lfPitchAndFamily, 0);

    {
        Canvas c(40, 20);
        t.Select({30, 10}, false);
        ASSERT_TRUE(t.Draw(&c.dc, 1.0));
        ExpectFrame(c, CRect(7, 7, 13, 13), kGreen);
        // The selected handle is framed twice.
        ExpectFrame(c, CRect(27, 7, 33, 13), kGreen, false);
        ExpectFrame(c, CRect(28, 8, 32, 12), kGreen);
        EXPECT_EQ(c.Count(kGreen), 20 + 20 + 12);
    }
    {
        Canvas c(20, 20);
        t.DeSelect();
        ASSERT_TRUE(t.Draw(&c.dc, 0.5));
        ExpectFrame(c, CRect(3, 3, 6, 6), kGreen);
        EXPECT_EQ(c.Ink(), CRect(3, 3, 16, 6));
    }
    // Highlight colour in the visible blink phase, the colour in the other.
    t.SetColor(kRed, 1);
    t.SetColor(kBlue, 2);
    t.EnableHighlight(true);
    t.Highlight(true);
    for (const COLORREF expected : {kBlue, kRed}) {
        Canvas c(40, 20);
        t.Draw(&c.dc, 1.0);
        EXPECT_EQ(c.At(7, 7), expected);
        EXPECT_EQ(c.Count(expected), 40);
        t.Blink();
    }
    // An empty square (size 1: half of it is 0) is not drawn; nor is anything without a DC.
    t.SetHandleSize(1);
    Canvas c(40, 20);
    EXPECT_TRUE(t.Draw(&c.dc, 1.0));
    EXPECT_EQ(c.Ink(), CRect());
    EXPECT_FALSE(t.Draw(nullptr, 1.0));
}

TEST(HandleTracker, ExchangeRoundTripThroughTheFile) {
    zep3test::TempDir dir;
    const std::string path = dir.file("trackers.ini");
    {
        CIniFile ini(path.c_str(), false);
        CIniFile view(&ini, "Cam1\\Zone");
        Tracker t{{10, 20}, {-30, 40}};
        t.SetViewIndex(4);
        t.SetName("Brama");
        EXPECT_TRUE(t.Exchange(&view, 1));
        ASSERT_TRUE(ini.WriteIniFile(false));
    }
    const std::string text = zep3test::readFile(path);
    for (const char* line : {"Cam1\\Zone\\Handles\\[0]\\X=10", "Cam1\\Zone\\Handles\\[0]\\Y=20",
                             "Cam1\\Zone\\Handles\\[1]\\X=-30", "Cam1\\Zone\\Handles\\[1]\\Y=40",
                             "Cam1\\Zone\\ViewIndex=4", "Cam1\\Zone\\Name=Brama"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    EXPECT_EQ(text.find("[2]"), std::string::npos);

    CIniFile ini(path.c_str(), true);
    CIniFile view(&ini, "Cam1\\Zone");
    // The current handle count decides how many are read.
    Tracker r{{0, 0}, {0, 0}, {7, 7}};
    r.SetHandleSize(4);
    EXPECT_TRUE(r.Exchange(&view, 0));
    EXPECT_EQ(r.GetHandle(0), CPoint(10, 20));
    EXPECT_EQ(r.GetHandle(1), CPoint(-30, 40));
    EXPECT_EQ(r.GetHandle(2), CPoint(7, 7)) << "no item: unchanged";
    EXPECT_EQ(r.Square(1), CRect(-32, 38, -28, 42)) << "squares rebuilt after reading";
    EXPECT_EQ(r.GetViewIndex(), 4);
    EXPECT_EQ(r.GetName(), CString("Brama"));

    // No handles: false although view index and name are there.
    Tracker none;
    EXPECT_FALSE(none.Exchange(&view, 0));
    EXPECT_EQ(none.GetName(), CString("Brama"));
    // Handles without the name: false.
    CIniFile other(&ini, "Cam2");
    Tracker one{{1, 1}};
    EXPECT_FALSE(one.Exchange(&other, 0));
    EXPECT_TRUE(one.Exchange(&other, 2)) << "other modes do nothing";
    EXPECT_FALSE(one.Exchange(nullptr, 1));
}

TEST(HandleTracker, ExtremeValuesStayDefined) {
    // Handles at the ends of the int range and odd sizes: squares are
    // clamped, distances computed wide (the sanitizer build checks this).
    Tracker t{{INT32_MAX, INT32_MIN}, {0, 0}};
    t.SetHandleSize(INT32_MAX);
    EXPECT_GE(t.GetMinDist({INT32_MIN, INT32_MAX}), 0);
    EXPECT_GE(t.GetDist({0, 0}), 0);
    t.SetHandleSize(-7);
    EXPECT_EQ(t.GetHitHandle({0, 0}), -1) << "a negative size has empty squares";
    Canvas c(10, 10);
    EXPECT_TRUE(t.Draw(&c.dc, 1e300));
    EXPECT_TRUE(t.Draw(&c.dc, std::nan("")));
}
