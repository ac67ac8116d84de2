// Posting and dispatching between two threads: a worker posts one million
// messages to a window of the benchmark's thread, which reads and dispatches
// them to the window procedure. Reported as messages per second of wall-clock
// time, next to a plain mutex + condition variable + deque hand-over of the same messages.
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

const int kMessages = 1000000;
const UINT kWork = WM_USER + 1;

class CountingWnd : public CWnd {
public:
    long long sum = 0;
    int count = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != kWork) return CWnd::WindowProc(message, wParam, lParam);
        sum += static_cast<long long>(wParam);
        ++count;
        return 0;
    }
};

void PostAndDispatch(benchmark::State& state) {
    CountingWnd wnd;
    if (!wnd.CreateEx(0, nullptr, "bench", 0, CRect(0, 0, 10, 10), nullptr, 0)) {
        state.SkipWithError("no window");
        return;
    }
    const HWND target = wnd.m_hWnd;
    for (auto _ : state) {
        wnd.count = 0;
        std::thread sender([target] {
            for (int i = 0; i < kMessages; ++i) PostMessage(target, kWork, WPARAM(i), 0);
        });
        MSG msg;
        while (wnd.count < kMessages && GetMessage(&msg, nullptr, 0, 0) > 0) DispatchMessage(&msg);
        sender.join();
    }
    benchmark::DoNotOptimize(wnd.sum);
    state.SetItemsProcessed(state.iterations() * kMessages);
    wnd.DestroyWindow();
}

// The floor: the same hand-over through the standard library, no windows.
void DequeHandOver(benchmark::State& state) {
    struct Msg {
        UINT message;
        WPARAM wParam;
    };
    std::mutex lock;
    std::condition_variable ready;
    std::deque<Msg> queue;
    long long sum = 0;
    for (auto _ : state) {
        std::thread sender([&] {
            for (int i = 0; i < kMessages; ++i) {
                {
                    std::lock_guard<std::mutex> hold(lock);
                    queue.push_back({kWork, WPARAM(i)});
                }
                ready.notify_one();
            }
        });
        for (int received = 0; received < kMessages; ++received) {
            std::unique_lock<std::mutex> hold(lock);
            ready.wait(hold, [&] { return !queue.empty(); });
            sum += static_cast<long long>(queue.front().wParam);
            queue.pop_front();
        }
        sender.join();
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kMessages);
}

} // namespace

int main(int argc, char** argv) {
    benchsupport::RunPairs(argc, argv,
                           {{"PostMessage+DispatchMessage 1M", PostAndDispatch, "mutex+condvar+deque",
                             DequeHandOver, benchsupport::Timing::Real}});
    return 0;
}
