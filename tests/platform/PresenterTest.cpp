#include "Canvas.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// An Xvfb server on a free display number, stopped at the end of the test.
class Xvfb {
public:
    Xvfb() {
        if (!Exists("/usr/bin/Xvfb")) return;
        for (int n = 90 + getpid() % 50; n < 200 && m_pid <= 0; ++n) {
            if (Exists("/tmp/.X11-unix/X" + std::to_string(n)) || Exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
            m_display = ":" + std::to_string(n);
            m_pid = fork();
            if (m_pid == 0) {
                execl("/usr/bin/Xvfb", "Xvfb", m_display.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset",
                      static_cast<char*>(nullptr));
                _exit(127);
            }
            // Up to ten seconds for the server to answer.
            for (int i = 0; i < 200; ++i) {
                if (Display* d = XOpenDisplay(m_display.c_str())) {
                    XCloseDisplay(d);
                    m_ready = true;
                    return;
                }
                int status;
                if (waitpid(m_pid, &status, WNOHANG) == m_pid) { m_pid = -1; break; }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    }
    ~Xvfb() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    bool Ready() const { return m_ready; }
    bool Installed() const { return Exists("/usr/bin/Xvfb"); }
    const std::string& Name() const { return m_display; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
    std::string m_display;
};

// The window's pixels as a surface, read back through a connection of the test's own.
CPixelSurface Grab(const std::string& display, unsigned long window, int w, int h) {
    CPixelSurface out;
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return out;
    XImage* image = XGetImage(d, window, 0, 0, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (image) {
        out.Create(w, h);
        auto channel = [](unsigned long pixel, unsigned long mask) {
            int shift = 0;
            while (mask && !(mask >> shift & 1)) ++shift;
            return BYTE((pixel & mask) >> shift);
        };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                out.SetPixel(x, y, RGB(channel(p, image->red_mask), channel(p, image->green_mask), channel(p, image->blue_mask)));
            }
        XDestroyImage(image);
    }
    XCloseDisplay(d);
    return out;
}

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
    const char* saved = std::getenv("DISPLAY");
    const std::string keep = saved ? saved : "";
    unsetenv("DISPLAY");
    CSurfacePresenter presenter;
    EXPECT_FALSE(CSurfacePresenter::IsDisplayAvailable());
    EXPECT_FALSE(presenter.Open(100, 100, "x"));
    EXPECT_FALSE(presenter.Present(CPixelSurface(4, 4)));
    EXPECT_FALSE(presenter.PollEvent(nullptr));
    EXPECT_EQ(presenter.GetConnectionFd(), -1);
    if (saved) setenv("DISPLAY", keep.c_str(), 1);
}

TEST(Presenter, WindowShowsTheSurfacePixels) {
    Xvfb server;
    if (!server.Installed()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
    ASSERT_TRUE(server.Ready()) << "Xvfb did not start";
    const char* saved = std::getenv("DISPLAY");
    const std::string keep = saved ? saved : "";
    setenv("DISPLAY", server.Name().c_str(), 1);

    const int w = 200, h = 120;
    Canvas canvas(w, h);
    Paint(canvas.dc);
    {
        CSurfacePresenter presenter;
        ASSERT_TRUE(CSurfacePresenter::IsDisplayAvailable());
        ASSERT_TRUE(presenter.Open(w, h, "Harmonogram \xB9"));
        ASSERT_TRUE(presenter.Present(*canvas.surface));
        while (presenter.WaitEvent(nullptr, 100)) {
        }
        const CPixelSurface shown = Grab(server.Name(), presenter.GetWindowId(), w, h);
        ASSERT_EQ(shown.GetWidth(), w);
        EXPECT_TRUE(shown.IsEqual(*canvas.surface));

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
        EXPECT_TRUE(Grab(server.Name(), presenter.GetWindowId(), w, h).IsEqual(*canvas.surface));
    }
    if (saved) setenv("DISPLAY", keep.c_str(), 1);
    else unsetenv("DISPLAY");
}
