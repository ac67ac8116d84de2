#include <zep3/platform/Clock.h>
#include <zep3/platform/FdNotifier.h>
#include <zep3/platform/Thread.h>
#include <zep3/platform/detail/WindowTable.h>

#include <algorithm>
#include <ctime>

namespace zep3::detail {
namespace {

// Posted messages returned in a row before descriptors are polled anyway,
// so that a flood of posts cannot starve sockets.
const int kPostedRunLimit = 16;

struct QueueRegistry {
    std::mutex lock;
    std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> byThread;
};

QueueRegistry& Registry() {
    static QueueRegistry* registry = new QueueRegistry;
    return *registry;
}

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() { ReleaseThreadQueue(); }
};
thread_local QueueHolder tlsQueue;
thread_local bool tlsQueueGone = false;
thread_local DWORD tlsLastMessageTime = 0;

std::atomic<uint64_t> g_mousePosition{0};

void ServeSent(ThreadQueue& q) {
    for (;;) {
        std::shared_ptr<SentMessage> sm;
        {
            std::lock_guard<std::mutex> hold(q.lock);
            if (q.sent.empty()) return;
            sm = std::move(q.sent.front());
            q.sent.pop_front();
        }
        sm->result = CallWindow(sm->hwnd, sm->message, sm->wParam, sm->lParam);
        sm->done.store(true, std::memory_order_release);
        sm->sender->Wake();
    }
}

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
    return (filterMin == 0 && filterMax == 0) || (message >= filterMin && message <= filterMax);
}

bool WindowPasses(HWND hwnd, HWND filter) {
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(intptr_t(-1))) return hwnd == nullptr;
    return hwnd == filter;
}

bool TakePosted(ThreadQueue& q, MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    std::lock_guard<std::mutex> hold(q.lock);
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!WindowPasses(it->hwnd, filter) || !InRange(it->message, filterMin, filterMax)) continue;
        *msg = *it;
        if (remove) q.posted.erase(it);
        return true;
    }
    return false;
}

bool TakeTimer(ThreadQueue& q, MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    if (!InRange(WM_TIMER, filterMin, filterMax)) return false;
    int64_t now = MonotonicMs();
    Timer* next = nullptr;
    for (Timer& t : q.timers)
        if (t.due <= now && WindowPasses(t.hwnd, filter) && (!next || t.due < next->due)) next = &t;
    if (!next) return false;
    *msg = MSG{next->hwnd, WM_TIMER, next->id, reinterpret_cast<LPARAM>(next->proc), GetTickCount(),
               LastMousePosition()};
    if (remove) next->due = now + next->interval;
    return true;
}

int MsUntilNextTimer(const ThreadQueue& q) {
    if (q.timers.empty()) return -1;
    int64_t due = q.timers.front().due;
    for (const Timer& t : q.timers) due = std::min(due, t.due);
    return static_cast<int>(std::max<int64_t>(0, due - MonotonicMs()));
}

bool PollDescriptors(ThreadQueue& q) { return q.Sleep(0, true); }

} // namespace

ThreadQueue::ThreadQueue(DWORD tid) : threadId(tid), backend(CreateLoopBackend()) {}

void ThreadQueue::Wake() {
    if (!m_wakePending.exchange(true, std::memory_order_acq_rel)) backend->Wake();
}

bool ThreadQueue::Sleep(int timeoutMs, bool watchFds) {
    std::vector<ReadyFd> ready;
    backend->Wait(timeoutMs, watchFds, ready);
    // Cleared after the wait: anything posted from here on is seen by the
    // caller's next look at the queue, or wakes the next wait.
    m_wakePending.store(false, std::memory_order_release);
    bool called = false;
    for (const ReadyFd& r : ready) {
        std::shared_ptr<NotifierEntry> entry;
        {
            std::lock_guard<std::mutex> hold(lock);
            auto it = notifiers.find(r.key);
            if (it != notifiers.end()) entry = it->second;
        }
        if (!entry) continue; // unregistered by an earlier callback of this batch
        // The events may have been changed since the wait began.
        const DWORD events = r.events & (entry->events.load() | CFdNotifier::Error | CFdNotifier::HangUp);
        if (!entry->events.load() || !events) continue;
        entry->callback(events);
        called = true;
    }
    return called;
}

int64_t MonotonicMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

POINT LastMousePosition() {
    uint64_t v = g_mousePosition.load(std::memory_order_relaxed);
    return POINT{static_cast<LONG>(static_cast<uint32_t>(v)), static_cast<LONG>(static_cast<uint32_t>(v >> 32))};
}

void SetLastMousePosition(POINT p) {
    g_mousePosition.store(uint64_t(uint32_t(p.x)) | (uint64_t(uint32_t(p.y)) << 32), std::memory_order_relaxed);
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (tlsQueueGone) return nullptr;
    if (!tlsQueue.queue) {
        auto q = std::make_shared<ThreadQueue>(GetCurrentThreadId());
        if (!q->backend->IsValid()) return nullptr;
        tlsQueue.queue = q;
        QueueRegistry& r = Registry();
        std::lock_guard<std::mutex> hold(r.lock);
        r.byThread[q->threadId] = q;
    }
    return tlsQueue.queue;
}

void EnsureThreadQueue() { CurrentQueue(); }

std::shared_ptr<ThreadQueue> QueueOfThread(DWORD threadId) {
    QueueRegistry& r = Registry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.byThread.find(threadId);
    return it == r.byThread.end() ? nullptr : it->second.lock();
}

void ReleaseThreadQueue() {
    if (tlsQueueGone) return;
    std::shared_ptr<ThreadQueue> q = tlsQueue.queue;
    if (q) DestroyThreadWindows(*q);
    tlsQueueGone = true;
    if (!q) return;
    std::deque<std::shared_ptr<SentMessage>> unanswered;
    {
        std::lock_guard<std::mutex> hold(q->lock);
        q->alive = false;
        unanswered.swap(q->sent);
        q->posted.clear();
        for (auto& n : q->notifiers) q->backend->Unwatch(n.second->fd);
        q->notifiers.clear();
    }
    for (auto& sm : unanswered) {
        sm->done.store(true, std::memory_order_release);
        sm->sender->Wake();
    }
    {
        QueueRegistry& r = Registry();
        std::lock_guard<std::mutex> hold(r.lock);
        auto it = r.byThread.find(q->threadId);
        if (it != r.byThread.end() && it->second.lock() == q) r.byThread.erase(it);
    }
    tlsQueue.queue.reset();
}

bool PostToQueue(ThreadQueue& q, const MSG& msg) {
    {
        std::lock_guard<std::mutex> hold(q.lock);
        if (!q.alive) return false;
        q.posted.push_back(msg);
    }
    q.Wake();
    return true;
}

LRESULT SendToQueue(const std::shared_ptr<ThreadQueue>& target, HWND window, UINT message, WPARAM wParam,
                    LPARAM lParam) {
    std::shared_ptr<ThreadQueue> self = CurrentQueue();
    if (!target || target == self) return CallWindow(window, message, wParam, lParam);
    if (!self) return 0;
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = window;
    sm->message = message;
    sm->wParam = wParam;
    sm->lParam = lParam;
    sm->sender = self;
    {
        std::lock_guard<std::mutex> hold(target->lock);
        if (!target->alive) return 0;
        target->sent.push_back(sm);
    }
    target->Wake();
    while (!sm->done.load(std::memory_order_acquire)) {
        ServeSent(*self); // the target may be sending to us while we wait
        if (sm->done.load(std::memory_order_acquire)) break;
        self->Sleep(-1, false);
    }
    return sm->result;
}

bool FetchMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove, DWORD timeoutMs,
                  bool returnAfterCallbacks) {
    std::shared_ptr<ThreadQueue> q = CurrentQueue();
    if (!q || !msg) return false;
    const bool timed = timeoutMs != INFINITE;
    const int64_t deadline = MonotonicMs() + (timed ? timeoutMs : 0);
    for (int pass = 0;; ++pass) {
        ServeSent(*q);
        if (TakePosted(*q, msg, window, filterMin, filterMax, remove)) {
            if (++q->postedRun >= kPostedRunLimit) {
                q->postedRun = 0;
                PollDescriptors(*q);
            }
            break;
        }
        q->postedRun = 0;
        if (q->quit && WindowPasses(nullptr, window) && InRange(WM_QUIT, filterMin, filterMax)) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0, GetTickCount(), LastMousePosition()};
            if (remove) q->quit = false;
            break;
        }
        // A descriptor that stays ready must not keep a timed call here for ever.
        const bool expired = timed && pass > 0 && MonotonicMs() >= deadline;
        if (!expired && PollDescriptors(*q)) {
            if (returnAfterCallbacks) return false;
            continue;
        }
        if (InRange(WM_PAINT, filterMin, filterMax)) {
            if (HWND paint = NextWindowToPaint(*q, window == reinterpret_cast<HWND>(intptr_t(-1)) ? nullptr : window)) {
                *msg = MSG{paint, WM_PAINT, 0, 0, GetTickCount(), LastMousePosition()};
                break;
            }
        }
        if (TakeTimer(*q, msg, window, filterMin, filterMax, remove)) break;
        if (expired) return false;

        int wait = MsUntilNextTimer(*q);
        if (timed) {
            int64_t left = deadline - MonotonicMs();
            if (left <= 0) return false;
            wait = wait < 0 ? static_cast<int>(left) : std::min<int>(wait, static_cast<int>(left));
        }
        if (q->Sleep(wait, true) && returnAfterCallbacks) return false;
    }
    if (remove) tlsLastMessageTime = msg->time;
    return true;
}

void KillWindowTimers(ThreadQueue& q, HWND window) {
    q.timers.erase(std::remove_if(q.timers.begin(), q.timers.end(), [&](const Timer& t) { return t.hwnd == window; }),
                   q.timers.end());
}

} // namespace zep3::detail

using namespace zep3::detail;

BOOL GetMessage(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    if (window && window != reinterpret_cast<HWND>(intptr_t(-1)) && QueueOfWindow(window) != CurrentQueue())
        return -1;
    if (!FetchMessage(msg, window, filterMin, filterMax, true, INFINITE)) return -1;
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessage(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    return FetchMessage(msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0, 0) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (!msg->hwnd) return 0;
    if (msg->message != WM_PAINT) return CallWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    unsigned generation = PaintGeneration(msg->hwnd);
    LRESULT result = CallWindow(msg->hwnd, WM_PAINT, msg->wParam, msg->lParam);
    ValidateAfterPaint(msg->hwnd, generation);
    return result;
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> q = window ? QueueOfWindow(window) : CurrentQueue();
    if (!q) return FALSE;
    return PostToQueue(*q, MSG{window, message, wParam, lParam, GetTickCount(), LastMousePosition()}) ? TRUE : FALSE;
}

BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> q = QueueOfThread(threadId);
    if (!q) return FALSE;
    return PostToQueue(*q, MSG{nullptr, message, wParam, lParam, GetTickCount(), LastMousePosition()}) ? TRUE : FALSE;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> q = QueueOfWindow(window);
    if (!q) return 0;
    return SendToQueue(q, window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    if (std::shared_ptr<ThreadQueue> q = CurrentQueue()) {
        q->quit = true;
        q->quitCode = exitCode;
    }
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    std::shared_ptr<ThreadQueue> q = CurrentQueue();
    if (!q || (window && QueueOfWindow(window) != q)) return 0;
    elapse = std::min(std::max(elapse, USER_TIMER_MINIMUM), USER_TIMER_MAXIMUM);
    auto find = [&](UINT_PTR which) {
        return std::find_if(q->timers.begin(), q->timers.end(),
                            [&](const Timer& t) { return t.hwnd == window && t.id == which; });
    };
    if (!window && (id == 0 || find(id) == q->timers.end())) {
        // A new thread timer gets a fresh id, as the caller's is not its own.
        static std::atomic<UINT_PTR> nextId{1};
        do id = nextId++;
        while (id == 0 || find(id) != q->timers.end());
    }
    Timer timer{window, id, elapse, MonotonicMs() + elapse, proc};
    auto it = find(id);
    if (it != q->timers.end()) *it = timer;
    else q->timers.push_back(timer);
    return window && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    std::shared_ptr<ThreadQueue> q = CurrentQueue();
    if (!q) return FALSE;
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.hwnd == window && t.id == id; });
    if (it == q->timers.end()) return FALSE;
    q->timers.erase(it);
    return TRUE;
}

DWORD GetMessageTime() { return tlsLastMessageTime; }
