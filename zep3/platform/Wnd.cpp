#include <zep3/platform/Font.h>
#include <zep3/platform/PaintDC.h>
#include <zep3/platform/Wnd.h>
#include <zep3/platform/detail/WindowClasses.h>
#include <zep3/platform/detail/WindowTable.h>

#include <algorithm>
#include <cstring>
#include <string>

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
    return WithWindow<CWnd*>(window, nullptr, [](WindowTable&, WindowRecord& r) { return r.wnd; });
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
    // A null handle would post to the thread instead.
    return m_hWnd ? ::PostMessage(m_hWnd, message, wParam, lParam) : FailWith(ERROR_INVALID_WINDOW_HANDLE, FALSE);
}

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

DWORD CWnd::GetStyle() const {
    return WithWindow<DWORD>(m_hWnd, 0, [](WindowTable&, WindowRecord& r) { return r.style; });
}

DWORD CWnd::GetExStyle() const {
    return WithWindow<DWORD>(m_hWnd, 0, [](WindowTable&, WindowRecord& r) { return r.exStyle; });
}

int CWnd::GetDlgCtrlID() const {
    return WithWindow<int>(m_hWnd, 0, [](WindowTable&, WindowRecord& r) { return static_cast<int>(r.id); });
}

void CWnd::SetWindowText(LPCSTR text) {
    WithWindow<bool>(m_hWnd, false, [&](WindowTable&, WindowRecord& r) {
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
    std::string value = WithWindow<std::string>(m_hWnd, "", [](WindowTable&, WindowRecord& r) { return r.text; });
    text = CString(value.data(), static_cast<int>(value.size()));
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hObject : nullptr), MAKELPARAM(redraw ? 1 : 0, 0));
}

CFont* CWnd::GetFont() const {
    return CFont::FromHandle(reinterpret_cast<HFONT>(::SendMessage(m_hWnd, WM_GETFONT, 0, 0)));
}

void CWnd::GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }

void CWnd::GetWindowRect(LPRECT rect) const {
    if (!rect) return;
    *rect = WithWindow<CRect>(m_hWnd, CRect(), [&](WindowTable& t, WindowRecord& r) {
        return r.rect + (r.parent ? ClientOrigin(t, r.parent) : CPoint());
    });
}

void CWnd::ClientToScreen(LPPOINT point) const {
    if (point) *point = CPoint(*point) + WithWindow<CPoint>(m_hWnd, CPoint(), [&](WindowTable& t, WindowRecord&) {
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
    bool wasVisible = WithWindow<bool>(m_hWnd, false, [](WindowTable&, WindowRecord& r) { return r.visible; });
    SetWindowPosNow(m_hWnd, nullptr, 0, 0, 0, 0,
                    SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (command == SW_HIDE ? SWP_HIDEWINDOW : SWP_SHOWWINDOW));
    return wasVisible ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const {
    return WithWindow<bool>(m_hWnd, false, [](WindowTable& t, WindowRecord& r) { return VisibleChain(t, &r); });
}

BOOL CWnd::EnableWindow(BOOL enable) {
    bool wasDisabled = false, changed = false;
    WithWindow<bool>(m_hWnd, false, [&](WindowTable&, WindowRecord& r) {
        wasDisabled = !r.enabled;
        changed = r.enabled != (enable != FALSE);
        r.enabled = enable != FALSE;
        return true;
    });
    if (changed) SendMessage(WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    return WithWindow<bool>(m_hWnd, false, [](WindowTable&, WindowRecord& r) { return r.enabled; });
}

void CWnd::Invalidate(BOOL erase) { InvalidateWindow(m_hWnd, nullptr, erase != FALSE); }

void CWnd::InvalidateRect(LPCRECT rect, BOOL erase) { InvalidateWindow(m_hWnd, rect, erase != FALSE); }

void CWnd::ValidateRect(LPCRECT rect) { ValidateWindow(m_hWnd, rect); }

BOOL CWnd::GetUpdateRect(LPRECT rect, BOOL) {
    CRect update = WithWindow<CRect>(m_hWnd, CRect(), [](WindowTable&, WindowRecord& r) { return r.update; });
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
        std::string name = WithWindow<std::string>(m_hWnd, "", [](WindowTable&, WindowRecord& r) { return r.className; });
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
    case WM_SETFONT:
        WithWindow<bool>(m_hWnd, false, [&](WindowTable&, WindowRecord& r) {
            r.font = reinterpret_cast<void*>(wParam);
            return true;
        });
        if (LOWORD(lParam)) Invalidate();
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(
            WithWindow<void*>(m_hWnd, nullptr, [](WindowTable&, WindowRecord& r) { return r.font; }));
    case WM_ZEP3_SYNCDISPLAY: Observer().SyncDisplay(this); return 0;
    default: return 0;
    }
}

LRESULT CWnd::Default() {
    const MessageFrame* frame = CurrentMessage();
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

