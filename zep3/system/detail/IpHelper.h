#pragma once
// The IP helper service on Linux: the adapter list from rtnetlink (links,
// IPv4 addresses, default routes), DNS servers from the resolver's
// configuration, DHCP leases from the address lifetimes and the DHCP
// clients' lease files, and address release and renewal through
// NetworkManager over D-Bus. The calls keep the Windows contracts (size
// first, then the data) so that CNetworkAdapter reads them as it read the
// originals.
#include <zep3/platform/Export.h>
#include <zep3/system/IpHelperTypes.h>

#include <string>

#define ERROR_BUFFER_OVERFLOW 111L
#define ERROR_NO_DATA 232L

namespace zep3::detail {

// The DNS servers of an adapter.
struct IP_PER_ADAPTER_INFO {
    UINT AutoconfigEnabled;
    UINT AutoconfigActive;
    IP_ADDR_STRING* CurrentDnsServer;
    IP_ADDR_STRING DnsServerList; // the first entry; empty texts when there is none
};

struct IP_ADAPTER_INDEX_MAP {
    ULONG Index;
    char Name[128];
};

struct IP_INTERFACE_INFO {
    LONG NumAdapters;
    IP_ADAPTER_INDEX_MAP Adapter[1];
};

// Every adapter (network interface) in index order, as one linked list in
// `buffer`. ERROR_BUFFER_OVERFLOW with *size set to what is needed when the
// buffer is null or too small; ERROR_NO_DATA when there are none.
ZEP3_TEST_API DWORD GetAdaptersInfo(IP_ADAPTER_INFO* buffer, ULONG* size);
// The DNS servers (the resolver's, the same for every adapter); the same
// size protocol. ERROR_INVALID_PARAMETER for an index no adapter has.
ZEP3_TEST_API DWORD GetPerAdapterInfo(ULONG index, IP_PER_ADAPTER_INFO* info, ULONG* size);
// The interfaces that have a DHCP client to ask; the same size protocol.
ZEP3_TEST_API DWORD GetInterfaceInfo(IP_INTERFACE_INFO* table, ULONG* size);
// Ask NetworkManager to release (disconnect the device) or renew (activate
// it again) the interface's address. NO_ERROR, or an error when there is no
// NetworkManager or it refuses.
ZEP3_TEST_API DWORD IpReleaseAddress(IP_ADAPTER_INDEX_MAP* adapter);
ZEP3_TEST_API DWORD IpRenewAddress(IP_ADAPTER_INDEX_MAP* adapter);

// Test hook: the root below which the resolver and lease files are read
// ("" for "/").
ZEP3_TEST_API void SetIpHelperRoot(const std::string& root);

} // namespace zep3::detail
