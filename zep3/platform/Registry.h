#pragma once
/// @file
/// The registry: keys holding named, typed values, kept in one file per root
/// ("HKEY_CURRENT_USER", ...) in the folder $ZEP3_REGISTRY_DIR, else
/// $XDG_CONFIG_HOME/zep3/registry, else ~/.config/zep3/registry. Key paths use
/// backslashes; key and value names ignore case. Every change rewrites its
/// root's file under a lock and replaces it atomically, so other threads and
/// processes see a change completely or not at all, and a crash never leaves a
/// damaged file. Results are ERROR_* numbers (ERROR_SUCCESS on success).
#include <zep3/platform/Export.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/WinTypes.h>

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003u)
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)0x80000005u)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

typedef DWORD REGSAM;
typedef HKEY* PHKEY;

/// Opens an existing key below an open key or a root; ERROR_FILE_NOT_FOUND
/// when there is none. The handle allows what access asks for.
ZEP3_API LONG RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
/// Opens a key, creating it and its missing parents first. disposition (may
/// be null) tells which happened. Class, options and security are ignored.
ZEP3_API LONG RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                             void* securityAttributes, PHKEY result, LPDWORD disposition);
/// Reads a value (null or empty name: the key's default value). type and data
/// may be null; dataSize receives the value's length. A buffer too small gives
/// ERROR_MORE_DATA; a missing value ERROR_FILE_NOT_FOUND. REG_SZ values come
/// with their terminating zero.
ZEP3_API LONG RegQueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                              LPDWORD dataSize);
/// Stores a value of size bytes with its type.
ZEP3_API LONG RegSetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
/// Removes a value; ERROR_FILE_NOT_FOUND when there is none.
ZEP3_API LONG RegDeleteValue(HKEY key, LPCSTR valueName);
/// Releases a handle from RegOpenKeyEx or RegCreateKeyEx.
ZEP3_API LONG RegCloseKey(HKEY key);
