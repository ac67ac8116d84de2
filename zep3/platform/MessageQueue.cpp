#include <zep3/platform/Clock.h>
#include <zep3/platform/FdNotifier.h>
#include <zep3/platform/Thread.h>
#include <zep3/platform/detail/Posix.h>
#include <zep3/platform/detail/WindowTable.h>

#include <algorithm>
#include <cerrno>
#include <poll.h>

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
    while (q.hasSent.load(std::memory_order_acquire)) {
        std::shared_ptr<SentMessage> sm;
        {
            std::lock_guard<std::mutex> hold(q.lock);
            if (q.sent.empty()) {
                q.hasSent.store(false, std::memory_order_relaxed);
                return;
            }
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

// Posted messages reach the owner in batches: one lock moves all that were
// posted so far behind the owner's own list, which it then reads unlocked.
// The two vectors trade places and keep their room, so a steady stream of
// posts allocates nothing; the room of a burst beyond kKeptRoom is given back.
const size_t kKeptRoom = 65536;

bool TakePosted(ThreadQueue& q, MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    std::vector<MSG>& taken = q.taken;
    auto takeFrom = [&](size_t first) {
        for (size_t i = first; i < taken.size(); ++i) {
            if (!WindowPasses(taken[i].hwnd, filter) || !InRange(taken[i].message, filterMin, filterMax)) continue;
            *msg = taken[i];
            if (!remove) return true;
            if (i == q.takenHead) ++q.takenHead; // the common case: no shifting
            else taken.erase(taken.begin() + std::ptrdiff_t(i));
            return true;
        }
        return false;
    };
    if (takeFrom(q.takenHead)) return true;
    if (q.takenHead == taken.size()) { // all read: make room for the next batch
        taken.clear();
        if (taken.capacity() > kKeptRoom) std::vector<MSG>().swap(taken);
        q.takenHead = 0;
    }
    const size_t seen = taken.size();
    {
        std::lock_guard<std::mutex> hold(q.lock);
        if (q.posted.empty()) return false;
        if (taken.empty()) taken.swap(q.posted);
        else taken.insert(taken.end(), q.posted.begin(), q.posted.end());
        q.posted.clear();
    }
    return takeFrom(seen);
}

bool TakeTimer(ThreadQueue& q, MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    if (q.timers.empty() || !InRange(WM_TIMER, filterMin, filterMax)) return false;
    int64_t now = MonotonicMilliseconds();
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
    return static_cast<int>(std::max<int64_t>(0, due - MonotonicMilliseconds()));
}

// Runs the callbacks of ready descriptors without waiting; true when one ran.
bool PollDescriptors(ThreadQueue& q) { return q.HasNotifiers() && q.Sleep(0, true); }

} // namespace

ThreadQueue::ThreadQueue(DWORD tid) : threadId(tid), backend(CreateLoopBackend()) {}

// A wake costs a write to the backend only when the owner sleeps, or is
// about to: the owner announces its sleep and then looks at the pending
// flag, a waker raises the flag and then looks at the announcement; with
// both in one total order (seq_cst), at least one of them sees the other.
// A busy owner, which looks at its queue again anyway, costs its posters
// no system call.
void ThreadQueue::Wake() {
    // A wake already pending stands for this one too; looking first spares
    // the posters of a burst a write to the shared flag each.
    if (m_wakePending.load(std::memory_order_seq_cst) || m_wakePending.exchange(true, std::memory_order_seq_cst))
        return;
    if (m_sleeping.load(std::memory_order_seq_cst)) backend->Wake();
}

bool ThreadQueue::Sleep(int timeoutMs, bool watchFds) {
    std::vector<ReadyFd> ready;
    if (timeoutMs != 0) {
        m_sleeping.store(true, std::memory_order_seq_cst);
        if (m_wakePending.load(std::memory_order_seq_cst)) { // woken before the announcement
            timeoutMs = 0;
            if (!watchFds || !HasNotifiers()) { // nothing to poll: no need to ask the backend
                m_sleeping.store(false, std::memory_order_relaxed);
                m_wakePending.store(false, std::memory_order_seq_cst);
                return false;
            }
        }
    }
    backend->Wait(timeoutMs, watchFds, ready);
    m_sleeping.store(false, std::memory_order_relaxed);
    // Cleared after the wait: anything posted from here on is seen by the
    // caller's next look at the queue, or wakes the next wait.
    m_wakePending.store(false, std::memory_order_seq_cst);
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

int ThreadQueue::SleepOnFd(int fd, short pollEvents, int timeoutMs) {
    m_sleeping.store(true, std::memory_order_seq_cst);
    const bool woken = m_wakePending.load(std::memory_order_seq_cst); // see Wake
    pollfd p[2] = {{fd, pollEvents, 0}, {backend->PollFd(), POLLIN, 0}};
    const int n = poll(p, 2, woken ? 0 : timeoutMs);
    m_sleeping.store(false, std::memory_order_relaxed);
    m_wakePending.store(false, std::memory_order_seq_cst);
    if (n < 0) return errno == EINTR ? kLoopReady : kFdReady; // the caller's next call reports the error
    int result = woken ? kLoopReady : 0;
    if (n > 0 && p[0].revents) result |= kFdReady; // errors and hang-ups too: the call that follows meets them
    if (n > 0 && p[1].revents) result |= kLoopReady;
    return result;
}

POINT LastMousePosition() {
    uint64_t v = g_mousePosition.load(std::memory_order_relaxed);
    return POINT{static_cast<LONG>(static_cast<uint32_t>(v)), static_cast<LONG>(static_cast<uint32_t>(v >> 32))};
}

void SetLastMousePosition(POINT p) {
    g_mousePosition.store(uint64_t(uint32_t(p.x)) | (uint64_t(uint32_t(p.y)) << 32), std::memory_order_relaxed);
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
    OwnQueue();
    return tlsQueue.queue;
}

ThreadQueue* OwnQueue() {
    if (tlsQueueGone) return nullptr;
    if (!tlsQueue.queue) {
        auto q = std::make_shared<ThreadQueue>(GetCurrentThreadId());
        if (!q->backend->IsValid()) return nullptr;
        tlsQueue.queue = q;
        QueueRegistry& r = Registry();
        std::lock_guard<std::mutex> hold(r.lock);
        r.byThread[q->threadId] = q;
    }
    return tlsQueue.queue.get();
}

void EnsureThreadQueue() { OwnQueue(); }

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
    q->taken.clear();
    q->takenHead = 0;
    std::deque<std::shared_ptr<SentMessage>> unanswered;
    {
        std::lock_guard<std::mutex> hold(q->lock);
        q->alive = false;
        unanswered.swap(q->sent);
        q->hasSent.store(false, std::memory_order_relaxed);
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
    // A thread posting to itself is awake and reads its queue before it sleeps.
    if (q.threadId != GetCurrentThreadId()) q.Wake();
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
        target->hasSent.store(true, std::memory_order_release);
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
    ThreadQueue* q = OwnQueue();
    if (!q || !msg) return false;
    const Deadline deadline = Deadline::After(timeoutMs);
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
        const bool expired = pass > 0 && deadline.HasPassed();
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
        if (!deadline.IsInfinite()) {
            const int left = deadline.RemainingMilliseconds();
            if (left == 0) return false;
            wait = wait < 0 ? left : std::min(wait, left);
        }
        if (q->Sleep(wait, true) && returnAfterCallbacks) return false;
    }
    if (remove) tlsLastMessageTime = msg->time;
    return true;
}

namespace {

// Owner: whether the loop holds something to dispatch now.
bool HasWork(ThreadQueue& q) {
    if (q.takenHead < q.taken.size() || q.hasSent.load(std::memory_order_acquire) || q.quit || q.paintHint.load() ||
        MsUntilNextTimer(q) == 0)
        return true;
    std::lock_guard<std::mutex> hold(q.lock);
    return !q.posted.empty();
}

// One turn of the loop: ready notifiers (and the wake-up), then what is
// queued, a bounded number at a time so that the waited descriptor is looked
// at again. False when WM_QUIT came; it is queued again.
bool ServeTurn(ThreadQueue& q, const std::function<bool()>& stop) {
    q.Sleep(0, true);
    MSG msg;
    for (int served = 0; served < kPostedRunLimit && !stop(); ++served) {
        if (!FetchMessage(&msg, nullptr, 0, 0, true, 0)) break;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    return true;
}

} // namespace

FdWait WaitForFd(int fd, short pollEvents, const Deadline& deadline, const std::function<bool()>& stop) {
    ThreadQueue* q = OwnQueue();
    if (!q) return FdWait::NoQueue;
    for (;;) {
        const bool work = HasWork(*q);
        int wait = 0;
        if (!work) {
            wait = MsUntilNextTimer(*q);
            const int left = deadline.RemainingMilliseconds();
            if (left >= 0) wait = wait < 0 ? left : std::min(wait, left);
        }
        const int ready = q->SleepOnFd(fd, pollEvents, wait);
        if (ready & ThreadQueue::kFdReady) return FdWait::Ready;
        if (!work && !ready && deadline.HasPassed()) return FdWait::TimedOut;
        if (!ServeTurn(*q, stop)) return FdWait::Quit;
        if (stop()) return FdWait::Stopped;
        if (deadline.HasPassed()) return FdWait::TimedOut;
    }
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
    if (PostToQueue(*q, MSG{window, message, wParam, lParam, GetTickCount(), LastMousePosition()})) return TRUE;
    // The window's thread ended since the lookup, and its windows with it.
    if (window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
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
    Timer timer{window, id, elapse, MonotonicMilliseconds() + elapse, proc};
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
