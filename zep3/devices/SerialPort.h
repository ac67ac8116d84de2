#pragma once
/// @class CSerialPort
/// A buffered serial port. Two worker threads, "SerialRead" and
/// "SerialWrite" (registered with CThreadManager, below-normal priority), move
/// bytes between the device and two texts: what was received, until ReadStr
/// takes it, and what waits to be sent. Texts carry any byte, zero included.
///
/// Port names: "COMn" opens /dev/ttyS(n-1), or the device that the environment
/// variable ZEP3_COMn names; a name beginning with "/" is a device path. The
/// open is exclusive for every process (root included); a busy port fails
/// with the last error ERROR_ACCESS_DENIED, a missing one with
/// ERROR_FILE_NOT_FOUND.
///
/// Threads: every member may be called from any thread. The receive callback
/// runs on the read thread, outside the lock, once per chunk read (at most
/// 1024 bytes); it must not call Open or Close. The write thread holds the
/// lock while it writes, so WriteStr, ReadStr and IsOpen wait for a write in
/// progress to finish. Failures are false results; nothing throws.
#include <zep3/devices/CommConstants.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

#include <memory>

class ZEP3_API CSerialPort {
public:
    typedef void (*ReceiveProc)(CString const& chunk, void* user);

    CSerialPort();
    /// Closes the port.
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    /// "COM%i" of n.
    static CString GetComStr(int n);

    /// Closes first if open, opens `port` with the settings and starts both
    /// threads. parity: NOPARITY .. SPACEPARITY; stopBits: ONESTOPBIT,
    /// ONE5STOPBITS (made two), TWOSTOPBITS; byteSize 5 to 8 (others give 8);
    /// eventMask is kept for the port (this class waits for data only). A read
    /// waits up to 1000 ms for its first byte, writes have no time limit.
    /// False when the port cannot be opened (the last error says why) or a
    /// thread cannot start (the port is closed again).
    bool Open(CString const& port, ReceiveProc onReceive, void* user, unsigned int baudRate, unsigned int eventMask,
              bool xonXoff, bool rtsHandshake, unsigned char byteSize, unsigned char parity, unsigned char stopBits);
    /// Stops both threads (a read or write in progress is abandoned) and
    /// closes the port. Harmless when closed.
    void Close();
    bool IsOpen() const;

    /// Raise or drop DTR / RTS; false when closed or refused by the device.
    bool SetDtr(bool on);
    bool SetRts(bool on);
    /// The current DSR / CTS; false when closed or unreadable.
    bool IsDsr() const;
    bool IsCts() const;

    /// Moves everything received so far into `text` (replacing it); false,
    /// `text` untouched, when nothing was received.
    bool ReadStr(CString& text);
    /// Appends `text` to the output and wakes the write thread; true.
    bool WriteStr(CString const& text);
    /// True when no output is pending (written, or lost by a failed write).
    bool IsWriteDone() const;

    /// The time now as "%H:%M:%S.mmm": the clock read once at the first call,
    /// advanced by the performance counter, so stamps never go back.
    CString GetTimeStr();

protected:
    /// The thread bodies; param is the CSerialPort. Their result is the exit code.
    static unsigned int ReadThread(void* param);
    static unsigned int WriteThread(void* param);
    /// Clears the running flag, wakes both threads and waits until they have
    /// ended, then deletes their thread objects. True.
    bool TerminateThread();

    ReceiveProc m_pOnReceive;
    void* m_pUser;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
