// A rectangle tracker driven by real window messages, routed the way a
// picture view does: button down selects and grabs with the mouse captured,
// moves with the button held drag, button up drops.
#include <zep3/zep3.h>

#include <gtest/gtest.h>

namespace {

class TrackerView : public CWnd {
public:
    CRectangleTracker tracker;
    int handled = 0, changes = 0, drops = 0;

protected:
    void OnLButtonDown(UINT, CPoint point) override {
        SetCapture();
        changes += tracker.Select(point, true);
        ++handled;
    }
    void OnMouseMove(UINT flags, CPoint point) override {
        changes += flags & MK_LBUTTON ? tracker.Drag(point) : tracker.Select(point, false);
        ++handled;
    }
    void OnLButtonUp(UINT, CPoint) override {
        drops += tracker.Drop();
        ReleaseCapture();
        ++handled;
    }
};

} // namespace

TEST(TrackerWindow, DragACornerThenTheWholeShapeThenNothing) {
    TrackerView view;
    CRectangleTracker& box = view.tracker;
    box.SetRect(CRect(50, 50, 150, 120));
    ASSERT_TRUE(view.CreateEx(0, nullptr, "picture", WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
    // Posted as the window system delivers mouse input; pumped until handled.
    auto mouse = [&](UINT message, UINT keys, int x, int y) {
        const int before = view.handled;
        ASSERT_TRUE(PostMouseInput(view.m_hWnd, message, keys, CPoint(x, y)));
        ASSERT_TRUE(PumpMessagesUntil([&] { return view.handled > before; }, 5000));
    };
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, 151, 121);
    EXPECT_EQ(box.GetGrabbedHandle(), 2) << "square (147, 117, 153, 123)";
    EXPECT_EQ(GetCapture(), view.m_hWnd);
    mouse(WM_MOUSEMOVE, MK_LBUTTON, 200, 150);
    mouse(WM_MOUSEMOVE, MK_LBUTTON, 320, 160); // outside: the capture still routes it
    EXPECT_TRUE(box.IsDragging());
    EXPECT_EQ(box.GetRect(), CRect(50, 50, 320, 160));
    mouse(WM_LBUTTONUP, 0, 320, 160);
    EXPECT_EQ(view.drops, 1);
    EXPECT_FALSE(box.IsDragging() || GetCapture());

    // Off every handle but inside: the whole shape moves. Moving there first
    // lets go of the corner, as a real pointer does.
    mouse(WM_MOUSEMOVE, 0, 100, 100);
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, 100, 100);
    EXPECT_TRUE(box.IsMoving());
    mouse(WM_MOUSEMOVE, MK_LBUTTON, 90, 80);
    EXPECT_EQ(box.GetRect(), CRect(40, 30, 310, 140));
    mouse(WM_LBUTTONUP, 0, 90, 80);
    EXPECT_EQ(view.drops, 2);

    // Outside, or on a disabled tracker, nothing is taken.
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, 5, 190);
    EXPECT_TRUE(!box.IsMoving() && box.GetGrabbedHandle() == -1);
    box.EnableTracker(false);
    const int changes = view.changes;
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, 40, 30);
    mouse(WM_MOUSEMOVE, MK_LBUTTON, 0, 0);
    mouse(WM_LBUTTONUP, 0, 0, 0);
    EXPECT_EQ(view.changes, changes);
    EXPECT_EQ(box.GetRect(), CRect(40, 30, 310, 140));
    EXPECT_EQ(view.drops, 2);
}
