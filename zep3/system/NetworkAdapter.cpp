#include <zep3/platform/LastError.h>
#include <zep3/system/NetworkAdapter.h>
#include <zep3/system/detail/IpHelper.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace zep3::detail;

namespace {

// The platform's size-first calls: asks for the size, then fills a buffer
// of that size (kept as records of the first type, so it is aligned).
template <class Record, class Call> bool Query(std::vector<Record>& buffer, Call call) {
    ULONG size = 0;
    if (call(static_cast<Record*>(nullptr), &size) != ERROR_BUFFER_OVERFLOW) return false;
    buffer.resize(size / sizeof(Record) + 1);
    return call(buffer.data(), &size) == ERROR_SUCCESS;
}

CString Entry(const CStringArray& texts, int i) {
    return i >= 0 && i < texts.GetSize() ? texts[i] : CString();
}

void AppendList(CStringArray& to, const IP_ADDR_STRING& head) {
    for (const IP_ADDR_STRING* entry = &head; entry; entry = entry->Next)
        if (entry->IpAddress.String[0]) to.Add(entry->IpAddress.String);
}

} // namespace

CNetworkAdapter::CNetworkAdapter()
    : m_sCurIpAddr("0.0.0.0"), m_sCurSubnet("0.0.0.0"), m_dwIndex(0), m_nType(0), m_bDhcpUsed(0),
      m_bWinsUsed(0), m_tLeaseObtained(0), m_tLeaseExpires(0), m_ucAddress(), m_nAddressLength(0) {}

int CNetworkAdapter::SetupAdapterInfo(IP_ADAPTER_INFO* info) {
    if (!info) return 0;
    m_sName = info->AdapterName;
    m_sDesc = info->Description;
    m_dwIndex = info->Index;
    m_nType = info->Type;
    m_bDhcpUsed = int(info->DhcpEnabled);
    m_bWinsUsed = info->HaveWins;
    m_tLeaseObtained = info->LeaseObtained;
    m_tLeaseExpires = info->LeaseExpires;
    m_nAddressLength = std::min<UINT>(info->AddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
    memcpy(m_ucAddress, info->Address, m_nAddressLength);
    m_sDhcpAddr = info->DhcpServer.IpAddress.String;
    m_sPriWins = info->PrimaryWinsServer.IpAddress.String;
    m_sSecWins = info->SecondaryWinsServer.IpAddress.String;
    m_sCurIpAddr = info->CurrentIpAddress ? info->CurrentIpAddress->IpAddress.String : "0.0.0.0";
    m_sCurSubnet = info->CurrentIpAddress ? info->CurrentIpAddress->IpMask.String : "0.0.0.0";
    m_IpAddresses.RemoveAll();
    for (const IP_ADDR_STRING* entry = &info->IpAddressList; entry; entry = entry->Next)
        if (entry->IpAddress.String[0])
            m_IpAddresses.Add(SIpAddress{entry->IpAddress.String, entry->IpMask.String});
    m_GatewayAddresses.RemoveAll();
    AppendList(m_GatewayAddresses, info->GatewayList);

    std::vector<IP_PER_ADAPTER_INFO> dns;
    if (!Query(dns, [this](IP_PER_ADAPTER_INFO* b, ULONG* s) { return GetPerAdapterInfo(m_dwIndex, b, s); }))
        return 0;
    AppendList(m_DnsAddresses, dns[0].DnsServerList);
    return 1;
}

CString CNetworkAdapter::GetIpAddr(int i) const {
    return i >= 0 && i < m_IpAddresses.GetSize() ? m_IpAddresses[i].m_Address : CString();
}

CString CNetworkAdapter::GetSubnetForIpAddr(int i) const {
    return i >= 0 && i < m_IpAddresses.GetSize() ? m_IpAddresses[i].m_Mask : CString();
}

CString CNetworkAdapter::GetDnsAddr(int i) const { return Entry(m_DnsAddresses, i); }

CString CNetworkAdapter::GetGatewayAddr(int i) const { return Entry(m_GatewayAddresses, i); }

void CNetworkAdapter::GetAdapterAddress(CArray<unsigned char, unsigned char>& bytes) const {
    bytes.RemoveAll();
    for (UINT i = 0; i < m_nAddressLength; ++i) bytes.Add(m_ucAddress[i]);
}

CString CNetworkAdapter::GetAdapterTypeString(unsigned int type) {
    switch (type) {
    case MIB_IF_TYPE_OTHER:
        return "Other";
    case MIB_IF_TYPE_ETHERNET:
        return "Ethernet";
    case MIB_IF_TYPE_TOKENRING:
        return "Token Ring";
    case MIB_IF_TYPE_FDDI:
        return "FDDI";
    case MIB_IF_TYPE_PPP:
        return "PPP";
    case MIB_IF_TYPE_LOOPBACK:
        return "Loopback";
    case MIB_IF_TYPE_SLIP:
        return "SLIP";
    default:
        return "Invalid Adapter Type";
    }
}

int CNetworkAdapter::ReleaseAddress() { return ChangeAddress(true); }

int CNetworkAdapter::RenewAddress() { return ChangeAddress(false); }

int CNetworkAdapter::ChangeAddress(bool release) {
    std::vector<IP_INTERFACE_INFO> table;
    if (!Query(table, GetInterfaceInfo)) return 0;
    for (LONG i = 0; i < table[0].NumAdapters; ++i) {
        IP_ADAPTER_INDEX_MAP& entry = table[0].Adapter[i];
        if (entry.Index != m_dwIndex) continue;
        return (release ? IpReleaseAddress(&entry) : IpRenewAddress(&entry)) == ERROR_SUCCESS ? 1 : 0;
    }
    return 0;
}

unsigned long EnumNetworkAdapters(CArrayEx<CNetworkAdapter*, CNetworkAdapter*>& adapters) {
    adapters.RemoveAll();
    std::vector<IP_ADAPTER_INFO> list;
    if (!Query(list, GetAdaptersInfo)) return 0;
    for (IP_ADAPTER_INFO* info = list.data(); info; info = info->Next) {
        CNetworkAdapter* adapter = new CNetworkAdapter;
        adapter->SetupAdapterInfo(info);
        adapters.Add(adapter);
    }
    return 0;
}

void FreeNetworkAdaptersArray(CArrayEx<CNetworkAdapter*, CNetworkAdapter*>& adapters) {
    for (INT_PTR i = 0; i < adapters.GetSize(); ++i) delete adapters[i];
    adapters.RemoveAll();
}
