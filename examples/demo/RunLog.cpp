#include "RunLog.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

// Installed for the whole run, as the applications do it.
CCrashHandler g_crashHandler;

} // namespace

RunLog::RunLog(const std::string& folder) {
    CCrashHandler::SetVersion("0.1.0", "demo " __DATE__);
    CThreadManager::Register(GetCurrentThreadId(), "Main", "zep3-demo");
    // An absolute name: a relative one would count from the executable's folder.
    std::error_code ec;
    std::string path = (std::filesystem::absolute(folder, ec) / "zep3-demo.log").string();
    m_Log.Init(path.c_str(), 64 * 1024, 2);
}

RunLog::~RunLog() { CThreadManager::UnRegister(GetCurrentThreadId()); }

void RunLog::Add(const CString& text) {
    m_Log.Add(text);
    CThreadManager::SetState(GetCurrentThreadId(), text, nullptr, 0);
}

void CrashIfAsked(RunLog& log) {
    const char* ask = std::getenv("ZEP3_DEMO_CRASH");
    if (!ask || std::atoi(ask) != 1) return;
    log.Add("crashing on purpose (ZEP3_DEMO_CRASH=1)");
    std::printf("crashing on purpose; the report goes to %s\n", CCrashHandler::m_LogFileName);
    std::fflush(stdout);
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}
