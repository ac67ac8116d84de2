#include <zep3/platform/WinThread.h>
#include <zep3/platform/Wnd.h>
#include <zep3/platform/detail/ThreadObject.h>

using namespace zep3::detail;

namespace {

DWORD ThreadMain(void* param) {
    CWinThread* thread = static_cast<CWinThread*>(param);
    DWORD code;
    if (thread->m_pfnThreadProc) code = thread->m_pfnThreadProc(thread->m_pThreadParams);
    else if (!thread->InitInstance()) code = static_cast<DWORD>(thread->ExitInstance());
    else code = static_cast<DWORD>(thread->Run());
    thread->Delete();
    return code;
}

CWinThread* Begin(CWinThread* thread, int priority, UINT stackSize, DWORD createFlags,
                  LPSECURITY_ATTRIBUTES attributes) {
    if (!thread) return nullptr;
    if (!thread->CreateThread(createFlags | CREATE_SUSPENDED, stackSize, attributes)) {
        delete thread;
        return nullptr;
    }
    thread->SetThreadPriority(priority);
    if (!(createFlags & CREATE_SUSPENDED)) thread->ResumeThread();
    return thread;
}

} // namespace

CWinThread::CWinThread() : CWinThread(nullptr, nullptr) {}

CWinThread::CWinThread(AFX_THREADPROC func, LPVOID param)
    : m_hThread(nullptr), m_nThreadID(0), m_bAutoDelete(TRUE), m_pMainWnd(nullptr), m_pfnThreadProc(func),
      m_pThreadParams(param), m_msgCur() {}

CWinThread::~CWinThread() {
    if (auto t = LookupHandleAs<ThreadObject>(m_hThread)) {
        CWinThread* self = this;
        t->owner.compare_exchange_strong(self, nullptr);
    }
    ::CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD createFlags, UINT stackSize, LPSECURITY_ATTRIBUTES) {
    if (m_hThread) return FALSE;
    std::shared_ptr<ThreadObject> t = StartThread(stackSize, ThreadMain, this);
    if (!t) return FALSE;
    t->owner = this;
    m_hThread = RegisterHandle(t);
    m_nThreadID = t->tid;
    // The thread waits at its start gate until here, so it sees the members set.
    if (!(createFlags & CREATE_SUSPENDED)) ::ResumeThread(m_hThread);
    return TRUE;
}

DWORD CWinThread::SuspendThread() { return ::SuspendThread(m_hThread); }
DWORD CWinThread::ResumeThread() { return ::ResumeThread(m_hThread); }
int CWinThread::GetThreadPriority() { return ::GetThreadPriority(m_hThread); }
BOOL CWinThread::SetThreadPriority(int priority) { return ::SetThreadPriority(m_hThread, priority); }

BOOL CWinThread::PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    auto t = LookupHandleAs<ThreadObject>(m_hThread);
    if (!t) return FALSE;
    AwaitThreadBegun(*t); // a thread just created may not have its queue yet
    return ::PostThreadMessage(m_nThreadID, message, wParam, lParam);
}

BOOL CWinThread::InitInstance() { return FALSE; }

int CWinThread::Run() {
    LONG idleCount = 0;
    for (;;) {
        MSG next;
        while (!::PeekMessage(&next, nullptr, 0, 0, PM_NOREMOVE) && OnIdle(idleCount++)) {
        }
        if (!PumpMessage()) return ExitInstance();
        idleCount = 0;
    }
}

int CWinThread::ExitInstance() { return m_msgCur.message == WM_QUIT ? static_cast<int>(m_msgCur.wParam) : 0; }

BOOL CWinThread::PumpMessage() {
    if (::GetMessage(&m_msgCur, nullptr, 0, 0) <= 0) {
        if (m_msgCur.message != WM_QUIT) m_msgCur = MSG{nullptr, WM_QUIT, 0, 0, 0, {0, 0}};
        return FALSE;
    }
    if (!PreTranslateMessage(&m_msgCur)) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessage(&m_msgCur);
    }
    return TRUE;
}

BOOL CWinThread::OnIdle(LONG) { return FALSE; }

BOOL CWinThread::PreTranslateMessage(MSG* msg) {
    if (!msg) return FALSE;
    if (!msg->hwnd) return DispatchThreadMessageEx(msg);
    for (CWnd* wnd = CWnd::FromHandle(msg->hwnd); wnd; wnd = wnd->GetParent())
        if (wnd->PreTranslateMessage(msg)) return TRUE;
    return FALSE;
}

BOOL CWinThread::DispatchThreadMessageEx(MSG*) { return FALSE; }

CWnd* CWinThread::GetMainWnd() { return m_pMainWnd; }

void CWinThread::Delete() {
    if (m_bAutoDelete) delete this;
}

CWinThread* AfxBeginThread(AFX_THREADPROC func, LPVOID param, int priority, UINT stackSize, DWORD createFlags,
                           LPSECURITY_ATTRIBUTES attributes) {
    if (!func) return nullptr;
    return Begin(new CWinThread(func, param), priority, stackSize, createFlags, attributes);
}

CWinThread* AfxBeginThread(CWinThread* (*factory)(), int priority, UINT stackSize, DWORD createFlags,
                           LPSECURITY_ATTRIBUTES attributes) {
    return factory ? Begin(factory(), priority, stackSize, createFlags, attributes) : nullptr;
}

CWinThread* AfxGetThread() {
    std::shared_ptr<ThreadObject> t = CurrentThreadObject();
    return t ? t->owner.load() : nullptr;
}
