#pragma once
// The platform's record of one thread: what its handles name, what waits on
// it see, and the state of its suspension.
#include <zep3/platform/detail/Kernel.h>

#include <atomic>
#include <condition_variable>
#include <pthread.h>
#include <ucontext.h>

class CWinThread;

namespace zep3::detail {

class ThreadObject : public KernelObject {
public:
    enum ParkState { kRunning, kRequested, kParked };
    static const int kUnknownNice = -1000;

    bool IsSignaled() const override { return finished; }

    // Guarded by KernelLock().
    bool finished = false;
    DWORD exitCode = 259; // STILL_ACTIVE
    bool terminating = false;
    DWORD terminateCode = 0;

    // Set by the creator (or the thread, whichever comes first); constant afterwards.
    std::atomic<DWORD> tid{0};
    pthread_t thread{};
    bool adopted = false; // started elsewhere, known since it first used the platform

    std::atomic<int> priority{0};
    int nice = kUnknownNice; // the system's value for the thread as last set or inherited; suspendLock
    std::atomic<CWinThread*> owner{nullptr};

    // Suspension, guarded by suspendLock.
    std::mutex suspendLock;
    std::condition_variable gate; // the start gate, and a thread suspended by itself
    DWORD suspendCount = 0;
    bool begun = false;   // the thread has made its message queue and waits at its gate
    bool started = false; // past the gate
    bool exiting = false; // past the point where signals may be sent to it
    std::atomic<int> park{kRunning};
    ucontext_t context; // written by the parking handler, read while parked
};

// The record of the calling thread, made on first use; null while the thread exits.
std::shared_ptr<ThreadObject> CurrentThreadObject();

// Starts a thread that runs body(arg), its exit code the result. Its id is
// known on return (without waiting for the thread to run, where the system
// allows); the thread then makes its message queue and waits at its start
// gate (suspend count 1) until resumed. Null when the system cannot create it.
std::shared_ptr<ThreadObject> StartThread(UINT stackSize, DWORD (*body)(void*), void* arg);
// Waits until a thread from StartThread has made its message queue (at once
// for threads started elsewhere).
void AwaitThreadBegun(ThreadObject& t);

} // namespace zep3::detail
