#include <zep3/devices/BulkUSBDevice.h>
#include <zep3/devices/detail/UsbStream.h>
#include <zep3/devices/detail/Usbfs.h>
#include <zep3/platform/Event.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/WinThread.h>

#include <cerrno>
#include <cstring>
#include <vector>

using namespace zep3::detail;

namespace {

const char* const kInterfaceClass = "{37538c66-9584-42d3-9632-ebad0a230d13}";

bool DeviceGone(int error) { return error == ENODEV || error == ESHUTDOWN; }

} // namespace

struct CBulkUSBDevice::Impl {
    CString m_DevicePath;
    std::unique_ptr<UsbfsFile> m_pFile; // the device file; its interface 0 is claimed while open
    UsbRing m_Ring;
    std::atomic<int> m_MaxBacklog{0};
    HANDLE m_hWriteEvent = nullptr;                                // signalled while no write is in flight
    std::unique_ptr<usbdevfs_urb> m_pWriteUrb{new usbdevfs_urb()}; // the write in flight
    CWinThread* m_pThread = nullptr;

    // The worker's pass over one completed read, and its leaving.
    struct Reads;
};

// The worker's 200 requests: read k goes into ring segment k, and the reads
// complete in order, so the one expected next always fills the segment at
// the write position.
struct CBulkUSBDevice::Impl::Reads {
    Impl& d;
    std::vector<usbdevfs_urb> urbs = std::vector<usbdevfs_urb>(UsbRing::kSegments);
    std::vector<bool> done = std::vector<bool>(UsbRing::kSegments);
    std::vector<bool> queued = std::vector<bool>(UsbRing::kSegments);
    int next = 0;

    bool Queue(int k) {
        usbdevfs_urb& urb = urbs[size_t(k)];
        urb = usbdevfs_urb{};
        urb.type = USBDEVFS_URB_TYPE_BULK;
        urb.endpoint = kUsbInEndpoint;
        urb.buffer = d.m_Ring.Segment(k);
        urb.buffer_length = UsbRing::kSegmentSize;
        urb.usercontext = &urb;
        queued[size_t(k)] = d.m_pFile->Submit(&urb);
        return queued[size_t(k)];
    }

    // Takes a reaped request: a read is marked complete, the write's
    // completion frees the output pipe.
    void Take(usbdevfs_urb* urb) {
        if (urb == d.m_pWriteUrb.get()) {
            SetEvent(d.m_hWriteEvent);
            return;
        }
        const size_t k = size_t(urb - urbs.data());
        queued[k] = false;
        done[k] = true;
    }

    // Stores the completed read `next` and queues it again. A read that
    // failed counts as an empty transfer (after a short pause, so that a
    // stalled pipe does not spin the worker). False when the device has gone
    // or takes no more reads.
    bool Complete() {
        usbdevfs_urb& urb = urbs[size_t(next)];
        done[size_t(next)] = false;
        if (DeviceGone(-urb.status)) return false;
        if (urb.status != 0) SleepMilliseconds(10);
        const int got = urb.status == 0 ? urb.actual_length : 0;
        memset(static_cast<BYTE*>(urb.buffer) + got, 0, size_t(UsbRing::kSegmentSize - got));
        d.m_Ring.CommitSegment();
        if (!Queue(next)) return false;
        next = (next + 1) % UsbRing::kSegments;
        return true;
    }

    // Reaps what has completed already and keeps the largest run of complete
    // reads waiting behind the one expected next.
    void CountBacklog() {
        while (usbdevfs_urb* urb = d.m_pFile->Reap(0)) Take(urb);
        int backlog = 0;
        while (backlog < UsbRing::kSegments && done[size_t((next + backlog) % UsbRing::kSegments)]) ++backlog;
        if (backlog > d.m_MaxBacklog.load()) d.m_MaxBacklog.store(backlog);
    }

    // Cancels what is still queued (the write too) and reaps it, so that no
    // request outlives the worker.
    void Cancel() {
        int pending = 0;
        for (int k = 0; k < UsbRing::kSegments; ++k)
            if (queued[size_t(k)] && d.m_pFile->Discard(&urbs[size_t(k)])) ++pending;
        if (WaitForSingleObject(d.m_hWriteEvent, 0) != WAIT_OBJECT_0 &&
            d.m_pFile->Discard(d.m_pWriteUrb.get()))
            ++pending;
        const Deadline deadline = Deadline::After(1000);
        while (pending > 0 && !deadline.HasPassed()) {
            usbdevfs_urb* urb = d.m_pFile->Reap(deadline.RemainingMilliseconds());
            if (!urb && errno != EINTR) break;
            if (urb) {
                Take(urb);
                --pending;
            }
        }
        SetEvent(d.m_hWriteEvent);
    }
};

CBulkUSBDevice::CBulkUSBDevice() : m_pImpl(new Impl) {}

CBulkUSBDevice::CBulkUSBDevice(const CBulkUSBDevice& other) : CUSBDevice(other), m_pImpl(new Impl) {}

CBulkUSBDevice& CBulkUSBDevice::operator=(const CBulkUSBDevice& other) {
    if (this != &other) CloseDevice();
    return *this;
}

CBulkUSBDevice::~CBulkUSBDevice() { CloseDevice(); }

int CBulkUSBDevice::GetDeviceStrings(const CString& interfaceClass,
                                     CArray<CDeviceDescription, CDeviceDescription const&>& list) {
    if (interfaceClass.CompareNoCase(kInterfaceClass) != 0) return 0;
    const std::vector<UsbfsDeviceEntry> found = CurrentUsbfsBackend()->Enumerate();
    for (const UsbfsDeviceEntry& entry : found) {
        CDeviceDescription description;
        description.m_DevicePath = entry.path.c_str();
        description.m_DisplayName = entry.name.c_str();
        description.m_SerialText = entry.serial.c_str();
        list.Add(description);
    }
    return int(found.size());
}

int CBulkUSBDevice::GetDeviceList(CArray<CUSBDeviceDescr, CUSBDeviceDescr const&>& list) {
    list.RemoveAll();
    CArray<CDeviceDescription, CDeviceDescription const&> found;
    GetDeviceStrings(kInterfaceClass, found);
    for (const CDeviceDescription& device : found)
        list.Add(CUSBDeviceDescr(device.m_DevicePath, USB_DEVICE_TYPE_BULK));
    return int(list.GetSize());
}

bool CBulkUSBDevice::OpenDeviceBulk(CString const& name) {
    CloseDevice();
    Impl& d = *m_pImpl;
    d.m_Ring.Reset();
    d.m_hWriteEvent = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    CArray<CDeviceDescription, CDeviceDescription const&> found;
    GetDeviceStrings(kInterfaceClass, found);
    bool listed = false;
    for (const CDeviceDescription& device : found) listed = listed || device.m_DevicePath == name;
    if (!listed) return false;
    d.m_DevicePath = name;
    d.m_pFile = CurrentUsbfsBackend()->Open(std::string(name));
    if (d.m_pFile && OpenPipe(0) && OpenPipe(1)) return true;
    CloseDevice();
    return false;
}

bool CBulkUSBDevice::OpenPipe(int pipe) {
    Impl& d = *m_pImpl;
    if (!d.m_pFile) return false;
    if (pipe != 0) return true; // the output endpoint needs no opening
    if (!d.m_pFile->ClaimInterface(0)) return false;
    d.m_Ring.Reset();
    d.m_MaxBacklog = 0;
    d.m_pThread = StartUsbWorker(USBThread, &d, "BulkUSBDevice");
    return d.m_pThread != nullptr;
}

UINT CBulkUSBDevice::USBThread(void* param) {
    Impl& d = *static_cast<Impl*>(param);
    Impl::Reads reads{d};
    bool alive = true;
    for (int k = 0; k < UsbRing::kSegments && alive; ++k) alive = reads.Queue(k);
    while (alive && !d.m_Ring.m_bStop) {
        if (!reads.done[size_t(reads.next)]) {
            usbdevfs_urb* urb = d.m_pFile->Reap(1000);
            if (urb) reads.Take(urb);
            alive = urb || !DeviceGone(errno);
            continue;
        }
        alive = reads.Complete();
        if (alive) reads.CountBacklog();
    }
    if (!alive) d.m_Ring.m_bDeviceGone = true;
    reads.Cancel();
    d.m_Ring.m_bThreadEnded = true;
    return 0;
}

bool CBulkUSBDevice::CloseDevice() {
    Impl& d = *m_pImpl;
    d.m_Ring.m_bStop = true;
    if (d.m_pThread && d.m_pFile) d.m_pFile->Wake();
    StopUsbWorker(d.m_pThread);
    if (d.m_hWriteEvent) CloseHandle(d.m_hWriteEvent);
    d.m_hWriteEvent = nullptr;
    d.m_pFile.reset();
    return true;
}

int CBulkUSBDevice::GetAvailableRead() { return m_pImpl->m_Ring.Available(); }

int CBulkUSBDevice::ReadPipe(void* buffer, int size, bool* overflow, int* freeRequests) {
    Impl& d = *m_pImpl;
    const int n = d.m_Ring.Read(buffer, size, overflow);
    if (freeRequests) *freeRequests = UsbRing::kSegments - d.m_MaxBacklog.exchange(0);
    if (n == 0 && d.m_Ring.m_bDeviceGone) SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return n;
}

int CBulkUSBDevice::WritePipe(void* data, int size) {
    Impl& d = *m_pImpl;
    if (!d.m_pThread || d.m_Ring.m_bThreadEnded) {
        SetLastError(d.m_Ring.m_bDeviceGone ? ERROR_DEVICE_NOT_CONNECTED : ERROR_INVALID_HANDLE);
        return 0;
    }
    if (WaitForSingleObject(d.m_hWriteEvent, 1000) != WAIT_OBJECT_0) return 0;
    ResetEvent(d.m_hWriteEvent);
    usbdevfs_urb& urb = *d.m_pWriteUrb;
    urb = usbdevfs_urb{};
    urb.type = USBDEVFS_URB_TYPE_BULK;
    urb.endpoint = kUsbOutEndpoint;
    urb.buffer = data;
    urb.buffer_length = size;
    urb.usercontext = &urb;
    if (d.m_pFile->Submit(&urb)) return 1;
    SetLastError(DeviceGone(errno) ? ERROR_DEVICE_NOT_CONNECTED : ZEP3ErrorFromErrno(errno));
    SetEvent(d.m_hWriteEvent);
    return 0;
}
