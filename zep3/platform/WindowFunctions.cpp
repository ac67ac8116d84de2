// The window calls on handles.
#include <zep3/platform/MessagePump.h>
#include <zep3/platform/WinThread.h>
#include <zep3/platform/Wnd.h>
#include <zep3/platform/detail/WindowTable.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace zep3::detail;

BOOL IsWindow(HWND window) { return WithWindow<bool>(window, false, [](WindowTable&, WindowRecord&) { return true; }); }

BOOL DestroyWindow(HWND window) { return DestroyWindowNow(window); }

HWND GetParent(HWND window) {
    return WithWindow<HWND>(window, nullptr, [](WindowTable&, WindowRecord& r) { return r.parent ? r.parent : r.owner; });
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    if (!rect) return FALSE;
    *rect = WithWindow<CRect>(window, CRect(), [](WindowTable&, WindowRecord& r) {
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
    DWORD thread = WithWindow<DWORD>(window, 0, [](WindowTable&, WindowRecord& r) { return r.queue->threadId; });
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

int GetClassName(HWND window, LPSTR buffer, int size) {
    if (!buffer || size <= 0 || !IsWindow(window)) return 0;
    std::string name = WithWindow<std::string>(window, "", [](WindowTable&, WindowRecord& r) { return r.className; });
    int n = std::min(static_cast<int>(name.size()), size - 1);
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    return n;
}

CWnd* AfxGetMainWnd() {
    if (CWinThread* thread = AfxGetThread())
        if (CWnd* wnd = thread->GetMainWnd()) return wnd;
    return ProcessMainWindow().load();
}

void AfxSetMainWnd(CWnd* window) { ProcessMainWindow().store(window); }

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
