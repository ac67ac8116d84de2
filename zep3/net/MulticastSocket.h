#pragma once
/// @class CMulticastSocket
/// Membership of an IPv4 multicast group. The object itself
/// is the receiving socket, a datagram socket bound to the group's port on
/// all local addresses with only the readable event; a second socket sends
/// datagrams to the group. Applications derive from it, override OnReceive
/// and read the datagram there (ReceiveFrom); events arrive on the thread
/// that joined, inside its message loop.
///
/// The receiving socket allows address reuse, so that several programs (and
/// several objects) on one host receive the same group, and it receives only
/// the groups it joined. Loopback of the own datagrams is never refused here,
/// so the force-no-loopback fields stay unused.
///
/// Operations return non-zero on success, except SendTo: 0 when the datagram
/// was sent, 1 when it could not be. Nothing is thrown.
#include <zep3/platform/AsyncSocket.h>

class ZEP3_API CMulticastSocket : public CAsyncSocket {
public:
    CMulticastSocket();
    ~CMulticastSocket() override;

    /// CreateReceivingSocket, then CreateSendingSocket; non-zero when both succeed.
    int JoinGroup(CString groupAddress, unsigned int groupPort, unsigned int ttl, int loopback);
    /// Binds the receiving socket to the port and joins the group (dotted
    /// text) on any interface.
    int CreateReceivingSocket(char const* groupAddress, unsigned int groupPort);
    /// Creates the sending socket with the time-to-live and loopback. A TTL
    /// the system refuses is shown to the user ("Warning! Error Setting TTL")
    /// and does not stop the creation.
    int CreateSendingSocket(unsigned int ttl, int loopback);
    int SetTTL(unsigned int ttl);
    void SetLoopBack(int loopback);
    /// Drops the membership and closes both sockets; 0 (keeping both) when
    /// the membership could not be dropped.
    int LeaveGroup();
    /// Sends one datagram to the group, retrying for up to about a second
    /// while the system's buffer is full: 0 when sent, 1 otherwise.
    int SendTo(void const* data, int size);

    /// Calls the base; applications override it to read the datagram.
    void OnReceive(int error) override;

    using CAsyncSocket::SendTo;

    char m_ReceiveBuffer[32000]; ///< room for an override of OnReceive; unused here
    SOCKADDR_IN m_GroupAddress;  ///< the group and its port: where SendTo sends
    ip_mreq m_Membership;        ///< the group on interface "any"
    CString m_strSender;         ///< unused here
    UINT m_nLocalPort;           ///< the sending socket's port, when loopback could not be switched off
    CString m_strLocalAddress;   ///< the host's first IPv4 address, in the same case
    BOOL m_bForceNoLoopback;     ///< datagrams from (m_strLocalAddress, m_nLocalPort) are the group's own
    CAsyncSocket m_SendingSocket;
};
