#pragma once
// The message queue of one thread: posted messages, messages sent from other
// threads, timers, descriptor notifiers, the thread's windows and its mouse
// capture, and the loop backend it sleeps on.
//
// Fields marked "owner" are touched only by the owning thread; the others
// are guarded by `lock`. Other threads reach a queue through a shared
// pointer (from a window or a thread id) and wake it after changing it.
#include <zep3/platform/Messages.h>
#include <zep3/platform/detail/LoopBackend.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace zep3::detail {

class Deadline;
class ThreadQueue;

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    std::atomic<bool> done{false};
    std::shared_ptr<ThreadQueue> sender;
};

struct NotifierEntry {
    std::weak_ptr<ThreadQueue> queue;
    DWORD threadId = 0;
    int fd = -1;
    uint64_t key = 0;
    std::atomic<DWORD> events{0};
    std::function<void(DWORD)> callback;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT interval;
    int64_t due; // MonotonicMilliseconds()
    TIMERPROC proc;
};

class ThreadQueue {
public:
    explicit ThreadQueue(DWORD tid);

    // Any thread: makes the owner look at its queue again.
    void Wake();
    // Owner: sleeps until woken, a descriptor is ready (when watchFds) or
    // timeoutMs passes; the ready descriptors' callbacks are then called.
    // True when a callback ran.
    bool Sleep(int timeoutMs, bool watchFds);
    // Owner: sleeps as Sleep does, and also until fd polls one of pollEvents
    // (POLLIN, POLLOUT); runs no callbacks. Which of the two ended it: kFdReady
    // and/or kLoopReady (a wake-up or a ready notifier, which Sleep(0, true)
    // then serves); 0 when the time ran out.
    enum : int { kFdReady = 1, kLoopReady = 2 };
    int SleepOnFd(int fd, short pollEvents, int timeoutMs);
    // Owner: whether any descriptor notifier is registered.
    bool HasNotifiers() {
        std::lock_guard<std::mutex> hold(lock);
        return !notifiers.empty();
    }

    // Posters and the owner each keep to their own cache lines where they
    // can (kLine apart): a line both write to moves between cores on
    // every message.
    static const size_t kLine = 64;

    const DWORD threadId;
    std::unique_ptr<LoopBackend> backend;                    // Watch/Unwatch under lock
    alignas(kLine) std::mutex lock;
    bool alive = true;                                       // lock
    std::vector<MSG> posted;                                 // lock: not yet taken over by the owner
    std::deque<std::shared_ptr<SentMessage>> sent;           // lock
    std::unordered_map<uint64_t, std::shared_ptr<NotifierEntry>> notifiers; // lock
    uint64_t nextKey = 1;                                    // lock
    alignas(kLine) std::atomic<bool> hasSent{false};         // written under lock: sent is not empty

    alignas(kLine) std::vector<MSG> taken; // owner: posted messages moved over in one go, older than those in posted
    size_t takenHead = 0;   // owner: taken[0 .. takenHead) have been read
    bool quit = false; // owner
    int quitCode = 0;  // owner
    int postedRun = 0; // owner: posted messages returned since descriptors were last polled
    std::vector<Timer> timers;  // owner
    std::vector<HWND> windows;  // owner: windows this thread created, oldest first
    std::atomic<HWND> capture{nullptr}; // set by the owner, read by input routing
    std::atomic<bool> paintHint{false}; // some window of this thread may need painting

private:
    alignas(kLine) std::atomic<bool> m_wakePending{false}; // a wake since the owner's last wait
    std::atomic<bool> m_sleeping{false};    // the owner waits, or is about to
};

// The calling thread's queue, made on first use; null once the thread has
// released it on its way out.
std::shared_ptr<ThreadQueue> CurrentQueue();
// The same without taking a reference, for the owner's own use.
ThreadQueue* OwnQueue();
// The queue of the thread with that id, if it has a live one.
std::shared_ptr<ThreadQueue> QueueOfThread(DWORD threadId);
void EnsureThreadQueue();
// Destroys the thread's remaining windows, completes the messages still sent
// to it with 0 and closes the queue. Runs as the thread ends.
void ReleaseThreadQueue();

bool PostToQueue(ThreadQueue& queue, const MSG& msg);
LRESULT SendToQueue(const std::shared_ptr<ThreadQueue>& target, HWND window, UINT message, WPARAM wParam,
                    LPARAM lParam);
// The retrieval behind GetMessage and PeekMessage, with a time limit in ms
// (INFINITE waits). False when nothing came in time, or, with
// returnAfterCallbacks, as soon as descriptor callbacks have run.
bool FetchMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove, DWORD timeoutMs,
                  bool returnAfterCallbacks = false);

// A wait of the calling thread for one descriptor that keeps the thread's
// loop served: it returns as soon as fd polls one of pollEvents, without a
// turn of the loop when nothing else is due; whatever comes meanwhile (sent
// and posted messages, notifier callbacks, timers, paints) is dispatched.
enum class FdWait { Ready, TimedOut, Quit, Stopped, NoQueue };
// Quit: a WM_QUIT came (it stays queued).
// Stopped: stop() held after something was dispatched. NoQueue: the thread
// has no message queue (any more) and nothing was waited for.
FdWait WaitForFd(int fd, short pollEvents, const Deadline& deadline, const std::function<bool()>& stop);
// Removes the timers of a window of the calling thread.
void KillWindowTimers(ThreadQueue& queue, HWND window);

POINT LastMousePosition();
void SetLastMousePosition(POINT screenPoint);

} // namespace zep3::detail
