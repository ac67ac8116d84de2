#pragma once
/// @class CNetworkAdapter
/// A snapshot of one network adapter (a network interface;
/// its name is the interface's name): identity, IPv4 addresses, default
/// gateways, DNS servers and DHCP lease, as EnumNetworkAdapters finds them.
///
/// Addresses are dotted IPv4 texts. An adapter without an address has the
/// current address and mask "0.0.0.0" and no entries in its address list.
/// DHCP is taken as used when an address of the adapter has a lifetime (a
/// lease); the lease's expiry is then the end of that lifetime and its start
/// the address's last renewal; the DHCP server comes from the DHCP client's
/// lease file when there is one. The DNS servers are the resolver's. WINS is
/// never used here: its texts are empty.
#include <zep3/platform/Array.h>
#include <zep3/platform/ArrayEx.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/StringArray.h>
#include <zep3/system/IpHelperTypes.h>

class ZEP3_API CNetworkAdapter {
public:
    /// An address with its subnet mask.
    struct SIpAddress {
        CString m_Address;
        CString m_Mask;
    };

    CNetworkAdapter();

    /// Fills the snapshot from one entry of the platform's adapter list
    /// (nothing for null), then reads the adapter's DNS servers. 1 when they
    /// could be read, 0 otherwise.
    int SetupAdapterInfo(IP_ADAPTER_INFO* info);

    CString GetAdapterName() const { return m_sName; }
    CString GetAdapterDescription() const { return m_sDesc; }
    CString GetCurrentIpAddress() const { return m_sCurIpAddr; }
    CString GetCurrentSubnetMask() const { return m_sCurSubnet; }
    CString GetDchpAddr() const { return m_sDhcpAddr; }
    CString GetPrimaryWinsServer() const { return m_sPriWins; }
    CString GetSecondaryWinsServer() const { return m_sSecWins; }
    DWORD GetAdapterIndex() const { return m_dwIndex; }
    UINT GetAdapterType() const { return m_nType; }
    int IsDhcpUsed() const { return m_bDhcpUsed; }
    int IsWinsUsed() const { return m_bWinsUsed; }
    /// Seconds since 1970; 0 without a lease.
    LONG GetLeaseObtained() const { return m_tLeaseObtained; }
    LONG GetLeaseExpired() const { return m_tLeaseExpires; }
    int GetNumIpAddrs() const { return int(m_IpAddresses.GetSize()); }
    int GetNumDnsAddrs() const { return int(m_DnsAddresses.GetSize()); }
    int GetNumGatewayAddrs() const { return int(m_GatewayAddresses.GetSize()); }
    /// The i-th entry; an empty text when there is none.
    CString GetIpAddr(int i) const;
    CString GetSubnetForIpAddr(int i) const;
    CString GetDnsAddr(int i) const;
    CString GetGatewayAddr(int i) const;
    /// Replaces the array's content with the hardware address (up to 8 bytes).
    void GetAdapterAddress(CArray<unsigned char, unsigned char>& bytes) const;

    /// "Other", "Ethernet", "Token Ring", "FDDI", "PPP", "Loopback", "SLIP"
    /// for types 1, 6, 9, 15, 23, 24, 28; "Invalid Adapter Type" for any other.
    static CString GetAdapterTypeString(unsigned int type);

    /// Asks NetworkManager to release (or renew) the adapter's DHCP address.
    /// 1 when it agreed; 0 when the interface is gone, there is no
    /// NetworkManager, or the request failed.
    int ReleaseAddress();
    int RenewAddress();

private:
    int ChangeAddress(bool release);

    CString m_sName;
    CString m_sDesc;
    CString m_sPriWins;
    CString m_sSecWins;
    CString m_sDhcpAddr;
    CString m_sCurIpAddr;
    CString m_sCurSubnet;
    CArray<SIpAddress, const SIpAddress&> m_IpAddresses;
    CStringArray m_DnsAddresses;
    CStringArray m_GatewayAddresses;
    DWORD m_dwIndex;
    UINT m_nType;
    int m_bDhcpUsed;
    int m_bWinsUsed;
    LONG m_tLeaseObtained;
    LONG m_tLeaseExpires;
    BYTE m_ucAddress[MAX_ADAPTER_ADDRESS_LENGTH];
    UINT m_nAddressLength;
};

/// @relates CNetworkAdapter Empties the array (deleting nothing) and appends a new adapter for each of
/// the platform's adapters, in index order; the caller owns them. 0 always;
/// the array stays empty when the list cannot be read.
ZEP3_API unsigned long EnumNetworkAdapters(CArrayEx<CNetworkAdapter*, CNetworkAdapter*>& adapters);
/// @relates CNetworkAdapter Deletes every adapter in the array and empties it.
ZEP3_API void FreeNetworkAdaptersArray(CArrayEx<CNetworkAdapter*, CNetworkAdapter*>& adapters);
