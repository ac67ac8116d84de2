// Posting and dispatching between two threads: a worker posts one million
// messages to a window of the benchmark's thread, which reads and dispatches
// them to the window procedure, next to a plain mutex + condition variable +
// deque hand-over of the same messages. Measured twice: by wall-clock time,
// which on a busy machine also measures the scheduler, and by the CPU time
// of the whole process (both threads), which is the work each way costs.
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

#include <condition_variable>
#include <ctime>
#include <deque>
#include <functional>
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

double ProcessSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Runs one hand-over per iteration; with processTime, the iteration's time
// is the CPU time the process spent on it.
void Iterate(benchmark::State& state, bool processTime, const std::function<void()>& handOver) {
    for (auto _ : state) {
        const double start = ProcessSeconds();
        handOver();
        if (processTime) state.SetIterationTime(ProcessSeconds() - start);
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}

void PostAndDispatch(benchmark::State& state, bool processTime) {
    CountingWnd wnd;
    if (!wnd.CreateEx(0, nullptr, "bench", 0, CRect(0, 0, 10, 10), nullptr, 0)) {
        state.SkipWithError("no window");
        return;
    }
    const HWND target = wnd.m_hWnd;
    Iterate(state, processTime, [&] {
        wnd.count = 0;
        std::thread sender([target] {
            for (int i = 0; i < kMessages; ++i) PostMessage(target, kWork, WPARAM(i), 0);
        });
        MSG msg;
        while (wnd.count < kMessages && GetMessage(&msg, nullptr, 0, 0) > 0) DispatchMessage(&msg);
        sender.join();
    });
    benchmark::DoNotOptimize(wnd.sum);
    wnd.DestroyWindow();
}

// The floor: the same hand-over through the standard library, no windows.
void DequeHandOver(benchmark::State& state, bool processTime) {
    struct Msg {
        UINT message;
        WPARAM wParam;
    };
    std::mutex lock;
    std::condition_variable ready;
    std::deque<Msg> queue;
    long long sum = 0;
    Iterate(state, processTime, [&] {
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
    });
    benchmark::DoNotOptimize(sum);
}

benchsupport::Pair Measured(bool processTime) {
    return {std::string("PostMessage+DispatchMessage 1M, ") + (processTime ? "CPU" : "wall"),
            [=](benchmark::State& s) { PostAndDispatch(s, processTime); }, "mutex+condvar+deque",
            [=](benchmark::State& s) { DequeHandOver(s, processTime); },
            processTime ? benchsupport::Timing::Manual : benchsupport::Timing::Real};
}

} // namespace

int main(int argc, char** argv) {
    benchsupport::RunPairs(argc, argv, {Measured(false), Measured(true)});
    return 0;
}
