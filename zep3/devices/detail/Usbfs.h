#pragma once
// The kernel side of CBulkUSBDevice: usbfs. Devices of vendor 0x190B and
// product 0x4654 are found in sysfs; each opens as its device file
// /dev/bus/usb/BBB/DDD, on which the worker keeps its reads in flight as
// asynchronous requests (URBs). A test double stands in for the kernel
// behind the same two interfaces (SetUsbfsBackend).
#include <zep3/platform/Export.h>
#include <zep3/platform/detail/Posix.h>

#include <linux/usbdevice_fs.h>
#include <memory>
#include <string>
#include <vector>

namespace zep3::detail {

constexpr unsigned short kUsbVendor = 0x190B;
constexpr unsigned short kUsbProduct = 0x4654;
constexpr unsigned char kUsbInEndpoint = 0x83;
constexpr unsigned char kUsbOutEndpoint = 0x03;

// A present device: its device file, a name to show and its serial text.
struct UsbfsDeviceEntry {
    std::string path, name, serial;
};

// One open device file.
class ZEP3_TEST_API UsbfsFile {
public:
    virtual ~UsbfsFile();
    virtual bool ClaimInterface(unsigned int number) = 0;
    virtual bool ReleaseInterface(unsigned int number) = 0;
    // Queues a request (USBDEVFS_SUBMITURB); false with errno set (ENODEV
    // once the device has gone).
    virtual bool Submit(usbdevfs_urb* urb) = 0;
    // A completed request (USBDEVFS_REAPURB), waiting up to `milliseconds`
    // for one. Null with errno ETIMEDOUT, EINTR after Wake, or ENODEV when
    // the device has gone and nothing completed is left.
    virtual usbdevfs_urb* Reap(int milliseconds) = 0;
    // Cancels a queued request; it is reaped with the status -ENOENT.
    virtual bool Discard(usbdevfs_urb* urb) = 0;
    // Ends a Reap that waits on another thread (or the next one to start).
    virtual void Wake() = 0;
};

class ZEP3_TEST_API UsbfsBackend {
public:
    virtual ~UsbfsBackend();
    // The present devices of vendor 0x190B and product 0x4654.
    virtual std::vector<UsbfsDeviceEntry> Enumerate() = 0;
    // Null (errno set) when the file cannot be opened.
    virtual std::unique_ptr<UsbfsFile> Open(const std::string& path) = 0;
};

// The kernel's usbfs, with sysfs and the device files under the given roots.
ZEP3_TEST_API std::shared_ptr<UsbfsBackend>
MakeUsbfsBackend(const std::string& sysfsDevices = "/sys/bus/usb/devices",
                 const std::string& deviceFiles = "/dev/bus/usb");
// Test hook: the backend the devices use from now on; null restores usbfs.
ZEP3_TEST_API void SetUsbfsBackend(std::shared_ptr<UsbfsBackend> backend);
std::shared_ptr<UsbfsBackend> CurrentUsbfsBackend();

} // namespace zep3::detail
