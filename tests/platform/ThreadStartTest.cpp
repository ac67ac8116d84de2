// Starting threads: the creator knows the new thread's id at once, before
// the thread has run, and it must be the thread's own system id -- the
// calls that act on a thread by id (priority, suspension, OpenThread,
// thread messages) reach another thread otherwise.
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <atomic>
#include <sys/resource.h>
#include <vector>

namespace {

struct Seen {
    std::atomic<DWORD> id{0};
    std::atomic<int> nice{-100};
};

UINT Record(LPVOID param) {
    Seen* seen = static_cast<Seen*>(param);
    seen->nice = getpriority(PRIO_PROCESS, 0); // this thread's own nice value
    seen->id = GetCurrentThreadId();
    return 0;
}

void AwaitAndDelete(CWinThread* thread) {
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 20000), WAIT_OBJECT_0);
    delete thread;
}

} // namespace

TEST(ThreadStart, SuspendedThreadIsKnownByItsOwnIdBeforeItRuns) {
    Seen seen;
    CWinThread* thread = AfxBeginThread(Record, &seen, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    const DWORD id = thread->m_nThreadID;
    ASSERT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    HANDLE byId = OpenThread(THREAD_ALL_ACCESS, FALSE, id);
    ASSERT_NE(byId, nullptr) << "openable by id before it has run";
    // Lowering to the lowest needs no privilege; a wrong id would lower some
    // other thread.
    ASSERT_TRUE(SetThreadPriority(byId, THREAD_PRIORITY_IDLE));
    EXPECT_EQ(seen.id.load(), 0u) << "still held at its gate";

    EXPECT_EQ(thread->ResumeThread(), 1u);
    EXPECT_EQ(WaitForSingleObject(byId, 20000), WAIT_OBJECT_0) << "the handle by id names this thread";
    EXPECT_EQ(seen.id.load(), id);
    EXPECT_EQ(seen.nice.load(), 19) << "the priority reached the thread itself";
    CloseHandle(byId);
    AwaitAndDelete(thread);
}

TEST(ThreadStart, ManyShortThreadsStartedSuspendedOrAtOnceEachGetTheirOwnId) {
    const int kThreads = 200;
    std::vector<Seen> seen(kThreads);
    std::vector<CWinThread*> threads;
    for (int i = 0; i < kThreads; ++i) {
        auto* thread = new CWinThread(Record, &seen[size_t(i)]);
        thread->m_bAutoDelete = FALSE;
        // Every other one runs at once, racing its creator for the records.
        ASSERT_TRUE(thread->CreateThread(i % 2 ? 0 : CREATE_SUSPENDED));
        threads.push_back(thread);
    }
    for (CWinThread* thread : threads) thread->ResumeThread();
    for (int i = 0; i < kThreads; ++i) {
        const DWORD id = threads[size_t(i)]->m_nThreadID;
        AwaitAndDelete(threads[size_t(i)]);
        EXPECT_EQ(seen[size_t(i)].id.load(), id) << "thread " << i;
    }
}

TEST(ThreadStart, ThreadMessagesReachAThreadJustCreated) {
    // The member waits for the new thread's queue; the global call by id
    // works from then on as well.
    static std::atomic<int> received;
    received = 0;
    CWinThread* thread = AfxBeginThread(
        [](LPVOID) -> UINT {
            MSG msg;
            while (GetMessage(&msg, nullptr, 0, 0) > 0) received += int(msg.wParam);
            return 0;
        },
        nullptr, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    EXPECT_TRUE(thread->PostThreadMessage(WM_USER, 1, 0));
    EXPECT_TRUE(PostThreadMessage(thread->m_nThreadID, WM_USER, 2, 0));
    EXPECT_TRUE(PostThreadMessage(thread->m_nThreadID, WM_QUIT, 0, 0));
    thread->ResumeThread();
    AwaitAndDelete(thread);
    EXPECT_EQ(received, 3);
}
