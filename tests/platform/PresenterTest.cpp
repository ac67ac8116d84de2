#include "Canvas.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

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
    ASSERT_TRUE(server.Ready()) << "Xvfb did not start (package xvfb)";
    xvfbtest::ScopedEnv display("DISPLAY", server.Name().c_str());

    // Each channel varies across the picture, so a swapped or shifted channel shows.
    const int w = 200, h = 120;
    Canvas canvas(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) canvas.surface->SetPixel(x, y, RGB(x, y * 2, x ^ y));
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
