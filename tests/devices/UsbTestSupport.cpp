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
        if (path != kDevicePath) {
            errno = ENOENT;
            return nullptr;
        }
        return std::make_unique<File>(*this);
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
        if (!holdWrites || gone)
            while (!writes.empty()) {
                Finish(writes.front(), gone ? -ESHUTDOWN : 0);
                writes.pop_front();
            }
        if (gone)
            while (!reads.empty()) {
                Finish(reads.front(), -ESHUTDOWN);
                reads.pop_front();
            }
        changed.notify_all();
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
            m_b.claimed = number == 0 && !m_b.gone;
            return m_b.claimed;
        }
        bool ReleaseInterface(unsigned int) override {
            std::lock_guard<std::mutex> hold(m_b.lock);
            m_b.claimed = false;
            return true;
        }
        bool Submit(usbdevfs_urb* urb) override {
            std::lock_guard<std::mutex> hold(m_b.lock);
            if (m_b.gone) {
                errno = ENODEV;
                return false;
            }
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
            errno = EINVAL;
            return false;
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
    std::lock_guard<std::mutex> hold(m_backend->lock);
    for (size_t at = 0; at < bytes.size(); at += 4096) m_backend->transfers.push_back(bytes.substr(at, 4096));
    m_backend->Pump();
}

void FakeUsbfs::Unplug() {
    std::lock_guard<std::mutex> hold(m_backend->lock);
    m_backend->gone = true;
    m_backend->Pump();
}

void FakeUsbfs::HoldWrites(bool on) {
    std::lock_guard<std::mutex> hold(m_backend->lock);
    m_backend->holdWrites = on;
    m_backend->Pump();
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
    if (m_module) Export<void (*)()>("usbdouble_Reset")();
}

LibUsbModuleDouble::~LibUsbModuleDouble() {
    SetLibUsbModulePath("");
    if (m_module) FreeLibrary(m_module);
}

template <class Fn> Fn LibUsbModuleDouble::Export(const char* name) {
    return reinterpret_cast<Fn>(GetProcAddress(m_module, name));
}

void LibUsbModuleDouble::Feed(const std::string& bytes) {
    Export<void (*)(const void*, int)>("usbdouble_Feed")(bytes.data(), int(bytes.size()));
}

void LibUsbModuleDouble::Unplug() { Export<void (*)()>("usbdouble_Unplug")(); }

void LibUsbModuleDouble::HoldWrites(bool on) { Export<void (*)(int)>("usbdouble_HoldWrites")(on); }

std::string LibUsbModuleDouble::Written() {
    std::string bytes(1 << 20, '\0');
    bytes.resize(size_t(Export<int (*)(char*, int)>("usbdouble_Written")(&bytes[0], int(bytes.size()))));
    return bytes;
}

int LibUsbModuleDouble::PendingReads() { return Export<int (*)()>("usbdouble_PendingReads")(); }

void LibUsbModuleDouble::State(int state[6]) { Export<void (*)(int*)>("usbdouble_State")(state); }

} // namespace devicestest
