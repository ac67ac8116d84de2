#pragma once
/// @class CSyncObject
/// The base of the lockable synchronisation objects.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#ifndef INFINITE
#define INFINITE 0xFFFFFFFFu
#endif

class ZEP3_API CSyncObject {
public:
    virtual ~CSyncObject() = default;
    /// True when acquired within the time-out (milliseconds, INFINITE waits).
    virtual bool Lock(DWORD timeout = INFINITE) = 0;
    virtual bool Unlock() = 0;
};
