#pragma once
/// @class CCriticalSection
/// A re-entrant lock; the owning thread may lock it again and
/// must unlock it as often as it locked it.
#include <zep3/platform/SyncObject.h>

#include <mutex>

class ZEP3_API CCriticalSection : public CSyncObject {
public:
    CCriticalSection() = default;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    bool Lock(DWORD timeout = INFINITE) override;
    bool Unlock() override;

private:
    std::recursive_timed_mutex m_mutex;
};
