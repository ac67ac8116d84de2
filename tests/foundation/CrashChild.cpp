// A process that faults on purpose, for the crash report tests:
//
//     zep3test_crashchild <mode> <marker file>
//
// It installs a handler of its own for SIGSEGV and SIGFPE (the "previous"
// handler), then the crash handler, registers three threads with state data
// and faults as the mode says:
//     main-null          a null write on the registered main thread, and a
//                        second one after the previous handler returned
//     worker-divzero     an integer division by zero on a registered worker
//     worker-overflow    endless recursion on a registered worker
//     unregistered-null  a null write on a thread nobody registered
// The previous handler appends "previous <signal>" to the marker file and
// ends the process with exit code 3. Exit code 99: no fault came.
#include <zep3/zep3.h>

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

const char* g_marker = "";
std::string g_mode;
sigjmp_buf g_resume;
volatile sig_atomic_t g_previousRuns = 0;
volatile int g_stop = 0;
std::atomic<int> g_waiting{0};
HANDLE g_go = nullptr;    // starts the faulting worker
HANDLE g_never = nullptr; // what the other workers wait for

void Mark(int sig) {
    char line[] = "previous 00\n";
    line[9] = static_cast<char>('0' + sig / 10);
    line[10] = static_cast<char>('0' + sig % 10);
    int fd = open(g_marker, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    ssize_t written = write(fd, line, sizeof line - 1);
    (void)written;
    close(fd);
}

void Previous(int sig, siginfo_t*, void*) {
    Mark(sig);
    if (g_mode == "main-null" && ++g_previousRuns == 1) siglongjmp(g_resume, 1);
    _exit(3);
}

void InstallPrevious() {
    struct sigaction action = {};
    action.sa_sigaction = Previous;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGFPE, &action, nullptr);
}

__attribute__((noinline)) void NullWrite() {
    volatile int* volatile p = nullptr;
    *p = 1;
}

__attribute__((noinline)) int DivideByZero() {
    volatile int zero = 0;
    return 100 / zero;
}

__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    if (g_stop) return 0;
    return Recurse(depth + 1) + frame[0];
}

UINT Worker(void* param) {
    const bool faulting = param != nullptr;
    ++g_waiting;
    if (!faulting) return WaitForSingleObject(g_never, 30000);
    if (WaitForSingleObject(g_go, 30000) != WAIT_OBJECT_0) return 1;
    if (g_mode == "worker-divzero") return static_cast<UINT>(DivideByZero());
    return static_cast<UINT>(Recurse(0));
}

__attribute__((noinline)) void Fault() {
    if (g_mode == "main-null") {
        if (sigsetjmp(g_resume, 1) != 0) NullWrite(); // the handler is gone: no second report
        NullWrite();
    } else if (g_mode == "unregistered-null") {
        std::thread([] { NullWrite(); }).join();
    } else {
        SetEvent(g_go);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    g_mode = argv[1];
    g_marker = argv[2];
    InstallPrevious();
    CCrashHandler::SetCrashHandler();
    CCrashHandler::SetVersion("1.2.3", "build 45");
    g_go = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    g_never = CreateEvent(nullptr, TRUE, FALSE, nullptr);

    const unsigned int self = GetCurrentThreadId();
    CThreadManager::Register(self, "Main", "CrashChild");
    CWinThread* worker1 = CThreadManager::CreateThread(Worker, nullptr, "Worker1");
    CWinThread* worker2 = CThreadManager::CreateThread(Worker, &g_go, THREAD_PRIORITY_BELOW_NORMAL, 256 * 1024, 0,
                                                       "Worker2");
    if (!worker1 || !worker2) return 4;

    const BYTE mainData[] = {'O', 'K', 0x00, 0x7F, 0xC8};
    CThreadManager::SetState(self, "waiting", mainData, sizeof mainData);
    BYTE big[2000];
    for (int i = 0; i < 2000; ++i) big[i] = static_cast<BYTE>(i);
    CThreadManager::SetState(worker1->m_nThreadID, "idle", big, sizeof big);
    CThreadManager::SetState(worker2->m_nThreadID, "busy", "Worker2", 7);
    for (int i = 0; i < 5000 && g_waiting < 2; ++i) Sleep(1);

    Fault();
    Sleep(30000);
    return 99;
}
