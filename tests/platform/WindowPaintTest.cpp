// Windows that paint: erase before paint, children in their place and
// clipped, partial repaints, window DCs; the same windows shown through the
// headless display back end and fed input by it, and shown in a real X
// server (Xvfb), grabbed back, and clicked through XTest.
#include "LoopTestSupport.h"
#include "XvfbServer.h"

#include <zep3/platform/detail/HeadlessDisplay.h>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>

#include <functional>
#include <string>
#include <vector>

using looptest::DrainMessages;
using zep3::detail::DisplayEvent;

namespace {

const COLORREF kParentBack = RGB(212, 208, 200); // COLOR_BTNFACE, the parent class's background
const COLORREF kChildBack = RGB(0, 0, 160);

void RegisterClasses() {
    static CBrush childBrush(kChildBack);
    WNDCLASS wc = {};
    wc.style = CS_DBLCLKS;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "Zep3PaintParent";
    AfxRegisterClass(&wc);
    wc.hbrBackground = childBrush;
    wc.lpszClassName = "Zep3PaintChild";
    AfxRegisterClass(&wc);
}

// Records "<name>:erase" and "<name>:paint" and draws with `draw` after the erase.
class PaintWnd : public CWnd {
public:
    PaintWnd(std::vector<std::string>& log, std::string name) : m_log(log), m_name(std::move(name)) {}
    std::function<void(CDC&)> draw;
    CRect lastPaint;
    std::vector<std::pair<UINT, CPoint>> clicks;
    bool closed = false;
    CSize size;

protected:
    BOOL OnEraseBkgnd(CDC* dc) override {
        m_log.push_back(m_name + ":erase");
        return CWnd::OnEraseBkgnd(dc);
    }
    void OnPaint() override {
        CPaintDC dc(this);
        m_log.push_back(m_name + ":paint");
        lastPaint = dc.m_ps.rcPaint;
        if (draw) draw(dc);
    }
    void OnLButtonDown(UINT flags, CPoint point) override { clicks.emplace_back(WM_LBUTTONDOWN | flags << 16, point); }
    void OnLButtonDblClk(UINT flags, CPoint point) override { clicks.emplace_back(WM_LBUTTONDBLCLK | flags << 16, point); }
    void OnLButtonUp(UINT flags, CPoint point) override { clicks.emplace_back(WM_LBUTTONUP | flags << 16, point); }
    void OnSize(UINT, int cx, int cy) override { size = CSize(cx, cy); }
    void OnClose() override { closed = true; }

private:
    std::vector<std::string>& m_log;
    std::string m_name;
};

// A top window (120 x 80) with a child at (20, 10)-(70, 50) whose drawing
// overflows it, and a grandchild that sticks out of the child.
struct Tree {
    std::vector<std::string> log;
    PaintWnd top{log, "top"}, child{log, "child"}, grandchild{log, "grand"};
    COLORREF topInk = RGB(255, 0, 0);

    explicit Tree(DWORD topStyle = WS_VISIBLE) {
        RegisterClasses();
        top.draw = [this](CDC& dc) { dc.FillSolidRect(0, 60, 120, 20, topInk); };
        child.draw = [](CDC& dc) {
            CPen pen(PS_SOLID, 1, RGB(255, 255, 0));
            CPen* old = dc.SelectObject(&pen);
            dc.MoveTo(-10, 5);
            dc.LineTo(200, 5); // runs past both ends of the child
            dc.SelectObject(old);
        };
        grandchild.draw = [](CDC& dc) { dc.FillSolidRect(0, 0, 100, 100, RGB(0, 255, 0)); };
        EXPECT_TRUE(top.CreateEx(0, "Zep3PaintParent", "Okno \xB9", topStyle, CRect(0, 0, 120, 80), nullptr, 0));
        EXPECT_TRUE(child.Create("Zep3PaintChild", nullptr, WS_VISIBLE, CRect(20, 10, 70, 50), &top, 1));
        EXPECT_TRUE(grandchild.Create(nullptr, nullptr, WS_VISIBLE, CRect(40, 30, 80, 60), &child, 2));
    }
    const CPixelSurface& Pixels() const { return *GetWindowSurface(top.m_hWnd); }
};

// What Tree paints, pixel by pixel.
COLORREF Expected(int x, int y) {
    if (x >= 60 && x < 70 && y >= 40 && y < 50) return RGB(0, 255, 0);  // the grandchild's visible part
    if (x >= 20 && x < 70 && y == 15) return RGB(255, 255, 0);          // the child's line, cut at its edges
    if (x >= 20 && x < 70 && y >= 10 && y < 50) return kChildBack;
    if (y >= 60) return RGB(255, 0, 0);
    return kParentBack;
}

int CountWrong(const CPixelSurface& s) {
    int wrong = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) wrong += s.GetPixel(x, y) != Expected(x, y);
    return wrong;
}

// The headless display, installed for the windows of one test.
struct InstalledDisplay : zep3::detail::HeadlessDisplay {
    InstalledDisplay() { zep3::detail::SetDisplayBackend(this); }
    ~InstalledDisplay() override { zep3::detail::SetDisplayBackend(nullptr); }
    // The frame the only shown window shows; empty when not exactly one is shown.
    CPixelSurface Frame() const {
        std::vector<Shown> shown = Windows();
        return shown.size() == 1 ? shown[0].frame : CPixelSurface();
    }
};

// What a user does to a shown Tree, whatever the display.
struct User {
    std::function<void(int x, int y, int clicks)> click; // the left button, top-window client coordinates
    std::function<void(int width, int height)> resize;
    std::function<void()> close;
};

void CheckUserInput(Tree& tree, const User& user) {
    // A press and release on the child, then a double click on the parent.
    user.click(25, 12, 1);
    ASSERT_TRUE(PumpMessagesUntil([&] { return tree.child.clicks.size() >= 2; }, 5000));
    EXPECT_EQ(tree.child.clicks[0], std::make_pair(UINT(WM_LBUTTONDOWN | MK_LBUTTON << 16), CPoint(5, 2)));
    EXPECT_EQ(tree.child.clicks[1], std::make_pair(UINT(WM_LBUTTONUP), CPoint(5, 2)));
    user.click(6, 70, 2);
    ASSERT_TRUE(PumpMessagesUntil([&] { return tree.top.clicks.size() >= 4; }, 5000));
    EXPECT_EQ(tree.top.clicks[2], std::make_pair(UINT(WM_LBUTTONDBLCLK | MK_LBUTTON << 16), CPoint(6, 70)))
        << "the parent's class has CS_DBLCLKS";

    // The display resizes the window (WM_SIZE) and asks it to close (WM_CLOSE).
    user.resize(150, 90);
    EXPECT_TRUE(PumpMessagesUntil([&] { return tree.top.size == CSize(150, 90); }, 5000));
    DrainMessages();
    EXPECT_EQ(tree.Pixels().GetWidth(), 150);
    user.close();
    EXPECT_TRUE(PumpMessagesUntil([&] { return tree.top.closed; }, 5000));
}

} // namespace

TEST(WindowPaint, HierarchyPaintsWithEraseClippingAndPartialRepaints) {
    InstalledDisplay display;
    Tree tree;
    DrainMessages();
    EXPECT_EQ(tree.log, (std::vector<std::string>{"top:erase", "top:paint", "child:erase", "child:paint",
                                                  "grand:erase", "grand:paint"}))
        << "erase before paint, parents before children";
    CPoint origin;
    ASSERT_EQ(GetWindowSurface(tree.grandchild.m_hWnd, &origin), &tree.Pixels()) << "one surface per top-level window";
    EXPECT_EQ(origin, CPoint(60, 40));
    EXPECT_EQ(CountWrong(tree.Pixels()), 0);
    EXPECT_TRUE(display.Frame().IsEqual(tree.Pixels())) << "the display shows what was painted";

    // Only the invalid part is painted again: the new ink shows there alone.
    tree.log.clear();
    tree.topInk = RGB(0, 0, 0);
    CRect part(0, 70, 30, 80);
    tree.top.InvalidateRect(&part, FALSE);
    DrainMessages();
    EXPECT_EQ(tree.log, (std::vector<std::string>{"top:paint"})) << "no erase asked, no child under the part";
    EXPECT_EQ(tree.top.lastPaint, part);
    for (int x = 0; x < 120; ++x) {
        EXPECT_EQ(tree.Pixels().GetPixel(x, 75), x < 30 ? RGB(0, 0, 0) : RGB(255, 0, 0)) << x;
        EXPECT_EQ(tree.Pixels().GetPixel(x, 65), RGB(255, 0, 0)) << x;
    }
    EXPECT_TRUE(display.Frame().IsEqual(tree.Pixels()));

    // A part over a child repaints the child over its parent.
    tree.log.clear();
    tree.topInk = RGB(255, 0, 0);
    tree.top.InvalidateRect(CRect(0, 0, 40, 80));
    DrainMessages();
    EXPECT_EQ(tree.log, (std::vector<std::string>{"top:erase", "top:paint", "child:erase", "child:paint"}));
    EXPECT_EQ(tree.child.lastPaint, CRect(0, 0, 20, 40));
    EXPECT_EQ(CountWrong(tree.Pixels()), 0);

    // RedrawWindow paints at once; a hidden child leaves its parent's background.
    tree.child.ShowWindow(SW_HIDE);
    tree.top.RedrawWindow();
    for (int y = 10; y < 50; ++y) EXPECT_EQ(tree.Pixels().GetPixel(30, y), kParentBack) << y;
    EXPECT_EQ(DrainMessages(), 0);
    EXPECT_TRUE(display.Frame().IsEqual(tree.Pixels()));
}

TEST(WindowPaint, WindowDCsDrawInTheWindowOnly) {
    InstalledDisplay display;
    Tree tree;
    DrainMessages();
    {
        CClientDC dc(&tree.child);
        dc.FillSolidRect(-50, -50, 500, 500, RGB(1, 2, 3));
        CRect box;
        dc.GetClipBox(&box);
        EXPECT_EQ(box, CRect(0, 0, 50, 40));
        dc.SelectClipRgn(nullptr); // the window's limits stay
        dc.SetPixel(60, 0, RGB(9, 9, 9));
    }
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool childArea = x >= 20 && x < 70 && y >= 10 && y < 50;
            EXPECT_EQ(tree.Pixels().GetPixel(x, y) == RGB(1, 2, 3), childArea) << x << "," << y;
        }
    EXPECT_TRUE(display.Frame().IsEqual(tree.Pixels())) << "a window DC's drawing is shown when it is released";

    CDC* dc = tree.grandchild.GetDC();
    ASSERT_NE(dc, nullptr);
    CPoint p(0, 0);
    dc->LPtoDP(&p);
    EXPECT_EQ(p, CPoint(0, 0)) << "device coordinates are the window's own";
    EXPECT_EQ(dc->GetPixel(0, 0), RGB(1, 2, 3)) << "reads what lies under the window";
    EXPECT_EQ(dc->GetPixel(15, 0), CLR_INVALID) << "outside the parent";
    EXPECT_EQ(tree.child.ReleaseDC(dc), 0) << "not the window it came from";
    EXPECT_EQ(tree.grandchild.ReleaseDC(dc), 1);

    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(CDC::FromHandle(screen)->GetDeviceCaps(HORZRES), 1024);
    EXPECT_EQ(CDC::FromHandle(screen)->GetDeviceCaps(VERTRES), 768);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x4)), nullptr);
}

TEST(WindowPaint, ShownThroughTheDisplayAndFedByIt) {
    InstalledDisplay display;
    Tree tree(0);
    DrainMessages();
    EXPECT_TRUE(display.Windows().empty()) << "hidden windows are not shown";
    tree.top.ShowWindow(SW_SHOW);
    DrainMessages();
    std::vector<InstalledDisplay::Shown> shown = display.Windows();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Okno \xB9");
    EXPECT_EQ(CountWrong(shown[0].frame), 0);

    DWORD time = 1000;
    auto feed = [&](DisplayEvent::Type type, int x = 0, int y = 0) {
        DisplayEvent e;
        e.type = type;
        e.x = e.width = x;
        e.y = e.height = y;
        e.button = 1;
        e.keys = type == DisplayEvent::ButtonDown ? MK_LBUTTON : 0;
        e.time = time += 10;
        display.Feed(0, e);
    };
    User user;
    user.click = [&](int x, int y, int clicks) {
        time += 1000; // apart from any earlier click
        for (int i = 0; i < clicks; ++i) feed(DisplayEvent::ButtonDown, x, y), feed(DisplayEvent::ButtonUp, x, y);
    };
    user.resize = [&](int width, int height) { feed(DisplayEvent::Resized, width, height); };
    user.close = [&] { feed(DisplayEvent::CloseRequest); };
    CheckUserInput(tree, user);
    EXPECT_TRUE(display.Frame().IsEqual(tree.Pixels())) << "the resized window is shown at its new size";

    tree.top.ShowWindow(SW_HIDE);
    DrainMessages();
    EXPECT_TRUE(display.Windows().empty()) << "hiding closes the display window";
}

TEST(WindowPaint, ShownInXLikeHeadlessAndFedByItsEvents) {
    xvfbtest::Xvfb server;
    ASSERT_TRUE(server.Ready()) << "Xvfb did not start (package xvfb)";

    xvfbtest::ScopedEnv display("DISPLAY", server.Name().c_str());
    xvfbtest::ScopedEnv shown("ZEP3_HEADLESS", nullptr);
    Tree tree(0);
    DrainMessages();
    Display* x = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(x, nullptr);
    auto xWindows = [&] {
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &n);
        std::vector<Window> out(children, children + n);
        if (children) XFree(children);
        return out;
    };
    EXPECT_TRUE(xWindows().empty()) << "hidden windows are not shown";
    tree.top.ShowWindow(SW_SHOW);
    DrainMessages();
    const std::vector<Window> windows = xWindows();
    ASSERT_EQ(windows.size(), 1u);
    const Window xw = windows[0];

    // The server shows exactly what the window painted, as it paints headless.
    auto grabbed = [&] { return xvfbtest::Grab(server.Name(), xw, 120, 80); };
    EXPECT_EQ(CountWrong(grabbed()), 0);

    // Pixels another client spoiled come back once the server reports them exposed.
    GC gc = XCreateGC(x, xw, 0, nullptr);
    XFillRectangle(x, xw, gc, 10, 10, 80, 50);
    XFreeGC(x, gc);
    XClearArea(x, xw, 10, 10, 80, 50, True);
    XFlush(x);
    EXPECT_TRUE(PumpMessagesUntil([&] { return CountWrong(grabbed()) == 0; }, 5000));

    // Real button presses through XTest, a resize and a close request from the server.
    User user;
    user.click = [&](int px, int py, int clicks) {
        XTestFakeMotionEvent(x, -1, px, py, CurrentTime);
        for (int i = 0; i < clicks; ++i) {
            XTestFakeButtonEvent(x, 1, True, CurrentTime);
            XTestFakeButtonEvent(x, 1, False, CurrentTime);
        }
        XFlush(x);
    };
    user.resize = [&](int width, int height) {
        XResizeWindow(x, xw, unsigned(width), unsigned(height));
        XFlush(x);
    };
    user.close = [&] {
        XEvent close = {};
        close.xclient.type = ClientMessage;
        close.xclient.window = xw;
        close.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = long(XInternAtom(x, "WM_DELETE_WINDOW", False));
        XSendEvent(x, xw, False, NoEventMask, &close);
        XFlush(x);
    };
    CheckUserInput(tree, user);

    tree.top.ShowWindow(SW_HIDE);
    DrainMessages();
    EXPECT_TRUE(xWindows().empty()) << "hiding closes the X window";
    XCloseDisplay(x);
}
