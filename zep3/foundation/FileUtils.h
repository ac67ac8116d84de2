#pragma once
/// @file
/// Helpers for paths, folders, registry values, embedded resources and system
/// restart. Folder arguments end with "/" (one is added where it is missing).
/// They hold no locks and may be called from any thread; failures show only in
/// their results.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/WinTypes.h>

/// True when the file system reports a status for path (file or folder).
ZEP3_API bool FileExists(const CString& path);
/// The running executable's folder, with a trailing "/".
ZEP3_API CString GetModulePath();
/// The read-only bytes of the resource with the numeric id and the type
/// (RT_HTML, a type name, ...) of module; a null module searches the current
/// resource module, the executable and this library in turn. size receives the
/// length. Null (size unchanged) when there is no such resource.
ZEP3_API void* LoadFromResources(int& size, unsigned short id, const char* type, HINSTANCE module);
/// Reads the 32-bit value name of `root\subkey` into value; true on success.
ZEP3_API bool ReadRegKey(HKEY root, const CString& subkey, const CString& name, unsigned long& value);
/// Stores value (its low 32 bits, REG_DWORD) as name of `root\subkey`, creating
/// the key when needed; true on success.
ZEP3_API bool WriteRegKey(HKEY root, const CString& subkey, const CString& name, unsigned long value);
/// Free space available to the caller on the volume of path, in KB (truncated
/// to 32 bits); 0 when the query fails.
ZEP3_API unsigned int GetFolderFreeSpaceKB(const CString& path);
/// Total size of the files matching mask in folder and, recursively, in its
/// sub-folders that match mask (symbolic links to folders are not followed),
/// modulo 2^32.
ZEP3_API unsigned int GetFolderSize(const CString& folder, const CString& mask);
/// Creates path. When that fails, every prefix of path that ends before a "/"
/// is created in turn, so a path ending with "/" is created completely, and
/// without it its last folder only when its parent existed.
ZEP3_API void CreateDirectoryPath(const CString& path);
/// Deletes folder with all its files and sub-folders (a symbolic link is
/// removed, never followed). True when the folder itself was removed; an empty
/// folder name is refused.
ZEP3_API bool RemoveDirectoryEx(const CString& folder);
/// Copies at most n bytes of src into dst, fills the rest of the n bytes with
/// zeros and always stores a zero at dst[n - 1]. Returns dst; null (nothing
/// copied) for n below 1 or a null dst. A null src copies an empty text.
ZEP3_API char* StrNCpyZ(char* dst, const char* src, int n);
/// Asks the system to restart the computer through the current restart
/// backend (CShutdownBackend); true when the request was accepted.
ZEP3_API bool SystemShutDown();
