#pragma once
// An Xvfb server for the display tests, and reading pixels back from it.
#include <zep3/zep3.h>

#include <gtest/gtest.h> // before Xlib, whose macros (None) it would trip on

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

namespace xvfbtest {

inline bool Exists(const std::string& path) {
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
