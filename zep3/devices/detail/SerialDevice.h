#pragma once
// An open serial port on a terminal device: the one place where the serial
// classes meet termios, and the interface through which a test double stands
// in for the modem lines (a pseudo-terminal has none).
//
// Every blocking call watches two wake-ups besides the device: the device's
// own close signal (Close ends every wait at once and then waits for the
// calls in progress to leave before it closes the descriptor, so a
// descriptor is never closed under a thread still using it) and a WakeEvent
// of the caller's (the stand-in for an overlapped block's event).
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/WinTypes.h>
#include <zep3/platform/detail/Posix.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <termios.h>

namespace zep3::detail {

// Transitions counted since the port was opened, as the serial driver keeps
// them: CTS, DSR and carrier changes, trailing edges of the ring indicator,
// breaks, and framing, overrun and parity errors.
struct LineCounts {
    DWORD cts = 0, dsr = 0, ring = 0, rlsd = 0, breaks = 0, errors = 0;
};

// The modem lines of one open port.
class ZEP3_TEST_API ModemLines {
public:
    virtual ~ModemLines();
    // MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON as they stand; false
    // when they cannot be read.
    virtual bool GetStatus(DWORD& status) = 0;
    // SETDTR, CLRDTR, SETRTS or CLRRTS; false when refused.
    virtual bool Escape(DWORD code) = 0;
    // The counters now; false when the device keeps none and has no status.
    virtual bool GetCounts(LineCounts& counts) = 0;
};

// Test hook: ports opened from now on get their lines from the factory
// (given the port's descriptor); an empty factory restores the device's own.
using ModemLinesFactory = std::function<std::unique_ptr<ModemLines>(int fd)>;
ZEP3_TEST_API void SetModemLinesFactory(ModemLinesFactory factory);

// The device behind a port name: "COMn" (any case, also "\\.\COMn") is
// /dev/ttyS(n-1) unless the environment variable ZEP3_COMn names another
// device; every other name is taken as given.
ZEP3_TEST_API std::string SerialDevicePath(const char* port);

// A wake-up a waiting call watches (an eventfd): set by Signal, cleared by Clear.
class WakeEvent {
public:
    WakeEvent();
    bool IsValid() const { return m_fd.IsOpen(); }
    int Fd() const { return m_fd.Get(); }
    void Signal() const;
    void Clear() const;
    // Waits up to `milliseconds` for the signal; true when signalled (left set).
    bool Wait(int milliseconds) const;

private:
    UniqueFd m_fd;
};

// What Open applies: the platform's codes, as CSerialPort::Open takes them.
struct SerialSettings {
    unsigned int baudRate = 9600;
    DWORD eventMask = 0;
    bool xonXoff = false;
    bool rtsHandshake = false;
    BYTE byteSize = 8;
    BYTE parity = 0;
    BYTE stopBits = 0;
};

class SerialDevice {
public:
    // Opens the port exclusively (TIOCEXCL and a non-blocking flock, so that
    // root is held off too) and applies the settings. Null when it cannot be
    // opened: the last error is ERROR_FILE_NOT_FOUND for a missing device,
    // ERROR_ACCESS_DENIED for a busy or forbidden one, ERROR_INVALID_FUNCTION
    // for a file that is no terminal. On success the last error is what the
    // open left, whatever applying the settings did.
    static std::shared_ptr<SerialDevice> Open(const CString& port, const SerialSettings& settings);
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Ends every wait, lets the calls in progress leave, drops the lock and
    // closes the device. Any thread; more than once does nothing.
    void Close();
    bool IsOpen() const;

    // Up to `size` of the bytes queued now; 0 when none (or closed).
    int ReadQueued(void* buffer, int size);
    // Waits up to `milliseconds` for input, then reads up to `size` bytes.
    // 0 on time-out, wake or close; -1 on a device error (a hang-up).
    int ReadWithin(void* buffer, int size, int milliseconds, const WakeEvent& wake);
    // Writes until done, the deadline passes, the wake is signalled or the
    // device fails. The count written; -1 when closed or nothing could be written
    // because of an error.
    int Write(const void* data, int size, const Deadline& deadline, const WakeEvent& wake);
    // Waits for an event of the event mask and returns the events; 0 when the
    // wake was signalled (it is cleared) or the port closed. Events that came
    // between two waits are reported by the next one.
    DWORD WaitEvent(const WakeEvent& wake);

    bool GetModemStatus(DWORD& status);
    bool Escape(DWORD code);

private:
    class Call;
    SerialDevice(UniqueFd fd, const SerialSettings& settings);
    void Configure();
    DWORD CollectEvents(int& queued);

    UniqueFd m_fd;
    SerialSettings m_settings;
    std::unique_ptr<ModemLines> m_lines;
    WakeEvent m_closed;
    mutable std::mutex m_lock;
    std::condition_variable m_idle;
    bool m_open = true;
    int m_calls = 0;
    // What the last event wait saw (under m_lock).
    LineCounts m_seenCounts;
    int m_seenQueued = 0;
};

// Makes `tio` what the settings ask of the line, as near as termios can:
// raw bytes, no XON/XOFF limits, RTS handshake as CRTSCTS, one and a half
// stop bits as two. False when the rate has no Bxxx constant (the caller
// then sets it with SetCustomBaudRate).
ZEP3_TEST_API bool MakeTermios(const SerialSettings& settings, termios& tio);
// Sets a rate that has no Bxxx constant (termios2); false when refused.
bool SetCustomBaudRate(int fd, unsigned int rate);

} // namespace zep3::detail
