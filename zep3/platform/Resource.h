#pragma once
/// @file
/// Resources: read-only data blocks and string tables that belong to a module,
/// found by (module, type, name). Nothing is read from the object files; each
/// module's resources are registered in the process as data: the library
/// registers its own under ZEP3GetInstanceHandle(), an application registers
/// its own under AfxGetInstanceHandle(). A module loaded with LoadLibrary that
/// carries strings without registering them exports
///
///     extern "C" const char* GetLangString(unsigned int id); // null: no such string
///
/// and LoadString reads through it. All calls may be made from any thread.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#define MAKEINTRESOURCE(i) ((LPSTR)(ULONG_PTR)(WORD)(i))
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_HTML MAKEINTRESOURCE(23)

struct HRSRC__;
typedef HRSRC__* HRSRC;

/// One entry of a registered string table: the text is 8-bit, zero-terminated.
struct ZEP3StringEntry {
    UINT id;
    const char* text;
};

/// The resource (type and name each a MAKEINTRESOURCE number or a text, texts
/// compared without case, "#23" equal to 23) of a module (null: the
/// executable); null when there is none (ERROR_RESOURCE_NAME_NOT_FOUND).
ZEP3_API HRSRC FindResource(HMODULE module, LPCSTR name, LPCSTR type);
/// The block of a found resource; null for a null or unknown resource.
ZEP3_API HGLOBAL LoadResource(HMODULE module, HRSRC resource);
/// The first byte of a loaded block (read-only, valid while the process runs).
ZEP3_API LPVOID LockResource(HGLOBAL block);
/// The length of a found resource in bytes; 0 for a null or unknown one.
ZEP3_API DWORD SizeofResource(HMODULE module, HRSRC resource);
/// Copies string id of a module into buffer (cut to bufferMax - 1 bytes and
/// terminated by a zero). The number of bytes copied; 0 when the module has no
/// such string (buffer then holds an empty text).
ZEP3_API int LoadString(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

/// The executable's handle.
ZEP3_API HINSTANCE AfxGetInstanceHandle();
/// The module the application's strings and resources are read from first; the
/// executable until AfxSetResourceHandle chooses another.
ZEP3_API HINSTANCE AfxGetResourceHandle();
ZEP3_API void AfxSetResourceHandle(HINSTANCE instance);

/// Registers count strings for a module (null: the executable); a repeated id
/// replaces the earlier text. The texts are copied. FALSE for bad arguments.
ZEP3_API BOOL ZEP3RegisterStringTable(HINSTANCE module, const ZEP3StringEntry* entries, int count);
/// Registers a data block of size bytes as the resource (type, name) of a
/// module (null: the executable). The block is not copied and must outlive
/// the process's use of it (static data). Replaces an earlier registration.
ZEP3_API BOOL ZEP3RegisterResource(HINSTANCE module, LPCSTR type, LPCSTR name, const void* data, DWORD size);
