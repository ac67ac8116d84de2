// Windows: creation and destruction order, geometry, painting, mouse
// capture and the routing of mouse input.
#include "LoopTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using looptest::DrainMessages;
using looptest::ScriptWnd;
using looptest::WindowThread;

namespace {

// Records its life in a shared log as "<name>:<event>".
class LoggingWnd : public CWnd {
public:
    LoggingWnd(std::vector<std::string>& log, std::string name) : m_log(log), m_name(std::move(name)) {}
    std::vector<HWND> childrenAliveInOnDestroy;
    std::vector<HWND> watch;
    bool deleteItself = false;
    bool refuseCreate = false;

protected:
    int OnCreate(LPCREATESTRUCT cs) override {
        m_log.push_back(m_name + ":create " + (cs->lpszName ? cs->lpszName : ""));
        return refuseCreate ? -1 : CWnd::OnCreate(cs);
    }
    void OnSize(UINT, int cx, int cy) override {
        m_log.push_back(m_name + ":size " + std::to_string(cx) + "x" + std::to_string(cy));
    }
    void OnDestroy() override {
        m_log.push_back(m_name + ":destroy");
        for (HWND h : watch)
            if (IsWindow(h)) childrenAliveInOnDestroy.push_back(h);
    }
    void OnNcDestroy() override { m_log.push_back(m_name + ":ncdestroy"); }
    void PostNcDestroy() override {
        m_log.push_back(m_name + ":gone");
        if (deleteItself) delete this;
    }

private:
    std::vector<std::string>& m_log;
    std::string m_name;
};

} // namespace

TEST(Wnd, CreationAndDestructionOrder) {
    std::vector<std::string> log;
    LoggingWnd parent(log, "P"), c1(log, "C1"), c2(log, "C2");
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "top", WS_OVERLAPPEDWINDOW, CRect(10, 20, 210, 120), nullptr, 0));
    ASSERT_TRUE(c1.Create(nullptr, "one", WS_VISIBLE, CRect(5, 5, 55, 25), &parent, 101));
    ASSERT_TRUE(c2.Create(nullptr, "two", WS_VISIBLE, CRect(60, 5, 90, 25), &parent, 102));
    auto* grandchild = new LoggingWnd(log, "G");
    grandchild->deleteItself = true;
    ASSERT_TRUE(grandchild->Create(nullptr, nullptr, WS_VISIBLE, CRect(1, 1, 4, 4), &c1, 103));
    HWND g = grandchild->m_hWnd;
    EXPECT_EQ((std::vector<std::string>{"P:create top", "P:size 200x100", "C1:create one", "C1:size 50x20",
                                        "C2:create two", "C2:size 30x20", "G:create ", "G:size 3x3"}),
              log);
    EXPECT_EQ(c1.GetParent(), &parent);
    EXPECT_EQ(c1.GetDlgCtrlID(), 101);
    EXPECT_EQ(CWnd::FromHandle(g), grandchild);
    EXPECT_TRUE(c1.GetStyle() & WS_CHILD) << "Create makes child windows";

    log.clear();
    parent.watch = {c1.m_hWnd, c2.m_hWnd, g};
    HWND p = parent.m_hWnd;
    ASSERT_TRUE(parent.DestroyWindow());
    // WM_DESTROY goes down from the parent while everything still exists;
    // the children are gone before the parent.
    EXPECT_EQ((std::vector<std::string>{"P:destroy", "C1:destroy", "G:destroy", "C2:destroy", "G:ncdestroy", "G:gone",
                                        "C1:ncdestroy", "C1:gone", "C2:ncdestroy", "C2:gone", "P:ncdestroy",
                                        "P:gone"}),
              log);
    EXPECT_EQ(parent.childrenAliveInOnDestroy.size(), 3u);
    EXPECT_EQ(parent.m_hWnd, nullptr);
    EXPECT_EQ(c1.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindow(p));
    EXPECT_FALSE(IsWindow(g));
    EXPECT_EQ(CWnd::FromHandle(p), nullptr);
    EXPECT_FALSE(parent.DestroyWindow());
    // Calls on a handle that is no longer a window say so through GetLastError.
    SetLastError(0);
    EXPECT_FALSE(::PostMessage(p, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0);
    EXPECT_EQ(::SetTimer(p, 1, 10, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(parent.PostMessage(WM_USER)) << "not the thread's queue";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(Wnd, RefusedCreationLeavesNoWindow) {
    std::vector<std::string> log;
    LoggingWnd wnd(log, "W");
    wnd.refuseCreate = true;
    EXPECT_FALSE(wnd.CreateEx(0, nullptr, "x", 0, CRect(0, 0, 5, 5), nullptr, 0));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ((std::vector<std::string>{"W:create x", "W:destroy", "W:ncdestroy", "W:gone"}), log);

    LoggingWnd orphan(log, "O");
    EXPECT_FALSE(orphan.Create(nullptr, nullptr, 0, CRect(0, 0, 5, 5), nullptr, 1)) << "a child needs a parent";
}

TEST(Wnd, GeometryFollowsTheParentChain) {
    ScriptWnd top, child;
    ASSERT_TRUE(top.CreateTop(CRect(100, 50, 300, 250)));
    ASSERT_TRUE(child.Create(nullptr, nullptr, WS_VISIBLE, CRect(10, 20, 60, 40), &top, 1));
    CRect r;
    child.GetClientRect(&r);
    EXPECT_EQ(r, CRect(0, 0, 50, 20));
    child.GetWindowRect(&r);
    EXPECT_EQ(r, CRect(110, 70, 160, 90));
    CPoint p(1, 2);
    child.ClientToScreen(&p);
    EXPECT_EQ(p, CPoint(111, 72));
    top.ScreenToClient(&p);
    EXPECT_EQ(p, CPoint(11, 22));

    LPARAM size = 0;
    child.Watch(WM_SIZE, [&](WPARAM, LPARAM l) { size = l; });
    child.MoveWindow(0, 0, 70, 30);
    EXPECT_EQ(size, MAKELPARAM(70, 30));
    size = 0;
    child.MoveWindow(5, 5, 70, 30);
    EXPECT_EQ(size, 0) << "a move alone sends no WM_SIZE";
    child.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW);
    EXPECT_FALSE(child.IsWindowVisible());
    EXPECT_FALSE(child.ShowWindow(SW_SHOW));
    EXPECT_TRUE(child.IsWindowVisible());
    top.ShowWindow(SW_HIDE);
    EXPECT_FALSE(child.IsWindowVisible()) << "a hidden parent hides its children";

    EXPECT_FALSE(child.EnableWindow(FALSE));
    EXPECT_FALSE(child.IsWindowEnabled());
    EXPECT_TRUE(child.EnableWindow(FALSE));
    EXPECT_TRUE(child.EnableWindow(TRUE));
    EXPECT_EQ(child.Count(WM_ENABLE), 2) << "sent on changes only";
}

TEST(Wnd, OnePaintPerBurstOfInvalidations) {
    ScriptWnd wnd;
    int paints = 0;
    CRect seen;
    wnd.Watch(WM_PAINT, [&](WPARAM, LPARAM) {
        ++paints;
        wnd.GetUpdateRect(&seen);
    });
    ASSERT_TRUE(wnd.CreateTop(CRect(0, 0, 100, 80), 0));
    DrainMessages();
    EXPECT_EQ(paints, 0) << "hidden windows are not painted";
    wnd.ShowWindow(SW_SHOW);
    DrainMessages();
    EXPECT_EQ(paints, 1);

    paints = 0;
    CRect a(10, 10, 20, 20), b(50, 40, 200, 60);
    for (int i = 0; i < 5; ++i) wnd.InvalidateRect(&a);
    wnd.InvalidateRect(&b, FALSE);
    ::PostMessage(wnd.m_hWnd, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER)) << "posted messages come before paints";
    DrainMessages();
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(seen, CRect(10, 10, 100, 60)) << "union, clipped to the client area";
    EXPECT_FALSE(wnd.GetUpdateRect(nullptr));

    // An invalidation made while painting (after BeginPaint) is not lost.
    paints = 0;
    wnd.handler = [&](UINT m, WPARAM, LPARAM, LRESULT&) {
        if (m != WM_PAINT || ++paints > 1) return false;
        CPaintDC dc(&wnd);
        wnd.Invalidate();
        return true;
    };
    wnd.Invalidate();
    DrainMessages();
    EXPECT_EQ(paints, 2);

    // UpdateWindow paints at once, and only when something is invalid.
    wnd.handler = nullptr;
    const int before = wnd.Count(WM_PAINT);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.Count(WM_PAINT), before);
    wnd.Invalidate();
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.Count(WM_PAINT), before + 1);
}

TEST(Wnd, InvalidationFromAnotherThreadWakesTheOwner) {
    // A paint counts once it has begun (the update region taken): an
    // invalidation before that merges into the paint in progress, as on
    // Windows, and would be validated with it.
    std::atomic<int> paints{0};
    WindowThread owner([&](ScriptWnd& wnd) {
        wnd.handler = [&](UINT m, WPARAM, LPARAM, LRESULT&) {
            if (m != WM_PAINT) return false;
            CPaintDC dc(&wnd);
            ++paints;
            return true;
        };
    });
    ASSERT_TRUE(PumpMessagesUntil([&] { return paints == 1; }, 5000)) << "first paint after creation";
    ASSERT_TRUE(InvalidateRect(owner.hwnd(), nullptr, TRUE));
    EXPECT_TRUE(PumpMessagesUntil([&] { return paints == 2; }, 5000));
}

TEST(Wnd, CaptureAndItsLoss) {
    ScriptWnd a, b;
    ASSERT_TRUE(a.CreateTop(CRect(0, 0, 10, 10)));
    ASSERT_TRUE(b.CreateTop(CRect(0, 0, 10, 10)));
    std::vector<LPARAM> aLost, bLost;
    a.Watch(WM_CAPTURECHANGED, [&](WPARAM, LPARAM l) { aLost.push_back(l); });
    b.Watch(WM_CAPTURECHANGED, [&](WPARAM, LPARAM l) { bLost.push_back(l); });
    EXPECT_EQ(a.SetCapture(), nullptr);
    EXPECT_EQ(CWnd::GetCapture(), &a);
    EXPECT_EQ(b.SetCapture(), &a);
    EXPECT_EQ(aLost, (std::vector<LPARAM>{reinterpret_cast<LPARAM>(b.m_hWnd)}));
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(bLost, (std::vector<LPARAM>{0}));
    EXPECT_EQ(GetCapture(), nullptr);

    a.SetCapture();
    a.DestroyWindow();
    EXPECT_EQ(aLost.size(), 2u) << "destroying the capture window releases it";
    EXPECT_EQ(GetCapture(), nullptr);

    WindowThread other;
    EXPECT_EQ(SetCapture(other.hwnd()), nullptr) << "only windows of the calling thread";
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST(Wnd, MouseInputGoesToTheChildUnderItOrToTheCapture) {
    ScriptWnd top, left, right;
    ASSERT_TRUE(top.CreateTop(CRect(0, 0, 100, 50)));
    ASSERT_TRUE(left.Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 50, 50), &top, 1));
    ASSERT_TRUE(right.Create(nullptr, nullptr, WS_VISIBLE, CRect(50, 0, 100, 50), &top, 2));
    std::vector<std::string> seen;
    auto recorder = [&](const char* name) {
        return [&seen, name](UINT m, WPARAM w, LPARAM l, LRESULT&) {
            if (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST)
                seen.push_back(std::string(name) + " " + std::to_string(m) + " " + std::to_string(w) + " " +
                               std::to_string(GET_X_LPARAM(l)) + "," + std::to_string(GET_Y_LPARAM(l)));
            return false;
        };
    };
    top.handler = recorder("top");
    left.handler = recorder("left");
    right.handler = recorder("right");
    DrainMessages();

    auto expectSeen = [&](std::vector<std::string> expected) {
        DrainMessages();
        EXPECT_EQ(seen, expected);
        seen.clear();
    };
    ASSERT_TRUE(PostMouseInput(top.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, CPoint(60, 10)));
    expectSeen({"right 513 1 10,10"});
    EXPECT_EQ(right.received.at(right.received.size() - 2), UINT(WM_SETCURSOR)) << "the cursor is chosen first";
    CPoint cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor, CPoint(60, 10));

    right.SetCapture();
    ASSERT_TRUE(PostMouseInput(top.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, CPoint(20, 5)));
    expectSeen({"right 512 1 -30,5"});
    ReleaseCapture();

    left.EnableWindow(FALSE);
    ASSERT_TRUE(PostMouseInput(top.m_hWnd, WM_LBUTTONUP, 0, CPoint(20, 5)));
    expectSeen({"top 514 0 20,5"});
    top.EnableWindow(FALSE);
    EXPECT_FALSE(PostMouseInput(top.m_hWnd, WM_LBUTTONUP, 0, CPoint(20, 5))) << "disabled windows get no input";
    EXPECT_FALSE(PostMouseInput(top.m_hWnd, WM_USER, 0, CPoint(20, 5)));
}

TEST(Wnd, ClassCursorIsSetByTheDefaultHandling) {
    WNDCLASS wc = {};
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.hCursor = LoadCursor(nullptr, IDC_CROSS);
    wc.lpszClassName = "Zep3TestClass";
    ASSERT_TRUE(AfxRegisterClass(&wc));
    EXPECT_TRUE(AfxRegisterClass(&wc)) << "registered already is fine";
    EXPECT_EQ(RegisterClass(&wc), 0) << "but not twice by RegisterClass";
    WNDCLASS found;
    ASSERT_TRUE(GetClassInfo(nullptr, "ZEP3TESTCLASS", &found));
    EXPECT_EQ(found.style, wc.style);

    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, "Zep3TestClass", nullptr, WS_VISIBLE, CRect(0, 0, 20, 20), nullptr, 0));
    char name[64];
    EXPECT_EQ(GetClassName(wnd.m_hWnd, name, sizeof name), 13);
    EXPECT_STREQ(name, "Zep3TestClass");
    SetCursor(nullptr);
    ASSERT_TRUE(PostMouseInput(wnd.m_hWnd, WM_MOUSEMOVE, 0, CPoint(3, 3)));
    DrainMessages();
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_CROSS));
    EXPECT_NE(LoadCursor(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadCursor(nullptr, MAKEINTRESOURCE(1)), nullptr);
}

TEST(Wnd, DestroyingTheMainWindowEndsTheLoop) {
    ScriptWnd main;
    ASSERT_TRUE(main.CreateTop(CRect(0, 0, 10, 10), 0));
    AfxSetMainWnd(&main);
    EXPECT_EQ(AfxGetMainWnd(), &main);
    ::PostMessage(main.m_hWnd, WM_CLOSE, 0, 0);
    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0) > 0) DispatchMessage(&msg);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(main.m_hWnd, nullptr) << "WM_CLOSE destroys by default";
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
}
