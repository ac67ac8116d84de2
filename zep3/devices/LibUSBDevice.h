#pragma once
/// @class CLibUSBDevice
/// A USB device (vendor 0x190B, product 0x4654) reached
/// through the libusb 0.1 interface with its asynchronous extension, loaded
/// at run time from the module "libzep3usb.so" installed beside the library
/// (the project's own module over libusb-1.0, in place of "libusb0.dll").
///
/// The object binds the module at construction and keeps it, with the bus
/// list found then, until destruction; without the module it cannot open. A
/// device's name is its file name in that list: the device file
/// /dev/bus/usb/BBB/DDD. Opening sets configuration 1, claims interface 0
/// with alternate setting 0 and clears endpoints 0x83 and 0x03; a worker
/// thread "LibUSBDevice" keeps 200 asynchronous reads of 4096 bytes in flight
/// on 0x83, and ends by itself after more than 3 seconds without a completed
/// read (the device is taken as gone).
///
/// WritePipe is a synchronous bulk write on 0x03 with a 1000 ms time-out.
/// ReadPipe's *freeRequests is always 0.
///
/// A copy of a device is a closed device with its own binding.
#include <zep3/devices/USBDevice.h>
#include <zep3/platform/Array.h>

#include <memory>

class ZEP3_API CLibUSBDevice : public CUSBDevice {
public:
    CLibUSBDevice();
    CLibUSBDevice(const CLibUSBDevice& other);
    CLibUSBDevice& operator=(const CLibUSBDevice& other);

    /// False without the module or bus list, for a name of no device of
    /// vendor 0x190B and product 0x4654, or when the interface cannot be
    /// claimed or set.
    bool OpenDeviceBulk(CString const& name) override;
    /// Stops the worker, cancels and frees the reads, releases the interface
    /// and closes the device; true when the close succeeds (and when nothing
    /// was open).
    bool CloseDevice() override;
    int GetAvailableRead() override;
    int ReadPipe(void* buffer, int size, bool* overflow, int* freeRequests) override;
    int WritePipe(void* data, int size) override;
    EUSBDeviceType GetUSBDeviceType() override { return USB_DEVICE_TYPE_LIBUSB; }
    /// Closes the device and unloads the module.
    virtual ~CLibUSBDevice();

    /// Binds the module afresh, empties the array and lists the present
    /// devices as (file name, 1); their number, 0 without the module.
    static int GetDeviceList(CArray<CUSBDeviceDescr, CUSBDeviceDescr const&>& list);

private:
    // The worker; param is the device's state.
    static UINT LibUSBThread(void* param);

    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
