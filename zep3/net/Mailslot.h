#pragma once
/// @class CMailslot
/// A local mailslot `"\\.\mailslot\NAME"`: one reader that creates
/// it and any number of writers that connect to it, each write one message.
/// Here it is a Unix datagram socket (see docs/ftp-and-channels.md for where
/// the names live); mailslots on other machines or domains
/// (`"\\server\mailslot\NAME"`, `"\\*\mailslot\NAME"`) are not reached: those
/// names fail with ERROR_BAD_NETPATH.
///
/// Failures return false and set the thread's last error to the Windows
/// number: ERROR_ALREADY_EXISTS when the name is in use, ERROR_FILE_NOT_FOUND
/// for a name nobody created, ERROR_SEM_TIMEOUT when no message came in time,
/// ERROR_INSUFFICIENT_BUFFER when the next message is longer than the read
/// (it stays waiting), ERROR_INVALID_HANDLE after Close. Nothing is thrown.
///
/// The handle is shared by assignment as with CNamedPipe: Close ends it for
/// every object that holds it; an object destroyed without Close lets its
/// hold go, and the mailslot closes with its last holder.
#include <zep3/platform/LastError.h>
#include <zep3/platform/String.h>

#define MAILSLOT_NO_MESSAGE ((DWORD)-1)
#define MAILSLOT_WAIT_FOREVER ((DWORD)-1)

class ZEP3_API CMailslot {
public:
    CMailslot();
    ~CMailslot();
    CMailslot(const CMailslot& other);
    CMailslot& operator=(const CMailslot& other);

    /// Creates the reading end: messages of at most maxMessageSize bytes (0:
    /// any size the system carries, about 200 KB), and reads that wait up to
    /// readTimeout ms for a message (MAILSLOT_WAIT_FOREVER: as long as it takes;
    /// a Close ends the wait).
    bool Create(CString const& name, unsigned long maxMessageSize, unsigned long readTimeout);
    /// Opens an existing mailslot for writing.
    bool Connect(CString const& name);
    /// Reading end: true when it could be examined; nextSize receives the size
    /// of the next message, or MAILSLOT_NO_MESSAGE when none waits.
    bool MessageAvailable(unsigned long* nextSize);
    /// Reading end: takes the next message, waiting up to the read time-out.
    bool Read(void* data, unsigned long size, unsigned long* done);
    /// Writing end: sends one message. A message longer than the mailslot's
    /// maximum fails (ERROR_INVALID_PARAMETER); a full mailslot is waited for
    /// up to 10 s (then ERROR_SEM_TIMEOUT).
    bool Write(void* data, unsigned long size, unsigned long* done);
    /// Closes the handle and sets it to null.
    void Close();

    HANDLE m_hMailslot; ///< null before Create or Connect and after Close
};
