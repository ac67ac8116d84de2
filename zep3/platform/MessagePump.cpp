#include <zep3/platform/MessagePump.h>
#include <zep3/platform/detail/MessageQueue.h>
#include <zep3/platform/detail/Posix.h>

#include <algorithm>

using namespace zep3::detail;

bool PumpMessagesUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
    const Deadline deadline = Deadline::After(timeoutMs);
    for (;;) {
        if (cond()) return true;
        if (deadline.HasPassed()) return cond();
        const int left = deadline.RemainingMilliseconds(); // -1: no limit
        MSG msg;
        if (!FetchMessage(&msg, nullptr, 0, 0, true, DWORD(left < 0 ? 10 : std::min(left, 10)), true)) continue;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return cond();
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
}
