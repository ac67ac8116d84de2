#pragma once
// The libusb 0.1 interface as the USB module "libzep3usb.so" exports it:
// the records of its bus list and the signatures of its 37 functions (the
// portable 0.1 calls, the Windows port's driver calls and its asynchronous
// extension). Shared by the binding that loads the module, the module
// itself and the test module that plays a device. Records follow the Linux
// layout of libusb 0.1 (names of PATH_MAX + 1 bytes).
//
// Results are those of libusb 0.1: a count of bytes or 0 on success, a
// negative errno value on failure.
#include <climits>
#include <cstddef>
#include <cstdint>

namespace zep3::detail {

constexpr int kUsbPathMax = PATH_MAX + 1;

struct usb_endpoint_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint8_t bEndpointAddress;
    uint8_t bmAttributes;
    uint16_t wMaxPacketSize;
    uint8_t bInterval;
    uint8_t bRefresh;
    uint8_t bSynchAddress;
    unsigned char* extra;
    int extralen;
};

struct usb_interface_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint8_t bInterfaceNumber;
    uint8_t bAlternateSetting;
    uint8_t bNumEndpoints;
    uint8_t bInterfaceClass;
    uint8_t bInterfaceSubClass;
    uint8_t bInterfaceProtocol;
    uint8_t iInterface;
    usb_endpoint_descriptor* endpoint;
    unsigned char* extra;
    int extralen;
};

struct usb_interface {
    usb_interface_descriptor* altsetting;
    int num_altsetting;
};

struct usb_config_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t wTotalLength;
    uint8_t bNumInterfaces;
    uint8_t bConfigurationValue;
    uint8_t iConfiguration;
    uint8_t bmAttributes;
    uint8_t MaxPower;
    usb_interface* interface;
    unsigned char* extra;
    int extralen;
};

struct usb_device_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t bcdUSB;
    uint8_t bDeviceClass;
    uint8_t bDeviceSubClass;
    uint8_t bDeviceProtocol;
    uint8_t bMaxPacketSize0;
    uint16_t idVendor;
    uint16_t idProduct;
    uint16_t bcdDevice;
    uint8_t iManufacturer;
    uint8_t iProduct;
    uint8_t iSerialNumber;
    uint8_t bNumConfigurations;
};
static_assert(sizeof(usb_device_descriptor) == 18, "the device descriptor is 18 bytes");

struct usb_bus;

struct usb_device {
    usb_device* next;
    usb_device* prev;
    char filename[kUsbPathMax];
    usb_bus* bus;
    usb_device_descriptor descriptor;
    usb_config_descriptor* config;
    void* dev; // the module's own handle of the device
    uint8_t devnum;
    unsigned char num_children;
    usb_device** children;
};

struct usb_bus {
    usb_bus* next;
    usb_bus* prev;
    char dirname[kUsbPathMax];
    usb_device* devices;
    uint32_t location;
    usb_device* root_dev;
};

struct usb_version {
    struct {
        int major, minor, micro, nano;
    } dll, driver;
};

struct usb_dev_handle; // the module's open device, opaque to callers

// The entry points, in the order the binding looks them up.
using usb_open_t = usb_dev_handle* (*)(usb_device*);
using usb_close_t = int (*)(usb_dev_handle*);
using usb_get_string_t = int (*)(usb_dev_handle*, int index, int langid, char* buf, size_t buflen);
using usb_get_string_simple_t = int (*)(usb_dev_handle*, int index, char* buf, size_t buflen);
using usb_get_descriptor_by_endpoint_t = int (*)(usb_dev_handle*, int ep, unsigned char type,
                                                 unsigned char index, void* buf, int size);
using usb_get_descriptor_t = int (*)(usb_dev_handle*, unsigned char type, unsigned char index, void* buf,
                                     int size);
using usb_transfer_t = int (*)(usb_dev_handle*, int ep, char* bytes, int size,
                               int timeout); // bulk, interrupt
using usb_control_msg_t = int (*)(usb_dev_handle*, int requesttype, int request, int value, int index,
                                  char* bytes, int size, int timeout);
using usb_handle_int_t = int (*)(usb_dev_handle*, int); // configuration, interface, alternate setting
using usb_handle_ep_t = int (*)(usb_dev_handle*, unsigned int ep);
using usb_reset_t = int (*)(usb_dev_handle*);
using usb_strerror_t = char* (*)();
using usb_init_t = void (*)();
using usb_set_debug_t = void (*)(int level);
using usb_find_t = int (*)(); // busses, devices, the driver calls
using usb_device_t = usb_device* (*)(usb_dev_handle*);
using usb_get_busses_t = usb_bus* (*)();
using usb_install_driver_np_t = int (*)(const char* inf_file);
using usb_get_version_t = const usb_version* (*)();
using usb_isochronous_setup_async_t = int (*)(usb_dev_handle*, void** context, unsigned char ep, int pktsize);
using usb_setup_async_t = int (*)(usb_dev_handle*, void** context, unsigned char ep); // bulk, interrupt
using usb_submit_async_t = int (*)(void* context, char* bytes, int size);
using usb_reap_async_t = int (*)(void* context, int timeout);
using usb_free_async_t = int (*)(void** context);
using usb_cancel_async_t = int (*)(void* context);

} // namespace zep3::detail
