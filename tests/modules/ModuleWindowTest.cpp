// A module driven by real mouse messages through picture windows, the way
// a host's camera views route them: highlight, select, drag of a handle and
// of a whole shape, drop, the redraw requests and the cursors.
#include "TestModule.h"

#include <gtest/gtest.h>


namespace {

// The application's main window: counts the redraw requests.
class MainWnd : public CWnd {
public:
    int redraws = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_USER && wParam == 0 && lParam == 0) ++redraws;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// A camera view: mouse input in image coordinates (zoom 1) goes to the module.
class ViewWnd : public CWnd {
public:
    CModule* module = nullptr;
    int view = 0;
    int handled = 0;

protected:
    void OnMouseMove(UINT flags, CPoint point) override {
        module->Mouse(this, view, CModule::MOUSE_MOVE, flags & MK_LBUTTON ? CModule::BUTTON_LEFT : 0, point);
        ++handled;
    }
    void OnLButtonDown(UINT, CPoint point) override {
        SetCapture();
        module->Mouse(this, view, CModule::MOUSE_DOWN, CModule::BUTTON_LEFT, point);
        ++handled;
    }
    void OnLButtonUp(UINT, CPoint point) override {
        module->Mouse(this, view, CModule::MOUSE_UP, 0, point);
        ReleaseCapture();
        ++handled;
    }
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override {
        for (int i = 0; i < module->GetTrackerCount(); ++i) {
            CHandleTracker* t = module->GetTracker(i);
            if (t->IsProperView(view) && t->SetCursor(this, hitTest)) return TRUE;
        }
        return CWnd::OnSetCursor(wnd, hitTest, message);
    }
};

class ModuleWindow : public ::testing::Test {
protected:
    TestModule module;
    MainWnd main;
    ViewWnd views[2];

    void SetUp() override {
        ASSERT_TRUE(main.CreateEx(0, nullptr, "station", WS_VISIBLE, CRect(0, 0, 820, 300), nullptr, 0));
        AfxSetMainWnd(&main);
        for (int v = 0; v < 2; ++v) {
            views[v].module = &module;
            views[v].view = v;
            ASSERT_TRUE(views[v].Create(nullptr, "camera", WS_VISIBLE, CRect(v * 410, 0, v * 410 + 400, 300), &main, v));
        }
    }
    void TearDown() override {
        AfxSetMainWnd(nullptr);
        main.DestroyWindow();
    }

    // Posts mouse input to a view as the window system would and pumps until
    // the view has handled it, then serves what it posted.
    void Mouse(int v, UINT message, UINT keys, int x, int y) {
        const int before = views[v].handled;
        ASSERT_TRUE(PostMouseInput(views[v].m_hWnd, message, keys, CPoint(x, y)));
        ASSERT_TRUE(PumpMessagesUntil([&] { return views[v].handled > before; }, 5000));
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
    }
    void Hover(int v, int x, int y) { Mouse(v, WM_MOUSEMOVE, 0, x, y); }
    void Down(int v, int x, int y) { Mouse(v, WM_LBUTTONDOWN, MK_LBUTTON, x, y); }
    void Up(int v, int x, int y) { Mouse(v, WM_LBUTTONUP, 0, x, y); }
    // A drag once the click time has passed.
    void DragTo(int v, int x, int y) {
        Sleep(200);
        Mouse(v, WM_MOUSEMOVE, MK_LBUTTON, x, y);
    }
    // Presses at `from`, drags to `to` and releases there.
    void Gesture(int v, CPoint from, CPoint to) {
        Hover(v, from.x, from.y);
        Hover(v, from.x, from.y);
        Down(v, from.x, from.y);
        DragTo(v, to.x, to.y);
        Up(v, to.x, to.y);
    }
};

} // namespace

TEST_F(ModuleWindow, HighlightSelectDragDrop) {
    // Hovering selects the inside, and the change asks for a redraw.
    Hover(0, 190, 60);
    EXPECT_TRUE(module.gate.IsInsideSelected());
    EXPECT_EQ(main.redraws, 1);
    Hover(0, 190, 60);
    EXPECT_EQ(main.redraws, 1) << "nothing changed";
    // Over a corner the view shows the resize cursor.
    Hover(0, 240, 100);
    Hover(0, 240, 100);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZENWSE));

    // The press highlights and grabs, without a redraw request.
    Down(0, 240, 100);
    EXPECT_EQ(module.GetHighlightedTracker(), 1);
    EXPECT_EQ(module.gate.GetGrabbedHandle(), 2);
    EXPECT_EQ(main.redraws, 2);
    DragTo(0, 420, 320); // beyond the view: the capture still routes it
    EXPECT_EQ(module.gate.GetRect(), CRect(140, 20, 420, 320));
    DragTo(0, 270, 140);
    Up(0, 270, 140);
    EXPECT_EQ(module.gate.GetRect(), CRect(140, 20, 270, 140));
    EXPECT_EQ(main.redraws, 5);
    EXPECT_EQ(GetCapture(), nullptr);

    // The inside moves the whole rectangle; the other view's trackers stay.
    Gesture(0, {200, 80}, {210, 100});
    EXPECT_EQ(module.gate.GetRect(), CRect(150, 40, 280, 160));
    EXPECT_FALSE(module.gate.IsMoving());
    EXPECT_EQ(module.far.GetRect(), CRect(10, 10, 200, 200));

    // The zone's concave corner, then the whole zone, its region following.
    Gesture(0, {60, 70}, {90, 60});
    EXPECT_EQ(module.zone.GetHandle(2), CPoint(90, 60));
    EXPECT_EQ(module.GetHighlightedTracker(), 0);
    EXPECT_EQ(module.zone.GetRLC().GetHitID(CPoint(80, 50)), 1);
    Gesture(0, {40, 40}, {50, 45});
    EXPECT_EQ(module.zone.GetBoundRect(), CRect(30, 25, 130, 125));

    Gesture(0, {380, 60}, {390, 80});
    EXPECT_EQ(module.line.GetEnd(), CPoint(390, 80));
    Gesture(0, {300, 160}, {310, 170}); // the lane's centre carries it
    EXPECT_EQ(module.lane.GetBoundRect(), CRect(260, 150, 360, 190));

    // View 1: the perspective tracker keeps a rectangle of the ground.
    CPerspectiveCorrection ground;
    ASSERT_TRUE(ground.Init(CPoint(100, 50), CPoint(300, 50), CPoint(380, 250), CPoint(20, 250)));
    ASSERT_TRUE(module.floor.UsePerspective(&ground));
    module.far.EnableTracker(false);
    Gesture(1, {100, 100}, {120, 200});
    CMPoint x;
    ASSERT_TRUE(ground.OrthoX(x, CMPoint(0, 0), CMPoint(120, 200)));
    EXPECT_EQ(module.floor.GetHandle(1), CPoint(int(x.x), int(x.y)));
    EXPECT_EQ(module.lane.GetBoundRect(), CRect(260, 150, 360, 190)) << "view 0 untouched";
}
