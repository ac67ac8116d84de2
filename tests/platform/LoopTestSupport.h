#pragma once
// Helpers of the thread, message-loop and window tests.
#include <zep3/zep3.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace looptest {

// A window whose messages a test scripts and records.
class ScriptWnd : public CWnd {
public:
    // Answers a message (returning true) or leaves it to CWnd.
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> handler;
    std::vector<UINT> received;

    BOOL CreateTop(const RECT& rect, DWORD style = WS_VISIBLE) {
        return CreateEx(0, nullptr, "test", style, rect, nullptr, 0);
    }
    // Calls f with each `message` before CWnd handles it.
    void Watch(UINT message, std::function<void(WPARAM, LPARAM)> f) {
        handler = [message, f](UINT m, WPARAM w, LPARAM l, LRESULT&) {
            if (m == message) f(w, l);
            return false;
        };
    }
    // How many `message`s have arrived; on the window's own thread only.
    int Count(UINT message) const { return int(std::count(received.begin(), received.end(), message)); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        received.push_back(message);
        LRESULT result = 0;
        if (handler && handler(message, wParam, lParam, result)) return result;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// Starts proc(param) on a thread object that the caller deletes; it starts
// suspended so that m_bAutoDelete is cleared before it can end.
inline CWinThread* StartThread(AFX_THREADPROC proc, LPVOID param = nullptr) {
    CWinThread* thread = AfxBeginThread(proc, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!thread) return nullptr;
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    return thread;
}

// Waits up to five seconds for a thread to end: its exit code, or
// STILL_ACTIVE when it is still running.
inline DWORD ExitCode(HANDLE thread) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
    return code;
}

// Reads and dispatches until the queue has nothing more (paints and due
// timers included); returns the number of messages handled.
inline int DrainMessages() {
    int n = 0;
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessage(&msg);
        ++n;
    }
    return n;
}

// Runs body on a thread with a message loop that owns a ScriptWnd, created
// before body runs; the loop ends when body's thread gets WM_QUIT.
class WindowThread {
public:
    explicit WindowThread(std::function<void(ScriptWnd&)> setup = {}) {
        CEvent ready(FALSE, TRUE);
        m_thread = std::thread([this, setup, &ready] {
            ScriptWnd wnd;
            wnd.CreateTop(CRect(0, 0, 100, 100));
            if (setup) setup(wnd);
            m_hwnd = wnd.m_hWnd;
            m_id = GetCurrentThreadId();
            ready.SetEvent();
            MSG msg;
            while (GetMessage(&msg, nullptr, 0, 0) > 0) DispatchMessage(&msg);
        });
        ready.Lock(5000);
    }
    ~WindowThread() {
        PostThreadMessage(m_id, WM_QUIT, 0, 0);
        m_thread.join();
    }
    HWND hwnd() const { return m_hwnd; }
    DWORD id() const { return m_id; }

private:
    std::thread m_thread;
    HWND m_hwnd = nullptr;
    DWORD m_id = 0;
};

} // namespace looptest
