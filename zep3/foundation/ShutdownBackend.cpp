#include <zep3/foundation/ShutdownBackend.h>

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <linux/capability.h>
#include <sys/reboot.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The parts of the systemd bus library the request needs, looked up at run
// time so that the library does not depend on it.
struct BusError {
    const char* name;
    const char* message;
    int needFree;
};
typedef int (*BusOpenSystem)(void** bus);
typedef int (*BusCallMethod)(void* bus, const char* destination, const char* path, const char* interface,
                             const char* member, BusError* error, void** reply, const char* types, ...);
typedef void (*BusErrorFree)(BusError* error);
typedef void* (*BusMessageUnref)(void* message);
typedef void* (*BusFlushCloseUnref)(void* bus);

bool AskLoginManager() {
    void* lib = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    auto openSystem = reinterpret_cast<BusOpenSystem>(dlsym(lib, "sd_bus_open_system"));
    auto callMethod = reinterpret_cast<BusCallMethod>(dlsym(lib, "sd_bus_call_method"));
    auto errorFree = reinterpret_cast<BusErrorFree>(dlsym(lib, "sd_bus_error_free"));
    auto messageUnref = reinterpret_cast<BusMessageUnref>(dlsym(lib, "sd_bus_message_unref"));
    auto closeBus = reinterpret_cast<BusFlushCloseUnref>(dlsym(lib, "sd_bus_flush_close_unref"));
    bool accepted = false;
    void* bus = nullptr;
    if (openSystem && callMethod && errorFree && messageUnref && closeBus && openSystem(&bus) >= 0) {
        BusError error = {nullptr, nullptr, 0};
        void* reply = nullptr;
        // Reboot(interactive = false): the login manager's policy decides.
        accepted = callMethod(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                              "org.freedesktop.login1.Manager", "Reboot", &error, &reply, "b", 0) >= 0;
        errorFree(&error);
        if (reply) messageUnref(reply);
        closeBus(bus);
    }
    dlclose(lib);
    return accepted;
}

bool MayRebootItself() {
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    return (data[CAP_TO_INDEX(CAP_SYS_BOOT)].effective & CAP_TO_MASK(CAP_SYS_BOOT)) != 0;
}

class SystemBackend : public CShutdownBackend {
public:
    bool Restart() override {
        if (const char* refuse = std::getenv("ZEP3_NO_RESTART"); refuse && *refuse) return false;
        if (AskLoginManager()) return true;
        if (!MayRebootItself()) return false;
        sync();
        return reboot(RB_AUTOBOOT) == 0;
    }
};

SystemBackend g_systemBackend;
std::atomic<CShutdownBackend*> g_current{nullptr};

} // namespace

CShutdownBackend* CShutdownBackend::GetCurrent() {
    CShutdownBackend* backend = g_current.load();
    return backend ? backend : &g_systemBackend;
}

CShutdownBackend* CShutdownBackend::SetCurrent(CShutdownBackend* backend) {
    CShutdownBackend* previous = g_current.exchange(backend);
    return previous ? previous : &g_systemBackend;
}
