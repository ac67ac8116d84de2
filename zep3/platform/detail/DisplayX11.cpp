// The X11 display back end: each shown window has its own Xlib connection
// (a window belongs to one thread) and keeps a copy of what it presented, so
// it repaints exposed parts by itself.
#include <zep3/platform/CodePage.h>
#include <zep3/platform/Messages.h>
#include <zep3/platform/PixelSurface.h>
#include <zep3/platform/detail/DisplayBackend.h>
#include <zep3/platform/detail/Posix.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace zep3::detail {
namespace {

// The 8-bit title as UTF-8 for _NET_WM_NAME.
std::string ToUtf8(const char* text) {
    std::string out;
    for (char32_t c : DecodeACP(text, text ? int(std::strlen(text)) : 0)) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Position and width of a visual's colour mask.
struct Channel {
    int shift = 0, bits = 0;
    explicit Channel(unsigned long mask) {
        if (!mask) return;
        while (!(mask >> shift & 1)) ++shift;
        while (mask >> (shift + bits) & 1) ++bits;
    }
    unsigned long Put(unsigned v) const {
        return bits >= 8 ? (unsigned long)v << (shift + bits - 8) : (unsigned long)(v >> (8 - bits)) << shift;
    }
};

// The MK_ flags of an X modifier and button state.
UINT KeyFlags(unsigned state) {
    UINT keys = 0;
    if (state & Button1Mask) keys |= MK_LBUTTON;
    if (state & Button2Mask) keys |= MK_MBUTTON;
    if (state & Button3Mask) keys |= MK_RBUTTON;
    if (state & ShiftMask) keys |= MK_SHIFT;
    if (state & ControlMask) keys |= MK_CONTROL;
    return keys;
}

const UINT kButtonFlags[] = {0, MK_LBUTTON, MK_MBUTTON, MK_RBUTTON};

class X11Window : public DisplayWindow {
public:
    explicit X11Window(Display* display) : m_display(display) {}
    ~X11Window() override {
        FreeImage();
        if (m_gc) XFreeGC(m_display, m_gc);
        if (m_window) XDestroyWindow(m_display, m_window);
        XCloseDisplay(m_display);
    }

    // Maps a window of that size; true once the server has mapped it (or two
    // seconds passed). False for a display that is not true-colour.
    bool Open(int width, int height, const char* title) {
        const int screen = DefaultScreen(m_display);
        m_visual = DefaultVisual(m_display, screen);
        m_depth = DefaultDepth(m_display, screen);
        if (m_visual->c_class != TrueColor || m_depth < 15) return false;
        XSetWindowAttributes attributes{};
        // No background: the server never clears what was presented; exposures
        // are repainted from the kept copy.
        attributes.background_pixmap = None;
        attributes.event_mask =
            ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
        m_window = XCreateWindow(m_display, RootWindow(m_display, screen), 0, 0, unsigned(width), unsigned(height),
                                 0, m_depth, InputOutput, m_visual, CWBackPixmap | CWEventMask, &attributes);
        m_gc = XCreateGC(m_display, m_window, 0, nullptr);
        m_deleteAtom = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(m_display, m_window, &m_deleteAtom, 1);
        m_width = width;
        m_height = height;
        SetTitle(title);
        XMapWindow(m_display, m_window);
        XFlush(m_display);
        const Deadline deadline = Deadline::After(2000);
        XEvent e;
        while (!XCheckTypedWindowEvent(m_display, m_window, MapNotify, &e) && !deadline.HasPassed()) {
            pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
            poll(&fd, 1, deadline.RemainingMilliseconds());
        }
        return true;
    }

    void SetTitle(const char* title) override {
        const char* text = title ? title : "";
        XStoreName(m_display, m_window, text);
        const std::string utf8 = ToUtf8(text);
        XChangeProperty(m_display, m_window, XInternAtom(m_display, "_NET_WM_NAME", False),
                        XInternAtom(m_display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()), int(utf8.size()));
        XFlush(m_display);
    }

    void Resize(int width, int height) override {
        if (width <= 0 || height <= 0) return;
        XResizeWindow(m_display, m_window, unsigned(width), unsigned(height));
        XFlush(m_display);
        m_width = width;
        m_height = height;
    }

    bool Present(const CPixelSurface& surface, const RECT* area) override {
        const bool sameSize = m_image && surface.GetWidth() == m_shown.GetWidth() &&
                              surface.GetHeight() == m_shown.GetHeight();
        const CRect part = CopyPresented(m_shown, surface, sameSize ? area : nullptr);
        if (!sameSize && !BuildImage()) return false;
        if (part.IsRectEmpty()) return true;
        Convert(part);
        Draw(part.left, part.top, part.Width(), part.Height());
        XSync(m_display, False);
        return true;
    }

    int EventDescriptor() const override { return ConnectionNumber(m_display); }

    bool NextEvent(DisplayEvent* event) override {
        while (XPending(m_display) > 0) {
            XEvent e;
            XNextEvent(m_display, &e);
            if (Translate(e, *event)) return true;
        }
        return false;
    }

private:
    // The event in window terms; false for what is handled here or not passed on.
    bool Translate(const XEvent& e, DisplayEvent& out) {
        out = DisplayEvent();
        switch (e.type) {
        case Expose: Draw(e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height); return false;
        case ButtonPress:
        case ButtonRelease: {
            const unsigned button = e.xbutton.button;
            if (button < 1 || button > 3) return false; // the wheel and extra buttons are not passed on
            const bool down = e.type == ButtonPress;
            out.type = down ? DisplayEvent::ButtonDown : DisplayEvent::ButtonUp;
            out.x = e.xbutton.x;
            out.y = e.xbutton.y;
            out.button = int(button);
            // X gives the state before the event; the message carries the one after it.
            const UINT keys = KeyFlags(e.xbutton.state);
            out.keys = down ? keys | kButtonFlags[button] : keys & ~kButtonFlags[button];
            out.time = DWORD(e.xbutton.time);
            return true;
        }
        case MotionNotify:
            out.type = DisplayEvent::Motion;
            out.x = e.xmotion.x;
            out.y = e.xmotion.y;
            out.keys = KeyFlags(e.xmotion.state);
            out.time = DWORD(e.xmotion.time);
            return true;
        case ConfigureNotify:
            if (e.xconfigure.width == m_width && e.xconfigure.height == m_height) return false;
            m_width = e.xconfigure.width;
            m_height = e.xconfigure.height;
            out.type = DisplayEvent::Resized;
            out.width = m_width;
            out.height = m_height;
            return true;
        case ClientMessage:
            if (Atom(e.xclient.data.l[0]) != m_deleteAtom) return false;
            out.type = DisplayEvent::CloseRequest;
            return true;
        default: return false;
        }
    }

    void FreeImage() {
        if (m_image) XDestroyImage(m_image); // frees the pixel memory too
        m_image = nullptr;
    }

    // An XImage of the window's visual at the kept copy's size.
    bool BuildImage() {
        FreeImage();
        const int w = m_shown.GetWidth(), h = m_shown.GetHeight();
        if (w <= 0 || h <= 0) return false;
        const int bpp = m_depth > 16 ? 32 : 16;
        char* data = static_cast<char*>(std::calloc(size_t(w) * h, size_t(bpp / 8)));
        if (!data) return false;
        m_image = XCreateImage(m_display, m_visual, unsigned(m_depth), ZPixmap, 0, data, unsigned(w), unsigned(h),
                               bpp, 0);
        if (!m_image) {
            std::free(data);
            return false;
        }
        // The image is in this machine's byte order; Xlib converts for the server.
        m_image->byte_order = LSBFirst;
        return true;
    }

    // Converts a part of the kept copy into the image.
    void Convert(const CRect& part) {
        const Channel r(m_visual->red_mask), g(m_visual->green_mask), b(m_visual->blue_mask);
        const bool direct = m_depth >= 24 && r.shift == 16 && g.shift == 8 && b.shift == 0 && r.bits == 8;
        const bool wide = m_image->bits_per_pixel == 32;
        for (int y = part.top; y < part.bottom; ++y) {
            const DWORD* src = m_shown.GetRow(y);
            char* row = m_image->data + size_t(y) * m_image->bytes_per_line;
            for (int x = part.left; x < part.right; ++x) {
                const DWORD p = src[x];
                const unsigned long v =
                    direct ? (p & 0xFFFFFF) : (r.Put(p >> 16 & 0xFF) | g.Put(p >> 8 & 0xFF) | b.Put(p & 0xFF));
                if (wide) {
                    uint32_t v32 = uint32_t(v);
                    std::memcpy(row + 4 * x, &v32, 4);
                } else {
                    uint16_t v16 = uint16_t(v);
                    std::memcpy(row + 2 * x, &v16, 2);
                }
            }
        }
    }

    void Draw(int x, int y, int w, int h) {
        if (!m_image || x >= m_image->width || y >= m_image->height) return;
        w = std::min(w, m_image->width - x);
        h = std::min(h, m_image->height - y);
        if (w > 0 && h > 0) XPutImage(m_display, m_window, m_gc, m_image, x, y, x, y, unsigned(w), unsigned(h));
    }

    Display* m_display;
    Window m_window = 0;
    GC m_gc = nullptr;
    Visual* m_visual = nullptr;
    int m_depth = 0;
    Atom m_deleteAtom = 0;
    CPixelSurface m_shown; // what was presented, for exposures
    XImage* m_image = nullptr;
    int m_width = 0, m_height = 0;
};

// A server that could not show a window is not asked again until DISPLAY
// changes.
class X11Backend : public DisplayBackend {
public:
    bool GetScreenSize(int* width, int* height) override {
        Display* d = Connect();
        if (!d) return false;
        if (width) *width = DisplayWidth(d, DefaultScreen(d));
        if (height) *height = DisplayHeight(d, DefaultScreen(d));
        XCloseDisplay(d);
        return true;
    }

    std::unique_ptr<DisplayWindow> OpenWindow(int width, int height, const char* title) override {
        if (width <= 0 || height <= 0) return nullptr;
        Display* d = Connect();
        if (!d) return nullptr;
        auto window = std::make_unique<X11Window>(d);
        if (window->Open(width, height, title)) return window;
        MarkFailed();
        return nullptr;
    }

    // Whether DISPLAY names a server not known to have failed.
    bool Wanted() {
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name) return false;
        std::lock_guard<std::mutex> hold(m_lock);
        return m_failed != name;
    }

private:
    Display* Connect() {
        if (!Wanted()) return nullptr;
        Display* d = XOpenDisplay(nullptr);
        if (!d) MarkFailed();
        return d;
    }

    void MarkFailed() {
        const char* name = std::getenv("DISPLAY");
        std::lock_guard<std::mutex> hold(m_lock);
        m_failed = name ? name : "";
    }

    std::mutex m_lock;
    std::string m_failed;
};

} // namespace

DisplayBackend* X11Display() {
    static X11Backend* backend = new X11Backend; // windows may outlive static destruction
    return backend->Wanted() ? backend : nullptr;
}

} // namespace zep3::detail
