#pragma once
/// @class CWinThread
/// A thread of the application, either a worker running one
/// function or a thread object with its own message loop.
///
/// A worker thread runs m_pfnThreadProc(m_pThreadParams); its return value is
/// the exit code. A thread object (a class derived from CWinThread) runs
/// InitInstance and then Run, the message loop, until WM_QUIT; its exit code
/// is what ExitInstance returns (the WM_QUIT code by default). Either way the
/// object deletes itself when the thread ends if m_bAutoDelete is set (the
/// default); with it cleared the object outlives the thread and the creator
/// deletes it (which closes m_hThread).
///
/// A thread is created held at a start gate: CreateThread fills m_hThread and
/// m_nThreadID before the thread runs past the gate, without waiting for it to
/// run at all, and CREATE_SUSPENDED keeps it there until ResumeThread. The
/// thread's first step, before the gate, makes its message queue: the member
/// PostThreadMessage waits for that when needed, so it works at once; the
/// global PostThreadMessage by id fails until then, as on Windows before a
/// thread has asked for its queue. Thread messages (hwnd null) reach
/// DispatchThreadMessageEx, the stand-in for the framework's thread message
/// map.
///
/// AfxBeginThread's class form takes the class as a template argument, or a
/// factory function, in place of the framework's RUNTIME_CLASS:
///     AfxBeginThread<CMyThread>(THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
#include <zep3/platform/Messages.h>
#include <zep3/platform/Thread.h>

class CWnd;

typedef UINT (*AFX_THREADPROC)(LPVOID);

class ZEP3_API CWinThread {
public:
    /// For classes derived from CWinThread (thread objects).
    CWinThread();
    /// A worker thread that will run func(param).
    CWinThread(AFX_THREADPROC func, LPVOID param);
    /// Closes m_hThread. Deleting the object of a running thread is the
    /// caller's error, as with the framework.
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    /// Starts the thread (see above). FALSE when it was started already or
    /// the system cannot create it. stackSize 0 takes the default.
    BOOL CreateThread(DWORD createFlags = 0, UINT stackSize = 0, LPSECURITY_ATTRIBUTES attributes = nullptr);
    ///@{
    /// Suspends or resumes the thread (see the free functions); returns the
    /// previous suspend count, (DWORD)-1 on failure.
    DWORD SuspendThread();
    DWORD ResumeThread();
    ///@}
    ///@{
    /// The THREAD_PRIORITY_* level of the thread.
    int GetThreadPriority();
    BOOL SetThreadPriority(int priority);
    ///@}
    /// Posts a thread message to this thread's queue, waiting for a thread
    /// just created to make it; FALSE before CreateThread or after the thread
    /// has ended.
    BOOL PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam);
    /// m_hThread.
    operator HANDLE() const { return m_hThread; }

    /// The overridables of a thread object; they run on the thread itself.
    /// FALSE ends the thread at once (exit code from ExitInstance).
    virtual BOOL InitInstance();
    /// The message loop: idle processing while the queue is empty, then
    /// PumpMessage until WM_QUIT; returns ExitInstance().
    virtual int Run();
    /// Called as the thread ends; returns its exit code (WM_QUIT's, after Run).
    virtual int ExitInstance();
    /// One GetMessage / PreTranslateMessage / DispatchMessage round; FALSE on WM_QUIT.
    virtual BOOL PumpMessage();
    /// Called while the queue is empty with a growing count; TRUE asks for more calls.
    virtual BOOL OnIdle(LONG count);
    /// Thread messages go to DispatchThreadMessageEx; window messages to the
    /// PreTranslateMessage of the target window and its parents. TRUE: handled.
    virtual BOOL PreTranslateMessage(MSG* msg);
    /// Handles a thread message; FALSE (the default) leaves it unhandled.
    virtual BOOL DispatchThreadMessageEx(MSG* msg);
    /// m_pMainWnd.
    virtual CWnd* GetMainWnd();
    /// Called when the thread ends: deletes the object when m_bAutoDelete is set.
    virtual void Delete();

    HANDLE m_hThread;
    DWORD m_nThreadID;
    BOOL m_bAutoDelete;
    CWnd* m_pMainWnd;
    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;

protected:
    MSG m_msgCur; // the message being handled; ExitInstance reads WM_QUIT's code
};

/// @relates CWinThread Creates a worker thread running func(param), auto-deleting, with the given
/// priority; resumed unless CREATE_SUSPENDED. Null on failure.
ZEP3_API CWinThread* AfxBeginThread(AFX_THREADPROC func, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                                   UINT stackSize = 0, DWORD createFlags = 0,
                                   LPSECURITY_ATTRIBUTES attributes = nullptr);
/// @relates CWinThread Creates the thread object made by `factory` and starts it the same way.
ZEP3_API CWinThread* AfxBeginThread(CWinThread* (*factory)(), int priority = THREAD_PRIORITY_NORMAL,
                                   UINT stackSize = 0, DWORD createFlags = 0,
                                   LPSECURITY_ATTRIBUTES attributes = nullptr);
template <class T>
T* AfxBeginThread(int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0, DWORD createFlags = 0,
                  LPSECURITY_ATTRIBUTES attributes = nullptr) {
    return static_cast<T*>(AfxBeginThread([]() -> CWinThread* { return new T; }, priority, stackSize, createFlags,
                                          attributes));
}

/// @relates CWinThread The CWinThread object of the calling thread; null for threads not started
/// through CWinThread.
ZEP3_API CWinThread* AfxGetThread();
