// A USB module with the 37 libusb 0.1 exports that plays a device instead
// of reaching one: CLibUSBDevice loads it by path as it loads the real
// module. Bus "001" holds the device (0x190B/0x4654, "/dev/bus/usb/001/004")
// and one of another vendor ("/dev/bus/usb/001/005"). The test drives the
// device through the usbdouble_* exports. Built a second time without
// "usb_bulk_write" (USBDOUBLE_WITHOUT_BULK_WRITE) and a third time without
// "usb_init" (USBDOUBLE_WITHOUT_INIT).
#include <zep3/devices/detail/LibUsb01.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

using namespace zep3::detail;

namespace zep3::detail {
struct usb_dev_handle {
    struct usb_device* device;
};
} // namespace zep3::detail

namespace {

struct Request {
    unsigned char endpoint;
    char* buffer = nullptr;
    int size = 0;
    bool submitted = false;
    bool done = false;
    int result = 0;
};

struct Device {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Request*> pending;      // reads submitted, in order
    std::deque<std::string> transfers; // what the device sends next
    std::string written;
    bool gone = false, holdWrites = false;
    int configuration = 0, interface = -1, altsetting = -1, halts = 0, lastWriteTimeout = 0,
        lastWriteEndpoint = 0;

    // Completes pending reads with the transfers waiting (under the lock).
    void Pump() {
        while (!pending.empty() && (!transfers.empty() || gone)) {
            Request* r = pending.front();
            pending.pop_front();
            if (gone) {
                r->result = -ENODEV;
            } else {
                const std::string& t = transfers.front();
                r->result = int(std::min(t.size(), size_t(r->size)));
                memcpy(r->buffer, t.data(), size_t(r->result));
                transfers.pop_front();
            }
            r->done = true;
        }
        changed.notify_all();
    }
};

Device g_Device;
usb_bus g_Bus;
struct usb_device g_Devices[2];

[[maybe_unused]] void BuildBusList() {
    g_Bus = usb_bus{};
    strcpy(g_Bus.dirname, "001");
    g_Bus.location = 1;
    const unsigned short vendors[2] = {0x190B, 0x1234};
    for (int i = 0; i < 2; ++i) {
        struct usb_device& d = g_Devices[i];
        d = {};
        snprintf(d.filename, sizeof d.filename, "/dev/bus/usb/001/%03d", 4 + i);
        d.bus = &g_Bus;
        d.descriptor.bLength = 18;
        d.descriptor.bDescriptorType = 1;
        d.descriptor.idVendor = vendors[i];
        d.descriptor.idProduct = 0x4654;
        d.devnum = uint8_t(4 + i);
        d.prev = i ? &g_Devices[0] : nullptr;
        d.next = i ? nullptr : &g_Devices[1];
    }
    g_Bus.devices = &g_Devices[0];
}

int Reap(void* context, int timeout, bool cancel) {
    Request* r = static_cast<Request*>(context);
    std::unique_lock<std::mutex> hold(g_Device.lock);
    if (!r || !r->submitted) return -EINVAL;
    if (!g_Device.changed.wait_for(hold, std::chrono::milliseconds(timeout), [r] { return r->done; })) {
        if (!cancel) return -ETIMEDOUT;
        g_Device.pending.erase(std::find(g_Device.pending.begin(), g_Device.pending.end(), r));
        r->submitted = false;
        return -ETIMEDOUT;
    }
    r->submitted = r->done = false;
    return r->result;
}

} // namespace

// ---- the device side, for the test ----

// A fresh device: present, nothing to send, writes taken at once.
EXPORT void usbdouble_Reset() {
    std::lock_guard<std::mutex> hold(g_Device.lock);
    g_Device.transfers.clear();
    g_Device.written.clear();
    g_Device.gone = g_Device.holdWrites = false;
    g_Device.configuration = g_Device.halts = g_Device.lastWriteTimeout = g_Device.lastWriteEndpoint = 0;
    g_Device.interface = g_Device.altsetting = -1;
}

// Bytes the device sends, as transfers of 4096 bytes (the last one shorter).
EXPORT void usbdouble_Feed(const void* bytes, int size) {
    std::lock_guard<std::mutex> hold(g_Device.lock);
    for (int at = 0; at < size; at += 4096)
        g_Device.transfers.emplace_back(static_cast<const char*>(bytes) + at,
                                        size_t(std::min(4096, size - at)));
    g_Device.Pump();
}

EXPORT void usbdouble_Unplug() {
    std::lock_guard<std::mutex> hold(g_Device.lock);
    g_Device.gone = true;
    g_Device.Pump();
}

EXPORT void usbdouble_HoldWrites(int on) {
    std::lock_guard<std::mutex> hold(g_Device.lock);
    g_Device.holdWrites = on != 0;
    g_Device.changed.notify_all();
}

// The bytes written so far (up to size), their count.
EXPORT int usbdouble_Written(char* buffer, int size) {
    std::lock_guard<std::mutex> hold(g_Device.lock);
    const int n = std::min(size, int(g_Device.written.size()));
    memcpy(buffer, g_Device.written.data(), size_t(n));
    return n;
}

EXPORT int usbdouble_PendingReads() {
    std::lock_guard<std::mutex> hold(g_Device.lock);
    return int(g_Device.pending.size());
}

// Configuration, interface, alternate setting, cleared halts, the last write's endpoint and time-out.
EXPORT void usbdouble_State(int* state) {
    std::lock_guard<std::mutex> hold(g_Device.lock);
    const int values[6] = {g_Device.configuration, g_Device.interface,         g_Device.altsetting,
                           g_Device.halts,         g_Device.lastWriteEndpoint, g_Device.lastWriteTimeout};
    memcpy(state, values, sizeof values);
}

// ---- the libusb 0.1 interface ----

#ifndef USBDOUBLE_WITHOUT_INIT
EXPORT void usb_init() { BuildBusList(); }
#endif
EXPORT void usb_set_debug(int) {}
EXPORT int usb_find_busses() { return 1; }
EXPORT int usb_find_devices() { return 2; }
EXPORT usb_bus* usb_get_busses() { return &g_Bus; }
EXPORT usb_dev_handle* usb_open(struct usb_device* dev) { return dev ? new usb_dev_handle{dev} : nullptr; }
EXPORT int usb_close(usb_dev_handle* dev) { return delete dev, 0; }
EXPORT struct usb_device* usb_device(usb_dev_handle* dev) { return dev->device; }
// What the device class never asks for fails.
#define FAILS(name, ...) \
    EXPORT int name(__VA_ARGS__) { return -EIO; }
FAILS(usb_get_string, usb_dev_handle*, int, int, char*, size_t)
FAILS(usb_get_string_simple, usb_dev_handle*, int, char*, size_t)
FAILS(usb_get_descriptor_by_endpoint, usb_dev_handle*, int, unsigned char, unsigned char, void*, int)
FAILS(usb_get_descriptor, usb_dev_handle*, unsigned char, unsigned char, void*, int)
FAILS(usb_bulk_read, usb_dev_handle*, int, char*, int, int)
FAILS(usb_interrupt_write, usb_dev_handle*, int, char*, int, int)
FAILS(usb_interrupt_read, usb_dev_handle*, int, char*, int, int)
FAILS(usb_control_msg, usb_dev_handle*, int, int, int, int, char*, int, int)

#ifndef USBDOUBLE_WITHOUT_BULK_WRITE
EXPORT int usb_bulk_write(usb_dev_handle*, int ep, char* bytes, int size, int timeout) {
    std::unique_lock<std::mutex> hold(g_Device.lock);
    g_Device.lastWriteEndpoint = ep;
    g_Device.lastWriteTimeout = timeout;
    if (!g_Device.changed.wait_for(hold, std::chrono::milliseconds(timeout),
                                   [] { return !g_Device.holdWrites || g_Device.gone; }))
        return -ETIMEDOUT;
    if (g_Device.gone) return -ENODEV;
    g_Device.written.append(bytes, size_t(size));
    return size;
}
#endif
// Setters record what the device class chose.
static int Record(int& field, int value) {
    std::lock_guard<std::mutex> hold(g_Device.lock);
    field = value;
    return 0;
}
EXPORT int usb_set_configuration(usb_dev_handle*, int value) { return Record(g_Device.configuration, value); }
EXPORT int usb_claim_interface(usb_dev_handle* dev, int interface) {
    if (dev->device->descriptor.idVendor != 0x190B) return -EBUSY;
    return Record(g_Device.interface, interface);
}
EXPORT int usb_release_interface(usb_dev_handle*, int) { return Record(g_Device.interface, -1); }
EXPORT int usb_set_altinterface(usb_dev_handle*, int value) { return Record(g_Device.altsetting, value); }
EXPORT int usb_clear_halt(usb_dev_handle*, unsigned int ep) {
    std::lock_guard<std::mutex> hold(g_Device.lock);
    g_Device.halts |= ep == 0x83 ? 1 : ep == 0x03 ? 2 : 4;
    return 0;
}
EXPORT int usb_resetep(usb_dev_handle* dev, unsigned int ep) { return usb_clear_halt(dev, ep); }
EXPORT char* usb_strerror() { return const_cast<char*>("double"); }
EXPORT int usb_reset(usb_dev_handle*) { return 0; }
EXPORT int usb_install_service_np() { return 0; }
EXPORT int usb_uninstall_service_np() { return 0; }
EXPORT int usb_install_driver_np(const char*) { return 0; }
EXPORT const usb_version* usb_get_version() {
    static const usb_version version{{0, 1, 12, 0}, {9, 9, 9, 9}};
    return &version;
}

EXPORT int usb_bulk_setup_async(usb_dev_handle*, void** context, unsigned char ep) {
    *context = new Request{ep};
    return 0;
}
EXPORT int usb_interrupt_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) {
    return usb_bulk_setup_async(dev, context, ep);
}
EXPORT int usb_isochronous_setup_async(usb_dev_handle* dev, void** context, unsigned char ep, int) {
    return usb_bulk_setup_async(dev, context, ep);
}
EXPORT int usb_submit_async(void* context, char* bytes, int size) {
    Request* r = static_cast<Request*>(context);
    std::lock_guard<std::mutex> hold(g_Device.lock);
    if (!r || r->submitted) return -EINVAL;
    if (g_Device.gone) return -ENODEV;
    r->buffer = bytes;
    r->size = size;
    r->submitted = true;
    r->done = false;
    g_Device.pending.push_back(r);
    g_Device.Pump();
    return 0;
}
EXPORT int usb_reap_async(void* context, int timeout) { return Reap(context, timeout, true); }
EXPORT int usb_reap_async_nocancel(void* context, int timeout) { return Reap(context, timeout, false); }
EXPORT int usb_cancel_async(void* context) {
    Request* r = static_cast<Request*>(context);
    std::lock_guard<std::mutex> hold(g_Device.lock);
    auto at = std::find(g_Device.pending.begin(), g_Device.pending.end(), r);
    if (at == g_Device.pending.end()) return 0;
    g_Device.pending.erase(at);
    r->result = -EINTR;
    r->done = true;
    g_Device.changed.notify_all();
    return 0;
}
EXPORT int usb_free_async(void** context) {
    usb_cancel_async(*context);
    delete static_cast<Request*>(*context);
    *context = nullptr;
    return 0;
}
