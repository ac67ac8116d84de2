#include "Canvas.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

namespace {

// A picture with lines, figures and text.
void Paint(CDC& dc) {
    CPixelSurface* s = dc.GetSurface();
    dc.FillSolidRect(0, 0, s->GetWidth(), s->GetHeight(), GetSysColor(COLOR_BTNFACE));
    RECT edge{0, 0, s->GetWidth(), s->GetHeight()};
    dc.DrawEdge(&edge, EDGE_SUNKEN, BF_RECT);
    CPen dotted(PS_DOT, 0, RGB(160, 160, 160));
    CBrush brush(RGB(30, 144, 255));
    CPen* oldPen = dc.SelectObject(&dotted);
    CBrush* oldBrush = dc.SelectObject(&brush);
    dc.Ellipse(20, 20, 90, 70);
    dc.Rectangle(100, 15, 180, 60);
    dc.MoveTo(5, 110);
    dc.LineTo(190, 75);
    LOGFONT lf{};
    lf.lfHeight = -12;
    lf.lfWeight = FW_BOLD;
    std::strcpy(lf.lfFaceName, "Arial");
    CFont font;
    font.CreateFontIndirect(&lf);
    CFont* oldFont = dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    RECT text{0, 80, 200, 118};
    dc.DrawText("Pn Wt \x8C\x72 Czw", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc.SelectObject(oldFont);
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}

}  // namespace

TEST(Presenter, HeadlessWithoutDisplay) {
    xvfbtest::ScopedEnv noDisplay("DISPLAY", nullptr);
    CSurfacePresenter presenter;
    EXPECT_FALSE(CSurfacePresenter::IsDisplayAvailable());
    EXPECT_FALSE(presenter.Open(100, 100, "x"));
    EXPECT_FALSE(presenter.Present(CPixelSurface(4, 4)));
    EXPECT_FALSE(presenter.PollEvent(nullptr));
    EXPECT_EQ(presenter.GetConnectionFd(), -1);
}

TEST(Presenter, WindowShowsTheSurfacePixels) {
    xvfbtest::Xvfb server;
    if (!server.Installed()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
    ASSERT_TRUE(server.Ready()) << "Xvfb did not start";
    xvfbtest::ScopedEnv display("DISPLAY", server.Name().c_str());

    const int w = 200, h = 120;
    Canvas canvas(w, h);
    Paint(canvas.dc);
    CSurfacePresenter presenter;
    ASSERT_TRUE(CSurfacePresenter::IsDisplayAvailable());
    ASSERT_TRUE(presenter.Open(w, h, "Harmonogram \xB9"));
    ASSERT_TRUE(presenter.Present(*canvas.surface));
    while (presenter.WaitEvent(nullptr, 100)) {
    }
    EXPECT_TRUE(xvfbtest::Grab(server.Name(), presenter.GetWindowId(), w, h).IsEqual(*canvas.surface));

    // An exposed area is repainted from the kept copy.
    Display* d = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(d, nullptr);
    XClearArea(d, presenter.GetWindowId(), 10, 10, 80, 50, True);
    XSync(d, False);
    PresenterEvent event;
    bool exposed = false;
    for (int i = 0; i < 20 && !exposed; ++i)
        exposed = presenter.WaitEvent(&event, 250) && event.type == PresenterEvent::Exposed;
    XCloseDisplay(d);
    EXPECT_TRUE(exposed);
    EXPECT_TRUE(xvfbtest::Grab(server.Name(), presenter.GetWindowId(), w, h).IsEqual(*canvas.surface));
}
