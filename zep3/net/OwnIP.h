#pragma once
/// @file
/// The host's own IPv4 addresses, and private address ranges.
#include <zep3/platform/StringArray.h>
#include <zep3/platform/WinSock.h>

/// Appends every IPv4 address of the host's name, in the order the name
/// resolves to, as dotted text (the array is not emptied first). startSockets
/// wraps the lookup in WSAStartup(2.0)/WSACleanup. True when the array holds
/// any entry. On many Linux hosts the name maps to 127.0.1.1.
ZEP3_API bool GetOwnIP(CStringArray& addresses, bool startSockets);
/// The first address of the host's name, as text and as in_addr; true when
/// `address` is not empty.
ZEP3_API bool GetOwnIP(CString& address, in_addr& addr, bool startSockets);
/// Whether an address (host order: first octet most significant) lies in
/// 10.0.0.0/8, 172.16.0.0/12 or 192.168.0.0/16.
ZEP3_API bool IsLocalIp(unsigned int address);
