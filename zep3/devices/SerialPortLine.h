#pragma once
/// @class CSerialPortLine
/// A thin synchronous serial port with direct access to the
/// modem lines, and an optional wait thread, "SerialPortLine" (registered with
/// CThreadManager), that waits for communication events of the port's event
/// mask and reports each to a window message and/or a callback.
///
/// Port names and exclusive opens as for CSerialPort. Failures are false,
/// 0 or -1 results; nothing throws.
///
/// Threads: no lock is taken. The event callback runs on the wait thread and
/// the notify message reaches the window's own thread. Reads and writes may
/// come from any thread, one call at a time.
///
/// Copies share the open port (Close on either closes it for both; closing
/// twice is harmless) and take the window, message, callbacks and event mask;
/// the wait thread stays with the object that started it.
#include <zep3/devices/CommConstants.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

#include <memory>

class CWnd;
class CWinThread;

class ZEP3_API CSerialPortLine {
public:
    enum EOutputLine { DTR = 0, RTS = 1 };
    /// Bits of the modem status word.
    enum EInputLine { CTS = 0x10, DSR = 0x20, RING = 0x40, RLSD = 0x80 };
    typedef void (*ReceiveProc)(CString const& chunk, void* user);
    typedef void (*EventProc)(int eventMask);

    CSerialPortLine();
    CSerialPortLine(const CSerialPortLine& other);
    /// Closes this object's port first.
    CSerialPortLine& operator=(const CSerialPortLine& other);
    /// Closes the port.
    virtual ~CSerialPortLine();

    /// "COM%i" of n.
    static CString GetComStr(int n);

    /// Closes first if open; opens `port` with the settings of CSerialPort::Open
    /// (reads and writes time out after 1000 ms). onReceive and user are kept
    /// but not called. False when the port cannot be opened (last error set).
    bool Open(CString const& port, ReceiveProc onReceive, void* user, unsigned int baudRate, unsigned int eventMask,
              bool xonXoff, bool rtsHandshake, unsigned char byteSize, unsigned char parity, unsigned char stopBits);
    /// Closes the port (ending a pending event wait), then stops the wait thread.
    void Close();
    bool IsOpen() const;

    /// True when any bit of `line` is set in the modem status; false when
    /// closed or unreadable.
    bool GetState(EInputLine line) const;
    /// Raises or drops DTR or RTS; only lines 0 and 1, only while open.
    void SetState(EOutputLine line, bool on);
    bool SetDtr(bool on);
    bool SetRts(bool on);
    bool IsDsr() const;
    bool IsCts() const;

    /// Reads what is waiting now, at most `size` bytes; the count (0: none).
    int Read(void* buffer, int size);
    /// Writes and waits for completion; the count written, -1 on failure.
    int Write(void const* data, int size);
    /// Appends all that can be read now to `text` (not cleared first); true
    /// when `text` is then not empty.
    bool ReadStr(CString& text);
    /// True when every byte was written.
    bool WriteStr(CString const& text);
    int WriteChar(char ch);
    /// Writes are synchronous: true.
    bool IsWriteDone() const;

    /// Waits without limit for the next event of the event mask and returns
    /// the events (EV_*); 0 when the wait failed (port closed, or woken by
    /// TerminateWaitThread). Received bytes (EV_RXCHAR), CTS, DSR, RLSD and
    /// ring changes, breaks and line errors are reported.
    unsigned int WaitForEvent();
    /// Stores the three (each may be null or 0) and starts the wait thread
    /// (stopping one already running); true when it started.
    bool RunWaitThread(CWnd* notifyWindow, int message, EventProc onEvent);
    /// Stops the wait thread and waits until it has ended; true.
    bool TerminateWaitThread();

    static const unsigned int m_SetOutput[2];
    static const unsigned int m_ClearOutput[2];

protected:
    /// The wait thread's body; param is the CSerialPortLine.
    static unsigned int WaitThread(void* param);
    /// Posts `message` (wParam the mask, lParam 0) to the notify window when it
    /// has a window handle, then calls the event callback.
    void NotifyEvent(int eventMask);

    CWinThread* m_pWaitThread;
    CWnd* m_pNotifyWnd;
    int m_NotifyMessage;
    EventProc m_pOnEvent;
    ReceiveProc m_pOnReceive;
    void* m_pUser;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
