#pragma once
/// @class CThreadManager
/// The process-wide registry of the worker threads that the
/// library and its applications start.
///
/// Each registered thread has a record (SThreadInfo) under its system thread
/// id (gettid, as GetCurrentThreadId returns it): its name "App:Thread", a
/// free-form state text and up to 1024 bytes of state data. The crash report
/// lists every record, suspends the registered threads while it writes and
/// prints their call stacks.
///
/// Every operation holds m_CriticalSection, a re-entrant lock, for its whole
/// duration; any thread may call any of them. While a crash report is being
/// written, the report's operations (SuspendAllThreads, ResumeAllThreads and
/// the Dump functions) wait for the lock at most two seconds and do nothing
/// without it, so that a fault can never hang on it.
///
/// Registration opens a handle to the thread (kept in the record) when the
/// platform knows it: threads started through CWinThread, and any thread that
/// registers itself. A thread registered by id from elsewhere before it ever
/// used the platform cannot be suspended or queried (priority -1234 in the
/// report, no call stack).
///
/// The registry lives from library load to unload; at unload it gives the
/// threads still registered about half a second to end (CheckRunningThreads).
#include <zep3/platform/CriticalSection.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Map.h>
#include <zep3/platform/WinThread.h>

/// The state of a registered thread as IsThreadAlive finds it; GetThreadStateText
/// gives the texts the library uses for them.
enum EThreadState {
    THREAD_STATE_UNKNOWN = 0,     ///< the thread cannot be opened or queried
    THREAD_STATE_STILL_ALIVE = 1, ///< still running
    THREAD_STATE_DEAD = 2         ///< finished (but still registered)
};

/// One registered thread. Read and written under CThreadManager::m_CriticalSection.
struct SThreadInfo {
    char m_Name[128];     ///< application name, ':' and thread name; at most 127 characters
    char m_State[128];    ///< the last state text given to SetState
    BYTE m_Data[1024];    ///< the last state data given to SetState
    int m_DataSize;       ///< valid bytes of m_Data, 0 to 1024
    int m_SuspendCount;   ///< count before SuspendAllThreads suspended it; -1 while not suspended by it
    HANDLE m_hThread;     ///< the thread, opened at registration; null when it could not be opened
};

/// What CreateThread hands to the new thread's entry (ThreadFunc).
struct SThreadStartInfo {
    unsigned int m_ThreadID;
    void* m_pParam;
    UINT (*m_pFunc)(void*);
    char m_Name[128];
};

class ZEP3_API CThreadManager {
public:
    /// Stores a record named m_AppName + ":" + name under id, replacing (and
    /// releasing) an existing record of that id; appName, when not null,
    /// becomes m_AppName first. The thread also gets name as its system name
    /// (SetThreadSystemName). A thread that registers itself gets an
    /// alternate signal stack, so that the crash report sees its stack overflow.
    static void Register(unsigned int id, const char* name, const char* appName);
    /// Removes and releases the record of id; nothing when there is none.
    static void UnRegister(unsigned int id);
    /// Unregisters every thread.
    static void UnRegisterAll();
    /// Sets m_AppName (at most 127 characters; null gives an empty name).
    static void SetAppName(const char* name);
    /// Sets the thread's system name (`/proc/self/task/<id>/comm`, 15 characters,
    /// what debuggers and ps show). id -1 or 0 names the calling thread.
    /// Does nothing visible when the thread does not exist.
    static void SetThreadSystemName(const char* name, unsigned int id);
    /// Stores state (null: empty; cut to 127 characters) and size bytes of data
    /// (a size above 1024 stores 1024, a negative size or null data stores
    /// none) in the record of id; nothing when id is not registered.
    static void SetState(unsigned int id, const char* state, const void* data, int size);

    /// Starts func(param) on a new thread that is registered under name before
    /// its first instruction and unregistered when func returns; func's result
    /// is the exit code. CREATE_SUSPENDED in flags leaves it suspended (the
    /// caller resumes it). The CWinThread deletes itself when the thread ends
    /// unless the caller clears m_bAutoDelete (start it suspended to do so
    /// safely). Null when the thread cannot be created.
    static CWinThread* CreateThread(UINT (*func)(void*), void* param, int priority, UINT stackSize, DWORD flags,
                                    const char* name);
    /// The same with normal priority, the default stack size and no flags.
    static CWinThread* CreateThread(UINT (*func)(void*), void* param, const char* name);
    /// Ends the thread by force (the platform's TerminateThread: cancelled at
    /// its next blocking call) and, when that succeeded, unregisters it.
    /// False when the thread cannot be opened or does not end in time.
    static bool TerminateThread(unsigned int id, DWORD exitCode);
    /// THREAD_STATE_STILL_ALIVE while the thread runs, THREAD_STATE_DEAD once it
    /// has ended, THREAD_STATE_UNKNOWN when it cannot be opened. The exit code
    /// (STILL_ACTIVE while running) is stored through exitCode when not null.
    static EThreadState IsThreadAlive(unsigned int id, DWORD* exitCode);
    /// "UNKNOWN", "STILL_ALIVE" or "DEAD (thread finished, but not unregistered/object not freed)".
    static const char* GetThreadStateText(EThreadState state);
    /// Number of registered threads.
    static int GetThreadsCount();

    /// Suspend (and resume) every registered thread except the calling one,
    /// through the platform's suspension (each thread parks and saves its
    /// registers). Each record keeps the count its suspension returned until
    /// ResumeAllThreads resumes it; a thread suspended by neither is left alone.
    static void SuspendAllThreads();
    static void ResumeAllThreads();
    /// Report sections: the calling thread's lines, and every other thread's
    /// lines with its call stack. They print only while a crash report is open.
    static void DumpCurrentThreadInfo();
    static void DumpOtherThreads();
    /// Waits up to about 500 ms (1 ms at a time) for the registered threads to
    /// end, then takes the state of those still registered; reports nothing.
    static void CheckRunningThreads();

    /// Runs CheckRunningThreads when the library is unloaded.
    class ZEP3_API CThreadChecker {
    public:
        ~CThreadChecker();
    };

    /// The registry. The map and the lock live until the process ends, so
    /// threads still running while static objects are destroyed may use them.
    static CMap<unsigned int, unsigned int, SThreadInfo*, SThreadInfo*>& m_ThreadInfoMap;
    static CCriticalSection& m_CriticalSection;
    static char m_AppName[128];
    static CThreadChecker m_ThreadChecker;

protected:
    /// One thread's report lines; only while a crash report is open.
    static void DumpThreadInfo(unsigned int id);
    /// The entry of every thread started by CreateThread.
    static UINT ThreadFunc(void* param);
};
