#pragma once
// The table of windows: every window's record under one lock, and the
// operations on it that the CWnd members, the free window functions, the
// message loop and the drawing layer share (WindowTable.cpp).
//
// Posting and dispatching find a window's thread and object without the
// lock: each thread remembers what it looked up, and trusts it while no
// window has left the table since (`removals`). Handles are never reused,
// so a window joining the table cannot make a remembered one wrong.
#include <zep3/platform/Wnd.h>
#include <zep3/platform/detail/Kernel.h>
#include <zep3/platform/detail/MessageQueue.h>
#include <zep3/platform/detail/WindowSurface.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace zep3::detail {

struct WindowRecord {
    CWnd* wnd = nullptr;
    std::shared_ptr<ThreadQueue> queue;
    HWND parent = nullptr;      // child windows
    HWND owner = nullptr;       // top-level windows created with a parent
    std::vector<HWND> children; // top of the z-order first
    CRect rect;                 // in the parent's client area, or on the screen
    DWORD style = 0;
    DWORD exStyle = 0;
    UINT id = 0;
    std::string className;
    std::string text;
    void* font = nullptr; // WM_SETFONT's HFONT, not owned
    CRect update;
    bool erase = false;
    unsigned generation = 0;
    bool visible = false;
    bool enabled = true;
    bool destroying = false;
    std::shared_ptr<void> attachment;
};

struct WindowTable {
    std::mutex lock;
    std::unordered_map<HWND, WindowRecord> windows; // node-based: records stay put
    uintptr_t last = 0x10000;
    std::atomic<uint64_t> removals{0}; // raised, under the lock, as a window leaves `windows`
};

WindowTable& Table();

// The functions taking a WindowTable& expect its lock to be held.
WindowRecord* Find(WindowTable& t, HWND h);
// h's client origin in screen coordinates.
CPoint ClientOrigin(WindowTable& t, HWND h);
// Visible, and so are all its parents.
bool VisibleChain(WindowTable& t, const WindowRecord* r);
// h's children, their children and so on.
void Descendants(WindowTable& t, HWND h, std::vector<HWND>& out);
// The deepest visible, enabled child under a point of h's client area.
HWND ChildAt(WindowTable& t, HWND h, CPoint point);

// Runs f(table, record) with the table locked and returns what it returns;
// fallback when h is not a window. f may read and change the record.
template <class T, class F>
T WithWindow(HWND h, T fallback, F f) {
    WindowTable& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    WindowRecord* r = Find(t, h);
    return r ? f(t, *r) : fallback;
}

// The drawing layer's observer (one that does nothing when none is installed).
WindowObserver& Observer();
// The process's main window (AfxSetMainWnd), for threads without their own.
std::atomic<CWnd*>& ProcessMainWindow();

// The message a window procedure of this thread is handling (the innermost
// one), for CWnd::Default; null outside window procedures.
struct MessageFrame {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    MessageFrame* previous;
};
const MessageFrame* CurrentMessage();

// ---- operations; the table must not be locked ----

// Adds the client rectangle (null: all) to the update region, with
// `children` also to the children it covers, and wakes the owners' loops.
void InvalidateWindow(HWND h, const RECT* rect, bool erase, bool children = true);
void ValidateWindow(HWND h, const RECT* rect);
// Sends WM_PAINT now when the window needs painting.
void UpdateWindowNow(HWND h);
BOOL CreateWindowFor(CWnd* self, CREATESTRUCT& cs);
// Destroys a window of the calling thread with its children.
BOOL DestroyWindowNow(HWND h);
// Forgets a window destroyed from a thread other than its own: no messages
// can reach it there, so its handle just stops being valid.
void DropWindow(CWnd* wnd);
BOOL SetWindowPosNow(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags);

// ---- for the message loop ----

// Calls the window procedure on the calling thread, remembering the message
// for CWnd::Default. 0 when the window does not exist.
LRESULT CallWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The queue of the thread that created the window; null (and the last error
// ERROR_INVALID_WINDOW_HANDLE) when it is not a window. So posting, sending
// and setting a timer fail with that error on a handle that is no window.
std::shared_ptr<ThreadQueue> QueueOfWindow(HWND window);
// The first window of the queue's thread (the filter window alone, when
// given) that is visible and has a non-empty update region. Owner thread.
HWND NextWindowToPaint(ThreadQueue& queue, HWND filter);
// Counts invalidations of a window; a paint validates only when no
// invalidation came while its handler ran.
unsigned PaintGeneration(HWND window);
void ValidateAfterPaint(HWND window, unsigned generationBefore);
// Destroys the windows the queue's thread still has. Owner thread.
void DestroyThreadWindows(ThreadQueue& queue);

} // namespace zep3::detail
