#include <zep3/devices/detail/LibUsbBinding.h>

#include <mutex>

namespace zep3::detail {

const char* const kLibUsbEntryNames[kLibUsbEntries] = {"usb_open",
                                                       "usb_close",
                                                       "usb_get_string",
                                                       "usb_get_string_simple",
                                                       "usb_get_descriptor_by_endpoint",
                                                       "usb_get_descriptor",
                                                       "usb_bulk_write",
                                                       "usb_bulk_read",
                                                       "usb_interrupt_write",
                                                       "usb_interrupt_read",
                                                       "usb_control_msg",
                                                       "usb_set_configuration",
                                                       "usb_claim_interface",
                                                       "usb_release_interface",
                                                       "usb_set_altinterface",
                                                       "usb_resetep",
                                                       "usb_clear_halt",
                                                       "usb_reset",
                                                       "usb_strerror",
                                                       "usb_init",
                                                       "usb_set_debug",
                                                       "usb_find_busses",
                                                       "usb_find_devices",
                                                       "usb_device",
                                                       "usb_get_busses",
                                                       "usb_install_service_np",
                                                       "usb_uninstall_service_np",
                                                       "usb_install_driver_np",
                                                       "usb_get_version",
                                                       "usb_isochronous_setup_async",
                                                       "usb_bulk_setup_async",
                                                       "usb_interrupt_setup_async",
                                                       "usb_submit_async",
                                                       "usb_reap_async",
                                                       "usb_reap_async_nocancel",
                                                       "usb_free_async",
                                                       "usb_cancel_async"};

namespace {

// Indexes into kLibUsbEntryNames.
enum EntryIndex {
    kOpen,
    kClose,
    kGetString,
    kGetStringSimple,
    kGetDescriptorByEndpoint,
    kGetDescriptor,
    kBulkWrite,
    kBulkRead,
    kInterruptWrite,
    kInterruptRead,
    kControlMsg,
    kSetConfiguration,
    kClaimInterface,
    kReleaseInterface,
    kSetAltInterface,
    kResetEp,
    kClearHalt,
    kReset,
    kStrError,
    kInit,
    kSetDebug,
    kFindBusses,
    kFindDevices,
    kDevice,
    kGetBusses,
    kInstallService,
    kUninstallService,
    kInstallDriver,
    kGetVersion,
    kIsochronousSetupAsync,
    kBulkSetupAsync,
    kInterruptSetupAsync,
    kSubmitAsync,
    kReapAsync,
    kReapAsyncNoCancel,
    kFreeAsync,
    kCancelAsync
};
static_assert(kCancelAsync + 1 == kLibUsbEntries, "one index per entry name");

std::mutex g_PathLock;
std::string g_ModulePath;

// The module installed beside this library, found from the library's own path.
std::string DefaultModulePath() {
    const char* name = "libzep3usb.so";
    char self[4096];
    const DWORD length = GetModuleFileName(ZEP3GetInstanceHandle(), self, sizeof self);
    if (length == 0 || length >= sizeof self) return name;
    std::string folder(self, length);
    const size_t slash = folder.rfind('/');
    return slash == std::string::npos ? name : folder.substr(0, slash + 1) + name;
}

} // namespace

void SetLibUsbModulePath(const std::string& path) {
    std::lock_guard<std::mutex> hold(g_PathLock);
    g_ModulePath = path;
}

std::string LibUsbModulePath() {
    {
        std::lock_guard<std::mutex> hold(g_PathLock);
        if (!g_ModulePath.empty()) return g_ModulePath;
    }
    return DefaultModulePath();
}

bool LibUsbBinding::Load(const std::string& path) {
    Unload();
    m_hModule = LoadLibrary(path.c_str());
    if (!m_hModule && path.find('/') != std::string::npos) // not beside the library: the loader's path
        m_hModule = LoadLibrary(path.substr(path.rfind('/') + 1).c_str());
    if (!m_hModule) return false;
    for (int i = 0; i < kLibUsbEntries; ++i) m_Entries[i] = GetProcAddress(m_hModule, kLibUsbEntryNames[i]);
    if (!m_Entries[kInit]) {
        Unload();
        return false;
    }
    usb_init();
    return true;
}

void LibUsbBinding::Unload() {
    if (m_hModule) FreeLibrary(m_hModule);
    m_hModule = nullptr;
    for (FARPROC& entry : m_Entries) entry = nullptr;
}

usb_dev_handle* LibUsbBinding::usb_open(struct usb_device* dev) const {
    usb_open_t fn = Entry<usb_open_t>(kOpen);
    return fn ? fn(dev) : nullptr;
}
int LibUsbBinding::usb_close(usb_dev_handle* dev) const { return Call<usb_close_t>(kClose, dev); }
int LibUsbBinding::usb_get_string(usb_dev_handle* dev, int index, int langid, char* buf,
                                  size_t buflen) const {
    return Call<usb_get_string_t>(kGetString, dev, index, langid, buf, buflen);
}
int LibUsbBinding::usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen) const {
    return Call<usb_get_string_simple_t>(kGetStringSimple, dev, index, buf, buflen);
}
int LibUsbBinding::usb_get_descriptor_by_endpoint(usb_dev_handle* dev, int ep, unsigned char type,
                                                  unsigned char index, void* buf, int size) const {
    return Call<usb_get_descriptor_by_endpoint_t>(kGetDescriptorByEndpoint, dev, ep, type, index, buf, size);
}
int LibUsbBinding::usb_get_descriptor(usb_dev_handle* dev, unsigned char type, unsigned char index, void* buf,
                                      int size) const {
    return Call<usb_get_descriptor_t>(kGetDescriptor, dev, type, index, buf, size);
}
int LibUsbBinding::usb_bulk_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const {
    return Call<usb_transfer_t>(kBulkWrite, dev, ep, bytes, size, timeout);
}
int LibUsbBinding::usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const {
    return Call<usb_transfer_t>(kBulkRead, dev, ep, bytes, size, timeout);
}
int LibUsbBinding::usb_interrupt_write(usb_dev_handle* dev, int ep, char* bytes, int size,
                                       int timeout) const {
    return Call<usb_transfer_t>(kInterruptWrite, dev, ep, bytes, size, timeout);
}
int LibUsbBinding::usb_interrupt_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const {
    return Call<usb_transfer_t>(kInterruptRead, dev, ep, bytes, size, timeout);
}
int LibUsbBinding::usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index,
                                   char* bytes, int size, int timeout) const {
    return Call<usb_control_msg_t>(kControlMsg, dev, requesttype, request, value, index, bytes, size,
                                   timeout);
}
int LibUsbBinding::usb_set_configuration(usb_dev_handle* dev, int configuration) const {
    return Call<usb_handle_int_t>(kSetConfiguration, dev, configuration);
}
int LibUsbBinding::usb_claim_interface(usb_dev_handle* dev, int interface) const {
    return Call<usb_handle_int_t>(kClaimInterface, dev, interface);
}
int LibUsbBinding::usb_release_interface(usb_dev_handle* dev, int interface) const {
    return Call<usb_handle_int_t>(kReleaseInterface, dev, interface);
}
int LibUsbBinding::usb_set_altinterface(usb_dev_handle* dev, int alternate) const {
    return Call<usb_handle_int_t>(kSetAltInterface, dev, alternate);
}
int LibUsbBinding::usb_resetep(usb_dev_handle* dev, unsigned int ep) const {
    return Call<usb_handle_ep_t>(kResetEp, dev, ep);
}
int LibUsbBinding::usb_clear_halt(usb_dev_handle* dev, unsigned int ep) const {
    return Call<usb_handle_ep_t>(kClearHalt, dev, ep);
}
int LibUsbBinding::usb_reset(usb_dev_handle* dev) const { return Call<usb_reset_t>(kReset, dev); }
char* LibUsbBinding::usb_strerror() const {
    usb_strerror_t fn = Entry<usb_strerror_t>(kStrError);
    return fn ? fn() : nullptr;
}
void LibUsbBinding::usb_init() const {
    if (usb_init_t fn = Entry<usb_init_t>(kInit)) fn();
}
void LibUsbBinding::usb_set_debug(int level) const {
    if (usb_set_debug_t fn = Entry<usb_set_debug_t>(kSetDebug)) fn(level);
}
int LibUsbBinding::usb_find_busses() const { return Call<usb_find_t>(kFindBusses); }
int LibUsbBinding::usb_find_devices() const { return Call<usb_find_t>(kFindDevices); }
struct usb_device* LibUsbBinding::usb_device(usb_dev_handle* dev) const {
    usb_device_t fn = Entry<usb_device_t>(kDevice);
    return fn ? fn(dev) : nullptr;
}
usb_bus* LibUsbBinding::usb_get_busses() const {
    usb_get_busses_t fn = Entry<usb_get_busses_t>(kGetBusses);
    return fn ? fn() : nullptr;
}
int LibUsbBinding::usb_install_service_np() const { return Call<usb_find_t>(kInstallService); }
int LibUsbBinding::usb_uninstall_service_np() const { return Call<usb_find_t>(kUninstallService); }
int LibUsbBinding::usb_install_driver_np(const char* inf_file) const {
    return Call<usb_install_driver_np_t>(kInstallDriver, inf_file);
}
const usb_version* LibUsbBinding::usb_get_version() const {
    usb_get_version_t fn = Entry<usb_get_version_t>(kGetVersion);
    return fn ? fn() : nullptr;
}
int LibUsbBinding::usb_isochronous_setup_async(usb_dev_handle* dev, void** context, unsigned char ep,
                                               int pktsize) const {
    return Call<usb_isochronous_setup_async_t>(kIsochronousSetupAsync, dev, context, ep, pktsize);
}
int LibUsbBinding::usb_bulk_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) const {
    return Call<usb_setup_async_t>(kBulkSetupAsync, dev, context, ep);
}
int LibUsbBinding::usb_interrupt_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) const {
    return Call<usb_setup_async_t>(kInterruptSetupAsync, dev, context, ep);
}
int LibUsbBinding::usb_submit_async(void* context, char* bytes, int size) const {
    return Call<usb_submit_async_t>(kSubmitAsync, context, bytes, size);
}
int LibUsbBinding::usb_reap_async(void* context, int timeout) const {
    return Call<usb_reap_async_t>(kReapAsync, context, timeout);
}
int LibUsbBinding::usb_reap_async_nocancel(void* context, int timeout) const {
    return Call<usb_reap_async_t>(kReapAsyncNoCancel, context, timeout);
}
int LibUsbBinding::usb_free_async(void** context) const {
    return Call<usb_free_async_t>(kFreeAsync, context);
}
int LibUsbBinding::usb_cancel_async(void* context) const {
    return Call<usb_cancel_async_t>(kCancelAsync, context);
}

} // namespace zep3::detail
