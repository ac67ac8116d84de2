// Threads, events and waits: the semantics the worker threads of the library
// build on (start gates, exit codes, auto-delete, forced ends, suspension).
#include "LoopTestSupport.h"

#include <zep3/platform/detail/ThreadContext.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using looptest::ExitCode;
using looptest::StartThread;

namespace {

// Closes a handle at the end of a scope.
struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle() { CloseHandle(h); }
    operator HANDLE() const { return h; }
};

} // namespace

TEST(Event, AutoAndManualReset) {
    Handle autoEvent(CreateEvent(nullptr, FALSE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0) << "created signalled";
    EXPECT_EQ(WaitForSingleObject(autoEvent, 20), WAIT_TIMEOUT) << "a satisfied wait resets it";

    CEvent manual(FALSE, TRUE);
    EXPECT_FALSE(manual.Lock(0));
    manual.SetEvent();
    EXPECT_TRUE(manual.Lock(0));
    EXPECT_TRUE(manual.Lock(0)) << "stays signalled";
    manual.ResetEvent();
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
}

TEST(Event, AutoResetReleasesOneWaiterPerSignal) {
    CEvent event;
    std::atomic<int> released{0};
    auto waiter = [&] {
        if (WaitForSingleObject(event, 5000) == WAIT_OBJECT_0) ++released;
    };
    std::thread a(waiter), b(waiter);
    event.SetEvent();
    ASSERT_TRUE(PumpMessagesUntil([&] { return released == 1; }, 5000));
    // The signal went to the first waiter; the event is not left set.
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    event.SetEvent();
    a.join();
    b.join();
    EXPECT_EQ(released, 2);
}

TEST(Event, PulseReleasesOnlyTheThreadsWaiting) {
    CEvent event(FALSE, TRUE);
    event.PulseEvent();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "nobody was waiting";
    std::atomic<bool> woke{false};
    std::thread waiter([&] { woke = WaitForSingleObject(event, 5000) == WAIT_OBJECT_0; });
    // Pulse until the waiter has been caught waiting.
    EXPECT_TRUE(PumpMessagesUntil([&] {
        event.PulseEvent();
        return woke.load();
    }, 5000));
    waiter.join();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(Wait, AnyTakesTheLowestSignalledIndex) {
    CEvent first, second, third(FALSE, TRUE);
    HANDLE all[] = {first, second, third};
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 10), WAIT_TIMEOUT);
    third.SetEvent();
    second.SetEvent();
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 2) << "second was consumed";
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 2) << "manual reset stays";
}

TEST(Wait, AllTakesEverythingAtOnceOrNothing) {
    CEvent a, b;
    HANDLE both[] = {a, b};
    a.SetEvent();
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "a partial wait-all took nothing";

    std::atomic<DWORD> result{WAIT_FAILED};
    std::thread waiter([&] { result = WaitForMultipleObjects(2, both, TRUE, 5000); });
    a.SetEvent();
    b.SetEvent();
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);
}

// Each failure says why through GetLastError, as applications read it.
TEST(Wait, BadHandlesFailWithTheirReason) {
    // The call fails and says why; the error is cleared before each call.
    auto failsWith = [](const std::function<bool()>& failed, DWORD error) {
        SetLastError(0);
        return failed() && GetLastError() == error;
    };
    CEvent a;
    HANDLE twice[] = {a, a};
    EXPECT_TRUE(failsWith([&] { return WaitForMultipleObjects(2, twice, TRUE, 0) == WAIT_FAILED; }, ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(failsWith([&] { return WaitForMultipleObjects(0, twice, FALSE, 0) == WAIT_FAILED; }, ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(failsWith([] { return WaitForSingleObject(nullptr, 0) == WAIT_FAILED; }, ERROR_INVALID_HANDLE));
    HANDLE e = CreateEvent(nullptr, TRUE, TRUE, nullptr), mixed[] = {a, e};
    EXPECT_TRUE(CloseHandle(e));
    EXPECT_TRUE(failsWith([&] { return !CloseHandle(e); }, ERROR_INVALID_HANDLE));
    EXPECT_TRUE(failsWith([&] { return WaitForSingleObject(e, 0) == WAIT_FAILED; }, ERROR_INVALID_HANDLE));
    EXPECT_TRUE(failsWith([&] { return !SetEvent(e); }, ERROR_INVALID_HANDLE));
    EXPECT_TRUE(failsWith([&] { return WaitForMultipleObjects(2, mixed, FALSE, 0) == WAIT_FAILED; }, ERROR_INVALID_HANDLE));

    // The thread calls, on a handle that is no thread and an id that is none.
    EXPECT_TRUE(failsWith([&] { return SuspendThread(a) == DWORD(-1); }, ERROR_INVALID_HANDLE)) << "an event is no thread";
    EXPECT_TRUE(failsWith([&] { return ResumeThread(e) == DWORD(-1); }, ERROR_INVALID_HANDLE));
    EXPECT_TRUE(failsWith([] { return !SetThreadPriority(GetCurrentThread(), 42); }, ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(failsWith([&] { return GetThreadPriority(e) == THREAD_PRIORITY_ERROR_RETURN; }, ERROR_INVALID_HANDLE));
    DWORD code;
    EXPECT_TRUE(failsWith([&] { return !GetExitCodeThread(e, &code); }, ERROR_INVALID_HANDLE));
    EXPECT_TRUE(failsWith([&] { return !TerminateThread(e, 1); }, ERROR_INVALID_HANDLE));
    EXPECT_TRUE(failsWith([] { return OpenThread(THREAD_ALL_ACCESS, FALSE, 0x7FFFFFF0u) == nullptr; }, ERROR_INVALID_PARAMETER));
}

TEST(WinThread, CreatedSuspendedRunsAfterResumeAndKeepsItsExitCode) {
    static std::atomic<CWinThread*> seen;
    seen = nullptr;
    CWinThread* thread = AfxBeginThread([](LPVOID p) -> UINT {
        seen = AfxGetThread();
        return *static_cast<UINT*>(p);
    }, new UINT(42), THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    EXPECT_NE(thread->m_nThreadID, 0u);
    EXPECT_EQ(thread->GetThreadPriority(), THREAD_PRIORITY_BELOW_NORMAL);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread->m_hThread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 20), WAIT_TIMEOUT);
    EXPECT_EQ(seen.load(), nullptr);

    EXPECT_EQ(thread->ResumeThread(), 1u);
    EXPECT_EQ(ExitCode(*thread), 42u);
    EXPECT_EQ(seen.load(), thread) << "AfxGetThread names the running object";
    EXPECT_EQ(AfxGetThread(), nullptr) << "the test's own thread was not started here";
    // An ended thread can be opened by id while a handle to it is open.
    const DWORD id = thread->m_nThreadID;
    HANDLE again = OpenThread(THREAD_ALL_ACCESS, FALSE, id);
    EXPECT_EQ(ExitCode(again), 42u);
    delete static_cast<UINT*>(thread->m_pThreadParams);
    delete thread;
    CloseHandle(again);
    EXPECT_EQ(OpenThread(THREAD_ALL_ACCESS, FALSE, id), nullptr) << "gone with its last handle";
}

namespace {

// A thread object with a message loop: WM_USER ends it with the code in
// wParam; it reports its own deletion.
class LoopThread : public CWinThread {
public:
    static std::atomic<int> deleted;
    BOOL InitInstance() override { return !failInit; }
    BOOL DispatchThreadMessageEx(MSG* msg) override {
        if (msg->message != WM_USER) return FALSE;
        PostQuitMessage(static_cast<int>(msg->wParam));
        return TRUE;
    }
    int ExitInstance() override { return failInit ? 5 : CWinThread::ExitInstance() + 1; }
    ~LoopThread() override { ++deleted; }
    static bool failInit;
};
std::atomic<int> LoopThread::deleted{0};
bool LoopThread::failInit = false;

} // namespace

TEST(WinThread, ThreadObjectRunsItsLoopUntilToldToEndAndDeletesItself) {
    LoopThread::deleted = 0;
    // A refused InitInstance ends the thread through ExitInstance as well.
    for (bool failInit : {false, true}) {
        LoopThread::failInit = failInit;
        LoopThread* thread = AfxBeginThread<LoopThread>(THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ASSERT_NE(thread, nullptr);
        // Queued before the thread has run a single instruction.
        EXPECT_TRUE(thread->PostThreadMessage(WM_USER, 6, 0));
        Handle handle(OpenThread(THREAD_ALL_ACCESS, FALSE, thread->m_nThreadID));
        ASSERT_NE(handle.h, nullptr);
        thread->ResumeThread();
        EXPECT_EQ(ExitCode(handle), failInit ? 5u : 7u) << "ExitInstance's answer";
        EXPECT_EQ(LoopThread::deleted, failInit ? 2 : 1);
    }
    EXPECT_FALSE(PostThreadMessage(0x7FFFFFF0, WM_USER, 0, 0)) << "no such thread";
}

TEST(WinThread, TerminateEndsABlockedThreadWithTheGivenCode) {
    static CEvent never;
    CWinThread* thread = StartThread([](LPVOID) -> UINT {
        WaitForSingleObject(never, INFINITE);
        return 1;
    });
    EXPECT_EQ(WaitForSingleObject(*thread, 20), WAIT_TIMEOUT);
    EXPECT_TRUE(TerminateThread(*thread, 99));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(*thread, &code));
    EXPECT_EQ(code, 99u);
    EXPECT_TRUE(TerminateThread(*thread, 1)) << "already ended";
    delete thread;
}

namespace {

std::atomic<unsigned long> g_progress{0};
std::atomic<bool> g_stop{false};

UINT Busy(LPVOID) {
    while (!g_stop) {
        ++g_progress;
    }
    return 3;
}

} // namespace

TEST(WinThread, SuspensionStopsABusyThreadAndCountsNest) {
    g_stop = false;
    g_progress = 0;
    CWinThread* thread = StartThread(Busy);
    ASSERT_TRUE(PumpMessagesUntil([] { return g_progress > 1000; }, 5000));

    EXPECT_EQ(thread->SuspendThread(), 0u);
    const unsigned long stopped = g_progress;
    ucontext_t context;
    ASSERT_TRUE(zep3::detail::GetSuspendedThreadContext(*thread, &context));
#if defined(__x86_64__)
    EXPECT_NE(context.uc_mcontext.gregs[REG_RIP], 0);
    EXPECT_NE(context.uc_mcontext.gregs[REG_RSP], 0);
#endif
    EXPECT_EQ(thread->SuspendThread(), 1u);
    Sleep(30);
    EXPECT_EQ(thread->ResumeThread(), 2u);
    Sleep(30);
    EXPECT_EQ(g_progress, stopped) << "still suspended once";

    EXPECT_EQ(thread->ResumeThread(), 1u);
    EXPECT_FALSE(zep3::detail::GetSuspendedThreadContext(*thread, &context));
    EXPECT_TRUE(PumpMessagesUntil([&] { return g_progress > stopped; }, 5000));
    EXPECT_EQ(thread->ResumeThread(), 0u) << "not suspended";

    // A suspended thread can still be ended.
    EXPECT_EQ(thread->SuspendThread(), 0u);
    g_stop = true;
    EXPECT_EQ(WaitForSingleObject(*thread, 30), WAIT_TIMEOUT);
    thread->ResumeThread();
    EXPECT_EQ(ExitCode(*thread), 3u);
    EXPECT_EQ(thread->SuspendThread(), DWORD(-1)) << "ended";
    delete thread;
}

TEST(Thread, ThreadsStartedElsewhereCanBeOpenedByIdOnceKnown) {
    CEvent known, leave;
    std::atomic<DWORD> id{0};
    std::thread other([&] {
        id = GetCurrentThreadId();
        known.SetEvent();
        WaitForSingleObject(leave, 60000); // however slow the test's own thread is
    });
    ASSERT_TRUE(known.Lock(5000));
    Handle handle(OpenThread(THREAD_ALL_ACCESS, FALSE, id));
    ASSERT_NE(handle.h, nullptr);
    EXPECT_NE(id.load(), GetCurrentThreadId());
    EXPECT_EQ(GetThreadPriority(handle), THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(GetThreadPriority(nullptr), THREAD_PRIORITY_ERROR_RETURN);
    leave.SetEvent();
    EXPECT_EQ(WaitForSingleObject(handle, 5000), WAIT_OBJECT_0) << "its end is seen as well";
    other.join();
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}
