#include <zep3/platform/LastError.h>
#include <zep3/platform/detail/Posix.h>
#include <zep3/system/detail/IpHelper.h>

#include <net/if.h> // before the linux headers, which it would clash with

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <ctime>
#include <functional>
#include <glob.h>
#include <linux/if_arp.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>
#include <vector>

namespace zep3::detail {

namespace {

struct Address {
    in_addr address;
    int prefix;
    bool dynamic;   // not permanent: a lease's address
    uint32_t valid; // seconds left
    uint32_t stamp; // last update, hundredths of a second since boot
};

struct Adapter {
    int index = 0;
    std::string name, description;
    unsigned short linkType = 0;
    std::vector<uint8_t> hardware;
    std::vector<Address> addresses;
    std::vector<in_addr> gateways;
    std::string dhcpServer;
};

std::mutex g_RootLock;
std::string g_Root;

std::string Rooted(const std::string& path) {
    std::lock_guard<std::mutex> hold(g_RootLock);
    return g_Root + path;
}

// ---- rtnetlink ----

// Sends one dump request and hands each answer to `take`; false on failure.
bool Dump(uint16_t type, const void* request, size_t requestSize,
          const std::function<void(nlmsghdr*)>& take) {
    UniqueFd fd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!fd.IsOpen()) return false;
    struct {
        nlmsghdr header;
        char body[64];
    } message{};
    message.header.nlmsg_len = uint32_t(NLMSG_LENGTH(requestSize));
    message.header.nlmsg_type = type;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.header.nlmsg_seq = 1;
    memcpy(NLMSG_DATA(&message.header), request, requestSize);
    if (send(fd.Get(), &message, message.header.nlmsg_len, 0) < 0) return false;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = recv(fd.Get(), buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        int left = int(got);
        // NLMSG_OK's test, without its comparison of the unsigned length with an int.
        for (nlmsghdr* h = reinterpret_cast<nlmsghdr*>(buffer.data());
             left >= int(sizeof(nlmsghdr)) && h->nlmsg_len >= sizeof(nlmsghdr) && h->nlmsg_len <= unsigned(left);
             h = NLMSG_NEXT(h, left)) {
            if (h->nlmsg_type == NLMSG_DONE) return true;
            if (h->nlmsg_type == NLMSG_ERROR) return false;
            take(h);
        }
    }
}

// The attributes of a message as type -> attribute.
template <class Header> std::map<int, rtattr*> Attributes(nlmsghdr* h) {
    std::map<int, rtattr*> found;
    int left = int(h->nlmsg_len) - int(NLMSG_LENGTH(sizeof(Header)));
    for (rtattr* a =
             reinterpret_cast<rtattr*>(reinterpret_cast<char*>(NLMSG_DATA(h)) + NLMSG_ALIGN(sizeof(Header)));
         RTA_OK(a, left); a = RTA_NEXT(a, left))
        found[a->rta_type] = a;
    return found;
}

std::string Text(rtattr* a) { return a ? std::string(static_cast<const char*>(RTA_DATA(a))) : std::string(); }

std::string LinkKind(rtattr* linkInfo) {
    if (!linkInfo) return {};
    int left = int(RTA_PAYLOAD(linkInfo));
    for (rtattr* a = static_cast<rtattr*>(RTA_DATA(linkInfo)); RTA_OK(a, left); a = RTA_NEXT(a, left))
        if (a->rta_type == IFLA_INFO_KIND) return Text(a);
    return {};
}

// What describes the adapter: its alias, else its driver, else its kind, else its name.
std::string Description(const std::string& name, const std::string& alias, const std::string& kind) {
    if (!alias.empty()) return alias;
    char target[256];
    const ssize_t n =
        readlink(("/sys/class/net/" + name + "/device/driver").c_str(), target, sizeof target - 1);
    if (n > 0) {
        const std::string driver(target, size_t(n));
        return driver.substr(driver.rfind('/') + 1);
    }
    return kind.empty() ? name : kind;
}

bool ReadLinks(std::vector<Adapter>& adapters) {
    ifinfomsg request{};
    request.ifi_family = AF_UNSPEC;
    return Dump(RTM_GETLINK, &request, sizeof request, [&](nlmsghdr* h) {
        if (h->nlmsg_type != RTM_NEWLINK) return;
        const ifinfomsg* info = static_cast<const ifinfomsg*>(NLMSG_DATA(h));
        auto a = Attributes<ifinfomsg>(h);
        Adapter adapter;
        adapter.index = info->ifi_index;
        adapter.name = Text(a[IFLA_IFNAME]);
        adapter.linkType = info->ifi_type;
        if (rtattr* hw = a[IFLA_ADDRESS]) {
            const uint8_t* bytes = static_cast<const uint8_t*>(RTA_DATA(hw));
            adapter.hardware.assign(bytes,
                                    bytes + std::min<size_t>(RTA_PAYLOAD(hw), MAX_ADAPTER_ADDRESS_LENGTH));
        }
        adapter.description = Description(adapter.name, Text(a[IFLA_IFALIAS]), LinkKind(a[IFLA_LINKINFO]));
        adapters.push_back(adapter);
    });
}

Adapter* Find(std::vector<Adapter>& adapters, int index) {
    for (Adapter& adapter : adapters)
        if (adapter.index == index) return &adapter;
    return nullptr;
}

bool ReadAddresses(std::vector<Adapter>& adapters) {
    ifaddrmsg request{};
    request.ifa_family = AF_INET;
    return Dump(RTM_GETADDR, &request, sizeof request, [&](nlmsghdr* h) {
        const ifaddrmsg* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(h));
        Adapter* adapter = Find(adapters, int(info->ifa_index));
        if (h->nlmsg_type != RTM_NEWADDR || info->ifa_family != AF_INET || !adapter) return;
        auto a = Attributes<ifaddrmsg>(h);
        rtattr* local = a[IFA_LOCAL] ? a[IFA_LOCAL] : a[IFA_ADDRESS];
        if (!local) return;
        const uint32_t flags =
            a[IFA_FLAGS] ? *static_cast<uint32_t*>(RTA_DATA(a[IFA_FLAGS])) : info->ifa_flags;
        Address address{*static_cast<in_addr*>(RTA_DATA(local)), info->ifa_prefixlen,
                        !(flags & IFA_F_PERMANENT), 0, 0};
        if (rtattr* cache = a[IFA_CACHEINFO]) {
            const ifa_cacheinfo* c = static_cast<const ifa_cacheinfo*>(RTA_DATA(cache));
            address.valid = c->ifa_valid;
            address.stamp = c->tstamp;
        }
        adapter->addresses.push_back(address);
    });
}

// Gateways of the main table's default routes, by outgoing interface.
bool ReadGateways(std::vector<Adapter>& adapters) {
    rtmsg request{};
    request.rtm_family = AF_INET;
    return Dump(RTM_GETROUTE, &request, sizeof request, [&](nlmsghdr* h) {
        const rtmsg* route = static_cast<const rtmsg*>(NLMSG_DATA(h));
        if (h->nlmsg_type != RTM_NEWROUTE || route->rtm_family != AF_INET || route->rtm_dst_len != 0) return;
        auto a = Attributes<rtmsg>(h);
        const uint32_t table =
            a[RTA_TABLE] ? *static_cast<uint32_t*>(RTA_DATA(a[RTA_TABLE])) : route->rtm_table;
        if (table != RT_TABLE_MAIN || !a[RTA_GATEWAY] || !a[RTA_OIF]) return;
        if (Adapter* adapter = Find(adapters, *static_cast<int*>(RTA_DATA(a[RTA_OIF]))))
            adapter->gateways.push_back(*static_cast<in_addr*>(RTA_DATA(a[RTA_GATEWAY])));
    });
}

// ---- DHCP leases and DNS ----

// "KEY=value" lines (systemd-networkd's and NetworkManager's lease files).
std::string KeyValue(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
    return {};
}

std::vector<std::string> Glob(const std::string& pattern) {
    std::vector<std::string> paths;
    glob_t found{};
    if (glob(pattern.c_str(), 0, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i) paths.push_back(found.gl_pathv[i]);
    globfree(&found);
    return paths;
}

// The server of the interface's last lease in dhclient's lease files.
std::string DhclientServer(const std::string& name) {
    std::string server;
    for (const std::string& path : Glob(Rooted("/var/lib/dhcp/dhclient*.leases"))) {
        std::string text;
        if (!ReadWholeFile(path, text)) continue;
        for (size_t at = text.find("lease {"); at != std::string::npos; at = text.find("lease {", at + 1)) {
            const std::string lease = text.substr(at, text.find('}', at) - at);
            const size_t option = lease.find("option dhcp-server-identifier ");
            if (lease.find("interface \"" + name + "\";") == std::string::npos || option == std::string::npos)
                continue;
            const size_t start = option + 30;
            server = lease.substr(start, lease.find(';', start) - start);
        }
    }
    return server;
}

std::string DhcpServer(const Adapter& adapter) {
    std::vector<std::string> files = {Rooted("/run/systemd/netif/leases/" + std::to_string(adapter.index))};
    for (const std::string& path :
         Glob(Rooted("/var/lib/NetworkManager/internal-*-" + adapter.name + ".lease")))
        files.push_back(path);
    for (const std::string& path : files) {
        std::string text;
        if (ReadWholeFile(path, text) && !KeyValue(text, "SERVER_ADDRESS").empty())
            return KeyValue(text, "SERVER_ADDRESS");
    }
    return DhclientServer(adapter.name);
}

// The resolver's IPv4 name servers; behind systemd-resolved's stub, its upstream list.
bool NameServers(std::vector<std::string>& servers) {
    for (const char* path : {"/etc/resolv.conf", "/run/systemd/resolve/resolv.conf"}) {
        std::string text;
        if (!ReadWholeFile(Rooted(path), text)) return !servers.empty();
        servers.clear();
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::string keyword, address;
            in_addr parsed;
            if (words >> keyword >> address && keyword == "nameserver" &&
                inet_pton(AF_INET, address.c_str(), &parsed))
                servers.push_back(address);
        }
        if (servers.size() != 1 || servers[0] != "127.0.0.53") return true;
    }
    return true;
}

// ---- the records ----

std::string Dotted(in_addr address) {
    char text[INET_ADDRSTRLEN];
    return inet_ntop(AF_INET, &address, text, sizeof text) ? text : "0.0.0.0";
}

std::string Mask(int prefix) {
    return Dotted(in_addr{htonl(prefix <= 0 ? 0 : prefix >= 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefix))});
}

UINT AdapterType(unsigned short linkType) {
    switch (linkType) {
    case ARPHRD_ETHER:
        return MIB_IF_TYPE_ETHERNET;
    case ARPHRD_IEEE802_TR:
        return MIB_IF_TYPE_TOKENRING;
    case ARPHRD_FDDI:
        return MIB_IF_TYPE_FDDI;
    case ARPHRD_PPP:
        return MIB_IF_TYPE_PPP;
    case ARPHRD_LOOPBACK:
        return MIB_IF_TYPE_LOOPBACK;
    case ARPHRD_SLIP:
    case ARPHRD_CSLIP:
    case ARPHRD_SLIP6:
    case ARPHRD_CSLIP6:
        return MIB_IF_TYPE_SLIP;
    default:
        return MIB_IF_TYPE_OTHER;
    }
}

void SetString(IP_ADDR_STRING& entry, const std::string& address, const std::string& mask) {
    entry = IP_ADDR_STRING{};
    CopyText(entry.IpAddress.String, sizeof entry.IpAddress.String, address.c_str());
    CopyText(entry.IpMask.String, sizeof entry.IpMask.String, mask.c_str());
}

// Lays out a list of (address, mask): the first in `head`, the others taken
// from `spare`, which advances.
void SetList(IP_ADDR_STRING& head, const std::vector<std::pair<std::string, std::string>>& items,
             IP_ADDR_STRING*& spare) {
    SetString(head, items.empty() ? "" : items[0].first, items.empty() ? "" : items[0].second);
    IP_ADDR_STRING* last = &head;
    for (size_t i = 1; i < items.size(); ++i, ++spare) {
        SetString(*spare, items[i].first, items[i].second);
        last->Next = spare;
        last = spare;
    }
}

// Seconds since 1970 of a moment given in hundredths of a second since boot.
LONG WallClockOfBootStamp(uint32_t stamp) {
    timespec now{}, sinceBoot{};
    clock_gettime(CLOCK_REALTIME, &now);
    clock_gettime(CLOCK_MONOTONIC, &sinceBoot);
    return LONG(now.tv_sec - sinceBoot.tv_sec + stamp / 100);
}

void Fill(IP_ADAPTER_INFO& to, const Adapter& from, IP_ADDR_STRING*& spare) {
    to = IP_ADAPTER_INFO{};
    to.ComboIndex = DWORD(from.index);
    CopyText(to.AdapterName, sizeof to.AdapterName, from.name.c_str());
    CopyText(to.Description, sizeof to.Description, from.description.c_str());
    to.AddressLength = UINT(from.hardware.size());
    std::copy(from.hardware.begin(), from.hardware.end(), to.Address);
    to.Index = DWORD(from.index);
    to.Type = AdapterType(from.linkType);
    std::vector<std::pair<std::string, std::string>> addresses, gateways;
    for (const Address& a : from.addresses) addresses.emplace_back(Dotted(a.address), Mask(a.prefix));
    for (const in_addr& g : from.gateways) gateways.emplace_back(Dotted(g), "255.255.255.255");
    SetList(to.IpAddressList, addresses, spare);
    SetList(to.GatewayList, gateways, spare);
    if (!addresses.empty()) to.CurrentIpAddress = &to.IpAddressList;
    const auto lease = std::find_if(from.addresses.begin(), from.addresses.end(),
                                    [](const Address& a) { return a.dynamic; });
    if (lease != from.addresses.end()) {
        to.DhcpEnabled = 1;
        to.LeaseObtained = WallClockOfBootStamp(lease->stamp);
        to.LeaseExpires = LONG(time(nullptr) + lease->valid);
    }
    SetString(to.DhcpServer, from.dhcpServer, "");
    SetString(to.PrimaryWinsServer, "", "");
    SetString(to.SecondaryWinsServer, "", "");
}

size_t ListCount(size_t items) { return items > 1 ? items - 1 : 0; }

template <class Record> DWORD CheckSize(const Record* buffer, ULONG* size, size_t needed) {
    if (!size) return ERROR_INVALID_PARAMETER;
    if (!buffer || *size < needed) {
        *size = ULONG(needed);
        return ERROR_BUFFER_OVERFLOW;
    }
    return ERROR_SUCCESS;
}

bool Snapshot(std::vector<Adapter>& adapters) {
    if (!ReadLinks(adapters) || !ReadAddresses(adapters) || !ReadGateways(adapters)) return false;
    std::sort(adapters.begin(), adapters.end(),
              [](const Adapter& a, const Adapter& b) { return a.index < b.index; });
    for (Adapter& adapter : adapters)
        if (!adapter.addresses.empty()) adapter.dhcpServer = DhcpServer(adapter);
    return true;
}

// ---- NetworkManager ----

// Calls a method of NetworkManager's device for the interface; ERROR_SUCCESS when it answered.
DWORD CallDevice(const char* name, const std::function<int(sd_bus*, const char* device)>& call) {
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return ERROR_NOT_SUPPORTED;
    sd_bus_message* reply = nullptr;
    const char* device = nullptr;
    int result = sd_bus_call_method(bus, "org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager",
                                    "org.freedesktop.NetworkManager", "GetDeviceByIpIface", nullptr, &reply,
                                    "s", name);
    if (result >= 0) result = sd_bus_message_read(reply, "o", &device);
    if (result >= 0) result = call(bus, device);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return result >= 0 ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_NOT_SUPPORTED);
}

} // namespace

void SetIpHelperRoot(const std::string& root) {
    std::lock_guard<std::mutex> hold(g_RootLock);
    g_Root = root;
}

DWORD GetAdaptersInfo(IP_ADAPTER_INFO* buffer, ULONG* size) {
    std::vector<Adapter> adapters;
    if (!Snapshot(adapters)) return ERROR_NOT_SUPPORTED;
    if (adapters.empty()) return ERROR_NO_DATA;
    size_t extra = 0;
    for (const Adapter& a : adapters) extra += ListCount(a.addresses.size()) + ListCount(a.gateways.size());
    const DWORD fits =
        CheckSize(buffer, size, adapters.size() * sizeof(IP_ADAPTER_INFO) + extra * sizeof(IP_ADDR_STRING));
    if (fits != ERROR_SUCCESS) return fits;
    IP_ADDR_STRING* spare = reinterpret_cast<IP_ADDR_STRING*>(buffer + adapters.size());
    for (size_t i = 0; i < adapters.size(); ++i) {
        Fill(buffer[i], adapters[i], spare);
        buffer[i].Next = i + 1 < adapters.size() ? &buffer[i + 1] : nullptr;
    }
    return ERROR_SUCCESS;
}

DWORD GetPerAdapterInfo(ULONG index, IP_PER_ADAPTER_INFO* info, ULONG* size) {
    char name[IF_NAMESIZE];
    if (!if_indextoname(index, name)) return ERROR_INVALID_PARAMETER;
    std::vector<std::string> servers;
    if (!NameServers(servers)) return ERROR_NOT_SUPPORTED;
    const DWORD fits = CheckSize(
        info, size, sizeof(IP_PER_ADAPTER_INFO) + ListCount(servers.size()) * sizeof(IP_ADDR_STRING));
    if (fits != ERROR_SUCCESS) return fits;
    *info = IP_PER_ADAPTER_INFO{};
    std::vector<std::pair<std::string, std::string>> items;
    for (const std::string& server : servers) items.emplace_back(server, "");
    IP_ADDR_STRING* spare = reinterpret_cast<IP_ADDR_STRING*>(info + 1);
    SetList(info->DnsServerList, items, spare);
    if (!servers.empty()) info->CurrentDnsServer = &info->DnsServerList;
    return ERROR_SUCCESS;
}

DWORD GetInterfaceInfo(IP_INTERFACE_INFO* table, ULONG* size) {
    std::vector<Adapter> adapters;
    if (!ReadLinks(adapters)) return ERROR_NOT_SUPPORTED;
    adapters.erase(std::remove_if(adapters.begin(), adapters.end(),
                                  [](const Adapter& a) { return a.linkType == ARPHRD_LOOPBACK; }),
                   adapters.end());
    const size_t count = std::max<size_t>(adapters.size(), 1);
    const DWORD fits =
        CheckSize(table, size, sizeof(IP_INTERFACE_INFO) + (count - 1) * sizeof(IP_ADAPTER_INDEX_MAP));
    if (fits != ERROR_SUCCESS) return fits;
    table->NumAdapters = LONG(adapters.size());
    for (size_t i = 0; i < adapters.size(); ++i) {
        table->Adapter[i].Index = ULONG(adapters[i].index);
        CopyText(table->Adapter[i].Name, sizeof table->Adapter[i].Name, adapters[i].name.c_str());
    }
    return ERROR_SUCCESS;
}

DWORD IpReleaseAddress(IP_ADAPTER_INDEX_MAP* adapter) {
    if (!adapter) return ERROR_INVALID_PARAMETER;
    return CallDevice(adapter->Name, [](sd_bus* bus, const char* device) {
        return sd_bus_call_method(bus, "org.freedesktop.NetworkManager", device,
                                  "org.freedesktop.NetworkManager.Device", "Disconnect", nullptr, nullptr,
                                  "");
    });
}

DWORD IpRenewAddress(IP_ADAPTER_INDEX_MAP* adapter) {
    if (!adapter) return ERROR_INVALID_PARAMETER;
    return CallDevice(adapter->Name, [](sd_bus* bus, const char* device) {
        return sd_bus_call_method(bus, "org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager",
                                  "org.freedesktop.NetworkManager", "ActivateConnection", nullptr, nullptr,
                                  "ooo", "/", device, "/");
    });
}

} // namespace zep3::detail
