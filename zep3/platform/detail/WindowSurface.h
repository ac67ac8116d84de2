#pragma once
// Where the drawing layer joins the windows: a window surface, CPaintDC and a
// presenter are added through this interface without changing the loop.
//
// The drawing layer (WindowPaint.cpp) installs one WindowObserver. Its calls
// come with no lock held, so they may call back into CWnd; they come on the
// window's own thread, except WindowResized and WindowShown, which come on
// the thread that moved or showed the window.
// Each window carries an opaque attachment (a surface, say) that lives until
// the window is destroyed.
//
// Painting: the loop dispatches WM_PAINT to OnPaint and, afterwards,
// validates the update region unless the handler invalidated it again. A
// CPaintDC built in OnPaint calls TakeUpdateRegion (as BeginPaint would),
// sends WM_ERASEBKGND with its CDC* as wParam when the erase flag is set, and
// paints the window's surface clipped to the update rectangle; its
// destructor may present the surface. WindowPainted follows every WM_PAINT.
#include <zep3/platform/WinTypes.h>

#include <memory>

class CDC;
class CWnd;

namespace zep3::detail {

class WindowObserver {
public:
    virtual ~WindowObserver() = default;
    virtual void WindowCreated(CWnd*) {}
    // The client size changed (also right after creation).
    virtual void WindowResized(CWnd*, int /*cx*/, int /*cy*/) {}
    virtual void WindowShown(CWnd*, bool /*visible*/) {}
    // After WM_PAINT was handled.
    virtual void WindowPainted(CWnd*) {}
    // Before the handle goes away (the attachment is released after this).
    virtual void WindowDestroyed(CWnd*) {}
    // The default WM_ERASEBKGND: fill with the class background. TRUE when erased.
    virtual BOOL EraseBackground(CWnd*, CDC*) { return FALSE; }
    // WM_ZEP3_SYNCDISPLAY reached the window's default handling (on its thread).
    virtual void SyncDisplay(CWnd*) {}
};

// Posted to a window by the drawing layer when a change made on another
// thread must reach its display on the window's own thread.
constexpr UINT WM_ZEP3_SYNCDISPLAY = 0x03FE;

// Installs the observer (null removes it); the caller keeps it alive.
void SetWindowObserver(WindowObserver* observer);

// Reads and validates the update region, as BeginPaint does: the bounding
// rectangle in client coordinates and the erase flag. False when the window
// does not exist; an empty rectangle when nothing is invalid.
bool TakeUpdateRegion(HWND window, RECT* update, bool* erase);

// The top-level window that h lies in, h's client origin in that window's
// client area, and the part of h's client area that its ancestors leave
// visible, in the top-level window's client coordinates (h's own rectangle
// when h is top-level). False when h is not a window.
bool LocateInTopLevel(HWND h, HWND* top, POINT* origin, RECT* visible);
// The window that mouse input at clientPoint of h goes to: the capture of
// h's thread, else the deepest visible, enabled child under the point. Null
// when h is not a window.
HWND MouseTarget(HWND h, POINT clientPoint);

// The window's attachment (null when none or not a window).
std::shared_ptr<void> GetWindowAttachment(HWND window);
bool SetWindowAttachment(HWND window, std::shared_ptr<void> attachment);

} // namespace zep3::detail
