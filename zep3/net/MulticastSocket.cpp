#include <zep3/net/MulticastSocket.h>
#include <zep3/net/OwnIP.h>
#include <zep3/platform/MessageBox.h>
#include <zep3/platform/detail/Posix.h>

#include <cstring>

CMulticastSocket::CMulticastSocket() : m_nLocalPort(0), m_bForceNoLoopback(FALSE) {
    std::memset(&m_GroupAddress, 0, sizeof m_GroupAddress);
    std::memset(&m_Membership, 0, sizeof m_Membership);
}

CMulticastSocket::~CMulticastSocket() = default;

int CMulticastSocket::JoinGroup(CString groupAddress, unsigned int groupPort, unsigned int ttl,
                                int loopback) {
    return CreateReceivingSocket(groupAddress, groupPort) && CreateSendingSocket(ttl, loopback) ? 1 : 0;
}

int CMulticastSocket::CreateReceivingSocket(char const* groupAddress, unsigned int groupPort) {
    // Linux takes address reuse only before the bind, and would otherwise
    // deliver every group joined by anybody on the port.
    const int on = 1, off = 0;
    if (!Socket(SOCK_DGRAM, FD_READ)) return 0;
    if (!SetSockOpt(SO_REUSEADDR, &on, sizeof on) ||
        !SetSockOpt(IP_MULTICAST_ALL, &off, sizeof off, IPPROTO_IP) || !Bind(groupPort)) {
        Close();
        return 0;
    }
    m_GroupAddress.sin_family = AF_INET;
    m_GroupAddress.sin_addr.s_addr = inet_addr(groupAddress ? groupAddress : "");
    m_GroupAddress.sin_port = htons(static_cast<uint16_t>(groupPort));
    m_Membership.imr_multiaddr = m_GroupAddress.sin_addr;
    m_Membership.imr_interface.s_addr = htonl(INADDR_ANY);
    return SetSockOpt(IP_ADD_MEMBERSHIP, &m_Membership, sizeof m_Membership, IPPROTO_IP) ? 1 : 0;
}

int CMulticastSocket::CreateSendingSocket(unsigned int ttl, int loopback) {
    if (!m_SendingSocket.Create(0, SOCK_DGRAM, 0)) return 0;
    if (!SetTTL(ttl)) AfxMessageBox("Warning! Error Setting TTL", MB_OK | MB_ICONWARNING);
    SetLoopBack(loopback);
    return 1;
}

int CMulticastSocket::SetTTL(unsigned int ttl) {
    const int value = int(ttl);
    return m_SendingSocket.SetSockOpt(IP_MULTICAST_TTL, &value, sizeof value, IPPROTO_IP) ? 1 : 0;
}

void CMulticastSocket::SetLoopBack(int loopback) {
    const int value = loopback;
    if (m_SendingSocket.SetSockOpt(IP_MULTICAST_LOOP, &value, sizeof value, IPPROTO_IP) || loopback) return;
    // The system insists on looping our datagrams back: remember where they
    // come from, so that a receiver can drop them.
    m_bForceNoLoopback = TRUE;
    in_addr first;
    GetOwnIP(m_strLocalAddress, first, false);
    CString ignored;
    m_SendingSocket.GetSockName(ignored, m_nLocalPort);
}

int CMulticastSocket::LeaveGroup() {
    if (!SetSockOpt(IP_DROP_MEMBERSHIP, &m_Membership, sizeof m_Membership, IPPROTO_IP)) return 0;
    m_SendingSocket.Close();
    Close();
    return 1;
}

int CMulticastSocket::SendTo(void const* data, int size) {
    for (int attempt = 1; attempt <= 100; ++attempt) {
        if (m_SendingSocket.SendTo(data, size, reinterpret_cast<const SOCKADDR*>(&m_GroupAddress),
                                   sizeof m_GroupAddress) != SOCKET_ERROR)
            return 0;
        if (GetLastError() != WSAEWOULDBLOCK || attempt == 100) return 1;
        zep3::detail::SleepMilliseconds(10);
    }
    return 1;
}

void CMulticastSocket::OnReceive(int error) { CAsyncSocket::OnReceive(error); }
