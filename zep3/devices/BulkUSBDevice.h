#pragma once
/// @class CBulkUSBDevice
/// A USB device (vendor 0x190B, product 0x4654) reached
/// through the kernel's usbfs, the Linux stand-in for the vendor's bulk driver.
///
/// Devices are found in sysfs; the device path is the device file
/// /dev/bus/usb/BBB/DDD (bus and device number). Opening claims interface 0:
/// pipe 0 is the input endpoint 0x83, pipe 1 the output endpoint 0x03. A
/// worker thread "BulkUSBDevice" keeps 200 reads of 4096 bytes in flight as
/// asynchronous requests, read k into ring segment k, completing in order.
///
/// WritePipe waits up to 1000 ms for the previous write to complete (0 on
/// time-out), then queues the new one and returns 1 at once. usbfs takes a
/// copy of the bytes as the write is queued, so the caller's buffer is free
/// again when WritePipe returns.
///
/// A copy of a device is a closed device: two objects never own one open
/// device file.
#include <zep3/devices/USBDevice.h>
#include <zep3/platform/Array.h>

#include <memory>

class ZEP3_API CBulkUSBDevice : public CUSBDevice {
public:
    /// One present device: its device file, a name to show (the device's
    /// product string, else its first interface's string, else the path) and
    /// its serial-number string.
    class ZEP3_API CDeviceDescription {
    public:
        CString m_DevicePath;
        CString m_DisplayName;
        CString m_SerialText;
    };

    CBulkUSBDevice();
    CBulkUSBDevice(const CBulkUSBDevice& other);
    CBulkUSBDevice& operator=(const CBulkUSBDevice& other);

    /// False when the device is not listed, its file cannot be opened or
    /// interface 0 cannot be claimed.
    bool OpenDeviceBulk(CString const& name) override;
    /// Stops the worker (ended by force when it has not ended within about
    /// one second), closes the device file. True.
    bool CloseDevice() override;
    int GetAvailableRead() override;
    /// *freeRequests: 200 minus the largest number of reads the worker found
    /// already complete in one pass since the previous call.
    int ReadPipe(void* buffer, int size, bool* overflow, int* freeRequests) override;
    int WritePipe(void* data, int size) override;
    EUSBDeviceType GetUSBDeviceType() override { return USB_DEVICE_TYPE_BULK; }
    /// Closes the device.
    virtual ~CBulkUSBDevice();

    /// Empties the array and lists the present devices as (path, 0); their number.
    static int GetDeviceList(CArray<CUSBDeviceDescr, CUSBDeviceDescr const&>& list);

private:
    // Appends the present devices of the device-interface class, given as its
    // GUID text ("{37538c66-9584-42d3-9632-ebad0a230d13}"; no other class has
    // devices); their number.
    static int GetDeviceStrings(const CString& interfaceClass,
                                CArray<CDeviceDescription, CDeviceDescription const&>& list);
    // The 9x platforms' registry path for the serial text is never taken here.
    static bool IsWin98() { return false; }
    // Pipe 0: claims the interface and starts the worker; pipe 1: the output
    // pipe is ready. False when the device does not allow it.
    bool OpenPipe(int pipe);
    // The worker; param is the device's state.
    static UINT USBThread(void* param);

    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
