#pragma once
/// @file
/// Files and folders by name: delete, move, copy, create and remove folders,
/// attributes and free space. Paths use "/" and pass to the system unchanged.
/// Every call may be made from any thread; a failure returns FALSE (or the
/// documented failure value) and sets the thread's last error.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#define MAX_PATH 260

#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400

/// Removes a file (or a symbolic link, never its target). Folders fail.
ZEP3_API BOOL DeleteFile(LPCSTR path);
/// Renames a file or folder. Fails with ERROR_ALREADY_EXISTS when the new name
/// exists, so a move never replaces anything; files move across file systems
/// by copying.
ZEP3_API BOOL MoveFile(LPCSTR existingPath, LPCSTR newPath);
/// Copies a file's bytes and permission bits. With failIfExists an existing
/// target makes the call fail; otherwise the target is overwritten. Copying a
/// file onto itself fails (ERROR_SHARING_VIOLATION) and leaves it intact.
ZEP3_API BOOL CopyFile(LPCSTR existingPath, LPCSTR newPath, BOOL failIfExists);
/// Creates one folder; fails when it exists or its parent is missing. The
/// security attributes are accepted and ignored.
ZEP3_API BOOL CreateDirectory(LPCSTR path, void* securityAttributes = nullptr);
/// Removes an empty folder.
ZEP3_API BOOL RemoveDirectory(LPCSTR path);
/// FILE_ATTRIBUTE_* of a file or folder (symbolic links are followed; a link
/// adds FILE_ATTRIBUTE_REPARSE_POINT); INVALID_FILE_ATTRIBUTES when there is
/// nothing at the path.
ZEP3_API DWORD GetFileAttributes(LPCSTR path);
/// Space of the volume holding path: bytes available to the caller, total
/// bytes and free bytes. Any output may be null. FALSE when the query fails.
ZEP3_API BOOL GetDiskFreeSpaceEx(LPCSTR path, PULARGE_INTEGER freeBytesAvailableToCaller,
                                 PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes);
