#pragma once
/// @class CCrashHandler
/// Writes a plain-text report of an unhandled fault to a file
/// beside the executable, then lets the fault go on to the handler that was
/// in place before.
///
/// Faults are the signals SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGTRAP, caught
/// on an alternate signal stack (the installing thread's and every registered
/// thread's), so that a stack overflow is reported too. Each is named by the
/// exception code of the fault it stands for (SIGSEGV: 0xC0000005
/// ACCESS_VIOLATION, or 0xC00000FD STACK_OVERFLOW near the stack pointer;
/// SIGFPE with FPE_INTDIV: 0xC0000094 INT_DIVIDE_BY_ZERO; ...; see
/// docs/crash-report.md).
///
/// The report file is the executable's path with the text after the last dot
/// of its name replaced by "RPT" ("prog.bin" gives "prog.RPT"); a name without
/// a dot (or one whose only dot leads it) gets ".RPT" appended. Reports are
/// appended, so the file keeps every report of every run.
///
/// The report describes this 64-bit process with the register block of the
/// 32-bit layout: EAX holds RAX, EBX RBX, ..., EIP RIP, ESP RSP, EBP RBP and
/// Flags the RFLAGS; every register and address prints in full (at least 8
/// hex digits). CS, FS, GS and SS come from the signal context (SS 0 where
/// the kernel does not save it); DS and ES print 0. R8 to R15 are not shown.
/// Memory dumps are of 32-bit words; the call stack follows the chain of
/// 64-bit frame pointers (the library is built with frame pointers). A
/// module's "section" is the 1-based index of the loadable segment (PT_LOAD)
/// holding the address, the offset counts from that segment's start.
///
/// The handler writes with write(2) from fixed buffers and reads memory only
/// where /proc/self/maps (read when the report starts) shows it readable, so
/// it does not fault itself. Suspending the registered threads uses the
/// platform's thread locks; a fault inside those (or inside the C library's
/// time-zone code) could hang the report: see docs/crash-report.md.
///
/// After the report the previous handlers are restored and the fault goes on
/// to them: a hardware fault re-executes the faulting instruction under the
/// restored handler, a signal sent by kill() or a trap is raised again. So a
/// process writes at most one report per installation.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

typedef uint64_t DWORD64;

#define EXCEPTION_CONTINUE_SEARCH 0
#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_EXECUTION (-1)
#define EXCEPTION_MAXIMUM_PARAMETERS 15

/// The faulting thread's registers, in the platform's 64-bit form.
struct CONTEXT {
    DWORD ContextFlags;
    DWORD EFlags;
    WORD SegCs, SegDs, SegEs, SegFs, SegGs, SegSs;
    DWORD64 Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi;
    DWORD64 R8, R9, R10, R11, R12, R13, R14, R15;
    DWORD64 Rip;
};
typedef CONTEXT* PCONTEXT;

/// What faulted and where. ExceptionAddress is the faulting instruction; for
/// an access violation ExceptionInformation holds the kind of access (0 read,
/// 1 write, 8 execute) and the address that was accessed.
struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    EXCEPTION_RECORD* ExceptionRecord;
    void* ExceptionAddress;
    DWORD NumberParameters;
    ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};
typedef EXCEPTION_RECORD* PEXCEPTION_RECORD;

/// What the crash handler hands to the report: the fault and the registers of
/// the thread that faulted, both valid only during the report.
struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD* ExceptionRecord;
    CONTEXT* ContextRecord;
};
typedef EXCEPTION_POINTERS* PEXCEPTION_POINTERS;

struct SPreviousHandlers; // the signal actions in place before installation

class ZEP3_API CCrashHandler {
public:
    /// Installs the handler unless it is installed; a global object installs
    /// it for the whole run.
    CCrashHandler();
    /// Restores the previous handlers if the handler is installed.
    ~CCrashHandler();
    CCrashHandler(const CCrashHandler&) = delete;
    CCrashHandler& operator=(const CCrashHandler&) = delete;

    /// Installs the handler for the five fault signals, remembers the actions
    /// it replaces, gives the calling thread an alternate signal stack and sets
    /// m_LogFileName. Installing again keeps the first remembered actions.
    static void SetCrashHandler();
    /// If installed: puts the previous actions back and clears m_Installed.
    static void RestoreCrashHandler();
    /// Copies version and build (each cut to 259 characters) when not null.
    static void SetVersion(const char* version, const char* build);

    /// True while a report file is open (only on the faulting thread, during
    /// the report).
    static bool CanPrintToFile();
    /// Formats (printf conventions, at most 1024 characters), writes the text
    /// to the report file when one is open and appends it to m_LastBuffer.
    /// Returns the number of characters. One thread at a time.
    static int PrintToFile(const char* format, ...) __attribute__((format(printf, 1, 2)));
    /// Prints count 32-bit words from p, eight to a row headed by the row's
    /// address; unreadable words print as "-------- ". Count below 1 prints a
    /// line end only.
    static void DumpMemory32(unsigned int* p, int count);
    /// Finds the loaded object holding addr: its path into module (at most
    /// len - 1 characters), the 1-based index of its loadable segment holding
    /// addr (section), the offset from that segment's start and the object's
    /// load address (base, pointer-sized here). 1 on success; 0 when addr lies
    /// in no loaded object or module is null or len 0 (outputs then zero).
    static int GetLogicalAddress(void* addr, char* module, DWORD len, DWORD& section, DWORD& offset,
                                 DWORD_PTR& base);
    /// Prints the call stack of a thread context: its instruction and frame
    /// pointers, then the chain of saved frame pointers and return addresses.
    /// Nothing for a null context.
    static void IntelStackWalk(CONTEXT* ctx);

    static bool m_Installed;
    static SPreviousHandlers* m_pPreviousHandler; ///< null until the first installation
    static char m_LogFileName[4096];              ///< the report file's path
    static char m_AppVersion[260];
    static char m_AppBuild[260];
    static int m_hReportFile;                     ///< descriptor while a report is written, else -1
    /// Every report text printed in this process, each line feed written as
    /// "%0A"; text beyond the capacity is dropped. Never emptied.
    static char m_LastBuffer[10000];

private:
    friend struct CrashSignalEntry;
    // Writes the report and restores the previous handlers; the fault then
    // goes on to them (EXCEPTION_CONTINUE_SEARCH).
    static long CrashHandlerProc(EXCEPTION_POINTERS* pointers);
    static void GenerateExceptionReport(EXCEPTION_POINTERS* pointers);
    // The exception's name; for a code outside the table, the description of
    // the signal it stands for, or empty.
    static char* GetExceptionString(DWORD code);
};
