#pragma once
// An Xvfb server for the display tests, and reading pixels back from it.
#include <zep3/zep3.h>

#include <gtest/gtest.h> // before Xlib, whose macros (None) it would trip on

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace xvfbtest {

// An Xvfb server on a display number it picks itself, stopped at the end of
// the test.
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (pipe(fds) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                  "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The server writes its display number and a line end once it takes
        // connections (up to ten seconds); it fails if the pipe closes before.
        pollfd ready{fds[0], POLLIN, 0};
        std::string number;
        char c = 0;
        while (m_pid > 0 && poll(&ready, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        m_ready = !number.empty() && c == '\n';
        m_display = ":" + number;
        close(fds[0]);
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
    const std::string& Name() const { return m_display; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
    std::string m_display;
};

// The pixels of [0, w) x [0, h) of an X window (the root window too) as a surface, read back through a connection of the test's own.
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
                out.SetPixel(x, y, RGB(channel(p, image->red_mask), channel(p, image->green_mask), channel(p, image->blue_mask)));
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
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_had) setenv(m_name.c_str(), m_old.c_str(), 1);
        else unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

} // namespace xvfbtest
