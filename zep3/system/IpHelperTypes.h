#pragma once
/// @file
/// The records of the IP helper service that CNetworkAdapter reads: one
/// adapter of the platform's adapter list and the address strings it holds.
/// Texts are dotted IPv4 notation.
#include <zep3/platform/WinTypes.h>

#define MAX_ADAPTER_NAME_LENGTH 256
#define MAX_ADAPTER_DESCRIPTION_LENGTH 128
#define MAX_ADAPTER_ADDRESS_LENGTH 8

#define MIB_IF_TYPE_OTHER 1
#define MIB_IF_TYPE_ETHERNET 6
#define MIB_IF_TYPE_TOKENRING 9
#define MIB_IF_TYPE_FDDI 15
#define MIB_IF_TYPE_PPP 23
#define MIB_IF_TYPE_LOOPBACK 24
#define MIB_IF_TYPE_SLIP 28

/// One dotted IPv4 address (or mask) as text, zero-terminated.
struct IP_ADDRESS_STRING {
    char String[16];
};
typedef IP_ADDRESS_STRING IP_MASK_STRING;

/// One address with its mask, in a list.
struct IP_ADDR_STRING {
    IP_ADDR_STRING* Next;
    IP_ADDRESS_STRING IpAddress;
    IP_MASK_STRING IpMask;
    DWORD Context;
};

/// One adapter of the list GetAdaptersInfo fills: its name, hardware address,
/// type (MIB_IF_TYPE_*), addresses, gateway and DHCP state. Next links the list.
struct IP_ADAPTER_INFO {
    IP_ADAPTER_INFO* Next;
    DWORD ComboIndex;
    char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
    char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
    UINT AddressLength;
    BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
    DWORD Index;
    UINT Type;
    UINT DhcpEnabled;
    IP_ADDR_STRING* CurrentIpAddress; ///< null when the adapter has no address
    IP_ADDR_STRING IpAddressList;     ///< the first entry; empty texts when the list is empty
    IP_ADDR_STRING GatewayList;
    IP_ADDR_STRING DhcpServer;
    BOOL HaveWins;
    IP_ADDR_STRING PrimaryWinsServer;
    IP_ADDR_STRING SecondaryWinsServer;
    LONG LeaseObtained; ///< seconds since 1970
    LONG LeaseExpires;
};
