#pragma once
/// @file
/// Dynamic modules: shared objects loaded by file name. A module handle is the
/// system loader's handle of the object, so the same object always has the
/// same handle, whichever call produced it. Plain functions, callable from any
/// thread; failures return null/FALSE/0 and set the last error.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

/// An export's address, to be cast to its real type (a plain function type,
/// so that the cast is warning-free).
typedef void (*FARPROC)();

/// Loads a module now (all symbols resolved, kept local to it); each call must
/// be matched by FreeLibrary. A name without "/" is searched on the loader's
/// path. Null (ERROR_MOD_NOT_FOUND) when it cannot be loaded.
ZEP3_API HMODULE LoadLibrary(LPCSTR fileName);
/// Releases one LoadLibrary of the module; the object is unloaded with the
/// last one. FALSE for a handle that LoadLibrary did not return.
ZEP3_API BOOL FreeLibrary(HMODULE module);
/// The address of an exported function or object; null (ERROR_PROC_NOT_FOUND)
/// when the module has no such export.
ZEP3_API FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
/// The handle of a module that is already loaded (null: the executable),
/// without loading it or counting a reference. Null when it is not loaded.
ZEP3_API HMODULE GetModuleHandle(LPCSTR moduleName);
/// The full path of a module (null: the running executable) into buffer,
/// terminated by a zero. Returns the path's length; when the buffer is too
/// small the path is cut, size is returned and the last error is
/// ERROR_INSUFFICIENT_BUFFER. 0 on failure.
ZEP3_API DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size);
/// The handle of this library's own module: the owner of its resources and
/// string table.
ZEP3_API HINSTANCE ZEP3GetInstanceHandle();
