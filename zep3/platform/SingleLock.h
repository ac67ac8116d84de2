#pragma once
/// @class CSingleLock
/// Holds one synchronisation object for a scope; unlocks it on
/// destruction if still held.
#include <zep3/platform/SyncObject.h>

class ZEP3_API CSingleLock {
public:
    explicit CSingleLock(CSyncObject* object, bool initialLock = false);
    ~CSingleLock();
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    bool Lock(DWORD timeout = INFINITE);
    bool Unlock();
    bool IsLocked() const { return m_locked; }

private:
    CSyncObject* m_object;
    bool m_locked = false;
};
