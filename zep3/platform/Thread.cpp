#include <zep3/platform/Thread.h>
#include <zep3/platform/detail/MessageQueue.h>
#include <zep3/platform/detail/Posix.h>
#include <zep3/platform/detail/ThreadContext.h>
#include <zep3/platform/detail/ThreadObject.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <linux/futex.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>

namespace zep3::detail {
namespace {

static_assert(sizeof(std::atomic<int>) == sizeof(int) && std::atomic<int>::is_always_lock_free,
              "the park state is waited on as a futex word");

// Read by the suspension handler: initial-exec so that reading it there
// never allocates.
thread_local ThreadObject* tlsSelf __attribute__((tls_model("initial-exec"))) = nullptr;
thread_local bool tlsGone = false;
thread_local DWORD tlsTid = 0;

// Keeps the calling thread's record alive; for threads started elsewhere it
// also reports their end.
struct ThreadHolder {
    std::shared_ptr<ThreadObject> object;
    ~ThreadHolder();
};
thread_local ThreadHolder tlsHolder;

// Threads by id, for OpenThread. An entry lives as long as the thread's
// record: while the thread runs or a handle to it is open, as on Windows,
// where an ended thread can be opened (and its exit code read) until its
// last handle is closed.
struct KnownThreads {
    std::mutex lock;
    std::unordered_map<DWORD, std::weak_ptr<ThreadObject>> byId;
    size_t pruneAt = 64;
};

KnownThreads& Known() {
    static KnownThreads* known = new KnownThreads;
    return *known;
}

void Remember(const std::shared_ptr<ThreadObject>& t) {
    KnownThreads& k = Known();
    std::lock_guard<std::mutex> hold(k.lock);
    k.byId[t->tid] = t; // a reused id now names the new thread
    if (k.byId.size() < k.pruneAt) return;
    for (auto it = k.byId.begin(); it != k.byId.end();) it = it->second.expired() ? k.byId.erase(it) : ++it;
    k.pruneAt = 2 * k.byId.size() + 64;
}

DWORD SystemThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

// After this no signal is sent to the thread and waits on it complete.
void Finish(ThreadObject& t, DWORD code) {
    {
        std::lock_guard<std::mutex> hold(t.suspendLock);
        t.exiting = true;
    }
    std::lock_guard<std::mutex> hold(KernelLock());
    t.exitCode = t.terminating ? t.terminateCode : code;
    t.finished = true;
    WakeWaiters(&t);
}

ThreadHolder::~ThreadHolder() {
    tlsGone = true;
    if (object && object->adopted) Finish(*object, 0);
    tlsSelf = nullptr;
}

void Bind(const std::shared_ptr<ThreadObject>& t) {
    tlsHolder.object = t;
    tlsSelf = t.get();
    tlsTid = SystemThreadId();
}

// --- suspension by signal -------------------------------------------------

int SuspendSignal() { return SIGRTMIN + 4; }

long Futex(std::atomic<int>* word, int op, int value, const struct timespec* timeout) {
    return syscall(SYS_futex, reinterpret_cast<int*>(word), op, value, timeout, nullptr, 0);
}

void CopyContext(ucontext_t* to, const ucontext_t* from) {
    std::memcpy(to, from, sizeof(ucontext_t));
#if defined(__x86_64__)
    // The floating-point state is reached through a pointer; keep a copy
    // inside the record and point at it.
    if (from->uc_mcontext.fpregs) std::memcpy(&to->__fpregs_mem, from->uc_mcontext.fpregs, sizeof(to->__fpregs_mem));
    to->uc_mcontext.fpregs = &to->__fpregs_mem;
#endif
}

void OnSuspendSignal(int, siginfo_t*, void* context) {
    int savedErrno = errno;
    ThreadObject* self = tlsSelf;
    if (self && self->park.load(std::memory_order_acquire) == ThreadObject::kRequested) {
        CopyContext(&self->context, static_cast<const ucontext_t*>(context));
        int expected = ThreadObject::kRequested;
        if (self->park.compare_exchange_strong(expected, ThreadObject::kParked, std::memory_order_acq_rel)) {
            Futex(&self->park, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr);
            while (self->park.load(std::memory_order_acquire) == ThreadObject::kParked)
                Futex(&self->park, FUTEX_WAIT_PRIVATE, ThreadObject::kParked, nullptr);
        }
    }
    errno = savedErrno;
}

void InstallSuspendHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action = {};
        action.sa_sigaction = OnSuspendSignal;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SuspendSignal(), &action, nullptr);
    });
}

// Waits until the target has parked; false after the time limit.
bool AwaitPark(ThreadObject& t, DWORD milliseconds) {
    const Deadline deadline = Deadline::After(milliseconds);
    for (;;) {
        if (t.park.load(std::memory_order_acquire) == ThreadObject::kParked) return true;
        if (deadline.HasPassed()) return false;
        struct timespec left = deadline.RemainingTime();
        Futex(&t.park, FUTEX_WAIT_PRIVATE, ThreadObject::kRequested, &left);
    }
}

void Unpark(ThreadObject& t) {
    if (t.park.exchange(ThreadObject::kRunning, std::memory_order_acq_rel) == ThreadObject::kParked)
        Futex(&t.park, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr);
}

// --- start ------------------------------------------------------------------

struct StartBlock {
    std::shared_ptr<ThreadObject> object;
    DWORD (*body)(void*);
    void* arg;
};

// Runs when the thread ends, by return or by cancellation.
struct ThreadEnd {
    ThreadObject& t;
    DWORD code = 0;
    ~ThreadEnd() {
        ReleaseThreadQueue();
        Finish(t, code);
    }
};

// Publishes the thread's id unless its creator has done so already; either
// may come first.
void Publish(const std::shared_ptr<ThreadObject>& t, pthread_t thread, DWORD tid) {
    t->thread = thread;
    if (t->tid != 0) return;
    t->tid = tid;
    Remember(t);
}

void* Trampoline(void* param) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(param));
    ThreadObject& t = *start->object;
    Bind(start->object);
    EnsureThreadQueue(); // first, so that messages can be posted to it soon
    {
        std::lock_guard<std::mutex> hold(t.suspendLock);
        Publish(start->object, pthread_self(), tlsTid);
        t.begun = true;
    }
    t.gate.notify_all();
    ThreadEnd end{t};
    {
        std::unique_lock<std::mutex> hold(t.suspendLock);
        while (t.suspendCount != 0) t.gate.wait(hold); // a cancellation point: keep it a plain call
        t.started = true;
    }
    pthread_testcancel(); // terminated before it could wait at the gate: it never runs
    end.code = start->body(start->arg);
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
    return nullptr;
}

// The kernel id of a thread, from the id of its CPU-time clock: the kernel
// encodes a thread clock as the complement of the id shifted left by three,
// with the low bits 6. Glibc fills in the id before pthread_create returns,
// so the creator learns it without waiting for the thread to run. 0 where
// that encoding does not hold (checked once on the calling thread).
DWORD ThreadIdFromClock(pthread_t thread) {
    clockid_t clock;
    if (pthread_getcpuclockid(thread, &clock) != 0 || (clock & 7) != 6) return 0;
    return static_cast<DWORD>(~(clock >> 3));
}

DWORD CreatedThreadId(pthread_t thread) {
    static const bool encodingHolds = ThreadIdFromClock(pthread_self()) == SystemThreadId();
    return encodingHolds ? ThreadIdFromClock(thread) : 0;
}

int NiceOf(int priority) {
    switch (priority) {
    case THREAD_PRIORITY_IDLE: return 19;
    case THREAD_PRIORITY_LOWEST: return 10;
    case THREAD_PRIORITY_BELOW_NORMAL: return 5;
    case THREAD_PRIORITY_ABOVE_NORMAL: return -5;
    case THREAD_PRIORITY_HIGHEST: return -10;
    case THREAD_PRIORITY_TIME_CRITICAL: return -20;
    default: return 0;
    }
}

bool IsPriorityLevel(int p) { return p == THREAD_PRIORITY_IDLE || p == THREAD_PRIORITY_TIME_CRITICAL || (p >= -2 && p <= 2); }

} // namespace

std::shared_ptr<ThreadObject> CurrentThreadObject() {
    if (tlsGone) return nullptr;
    if (!tlsHolder.object) {
        auto t = std::make_shared<ThreadObject>();
        t->adopted = true;
        t->started = true;
        t->thread = pthread_self();
        Bind(t);
        t->tid = tlsTid;
        Remember(t);
    }
    return tlsHolder.object;
}

std::shared_ptr<KernelObject> CurrentThreadKernelObject() { return CurrentThreadObject(); }

std::shared_ptr<ThreadObject> StartThread(UINT stackSize, DWORD (*body)(void*), void* arg) {
    auto t = std::make_shared<ThreadObject>();
    t->suspendCount = 1;
    // Born with its creator's nice value; reading it here spares each start
    // at normal priority setting it.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    t->nice = errno ? ThreadObject::kUnknownNice : nice;
    auto start = std::make_unique<StartBlock>(StartBlock{t, body, arg});
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stackSize) {
        long page = sysconf(_SC_PAGESIZE);
        size_t size = std::max<size_t>(stackSize, PTHREAD_STACK_MIN);
        pthread_attr_setstacksize(&attr, (size + page - 1) / page * page);
    }
    pthread_t thread;
    int rc = pthread_create(&thread, &attr, Trampoline, start.get());
    pthread_attr_destroy(&attr);
    if (rc != 0) return nullptr;
    start.release();
    // The thread waits at its start gate, alive, so its id cannot be reused yet.
    const DWORD tid = CreatedThreadId(thread);
    std::unique_lock<std::mutex> hold(t->suspendLock);
    if (tid) Publish(t, thread, tid);
    else t->gate.wait(hold, [&] { return t->tid != 0; });
    return t;
}

void AwaitThreadBegun(ThreadObject& t) {
    std::unique_lock<std::mutex> hold(t.suspendLock);
    if (!t.adopted) t.gate.wait(hold, [&] { return t.begun; });
}

bool GetSuspendedThreadContext(HANDLE thread, ucontext_t* context) {
    auto t = LookupHandleAs<ThreadObject>(thread);
    if (!t || !context) return false;
    std::lock_guard<std::mutex> hold(t->suspendLock);
    if (t->park.load(std::memory_order_acquire) != ThreadObject::kParked) return false;
    CopyContext(context, &t->context);
    return true;
}

} // namespace zep3::detail

using namespace zep3::detail;

DWORD GetCurrentThreadId() {
    if (!tlsTid) {
        tlsTid = SystemThreadId();
        CurrentThreadObject();
    }
    return tlsTid;
}

HANDLE GetCurrentThread() { return CurrentThreadPseudoHandle(); }

HANDLE OpenThread(DWORD, BOOL, DWORD threadId) {
    if (threadId == GetCurrentThreadId()) return RegisterHandle(CurrentThreadObject());
    std::shared_ptr<ThreadObject> t;
    {
        KnownThreads& k = Known();
        std::lock_guard<std::mutex> hold(k.lock);
        auto it = k.byId.find(threadId);
        if (it != k.byId.end()) t = it->second.lock();
    }
    if (!t) return FailWith<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    {
        std::lock_guard<std::mutex> hold(KernelLock());
        // Gone, as far as callers can tell.
        if (t->finished && t->openHandles == 0) return FailWith<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    }
    return RegisterHandle(t);
}

DWORD SuspendThread(HANDLE thread) {
    auto t = LookupHandleAs<ThreadObject>(thread);
    if (!t) return FailWith(ERROR_INVALID_HANDLE, DWORD(-1));
    std::unique_lock<std::mutex> hold(t->suspendLock);
    if (t->exiting) return FailWith(ERROR_ACCESS_DENIED, DWORD(-1));
    DWORD previous = t->suspendCount;
    if (previous > 0 || !t->started) {
        ++t->suspendCount;
        return previous;
    }
    if (t.get() == tlsSelf) {
        t->suspendCount = 1;
        while (t->suspendCount != 0) t->gate.wait(hold);
        return 0;
    }
    InstallSuspendHandler();
    t->park.store(ThreadObject::kRequested, std::memory_order_release);
    if (syscall(SYS_tgkill, getpid(), static_cast<pid_t>(t->tid), SuspendSignal()) != 0 || !AwaitPark(*t, 2000)) {
        int expected = ThreadObject::kRequested;
        // Withdraw the request unless the thread parked at the last moment.
        if (t->park.compare_exchange_strong(expected, ThreadObject::kRunning, std::memory_order_acq_rel))
            return FailWith(ERROR_ACCESS_DENIED, DWORD(-1));
    }
    t->suspendCount = 1;
    return 0;
}

DWORD ResumeThread(HANDLE thread) {
    auto t = LookupHandleAs<ThreadObject>(thread);
    if (!t) return FailWith(ERROR_INVALID_HANDLE, DWORD(-1));
    std::unique_lock<std::mutex> hold(t->suspendLock);
    DWORD previous = t->suspendCount;
    if (previous == 0) return 0;
    if (--t->suspendCount == 0) {
        Unpark(*t);
        hold.unlock(); // the thread woken wants the lock at once
        t->gate.notify_all();
    }
    return previous;
}

int GetThreadPriority(HANDLE thread) {
    auto t = LookupHandleAs<ThreadObject>(thread);
    return t ? t->priority.load() : FailWith(ERROR_INVALID_HANDLE, int(THREAD_PRIORITY_ERROR_RETURN));
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    auto t = LookupHandleAs<ThreadObject>(thread);
    if (!t) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    if (!IsPriorityLevel(priority)) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    t->priority = priority;
    // Raising priority needs privileges the process may lack; the level
    // itself is what callers read back.
    const int nice = NiceOf(priority);
    std::lock_guard<std::mutex> hold(t->suspendLock);
    if (t->nice != nice && setpriority(PRIO_PROCESS, static_cast<id_t>(t->tid), nice) == 0) t->nice = nice;
    return TRUE;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    auto t = LookupHandleAs<ThreadObject>(thread);
    if (!t) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    if (!exitCode) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> hold(KernelLock());
    *exitCode = t->exitCode;
    return TRUE;
}

BOOL TerminateThread(HANDLE thread, DWORD exitCode) {
    auto t = LookupHandleAs<ThreadObject>(thread);
    if (!t) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    {
        std::lock_guard<std::mutex> hold(KernelLock());
        if (t->finished) return TRUE;
        t->terminating = true;
        t->terminateCode = exitCode;
    }
    if (t.get() == tlsSelf) pthread_exit(nullptr);
    {
        std::lock_guard<std::mutex> hold(t->suspendLock);
        if (!t->exiting) pthread_cancel(t->thread);
        // A suspended thread has to run to reach its cancellation point.
        t->suspendCount = 0;
        Unpark(*t);
        t->gate.notify_all();
    }
    return WaitForObjects({t}, false, 200) == WAIT_OBJECT_0;
}
