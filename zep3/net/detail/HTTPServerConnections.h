#pragma once
// The connection threads of one web server: how many are alive (for the
// limit) and which, so that the server can end them before it goes away.
#include <zep3/platform/WinTypes.h>

#include <mutex>
#include <set>

namespace zep3::detail {

class HTTPServerConnections {
public:
    // Takes a place for a new connection; false when `limit` are alive.
    bool Reserve(int limit);
    // The reserved place's thread has started (id) ...
    void Started(DWORD id);
    // ... or has ended (id), or never started (0).
    void Ended(DWORD id);
    int Count() const;
    // Tells every connection thread to quit.
    void QuitAll();

private:
    mutable std::mutex m_Lock;
    int m_nCount = 0;
    std::set<DWORD> m_Threads;
};

} // namespace zep3::detail
