#include "UsbTestSupport.h"
#include "DevicesTestSupport.h"

#include <zep3/devices/detail/LibUsbBinding.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

using namespace zep3::detail;

namespace devicestest {

namespace {
const char* const kDevicePath = "/dev/bus/usb/001/004";
}

// The kernel's behaviour as the bulk device meets it: reads complete in the
// order queued, their data is copied into the caller's buffer as they are
// reaped, a write's bytes are taken as it is queued, and after a removal the
// requests in flight come back failed and the next reap says ENODEV.
class FakeUsbfs::Backend : public UsbfsBackend {
public:
    std::vector<UsbfsDeviceEntry> Enumerate() override { return {{kDevicePath, "Data Logger", "SN42"}}; }

    std::unique_ptr<UsbfsFile> Open(const std::string& path) override {
        if (path == kDevicePath) return std::make_unique<File>(*this);
        errno = ENOENT;
        return nullptr;
    }

    std::mutex lock;
    std::condition_variable changed;
    std::deque<usbdevfs_urb*> reads, writes, completed;
    std::deque<std::string> transfers;
    std::map<usbdevfs_urb*, std::string> delivered;
    std::string written;
    bool gone = false, holdWrites = false, claimed = false, woken = false;

    // Under the lock: pending reads take the transfers waiting.
    void Pump() {
        while (!reads.empty() && !transfers.empty()) {
            usbdevfs_urb* urb = reads.front();
            reads.pop_front();
            delivered[urb] = transfers.front().substr(0, size_t(urb->buffer_length));
            transfers.pop_front();
            Finish(urb, 0);
        }
        for (; !writes.empty() && (!holdWrites || gone); writes.pop_front()) Finish(writes.front(), gone ? -ESHUTDOWN : 0);
        for (; !reads.empty() && gone; reads.pop_front()) Finish(reads.front(), -ESHUTDOWN);
        changed.notify_all();
    }

    template <class Fn> void Change(Fn change) {
        std::lock_guard<std::mutex> hold(lock);
        change();
        Pump();
    }

    void Finish(usbdevfs_urb* urb, int status) {
        urb->status = status;
        completed.push_back(urb);
    }

    class File : public UsbfsFile {
    public:
        explicit File(Backend& b) : m_b(b) {}
        ~File() override {
            std::lock_guard<std::mutex> hold(m_b.lock);
            m_b.reads.clear(); // closing the file drops what is queued
            m_b.writes.clear();
            m_b.completed.clear();
            m_b.claimed = false;
        }
        bool ClaimInterface(unsigned int number) override {
            std::lock_guard<std::mutex> hold(m_b.lock);
            return m_b.claimed = number == 0 && !m_b.gone;
        }
        bool ReleaseInterface(unsigned int) override {
            std::lock_guard<std::mutex> hold(m_b.lock);
            return !(m_b.claimed = false);
        }
        bool Submit(usbdevfs_urb* urb) override {
            std::lock_guard<std::mutex> hold(m_b.lock);
            if (m_b.gone) return errno = ENODEV, false;
            if (urb->endpoint & 0x80) {
                m_b.reads.push_back(urb);
            } else {
                m_b.written.append(static_cast<const char*>(urb->buffer), size_t(urb->buffer_length));
                urb->actual_length = urb->buffer_length;
                m_b.writes.push_back(urb);
            }
            m_b.Pump();
            return true;
        }
        usbdevfs_urb* Reap(int milliseconds) override {
            std::unique_lock<std::mutex> hold(m_b.lock);
            m_b.changed.wait_for(hold, std::chrono::milliseconds(milliseconds),
                                 [this] { return !m_b.completed.empty() || m_b.woken || m_b.gone; });
            if (m_b.completed.empty()) {
                errno = m_b.woken ? EINTR : m_b.gone ? ENODEV : ETIMEDOUT;
                m_b.woken = false;
                return nullptr;
            }
            usbdevfs_urb* urb = m_b.completed.front();
            m_b.completed.pop_front();
            auto data = m_b.delivered.find(urb);
            if (data != m_b.delivered.end()) {
                memcpy(urb->buffer, data->second.data(), data->second.size());
                urb->actual_length = int(data->second.size());
                m_b.delivered.erase(data);
            }
            return urb;
        }
        bool Discard(usbdevfs_urb* urb) override {
            std::lock_guard<std::mutex> hold(m_b.lock);
            for (auto* queue : {&m_b.reads, &m_b.writes}) {
                auto at = std::find(queue->begin(), queue->end(), urb);
                if (at == queue->end()) continue;
                queue->erase(at);
                m_b.Finish(urb, -ENOENT);
                m_b.changed.notify_all();
                return true;
            }
            return errno = EINVAL, false;
        }
        void Wake() override {
            std::lock_guard<std::mutex> hold(m_b.lock);
            m_b.woken = true;
            m_b.changed.notify_all();
        }

    private:
        Backend& m_b;
    };
};

FakeUsbfs::FakeUsbfs() : m_backend(std::make_shared<Backend>()) { SetUsbfsBackend(m_backend); }

FakeUsbfs::~FakeUsbfs() { SetUsbfsBackend(nullptr); }

void FakeUsbfs::Feed(const std::string& bytes) {
    m_backend->Change([&] {
        for (size_t at = 0; at < bytes.size(); at += 4096) m_backend->transfers.push_back(bytes.substr(at, 4096));
    });
}

void FakeUsbfs::Unplug() {
    m_backend->Change([&] { m_backend->gone = true; });
}

void FakeUsbfs::HoldWrites(bool on) {
    m_backend->Change([&] { m_backend->holdWrites = on; });
}

std::string FakeUsbfs::Written() {
    std::lock_guard<std::mutex> hold(m_backend->lock);
    return m_backend->written;
}

int FakeUsbfs::PendingReads() {
    std::lock_guard<std::mutex> hold(m_backend->lock);
    return int(m_backend->reads.size());
}

bool FakeUsbfs::Claimed() const {
    std::lock_guard<std::mutex> hold(m_backend->lock);
    return m_backend->claimed;
}

LibUsbModuleDouble::LibUsbModuleDouble(const std::string& module)
    : m_path(PluginFolder() + module), m_module(LoadLibrary(m_path.c_str())) {
    EXPECT_NE(m_module, nullptr) << m_path;
    SetLibUsbModulePath(m_path);
    if (m_module) Call<void>("usbdouble_Reset");
}

LibUsbModuleDouble::~LibUsbModuleDouble() {
    SetLibUsbModulePath("");
    if (m_module) FreeLibrary(m_module);
}

std::string LibUsbModuleDouble::Written() {
    std::string bytes(1 << 20, '\0');
    bytes.resize(size_t(Call<int>("usbdouble_Written", &bytes[0], int(bytes.size()))));
    return bytes;
}

} // namespace devicestest
