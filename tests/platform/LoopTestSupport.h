#pragma once
// Helpers of the message-loop and window tests.
#include <zep3/zep3.h>

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

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        received.push_back(message);
        LRESULT result = 0;
        if (handler && handler(message, wParam, lParam, result)) return result;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

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
