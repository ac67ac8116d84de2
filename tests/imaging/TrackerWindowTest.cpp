// Trackers driven by real window messages: a view window routes the mouse to
// its trackers the way an application's picture view does (select and grab
// on button down with the mouse captured, drag on moves with the button held,
// drop on button up, cursor shapes on WM_SETCURSOR).
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// A box given by two corner handles that can also be taken by its inside
// and moved whole: the shape a derived tracker builds on the base.
class BoxTracker : public CHandleTracker {
public:
    explicit BoxTracker(const CRect& box) {
        AddHandle(box.TopLeft());
        AddHandle(box.BottomRight());
    }
    CRect Box() const { return CRect(GetHandle(0), GetHandle(1)); }
    bool IsMoving() const { return m_bMoving; }

    bool Select(const CPoint& point, bool grab) override {
        if (!IsEnabled()) return false;
        if (CHandleTracker::Select(point, grab)) return true;
        const bool inside = GetSelectedHandle() == -1 && Box().PtInRect(point);
        const bool changed = inside != m_bInside || (inside && grab) != m_bMoving;
        m_bInside = inside;
        m_bMoving = inside && grab;
        m_GrabOffset = point - Box().TopLeft();
        return changed;
    }
    bool DeSelect() override {
        const bool changed = CHandleTracker::DeSelect() || m_bInside || m_bMoving;
        m_bInside = m_bMoving = false;
        return changed;
    }
    bool IsSelected() override { return CHandleTracker::IsSelected() || m_bInside; }
    bool Drag(const CPoint& point) override {
        if (!m_bMoving) return CHandleTracker::Drag(point);
        const CSize shift = point - m_GrabOffset - Box().TopLeft();
        m_bDragging = true;
        SetHandlePosition(0, HandlePoint(0) + shift);
        SetHandlePosition(1, HandlePoint(1) + shift);
        return true;
    }
    bool Drop() override {
        const bool wasMoving = m_bMoving;
        m_bMoving = false;
        return CHandleTracker::Drop() || wasMoving;
    }
    int GetDist(const CPoint& point) override {
        const int onHandle = CHandleTracker::GetDist(point);
        if (onHandle >= 0) return onHandle;
        const CRect b = Box();
        if (!b.PtInRect(point)) return -1;
        return std::min(std::min(point.x - b.left, b.right - point.x), std::min(point.y - b.top, b.bottom - point.y));
    }
    bool SetCursor(CWnd*, UINT) override {
        if (!m_bInside) return false;
        ::SetCursor(LoadCursor(nullptr, IDC_SIZEALL));
        return true;
    }

private:
    bool m_bInside = false;
    bool m_bMoving = false;
    CSize m_GrabOffset;
};

// A picture view: routes the left button and moves to its trackers.
class TrackerView : public CWnd {
public:
    std::vector<CHandleTracker*> trackers;
    int mouseMessages = 0;
    int changes = 0;
    int drops = 0;

protected:
    void OnLButtonDown(UINT, CPoint point) override {
        SetCapture();
        for (CHandleTracker* t : trackers) changes += t->Select(point, true) ? 1 : 0;
        ++mouseMessages;
    }
    void OnMouseMove(UINT flags, CPoint point) override {
        for (CHandleTracker* t : trackers)
            if (flags & MK_LBUTTON ? t->Drag(point) : t->Select(point, false)) {
                ++changes;
                break;
            }
        ++mouseMessages;
    }
    void OnLButtonUp(UINT, CPoint) override {
        for (CHandleTracker* t : trackers)
            if (t->Drop()) {
                ++drops;
                break;
            }
        ReleaseCapture();
        ++mouseMessages;
    }
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override {
        for (CHandleTracker* t : trackers)
            if (t->SetCursor(this, hitTest)) return TRUE;
        return CWnd::OnSetCursor(wnd, hitTest, message);
    }
};

class TrackerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(view.CreateEx(0, nullptr, "picture", WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
        view.trackers = {&box};
    }
    // Posts one mouse message as the window system would and pumps the loop
    // until the view has handled it.
    void Mouse(UINT message, UINT keys, CPoint point) {
        const int before = view.mouseMessages;
        ASSERT_TRUE(PostMouseInput(view.m_hWnd, message, keys, point));
        ASSERT_TRUE(PumpMessagesUntil([&] { return view.mouseMessages > before; }, 5000));
    }

    TrackerView view;
    BoxTracker box{CRect(50, 50, 150, 120)};
};

} // namespace

TEST_F(TrackerWindow, DragAHandleThenTheWholeShape) {
    // Button down on the bottom-right handle grabs it and captures the mouse.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(151, 121));
    EXPECT_EQ(box.GetGrabbedHandle(), 1);
    EXPECT_EQ(GetCapture(), view.m_hWnd);
    // Moves with the button held drag it, even outside the window.
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, CPoint(200, 150));
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, CPoint(320, 160));
    EXPECT_TRUE(box.IsDragging());
    EXPECT_EQ(box.Box(), CRect(50, 50, 320, 160));
    Mouse(WM_LBUTTONUP, 0, CPoint(320, 160));
    EXPECT_EQ(view.drops, 1);
    EXPECT_FALSE(box.IsDragging());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(box.GetGrabbedHandle(), -1);
    EXPECT_TRUE(box.IsHandleSelected(1)) << "the handle stays selected after the drop";

    // Hovering keeps the selection up to date (off the handle now); button
    // down inside then takes the whole shape, and a move shifts both corners.
    Mouse(WM_MOUSEMOVE, 0, CPoint(100, 100));
    EXPECT_EQ(box.GetSelectedHandle(), -1);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(100, 100));
    EXPECT_TRUE(box.IsMoving());
    EXPECT_TRUE(box.IsSelected());
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, CPoint(90, 80));
    EXPECT_EQ(box.Box(), CRect(40, 30, 310, 140));
    Mouse(WM_LBUTTONUP, 0, CPoint(90, 80));
    EXPECT_EQ(view.drops, 2);
    EXPECT_FALSE(box.IsMoving());

    // Hovering asks the trackers for the cursor before the move arrives.
    Mouse(WM_MOUSEMOVE, 0, CPoint(100, 100));
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZEALL));

    // A click on empty space deselects.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(5, 190));
    Mouse(WM_LBUTTONUP, 0, CPoint(5, 190));
    EXPECT_FALSE(box.IsSelected());
    EXPECT_EQ(view.drops, 2) << "nothing was grabbed";
}

TEST_F(TrackerWindow, HitTestsByHandleAndInside) {
    // Sent directly, as SendMessage delivers it to the window procedure.
    ::SendMessage(view.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(48, 52));
    EXPECT_EQ(box.GetSelectedHandle(), 0) << "top-left handle square (47, 47, 53, 53)";
    ::SendMessage(view.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(48, 52));

    EXPECT_EQ(box.GetDist(CPoint(48, 52)), 1) << "on a handle: to its square's nearest edge";
    EXPECT_EQ(box.GetDist(CPoint(100, 60)), 10) << "inside: to the box's nearest edge";
    EXPECT_EQ(box.GetDist(CPoint(10, 10)), -1);

    // A disabled tracker ignores the mouse.
    box.EnableTracker(false);
    const int before = view.changes;
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(150, 120));
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, CPoint(170, 130));
    Mouse(WM_LBUTTONUP, 0, CPoint(170, 130));
    EXPECT_EQ(view.changes, before);
    EXPECT_EQ(box.Box(), CRect(50, 50, 150, 120));
}
