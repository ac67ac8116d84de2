#pragma once
// The USB tests' stand-ins for a device: usbfs played in memory behind the
// bulk device's kernel interface, and the module that plays a device for
// the libusb device. Both are driven through UsbDouble.
#include <zep3/devices/detail/Usbfs.h>
#include <zep3/zep3.h>

#include <memory>
#include <string>

namespace devicestest {

class UsbDouble {
public:
    virtual ~UsbDouble() = default;
    // The device sends these bytes, as transfers of 4096 bytes (the last shorter).
    virtual void Feed(const std::string& bytes) = 0;
    // The device goes away: reads in flight fail, nothing more is taken.
    virtual void Unplug() = 0;
    // While held, the device takes no writes.
    virtual void HoldWrites(bool on) = 0;
    // Every byte written to the output endpoint so far.
    virtual std::string Written() = 0;
    // Reads in flight.
    virtual int PendingReads() = 0;
};

// usbfs in memory, with one device "/dev/bus/usb/001/004" named "Data Logger",
// serial "SN42". Installed as the bulk devices' backend for its life.
class FakeUsbfs : public UsbDouble {
public:
    FakeUsbfs();
    ~FakeUsbfs() override;
    void Feed(const std::string& bytes) override;
    void Unplug() override;
    void HoldWrites(bool on) override;
    std::string Written() override;
    int PendingReads() override;
    bool Claimed() const;

private:
    class Backend;
    std::shared_ptr<Backend> m_backend;
};

// The module plugins/LibUsbDouble.so (or one of its variants), loaded by
// path by every CLibUSBDevice made during the object's life.
class LibUsbModuleDouble : public UsbDouble {
public:
    explicit LibUsbModuleDouble(const std::string& module = "LibUsbDouble.so");
    ~LibUsbModuleDouble() override;
    void Feed(const std::string& bytes) override;
    void Unplug() override;
    void HoldWrites(bool on) override;
    std::string Written() override;
    int PendingReads() override;
    // Configuration, interface, alternate setting, halts cleared (1: 0x83,
    // 2: 0x03), the last write's endpoint and time-out.
    void State(int state[6]);
    const std::string& Path() const { return m_path; }

private:
    template <class Fn> Fn Export(const char* name);
    std::string m_path;
    HMODULE m_module;
};

} // namespace devicestest
