// libzep3usb.so: the libusb 0.1 interface with the asynchronous extension of
// its Windows port, over libusb-1.0 (Debian's libusb 0.1 has no asynchronous
// calls). CLibUSBDevice loads it at run time as the original loaded
// "libusb0.dll".
//
// The bus list belongs to the module: rescans add what is new and unlink
// what has gone, but free nothing until the module is unloaded, so a list a
// caller still walks never points at freed records. A device's file name is
// its device file, /dev/bus/usb/BBB/DDD, unique over all busses.
#include <zep3/devices/detail/LibUsb01.h>

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#define USB_EXPORT extern "C" __attribute__((visibility("default")))

using namespace zep3::detail;

namespace zep3::detail {

struct usb_dev_handle {
    libusb_device_handle* handle;
    struct usb_device* device;
    int interface; // the claimed interface, -1 when none
};

} // namespace zep3::detail

namespace {

// One device of the bus list with the storage behind its descriptors.
struct DeviceRecord {
    struct usb_device device {};
    libusb_device* handle = nullptr; // referenced until unload
    std::vector<usb_config_descriptor> configs;
    std::deque<std::vector<usb_interface>> interfaces;
    std::deque<std::vector<usb_interface_descriptor>> altsettings;
    std::deque<std::vector<usb_endpoint_descriptor>> endpoints;
    std::deque<std::vector<unsigned char>> extras;

    unsigned char* Extra(const unsigned char* bytes, int length) {
        if (length <= 0) return nullptr;
        extras.emplace_back(bytes, bytes + length);
        return extras.back().data();
    }
};

struct State {
    std::mutex lock;
    libusb_context* context = nullptr;
    usb_bus* busses = nullptr;
    std::vector<std::unique_ptr<usb_bus>> allBusses;
    std::vector<std::unique_ptr<DeviceRecord>> allDevices;
    char error[256] = "";

    ~State() {
        for (auto& record : allDevices) libusb_unref_device(record->handle);
        if (context) libusb_exit(context);
    }
};

State& Module() {
    static State state; // destroyed when the module is unloaded
    return state;
}

// libusb 0.1 reports failures as negative errno values.
int Fail(int libusbError) {
    State& s = Module();
    snprintf(s.error, sizeof s.error, "libusb: %s", libusb_strerror(libusbError));
    switch (libusbError) {
    case LIBUSB_ERROR_INVALID_PARAM:
        return -EINVAL;
    case LIBUSB_ERROR_ACCESS:
        return -EACCES;
    case LIBUSB_ERROR_NO_DEVICE:
        return -ENODEV;
    case LIBUSB_ERROR_NOT_FOUND:
        return -ENOENT;
    case LIBUSB_ERROR_BUSY:
        return -EBUSY;
    case LIBUSB_ERROR_TIMEOUT:
        return -ETIMEDOUT;
    case LIBUSB_ERROR_OVERFLOW:
        return -EOVERFLOW;
    case LIBUSB_ERROR_PIPE:
        return -EPIPE;
    case LIBUSB_ERROR_INTERRUPTED:
        return -EINTR;
    case LIBUSB_ERROR_NO_MEM:
        return -ENOMEM;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return -ENOSYS;
    default:
        return -EIO;
    }
}

int Result(int libusbResult) { return libusbResult < 0 ? Fail(libusbResult) : libusbResult; }

template <class T> void Unlink(T*& head, T* item) {
    if (item->prev) item->prev->next = item->next;
    if (item->next) item->next->prev = item->prev;
    if (head == item) head = item->next;
    item->next = item->prev = nullptr;
}

template <class T> void Append(T*& head, T* item) {
    T** end = &head;
    T* last = nullptr;
    while (*end) {
        last = *end;
        end = &(*end)->next;
    }
    item->prev = last;
    *end = item;
}

void ConvertConfig(DeviceRecord& record, const libusb_config_descriptor& from, usb_config_descriptor& to) {
    to = usb_config_descriptor{from.bLength,
                               from.bDescriptorType,
                               from.wTotalLength,
                               from.bNumInterfaces,
                               from.bConfigurationValue,
                               from.iConfiguration,
                               from.bmAttributes,
                               from.MaxPower,
                               nullptr,
                               record.Extra(from.extra, from.extra_length),
                               from.extra_length};
    std::vector<usb_interface> interfaces(from.bNumInterfaces);
    for (int i = 0; i < from.bNumInterfaces; ++i) {
        const libusb_interface& interface = from.interface[i];
        std::vector<usb_interface_descriptor> alts(size_t(interface.num_altsetting));
        for (int a = 0; a < interface.num_altsetting; ++a) {
            const libusb_interface_descriptor& alt = interface.altsetting[a];
            std::vector<usb_endpoint_descriptor> endpoints(alt.bNumEndpoints);
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                endpoints[size_t(e)] = {
                    ep.bLength,      ep.bDescriptorType, ep.bEndpointAddress,
                    ep.bmAttributes, ep.wMaxPacketSize,  ep.bInterval,
                    ep.bRefresh,     ep.bSynchAddress,   record.Extra(ep.extra, ep.extra_length),
                    ep.extra_length};
            }
            record.endpoints.push_back(std::move(endpoints));
            alts[size_t(a)] = {alt.bLength,
                               alt.bDescriptorType,
                               alt.bInterfaceNumber,
                               alt.bAlternateSetting,
                               alt.bNumEndpoints,
                               alt.bInterfaceClass,
                               alt.bInterfaceSubClass,
                               alt.bInterfaceProtocol,
                               alt.iInterface,
                               record.endpoints.back().data(),
                               record.Extra(alt.extra, alt.extra_length),
                               alt.extra_length};
        }
        record.altsettings.push_back(std::move(alts));
        interfaces[size_t(i)] = {record.altsettings.back().data(), interface.num_altsetting};
    }
    record.interfaces.push_back(std::move(interfaces));
    to.interface = record.interfaces.back().data();
}

DeviceRecord* NewDevice(libusb_device* device, usb_bus* bus) {
    auto record = std::make_unique<DeviceRecord>();
    libusb_device_descriptor d{};
    libusb_get_device_descriptor(device, &d);
    record->handle = libusb_ref_device(device);
    usb_device& to = record->device;
    snprintf(to.filename, sizeof to.filename, "/dev/bus/usb/%03d/%03d", libusb_get_bus_number(device),
             libusb_get_device_address(device));
    to.bus = bus;
    to.descriptor = {d.bLength,         d.bDescriptorType,   d.bcdUSB,          d.bDeviceClass,
                     d.bDeviceSubClass, d.bDeviceProtocol,   d.bMaxPacketSize0, d.idVendor,
                     d.idProduct,       d.bcdDevice,         d.iManufacturer,   d.iProduct,
                     d.iSerialNumber,   d.bNumConfigurations};
    to.dev = record.get();
    to.devnum = libusb_get_device_address(device);
    record->configs.resize(d.bNumConfigurations);
    for (int i = 0; i < d.bNumConfigurations; ++i) {
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_config_descriptor(device, uint8_t(i), &config) != 0) continue;
        ConvertConfig(*record, *config, record->configs[size_t(i)]);
        libusb_free_config_descriptor(config);
    }
    to.config = record->configs.empty() ? nullptr : record->configs.data();
    Module().allDevices.push_back(std::move(record));
    return Module().allDevices.back().get();
}

// The devices libusb sees now; an empty list (and the error) when it cannot tell.
std::vector<libusb_device*> PresentDevices(libusb_device**& list) {
    list = nullptr;
    const ssize_t count = Module().context ? libusb_get_device_list(Module().context, &list) : 0;
    if (count < 0) {
        Fail(int(count));
        return {};
    }
    return std::vector<libusb_device*>(list, list + count);
}

// An asynchronous request of the 0.1 extension.
struct AsyncRequest {
    usb_dev_handle* device;
    unsigned char endpoint;
    unsigned char type; // LIBUSB_TRANSFER_TYPE_*
    int packetSize;     // isochronous packets
    libusb_transfer* transfer = nullptr;
    int completed = 0; // set by the completion callback
    std::atomic<bool> submitted{false};

    bool Done() const { return __atomic_load_n(&completed, __ATOMIC_ACQUIRE) != 0; }
};

void LIBUSB_CALL Completed(libusb_transfer* transfer) {
    __atomic_store_n(&static_cast<AsyncRequest*>(transfer->user_data)->completed, 1, __ATOMIC_RELEASE);
}

// Handles libusb's events until the request completes or the time is up.
bool AwaitCompletion(AsyncRequest& request, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    while (!request.Done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        timeval tv{long(left.count() / 1000000), long(left.count() % 1000000)};
        const int result = libusb_handle_events_timeout_completed(Module().context, &tv, &request.completed);
        if (result < 0 && result != LIBUSB_ERROR_INTERRUPTED && result != LIBUSB_ERROR_TIMEOUT) return false;
    }
    return true;
}

int TransferResult(const libusb_transfer& transfer) {
    switch (transfer.status) {
    case LIBUSB_TRANSFER_COMPLETED: {
        if (transfer.type != LIBUSB_TRANSFER_TYPE_ISOCHRONOUS) return transfer.actual_length;
        int total = 0;
        for (int i = 0; i < transfer.num_iso_packets; ++i)
            total += int(transfer.iso_packet_desc[i].actual_length);
        return total;
    }
    case LIBUSB_TRANSFER_TIMED_OUT:
        return Fail(LIBUSB_ERROR_TIMEOUT);
    case LIBUSB_TRANSFER_CANCELLED:
        return Fail(LIBUSB_ERROR_INTERRUPTED);
    case LIBUSB_TRANSFER_STALL:
        return Fail(LIBUSB_ERROR_PIPE);
    case LIBUSB_TRANSFER_NO_DEVICE:
        return Fail(LIBUSB_ERROR_NO_DEVICE);
    case LIBUSB_TRANSFER_OVERFLOW:
        return Fail(LIBUSB_ERROR_OVERFLOW);
    default:
        return Fail(LIBUSB_ERROR_IO);
    }
}

int Reap(void* context, int timeout, bool cancelOnTimeout) {
    AsyncRequest* request = static_cast<AsyncRequest*>(context);
    if (!request || !request->submitted) return -EINVAL;
    if (!AwaitCompletion(*request, timeout)) {
        if (cancelOnTimeout) {
            libusb_cancel_transfer(request->transfer);
            AwaitCompletion(*request, 1000);
            request->submitted = !request->Done();
        }
        return Fail(LIBUSB_ERROR_TIMEOUT);
    }
    request->submitted = false;
    return TransferResult(*request->transfer);
}

int SetupAsync(usb_dev_handle* dev, void** context, unsigned char ep, unsigned char type, int packetSize) {
    if (!dev || !context) return -EINVAL;
    *context = new AsyncRequest{dev, ep, type, packetSize};
    return 0;
}

int Transfer(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout, bool bulk) {
    if (!dev) return -EINVAL;
    int done = 0;
    auto* data = reinterpret_cast<unsigned char*>(bytes);
    const int result =
        bulk ? libusb_bulk_transfer(dev->handle, uint8_t(ep), data, size, &done, unsigned(timeout))
             : libusb_interrupt_transfer(dev->handle, uint8_t(ep), data, size, &done, unsigned(timeout));
    return result < 0 && done == 0 ? Fail(result) : done;
}

} // namespace

USB_EXPORT void usb_init() {
    State& s = Module();
    std::lock_guard<std::mutex> hold(s.lock);
    if (!s.context && libusb_init(&s.context) != 0) s.context = nullptr;
}

// The Windows port sent its debug output to the debugger; here it would go to
// standard error, so the level is capped at warnings.
USB_EXPORT void usb_set_debug(int level) {
    const int wanted = level <= 0   ? LIBUSB_LOG_LEVEL_NONE
                       : level == 1 ? LIBUSB_LOG_LEVEL_ERROR
                                    : LIBUSB_LOG_LEVEL_WARNING;
    if (Module().context) libusb_set_option(Module().context, LIBUSB_OPTION_LOG_LEVEL, wanted);
}

USB_EXPORT int usb_find_busses() {
    State& s = Module();
    std::lock_guard<std::mutex> hold(s.lock);
    libusb_device** list;
    const std::vector<libusb_device*> present = PresentDevices(list);
    std::vector<int> numbers;
    for (libusb_device* device : present) numbers.push_back(libusb_get_bus_number(device));
    int changes = 0;
    for (usb_bus* bus = s.busses; bus;) {
        usb_bus* next = bus->next;
        if (std::find(numbers.begin(), numbers.end(), int(bus->location)) == numbers.end()) {
            Unlink(s.busses, bus);
            ++changes;
        }
        bus = next;
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (int number : numbers) {
        bool known = false;
        for (usb_bus* bus = s.busses; bus; bus = bus->next) known = known || int(bus->location) == number;
        if (known) continue;
        auto bus = std::make_unique<usb_bus>();
        snprintf(bus->dirname, sizeof bus->dirname, "%03d", number);
        bus->location = uint32_t(number);
        Append(s.busses, bus.get());
        s.allBusses.push_back(std::move(bus));
        ++changes;
    }
    if (list) libusb_free_device_list(list, 1);
    return changes;
}

USB_EXPORT int usb_find_devices() {
    State& s = Module();
    std::lock_guard<std::mutex> hold(s.lock);
    libusb_device** list;
    const std::vector<libusb_device*> present = PresentDevices(list);
    int changes = 0;
    for (usb_bus* bus = s.busses; bus; bus = bus->next) {
        for (usb_device* device = bus->devices; device;) {
            usb_device* next = device->next;
            libusb_device* handle = static_cast<DeviceRecord*>(device->dev)->handle;
            if (std::find(present.begin(), present.end(), handle) == present.end()) {
                Unlink(bus->devices, device);
                ++changes;
            }
            device = next;
        }
        for (libusb_device* handle : present) {
            if (libusb_get_bus_number(handle) != bus->location) continue;
            bool known = false;
            for (usb_device* device = bus->devices; device; device = device->next)
                known = known || static_cast<DeviceRecord*>(device->dev)->handle == handle;
            if (known) continue;
            Append(bus->devices, &NewDevice(handle, bus)->device);
            ++changes;
        }
    }
    if (list) libusb_free_device_list(list, 1);
    return changes;
}

USB_EXPORT usb_bus* usb_get_busses() { return Module().busses; }

USB_EXPORT usb_dev_handle* usb_open(struct usb_device* dev) {
    if (!dev || !dev->dev) return nullptr;
    libusb_device_handle* handle = nullptr;
    const int result = libusb_open(static_cast<DeviceRecord*>(dev->dev)->handle, &handle);
    if (result != 0) {
        Fail(result);
        return nullptr;
    }
    return new usb_dev_handle{handle, dev, -1};
}

USB_EXPORT int usb_close(usb_dev_handle* dev) {
    if (!dev) return -EINVAL;
    libusb_close(dev->handle);
    delete dev;
    return 0;
}

USB_EXPORT struct usb_device* usb_device(usb_dev_handle* dev) { return dev ? dev->device : nullptr; }

USB_EXPORT int usb_get_string(usb_dev_handle* dev, int index, int langid, char* buf, size_t buflen) {
    if (!dev) return -EINVAL;
    return Result(libusb_get_string_descriptor(dev->handle, uint8_t(index), uint16_t(langid),
                                               reinterpret_cast<unsigned char*>(buf), int(buflen)));
}

USB_EXPORT int usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen) {
    if (!dev) return -EINVAL;
    return Result(libusb_get_string_descriptor_ascii(dev->handle, uint8_t(index),
                                                     reinterpret_cast<unsigned char*>(buf), int(buflen)));
}

USB_EXPORT int usb_get_descriptor(usb_dev_handle* dev, unsigned char type, unsigned char index, void* buf,
                                  int size) {
    if (!dev) return -EINVAL;
    return Result(libusb_get_descriptor(dev->handle, type, index, static_cast<unsigned char*>(buf), size));
}

// Descriptors travel on the control pipe whatever endpoint is named.
USB_EXPORT int usb_get_descriptor_by_endpoint(usb_dev_handle* dev, int, unsigned char type,
                                              unsigned char index, void* buf, int size) {
    return usb_get_descriptor(dev, type, index, buf, size);
}

USB_EXPORT int usb_bulk_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
    return Transfer(dev, ep & ~LIBUSB_ENDPOINT_IN, bytes, size, timeout, true);
}
USB_EXPORT int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
    return Transfer(dev, ep | LIBUSB_ENDPOINT_IN, bytes, size, timeout, true);
}
USB_EXPORT int usb_interrupt_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
    return Transfer(dev, ep & ~LIBUSB_ENDPOINT_IN, bytes, size, timeout, false);
}
USB_EXPORT int usb_interrupt_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
    return Transfer(dev, ep | LIBUSB_ENDPOINT_IN, bytes, size, timeout, false);
}

USB_EXPORT int usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index,
                               char* bytes, int size, int timeout) {
    if (!dev) return -EINVAL;
    return Result(libusb_control_transfer(
        dev->handle, uint8_t(requesttype), uint8_t(request), uint16_t(value), uint16_t(index),
        reinterpret_cast<unsigned char*>(bytes), uint16_t(size), unsigned(timeout)));
}

USB_EXPORT int usb_set_configuration(usb_dev_handle* dev, int configuration) {
    return dev ? Result(libusb_set_configuration(dev->handle, configuration)) : -EINVAL;
}

USB_EXPORT int usb_claim_interface(usb_dev_handle* dev, int interface) {
    if (!dev) return -EINVAL;
    const int result = Result(libusb_claim_interface(dev->handle, interface));
    if (result == 0) dev->interface = interface;
    return result;
}

USB_EXPORT int usb_release_interface(usb_dev_handle* dev, int interface) {
    if (!dev) return -EINVAL;
    const int result = Result(libusb_release_interface(dev->handle, interface));
    if (result == 0) dev->interface = -1;
    return result;
}

USB_EXPORT int usb_set_altinterface(usb_dev_handle* dev, int alternate) {
    if (!dev || dev->interface < 0) return -EINVAL;
    return Result(libusb_set_interface_alt_setting(dev->handle, dev->interface, alternate));
}

USB_EXPORT int usb_clear_halt(usb_dev_handle* dev, unsigned int ep) {
    return dev ? Result(libusb_clear_halt(dev->handle, uint8_t(ep))) : -EINVAL;
}
USB_EXPORT int usb_resetep(usb_dev_handle* dev, unsigned int ep) { return usb_clear_halt(dev, ep); }
USB_EXPORT int usb_reset(usb_dev_handle* dev) {
    return dev ? Result(libusb_reset_device(dev->handle)) : -EINVAL;
}

USB_EXPORT char* usb_strerror() { return Module().error; }

// The Windows port's driver service has no counterpart here.
USB_EXPORT int usb_install_service_np() { return -ENOSYS; }
USB_EXPORT int usb_uninstall_service_np() { return -ENOSYS; }
USB_EXPORT int usb_install_driver_np(const char*) { return -ENOSYS; }

// The interface level (0.1.12, the last 0.1 interface) and, as the driver,
// the libusb-1.0 underneath.
USB_EXPORT const usb_version* usb_get_version() {
    static const usb_version version = [] {
        const libusb_version* below = libusb_get_version();
        usb_version v{};
        v.dll = {0, 1, 12, 0};
        v.driver = {below->major, below->minor, below->micro, int(below->nano)};
        return v;
    }();
    return &version;
}

USB_EXPORT int usb_bulk_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) {
    return SetupAsync(dev, context, ep, LIBUSB_TRANSFER_TYPE_BULK, 0);
}
USB_EXPORT int usb_interrupt_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) {
    return SetupAsync(dev, context, ep, LIBUSB_TRANSFER_TYPE_INTERRUPT, 0);
}
USB_EXPORT int usb_isochronous_setup_async(usb_dev_handle* dev, void** context, unsigned char ep,
                                           int pktsize) {
    return pktsize > 0 ? SetupAsync(dev, context, ep, LIBUSB_TRANSFER_TYPE_ISOCHRONOUS, pktsize) : -EINVAL;
}

USB_EXPORT int usb_submit_async(void* context, char* bytes, int size) {
    AsyncRequest* request = static_cast<AsyncRequest*>(context);
    if (!request || request->submitted || size < 0) return -EINVAL;
    const int packets = request->type == LIBUSB_TRANSFER_TYPE_ISOCHRONOUS ? size / request->packetSize : 0;
    if (!request->transfer || request->transfer->num_iso_packets != packets) {
        libusb_free_transfer(request->transfer);
        request->transfer = libusb_alloc_transfer(packets);
        if (!request->transfer) return -ENOMEM;
    }
    libusb_transfer* t = request->transfer;
    auto* data = reinterpret_cast<unsigned char*>(bytes);
    if (packets > 0) {
        libusb_fill_iso_transfer(t, request->device->handle, request->endpoint, data, size, packets,
                                 Completed, request, 0);
        libusb_set_iso_packet_lengths(t, unsigned(request->packetSize));
    } else {
        libusb_fill_bulk_transfer(t, request->device->handle, request->endpoint, data, size, Completed,
                                  request, 0);
        t->type = request->type;
    }
    __atomic_store_n(&request->completed, 0, __ATOMIC_RELEASE);
    const int result = libusb_submit_transfer(t);
    if (result != 0) return Fail(result);
    request->submitted = true;
    return 0;
}

USB_EXPORT int usb_reap_async(void* context, int timeout) { return Reap(context, timeout, true); }
USB_EXPORT int usb_reap_async_nocancel(void* context, int timeout) { return Reap(context, timeout, false); }

USB_EXPORT int usb_cancel_async(void* context) {
    AsyncRequest* request = static_cast<AsyncRequest*>(context);
    if (!request) return -EINVAL;
    if (request->submitted && !request->Done()) libusb_cancel_transfer(request->transfer);
    return 0;
}

// A request still in flight is cancelled and awaited first; one that will
// not end is left allocated rather than freed under libusb.
USB_EXPORT int usb_free_async(void** context) {
    if (!context || !*context) return -EINVAL;
    AsyncRequest* request = static_cast<AsyncRequest*>(*context);
    if (request->submitted && !request->Done()) {
        libusb_cancel_transfer(request->transfer);
        if (!AwaitCompletion(*request, 1000)) return -EBUSY;
    }
    libusb_free_transfer(request->transfer);
    delete request;
    *context = nullptr;
    return 0;
}
