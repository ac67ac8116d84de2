#pragma once
// The binding of CLibUSBDevice to the USB module: the loaded module and one
// entry point per libusb 0.1 function, looked up by name in the order of
// kLibUsbEntryNames. A call whose entry point is missing returns -99 (null
// for the calls that return a pointer, nothing for those returning nothing).
//
// The module is "libzep3usb.so" beside the library (the project's libusb 0.1
// over libusb-1.0, standing where "libusb0.dll" stood), else by that name on
// the loader's path. Tests load a module that plays a device instead
// (SetLibUsbModulePath).
#include <zep3/devices/detail/LibUsb01.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Module.h>

#include <string>

namespace zep3::detail {

constexpr int kLibUsbEntries = 37;
constexpr int kLibUsbMissingEntry = -99;
ZEP3_TEST_API extern const char* const kLibUsbEntryNames[kLibUsbEntries];

// Test hook: the module bindings load from now on; empty restores the default.
ZEP3_TEST_API void SetLibUsbModulePath(const std::string& path);
ZEP3_TEST_API std::string LibUsbModulePath();

class ZEP3_TEST_API LibUsbBinding {
public:
    LibUsbBinding() = default;
    ~LibUsbBinding() { Unload(); }
    LibUsbBinding(const LibUsbBinding&) = delete;
    LibUsbBinding& operator=(const LibUsbBinding&) = delete;

    // Loads the module, looks up every entry point and calls "usb_init".
    // False (nothing kept loaded) when the module or "usb_init" is missing.
    bool Load(const std::string& path = LibUsbModulePath());
    void Unload();
    bool IsLoaded() const { return m_hModule != nullptr; }
    // Whether the module exports the entry point (by its index).
    bool HasEntry(int index) const { return m_Entries[index] != nullptr; }

    usb_dev_handle* usb_open(struct usb_device* dev) const;
    int usb_close(usb_dev_handle* dev) const;
    int usb_get_string(usb_dev_handle* dev, int index, int langid, char* buf, size_t buflen) const;
    int usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen) const;
    int usb_get_descriptor_by_endpoint(usb_dev_handle* dev, int ep, unsigned char type, unsigned char index,
                                       void* buf, int size) const;
    int usb_get_descriptor(usb_dev_handle* dev, unsigned char type, unsigned char index, void* buf,
                           int size) const;
    int usb_bulk_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const;
    int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const;
    int usb_interrupt_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const;
    int usb_interrupt_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const;
    int usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index, char* bytes,
                        int size, int timeout) const;
    int usb_set_configuration(usb_dev_handle* dev, int configuration) const;
    int usb_claim_interface(usb_dev_handle* dev, int interface) const;
    int usb_release_interface(usb_dev_handle* dev, int interface) const;
    int usb_set_altinterface(usb_dev_handle* dev, int alternate) const;
    int usb_resetep(usb_dev_handle* dev, unsigned int ep) const;
    int usb_clear_halt(usb_dev_handle* dev, unsigned int ep) const;
    int usb_reset(usb_dev_handle* dev) const;
    char* usb_strerror() const;
    void usb_init() const;
    void usb_set_debug(int level) const;
    int usb_find_busses() const;
    int usb_find_devices() const;
    struct usb_device* usb_device(usb_dev_handle* dev) const;
    usb_bus* usb_get_busses() const;
    int usb_install_service_np() const;
    int usb_uninstall_service_np() const;
    int usb_install_driver_np(const char* inf_file) const;
    const usb_version* usb_get_version() const;
    int usb_isochronous_setup_async(usb_dev_handle* dev, void** context, unsigned char ep, int pktsize) const;
    int usb_bulk_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) const;
    int usb_interrupt_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) const;
    int usb_submit_async(void* context, char* bytes, int size) const;
    int usb_reap_async(void* context, int timeout) const;
    int usb_reap_async_nocancel(void* context, int timeout) const;
    int usb_free_async(void** context) const;
    int usb_cancel_async(void* context) const;

private:
    template <class Fn> Fn Entry(int index) const { return reinterpret_cast<Fn>(m_Entries[index]); }
    template <class Fn, class... Args> int Call(int index, Args... args) const {
        Fn fn = Entry<Fn>(index);
        return fn ? fn(args...) : kLibUsbMissingEntry;
    }

    HMODULE m_hModule = nullptr;
    FARPROC m_Entries[kLibUsbEntries] = {};
};

} // namespace zep3::detail
