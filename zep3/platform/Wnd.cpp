#include <zep3/platform/MessagePump.h>
#include <zep3/platform/PaintDC.h>
#include <zep3/platform/WinThread.h>
#include <zep3/platform/Wnd.h>
#include <zep3/platform/detail/WindowSurface.h>
#include <zep3/platform/detail/WindowTable.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>

// The only door to CWnd's protected overridables from the window table.
struct CWndAccess {
    static LRESULT WindowProc(CWnd* w, UINT m, WPARAM wp, LPARAM lp) { return w->WindowProc(m, wp, lp); }
    static BOOL PreCreateWindow(CWnd* w, CREATESTRUCT& cs) { return w->PreCreateWindow(cs); }
    static void PreSubclassWindow(CWnd* w) { w->PreSubclassWindow(); }
    static void PostNcDestroy(CWnd* w) { w->PostNcDestroy(); }
};

namespace zep3::detail {
namespace {

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
};

WindowTable& Table() {
    static WindowTable* table = new WindowTable;
    return *table;
}

// The functions taking a WindowTable& expect its lock to be held.
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

bool NeedsPaint(WindowTable& t, const WindowRecord* r) {
    return r && r->wnd && !r->destroying && !r->update.IsRectEmpty() && VisibleChain(t, r);
}

bool IsDescendant(WindowTable& t, HWND h, HWND ancestor) {
    for (WindowRecord* r = Find(t, h); r && r->parent; r = Find(t, r->parent))
        if (r->parent == ancestor) return true;
    return false;
}

void Descendants(WindowTable& t, HWND h, std::vector<HWND>& out) {
    if (WindowRecord* r = Find(t, h))
        for (HWND c : r->children) {
            out.push_back(c);
            Descendants(t, c, out);
        }
}

// The deepest visible, enabled child under a point of h's client area.
HWND ChildAt(WindowTable& t, HWND h, CPoint point) {
    WindowRecord* r = Find(t, h);
    for (HWND c : r->children) {
        WindowRecord* cr = Find(t, c);
        if (cr && cr->visible && cr->enabled && cr->rect.PtInRect(point))
            return ChildAt(t, c, CPoint(point.x - cr->rect.left, point.y - cr->rect.top));
    }
    return h;
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
std::atomic<CWnd*> g_mainWnd{nullptr};

WindowObserver& Observer() {
    static WindowObserver none;
    WindowObserver* o = g_observer.load(std::memory_order_acquire);
    return o ? *o : none;
}

// --- window classes -----------------------------------------------------

struct ClassEntry {
    WNDCLASS wc;
    std::string name;
    std::string menu;
};

struct ClassTable {
    std::mutex lock;
    std::map<std::string, std::unique_ptr<ClassEntry>> byName;
};

ClassTable& Classes() {
    static ClassTable* classes = new ClassTable;
    return *classes;
}

std::string ClassKey(LPCSTR name) {
    std::string key = name ? name : "";
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

HCURSOR ClassCursor(const std::string& className) {
    ClassTable& classes = Classes();
    std::lock_guard<std::mutex> hold(classes.lock);
    auto it = classes.byName.find(ClassKey(className.c_str()));
    return it == classes.byName.end() ? LoadCursor(nullptr, IDC_ARROW) : it->second->wc.hCursor;
}

// --- Default() -------------------------------------------------------------

struct MessageFrame {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    MessageFrame* previous;
};
thread_local MessageFrame* tlsMessage = nullptr;

// --- invalidation --------------------------------------------------------

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

void InvalidateWindow(HWND h, const RECT* rect, bool erase, bool children = true) {
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

// --- creation and destruction ----------------------------------------------

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
        if (WindowRecord* parent = Find(t, r->parent))
            parent->children.erase(std::remove(parent->children.begin(), parent->children.end(), h),
                                   parent->children.end());
        attachment = std::move(r->attachment);
        t.windows.erase(h);
    }
    q.windows.erase(std::remove(q.windows.begin(), q.windows.end(), h), q.windows.end());
    if (!wnd) return;
    if (wnd->m_hWnd == h) wnd->m_hWnd = nullptr;
    CWnd* expected = wnd;
    bool quit = g_mainWnd.compare_exchange_strong(expected, nullptr);
    CWinThread* thread = AfxGetThread();
    if (thread && thread->m_pMainWnd == wnd) {
        thread->m_pMainWnd = nullptr;
        quit = true;
    }
    if (quit) PostQuitMessage(0);
    CWndAccess::PostNcDestroy(wnd);
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
    if (!r || r->wnd != wnd) return;
    if (WindowRecord* parent = Find(t, r->parent))
        parent->children.erase(std::remove(parent->children.begin(), parent->children.end(), wnd->m_hWnd),
                               parent->children.end());
    t.windows.erase(wnd->m_hWnd);
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

template <class T, class F>
T Read(HWND h, T fallback, F f) {
    WindowTable& t = Table();
    std::lock_guard<std::mutex> hold(t.lock);
    WindowRecord* r = Find(t, h);
    return r ? f(t, *r) : fallback;
}

} // namespace

LRESULT CallWindow(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = Read<CWnd*>(h, nullptr, [](WindowTable&, WindowRecord& r) { return r.wnd; });
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
    return Read<std::shared_ptr<ThreadQueue>>(h, nullptr, [](WindowTable&, WindowRecord& r) { return r.queue; });
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
    return Read<unsigned>(h, 0, [](WindowTable&, WindowRecord& r) { return r.generation; });
}

void ValidateAfterPaint(HWND h, unsigned generationBefore) {
    CWnd* wnd = Read<CWnd*>(h, nullptr, [&](WindowTable&, WindowRecord& r) {
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
        bool topLevel = Read<bool>(h, false, [](WindowTable& t, WindowRecord& r) { return !Find(t, r.parent); });
        if (topLevel) DestroyWindowNow(h);
    }
    q.windows.clear();
}

void SetWindowObserver(WindowObserver* observer) { g_observer.store(observer, std::memory_order_release); }

bool TakeUpdateRegion(HWND h, RECT* update, bool* erase) {
    return Read<bool>(h, false, [&](WindowTable&, WindowRecord& r) {
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
    return Read<std::shared_ptr<void>>(h, nullptr, [](WindowTable&, WindowRecord& r) { return r.attachment; });
}

bool SetWindowAttachment(HWND h, std::shared_ptr<void> attachment) {
    std::shared_ptr<void> previous; // released outside the lock
    return Read<bool>(h, false, [&](WindowTable&, WindowRecord& r) {
        previous = std::move(r.attachment);
        r.attachment = std::move(attachment);
        return true;
    });
}

} // namespace zep3::detail

using namespace zep3::detail;

// --- CWnd -----------------------------------------------------------------------

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

CWnd::CWnd() : m_hWnd(nullptr) {}

CWnd::CWnd(HWND marker) : m_hWnd(marker) {}

CWnd::~CWnd() {
    if (!m_hWnd) return;
    std::shared_ptr<ThreadQueue> q = QueueOfWindow(m_hWnd);
    if (q && q == CurrentQueue()) DestroyWindowNow(m_hWnd);
    else DropWindow(this);
    m_hWnd = nullptr;
}

CWnd* CWnd::FromHandle(HWND window) {
    return Read<CWnd*>(window, nullptr, [](WindowTable&, WindowRecord& r) { return r.wnd; });
}

CWnd* CWnd::FromHandlePermanent(HWND window) { return FromHandle(window); }

HWND CWnd::GetSafeHwnd() const {
    // Applications call this through null pointers; keep the compiler from
    // assuming `this` is never null.
    const CWnd* self = this;
    asm("" : "+r"(self));
    return self ? self->m_hWnd : nullptr;
}

BOOL CWnd::Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  CCreateContext* context) {
    return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, context);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id, LPVOID param) {
    return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), param);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU idOrMenu, LPVOID param) {
    CREATESTRUCT cs{param,  nullptr, idOrMenu, parent, height, width, y, x, static_cast<LONG>(style),
                    windowName, className, exStyle};
    return CreateWindowFor(this, cs);
}

BOOL CWnd::DestroyWindow() { return DestroyWindowNow(m_hWnd); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd ? ::PostMessage(m_hWnd, message, wParam, lParam) : FALSE;
}

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

DWORD CWnd::GetStyle() const {
    return Read<DWORD>(m_hWnd, 0, [](WindowTable&, WindowRecord& r) { return r.style; });
}

DWORD CWnd::GetExStyle() const {
    return Read<DWORD>(m_hWnd, 0, [](WindowTable&, WindowRecord& r) { return r.exStyle; });
}

int CWnd::GetDlgCtrlID() const {
    return Read<int>(m_hWnd, 0, [](WindowTable&, WindowRecord& r) { return static_cast<int>(r.id); });
}

void CWnd::SetWindowText(LPCSTR text) {
    Read<bool>(m_hWnd, false, [&](WindowTable&, WindowRecord& r) {
        r.text = text ? text : "";
        return true;
    });
}

int CWnd::GetWindowText(LPSTR buffer, int size) const {
    CString text;
    GetWindowText(text);
    if (!buffer || size <= 0) return 0;
    int n = std::min(text.GetLength(), size - 1);
    std::memcpy(buffer, static_cast<const char*>(text), n);
    buffer[n] = '\0';
    return n;
}

void CWnd::GetWindowText(CString& text) const {
    std::string value = Read<std::string>(m_hWnd, "", [](WindowTable&, WindowRecord& r) { return r.text; });
    text = CString(value.data(), static_cast<int>(value.size()));
}

void CWnd::GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }

void CWnd::GetWindowRect(LPRECT rect) const {
    if (!rect) return;
    *rect = Read<CRect>(m_hWnd, CRect(), [&](WindowTable& t, WindowRecord& r) {
        return r.rect + (r.parent ? ClientOrigin(t, r.parent) : CPoint());
    });
}

void CWnd::ClientToScreen(LPPOINT point) const {
    if (point) *point = CPoint(*point) + Read<CPoint>(m_hWnd, CPoint(), [&](WindowTable& t, WindowRecord&) {
        return ClientOrigin(t, m_hWnd);
    });
}

void CWnd::ClientToScreen(LPRECT rect) const {
    if (!rect) return;
    ClientToScreen(reinterpret_cast<LPPOINT>(&rect->left));
    ClientToScreen(reinterpret_cast<LPPOINT>(&rect->right));
}

void CWnd::ScreenToClient(LPPOINT point) const {
    if (!point) return;
    CPoint origin;
    ClientToScreen(&origin);
    point->x -= origin.x;
    point->y -= origin.y;
}

void CWnd::ScreenToClient(LPRECT rect) const {
    if (!rect) return;
    ScreenToClient(reinterpret_cast<LPPOINT>(&rect->left));
    ScreenToClient(reinterpret_cast<LPPOINT>(&rect->right));
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    SetWindowPosNow(m_hWnd, nullptr, x, y, width, height, SWP_NOZORDER | (repaint ? 0 : SWP_NOREDRAW));
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
    if (rect) MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return SetWindowPosNow(m_hWnd, insertAfter ? insertAfter->m_hWnd : HWND_TOP, x, y, cx, cy, flags);
}

BOOL CWnd::ShowWindow(int command) {
    bool wasVisible = Read<bool>(m_hWnd, false, [](WindowTable&, WindowRecord& r) { return r.visible; });
    SetWindowPosNow(m_hWnd, nullptr, 0, 0, 0, 0,
                    SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (command == SW_HIDE ? SWP_HIDEWINDOW : SWP_SHOWWINDOW));
    return wasVisible ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const {
    return Read<bool>(m_hWnd, false, [](WindowTable& t, WindowRecord& r) { return VisibleChain(t, &r); });
}

BOOL CWnd::EnableWindow(BOOL enable) {
    bool wasDisabled = false, changed = false;
    Read<bool>(m_hWnd, false, [&](WindowTable&, WindowRecord& r) {
        wasDisabled = !r.enabled;
        changed = r.enabled != (enable != FALSE);
        r.enabled = enable != FALSE;
        return true;
    });
    if (changed) SendMessage(WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    return Read<bool>(m_hWnd, false, [](WindowTable&, WindowRecord& r) { return r.enabled; });
}

void CWnd::Invalidate(BOOL erase) { InvalidateWindow(m_hWnd, nullptr, erase != FALSE); }

void CWnd::InvalidateRect(LPCRECT rect, BOOL erase) { InvalidateWindow(m_hWnd, rect, erase != FALSE); }

void CWnd::ValidateRect(LPCRECT rect) { ValidateWindow(m_hWnd, rect); }

BOOL CWnd::GetUpdateRect(LPRECT rect, BOOL) {
    CRect update = Read<CRect>(m_hWnd, CRect(), [](WindowTable&, WindowRecord& r) { return r.update; });
    if (rect) *rect = update;
    return update.IsRectEmpty() ? FALSE : TRUE;
}

void CWnd::UpdateWindow() { UpdateWindowNow(m_hWnd); }

BOOL CWnd::RedrawWindow(LPCRECT rect, CRgn* region, UINT flags) {
    const RECT* area = region ? nullptr : rect;
    // The windows concerned, each with the offset that moves the rectangle
    // from this window's client area into its own.
    std::vector<std::pair<HWND, CPoint>> targets;
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        if (!Find(t, m_hWnd)) return FALSE;
        std::vector<HWND> windows{m_hWnd};
        if (flags & RDW_ALLCHILDREN) Descendants(t, m_hWnd, windows);
        const CPoint origin = ClientOrigin(t, m_hWnd);
        for (HWND h : windows) {
            const CPoint own = ClientOrigin(t, h);
            targets.emplace_back(h, CPoint(origin.x - own.x, origin.y - own.y));
        }
    }
    for (const auto& target : targets) {
        CRect local;
        if (area) local = CRect(*area) + target.second;
        const RECT* part = area ? &local : nullptr;
        if (flags & RDW_INVALIDATE)
            InvalidateWindow(target.first, part, (flags & RDW_ERASE) != 0, !(flags & RDW_NOCHILDREN));
        if (flags & RDW_VALIDATE) ValidateWindow(target.first, part);
    }
    if (flags & RDW_UPDATENOW)
        for (const auto& target : targets) UpdateWindowNow(target.first);
    return TRUE;
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc) { return ::SetTimer(m_hWnd, id, elapse, proc); }

BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

CWnd* CWnd::SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }

CWnd* CWnd::GetCapture() { return FromHandle(::GetCapture()); }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const UINT flags = static_cast<UINT>(wParam);
    const CPoint point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    switch (message) {
    case WM_CREATE: return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_NCDESTROY: OnNcDestroy(); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<CDC*>(wParam));
    case WM_SIZE: OnSize(flags, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_ENABLE: OnEnable(static_cast<BOOL>(wParam)); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_MOUSEMOVE: OnMouseMove(flags, point); return 0;
    case WM_LBUTTONDOWN: OnLButtonDown(flags, point); return 0;
    case WM_LBUTTONUP: OnLButtonUp(flags, point); return 0;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(flags, point); return 0;
    case WM_RBUTTONDOWN: OnRButtonDown(flags, point); return 0;
    case WM_RBUTTONUP: OnRButtonUp(flags, point); return 0;
    case WM_RBUTTONDBLCLK: OnRButtonDblClk(flags, point); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(FromHandle(reinterpret_cast<HWND>(lParam))); return 0;
    case WM_SETCURSOR:
        return OnSetCursor(FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam));
    default: return DefWindowProc(message, wParam, lParam);
    }
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow();
        return 0;
    case WM_SETCURSOR: {
        if (GetStyle() & WS_CHILD)
            if (CWnd* parent = GetParent())
                if (parent->SendMessage(WM_SETCURSOR, wParam, lParam)) return TRUE;
        if (static_cast<short>(LOWORD(lParam)) != HTCLIENT) return FALSE;
        std::string name = Read<std::string>(m_hWnd, "", [](WindowTable&, WindowRecord& r) { return r.className; });
        HCURSOR cursor = ClassCursor(name);
        if (!cursor) return FALSE;
        ::SetCursor(cursor);
        return TRUE;
    }
    case WM_PAINT: {
        CPaintDC dc(this); // validates, and erases with the class background
        return 0;
    }
    case WM_ERASEBKGND: return Observer().EraseBackground(this, reinterpret_cast<CDC*>(wParam));
    case WM_ZEP3_SYNCDISPLAY: Observer().SyncDisplay(this); return 0;
    default: return 0;
    }
}

LRESULT CWnd::Default() {
    MessageFrame* frame = tlsMessage;
    return frame ? DefWindowProc(frame->message, frame->wParam, frame->lParam) : 0;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT&) { return TRUE; }
void CWnd::PreSubclassWindow() {}
void CWnd::PostNcDestroy() {}

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnEnable(BOOL) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }

// --- free functions -------------------------------------------------------------

BOOL IsWindow(HWND window) { return Read<bool>(window, false, [](WindowTable&, WindowRecord&) { return true; }); }

BOOL DestroyWindow(HWND window) { return DestroyWindowNow(window); }

HWND GetParent(HWND window) {
    return Read<HWND>(window, nullptr, [](WindowTable&, WindowRecord& r) { return r.parent ? r.parent : r.owner; });
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    if (!rect) return FALSE;
    *rect = Read<CRect>(window, CRect(), [](WindowTable&, WindowRecord& r) {
        return CRect(0, 0, r.rect.Width(), r.rect.Height());
    });
    return IsWindow(window);
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (!IsWindow(window)) return FALSE;
    InvalidateWindow(window, rect, erase != FALSE);
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    if (!IsWindow(window)) return FALSE;
    UpdateWindowNow(window);
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    DWORD thread = Read<DWORD>(window, 0, [](WindowTable&, WindowRecord& r) { return r.queue->threadId; });
    if (processId) *processId = thread ? static_cast<DWORD>(getpid()) : 0;
    return thread;
}

HWND SetCapture(HWND window) {
    std::shared_ptr<ThreadQueue> q = CurrentQueue();
    if (!q || QueueOfWindow(window) != q) return nullptr;
    HWND previous = q->capture.exchange(window);
    if (previous && previous != window) ::SendMessage(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    return previous;
}

BOOL ReleaseCapture() {
    std::shared_ptr<ThreadQueue> q = CurrentQueue();
    if (!q) return FALSE;
    if (HWND previous = q->capture.exchange(nullptr)) ::SendMessage(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    std::shared_ptr<ThreadQueue> q = CurrentQueue();
    return q ? q->capture.load() : nullptr;
}

ATOM RegisterClass(const WNDCLASS* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !*windowClass->lpszClassName) return 0;
    ClassTable& classes = Classes();
    std::lock_guard<std::mutex> hold(classes.lock);
    std::string key = ClassKey(windowClass->lpszClassName);
    if (classes.byName.count(key)) return 0;
    auto entry = std::make_unique<ClassEntry>();
    entry->wc = *windowClass;
    entry->name = windowClass->lpszClassName;
    entry->menu = windowClass->lpszMenuName && !IS_INTRESOURCE(windowClass->lpszMenuName) ? windowClass->lpszMenuName : "";
    entry->wc.lpszClassName = entry->name.c_str();
    if (!entry->menu.empty()) entry->wc.lpszMenuName = entry->menu.c_str();
    classes.byName.emplace(key, std::move(entry));
    // Atoms of registered classes, as on Windows, lie from 0xC000 on.
    return static_cast<ATOM>(0xC000 + classes.byName.size());
}

BOOL AfxRegisterClass(WNDCLASS* windowClass) {
    if (!windowClass) return FALSE;
    WNDCLASS existing;
    if (GetClassInfo(windowClass->hInstance, windowClass->lpszClassName, &existing)) return TRUE;
    return RegisterClass(windowClass) != 0;
}

BOOL GetClassInfo(HINSTANCE, LPCSTR className, LPWNDCLASS windowClass) {
    if (!className || !windowClass) return FALSE;
    ClassTable& classes = Classes();
    std::lock_guard<std::mutex> hold(classes.lock);
    auto it = classes.byName.find(ClassKey(className));
    if (it == classes.byName.end()) return FALSE;
    *windowClass = it->second->wc;
    return TRUE;
}

int GetClassName(HWND window, LPSTR buffer, int size) {
    if (!buffer || size <= 0 || !IsWindow(window)) return 0;
    std::string name = Read<std::string>(window, "", [](WindowTable&, WindowRecord& r) { return r.className; });
    int n = std::min(static_cast<int>(name.size()), size - 1);
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    return n;
}

CWnd* AfxGetMainWnd() {
    if (CWinThread* thread = AfxGetThread())
        if (CWnd* wnd = thread->GetMainWnd()) return wnd;
    return g_mainWnd.load();
}

void AfxSetMainWnd(CWnd* window) { g_mainWnd.store(window); }

BOOL PostMouseInput(HWND window, UINT message, UINT keyFlags, POINT clientPoint) {
    if (message < WM_MOUSEFIRST || message > WM_MOUSELAST) return FALSE;
    std::shared_ptr<ThreadQueue> q = QueueOfWindow(window);
    if (!q) return FALSE;
    HWND captured = q->capture.load();
    HWND target;
    CPoint screen, client;
    {
        WindowTable& t = Table();
        std::lock_guard<std::mutex> hold(t.lock);
        if (!Find(t, window)) return FALSE;
        screen = CPoint(clientPoint) + ClientOrigin(t, window);
        if (!Find(t, captured)) captured = nullptr;
        target = captured ? captured : ChildAt(t, window, clientPoint);
        if (!captured && !Find(t, target)->enabled) return FALSE;
        CPoint origin = ClientOrigin(t, target);
        client = CPoint(screen.x - origin.x, screen.y - origin.y);
    }
    SetLastMousePosition(screen);
    // The window under the mouse chooses the cursor; a captured mouse keeps it.
    if (!captured)
        ::PostMessage(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, message));
    return ::PostMessage(target, message, keyFlags, MAKELPARAM(client.x, client.y));
}
