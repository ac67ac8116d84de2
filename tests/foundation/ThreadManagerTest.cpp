// The thread registry in-process, and the crash handler's parts that work
// outside a report: installation, report name, memory dumps and module lookup.
#include <zep3/zep3.h>
#include <zep3/platform/detail/ThreadContext.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <csignal>
#include <cstring>
#include <link.h>
#include <memory>
#include <sys/prctl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

bool WaitFor(const std::function<bool()>& cond, int ms = 5000) {
    for (int i = 0; i < ms && !cond(); ++i) Sleep(1);
    return cond();
}

SThreadInfo Record(unsigned int id) {
    CSingleLock lock(&CThreadManager::m_CriticalSection, true);
    SThreadInfo* info = nullptr;
    SThreadInfo copy = {};
    if (CThreadManager::m_ThreadInfoMap.Lookup(id, info)) copy = *info;
    return copy;
}

bool IsRegistered(unsigned int id) {
    CSingleLock lock(&CThreadManager::m_CriticalSection, true);
    SThreadInfo* info = nullptr;
    return CThreadManager::m_ThreadInfoMap.Lookup(id, info);
}

// A worker that notes whether it found itself registered, then waits for `release`.
struct Probe {
    std::atomic<bool> sawItself{false};
    std::atomic<bool> started{false};
    HANDLE release = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    ~Probe() { CloseHandle(release); }
};

UINT ProbeMain(void* param) {
    Probe* probe = static_cast<Probe*>(param);
    probe->sawItself = IsRegistered(GetCurrentThreadId());
    probe->started = true;
    WaitForSingleObject(probe->release, 10000);
    return 7;
}

// Counts as fast as it can until told to stop.
struct Spinner {
    std::atomic<long> count{0};
    std::atomic<bool> stop{false};
};

UINT SpinMain(void* param) {
    Spinner* s = static_cast<Spinner*>(param);
    while (!s->stop) ++s->count;
    return 0;
}

// Starts a worker through the registry with auto-delete off.
CWinThread* Start(UINT (*func)(void*), void* param, const char* name) {
    CWinThread* thread = CThreadManager::CreateThread(func, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, name);
    if (thread) {
        thread->m_bAutoDelete = FALSE;
        thread->ResumeThread();
    }
    return thread;
}

const unsigned int kUnknownId = 0x7FFFFF01; // no such thread

} // namespace

TEST(ThreadManager, CreateThreadRegistersForExactlyTheFunctionsRun) {
    const int before = CThreadManager::GetThreadsCount();
    Probe probe;
    CWinThread* thread =
        CThreadManager::CreateThread(ProbeMain, &probe, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, "Probe");
    ASSERT_TRUE(thread);
    thread->m_bAutoDelete = FALSE;
    const unsigned int id = thread->m_nThreadID;
    EXPECT_EQ(CThreadManager::GetThreadsCount(), before + 1) << "registered while still suspended";
    EXPECT_STREQ(Record(id).m_Name, ":Probe") << "an empty application name leaves the colon";
    EXPECT_EQ(Record(id).m_DataSize, 0);
    EXPECT_EQ(CThreadManager::IsThreadAlive(id, nullptr), THREAD_STATE_STILL_ALIVE);

    thread->ResumeThread();
    ASSERT_TRUE(WaitFor([&] { return probe.started.load(); }));
    EXPECT_TRUE(probe.sawItself) << "the record exists before the function's first instruction";
    SetEvent(probe.release);
    ASSERT_EQ(WaitForSingleObject(thread->m_hThread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(CThreadManager::GetThreadsCount(), before) << "unregistered when the function returned";
    DWORD code = 0;
    EXPECT_EQ(CThreadManager::IsThreadAlive(id, &code), THREAD_STATE_DEAD) << "the object still holds a handle";
    EXPECT_EQ(code, 7u);
    delete thread;
    EXPECT_EQ(CThreadManager::IsThreadAlive(id, &code), THREAD_STATE_UNKNOWN) << "gone once nothing holds it";
}

TEST(ThreadManager, RegisterReplacesAndNamesTheThread) {
    const int before = CThreadManager::GetThreadsCount();
    CThreadManager::Register(kUnknownId, "First", "App");
    CThreadManager::SetState(kUnknownId, "old", "xyz", 3);
    CThreadManager::Register(kUnknownId, "Second", nullptr);
    EXPECT_EQ(CThreadManager::GetThreadsCount(), before + 1);
    SThreadInfo info = Record(kUnknownId);
    EXPECT_STREQ(info.m_Name, "App:Second") << "the application name stays until given again";
    EXPECT_STREQ(info.m_State, "") << "a replaced record starts empty";
    EXPECT_EQ(info.m_DataSize, 0);
    EXPECT_EQ(info.m_hThread, nullptr) << "an id the platform does not know cannot be opened";
    EXPECT_EQ(CThreadManager::IsThreadAlive(kUnknownId, nullptr), THREAD_STATE_UNKNOWN);
    EXPECT_FALSE(CThreadManager::TerminateThread(kUnknownId, 1));
    EXPECT_TRUE(IsRegistered(kUnknownId)) << "a failed termination leaves the record";

    std::string longName(300, 'n');
    CThreadManager::SetAppName(longName.c_str());
    CThreadManager::Register(kUnknownId, "T", nullptr);
    EXPECT_EQ(std::strlen(Record(kUnknownId).m_Name), 127u);
    CThreadManager::SetAppName("");

    CThreadManager::UnRegister(kUnknownId);
    CThreadManager::UnRegister(kUnknownId); // absent: nothing
    EXPECT_EQ(CThreadManager::GetThreadsCount(), before);

    // The calling thread's system name, as ps and debuggers show it (15 characters).
    char original[16] = {};
    prctl(PR_GET_NAME, original);
    CThreadManager::SetThreadSystemName("CameraCaptureThread", GetCurrentThreadId());
    std::string comm = zep3test::readFile("/proc/self/task/" + std::to_string(GetCurrentThreadId()) + "/comm");
    EXPECT_EQ(comm, "CameraCaptureTh\n");
    CThreadManager::SetThreadSystemName(original, GetCurrentThreadId());
}

TEST(ThreadManager, SetStateKeepsAtMost1024Bytes) {
    const unsigned int id = kUnknownId + 1;
    CThreadManager::Register(id, "Data", nullptr);
    unsigned char big[2000];
    for (int i = 0; i < 2000; ++i) big[i] = static_cast<unsigned char>(i * 7);
    CThreadManager::SetState(id, "full", big, 2000);
    SThreadInfo info = Record(id);
    EXPECT_EQ(info.m_DataSize, 1024);
    EXPECT_EQ(std::memcmp(info.m_Data, big, 1024), 0);
    EXPECT_STREQ(info.m_State, "full");

    CThreadManager::SetState(id, nullptr, big, -5);
    EXPECT_EQ(Record(id).m_DataSize, 0) << "a negative size stores nothing";
    EXPECT_STREQ(Record(id).m_State, "");
    CThreadManager::SetState(id, std::string(200, 's').c_str(), nullptr, 10);
    EXPECT_EQ(Record(id).m_DataSize, 0) << "no data to copy";
    EXPECT_EQ(std::strlen(Record(id).m_State), 127u);
    CThreadManager::SetState(id + 1, "nobody", big, 10); // not registered: nothing
    EXPECT_FALSE(IsRegistered(id + 1));
    CThreadManager::UnRegister(id);
}

TEST(ThreadManager, TerminateEndsAndUnregisters) {
    Probe probe; // never released: the worker blocks until terminated
    CWinThread* thread = Start(ProbeMain, &probe, "Stuck");
    ASSERT_TRUE(thread);
    const unsigned int id = thread->m_nThreadID;
    ASSERT_TRUE(WaitFor([&] { return probe.started.load(); }));
    DWORD code = 0;
    EXPECT_EQ(CThreadManager::IsThreadAlive(id, &code), THREAD_STATE_STILL_ALIVE);
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_TRUE(CThreadManager::TerminateThread(id, 55));
    EXPECT_FALSE(IsRegistered(id));
    EXPECT_EQ(CThreadManager::IsThreadAlive(id, &code), THREAD_STATE_DEAD);
    EXPECT_EQ(code, 55u);
    EXPECT_STREQ(CThreadManager::GetThreadStateText(THREAD_STATE_DEAD),
                 "DEAD (thread finished, but not unregistered/object not freed)");
    delete thread;
}

TEST(ThreadManager, SuspendAllSkipsTheCaller) {
    const unsigned int self = GetCurrentThreadId();
    CThreadManager::Register(self, "Tester", nullptr);
    CThreadManager::Register(kUnknownId, "Ghost", nullptr); // cannot be suspended
    Spinner a, b;
    CWinThread* ta = Start(SpinMain, &a, "SpinA");
    CWinThread* tb = Start(SpinMain, &b, "SpinB");
    ASSERT_TRUE(ta && tb);
    ASSERT_TRUE(WaitFor([&] { return a.count > 0 && b.count > 0; }));

    CThreadManager::SuspendAllThreads(); // returns: the caller was left running
    EXPECT_EQ(Record(ta->m_nThreadID).m_SuspendCount, 0);
    EXPECT_EQ(Record(tb->m_nThreadID).m_SuspendCount, 0);
    EXPECT_EQ(Record(kUnknownId).m_SuspendCount, -1);
    ucontext_t context;
    EXPECT_TRUE(zep3detail::GetSuspendedThreadContext(ta->m_hThread, &context)) << "parked with its registers saved";
    const long frozenA = a.count, frozenB = b.count;
    Sleep(20);
    EXPECT_EQ(a.count, frozenA);
    EXPECT_EQ(b.count, frozenB);

    CThreadManager::ResumeAllThreads();
    EXPECT_TRUE(WaitFor([&] { return a.count > frozenA && b.count > frozenB; })) << "running again";
    a.stop = b.stop = true;
    EXPECT_EQ(WaitForSingleObject(ta->m_hThread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(tb->m_hThread, 5000), WAIT_OBJECT_0);
    delete ta;
    delete tb;
    CThreadManager::UnRegister(kUnknownId);
    CThreadManager::UnRegister(self);
}

TEST(ThreadManager, UnRegisterAllAndCheckRunningThreads) {
    for (unsigned int i = 0; i < 40; ++i) CThreadManager::Register(kUnknownId + 10 + i, "Many", nullptr);
    EXPECT_GE(CThreadManager::GetThreadsCount(), 40);
    CThreadManager::UnRegisterAll();
    EXPECT_EQ(CThreadManager::GetThreadsCount(), 0);
    CThreadManager::CheckRunningThreads(); // nothing registered: returns at once
}

TEST(CrashHandler, InstallsAndRestoresTheSignalActions) {
    struct sigaction before[2], during, after;
    sigaction(SIGSEGV, nullptr, &before[0]);
    sigaction(SIGFPE, nullptr, &before[1]);
    {
        CCrashHandler handler;
        EXPECT_TRUE(CCrashHandler::m_Installed);
        CCrashHandler second; // finds it installed
        sigaction(SIGSEGV, nullptr, &during);
        EXPECT_EQ(during.sa_flags & (SA_SIGINFO | SA_ONSTACK), SA_SIGINFO | SA_ONSTACK);
        EXPECT_NE(reinterpret_cast<void*>(during.sa_sigaction), reinterpret_cast<void*>(before[0].sa_sigaction));
        stack_t alt;
        ASSERT_EQ(sigaltstack(nullptr, &alt), 0);
        EXPECT_FALSE(alt.ss_flags & SS_DISABLE) << "the installing thread has an alternate stack";

        // The executable's name has no dot: ".RPT" is appended.
        char exe[4096] = {};
        ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
        EXPECT_EQ(std::string(CCrashHandler::m_LogFileName), std::string(exe) + ".RPT");
        EXPECT_FALSE(CCrashHandler::CanPrintToFile());
    }
    EXPECT_FALSE(CCrashHandler::m_Installed);
    sigaction(SIGSEGV, nullptr, &after);
    EXPECT_EQ(reinterpret_cast<void*>(after.sa_sigaction), reinterpret_cast<void*>(before[0].sa_sigaction));
    sigaction(SIGFPE, nullptr, &after);
    EXPECT_EQ(reinterpret_cast<void*>(after.sa_sigaction), reinterpret_cast<void*>(before[1].sa_sigaction));

    CCrashHandler::SetVersion("9.9", nullptr);
    CCrashHandler::SetVersion(nullptr, std::string(400, 'b').c_str());
    EXPECT_STREQ(CCrashHandler::m_AppVersion, "9.9");
    EXPECT_EQ(std::strlen(CCrashHandler::m_AppBuild), 259u);
}

TEST(CrashHandler, DumpMemoryRowsAndUnreadableWords) {
    // Outside a report the text only goes to the last-report buffer.
    const size_t start = std::strlen(CCrashHandler::m_LastBuffer);
    auto printed = [start] { return std::string(CCrashHandler::m_LastBuffer + start); };

    CCrashHandler::DumpMemory32(nullptr, 0);
    EXPECT_EQ(printed(), "\r%0A") << "count 0 prints a line end; the copy keeps line feeds as %0A";

    unsigned int words[9] = {0x11111111, 2, 3, 4, 5, 6, 7, 8, 0xDEADBEEF};
    const size_t mark = std::strlen(CCrashHandler::m_LastBuffer);
    CCrashHandler::DumpMemory32(words, 9);
    char expected[256];
    std::snprintf(expected, sizeof expected,
                  "\r%%0A%08lX: 11111111 00000002 00000003 00000004 00000005 00000006 00000007 00000008 "
                  "\r%%0A%08lX: DEADBEEF \r%%0A",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(words)),
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(words + 8)));
    EXPECT_EQ(std::string(CCrashHandler::m_LastBuffer + mark), expected);

    // A page that cannot be read, right after one that can.
    long page = sysconf(_SC_PAGESIZE);
    char* two = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(two, MAP_FAILED);
    std::memset(two, 0xAB, page);
    mprotect(two + page, page, PROT_NONE);
    const size_t mark2 = std::strlen(CCrashHandler::m_LastBuffer);
    CCrashHandler::DumpMemory32(reinterpret_cast<unsigned int*>(two + page - 8), 4);
    std::string row = CCrashHandler::m_LastBuffer + mark2;
    EXPECT_NE(row.find(": ABABABAB ABABABAB -------- -------- \r%0A"), std::string::npos) << row;
    munmap(two, 2 * page);

    EXPECT_EQ(CCrashHandler::PrintToFile("%s", std::string(3000, 'x').c_str()), 1024) << "at most 1024 characters";
}

namespace {

struct SegmentQuery {
    uintptr_t address;
    std::string path;
    uintptr_t base = 0;
    unsigned section = 0, offset = 0;
};

// The loader's own view, as an independent peer.
int FindSegment(dl_phdr_info* info, size_t, void* data) {
    SegmentQuery* q = static_cast<SegmentQuery*>(data);
    unsigned index = 0;
    uintptr_t lowest = UINTPTR_MAX;
    for (int i = 0; i < info->dlpi_phnum; ++i)
        if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_vaddr < lowest)
            lowest = info->dlpi_phdr[i].p_vaddr;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD) continue;
        ++index;
        uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        if (q->address >= start && q->address < start + ph.p_memsz) {
            q->base = info->dlpi_addr + (lowest & ~uintptr_t(0xFFF));
            q->section = index;
            q->offset = static_cast<unsigned>(q->address - start);
            return 1;
        }
    }
    return 0;
}

} // namespace

TEST(CrashHandler, LogicalAddressAgreesWithTheLoader) {
    char module[4096];
    DWORD section = 99, offset = 99;
    DWORD_PTR base = 99;
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);

    for (void* code : {reinterpret_cast<void*>(&FindSegment), reinterpret_cast<void*>(&CThreadManager::Register),
                       reinterpret_cast<void*>(&std::strlen)}) {
        SegmentQuery q{reinterpret_cast<uintptr_t>(code), ""};
        ASSERT_TRUE(dl_iterate_phdr(FindSegment, &q));
        ASSERT_EQ(CCrashHandler::GetLogicalAddress(code, module, sizeof module, section, offset, base), 1);
        EXPECT_EQ(base, q.base);
        EXPECT_EQ(section, q.section);
        EXPECT_EQ(offset, q.offset);
    }
    CCrashHandler::GetLogicalAddress(reinterpret_cast<void*>(&FindSegment), module, sizeof module, section, offset,
                                     base);
    EXPECT_STREQ(module, exe);
    CCrashHandler::GetLogicalAddress(reinterpret_cast<void*>(&CThreadManager::Register), module, sizeof module,
                                     section, offset, base);
    EXPECT_NE(std::strstr(module, "libzep3.so"), nullptr) << module;

    // A short buffer cuts the path; heap, stack and null lie in no module.
    EXPECT_EQ(CCrashHandler::GetLogicalAddress(reinterpret_cast<void*>(&FindSegment), module, 5, section, offset,
                                               base), 1);
    EXPECT_EQ(std::strlen(module), 4u);
    std::unique_ptr<int[]> heap(new int[64 * 1024]);
    int local = 0;
    for (void* data : {static_cast<void*>(heap.get()), static_cast<void*>(&local), static_cast<void*>(nullptr)}) {
        EXPECT_EQ(CCrashHandler::GetLogicalAddress(data, module, sizeof module, section, offset, base), 0);
        EXPECT_EQ(section, 0u);
        EXPECT_EQ(base, 0u);
        EXPECT_STREQ(module, "");
    }
    EXPECT_EQ(CCrashHandler::GetLogicalAddress(reinterpret_cast<void*>(&FindSegment), nullptr, 10, section, offset,
                                               base), 0);
}
