#pragma once
/// @class CNamedPipe
/// The server or client end of a local named pipe
/// `"\\.\pipe\NAME"`. A byte pipe is a Unix stream socket, a message pipe
/// (PIPE_TYPE_MESSAGE) a Unix sequenced-packet socket, which keeps the
/// boundaries of the messages written; see docs/ftp-and-channels.md for
/// where the names live. Pipes on other machines (`"\\server\pipe\NAME"`) are
/// not reached: those names fail with ERROR_BAD_NETPATH.
///
/// The modes and access keep the Windows names and numbers below and are
/// passed through unchanged. Failures return false and set the thread's last
/// error (GetLastError) to the Windows number: ERROR_FILE_NOT_FOUND for a
/// name nobody created, ERROR_PIPE_BUSY, ERROR_BROKEN_PIPE at the end of the
/// other side's data, ERROR_MORE_DATA when a message is longer than the read,
/// ERROR_INVALID_HANDLE after Close. Nothing is thrown.
///
/// Every instance of one pipe lives in one process; a second process that
/// creates a name in use fails with ERROR_ACCESS_DENIED. The buffer sizes and
/// the default time-out are advisory, as on Windows; writes block while the
/// other side's buffer is full.
///
/// The handle: Assing and assignment copy it, so that both objects use the
/// same pipe; Close ends it for all of them. An object destroyed without
/// Close lets its hold go, and the pipe closes with its last holder. Reads,
/// writes and waits may run on other threads than the one that calls Close,
/// which ends them (ERROR_OPERATION_ABORTED).
#include <zep3/platform/LastError.h>
#include <zep3/platform/String.h>

#define PIPE_ACCESS_INBOUND 0x00000001
#define PIPE_ACCESS_OUTBOUND 0x00000002
#define PIPE_ACCESS_DUPLEX 0x00000003
#define FILE_FLAG_FIRST_PIPE_INSTANCE 0x00080000
#define PIPE_TYPE_BYTE 0x00000000
#define PIPE_TYPE_MESSAGE 0x00000004
#define PIPE_READMODE_BYTE 0x00000000
#define PIPE_READMODE_MESSAGE 0x00000002
#define PIPE_WAIT 0x00000000
#define PIPE_NOWAIT 0x00000001
#define PIPE_UNLIMITED_INSTANCES 255
#ifndef GENERIC_READ
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_ALL 0x10000000u
#define FILE_READ_DATA 0x0001
#define FILE_WRITE_DATA 0x0002
#endif

class ZEP3_API CNamedPipe {
public:
    CNamedPipe();
    /// Lets this object's hold on the handle go (see above).
    ~CNamedPipe();
    CNamedPipe(const CNamedPipe& other);
    CNamedPipe& operator=(const CNamedPipe& other);
    /// Uses the handle of `other` (the framework's spelling is kept).
    void Assing(const CNamedPipe& other);

    /// Creates one instance of the server end of the pipe `name`
    /// (`"\\.\pipe\NAME"`): openMode holds the access (PIPE_ACCESS_INBOUND,
    /// _OUTBOUND, _DUPLEX, optionally FILE_FLAG_FIRST_PIPE_INSTANCE), pipeMode
    /// the type and read mode (PIPE_TYPE_BYTE or _MESSAGE, PIPE_READMODE_BYTE
    /// or _MESSAGE). maxInstances (1 to 255, 255 unlimited) is set by the
    /// first instance; one more fails with ERROR_PIPE_BUSY. True when a
    /// handle was obtained.
    bool Create(CString const& name, unsigned long inBufferSize, unsigned long outBufferSize,
                unsigned long defaultTimeOut, unsigned long maxInstances, unsigned long openMode,
                unsigned long pipeMode);
    /// Waits until a client connects to this instance; true also when one
    /// had connected before the call. Waits as long as it takes; a Close ends
    /// the wait.
    bool WaitForConnection();
    /// Opens the client end of an existing pipe with `access` (GENERIC_READ,
    /// GENERIC_WRITE) and sets the read mode (PIPE_READMODE_BYTE or
    /// _MESSAGE). When every instance is busy, waits up to 10000 ms for a
    /// free one and tries again. On failure the handle is INVALID_HANDLE_VALUE.
    bool Connect(CString const& name, unsigned long readMode, unsigned long access);
    /// The number of bytes waiting to be read, without reading them; false
    /// (ERROR_BROKEN_PIPE) once the other side has gone and nothing waits.
    bool DataAvailable(unsigned long* bytes);
    /// One blocking read: waits for data and reads up to size bytes -- in
    /// message read mode at most one message; the rest of a longer message
    /// comes with the next reads, after this one failed with ERROR_MORE_DATA.
    bool Read(void* data, unsigned long size, unsigned long* done);
    /// One blocking write of all the bytes; on a message pipe, one message.
    bool Write(void* data, unsigned long size, unsigned long* done);
    /// Disconnects the client, then Close(). What was written stays readable
    /// by the client up to the end of the pipe, so the flush does not wait.
    void Destroy();
    /// Closes the handle and sets it to null.
    void Close();

    HANDLE m_hPipe; ///< null before Create or Connect and after Close
};
