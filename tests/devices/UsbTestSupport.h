#pragma once
// The USB tests' stand-ins for a device: usbfs played in memory behind the
// bulk device's kernel interface, and the module that plays a device for
// the libusb device. Both offer the same calls to the tests:
//   Feed(bytes)     the device sends these, as transfers of 4096 bytes (the last shorter);
//   Unplug()        the device goes away: reads in flight fail, nothing more is taken;
//   HoldWrites(on)  while held, the device takes no writes;
//   Written()       every byte written to the output endpoint so far;
//   PendingReads()  reads in flight.
#include <zep3/devices/detail/Usbfs.h>
#include <zep3/zep3.h>

#include <memory>
#include <string>

namespace devicestest {

// usbfs in memory, with one device "/dev/bus/usb/001/004" named "Data Logger",
// serial "SN42". Installed as the bulk devices' backend for its life.
class FakeUsbfs {
public:
    FakeUsbfs();
    ~FakeUsbfs();
    void Feed(const std::string& bytes);
    void Unplug();
    void HoldWrites(bool on);
    std::string Written();
    int PendingReads();
    bool Claimed() const;

private:
    class Backend;
    std::shared_ptr<Backend> m_backend;
};

// The module plugins/LibUsbDouble.so (or one of its variants), loaded by
// path by every CLibUSBDevice made during the object's life.
class LibUsbModuleDouble {
public:
    explicit LibUsbModuleDouble(const std::string& module = "LibUsbDouble.so");
    ~LibUsbModuleDouble();
    void Feed(const std::string& bytes) { Call<void>("usbdouble_Feed", bytes.data(), int(bytes.size())); }
    void Unplug() { Call<void>("usbdouble_Unplug"); }
    void HoldWrites(bool on) { Call<void>("usbdouble_HoldWrites", int(on)); }
    std::string Written();
    int PendingReads() { return Call<int>("usbdouble_PendingReads"); }
    // Configuration, interface, alternate setting, halts cleared (1: 0x83,
    // 2: 0x03), the last write's endpoint and time-out.
    void State(int state[6]) { Call<void>("usbdouble_State", state); }
    const std::string& Path() const { return m_path; }

private:
    template <class R, class... Args> R Call(const char* name, Args... args) {
        return reinterpret_cast<R (*)(Args...)>(GetProcAddress(m_module, name))(args...);
    }
    std::string m_path;
    HMODULE m_module;
};

} // namespace devicestest
