#include <zep3/platform/MessagePump.h>
#include <zep3/platform/detail/MessageQueue.h>
#include <zep3/platform/detail/Posix.h>

using namespace zep3::detail;

bool PumpMessagesUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
    const Deadline deadline = Deadline::After(timeoutMs);
    for (;;) {
        if (cond()) return true;
        if (deadline.HasPassed()) return cond();
        const int left = deadline.RemainingMilliseconds(); // -1: no limit
        const DWORD wait = left < 0 || left > 10 ? 10 : static_cast<DWORD>(left);
        MSG msg;
        if (!FetchMessage(&msg, nullptr, 0, 0, true, wait, true)) continue;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return cond();
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
}
