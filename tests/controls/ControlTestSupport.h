#pragma once
// Helpers of the control tests: pumping until a handler has run, reading a
// window's pixels, a display without a server, and screenshots of an Xvfb
// screen.
#include "../platform/XvfbServer.h"
#include "support/TestSupport.h"

#include <zep3/platform/detail/HeadlessDisplay.h>
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace controltest {

// Reads and dispatches until the queue is empty (paints included).
inline void DrainMessages() {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
}

// A control that counts the mouse messages and paints it has handled.
template <class Control> class Counting : public Control {
public:
    int handled = 0; // mouse messages
    int paints = 0;
    std::map<UINT, int> counts;      // by message
    std::function<void()> afterEach; // after each mouse message

protected:
    void OnLButtonDown(UINT f, CPoint p) override {
        Control::OnLButtonDown(f, p);
        Done(WM_LBUTTONDOWN);
    }
    void OnMouseMove(UINT f, CPoint p) override {
        Control::OnMouseMove(f, p);
        Done(WM_MOUSEMOVE);
    }
    void OnLButtonUp(UINT f, CPoint p) override {
        Control::OnLButtonUp(f, p);
        Done(WM_LBUTTONUP);
    }
    void OnLButtonDblClk(UINT f, CPoint p) override {
        Control::OnLButtonDblClk(f, p);
        Done(WM_LBUTTONDBLCLK);
    }
    void OnRButtonDown(UINT f, CPoint p) override {
        Control::OnRButtonDown(f, p);
        Done(WM_RBUTTONDOWN);
    }
    void OnPaint() override {
        Control::OnPaint();
        ++paints;
    }

private:
    void Done(UINT message) {
        ++counts[message];
        ++handled;
        if (afterEach) afterEach();
    }
};

// Delivers a mouse message (client coordinates) as the window system does
// and pumps until the control has handled it.
template <class Control> void Mouse(Counting<Control>& wnd, UINT message, UINT keys, CPoint point) {
    const int before = wnd.handled;
    ASSERT_TRUE(PostMouseInput(wnd.m_hWnd, message, keys, point));
    ASSERT_TRUE(PumpMessagesUntil([&] { return wnd.handled > before; }, 5000));
}

// The headless display back end, installed while it lives: top-level
// windows are shown through it whatever DISPLAY says, and take the left
// button from it as from a user at a screen.
class HeadlessScreen : public zep3::detail::HeadlessDisplay {
public:
    HeadlessScreen() { zep3::detail::SetDisplayBackend(this); }
    ~HeadlessScreen() override { zep3::detail::SetDisplayBackend(nullptr); }

    // What the only shown window shows; empty unless exactly one is shown.
    CPixelSurface Frame() const {
        const std::vector<Shown> shown = Windows();
        return shown.size() == 1 ? shown[0].frame : CPixelSurface();
    }
    // The left button pressed, moved with or released at a point of the
    // shown window's client area, a few milliseconds after the last event.
    void Left(zep3::detail::DisplayEvent::Type type, CPoint at) {
        zep3::detail::DisplayEvent e;
        e.type = type;
        e.x = at.x;
        e.y = at.y;
        e.button = 1;
        if (type != zep3::detail::DisplayEvent::Motion) m_down = type == zep3::detail::DisplayEvent::ButtonDown;
        e.keys = m_down ? MK_LBUTTON : 0;
        e.time = m_time += 10;
        ASSERT_TRUE(Feed(0, e));
    }
    // `clicks` quick clicks at a point, well after any earlier one.
    void Click(CPoint at, int clicks) {
        m_time += 10000;
        for (int i = 0; i < clicks; ++i) {
            Left(zep3::detail::DisplayEvent::ButtonDown, at);
            Left(zep3::detail::DisplayEvent::ButtonUp, at);
        }
    }

private:
    DWORD m_time = 1000;
    bool m_down = false;
};

// A pixel of a window's client area as it was painted.
inline COLORREF PixelOf(const CWnd& wnd, int x, int y) {
    POINT origin{};
    CPixelSurface* surface = GetWindowSurface(wnd.m_hWnd, &origin);
    return surface ? surface->GetPixel(origin.x + x, origin.y + y) : CLR_INVALID;
}

// A screenshot of the screen of `display` taken with xwd, kept as
// screenshots/<name>.png, and the pixels of its w x h top left.
inline bool Screenshot(const std::string& display, const std::string& name, int w, int h, CPixelSurface& out) {
    mkdir("screenshots", 0755);
    const std::string base = "screenshots/" + name, size = std::to_string(w) + "x" + std::to_string(h);
    std::string rgb;
    if (zep3test::runCommand("xwd -root -silent -display " + display + " -out " + base + ".xwd && convert " + base +
                             ".xwd " + base + ".png && rm " + base + ".xwd") != 0 ||
        zep3test::runCommand("convert " + base + ".png -crop " + size + "+0+0 -depth 8 rgb:-", &rgb) != 0 ||
        rgb.size() != size_t(w) * size_t(h) * 3 || !out.Create(w, h))
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(rgb.data());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, p += 3) out.SetPixel(x, y, RGB(p[0], p[1], p[2]));
    return true;
}

// The number of pixels of the rectangle (w x h at the top left) that differ
// between the screen and the window's own surface.
inline int CountDifferences(const CPixelSurface& screen, const CWnd& top, int w, int h) {
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) wrong += screen.GetPixel(x, y) != PixelOf(top, x, y);
    return wrong;
}

// Shows `top` (a top-level window at the screen's top left, w x h) on a
// fresh Xvfb, waits until a screenshot shows exactly what the window painted,
// and returns that screenshot (kept as screenshots/<name>.png).
inline CPixelSurface ShowAndShoot(const xvfbtest::Xvfb& server, CWnd& top, int w, int h, const std::string& name) {
    CPixelSurface screen;
    top.ShowWindow(SW_SHOW);
    DrainMessages(); // painted, and sent to the server
    // The server draws what the window sent on its own schedule: shoot until
    // the picture is complete.
    const bool same = PumpMessagesUntil(
        [&] { return Screenshot(server.Name(), name, w, h, screen) && CountDifferences(screen, top, w, h) == 0; }, 15000);
    EXPECT_TRUE(same) << CountDifferences(screen, top, w, h) << " pixels differ on the screen";
    return screen;
}

} // namespace controltest
