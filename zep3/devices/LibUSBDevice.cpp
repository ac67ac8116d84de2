#include <zep3/devices/LibUSBDevice.h>
#include <zep3/devices/detail/LibUsbBinding.h>
#include <zep3/devices/detail/UsbStream.h>
#include <zep3/devices/detail/Usbfs.h>
#include <zep3/foundation/Counter.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/WinThread.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace zep3::detail;

namespace {

bool IsOurDevice(const usb_device* device) {
    return device->descriptor.idVendor == kUsbVendor && device->descriptor.idProduct == kUsbProduct;
}

// Binds the module the way every binding starts: debug level 255, then the
// busses and devices found. False without the module.
bool Bind(LibUsbBinding& binding) {
    if (!binding.Load()) return false;
    binding.usb_set_debug(255);
    binding.usb_find_busses();
    binding.usb_find_devices();
    return true;
}

} // namespace

struct CLibUSBDevice::Impl {
    LibUsbBinding m_Binding;
    usb_bus* m_pBusList = nullptr; // as found at construction
    usb_dev_handle* m_hDevice = nullptr;
    UsbRing m_Ring;
    // The worker's requests: a context and 4096 data bytes each.
    struct Request {
        void* context = nullptr;
        BYTE data[UsbRing::kSegmentSize];
    };
    std::unique_ptr<Request[]> m_Requests{new Request[UsbRing::kSegments]};
    CWinThread* m_pThread = nullptr;

    Impl() {
        if (Bind(m_Binding)) m_pBusList = m_Binding.usb_get_busses();
    }

    usb_device* Find(const CString& name) const {
        for (usb_bus* bus = m_pBusList; bus; bus = bus->next)
            for (usb_device* device = bus->devices; device; device = device->next)
                if (IsOurDevice(device) && name == device->filename) return device;
        return nullptr;
    }
};

CLibUSBDevice::CLibUSBDevice() : m_pImpl(new Impl) {}

CLibUSBDevice::CLibUSBDevice(const CLibUSBDevice& other) : CUSBDevice(other), m_pImpl(new Impl) {}

CLibUSBDevice& CLibUSBDevice::operator=(const CLibUSBDevice& other) {
    if (this != &other) CloseDevice();
    return *this;
}

CLibUSBDevice::~CLibUSBDevice() { CloseDevice(); }

int CLibUSBDevice::GetDeviceList(CArray<CUSBDeviceDescr, CUSBDeviceDescr const&>& list) {
    list.RemoveAll();
    LibUsbBinding binding;
    if (!Bind(binding)) return 0;
    for (usb_bus* bus = binding.usb_get_busses(); bus; bus = bus->next)
        for (usb_device* device = bus->devices; device; device = device->next)
            if (IsOurDevice(device)) list.Add(CUSBDeviceDescr(device->filename, USB_DEVICE_TYPE_LIBUSB));
    return int(list.GetSize());
}

bool CLibUSBDevice::OpenDeviceBulk(CString const& name) {
    CloseDevice();
    Impl& d = *m_pImpl;
    usb_device* device = d.Find(name);
    if (!device) return false;
    usb_dev_handle* handle = d.m_Binding.usb_open(device);
    if (!handle) return false;
    d.m_Binding.usb_set_configuration(handle, 1);
    if (d.m_Binding.usb_claim_interface(handle, 0) < 0) {
        d.m_Binding.usb_close(handle);
        return false;
    }
    if (d.m_Binding.usb_set_altinterface(handle, 0) < 0) {
        d.m_Binding.usb_release_interface(handle, 0);
        d.m_Binding.usb_close(handle);
        return false;
    }
    d.m_Binding.usb_clear_halt(handle, kUsbInEndpoint);
    d.m_Binding.usb_clear_halt(handle, kUsbOutEndpoint);
    // The requests exist before the worker starts, so that a close at any
    // moment finds them complete to cancel.
    for (int k = 0; k < UsbRing::kSegments; ++k)
        d.m_Binding.usb_bulk_setup_async(handle, &d.m_Requests[k].context, kUsbInEndpoint);
    d.m_Ring.Reset();
    d.m_hDevice = handle;
    d.m_pThread = StartUsbWorker(LibUSBThread, &d, "LibUSBDevice");
    if (d.m_pThread) return true;
    CloseDevice();
    return false;
}

UINT CLibUSBDevice::LibUSBThread(void* param) {
    Impl& d = *static_cast<Impl*>(param);
    const LibUsbBinding& usb = d.m_Binding;
    for (int k = 0; k < UsbRing::kSegments; ++k) {
        Impl::Request& request = d.m_Requests[k];
        usb.usb_submit_async(request.context, reinterpret_cast<char*>(request.data), UsbRing::kSegmentSize);
    }
    CCounter idle;
    int next = 0;
    while (!d.m_Ring.m_bStop) {
        Impl::Request& request = d.m_Requests[next];
        const int got = usb.usb_reap_async_nocancel(request.context, 1000);
        if (got < 0) {
            // Nothing for more than 3 s: the device is taken as gone. A
            // failure that came at once waits a little before the next try.
            if (!idle.IsRunning()) {
                idle.Start();
            } else if (idle.GetCounts() >= 3001) {
                d.m_Ring.m_bDeviceGone = true;
                d.m_Ring.m_bStop = true;
            }
            if (got != -ETIMEDOUT) SleepMilliseconds(10);
            continue;
        }
        const int kept = std::min(got, UsbRing::kSegmentSize);
        BYTE* segment = d.m_Ring.WriteSegment();
        memcpy(segment, request.data, size_t(kept));
        memset(segment + kept, 0, size_t(UsbRing::kSegmentSize - kept));
        usb.usb_submit_async(request.context, reinterpret_cast<char*>(request.data), UsbRing::kSegmentSize);
        next = (next + 1) % UsbRing::kSegments;
        d.m_Ring.CommitSegment();
        idle.Stop();
    }
    d.m_Ring.m_bThreadEnded = true;
    return 0;
}

bool CLibUSBDevice::CloseDevice() {
    Impl& d = *m_pImpl;
    if (!d.m_hDevice) return true;
    const LibUsbBinding& usb = d.m_Binding;
    d.m_Ring.m_bStop = true;
    for (int k = 0; k < UsbRing::kSegments; ++k)
        if (d.m_Requests[k].context) usb.usb_cancel_async(d.m_Requests[k].context);
    StopUsbWorker(d.m_pThread);
    for (int k = 0; k < UsbRing::kSegments; ++k)
        if (d.m_Requests[k].context) usb.usb_free_async(&d.m_Requests[k].context);
    usb.usb_release_interface(d.m_hDevice, 0);
    const int closed = usb.usb_close(d.m_hDevice);
    d.m_hDevice = nullptr;
    return closed >= 0;
}

int CLibUSBDevice::GetAvailableRead() { return m_pImpl->m_Ring.Available(); }

int CLibUSBDevice::ReadPipe(void* buffer, int size, bool* overflow, int* freeRequests) {
    Impl& d = *m_pImpl;
    const int n = d.m_Ring.Read(buffer, size, overflow);
    if (freeRequests) *freeRequests = 0;
    if (n == 0 && d.m_Ring.m_bDeviceGone) SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return n;
}

int CLibUSBDevice::WritePipe(void* data, int size) {
    Impl& d = *m_pImpl;
    if (!d.m_hDevice) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (d.m_Binding.usb_bulk_write(d.m_hDevice, kUsbOutEndpoint, static_cast<char*>(data), size, 1000) >= 0)
        return 1;
    SetLastError(d.m_Ring.m_bDeviceGone ? ERROR_DEVICE_NOT_CONNECTED : ERROR_IO_DEVICE);
    return 0;
}
