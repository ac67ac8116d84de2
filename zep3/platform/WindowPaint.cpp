// Window pixels: the surfaces of top-level windows, the window DCs, the
// default background erase, and showing visible top-level windows through
// the display back end (detail/DisplayBackend.h). It joins the windows
// through the observer of detail/WindowSurface.h.
//
// A top-level window owns one surface of its client size; a child window
// paints into its part of that surface through a DC whose device origin is
// the child's client origin and whose drawing is limited to what the
// child's ancestors leave visible. Parents paint under their children:
// invalidating a parent invalidates the children it covers, so they paint
// again over it.
#include <zep3/platform/Brush.h>
#include <zep3/platform/ClientDC.h>
#include <zep3/platform/FdNotifier.h>
#include <zep3/platform/GdiFunctions.h>
#include <zep3/platform/MessagePump.h>
#include <zep3/platform/PaintDC.h>
#include <zep3/platform/Thread.h>
#include <zep3/platform/Wnd.h>
#include <zep3/platform/detail/DCImpl.h>
#include <zep3/platform/detail/DisplayBackend.h>
#include <zep3/platform/detail/WindowSurface.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

using namespace zep3::detail;

namespace {

// What a top-level window keeps.
struct TopLevel {
    std::mutex lock;      // the surface's size and the dirty area
    CPixelSurface surface;
    CRect dirty;          // drawn, not yet sent to the display
    // Used on the window's thread only:
    std::unique_ptr<DisplayWindow> shown;
    CFdNotifier notifier; // declared after `shown`: unregistered before it closes
    int shownWidth = 0, shownHeight = 0;
    struct {
        bool armed = false;
        DWORD time = 0;
        POINT point{0, 0};
        int button = 0;
        HWND target = nullptr;
    } click;              // the first click of a possible double click
};

std::shared_ptr<TopLevel> TopLevelOf(HWND h) { return std::static_pointer_cast<TopLevel>(GetWindowAttachment(h)); }

bool OnOwnThread(HWND h) { return GetWindowThreadProcessId(h, nullptr) == GetCurrentThreadId(); }

// --- the display of a top-level window (its own thread) ---------------------------

void OnDisplayEvents(HWND h);

void Flush(TopLevel& d) {
    std::lock_guard<std::mutex> hold(d.lock);
    if (d.shown && !d.dirty.IsRectEmpty()) d.shown->Present(d.surface, &d.dirty);
    d.dirty.SetRectEmpty();
}

void CloseDisplay(TopLevel& d) {
    d.notifier.Unregister();
    d.shown.reset();
}

// Brings the display window in line with the window: opened while the
// window is visible, closed when hidden, of the same size, showing what was
// drawn.
void Sync(HWND h) {
    std::shared_ptr<TopLevel> d = TopLevelOf(h);
    if (!d) return;
    CWnd* wnd = CWnd::FromHandle(h);
    DisplayBackend* display = d->shown ? nullptr : CurrentDisplay();
    if (!wnd || !wnd->IsWindowVisible() || (!d->shown && !display)) {
        CloseDisplay(*d);
        std::lock_guard<std::mutex> hold(d->lock);
        d->dirty.SetRectEmpty();
        return;
    }
    int width, height;
    {
        std::lock_guard<std::mutex> hold(d->lock);
        width = d->surface.GetWidth();
        height = d->surface.GetHeight();
    }
    if (!d->shown) {
        if (width <= 0 || height <= 0) return;
        CString title;
        wnd->GetWindowText(title);
        d->shown = display->OpenWindow(width, height, title);
        if (!d->shown) return;
        d->shownWidth = width;
        d->shownHeight = height;
        d->notifier.Register(d->shown->EventDescriptor(), CFdNotifier::Read, [h](DWORD) { OnDisplayEvents(h); });
        std::lock_guard<std::mutex> hold(d->lock);
        d->dirty = CRect(0, 0, width, height);
    } else if (width != d->shownWidth || height != d->shownHeight) {
        d->shown->Resize(width, height);
        d->shownWidth = width;
        d->shownHeight = height;
    }
    Flush(*d);
}

// Sync on the window's thread: at once there, posted from elsewhere.
void SyncSoon(HWND h) {
    if (OnOwnThread(h)) Sync(h);
    else ::PostMessage(h, WM_ZEP3_SYNCDISPLAY, 0, 0);
}

bool ClassWantsDoubleClicks(HWND h) {
    char name[256];
    WNDCLASS wc;
    return GetClassName(h, name, sizeof name) > 0 && GetClassInfo(nullptr, name, &wc) && (wc.style & CS_DBLCLKS);
}

// A button press or release. As on Windows, a second press of the same
// button on the same window within the double-click time and 4 x 4 pixels
// of the first is a double click when the window's class asks for them.
void Button(HWND h, TopLevel& d, const DisplayEvent& e) {
    struct Kind {
        UINT flag, down, up, dbl;
    };
    static const Kind kinds[] = {{MK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK},
                                 {MK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK},
                                 {MK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK}};
    if (e.button < 1 || e.button > 3) return;
    const Kind& k = kinds[e.button - 1];
    const POINT point{e.x, e.y};
    if (e.type == DisplayEvent::ButtonUp) {
        PostMouseInput(h, k.up, e.keys, point);
        return;
    }
    const HWND target = MouseTarget(h, point);
    auto& c = d.click;
    UINT message = k.down;
    if (c.armed && c.button == e.button && c.target == target && e.time - c.time <= GetDoubleClickTime() &&
        std::abs(point.x - c.point.x) <= 2 && std::abs(point.y - c.point.y) <= 2 && ClassWantsDoubleClicks(target)) {
        message = k.dbl;
        c.armed = false;
    } else {
        c.armed = true;
        c.time = e.time;
        c.point = point;
        c.button = e.button;
        c.target = target;
    }
    PostMouseInput(h, message, e.keys, point);
}

// The display window has events: turn them into window messages.
void OnDisplayEvents(HWND h) {
    std::shared_ptr<TopLevel> d = TopLevelOf(h); // kept while handlers run
    if (!d) return;
    DisplayEvent e;
    while (d->shown && d->shown->NextEvent(&e)) {
        switch (e.type) {
        case DisplayEvent::ButtonDown:
        case DisplayEvent::ButtonUp: Button(h, *d, e); break;
        case DisplayEvent::Motion: PostMouseInput(h, WM_MOUSEMOVE, e.keys, POINT{e.x, e.y}); break;
        case DisplayEvent::Resized:
            if (CWnd* wnd = CWnd::FromHandle(h)) {
                d->shownWidth = e.width;
                d->shownHeight = e.height;
                CRect r;
                wnd->GetWindowRect(&r);
                wnd->MoveWindow(r.left, r.top, e.width, e.height);
            }
            break;
        case DisplayEvent::CloseRequest: ::PostMessage(h, WM_CLOSE, 0, 0); break;
        default: break;
        }
    }
}

// --- the observer -------------------------------------------------------------------

HBRUSH ClassBrush(HWND h) {
    char name[256];
    WNDCLASS wc;
    if (GetClassName(h, name, sizeof name) <= 0 || !GetClassInfo(nullptr, name, &wc)) return nullptr;
    // (HBRUSH)(COLOR_x + 1) names a system colour.
    const auto value = reinterpret_cast<uintptr_t>(wc.hbrBackground);
    if (value > 0 && value <= COLOR_GRADIENTINACTIVECAPTION + 1) return GetSysColorBrush(int(value) - 1);
    return wc.hbrBackground;
}

class Painter : public WindowObserver {
public:
    void WindowCreated(CWnd* wnd) override {
        if (!(wnd->GetStyle() & WS_CHILD)) SetWindowAttachment(wnd->m_hWnd, std::make_shared<TopLevel>());
    }

    void WindowResized(CWnd* wnd, int cx, int cy) override {
        std::shared_ptr<TopLevel> d = TopLevelOf(wnd->m_hWnd);
        if (!d) return;
        {
            std::lock_guard<std::mutex> hold(d->lock);
            CPixelSurface& s = d->surface;
            if (s.GetWidth() == cx && s.GetHeight() == cy) return;
            CPixelSurface resized(cx, cy);
            for (int y = 0; y < std::min(cy, s.GetHeight()); ++y)
                std::memcpy(resized.GetRow(y), s.GetRow(y), size_t(std::min(cx, s.GetWidth())) * sizeof(DWORD));
            s = resized;
            d->dirty.IntersectRect(d->dirty, CRect(0, 0, cx, cy));
        }
        SyncSoon(wnd->m_hWnd);
    }

    void WindowShown(CWnd* wnd, bool) override {
        if (TopLevelOf(wnd->m_hWnd)) SyncSoon(wnd->m_hWnd);
    }

    void WindowPainted(CWnd* wnd) override {
        HWND top;
        if (LocateInTopLevel(wnd->m_hWnd, &top, nullptr, nullptr)) Sync(top);
    }

    void WindowDestroyed(CWnd* wnd) override {
        if (std::shared_ptr<TopLevel> d = TopLevelOf(wnd->m_hWnd)) CloseDisplay(*d);
    }

    BOOL EraseBackground(CWnd* wnd, CDC* dc) override {
        HBRUSH brush = dc ? ClassBrush(wnd->m_hWnd) : nullptr;
        if (!brush) return FALSE;
        CRect box;
        dc->GetClipBox(&box);
        dc->FillRect(&box, CBrush::FromHandle(brush));
        return TRUE;
    }

    void SyncDisplay(CWnd* wnd) override { Sync(wnd->m_hWnd); }
};

Painter g_painter;

struct Installer {
    Installer() { SetWindowObserver(&g_painter); }
    ~Installer() { SetWindowObserver(nullptr); }
} g_installer;

// --- window DCs -------------------------------------------------------------------

// Attaches dc to the surface of h's top-level window with device (0, 0) at
// h's client origin, drawing limited to `area` (h's client coordinates; null:
// all of it) where it is visible. The top-level window's record, or null
// when h is not a window; *top and *bounds (surface coordinates) are set.
std::shared_ptr<TopLevel> OpenWindowDC(CDC& dc, HWND h, const RECT* area, HWND* top, CRect* bounds) {
    POINT origin;
    RECT visible;
    if (!LocateInTopLevel(h, top, &origin, &visible)) return nullptr;
    std::shared_ptr<TopLevel> d = TopLevelOf(*top);
    if (!d || !dc.AttachSurface(&d->surface)) return nullptr;
    *bounds = visible;
    if (area) {
        CRect part(*area);
        part.OffsetRect(origin);
        if (!bounds->IntersectRect(*bounds, part)) bounds->SetRectEmpty();
    }
    zep3::detail::SetDeviceArea(&dc, origin, *bounds);
    return d;
}

// A DC on the window is done: what it may have drawn goes to the display.
void CloseWindowDC(HWND top, TopLevel& d, const CRect& bounds) {
    if (bounds.IsRectEmpty()) return;
    {
        std::lock_guard<std::mutex> hold(d.lock);
        d.dirty.UnionRect(d.dirty, bounds);
    }
    SyncSoon(top);
}

CPixelSurface& ScreenSurface() {
    static CPixelSurface* screen = [] {
        int width = 1024, height = 768;
        if (DisplayBackend* display = CurrentDisplay()) display->GetScreenSize(&width, &height);
        return new CPixelSurface(width, height);
    }();
    return *screen;
}

struct HeldDC {
    CDC dc;
    HWND window = nullptr;
    HWND top = nullptr;
    CRect bounds;
    std::shared_ptr<TopLevel> display;
};

std::mutex g_heldLock;
std::map<HDC, std::unique_ptr<HeldDC>>& HeldDCs() {
    static auto* held = new std::map<HDC, std::unique_ptr<HeldDC>>;
    return *held;
}

} // namespace

// --- CPaintDC, CClientDC ----------------------------------------------------------

CPaintDC::CPaintDC(CWnd* pWnd) : m_ps{}, m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    bool erase = false;
    if (!TakeUpdateRegion(m_hWnd, &m_ps.rcPaint, &erase)) return;
    HWND top;
    CRect bounds;
    std::shared_ptr<TopLevel> d = OpenWindowDC(*this, m_hWnd, &m_ps.rcPaint, &top, &bounds);
    if (!d) return;
    m_display = d;
    m_ps.hdc = m_hDC;
    m_ps.fErase = erase && !::SendMessage(m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(static_cast<CDC*>(this)), 0);
}

CPaintDC::~CPaintDC() {
    if (m_display) {
        HWND top;
        RECT visible;
        POINT origin;
        if (LocateInTopLevel(m_hWnd, &top, &origin, &visible)) {
            CRect painted(m_ps.rcPaint);
            painted.OffsetRect(origin);
            painted.IntersectRect(painted, visible);
            CloseWindowDC(top, *std::static_pointer_cast<TopLevel>(m_display), painted);
        }
    }
    DeleteDC();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    if (!pWnd) {
        AttachSurface(&ScreenSurface());
        return;
    }
    HWND top;
    CRect bounds;
    m_display = OpenWindowDC(*this, m_hWnd, nullptr, &top, &bounds);
}

CClientDC::~CClientDC() {
    HWND top;
    RECT visible;
    if (m_display && LocateInTopLevel(m_hWnd, &top, nullptr, &visible))
        CloseWindowDC(top, *std::static_pointer_cast<TopLevel>(m_display), CRect(visible));
    DeleteDC();
}

// --- GetDC and friends ------------------------------------------------------------

HDC GetDC(HWND window) {
    auto held = std::make_unique<HeldDC>();
    if (!window) {
        held->dc.AttachSurface(&ScreenSurface());
    } else {
        held->display = OpenWindowDC(held->dc, window, nullptr, &held->top, &held->bounds);
        if (!held->display) return nullptr;
    }
    held->window = window;
    HDC hdc = held->dc.GetSafeHdc();
    std::lock_guard<std::mutex> hold(g_heldLock);
    HeldDCs()[hdc] = std::move(held);
    return hdc;
}

HDC GetWindowDC(HWND window) { return GetDC(window); }

int ReleaseDC(HWND window, HDC dc) {
    std::unique_ptr<HeldDC> held;
    {
        std::lock_guard<std::mutex> hold(g_heldLock);
        auto it = HeldDCs().find(dc);
        if (it == HeldDCs().end() || it->second->window != window) return 0;
        held = std::move(it->second);
        HeldDCs().erase(it);
    }
    if (held->display) CloseWindowDC(held->top, *held->display, held->bounds);
    return 1;
}

CPixelSurface* GetWindowSurface(HWND window, LPPOINT clientOrigin) {
    HWND top;
    POINT origin;
    if (!LocateInTopLevel(window, &top, &origin, nullptr)) return nullptr;
    std::shared_ptr<TopLevel> d = TopLevelOf(top);
    if (!d) return nullptr;
    if (clientOrigin) *clientOrigin = origin;
    return &d->surface; // the window's attachment keeps it while the window lives
}

UINT GetDoubleClickTime() { return 500; }

CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }

CDC* CWnd::GetWindowDC() { return CDC::FromHandle(::GetWindowDC(m_hWnd)); }

int CWnd::ReleaseDC(CDC* dc) { return dc ? ::ReleaseDC(m_hWnd, dc->GetSafeHdc()) : 0; }
