#include <zep3/platform/Wait.h>
#include <zep3/platform/detail/Kernel.h>
#include <zep3/platform/detail/Posix.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <pthread.h>
#include <unordered_map>

namespace zep3::detail {

struct Waiter {
    std::vector<KernelObject*> objects;
    bool waitAll = false;
    int satisfied = -1; // index of the object that ended the wait; 0 for wait-all
    std::condition_variable wakeUp;
};

namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 1;
};

// Never destroyed: threads may still close handles while the process exits.
HandleTable& Handles() {
    static HandleTable* table = new HandleTable;
    return *table;
}

bool TrySatisfy(Waiter& w) {
    if (w.waitAll) {
        for (KernelObject* o : w.objects)
            if (!o->IsSignaled()) return false;
        for (KernelObject* o : w.objects) o->Acquire();
        w.satisfied = 0;
        return true;
    }
    for (size_t i = 0; i < w.objects.size(); ++i) {
        if (w.objects[i]->IsSignaled()) {
            w.objects[i]->Acquire();
            w.satisfied = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

void Enlist(Waiter& w) {
    for (KernelObject* o : w.objects) o->waiters.push_back(&w);
}

void Delist(Waiter& w) {
    for (KernelObject* o : w.objects) {
        auto it = std::find(o->waiters.begin(), o->waiters.end(), &w);
        if (it != o->waiters.end()) o->waiters.erase(it);
    }
}

// Takes a waiter off the objects' lists however the wait ends, including
// when the waiting thread is cancelled inside it.
struct EnlistGuard {
    Waiter& w;
    explicit EnlistGuard(Waiter& waiter) : w(waiter) { Enlist(w); }
    ~EnlistGuard() {
        if (w.satisfied < 0) Delist(w);
    }
};

} // namespace

std::mutex& KernelLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

void WakeWaiters(KernelObject* object) {
    // Copy: satisfied waiters leave the list as it is walked.
    std::vector<Waiter*> waiting = object->waiters;
    for (Waiter* w : waiting) {
        if (!object->IsSignaled()) break;
        if (TrySatisfy(*w)) {
            Delist(*w);
            w->wakeUp.notify_one();
        }
    }
}

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object) {
    if (!object) return nullptr;
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> hold(table.lock);
    uintptr_t key = table.next++ * 4;
    ++object->openHandles;
    table.objects.emplace(key, std::move(object));
    return reinterpret_cast<HANDLE>(key);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    if (handle == CurrentThreadPseudoHandle()) return CurrentThreadKernelObject();
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> hold(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

DWORD WaitForObjects(const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll, DWORD milliseconds) {
    Waiter w;
    w.waitAll = waitAll;
    if (objects.empty() || objects.size() > MAXIMUM_WAIT_OBJECTS)
        return FailWith(ERROR_INVALID_PARAMETER, WAIT_FAILED);
    for (const auto& o : objects) {
        if (!o) return FailWith(ERROR_INVALID_HANDLE, WAIT_FAILED);
        if (waitAll && std::find(w.objects.begin(), w.objects.end(), o.get()) != w.objects.end())
            return FailWith(ERROR_INVALID_PARAMETER, WAIT_FAILED);
        w.objects.push_back(o.get());
    }

    std::unique_lock<std::mutex> hold(KernelLock());
    if (TrySatisfy(w)) return WAIT_OBJECT_0 + w.satisfied;
    if (milliseconds == 0) return WAIT_TIMEOUT;
    EnlistGuard enlisted(w);
    // Plain calls into the C library (no predicate templates in between), so
    // that a thread cancelled here unwinds cleanly under AddressSanitizer too.
    const Deadline deadline = Deadline::After(milliseconds);
    const struct timespec until = deadline.AbsoluteTime();
    while (w.satisfied < 0) {
        if (deadline.IsInfinite()) {
            w.wakeUp.wait(hold);
        } else if (pthread_cond_clockwait(w.wakeUp.native_handle(), hold.mutex()->native_handle(), CLOCK_MONOTONIC,
                                          &until) == ETIMEDOUT &&
                   w.satisfied < 0) {
            return WAIT_TIMEOUT;
        }
    }
    return WAIT_OBJECT_0 + w.satisfied;
}

} // namespace zep3::detail

using namespace zep3::detail;

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> last; // released outside the table lock
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> hold(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.objects.end()) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    last = std::move(it->second);
    --last->openHandles;
    table.objects.erase(it);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForObjects({LookupHandle(handle)}, false, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (!handles || count == 0 || count > MAXIMUM_WAIT_OBJECTS)
        return FailWith(ERROR_INVALID_PARAMETER, WAIT_FAILED);
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (DWORD i = 0; i < count; ++i) objects.push_back(LookupHandle(handles[i]));
    return WaitForObjects(objects, waitAll != FALSE, milliseconds);
}
