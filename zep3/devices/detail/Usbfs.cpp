#include <zep3/devices/detail/Usbfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zep3::detail {

UsbfsFile::~UsbfsFile() = default;
UsbfsBackend::~UsbfsBackend() = default;

namespace {

// A sysfs attribute's text without its line end; empty when absent.
std::string Attribute(const std::string& folder, const char* name) {
    std::string text;
    if (!ReadWholeFile(folder + "/" + name, text)) return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class KernelFile : public UsbfsFile {
public:
    KernelFile(UniqueFd fd, UniqueFd wake) : m_fd(std::move(fd)), m_wake(std::move(wake)) {}

    bool ClaimInterface(unsigned int number) override {
        return ioctl(m_fd.Get(), USBDEVFS_CLAIMINTERFACE, &number) == 0;
    }
    bool ReleaseInterface(unsigned int number) override {
        return ioctl(m_fd.Get(), USBDEVFS_RELEASEINTERFACE, &number) == 0;
    }
    bool Submit(usbdevfs_urb* urb) override { return ioctl(m_fd.Get(), USBDEVFS_SUBMITURB, urb) == 0; }
    bool Discard(usbdevfs_urb* urb) override { return ioctl(m_fd.Get(), USBDEVFS_DISCARDURB, urb) == 0; }
    void Wake() override {
        const uint64_t one = 1;
        WriteAll(m_wake.Get(), &one, sizeof one);
    }

    usbdevfs_urb* Reap(int milliseconds) override {
        const Deadline deadline = Deadline::After(DWORD(milliseconds));
        bool idle = false;
        for (;;) {
            void* done = nullptr;
            if (ioctl(m_fd.Get(), USBDEVFS_REAPURBNDELAY, &done) == 0)
                return static_cast<usbdevfs_urb*>(done);
            if (errno != EAGAIN) return nullptr; // ENODEV: gone, nothing completed left
            // usbfs reports POLLOUT for completed requests, POLLHUP once the
            // device has gone and POLLERR while nothing is queued (then only
            // the wake-up can end the wait).
            pollfd fds[2] = {{m_fd.Get(), POLLOUT, 0}, {m_wake.Get(), POLLIN, 0}};
            const int ready = poll(idle ? fds + 1 : fds, idle ? 1 : 2, deadline.RemainingMilliseconds());
            if (ready < 0 && errno != EINTR) return nullptr;
            if (fds[1].revents & POLLIN) {
                uint64_t count;
                ssize_t got = read(m_wake.Get(), &count, sizeof count);
                (void)got;
                errno = EINTR;
                return nullptr;
            }
            if (ready == 0) {
                errno = ETIMEDOUT;
                return nullptr;
            }
            if (fds[0].revents & POLLHUP) continue; // reap what is left, then ENODEV
            idle = (fds[0].revents & (POLLERR | POLLOUT)) == POLLERR;
        }
    }

private:
    UniqueFd m_fd;
    UniqueFd m_wake;
};

class KernelBackend : public UsbfsBackend {
public:
    KernelBackend(std::string sysfs, std::string files)
        : m_sysfs(std::move(sysfs)), m_files(std::move(files)) {}

    std::vector<UsbfsDeviceEntry> Enumerate() override {
        std::vector<UsbfsDeviceEntry> found;
        for (const std::string& name : FolderEntries(m_sysfs)) {
            if (name.find(':') != std::string::npos) continue; // an interface, not a device
            const std::string folder = m_sysfs + "/" + name;
            if (strtoul(Attribute(folder, "idVendor").c_str(), nullptr, 16) != kUsbVendor ||
                strtoul(Attribute(folder, "idProduct").c_str(), nullptr, 16) != kUsbProduct)
                continue;
            char file[64];
            snprintf(file, sizeof file, "/%03d/%03d", atoi(Attribute(folder, "busnum").c_str()),
                     atoi(Attribute(folder, "devnum").c_str()));
            UsbfsDeviceEntry entry{m_files + file, Attribute(folder, "product"), Attribute(folder, "serial")};
            if (entry.name.empty()) entry.name = FirstInterfaceName(folder, name);
            if (entry.name.empty()) entry.name = entry.path;
            found.push_back(entry);
        }
        return found;
    }

    std::unique_ptr<UsbfsFile> Open(const std::string& path) override {
        UniqueFd fd(open(path.c_str(), O_RDWR | O_CLOEXEC));
        UniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        if (!fd.IsOpen() || !wake.IsOpen()) return nullptr;
        return std::make_unique<KernelFile>(std::move(fd), std::move(wake));
    }

private:
    // The text of the device's first interface that has one ("1-2:1.0/interface").
    std::string FirstInterfaceName(const std::string& folder, const std::string& device) {
        for (const std::string& name : FolderEntries(folder))
            if (name.compare(0, device.size() + 1, device + ":") == 0) {
                std::string text = Attribute(folder + "/" + name, "interface");
                if (!text.empty()) return text;
            }
        return {};
    }

    std::string m_sysfs, m_files;
};

std::mutex g_BackendLock;
std::shared_ptr<UsbfsBackend> g_Backend;

} // namespace

std::shared_ptr<UsbfsBackend> MakeUsbfsBackend(const std::string& sysfsDevices,
                                               const std::string& deviceFiles) {
    return std::make_shared<KernelBackend>(sysfsDevices, deviceFiles);
}

void SetUsbfsBackend(std::shared_ptr<UsbfsBackend> backend) {
    std::lock_guard<std::mutex> hold(g_BackendLock);
    g_Backend = std::move(backend);
}

std::shared_ptr<UsbfsBackend> CurrentUsbfsBackend() {
    std::lock_guard<std::mutex> hold(g_BackendLock);
    if (!g_Backend) g_Backend = MakeUsbfsBackend();
    return g_Backend;
}

} // namespace zep3::detail
