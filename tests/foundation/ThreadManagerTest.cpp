// The thread registry in-process, and the crash handler's parts that work
// outside a report: installation, report name, memory dumps, module lookup.
#include <zep3/zep3.h>
#include <zep3/platform/detail/ThreadContext.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

// A copy of the record; m_Name empty when the id is not registered.
SThreadInfo Record(unsigned int id) {
    CSingleLock lock(&CThreadManager::m_CriticalSection, true);
    SThreadInfo* info = nullptr;
    SThreadInfo copy = {};
    if (CThreadManager::m_ThreadInfoMap.Lookup(id, info)) copy = *info;
    return copy;
}

struct Worker {
    std::atomic<bool> sawItself{false};
    std::atomic<long> count{0};
    std::atomic<bool> stop{false};
};

// Notes whether it is registered at its first instruction, then counts until stopped.
UINT WorkerMain(void* param) {
    Worker* w = static_cast<Worker*>(param);
    w->sawItself = Record(GetCurrentThreadId()).m_Name[0] != '\0';
    while (!w->stop) ++w->count;
    return 7;
}

// Blocks in a wait until terminated.
UINT StuckMain(void* started) {
    *static_cast<std::atomic<bool>*>(started) = true;
    CEvent never;
    return never.Lock(10000) ? 1 : 2;
}

CWinThread* Start(UINT (*func)(void*), void* param, const char* name, bool resume = true) {
    CWinThread* thread = CThreadManager::CreateThread(func, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, name);
    if (thread) thread->m_bAutoDelete = FALSE;
    if (thread && resume) thread->ResumeThread();
    return thread;
}

const unsigned int kUnknownId = 0x7FFFFF01; // no such thread

} // namespace

TEST(ThreadManager, CreateThreadRegistersForExactlyTheFunctionsRun) {
    const int before = CThreadManager::GetThreadsCount();
    Worker w;
    CWinThread* thread = Start(WorkerMain, &w, "Probe", false);
    ASSERT_TRUE(thread);
    const unsigned int id = thread->m_nThreadID;
    EXPECT_EQ(CThreadManager::GetThreadsCount(), before + 1) << "registered while still suspended";
    EXPECT_STREQ(Record(id).m_Name, ":Probe") << "an empty application name leaves the colon";
    thread->ResumeThread();
    ASSERT_TRUE(zep3test::waitFor([&] { return w.count > 0; }));
    EXPECT_TRUE(w.sawItself);
    EXPECT_EQ(CThreadManager::IsThreadAlive(id, nullptr), THREAD_STATE_STILL_ALIVE);
    w.stop = true;
    ASSERT_EQ(WaitForSingleObject(thread->m_hThread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(CThreadManager::GetThreadsCount(), before) << "unregistered when the function returned";
    DWORD code = 0;
    EXPECT_EQ(CThreadManager::IsThreadAlive(id, &code), THREAD_STATE_DEAD) << "its object still holds a handle";
    EXPECT_EQ(code, 7u);
    delete thread;
    EXPECT_EQ(CThreadManager::IsThreadAlive(id, &code), THREAD_STATE_UNKNOWN);
}

TEST(ThreadManager, RegisterReplacesAndSetStateLimits) {
    const int before = CThreadManager::GetThreadsCount();
    CThreadManager::Register(kUnknownId, "First", "App");
    CThreadManager::SetState(kUnknownId, "old", "xyz", 3);
    CThreadManager::Register(kUnknownId, "Second", nullptr);
    EXPECT_EQ(CThreadManager::GetThreadsCount(), before + 1);
    SThreadInfo info = Record(kUnknownId);
    EXPECT_STREQ(info.m_Name, "App:Second") << "the application name stays until given again";
    EXPECT_EQ(info.m_DataSize, 0) << "a replaced record starts empty";
    EXPECT_FALSE(CThreadManager::TerminateThread(kUnknownId, 1)) << "an id the platform does not know";

    // Data beyond 1024 bytes is cut too: the crash report shows it.
    CThreadManager::SetState(kUnknownId, std::string(200, 's').c_str(), "data", 4);
    info = Record(kUnknownId);
    EXPECT_TRUE(info.m_DataSize == 4 && std::strlen(info.m_State) == 127);
    CThreadManager::SetState(kUnknownId, nullptr, "data", -5);
    EXPECT_EQ(Record(kUnknownId).m_DataSize, 0) << "a negative size stores nothing";
    CThreadManager::SetState(kUnknownId + 1, "nobody", "data", 4);
    EXPECT_EQ(Record(kUnknownId + 1).m_Name[0], '\0') << "SetState registers nobody";

    CThreadManager::UnRegisterAll();
    EXPECT_EQ(CThreadManager::GetThreadsCount(), 0);
}

TEST(ThreadManager, TerminateEndsAndUnregisters) {
    std::atomic<bool> started{false};
    CWinThread* thread = Start(StuckMain, &started, "Stuck");
    ASSERT_TRUE(thread);
    const unsigned int id = thread->m_nThreadID;
    ASSERT_TRUE(zep3test::waitFor([&] { return started.load(); }));
    DWORD code = 0;
    EXPECT_TRUE(CThreadManager::IsThreadAlive(id, &code) == THREAD_STATE_STILL_ALIVE && code == STILL_ACTIVE);
    EXPECT_TRUE(CThreadManager::TerminateThread(id, 55));
    EXPECT_EQ(Record(id).m_Name[0], '\0');
    EXPECT_TRUE(CThreadManager::IsThreadAlive(id, &code) == THREAD_STATE_DEAD && code == 55);
    delete thread;
}

TEST(ThreadManager, SuspendAllSkipsTheCaller) {
    const unsigned int self = GetCurrentThreadId();
    CThreadManager::Register(self, "Tester", nullptr);
    CThreadManager::Register(kUnknownId, "Ghost", nullptr); // cannot be suspended
    Worker a, b;
    CWinThread* ta = Start(WorkerMain, &a, "SpinA");
    CWinThread* tb = Start(WorkerMain, &b, "SpinB");
    ASSERT_TRUE(ta && tb);
    ASSERT_TRUE(zep3test::waitFor([&] { return a.count > 0 && b.count > 0; }));

    CThreadManager::SuspendAllThreads(); // returns: the caller kept running
    EXPECT_TRUE(Record(ta->m_nThreadID).m_SuspendCount == 0 && Record(kUnknownId).m_SuspendCount == -1);
    ucontext_t context;
    EXPECT_TRUE(zep3::detail::GetSuspendedThreadContext(tb->m_hThread, &context)) << "parked, registers saved";
    const long frozenA = a.count, frozenB = b.count;
    Sleep(20);
    EXPECT_TRUE(a.count == frozenA && b.count == frozenB);

    CThreadManager::ResumeAllThreads();
    EXPECT_TRUE(zep3test::waitFor([&] { return a.count > frozenA && b.count > frozenB; }));
    EXPECT_EQ(Record(ta->m_nThreadID).m_SuspendCount, -1);
    a.stop = b.stop = true;
    HANDLE both[2] = {ta->m_hThread, tb->m_hThread};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 5000), WAIT_OBJECT_0);
    delete ta;
    delete tb;
    CThreadManager::UnRegisterAll();
}

TEST(CrashHandler, InstallsAndRestoresTheSignalActions) {
    struct sigaction before, during, after;
    sigaction(SIGSEGV, nullptr, &before);
    {
        CCrashHandler handler;
        CCrashHandler second; // finds it installed
        sigaction(SIGSEGV, nullptr, &during);
        EXPECT_NE(reinterpret_cast<void*>(during.sa_sigaction), reinterpret_cast<void*>(before.sa_sigaction));
        stack_t alt;
        EXPECT_TRUE(sigaltstack(nullptr, &alt) == 0 && !(alt.ss_flags & SS_DISABLE)) << "an alternate stack";
        char exe[4096] = {};
        ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
        EXPECT_EQ(std::string(CCrashHandler::m_LogFileName), std::string(exe) + ".RPT") << "no dot: appended";
    }
    EXPECT_FALSE(CCrashHandler::m_Installed);
    sigaction(SIGSEGV, nullptr, &after);
    EXPECT_EQ(reinterpret_cast<void*>(after.sa_sigaction), reinterpret_cast<void*>(before.sa_sigaction));
}

TEST(CrashHandler, DumpsAndModulesOutsideAReport) {
    // Outside a report the text goes only to the last-report buffer.
    const size_t mark = std::strlen(CCrashHandler::m_LastBuffer);
    CCrashHandler::DumpMemory32(nullptr, 0);
    unsigned int words[9] = {0x11111111, 2, 3, 4, 5, 6, 7, 8, 0xDEADBEEF};
    CCrashHandler::DumpMemory32(words, 9);
    char expected[256];
    std::snprintf(expected, sizeof expected,
                  "\r%%0A\r%%0A%08lX: 11111111 00000002 00000003 00000004 00000005 00000006 00000007 00000008 "
                  "\r%%0A%08lX: DEADBEEF \r%%0A",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(words)),
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(words + 8)));
    EXPECT_EQ(std::string(CCrashHandler::m_LastBuffer + mark), expected);

    char module[4096];
    DWORD section, offset;
    DWORD_PTR base;
    void* code = reinterpret_cast<void*>(&CThreadManager::Register);
    ASSERT_EQ(CCrashHandler::GetLogicalAddress(code, module, sizeof module, section, offset, base), 1);
    EXPECT_NE(std::strstr(module, "/libzep3.so"), nullptr) << module;
    EXPECT_EQ(std::memcmp(reinterpret_cast<void*>(base), "\177ELF", 4), 0) << "the base holds the ELF header";
    int local = 0;
    EXPECT_EQ(CCrashHandler::GetLogicalAddress(&local, module, sizeof module, section, offset, base), 0);
    EXPECT_TRUE(section + offset + base == 0 && module[0] == '\0');
    EXPECT_EQ(CCrashHandler::GetLogicalAddress(code, nullptr, 10, section, offset, base), 0);
}
