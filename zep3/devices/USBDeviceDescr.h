#pragma once
/// @class CUSBDeviceDescr
/// One present USB device as the device lists give it.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

// Which class reaches the device.
enum EUSBDeviceType {
    USB_DEVICE_TYPE_BULK = 0,  ///< CBulkUSBDevice (usbfs)
    USB_DEVICE_TYPE_LIBUSB = 1 ///< CLibUSBDevice (the libusb 0.1 module)
};

class ZEP3_API CUSBDeviceDescr {
public:
    CUSBDeviceDescr() = default;
    CUSBDeviceDescr(const CString& name, int type) : m_DeviceName(name), m_DeviceType(type) {}

    /// The name OpenDeviceBulk takes: the device file, /dev/bus/usb/BBB/DDD.
    CString m_DeviceName;
    /// An EUSBDeviceType.
    int m_DeviceType = USB_DEVICE_TYPE_BULK;
};
