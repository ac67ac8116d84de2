#pragma once
/// @file
/// The thread calls on handles and ids: identity, suspension, priority, exit
/// code and forced termination.
///
/// Threads started by CWinThread (and AfxBeginThread) are known from birth. Any
/// other thread becomes known the first time it calls GetCurrentThreadId or
/// uses a message queue; only known threads can be opened by id.
///
/// Suspending another thread is real: the thread is sent a reserved real-time
/// signal (SIGRTMIN + 4) whose handler saves its register context and parks it
/// until the suspend count returns to zero. Blocking calls of a parked thread
/// that the signal interrupts may see EINTR, as with any signal. A thread that
/// blocks the signal cannot be suspended (SuspendThread answers (DWORD)-1).
#include <zep3/platform/Wait.h>

#define STILL_ACTIVE 259u
#define CREATE_SUSPENDED 0x00000004u

#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

#define THREAD_TERMINATE 0x0001u
#define THREAD_SUSPEND_RESUME 0x0002u
#define THREAD_GET_CONTEXT 0x0008u
#define THREAD_QUERY_INFORMATION 0x0040u
#define THREAD_SET_INFORMATION 0x0020u
#define THREAD_ALL_ACCESS 0x001FFFFFu

/// The system thread id (gettid) of the calling thread.
ZEP3_API DWORD GetCurrentThreadId();
/// A pseudo-handle meaning "the calling thread"; needs no CloseHandle.
ZEP3_API HANDLE GetCurrentThread();
/// A new handle to the known thread with that id, or null when there is none
/// (never known, or ended with no handle to it left open). Access is not checked.
ZEP3_API HANDLE OpenThread(DWORD desiredAccess, BOOL inheritHandle, DWORD threadId);

/// Adds one to the thread's suspend count and returns the count before; the
/// thread stops before this returns when the count leaves zero. (DWORD)-1 when
/// the handle is bad, the thread has ended, or it did not stop within two
/// seconds (then the count is unchanged). A thread may suspend itself; it
/// then waits for another thread to resume it.
ZEP3_API DWORD SuspendThread(HANDLE thread);
/// Takes one from the suspend count and returns the count before; the thread
/// runs again (or starts, when it was created suspended) when it reaches zero.
/// 0 when it was not suspended; (DWORD)-1 for a bad handle.
ZEP3_API DWORD ResumeThread(HANDLE thread);

/// The thread's priority level (THREAD_PRIORITY_*); THREAD_PRIORITY_ERROR_RETURN
/// for a bad handle. The level is kept as given; the system nice value follows
/// it as far as the process may change it.
ZEP3_API int GetThreadPriority(HANDLE thread);
ZEP3_API BOOL SetThreadPriority(HANDLE thread, int priority);

/// STILL_ACTIVE while the thread runs (or waits to start), then its exit code.
/// FALSE for a bad handle or a null exitCode.
ZEP3_API BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

/// Ends the thread with exitCode: it is cancelled at its next cancellation
/// point (blocking waits, sleeps, reads), resumed first if suspended, and
/// given 200 ms to unwind. TRUE when it has ended (also when it had ended
/// already); FALSE for a bad handle or when it is still running after that
/// time, in which case it is left to end on its own. A thread may end itself
/// this way (the call does not return).
ZEP3_API BOOL TerminateThread(HANDLE thread, DWORD exitCode);
