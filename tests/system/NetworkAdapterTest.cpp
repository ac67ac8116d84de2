// Network adapters: the machine's list against what ip(8) and sysfs report,
// and a private network namespace whose interfaces the test configures.
#include "support/TestSupport.h"

#include <zep3/system/detail/IpHelper.h>
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using zep3test::runCommand;

namespace {

std::vector<std::string> Lines(const std::string& command) {
    std::string out;
    runCommand(command, &out);
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string Mask(int prefix) {
    const uint32_t bits = prefix == 0 ? 0 : ~0u << (32 - prefix);
    return std::to_string(bits >> 24) + "." + std::to_string((bits >> 16) & 255) + "." +
           std::to_string((bits >> 8) & 255) + "." + std::to_string(bits & 255);
}

std::string HardwareText(const CNetworkAdapter& adapter) {
    CArray<unsigned char, unsigned char> bytes;
    adapter.GetAdapterAddress(bytes);
    std::string text;
    char hex[4];
    for (INT_PTR i = 0; i < bytes.GetSize(); ++i) {
        snprintf(hex, sizeof hex, i ? ":%02x" : "%02x", bytes[i]);
        text += hex;
    }
    return text;
}

// What ip(8), sysfs and resolv.conf say, by interface name.
struct SystemView {
    std::map<std::string, std::vector<std::string>> addresses, gateways; // "address/mask"
    std::vector<std::string> dns;

    SystemView() {
        for (const std::string& line : Lines("ip -o -4 addr show")) {
            std::istringstream words(line);
            std::string index, name, family, cidr;
            words >> index >> name >> family >> cidr;
            const size_t slash = cidr.find('/');
            addresses[name].push_back(cidr.substr(0, slash) + "/" + Mask(atoi(cidr.c_str() + slash + 1)));
        }
        for (const std::string& line : Lines("ip -4 route show table main default")) {
            std::istringstream words(line);
            std::string word, via, dev;
            while (words >> word) {
                if (word == "via") words >> via;
                if (word == "dev") words >> dev;
            }
            if (!via.empty()) gateways[dev].push_back(via);
        }
        const char* const servers = "awk '$1 == \"nameserver\" && $2 ~ /^[0-9.]+$/ { print $2 }' ";
        dns = Lines(std::string(servers) + "/etc/resolv.conf");
        // Behind systemd-resolved's stub the servers are its upstream ones.
        if (dns == std::vector<std::string>{"127.0.0.53"} &&
            access("/run/systemd/resolve/resolv.conf", R_OK) == 0)
            dns = Lines(std::string(servers) + "/run/systemd/resolve/resolv.conf");
    }
};

void ExpectAsTheSystemSays(CArrayEx<CNetworkAdapter*, CNetworkAdapter*>& adapters) {
    const SystemView system;
    const std::vector<std::string> names = Lines("ls /sys/class/net");
    ASSERT_EQ(adapters.GetSize(), INT_PTR(names.size()));
    DWORD lastIndex = 0;
    for (INT_PTR i = 0; i < adapters.GetSize(); ++i) {
        const CNetworkAdapter& a = *adapters[i];
        const std::string name(a.GetAdapterName());
        SCOPED_TRACE(name);
        const std::string sys = "/sys/class/net/" + name + "/";
        EXPECT_EQ(a.GetAdapterIndex(), DWORD(atoi(zep3test::readFile(sys + "ifindex").c_str())));
        EXPECT_GT(a.GetAdapterIndex(), lastIndex); // in index order
        lastIndex = a.GetAdapterIndex();
        std::string hardware = zep3test::readFile(sys + "address");
        hardware = hardware.substr(0, std::min<size_t>(hardware.find('\n'), 8 * 3 - 1));
        EXPECT_EQ(HardwareText(a), hardware);
        const int arp = atoi(zep3test::readFile(sys + "type").c_str());
        EXPECT_EQ(a.GetAdapterType(), arp == 772   ? 24u
                                      : arp == 1   ? 6u
                                      : arp == 512 ? 23u
                                                   : a.GetAdapterType());
        EXPECT_FALSE(CString(a.GetAdapterDescription()).IsEmpty());

        std::vector<std::string> addresses, gateways, dns;
        for (int k = 0; k < a.GetNumIpAddrs(); ++k)
            addresses.push_back(std::string(a.GetIpAddr(k)) + "/" + std::string(a.GetSubnetForIpAddr(k)));
        for (int k = 0; k < a.GetNumGatewayAddrs(); ++k) gateways.push_back(std::string(a.GetGatewayAddr(k)));
        for (int k = 0; k < a.GetNumDnsAddrs(); ++k) dns.push_back(std::string(a.GetDnsAddr(k)));
        auto listed = [](const std::map<std::string, std::vector<std::string>>& m, const std::string& key) {
            auto at = m.find(key);
            return at == m.end() ? std::vector<std::string>() : at->second;
        };
        EXPECT_EQ(addresses, listed(system.addresses, name));
        EXPECT_EQ(gateways, listed(system.gateways, name));
        EXPECT_EQ(dns, system.dns);
        const std::string current = addresses.empty() ? "0.0.0.0/0.0.0.0" : addresses[0];
        EXPECT_EQ(std::string(a.GetCurrentIpAddress()) + "/" + std::string(a.GetCurrentSubnetMask()),
                  current);
        EXPECT_EQ(a.GetIpAddr(a.GetNumIpAddrs()), "");
        EXPECT_EQ(a.IsWinsUsed(), 0);
        EXPECT_EQ(a.GetPrimaryWinsServer(), "");
    }
}

TEST(NetworkAdapter, TheListIsWhatIpAndSysfsReport) {
    CArrayEx<CNetworkAdapter*, CNetworkAdapter*> adapters;
    EXPECT_EQ(EnumNetworkAdapters(adapters), 0ul);
    ExpectAsTheSystemSays(adapters);
    FreeNetworkAdaptersArray(adapters);
    EXPECT_EQ(adapters.GetSize(), 0);
}

TEST(NetworkAdapter, TypeTextsAndAnEmptyAdapter) {
    const std::pair<unsigned, const char*> texts[] = {
        {6, "Ethernet"}, {23, "PPP"}, {24, "Loopback"}, {71, "Invalid Adapter Type"}, {0, "Invalid Adapter Type"}};
    for (const auto& t : texts) EXPECT_EQ(CNetworkAdapter::GetAdapterTypeString(t.first), t.second) << t.first;
    CNetworkAdapter empty;
    EXPECT_EQ(empty.SetupAdapterInfo(nullptr), 0);
    EXPECT_EQ(empty.GetCurrentIpAddress(), "0.0.0.0");
    EXPECT_EQ(empty.GetIpAddr(5), "");
}

// Runs inside a private network namespace (ZEP3_NETNS_CHILD set by the test
// below): interfaces made and addressed here, files of a made-up resolver
// and DHCP clients below a scratch root.
TEST(NetworkAdapterNamespace, InsideTheNamespace) {
    if (!getenv("ZEP3_NETNS_CHILD"))
        GTEST_SKIP() << "runs as the child of NetworkAdapter.InAPrivateNamespace";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zep3-no-bus", 1);
    // A dummy interface where the kernel has the driver, else a veth pair;
    // z1 stays without an address.
    const bool dummy = runCommand("ip link add z0 address 02:11:22:33:44:55 type dummy 2>/dev/null && "
                                  "ip link add z1 type dummy") == 0;
    if (!dummy) {
        ASSERT_EQ(runCommand("ip link add z0 address 02:11:22:33:44:55 type veth peer name z1"), 0);
    }
    ASSERT_EQ(runCommand("ip link set lo up && ip link set z0 up && ip link set z1 up && "
                         "ip addr add 10.9.8.7/24 dev z0 && "
                         "ip addr add 10.9.9.1/16 dev z0 valid_lft 3600 preferred_lft 3600 && "
                         "ip route add default via 10.9.8.1 dev z0"),
              0);
    CArrayEx<CNetworkAdapter*, CNetworkAdapter*> adapters;
    EnumNetworkAdapters(adapters);
    ExpectAsTheSystemSays(adapters);
    ASSERT_EQ(adapters.GetSize(), 3);
    auto named = [&](const char* name) -> CNetworkAdapter& {
        for (INT_PTR i = 0; i < adapters.GetSize(); ++i)
            if (adapters[i]->GetAdapterName() == name) return *adapters[i];
        return *adapters[0];
    };
    // Against the test's own configuration, too.
    CNetworkAdapter& z0 = named("z0");
    EXPECT_EQ(adapters[0]->IsDhcpUsed(), 0); // the loopback
    EXPECT_EQ(HardwareText(z0), "02:11:22:33:44:55");
    EXPECT_EQ(z0.GetNumIpAddrs(), 2);
    EXPECT_EQ(z0.GetCurrentIpAddress(), "10.9.8.7");
    EXPECT_EQ(z0.GetSubnetForIpAddr(1), "255.255.0.0");
    EXPECT_EQ(z0.GetGatewayAddr(0), "10.9.8.1");
    EXPECT_EQ(z0.IsDhcpUsed(), 1); // the address with a lifetime is a lease
    const long now = long(time(nullptr));
    EXPECT_GE(z0.GetLeaseExpired(), now + 3500);
    EXPECT_LE(z0.GetLeaseExpired(), now + 3600);
    EXPECT_GE(z0.GetLeaseObtained(), now - 120);
    EXPECT_LE(z0.GetLeaseObtained(), now + 1);
    EXPECT_EQ(named("z1").GetCurrentIpAddress(), "0.0.0.0");
    EXPECT_EQ(named("z1").GetCurrentSubnetMask(), "0.0.0.0");
    EXPECT_EQ(z0.ReleaseAddress(), 0); // no NetworkManager
    EXPECT_EQ(z0.RenewAddress(), 0);

    // The DHCP clients' lease files and a resolver behind systemd-resolved's stub.
    zep3test::TempDir root;
    const std::string index = std::to_string(z0.GetAdapterIndex());
    FreeNetworkAdaptersArray(adapters);
    ASSERT_EQ(
        runCommand("cd " + root.path() +
                   " && mkdir -p etc run/systemd/resolve run/systemd/netif/leases var/lib/dhcp && "
                   "echo 'nameserver 127.0.0.53' > etc/resolv.conf && "
                   "printf 'nameserver 10.9.8.53\\nnameserver fe80::1\\nnameserver 10.9.8.54\\n' > "
                   "run/systemd/resolve/resolv.conf && "
                   "printf 'ADDRESS=10.9.9.1\\nSERVER_ADDRESS=10.9.8.2\\n' > run/systemd/netif/leases/" +
                   index +
                   " && printf 'lease {\\n  interface \"z0\";\\n  option dhcp-server-identifier "
                   "10.9.8.3;\\n}\\n' > var/lib/dhcp/dhclient.z0.leases"),
        0);
    zep3::detail::SetIpHelperRoot(root.path());
    EnumNetworkAdapters(adapters);
    EXPECT_EQ(named("z0").GetDchpAddr(), "10.9.8.2");
    ASSERT_EQ(named("z0").GetNumDnsAddrs(), 2);
    EXPECT_EQ(named("z0").GetDnsAddr(1), "10.9.8.54");
    EXPECT_EQ(named("z1").GetDchpAddr(), ""); // no address, no lease
    FreeNetworkAdaptersArray(adapters);
    runCommand("rm " + root.file("run/systemd/netif/leases/" + index));
    EnumNetworkAdapters(adapters);
    EXPECT_EQ(named("z0").GetDchpAddr(), "10.9.8.3"); // dhclient's
    FreeNetworkAdaptersArray(adapters);
    zep3::detail::SetIpHelperRoot("");
}

TEST(NetworkAdapter, InAPrivateNamespace) {
    // The child mounts its own sysfs, which shows the namespace's interfaces.
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string child = "'mount -t sysfs sysfs /sys && ZEP3_NETNS_CHILD=1 exec " + std::string(self) +
                              " --gtest_filter=NetworkAdapterNamespace.InsideTheNamespace --gtest_brief=1'";
    for (const char* unshare : {"unshare -rnm", "unshare -nm"}) {
        if (runCommand(std::string(unshare) + " true 2>/dev/null") != 0) continue;
        std::string out;
        EXPECT_EQ(runCommand(std::string(unshare) + " sh -c " + child + " 2>&1", &out), 0) << out;
        return;
    }
    GTEST_SKIP() << "this kernel lets the test make no network namespace";
}

} // namespace
