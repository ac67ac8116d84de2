#include <zep3/platform/MessagePump.h>
#include <zep3/platform/detail/MessageQueue.h>

#include <algorithm>

using namespace zep3::detail;

bool PumpMessagesUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
    const int64_t deadline = MonotonicMs() + timeoutMs;
    for (;;) {
        if (cond()) return true;
        int64_t left = deadline - MonotonicMs();
        if (left <= 0) return cond();
        MSG msg;
        if (!FetchMessage(&msg, nullptr, 0, 0, true, static_cast<DWORD>(std::min<int64_t>(left, 10)), true)) continue;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return cond();
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
}
