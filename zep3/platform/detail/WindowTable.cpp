#include <zep3/platform/MessagePump.h>
#include <zep3/platform/WinThread.h>
#include <zep3/platform/detail/WindowTable.h>

#include <algorithm>

// The only door to CWnd's protected overridables from the window table.
struct CWndAccess {
    static LRESULT WindowProc(CWnd* w, UINT m, WPARAM wp, LPARAM lp) { return w->WindowProc(m, wp, lp); }
    static BOOL PreCreateWindow(CWnd* w, CREATESTRUCT& cs) { return w->PreCreateWindow(cs); }
    static void PreSubclassWindow(CWnd* w) { w->PreSubclassWindow(); }
    static void PostNcDestroy(CWnd* w) { w->PostNcDestroy(); }
};

namespace zep3::detail {
namespace {

bool NeedsPaint(WindowTable& t, const WindowRecord* r) {
    return r && r->wnd && !r->destroying && !r->update.IsRectEmpty() && VisibleChain(t, r);
}

bool IsDescendant(WindowTable& t, HWND h, HWND ancestor) {
    for (WindowRecord* r = Find(t, h); r && r->parent; r = Find(t, r->parent))
        if (r->parent == ancestor) return true;
    return false;
}

void Reorder(WindowRecord& parent, HWND h, HWND after) {
    auto& list = parent.children;
    list.erase(std::remove(list.begin(), list.end(), h), list.end());
    auto at = list.begin();
    if (after == HWND_BOTTOM) at = list.end();
    else if (after != HWND_TOP && after != HWND_TOPMOST && after != HWND_NOTOPMOST) {
        auto it = std::find(list.begin(), list.end(), after);
        if (it != list.end()) at = it + 1;
    }
    list.insert(at, h);
}

// Removes v from u where what is left of u is still a rectangle.
void SubtractRect(CRect& u, const CRect& v) {
    CRect cut;
    if (!cut.IntersectRect(u, v)) return;
    if (cut == u) u.SetRectEmpty();
    else if (cut.left == u.left && cut.right == u.right) {
        if (cut.top == u.top) u.top = cut.bottom;
        else if (cut.bottom == u.bottom) u.bottom = cut.top;
    } else if (cut.top == u.top && cut.bottom == u.bottom) {
        if (cut.left == u.left) u.left = cut.right;
        else if (cut.right == u.right) u.right = cut.left;
    }
}

std::atomic<WindowObserver*> g_observer{nullptr};

thread_local MessageFrame* tlsMessage = nullptr;

// Adds area (client coordinates of h, already inside it) to h's update
// region and, with `children`, to the visible children it covers: a parent
// paints under its children, so they must repaint over it.
void AddUpdate(WindowTable& t, WindowRecord* r, const CRect& area, bool erase, bool children,
               std::vector<std::shared_ptr<ThreadQueue>>& woken) {
    r->update.UnionRect(r->update, area);
    r->erase = r->erase || erase;
    ++r->generation;
    if (std::find(woken.begin(), woken.end(), r->queue) == woken.end()) woken.push_back(r->queue);
    if (!children) return;
    for (HWND c : r->children) {
        WindowRecord* cr = Find(t, c);
        CRect part;
        if (!cr || !cr->visible || !part.IntersectRect(area, cr->rect)) continue;
        part.OffsetRect(-cr->rect.left, -cr->rect.top);
        AddUpdate(t, cr, part, erase, true, woken);
    }
}

// Takes a window out of the table (locked) and out of its parent's children.
void Remove(WindowTable& t, HWND h, const WindowRecord& r) {
    if (WindowRecord* parent = Find(t, r.parent))
        parent->children.erase(std::remove(parent->children.begin(), parent->children.end(), h),
                               parent->children.end());
    t.windows.erase(h);
    t.removals.fetch_add(1, std::memory_order_release);
}

// What this thread learned of a window at its last lookup; valid while the
// table's `removals` still has the value it had then. The queue is held
// weakly, so that no thread keeps another's queue alive by remembering it.
struct RememberedWindow {
    HWND hwnd = nullptr;
    uint64_t removals = 0;
    CWnd* wnd = nullptr;
    std::weak_ptr<ThreadQueue> queue;
};

// A few windows per thread, by handle: a thread posts to or dispatches for
// a handful of windows at a time.
struct WindowMemory {
    static const size_t kSlots = 8;
    RememberedWindow slots[kSlots];
    ~WindowMemory();
};
thread_local bool tlsMemoryGone = false; // the thread's memory is gone: windows are looked up locked
thread_local WindowMemory tlsMemory;
WindowMemory::~WindowMemory() { tlsMemoryGone = true; }

// h's record as this thread remembers it, looked up under the lock when it
// is not remembered or a window has left the table since; null when h is no
// window. Once the thread's memory is gone (at its exit), `scratch` holds
// the answer.
const RememberedWindow* Recall(HWND h, RememberedWindow& scratch) {
    WindowTable& t = Table();
    RememberedWindow* slot = &scratch;
    if (h && !tlsMemoryGone) {
        slot = &tlsMemory.slots[(reinterpret_cast<uintptr_t>(h) >> 2) % WindowMemory::kSlots];
        if (slot->hwnd == h && slot->removals == t.removals.load(std::memory_order_acquire)) return slot;
    }
    std::lock_guard<std::mutex> hold(t.lock);
    WindowRecord* r = Find(t, h);
    if (!r) return nullptr;
    *slot = RememberedWindow{h, t.removals.load(std::memory_order_relaxed), r->wnd, r->queue};
    return slot;
}

void SendDestroy(HWND h) {
    std::vector<HWND> children;
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        WindowRecord* r = Find(t, h);
        if (!r) return;
        r->destroying = true;
        children = r->children;
    }
    CallWindow(h, WM_DESTROY, 0, 0);
    for (HWND c : children) SendDestroy(c);
}

void FinishDestroy(ThreadQueue& q, HWND h) {
    std::vector<HWND> children;
    CWnd* wnd;
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        WindowRecord* r = Find(t, h);
        if (!r) return;
        children = r->children;
        wnd = r->wnd;
    }
    for (HWND c : children) FinishDestroy(q, c);
    KillWindowTimers(q, h);
    if (wnd) Observer().WindowDestroyed(wnd);
    CallWindow(h, WM_NCDESTROY, 0, 0);
    std::shared_ptr<void> attachment; // released outside the lock
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        WindowRecord* r = Find(t, h);
        if (!r) return;
        attachment = std::move(r->attachment);
        Remove(t, h, *r);
    }
    q.windows.erase(std::remove(q.windows.begin(), q.windows.end(), h), q.windows.end());
    if (!wnd) return;
    if (wnd->m_hWnd == h) wnd->m_hWnd = nullptr;
    CWnd* expected = wnd;
    bool quit = ProcessMainWindow().compare_exchange_strong(expected, nullptr);
    CWinThread* thread = AfxGetThread();
    if (thread && thread->m_pMainWnd == wnd) {
        thread->m_pMainWnd = nullptr;
        quit = true;
    }
    if (quit) PostQuitMessage(0);
    CWndAccess::PostNcDestroy(wnd);
}

} // namespace

WindowTable& Table() {
    static WindowTable* table = new WindowTable;
    return *table;
}

WindowRecord* Find(WindowTable& t, HWND h) {
    auto it = t.windows.find(h);
    return it == t.windows.end() ? nullptr : &it->second;
}

CPoint ClientOrigin(WindowTable& t, HWND h) {
    CPoint origin;
    for (WindowRecord* r = Find(t, h); r; r = r->parent ? Find(t, r->parent) : nullptr) origin += r->rect.TopLeft();
    return origin;
}

bool VisibleChain(WindowTable& t, const WindowRecord* r) {
    for (; r; r = r->parent ? Find(t, r->parent) : nullptr)
        if (!r->visible) return false;
    return true;
}

void Descendants(WindowTable& t, HWND h, std::vector<HWND>& out) {
    if (WindowRecord* r = Find(t, h))
        for (HWND c : r->children) {
            out.push_back(c);
            Descendants(t, c, out);
        }
}

HWND ChildAt(WindowTable& t, HWND h, CPoint point) {
    WindowRecord* r = Find(t, h);
    for (HWND c : r->children) {
        WindowRecord* cr = Find(t, c);
        if (cr && cr->visible && cr->enabled && cr->rect.PtInRect(point))
            return ChildAt(t, c, CPoint(point.x - cr->rect.left, point.y - cr->rect.top));
    }
    return h;
}

WindowObserver& Observer() {
    static WindowObserver none;
    WindowObserver* o = g_observer.load(std::memory_order_acquire);
    return o ? *o : none;
}

std::atomic<CWnd*>& ProcessMainWindow() {
    static std::atomic<CWnd*> mainWnd{nullptr};
    return mainWnd;
}

const MessageFrame* CurrentMessage() { return tlsMessage; }

void InvalidateWindow(HWND h, const RECT* rect, bool erase, bool children) {
    std::vector<std::shared_ptr<ThreadQueue>> woken;
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        WindowRecord* r = Find(t, h);
        if (!r) return;
        CRect area(0, 0, r->rect.Width(), r->rect.Height());
        if (rect && !area.IntersectRect(area, *rect)) return;
        if (area.IsRectEmpty()) return;
        AddUpdate(t, r, area, erase, children, woken);
    }
    for (auto& q : woken) {
        q->paintHint = true;
        q->Wake();
    }
}

void ValidateWindow(HWND h, const RECT* rect) {
    WindowTable& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    WindowRecord* r = Find(t, h);
    if (!r) return;
    if (rect) SubtractRect(r->update, *rect);
    else r->update.SetRectEmpty();
    if (r->update.IsRectEmpty()) r->erase = false;
}

void UpdateWindowNow(HWND h) {
    unsigned generation;
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        WindowRecord* r = Find(t, h);
        if (!NeedsPaint(t, r)) return;
        generation = r->generation;
    }
    ::SendMessage(h, WM_PAINT, 0, 0);
    ValidateAfterPaint(h, generation);
}

BOOL CreateWindowFor(CWnd* self, CREATESTRUCT& cs) {
    std::shared_ptr<ThreadQueue> q = CurrentQueue();
    if (!q || self->m_hWnd) return FALSE;
    if (!CWndAccess::PreCreateWindow(self, cs)) return FALSE;
    const DWORD style = static_cast<DWORD>(cs.style);
    const bool child = (style & WS_CHILD) != 0;
    HWND h;
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        WindowRecord* parent = Find(t, cs.hwndParent);
        if (child && !parent) return FALSE;
        t.last += 4;
        h = reinterpret_cast<HWND>(t.last);
        WindowRecord& r = t.windows[h];
        r.wnd = self;
        r.queue = q;
        (child ? r.parent : r.owner) = parent ? cs.hwndParent : nullptr;
        r.rect = CRect(cs.x, cs.y, cs.x + std::max(cs.cx, 0), cs.y + std::max(cs.cy, 0));
        r.style = style;
        r.exStyle = cs.dwExStyle;
        r.id = child ? static_cast<UINT>(reinterpret_cast<uintptr_t>(cs.hMenu)) : 0;
        r.className = cs.lpszClass ? cs.lpszClass : "";
        r.text = cs.lpszName ? cs.lpszName : "";
        r.visible = (style & WS_VISIBLE) != 0;
        r.enabled = (style & WS_DISABLED) == 0;
        if (child) parent->children.push_back(h); // new children go to the bottom, like the tab order
    }
    q->windows.push_back(h);
    self->m_hWnd = h;
    CWndAccess::PreSubclassWindow(self);
    Observer().WindowCreated(self);
    if (::SendMessage(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        ::DestroyWindow(h); // may delete self
        return FALSE;
    }
    Observer().WindowResized(self, std::max(cs.cx, 0), std::max(cs.cy, 0));
    ::SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(std::max(cs.cx, 0), std::max(cs.cy, 0)));
    if (style & WS_VISIBLE) InvalidateWindow(h, nullptr, true);
    return TRUE;
}

BOOL DestroyWindowNow(HWND h) {
    std::shared_ptr<ThreadQueue> q = CurrentQueue();
    HWND captured = q ? q->capture.load() : nullptr;
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        WindowRecord* r = Find(t, h);
        if (!r || !q || r->queue != q || r->destroying) return FALSE;
        if (captured != h && !IsDescendant(t, captured, h)) captured = nullptr;
    }
    if (captured) {
        q->capture = nullptr;
        CallWindow(captured, WM_CAPTURECHANGED, 0, 0);
    }
    SendDestroy(h);
    FinishDestroy(*q, h);
    return TRUE;
}

// Forgets a window destroyed from a thread other than its own: no messages
// can reach it there, so its handle just stops being valid.
void DropWindow(CWnd* wnd) {
    WindowTable& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    WindowRecord* r = Find(t, wnd->m_hWnd);
    if (r && r->wnd == wnd) Remove(t, wnd->m_hWnd, *r);
}

BOOL SetWindowPosNow(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
    CRect before, now;
    HWND parent;
    CWnd* wnd;
    bool wasVisible, visible;
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        WindowRecord* r = Find(t, h);
        if (!r) return FALSE;
        before = now = r->rect;
        if (!(flags & SWP_NOMOVE)) now.OffsetRect(x - before.left, y - before.top);
        if (!(flags & SWP_NOSIZE)) {
            now.right = now.left + std::max(cx, 0);
            now.bottom = now.top + std::max(cy, 0);
        }
        r->rect = now;
        if (!r->update.IntersectRect(r->update, CRect(0, 0, now.Width(), now.Height()))) r->erase = false;
        parent = r->parent;
        wnd = r->wnd;
        if (!(flags & SWP_NOZORDER))
            if (WindowRecord* p = Find(t, parent)) Reorder(*p, h, after);
        wasVisible = r->visible;
        if (flags & SWP_SHOWWINDOW) r->visible = true;
        if (flags & SWP_HIDEWINDOW) r->visible = false;
        visible = r->visible;
    }
    const bool sized = before.Width() != now.Width() || before.Height() != now.Height();
    const bool moved = before.TopLeft() != now.TopLeft();
    if (sized) {
        if (wnd) Observer().WindowResized(wnd, now.Width(), now.Height());
        ::SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(now.Width(), now.Height()));
    }
    if (wasVisible != visible && wnd) Observer().WindowShown(wnd, visible);
    if (!(flags & SWP_NOREDRAW)) {
        if (sized || (visible && !wasVisible)) InvalidateWindow(h, nullptr, true);
        if (parent && (sized || moved || visible != wasVisible)) {
            CRect exposed;
            exposed.UnionRect(before, now);
            InvalidateWindow(parent, &exposed, true);
        }
    }
    return TRUE;
}

LRESULT CallWindow(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    RememberedWindow scratch;
    const RememberedWindow* remembered = Recall(h, scratch);
    CWnd* wnd = remembered ? remembered->wnd : nullptr;
    if (!wnd) return 0;
    MessageFrame frame{message, wParam, lParam, tlsMessage};
    struct Pop {
        MessageFrame* previous;
        ~Pop() { tlsMessage = previous; }
    } pop{tlsMessage};
    tlsMessage = &frame;
    return CWndAccess::WindowProc(wnd, message, wParam, lParam);
}

std::shared_ptr<ThreadQueue> QueueOfWindow(HWND h) {
    RememberedWindow scratch;
    const RememberedWindow* remembered = Recall(h, scratch);
    // The record holds its queue: a queue gone means the window has gone too.
    std::shared_ptr<ThreadQueue> q = remembered ? remembered->queue.lock() : nullptr;
    if (!q) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return q;
}

HWND NextWindowToPaint(ThreadQueue& q, HWND filter) {
    if (!q.paintHint.exchange(false)) return nullptr;
    WindowTable& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    HWND found = nullptr;
    bool any = false;
    for (HWND h : q.windows) {
        if (!NeedsPaint(t, Find(t, h))) continue;
        any = true;
        if (!filter || h == filter) {
            found = h;
            break;
        }
    }
    if (any) q.paintHint = true; // more may be waiting
    return found;
}

unsigned PaintGeneration(HWND h) {
    return WithWindow<unsigned>(h, 0, [](WindowTable&, WindowRecord& r) { return r.generation; });
}

void ValidateAfterPaint(HWND h, unsigned generationBefore) {
    CWnd* wnd = WithWindow<CWnd*>(h, nullptr, [&](WindowTable&, WindowRecord& r) {
        if (r.generation == generationBefore) {
            r.update.SetRectEmpty();
            r.erase = false;
        }
        return r.wnd;
    });
    if (wnd) Observer().WindowPainted(wnd);
}

void DestroyThreadWindows(ThreadQueue& q) {
    std::vector<HWND> windows = q.windows;
    for (HWND h : windows) {
        bool topLevel = WithWindow<bool>(h, false, [](WindowTable& t, WindowRecord& r) { return !Find(t, r.parent); });
        if (topLevel) DestroyWindowNow(h);
    }
    q.windows.clear();
}

void SetWindowObserver(WindowObserver* observer) { g_observer.store(observer, std::memory_order_release); }

bool TakeUpdateRegion(HWND h, RECT* update, bool* erase) {
    return WithWindow<bool>(h, false, [&](WindowTable&, WindowRecord& r) {
        if (update) *update = r.update;
        if (erase) *erase = r.erase;
        r.update.SetRectEmpty();
        r.erase = false;
        return true;
    });
}

bool LocateInTopLevel(HWND h, HWND* top, POINT* origin, RECT* visible) {
    WindowTable& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    WindowRecord* r = Find(t, h);
    if (!r) return false;
    // Walk up to the top-level window, moving the visible area into each
    // parent's client coordinates and cutting it to that client area.
    CRect area(0, 0, r->rect.Width(), r->rect.Height());
    CPoint offset;
    HWND at = h;
    for (WindowRecord* p; r->parent && (p = Find(t, r->parent)); r = p) {
        offset += r->rect.TopLeft();
        area.OffsetRect(r->rect.TopLeft());
        if (!area.IntersectRect(area, CRect(0, 0, p->rect.Width(), p->rect.Height()))) area.SetRectEmpty();
        at = r->parent;
    }
    if (top) *top = at;
    if (origin) *origin = offset;
    if (visible) *visible = area;
    return true;
}

HWND MouseTarget(HWND h, POINT clientPoint) {
    std::shared_ptr<ThreadQueue> q = QueueOfWindow(h);
    HWND captured = q ? q->capture.load() : nullptr;
    WindowTable& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    if (!Find(t, h)) return nullptr;
    if (Find(t, captured)) return captured;
    return ChildAt(t, h, clientPoint);
}

std::shared_ptr<void> GetWindowAttachment(HWND h) {
    return WithWindow<std::shared_ptr<void>>(h, nullptr, [](WindowTable&, WindowRecord& r) { return r.attachment; });
}

bool SetWindowAttachment(HWND h, std::shared_ptr<void> attachment) {
    std::shared_ptr<void> previous; // released outside the lock
    return WithWindow<bool>(h, false, [&](WindowTable&, WindowRecord& r) {
        previous = std::move(r.attachment);
        r.attachment = std::move(attachment);
        return true;
    });
}

} // namespace zep3::detail
