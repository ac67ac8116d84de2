#include <zep3/zep3.h>

#include "platform/Canvas.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// Opens the protected handle calls, as a derived shape uses them.
class Tracker : public CHandleTracker {
public:
    using CHandleTracker::GetHitHandle;
    using CHandleTracker::InsertHandle;
    using CHandleTracker::RemoveHandle;
    Tracker(std::initializer_list<CPoint> points = {}) {
        for (const CPoint& p : points) AddHandle(p);
    }
    CRect Square(int i) const { return m_HandleRects[i]; }
};

const COLORREF kGreen = 0x00FF00;

} // namespace

TEST(HandleTracker, SquaresHitsAndGrabRules) {
    Tracker t{{10, 10}, {40, 10}};
    EXPECT_EQ(t.Square(0), CRect(7, 7, 13, 13));
    EXPECT_EQ(t.GetHitHandle({13, 10}), -1) << "right and bottom edges are outside";
    EXPECT_EQ(t.GetMinDist({10, 30}), 3) << "per axis, to the edge lines";
    t.SetHandleSize(5);
    // Squares follow insertions and removals; overlaps go to the lowest index.
    EXPECT_FALSE(t.InsertHandle(3, {0, 0}));
    EXPECT_TRUE(t.InsertHandle(0, {11, 11}));
    EXPECT_EQ(t.GetHitHandle({8, 8}), 1);
    EXPECT_TRUE(t.RemoveHandle(0));
    EXPECT_EQ(t.GetHitHandle({8, 8}), 0);

    EXPECT_TRUE(t.Select({10, 10}, true) && t.Select({40, 10}, false));
    EXPECT_EQ(t.GetGrabbedHandle(), 0) << "selecting without grab keeps the grab";
    EXPECT_TRUE(t.Select({100, 100}, false));
    EXPECT_EQ(t.GetGrabbedHandle(), -1) << "empty space clears the grab";
    EXPECT_FALSE(t.Drop() || t.IsDragging());
    t.Select({40, 10}, true);
    t.EnableTracker(false);
    EXPECT_EQ(t.GetDist({40, 10}), -1);
    t.EnableTracker(true);
    EXPECT_TRUE(t.Drag({5, 5}) && t.Drop()) << "the grab survives";
    t.EnableTracker(false);
    EXPECT_FALSE(t.Select({5, 5}, true) || t.Drag({0, 0}) || t.Drop()) << "a disabled tracker takes nothing";
    EXPECT_EQ(t.GetHandle(1), CPoint(5, 5));
}

TEST(HandleTracker, ModifiedFlagHighlightAndCopy) {
    Tracker t{{10, 10}};
    EXPECT_TRUE(t.IsModified());
    EXPECT_FALSE(t.IsModified()) << "reading clears it";
    EXPECT_FALSE(t.Highlight(true)) << "off until enabled";
    EXPECT_FALSE(t.EnableHighlight(true));
    EXPECT_TRUE(t.Highlight(true));
    EXPECT_TRUE(t.EnableHighlight(true));
    EXPECT_FALSE(t.IsHighlighted()) << "enabling clears the highlight";
    t.Select({10, 10}, true);
    Tracker c{{1, 1}, {2, 2}};
    c.EnableTracker(false);
    c = t;
    EXPECT_EQ(c.GetHandleCount(), 1);
    EXPECT_FALSE(c.IsSelected() || c.IsEnabled()) << "states are not copied";
}

TEST(HandleTracker, DrawsFramesByPixel) {
    Tracker t{{10, 10}, {30, 10}};
    Canvas c(40, 20);
    t.Select({30, 10}, false);
    ASSERT_TRUE(t.Draw(&c.dc, 1.0));
    EXPECT_EQ(c.Count(kGreen), 20 + 20 + 12) << "two 6 x 6 frames and the selected one's inner frame";
    EXPECT_TRUE(c.At(7, 7) == kGreen && c.At(12, 12) == kGreen && c.At(8, 8) != kGreen);
    EXPECT_TRUE(c.At(28, 8) == kGreen && c.At(31, 11) == kGreen && c.At(29, 9) != kGreen);

    Canvas half(20, 20);
    t.DeSelect();
    ASSERT_TRUE(t.Draw(&half.dc, 0.5));
    EXPECT_EQ(half.Ink(), CRect(3, 3, 16, 6)) << "(7, 7, 13, 13) x 0.5 is (3, 3, 6, 6)";

    // Extreme zooms and sizes stay defined (the sanitizer build checks).
    t.InsertHandle(0, {INT32_MAX, INT32_MIN});
    t.SetHandleSize(INT32_MAX);
    EXPECT_GE(t.GetMinDist({INT32_MIN, INT32_MAX}), 0);
    EXPECT_TRUE(t.Draw(&c.dc, 1e300) && t.Draw(&c.dc, std::nan("")));
    EXPECT_FALSE(t.Draw(nullptr, 1.0));
}

// The whole round trip of every tracker kind is the module settings test's;
// here what only the base decides.
TEST(HandleTracker, ExchangeReadsAsManyHandlesAsItHas) {
    zep3test::TempDir dir;
    CIniFile ini(dir.file("trackers.ini").c_str(), false), view(&ini, "Cam1\\Zone"), other(&ini, "Cam2");
    Tracker t{{10, 20}, {-30, 40}};
    EXPECT_TRUE(t.Exchange(&view, 1));
    Tracker r{{0, 0}, {0, 0}, {7, 7}};
    EXPECT_TRUE(r.Exchange(&view, 0));
    EXPECT_TRUE(r.GetHandle(1) == CPoint(-30, 40) && r.GetHandle(2) == CPoint(7, 7));
    EXPECT_EQ(r.Square(1), CRect(-33, 37, -27, 43)) << "squares rebuilt";
    EXPECT_FALSE(Tracker().Exchange(&view, 0)) << "no handles: false though the rest is there";
    Tracker one{{1, 1}};
    EXPECT_FALSE(one.Exchange(&other, 0) || one.Exchange(nullptr, 1));
    EXPECT_TRUE(one.Exchange(&other, 2));
}
