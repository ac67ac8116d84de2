#pragma once
// The demo's diagnostics: a ring log of the run beside its output, and the
// crash report (zep3-demo.RPT beside the executable) for a fault.
#include <zep3/zep3.h>

#include <string>

class RunLog {
public:
    // Opens <folder>/zep3-demo.log (a ring of two 64 KiB files), registers
    // the calling thread as "zep3-demo:Main" and sets the report's version.
    explicit RunLog(const std::string& folder);
    // Unregisters the thread; the log adds its "*** Stop ***".
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // One line in the log; it also becomes the thread's state in a report.
    void Add(const CString& text);

private:
    CLogFile m_Log;
};

// With ZEP3_DEMO_CRASH=1 in the environment the demo faults on purpose, so
// that the crash report can be seen.
void CrashIfAsked(RunLog& log);
