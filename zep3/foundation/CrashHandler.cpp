#include <zep3/foundation/CrashHandler.h>
#include <zep3/foundation/ThreadManager.h>
#include <zep3/foundation/detail/CrashSupport.h>
#include <zep3/foundation/detail/MemoryMap.h>
#include <zep3/platform/Module.h>
#include <zep3/platform/detail/Posix.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace zep3::detail;

struct SPreviousHandlers {
    struct sigaction actions[5];
};

bool CCrashHandler::m_Installed = false;
SPreviousHandlers* CCrashHandler::m_pPreviousHandler = nullptr;
char CCrashHandler::m_LogFileName[4096];
char CCrashHandler::m_AppVersion[260];
char CCrashHandler::m_AppBuild[260];
int CCrashHandler::m_hReportFile = -1;
char CCrashHandler::m_LastBuffer[10000];

// The signal handler; a friend, so that it can run the report.
struct CrashSignalEntry {
    static void OnSignal(int sig, siginfo_t* info, void* context);
};

namespace {

const int kSignals[5] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};

SPreviousHandlers s_previous;
// The thread writing a report, 0 when none is.
std::atomic<unsigned int> s_reporter{0};
// The mappings as the report found them; the dumps read memory through it.
MemoryMap s_reportMap;
bool s_reportMapReady = false;
size_t s_lastLength = 0;
bool s_lastFull = false;

// Codes for signals the exception table has no name for: the signal number
// under this prefix, named by the signal's description.
const DWORD kSignalCodeBase = 0xE0000000u;

struct ExceptionName {
    DWORD code;
    const char* name;
};
const ExceptionName kExceptionNames[] = {
    {0x80000001, "GUARD_PAGE"},
    {0x80000002, "DATATYPE_MISALIGNMENT"},
    {0x80000003, "BREAKPOINT"},
    {0x80000004, "SINGLE_STEP"},
    {0xC0000005, "ACCESS_VIOLATION"},
    {0xC0000006, "IN_PAGE_ERROR"},
    {0xC0000008, "INVALID_HANDLE"},
    {0xC000001D, "ILLEGAL_INSTRUCTION"},
    {0xC0000025, "NONCONTINUABLE_EXCEPTION"},
    {0xC0000026, "INVALID_DISPOSITION"},
    {0xC000008C, "ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008D, "FLT_DENORMAL_OPERAND"},
    {0xC000008E, "FLT_DIVIDE_BY_ZERO"},
    {0xC000008F, "FLT_INEXACT_RESULT"},
    {0xC0000090, "FLT_INVALID_OPERATION"},
    {0xC0000091, "FLT_OVERFLOW"},
    {0xC0000092, "FLT_STACK_CHECK"},
    {0xC0000093, "FLT_UNDERFLOW"},
    {0xC0000094, "INT_DIVIDE_BY_ZERO"},
    {0xC0000095, "INT_OVERFLOW"},
    {0xC0000096, "PRIV_INSTRUCTION"},
    {0xC00000FD, "STACK_OVERFLOW"},
};

// A fault this close to the stack pointer hit the end of the stack.
const uintptr_t kStackOverflowReach = 64 * 1024;

DWORD ExceptionCodeOf(int sig, const siginfo_t& info, uintptr_t sp) {
    const bool fromKernel = info.si_code > 0;
    switch (sig) {
    case SIGSEGV: {
        uintptr_t addr = reinterpret_cast<uintptr_t>(info.si_addr);
        bool nearSp = addr + kStackOverflowReach > sp && addr < sp + kStackOverflowReach;
        return fromKernel && nearSp ? 0xC00000FD : 0xC0000005;
    }
    case SIGBUS: return info.si_code == BUS_ADRALN ? 0x80000002 : 0xC0000006;
    case SIGILL: return info.si_code == ILL_PRVOPC ? 0xC0000096 : 0xC000001D;
    case SIGTRAP: return info.si_code == TRAP_TRACE ? 0x80000004 : 0x80000003;
    case SIGFPE:
        switch (info.si_code) {
        case FPE_INTDIV: return 0xC0000094;
        case FPE_INTOVF: return 0xC0000095;
        case FPE_FLTDIV: return 0xC000008E;
        case FPE_FLTOVF: return 0xC0000091;
        case FPE_FLTUND: return 0xC0000093;
        case FPE_FLTRES: return 0xC000008F;
        case FPE_FLTINV: return 0xC0000090;
        case FPE_FLTSUB: return 0xC000008C;
        default: break;
        }
        break;
    default: break;
    }
    return kSignalCodeBase | static_cast<DWORD>(sig);
}

void FillRecord(int sig, const siginfo_t& info, const ucontext_t& uc, const CONTEXT& registers,
                EXCEPTION_RECORD& record) {
    std::memset(&record, 0, sizeof record);
    record.ExceptionCode = ExceptionCodeOf(sig, info, registers.Rsp);
    record.ExceptionAddress = reinterpret_cast<void*>(registers.Rip);
    if ((sig == SIGSEGV || sig == SIGBUS) && info.si_code > 0) {
        ULONG_PTR access = 0;
#if defined(__x86_64__)
        // The page-fault error code: bit 1 a write, bit 4 an instruction fetch.
        greg_t error = uc.uc_mcontext.gregs[REG_ERR];
        access = (error & 0x10) ? 8 : (error & 0x2) ? 1 : 0;
#else
        (void)uc;
#endif
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = access;
        record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(info.si_addr);
    }
}

bool IsOurs(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == CrashSignalEntry::OnSignal;
}

// After the report: the restored handler takes the fault. A hardware fault
// comes back by itself when the instruction runs again; a trap (its
// instruction is done) and a signal sent by kill() are raised again, with
// their original details.
void PassOn(int sig, siginfo_t* info) {
    struct sigaction current;
    if (sigaction(sig, nullptr, &current) == 0 && IsOurs(current)) {
        // Never loop back into ourselves.
        struct sigaction fallback = {};
        fallback.sa_handler = SIG_DFL;
        sigaction(sig, &fallback, nullptr);
    }
    if (info->si_code > 0 && sig != SIGTRAP) return;
    siginfo_t again = *info;
    pid_t pid = getpid();
    if (syscall(SYS_rt_tgsigqueueinfo, pid, static_cast<pid_t>(RawThreadId()), sig, &again) != 0)
        syscall(SYS_tgkill, pid, static_cast<pid_t>(RawThreadId()), sig);
}

void AppendToLastBuffer(const char* text, size_t length) {
    const size_t capacity = sizeof CCrashHandler::m_LastBuffer - 1;
    char* buffer = CCrashHandler::m_LastBuffer;
    for (size_t i = 0; i < length && !s_lastFull; ++i) {
        const char* piece = text[i] == '\n' ? "%0A" : &text[i];
        size_t size = text[i] == '\n' ? 3 : 1;
        if (s_lastLength + size > capacity) {
            s_lastFull = true; // the copy stays a prefix of the text
            break;
        }
        std::memcpy(buffer + s_lastLength, piece, size);
        s_lastLength += size;
    }
    buffer[s_lastLength] = '\0';
}

// The report's mappings while a report is written, a fresh reading otherwise.
class MapView {
public:
    MapView() {
        if (s_reportMapReady) {
            m_map = &s_reportMap;
        } else {
            m_own.reset(new MemoryMap);
            m_own->Load();
            m_map = m_own.get();
        }
    }
    const MemoryMap& operator*() const { return *m_map; }

private:
    const MemoryMap* m_map;
    std::unique_ptr<MemoryMap> m_own;
};

int LogicalAddress(const MemoryMap& map, void* addr, char* module, DWORD len, DWORD& section, DWORD& offset,
                   DWORD_PTR& base) {
    section = offset = 0;
    base = 0;
    if (!module || len == 0) return 0;
    module[0] = '\0';
    MemoryMap::Module found;
    if (!map.FindModule(reinterpret_cast<uintptr_t>(addr), found)) return 0;
    std::snprintf(module, len, "%s", found.path);
    section = found.segment;
    offset = found.offset;
    base = found.base;
    return 1;
}

void StackRow(const MemoryMap& map, uintptr_t addr, uintptr_t frame) {
    char module[4096];
    DWORD section, offset;
    DWORD_PTR base;
    LogicalAddress(map, reinterpret_cast<void*>(addr), module, sizeof module, section, offset, base);
    CCrashHandler::PrintToFile("%08lX  %08lX  %08lX  %04X:%08X  %-50s  \r\n", static_cast<unsigned long>(base),
                               static_cast<unsigned long>(addr), static_cast<unsigned long>(frame), section, offset,
                               module);
}

void StackWalk(const MemoryMap& map, const CONTEXT& ctx) {
    CCrashHandler::PrintToFile("\r\nCall stack:\r\n");
    CCrashHandler::PrintToFile("%-8s  %-8s  %-8s  %-13s  %-50s\r\n", "Base", "Address", "Frame", "Logical addr",
                               "Module");
    StackRow(map, ctx.Rip, ctx.Rbp);
    // Each frame holds the caller's frame pointer and, above it, the return
    // address into the caller; a row pairs that address with the caller's frame.
    uintptr_t frame = ctx.Rbp;
    uint64_t words[2];
    while (map.IsWritable(frame, sizeof words) && map.Read(frame, words, sizeof words)) {
        uintptr_t next = words[0];
        if (next % sizeof(uint64_t) != 0 || next <= frame || !map.IsWritable(next, sizeof words)) break;
        StackRow(map, words[1], next);
        frame = next;
    }
    CCrashHandler::PrintToFile("OK.\r\n\r\n");
}

void Dump32(const MemoryMap& map, uintptr_t p, int count) {
    if (count < 1) {
        CCrashHandler::PrintToFile("\r\n");
        return;
    }
    char row[160];
    int n = 0;
    for (int i = 0; i < count; ++i) {
        uintptr_t at = p + 4 * static_cast<uintptr_t>(i);
        if (i % 8 == 0) {
            if (n) CCrashHandler::PrintToFile("%s", row);
            n = std::snprintf(row, sizeof row, "\r\n%08lX: ", static_cast<unsigned long>(at));
        }
        uint32_t word;
        if (map.Read(at, &word, sizeof word)) n += std::snprintf(row + n, sizeof row - n, "%08X ", word);
        else n += std::snprintf(row + n, sizeof row - n, "-------- ");
    }
    CCrashHandler::PrintToFile("%s\r\n", row);
}

// kB values of /proc/meminfo.
struct MemoryState {
    long long commitLimit = 0, committed = 0, total = 0, available = 0;
};

long long MemInfoValue(const char* text, const char* key) {
    const char* at = std::strstr(text, key);
    if (!at) return 0;
    at += std::strlen(key);
    while (*at == ' ') ++at;
    long long value = 0;
    for (; *at >= '0' && *at <= '9'; ++at) value = value * 10 + (*at - '0');
    return value;
}

MemoryState ReadMemoryState() {
    static char text[8192];
    MemoryState state;
    UniqueFd fd(open("/proc/meminfo", O_RDONLY | O_CLOEXEC));
    if (!fd.IsOpen()) return state;
    ssize_t length = ReadAll(fd.Get(), text, sizeof text - 1);
    text[length > 0 ? length : 0] = '\0';
    state.commitLimit = MemInfoValue(text, "\nCommitLimit:");
    state.committed = MemInfoValue(text, "\nCommitted_AS:");
    state.total = MemInfoValue(text, "MemTotal:");
    state.available = MemInfoValue(text, "\nMemAvailable:");
    return state;
}

int Megabytes(long long kilobytes) { return static_cast<int>(kilobytes >> 10); }

// The executable's path with the text after the last dot of its name
// replaced by "RPT"; ".RPT" appended when the name has no such dot. Empty
// when the path is unknown or too long.
void MakeReportName(char* out, size_t size) {
    out[0] = '\0';
    char path[4096];
    DWORD length = GetModuleFileName(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    const char* slash = std::strrchr(path, '/');
    char* name = slash ? path + (slash - path) + 1 : path;
    char* dot = std::strrchr(name, '.');
    if (dot && dot != name) *dot = '\0';
    if (static_cast<size_t>(std::snprintf(out, size, "%s.RPT", path)) >= size) out[0] = '\0';
}

} // namespace

void CrashSignalEntry::OnSignal(int sig, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    const unsigned int self = RawThreadId();
    unsigned int idle = 0;
    if (s_reporter.compare_exchange_strong(idle, self)) {
        if (CCrashHandler::m_Installed) {
            const ucontext_t& uc = *static_cast<ucontext_t*>(context);
            CONTEXT registers;
            EXCEPTION_RECORD record;
            ContextFromUcontext(uc, registers);
            FillRecord(sig, *info, uc, registers, record);
            EXCEPTION_POINTERS pointers = {&record, &registers};
            CCrashHandler::CrashHandlerProc(&pointers);
        }
        s_reporter.store(0);
    } else if (idle != self) {
        // Another thread is writing the report: this fault goes on to the
        // previous handler once it is done (at most a minute).
        Deadline deadline = Deadline::After(60000);
        while (s_reporter.load() != 0 && !deadline.HasPassed()) SleepMilliseconds(1);
    }
    // A fault inside the report itself (idle == self) goes on at once.
    PassOn(sig, info);
    errno = savedErrno;
}

namespace zep3::detail {

void ContextFromUcontext(const ucontext_t& uc, CONTEXT& ctx) {
    std::memset(&ctx, 0, sizeof ctx);
#if defined(__x86_64__)
    const greg_t* g = uc.uc_mcontext.gregs;
    auto r = [g](int index) { return static_cast<DWORD64>(g[index]); };
    ctx.Rax = r(REG_RAX), ctx.Rbx = r(REG_RBX), ctx.Rcx = r(REG_RCX), ctx.Rdx = r(REG_RDX);
    ctx.Rsi = r(REG_RSI), ctx.Rdi = r(REG_RDI), ctx.Rbp = r(REG_RBP), ctx.Rsp = r(REG_RSP), ctx.Rip = r(REG_RIP);
    ctx.R8 = r(REG_R8), ctx.R9 = r(REG_R9), ctx.R10 = r(REG_R10), ctx.R11 = r(REG_R11);
    ctx.R12 = r(REG_R12), ctx.R13 = r(REG_R13), ctx.R14 = r(REG_R14), ctx.R15 = r(REG_R15);
    ctx.EFlags = static_cast<DWORD>(r(REG_EFL));
    // cs, gs, fs and (when the kernel says it saved it) ss, 16 bits each.
    const DWORD64 segments = r(REG_CSGSFS);
    const unsigned long kSavedSs = 0x2; // UC_SIGCONTEXT_SS
    ctx.SegCs = static_cast<WORD>(segments);
    ctx.SegGs = static_cast<WORD>(segments >> 16);
    ctx.SegFs = static_cast<WORD>(segments >> 32);
    ctx.SegSs = (uc.uc_flags & kSavedSs) ? static_cast<WORD>(segments >> 48) : 0;
#else
    (void)uc;
#endif
}

} // namespace zep3::detail

CCrashHandler::CCrashHandler() {
    if (!m_Installed) SetCrashHandler();
}

CCrashHandler::~CCrashHandler() { RestoreCrashHandler(); }

void CCrashHandler::SetCrashHandler() {
    EnsureAltSignalStack();
    tzset(); // the report's time stamp then needs no file
    MakeReportName(m_LogFileName, sizeof m_LogFileName);
    struct sigaction action = {};
    action.sa_sigaction = CrashSignalEntry::OnSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 5; ++i) {
        struct sigaction old;
        if (sigaction(kSignals[i], &action, &old) == 0 && !IsOurs(old)) s_previous.actions[i] = old;
    }
    m_pPreviousHandler = &s_previous;
    m_Installed = true;
}

void CCrashHandler::RestoreCrashHandler() {
    if (!m_Installed) return;
    for (int i = 0; i < 5; ++i) sigaction(kSignals[i], &s_previous.actions[i], nullptr);
    m_Installed = false;
}

void CCrashHandler::SetVersion(const char* version, const char* build) {
    if (version) CopyText(m_AppVersion, sizeof m_AppVersion, version);
    if (build) CopyText(m_AppBuild, sizeof m_AppBuild, build);
}

bool CCrashHandler::CanPrintToFile() { return m_hReportFile >= 0; }

int CCrashHandler::PrintToFile(const char* format, ...) {
    if (!format) return 0;
    char text[1025];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return 0;
    if (n > 1024) n = 1024;
    if (m_hReportFile >= 0) WriteAll(m_hReportFile, text, static_cast<size_t>(n));
    AppendToLastBuffer(text, static_cast<size_t>(n));
    return n;
}

void CCrashHandler::DumpMemory32(unsigned int* p, int count) {
    MapView map;
    Dump32(*map, reinterpret_cast<uintptr_t>(p), count);
}

int CCrashHandler::GetLogicalAddress(void* addr, char* module, DWORD len, DWORD& section, DWORD& offset,
                                     DWORD_PTR& base) {
    MapView map;
    return LogicalAddress(*map, addr, module, len, section, offset, base);
}

void CCrashHandler::IntelStackWalk(CONTEXT* ctx) {
    if (!ctx) return;
    MapView map;
    StackWalk(*map, *ctx);
}

long CCrashHandler::CrashHandlerProc(EXCEPTION_POINTERS* pointers) {
    // Not shared: a second writer (another process's report) keeps this one out.
    int fd = m_LogFileName[0] ? open(m_LogFileName, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666) : -1;
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        fd = -1;
    }
    if (fd >= 0) {
        m_hReportFile = fd;
        GenerateExceptionReport(pointers);
        fdatasync(fd);
        close(fd);
        m_hReportFile = -1;
    }
    RestoreCrashHandler();
    return EXCEPTION_CONTINUE_SEARCH;
}

void CCrashHandler::GenerateExceptionReport(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    const CONTEXT& c = *pointers->ContextRecord;
    CThreadManager::SuspendAllThreads();
    s_reportMap.Load();
    s_reportMapReady = true;

    const char* rule = "=====================================================";
    PrintToFile("\r\n%s\r\n%s\r\n", rule, rule);
    char stamp[64] = "";
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local)) strftime(stamp, sizeof stamp, "%Y-%m-%d  %H:%M:%S", &local);
    PrintToFile("Timestamp: %s (%s - %s)\r\n", stamp, m_AppVersion, m_AppBuild);
    PrintToFile("Exception code: %08X %s\r\n", record.ExceptionCode, GetExceptionString(record.ExceptionCode));

    char module[4096];
    DWORD section, offset;
    DWORD_PTR base;
    LogicalAddress(s_reportMap, record.ExceptionAddress, module, sizeof module, section, offset, base);
    PrintToFile("Fault address:  %08lX %02X:%08X %s\r\n",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(record.ExceptionAddress)), section, offset,
                module);
    MemoryState memory = ReadMemoryState();
    PrintToFile("Memory state:  %i / %i MB (%i / %i MB)\r\n\r\n", Megabytes(memory.committed),
                Megabytes(memory.commitLimit), Megabytes(memory.total - memory.available), Megabytes(memory.total));

    PrintToFile("\r\nRegisters:\r\n");
    PrintToFile("EAX:%08lX\r\nEBX:%08lX\r\nECX:%08lX\r\nEDX:%08lX\r\nESI:%08lX\r\nEDI:%08lX\r\n", c.Rax, c.Rbx,
                c.Rcx, c.Rdx, c.Rsi, c.Rdi);
    PrintToFile("CS:EIP:%04X:%08lX\r\n", c.SegCs, c.Rip);
    PrintToFile("SS:ESP:%04X:%08lX  EBP:%08lX\r\n", c.SegSs, c.Rsp, c.Rbp);
    PrintToFile("DS:%04X  ES:%04X  FS:%04X  GS:%04X\r\n", c.SegDs, c.SegEs, c.SegFs, c.SegGs);
    PrintToFile("Flags:%08X\r\n", c.EFlags);

    PrintToFile("\r\nStack:");
    Dump32(s_reportMap, c.Rsp - 64, 32);
    PrintToFile("\r\nFrame:");
    Dump32(s_reportMap, c.Rbp, 32);

    CThreadManager::DumpCurrentThreadInfo();
    StackWalk(s_reportMap, c);
    CThreadManager::DumpOtherThreads();
    PrintToFile("\r\n");

    s_reportMapReady = false;
    CThreadManager::ResumeAllThreads();
}

char* CCrashHandler::GetExceptionString(DWORD code) {
    static char text[512];
    text[0] = '\0';
    for (const ExceptionName& entry : kExceptionNames)
        if (entry.code == code) return std::strcpy(text, entry.name);
    DWORD sig = code - kSignalCodeBase;
    if (code >= kSignalCodeBase && sig > 0 && sig < 65) {
        if (const char* description = sigdescr_np(static_cast<int>(sig))) CopyText(text, sizeof text, description);
    }
    return text;
}
