#include <zep3/foundation/CrashHandler.h>
#include <zep3/foundation/ThreadManager.h>
#include <zep3/foundation/detail/CrashSupport.h>
#include <zep3/platform/Clock.h>
#include <zep3/platform/detail/Posix.h>
#include <zep3/platform/detail/ThreadContext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace zep3::detail;

CMap<unsigned int, unsigned int, SThreadInfo*, SThreadInfo*>& CThreadManager::m_ThreadInfoMap =
    *new CMap<unsigned int, unsigned int, SThreadInfo*, SThreadInfo*>;
CCriticalSection& CThreadManager::m_CriticalSection = *new CCriticalSection;
char CThreadManager::m_AppName[128];
CThreadManager::CThreadChecker CThreadManager::m_ThreadChecker;

namespace {

// While a crash report is written, its operations wait no longer than this
// for the registry lock; otherwise they wait as long as it takes.
DWORD ReportLockTimeout() { return CCrashHandler::CanPrintToFile() ? 2000 : INFINITE; }

class RegistryLock {
public:
    explicit RegistryLock(DWORD timeout = INFINITE) : m_held(CThreadManager::m_CriticalSection.Lock(timeout)) {}
    ~RegistryLock() {
        if (m_held) CThreadManager::m_CriticalSection.Unlock();
    }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;
    bool Held() const { return m_held; }

private:
    bool m_held;
};

SThreadInfo* Find(unsigned int id) {
    SThreadInfo* info = nullptr;
    return CThreadManager::m_ThreadInfoMap.Lookup(id, info) ? info : nullptr;
}

void Release(SThreadInfo* info) {
    if (info->m_hThread) CloseHandle(info->m_hThread);
    delete info;
}

// Calls visit(id, info) for every record; the caller holds the lock.
template <class Visit> void ForEachThread(Visit visit) {
    POSITION pos = CThreadManager::m_ThreadInfoMap.GetStartPosition();
    while (pos) {
        unsigned int id = 0;
        SThreadInfo* info = nullptr;
        CThreadManager::m_ThreadInfoMap.GetNextAssoc(pos, id, info);
        visit(id, info);
    }
}

// The state data of a record: the bytes in hex, then as characters, 32 to a row.
void DumpData(const SThreadInfo& info) {
    CCrashHandler::PrintToFile("Data size: %i", info.m_DataSize);
    for (int asText = 0; asText < 2; ++asText) {
        for (int row = 0; row < info.m_DataSize; row += 32) {
            char line[256];
            int n = std::snprintf(line, sizeof line, "\r\n%04X: ", row);
            for (int i = row; i < std::min(row + 32, info.m_DataSize); ++i) {
                BYTE b = info.m_Data[i];
                if (asText) n += std::snprintf(line + n, sizeof line - n, " %c", b >= 0x20 && b < 0x7F ? b : '.');
                else n += std::snprintf(line + n, sizeof line - n, "%02X", b);
                if ((i + 1) % 4 == 0) line[n++] = ' ';
                line[n] = '\0';
            }
            CCrashHandler::PrintToFile("%s", line);
        }
    }
    CCrashHandler::PrintToFile("\r\n");
}

// A parked thread's registers, read while the report holds the registry lock.
ucontext_t s_parkedContext;
CONTEXT s_parkedRegisters;

} // namespace

void CThreadManager::Register(unsigned int id, const char* name, const char* appName) {
    // The system calls first, outside the lock that every thread start and
    // end takes.
    SetThreadSystemName(name, id);
    HANDLE handle = OpenThread(THREAD_ALL_ACCESS, FALSE, id);
    if (id == GetCurrentThreadId()) EnsureAltSignalStack(); // the platform keeps the id: no system call
    RegistryLock lock;
    if (appName) SetAppName(appName);
    SThreadInfo* info = new SThreadInfo();
    info->m_SuspendCount = -1;
    CopyText(info->m_Name, sizeof info->m_Name, m_AppName);
    size_t used = std::strlen(info->m_Name);
    if (used + 1 < sizeof info->m_Name) info->m_Name[used++] = ':';
    CopyText(info->m_Name + used, sizeof info->m_Name - used, name);
    info->m_hThread = handle;
    if (SThreadInfo* old = Find(id)) Release(old);
    m_ThreadInfoMap[id] = info;
}

void CThreadManager::UnRegister(unsigned int id) {
    RegistryLock lock;
    if (SThreadInfo* info = Find(id)) {
        m_ThreadInfoMap.RemoveKey(id);
        Release(info);
    }
}

void CThreadManager::UnRegisterAll() {
    RegistryLock lock;
    while (m_ThreadInfoMap.GetCount() > 0) {
        POSITION pos = m_ThreadInfoMap.GetStartPosition();
        unsigned int id = 0;
        SThreadInfo* info = nullptr;
        m_ThreadInfoMap.GetNextAssoc(pos, id, info);
        UnRegister(id);
    }
}

void CThreadManager::SetAppName(const char* name) {
    RegistryLock lock;
    CopyText(m_AppName, sizeof m_AppName, name);
}

void CThreadManager::SetThreadSystemName(const char* name, unsigned int id) {
    char comm[16];
    CopyText(comm, sizeof comm, name);
    if (id == 0 || id == static_cast<unsigned int>(-1) || id == GetCurrentThreadId()) {
        prctl(PR_SET_NAME, comm, 0, 0, 0);
        return;
    }
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%u/comm", id);
    UniqueFd fd(open(path, O_WRONLY | O_CLOEXEC));
    // A name that cannot be set changes nothing else.
    if (fd.IsOpen()) WriteAll(fd.Get(), comm, std::strlen(comm));
}

void CThreadManager::SetState(unsigned int id, const char* state, const void* data, int size) {
    RegistryLock lock;
    SThreadInfo* info = Find(id);
    if (!info) return;
    CopyText(info->m_State, sizeof info->m_State, state);
    int count = data ? std::clamp(size, 0, static_cast<int>(sizeof info->m_Data)) : 0;
    if (count) std::memcpy(info->m_Data, data, static_cast<size_t>(count));
    info->m_DataSize = count;
}

CWinThread* CThreadManager::CreateThread(UINT (*func)(void*), void* param, int priority, UINT stackSize,
                                         DWORD flags, const char* name) {
    if (!func) return nullptr;
    SThreadStartInfo* start = new SThreadStartInfo();
    CWinThread* thread = AfxBeginThread(ThreadFunc, start, priority, stackSize, CREATE_SUSPENDED);
    if (!thread) {
        delete start;
        return nullptr;
    }
    start->m_ThreadID = thread->m_nThreadID;
    start->m_pParam = param;
    start->m_pFunc = func;
    CopyText(start->m_Name, sizeof start->m_Name, name);
    Register(start->m_ThreadID, name, nullptr);
    if (!(flags & CREATE_SUSPENDED)) thread->ResumeThread();
    return thread;
}

CWinThread* CThreadManager::CreateThread(UINT (*func)(void*), void* param, const char* name) {
    return CreateThread(func, param, THREAD_PRIORITY_NORMAL, 0, 0, name);
}

UINT CThreadManager::ThreadFunc(void* param) {
    SThreadStartInfo start = *static_cast<SThreadStartInfo*>(param);
    delete static_cast<SThreadStartInfo*>(param);
    EnsureAltSignalStack();
    UINT result = start.m_pFunc(start.m_pParam);
    UnRegister(start.m_ThreadID);
    return result;
}

bool CThreadManager::TerminateThread(unsigned int id, DWORD exitCode) {
    // A registered thread stays openable by id while its record holds a handle.
    HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, id);
    if (!thread) return false;
    bool ended = ::TerminateThread(thread, exitCode) != FALSE;
    CloseHandle(thread);
    if (ended) UnRegister(id);
    return ended;
}

EThreadState CThreadManager::IsThreadAlive(unsigned int id, DWORD* exitCode) {
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
    if (!thread) return THREAD_STATE_UNKNOWN;
    DWORD code = 0;
    BOOL ok = GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    if (!ok) return THREAD_STATE_UNKNOWN;
    if (exitCode) *exitCode = code;
    return code == STILL_ACTIVE ? THREAD_STATE_STILL_ALIVE : THREAD_STATE_DEAD;
}

const char* CThreadManager::GetThreadStateText(EThreadState state) {
    switch (state) {
    case THREAD_STATE_STILL_ALIVE: return "STILL_ALIVE";
    case THREAD_STATE_DEAD: return "DEAD (thread finished, but not unregistered/object not freed)";
    default: return "UNKNOWN";
    }
}

int CThreadManager::GetThreadsCount() {
    RegistryLock lock;
    return static_cast<int>(m_ThreadInfoMap.GetCount());
}

void CThreadManager::SuspendAllThreads() {
    RegistryLock lock(ReportLockTimeout());
    if (!lock.Held()) return;
    const unsigned int self = RawThreadId();
    ForEachThread([self](unsigned int id, SThreadInfo* info) {
        if (id == self || info->m_SuspendCount != -1) return; // not twice
        DWORD count = info->m_hThread ? SuspendThread(info->m_hThread) : DWORD(-1);
        info->m_SuspendCount = static_cast<int>(count);
    });
}

void CThreadManager::ResumeAllThreads() {
    RegistryLock lock(ReportLockTimeout());
    if (!lock.Held()) return;
    const unsigned int self = RawThreadId();
    ForEachThread([self](unsigned int id, SThreadInfo* info) {
        if (id == self || info->m_SuspendCount == -1) return;
        ResumeThread(info->m_hThread);
        info->m_SuspendCount = -1; // resumed once only
    });
}

void CThreadManager::DumpThreadInfo(unsigned int id) {
    if (!CCrashHandler::CanPrintToFile()) return;
    RegistryLock lock(ReportLockTimeout());
    SThreadInfo* info = lock.Held() ? Find(id) : nullptr;
    if (!info) return;
    const bool current = id == RawThreadId();
    int priority = info->m_hThread ? GetThreadPriority(info->m_hThread) : -1234;
    if (priority == THREAD_PRIORITY_ERROR_RETURN) priority = -1234;
    CCrashHandler::PrintToFile("%c ID: 0x%X  S: %-2i  P: %-2i  [%s]  %s\r\n", current ? '*' : ' ', id,
                               current ? 0 : info->m_SuspendCount, priority, info->m_Name, info->m_State);
    if (info->m_DataSize > 0) DumpData(*info);
}

void CThreadManager::DumpCurrentThreadInfo() {
    if (!CCrashHandler::CanPrintToFile()) return;
    CCrashHandler::PrintToFile("\r\nCurrent Thread:\r\n");
    const unsigned int self = RawThreadId();
    RegistryLock lock(ReportLockTimeout());
    if (lock.Held() && Find(self)) DumpThreadInfo(self);
    else CCrashHandler::PrintToFile("Current thread not found! ID: 0x%X\r\n", self);
}

void CThreadManager::DumpOtherThreads() {
    if (!CCrashHandler::CanPrintToFile()) return;
    RegistryLock lock(ReportLockTimeout());
    if (!lock.Held()) return;
    CCrashHandler::PrintToFile("\r\nOther threads: (%i)\r\n", static_cast<int>(m_ThreadInfoMap.GetCount()) - 1);
    const unsigned int self = RawThreadId();
    ForEachThread([self](unsigned int id, SThreadInfo* info) {
        if (id == self) return;
        DumpThreadInfo(id);
        if (info->m_hThread && GetSuspendedThreadContext(info->m_hThread, &s_parkedContext)) {
            ContextFromUcontext(s_parkedContext, s_parkedRegisters);
            CCrashHandler::IntelStackWalk(&s_parkedRegisters);
        }
    });
    CCrashHandler::PrintToFile("OK.\r\n");
}

void CThreadManager::CheckRunningThreads() {
    for (int i = 0; i < 500 && GetThreadsCount() > 0; ++i) Sleep(1);
    RegistryLock lock;
    ForEachThread([](unsigned int id, SThreadInfo*) { IsThreadAlive(id, nullptr); });
}

CThreadManager::CThreadChecker::~CThreadChecker() { CheckRunningThreads(); }
