#pragma once
// Waitable objects behind HANDLEs. One lock guards the signal state of every
// object, so that a wait on several objects sees them at one instant and a
// wait-all takes them together. A state change hands the object straight to
// the waiters it satisfies (in the order they started waiting), which is what
// makes PulseEvent and auto-reset events exact.
#include <zep3/platform/LastError.h>
#include <zep3/platform/WinTypes.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace zep3::detail {

struct Waiter;

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Both run with KernelLock() held.
    virtual bool IsSignaled() const = 0;
    // A satisfied wait takes the object (an auto-reset event resets).
    virtual void Acquire() {}

    std::vector<Waiter*> waiters; // guarded by KernelLock()
    std::atomic<int> openHandles{0};
};

std::mutex& KernelLock();
// Sets the calling thread's last error and returns the failure value, for
// the failure paths of the calls on handles.
template <class T>
T FailWith(DWORD error, T failure) {
    SetLastError(error);
    return failure;
}

// Completes the waits that the object's current state satisfies. KernelLock() held.
void WakeWaiters(KernelObject* object);

// A new handle to the object.
HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);
// The object of an open handle (the pseudo-handle of the current thread
// included); null for anything else.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Resolves the pseudo-handle of the current thread (defined with the threads).
std::shared_ptr<KernelObject> CurrentThreadKernelObject();

// The wait behind WaitForSingleObject and WaitForMultipleObjects; the
// caller's references keep the objects alive while it waits. A null object
// (a bad handle) fails the wait with ERROR_INVALID_HANDLE.
DWORD WaitForObjects(const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll, DWORD milliseconds);

} // namespace zep3::detail
