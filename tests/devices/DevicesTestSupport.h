#pragma once
// What the device tests share: pseudo-terminal pairs whose slave stands in
// for a serial port, the test double of the modem lines, and
// the paths of the plug-in modules the suite builds.
#include "support/TestSupport.h"

#include <zep3/devices/detail/SerialDevice.h>
#include <zep3/zep3.h>

#include <mutex>
#include <string>

namespace devicestest {

// A pseudo-terminal pair; the slave's path opens as a port. The test keeps
// the master (non-blocking) and a slave descriptor of its own, through which
// it sees the terminal's settings and input queue.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& Path() const { return m_path; }
    int Master() const { return m_master; }
    int Slave() const { return m_slave; }
    // Writes all of `bytes` to the master (the port receives them).
    void Send(const std::string& bytes) const;
    // Reads from the master until `size` bytes came or 10 s passed.
    std::string Receive(size_t size) const;
    // Bytes waiting in the port's input queue.
    int Queued() const;
    // Closes the master: the port sees the line hang up.
    void HangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

// Sets ZEP3_COM<n> to the path for the object's life.
class ComAlias {
public:
    ComAlias(int n, const std::string& path);
    ~ComAlias();
    CString Name() const { return CSerialPort::GetComStr(m_n); }

private:
    int m_n;
};

using zep3test::registeredThreadNames;

// Modem lines a test sets by hand, counted as a serial driver counts them.
// One object is shared by every port opened while it is installed.
class FakeLines {
public:
    FakeLines();  // installs itself as the factory of new ports' lines
    ~FakeLines(); // restores the device's own lines
    // Sets MS_CTS_ON, MS_DSR_ON or MS_RLSD_ON; a change counts.
    void Set(DWORD line, bool on);
    // One ring (the indicator on, then off) or one break counted.
    void Ring();
    void Break();
    // The escape codes applied so far, in order, each followed by " ".
    std::string Escapes() const;
    // Makes the lines unreadable, as a device without them.
    void SetBroken(bool broken);

private:
    class Lines;
    mutable std::mutex m_lock;
    DWORD m_status = 0;
    zep3::detail::LineCounts m_counts;
    std::string m_escapes;
    bool m_broken = false;
};

// The folder of the plug-in modules the suite builds, with a trailing "/".
inline std::string PluginFolder() { return ZEP3_DEVICES_PLUGIN_DIR "/"; }

} // namespace devicestest
