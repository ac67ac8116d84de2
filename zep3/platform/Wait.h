#pragma once
/// @file
/// Handles of waitable objects (events, threads) and the waits on them.
///
/// A HANDLE names a reference-counted object: it stays alive while any handle
/// to it is open or a wait holds it, so closing a handle that another thread
/// is waiting on is safe. Handles are never reused within a process. Invalid
/// handles are failures (FALSE, WAIT_FAILED), never crashes.
#include <zep3/platform/Export.h>
#include <zep3/platform/SyncObject.h>
#include <zep3/platform/WinTypes.h>

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

/// Accepted for the creation calls' signatures; the platform has no
/// security descriptors, so its contents are ignored.
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

/// Closes one handle; the object goes when its last handle is closed and no
/// wait holds it. FALSE for a handle that is not open. Any thread.
ZEP3_API BOOL CloseHandle(HANDLE handle);

/// Waits until the object is signalled or `milliseconds` pass (INFINITE waits,
/// 0 only tests). WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED for a bad handle.
/// A satisfied wait on an auto-reset event resets it.
ZEP3_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

/// Waits on 1 to MAXIMUM_WAIT_OBJECTS objects. waitAll FALSE: returns
/// WAIT_OBJECT_0 + the lowest index among the signalled objects. waitAll TRUE:
/// returns WAIT_OBJECT_0 once every object is signalled at the same moment,
/// and only then consumes them all (no auto-reset event is taken early).
/// WAIT_TIMEOUT, or WAIT_FAILED for a bad count, a bad handle, or the same
/// object twice in a wait-all.
ZEP3_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
