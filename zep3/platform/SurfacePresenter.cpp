#include <zep3/platform/SurfacePresenter.h>

#include <zep3/platform/CodePage.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The 8-bit title as UTF-8 for _NET_WM_NAME.
std::string ToUtf8(const char* text) {
    std::string out;
    for (char32_t c : DecodeACP(text, text ? int(std::strlen(text)) : 0)) {
        if (c < 0x80) out += char(c);
        else if (c < 0x800) { out += char(0xC0 | c >> 6); out += char(0x80 | (c & 0x3F)); }
        else { out += char(0xE0 | c >> 12); out += char(0x80 | (c >> 6 & 0x3F)); out += char(0x80 | (c & 0x3F)); }
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
    unsigned long Put(unsigned v) const { return bits >= 8 ? (unsigned long)v << (shift + bits - 8) : (unsigned long)(v >> (8 - bits)) << shift; }
};

}  // namespace

struct CSurfacePresenter::Impl {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    Atom deleteAtom = 0;
    CPixelSurface shown;  // the last surface presented, for exposures
    XImage* image = nullptr;
    int width = 0, height = 0;

    void FreeImage() {
        if (image) XDestroyImage(image);  // frees the pixel memory too
        image = nullptr;
    }

    // Makes an XImage of the window's visual at the kept surface's size.
    bool BuildImage() {
        FreeImage();
        const int w = shown.GetWidth(), h = shown.GetHeight();
        if (w <= 0 || h <= 0) return false;
        const int bpp = depth > 16 ? 32 : 16;
        char* data = static_cast<char*>(std::calloc(size_t(w) * h, size_t(bpp / 8)));
        if (!data) return false;
        image = XCreateImage(display, visual, unsigned(depth), ZPixmap, 0, data, unsigned(w), unsigned(h), bpp, 0);
        if (!image) {
            std::free(data);
            return false;
        }
        // The image is in this machine's byte order; Xlib converts for the server.
        image->byte_order = LSBFirst;
        return true;
    }

    // Converts [x0, x1) x [y0, y1) of the kept surface into the image.
    void Convert(int x0, int y0, int x1, int y1) {
        const Channel r(visual->red_mask), g(visual->green_mask), b(visual->blue_mask);
        const bool direct = depth >= 24 && r.shift == 16 && g.shift == 8 && b.shift == 0 && r.bits == 8;
        const bool wide = image->bits_per_pixel == 32;
        for (int y = y0; y < y1; ++y) {
            const DWORD* src = shown.GetRow(y);
            char* row = image->data + size_t(y) * image->bytes_per_line;
            for (int x = x0; x < x1; ++x) {
                const DWORD p = src[x];
                const unsigned long v = direct ? (p & 0xFFFFFF) : (r.Put(p >> 16 & 0xFF) | g.Put(p >> 8 & 0xFF) | b.Put(p & 0xFF));
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
        if (!image) return;
        if (x >= image->width || y >= image->height) return;
        w = std::min(w, image->width - x);
        h = std::min(h, image->height - y);
        if (w > 0 && h > 0) XPutImage(display, window, gc, image, x, y, x, y, unsigned(w), unsigned(h));
    }
};

CSurfacePresenter::CSurfacePresenter() : m_impl(new Impl) {}

CSurfacePresenter::~CSurfacePresenter() {
    Close();
    delete m_impl;
}

bool CSurfacePresenter::IsDisplayAvailable() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    XCloseDisplay(d);
    return true;
}

bool CSurfacePresenter::GetScreenSize(int* width, int* height) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    if (width) *width = DisplayWidth(d, DefaultScreen(d));
    if (height) *height = DisplayHeight(d, DefaultScreen(d));
    XCloseDisplay(d);
    return true;
}

bool CSurfacePresenter::IsOpen() const { return m_impl->window != 0; }

bool CSurfacePresenter::Open(int width, int height, const char* title) {
    if (IsOpen() || width <= 0 || height <= 0) return false;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    Impl& p = *m_impl;
    p.display = XOpenDisplay(nullptr);
    if (!p.display) return false;
    const int screen = DefaultScreen(p.display);
    p.visual = DefaultVisual(p.display, screen);
    p.depth = DefaultDepth(p.display, screen);
    if (p.visual->c_class != TrueColor || p.depth < 15) {  // true-colour displays only
        XCloseDisplay(p.display);
        p.display = nullptr;
        return false;
    }
    XSetWindowAttributes attributes{};
    // No background: the server never clears what was presented; exposures
    // are repainted from the kept copy.
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | KeyPressMask | KeyReleaseMask;
    p.window = XCreateWindow(p.display, RootWindow(p.display, screen), 0, 0, unsigned(width), unsigned(height), 0,
                             p.depth, InputOutput, p.visual, CWBackPixmap | CWEventMask, &attributes);
    p.gc = XCreateGC(p.display, p.window, 0, nullptr);
    p.deleteAtom = XInternAtom(p.display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(p.display, p.window, &p.deleteAtom, 1);
    p.width = width;
    p.height = height;
    SetTitle(title);
    XMapWindow(p.display, p.window);
    XFlush(p.display);
    // Wait (bounded) until the server has mapped the window.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    XEvent e;
    while (std::chrono::steady_clock::now() < deadline) {
        if (XCheckTypedWindowEvent(p.display, p.window, MapNotify, &e)) break;
        pollfd fd{ConnectionNumber(p.display), POLLIN, 0};
        poll(&fd, 1, 20);
    }
    return true;
}

void CSurfacePresenter::Close() {
    Impl& p = *m_impl;
    p.FreeImage();
    if (p.display) {
        if (p.gc) XFreeGC(p.display, p.gc);
        if (p.window) XDestroyWindow(p.display, p.window);
        XCloseDisplay(p.display);
    }
    p.display = nullptr;
    p.window = 0;
    p.gc = nullptr;
    p.shown.Destroy();
}

bool CSurfacePresenter::SetTitle(const char* title) {
    Impl& p = *m_impl;
    if (!p.window) return false;
    const char* text = title ? title : "";
    XStoreName(p.display, p.window, text);
    const std::string utf8 = ToUtf8(text);
    XChangeProperty(p.display, p.window, XInternAtom(p.display, "_NET_WM_NAME", False),
                    XInternAtom(p.display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), int(utf8.size()));
    XFlush(p.display);
    return true;
}

bool CSurfacePresenter::Resize(int width, int height) {
    Impl& p = *m_impl;
    if (!p.window || width <= 0 || height <= 0) return false;
    XResizeWindow(p.display, p.window, unsigned(width), unsigned(height));
    XFlush(p.display);
    p.width = width;
    p.height = height;
    return true;
}

bool CSurfacePresenter::Present(const CPixelSurface& surface, const RECT* area) {
    Impl& p = *m_impl;
    if (!p.window) return false;
    const int w = surface.GetWidth(), h = surface.GetHeight();
    if (!area || !p.image || w != p.shown.GetWidth() || h != p.shown.GetHeight()) {
        p.shown = surface;
        if (!p.BuildImage()) return false;
        p.Convert(0, 0, w, h);
        p.Draw(0, 0, w, h);
    } else {
        const int x0 = std::max(0, int(area->left)), x1 = std::min(w, int(area->right));
        const int y0 = std::max(0, int(area->top)), y1 = std::min(h, int(area->bottom));
        if (x0 >= x1 || y0 >= y1) return true;
        for (int y = y0; y < y1; ++y)
            std::memcpy(p.shown.GetRow(y) + x0, surface.GetRow(y) + x0, size_t(x1 - x0) * sizeof(DWORD));
        p.Convert(x0, y0, x1, y1);
        p.Draw(x0, y0, x1 - x0, y1 - y0);
    }
    XSync(p.display, False);
    return true;
}

bool CSurfacePresenter::PollEvent(PresenterEvent* event) {
    Impl& p = *m_impl;
    if (!p.display) return false;
    while (XPending(p.display) > 0) {
        XEvent e;
        XNextEvent(p.display, &e);
        PresenterEvent out;
        switch (e.type) {
        case Expose:
            p.Draw(e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
            out = {PresenterEvent::Exposed, e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height};
            break;
        case ButtonPress:
        case ButtonRelease:
            out.type = e.type == ButtonPress ? PresenterEvent::ButtonDown : PresenterEvent::ButtonUp;
            out.x = e.xbutton.x;
            out.y = e.xbutton.y;
            out.button = int(e.xbutton.button);
            out.state = e.xbutton.state;
            out.time = e.xbutton.time;
            break;
        case MotionNotify:
            out.type = PresenterEvent::Motion;
            out.x = e.xmotion.x;
            out.y = e.xmotion.y;
            out.state = e.xmotion.state;
            out.time = e.xmotion.time;
            break;
        case KeyPress:
        case KeyRelease:
            out.type = e.type == KeyPress ? PresenterEvent::KeyDown : PresenterEvent::KeyUp;
            out.x = e.xkey.x;
            out.y = e.xkey.y;
            out.state = e.xkey.state;
            out.keysym = XLookupKeysym(&e.xkey, 0);
            break;
        case ConfigureNotify:
            if (e.xconfigure.width == p.width && e.xconfigure.height == p.height) continue;
            p.width = e.xconfigure.width;
            p.height = e.xconfigure.height;
            out.type = PresenterEvent::Resized;
            out.width = p.width;
            out.height = p.height;
            break;
        case ClientMessage:
            if (Atom(e.xclient.data.l[0]) != p.deleteAtom) continue;
            out.type = PresenterEvent::CloseRequest;
            break;
        default: continue;
        }
        if (event) *event = out;
        return true;
    }
    return false;
}

bool CSurfacePresenter::WaitEvent(PresenterEvent* event, int timeoutMs) {
    Impl& p = *m_impl;
    if (!p.display) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (PollEvent(event)) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fd{ConnectionNumber(p.display), POLLIN, 0};
        poll(&fd, 1, int(left.count()));
    }
}

int CSurfacePresenter::GetConnectionFd() const { return m_impl->display ? ConnectionNumber(m_impl->display) : -1; }

unsigned long CSurfacePresenter::GetWindowId() const { return m_impl->window; }
