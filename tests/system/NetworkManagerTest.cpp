// Release and renewal through NetworkManager: a private D-Bus daemon started
// by the test stands for the system bus, and a stand-in for NetworkManager
// on it answers the two requests and records them.
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <systemd/sd-bus.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* const kService = "org.freedesktop.NetworkManager";
const char* const kDevicePath = "/org/freedesktop/NetworkManager/Devices/7";

// dbus-daemon on a socket in a scratch folder, stopped with the object.
class PrivateBus {
public:
    PrivateBus() {
        const std::string config = m_dir.file("bus.conf");
        zep3test::writeFile(config, "<busconfig><type>zep3test</type><listen>unix:path=" + m_dir.file("bus") +
                                        "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                        "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                                        "<allow receive_sender=\"*\"/></policy></busconfig>");
        // It prints its address once it listens; its notes about resource limits go to the log.
        m_daemon.Start({"/usr/bin/dbus-daemon", "--nofork", "--print-address", "--config-file=" + config},
                       m_dir.file("log"), true);
        m_address = m_daemon.ReadLine();
    }
    const std::string& Address() const { return m_address; }
    bool Up() const { return !m_address.empty(); }

private:
    zep3test::TempDir m_dir;
    zep3test::ChildProcess m_daemon;
    std::string m_address;
};

// NetworkManager's two requests, served on a thread of its own.
class FakeNetworkManager {
public:
    FakeNetworkManager(const std::string& address, const std::string& interface) : m_interface(interface) {
        sd_bus_new(&m_bus);
        sd_bus_set_address(m_bus, address.c_str());
        sd_bus_set_bus_client(m_bus, 1);
        m_ready = sd_bus_start(m_bus) >= 0 && sd_bus_request_name(m_bus, kService, 0) >= 0 &&
                  sd_bus_add_object_vtable(m_bus, nullptr, "/org/freedesktop/NetworkManager", kService,
                                           kManager, this) >= 0 &&
                  sd_bus_add_object_vtable(m_bus, nullptr, kDevicePath,
                                           "org.freedesktop.NetworkManager.Device", kDevice, this) >= 0;
        m_thread = std::thread([this] {
            while (!m_stop) {
                if (sd_bus_process(m_bus, nullptr) <= 0) sd_bus_wait(m_bus, 20000);
            }
        });
    }
    ~FakeNetworkManager() {
        m_stop = true;
        m_thread.join();
        sd_bus_flush_close_unref(m_bus);
    }
    bool Ready() const { return m_ready; }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_calls;
    }

private:
    void Record(const std::string& call) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_calls.push_back(call);
    }
    static int DeviceByInterface(sd_bus_message* m, void* self, sd_bus_error* error) {
        const char* name = nullptr;
        sd_bus_message_read(m, "s", &name);
        if (static_cast<FakeNetworkManager*>(self)->m_interface != name)
            return sd_bus_error_set(error, "org.freedesktop.NetworkManager.UnknownDevice", "no such device");
        return sd_bus_reply_method_return(m, "o", kDevicePath);
    }
    static int Activate(sd_bus_message* m, void* self, sd_bus_error*) {
        const char *connection = nullptr, *device = nullptr, *specific = nullptr;
        sd_bus_message_read(m, "ooo", &connection, &device, &specific);
        static_cast<FakeNetworkManager*>(self)->Record(std::string("activate ") + device);
        return sd_bus_reply_method_return(m, "o", "/org/freedesktop/NetworkManager/ActiveConnection/1");
    }
    static int Disconnect(sd_bus_message* m, void* self, sd_bus_error*) {
        static_cast<FakeNetworkManager*>(self)->Record("disconnect");
        return sd_bus_reply_method_return(m, "");
    }

    static constexpr sd_bus_vtable kManager[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("GetDeviceByIpIface", "s", "o", DeviceByInterface, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("ActivateConnection", "ooo", "o", Activate, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END};
    static constexpr sd_bus_vtable kDevice[] = {
        SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Disconnect", "", "", Disconnect, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END};

    std::string m_interface;
    sd_bus* m_bus = nullptr;
    bool m_ready = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<std::string> m_calls;
};

TEST(NetworkManager, ReleaseAndRenewReachItsDevice) {
    CArrayEx<CNetworkAdapter*, CNetworkAdapter*> adapters;
    EnumNetworkAdapters(adapters);
    CNetworkAdapter* adapter = nullptr;
    for (INT_PTR i = 0; i < adapters.GetSize() && !adapter; ++i)
        if (adapters[i]->GetAdapterType() != 24) adapter = adapters[i];
    if (!adapter) {
        FreeNetworkAdaptersArray(adapters);
        GTEST_SKIP() << "no adapter but the loopback";
    }
    PrivateBus bus;
    ASSERT_TRUE(bus.Up()) << "dbus-daemon did not start";
    FakeNetworkManager manager(bus.Address(), std::string(adapter->GetAdapterName()));
    ASSERT_TRUE(manager.Ready());
    setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Address().c_str(), 1);

    EXPECT_EQ(adapter->ReleaseAddress(), 1);
    EXPECT_EQ(adapter->RenewAddress(), 1);
    EXPECT_EQ(manager.Calls(),
              (std::vector<std::string>{"disconnect", std::string("activate ") + kDevicePath}));

    // Neither the loopback (no DHCP client to ask) nor an index no interface
    // has reaches NetworkManager.
    EXPECT_EQ(adapters[0]->GetAdapterType(), 24u);
    EXPECT_EQ(adapters[0]->ReleaseAddress(), 0);
    IP_ADAPTER_INFO unknown{};
    unknown.Index = 0x7FFFFFF0;
    CNetworkAdapter stranger;
    stranger.SetupAdapterInfo(&unknown);
    EXPECT_EQ(stranger.RenewAddress(), 0);
    EXPECT_EQ(manager.Calls().size(), 2u);

    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    FreeNetworkAdaptersArray(adapters);
}

} // namespace
