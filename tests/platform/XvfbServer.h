#pragma once
// An Xvfb server for the display tests, and reading pixels back from it.
#include <zep3/zep3.h>

#include <gtest/gtest.h> // before Xlib, whose macros (None) it would trip on

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "support/ChildProcess.h"

#include <cstdlib>
#include <string>

namespace xvfbtest {

// An Xvfb server on a display number it picks itself, stopped at the end of
// the test.
class Xvfb {
public:
    Xvfb() {
        // The server writes its display number and a line end on standard
        // output once it takes connections.
        m_ready = m_server.Start({"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "640x480x24",
                                  "-nolisten", "tcp", "-noreset"},
                                 "/dev/null", true);
        const std::string number = m_ready ? m_server.ReadLine() : std::string();
        m_ready = !number.empty();
        m_display = ":" + number;
    }
    bool Ready() const { return m_ready; }
    const std::string& Name() const { return m_display; }

private:
    zep3test::ChildProcess m_server;
    bool m_ready = false;
    std::string m_display;
};

// The pixels of [0, w) x [0, h) of an X window (the root window too) as a surface, read back through a
// connection of the test's own.
inline CPixelSurface Grab(const std::string& display, unsigned long window, int w, int h) {
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
                out.SetPixel(x, y,
                             RGB(channel(p, image->red_mask), channel(p, image->green_mask),
                                 channel(p, image->blue_mask)));
            }
        XDestroyImage(image);
    }
    XCloseDisplay(d);
    return out;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (old) m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

} // namespace xvfbtest
