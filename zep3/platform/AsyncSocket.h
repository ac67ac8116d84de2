#pragma once
/// @class CAsyncSocket
/// A non-blocking socket whose events arrive as calls of its
/// On... handlers on the thread that owns it -- the thread that called
/// Create, Socket, Attach, AsyncSelect or (for the accepted socket) Accept --
/// from inside that thread's message loop (GetMessage, PeekMessage,
/// PumpMessagesUntil). The owning thread must run a message loop.
///
/// Events follow Windows' rules, which the handlers of derived classes rely on:
/// - OnReceive once data is waiting; the next OnReceive comes only after a
///   Receive (or ReceiveFrom), and then as long as data remains.
/// - OnAccept once a connection is pending; again only after an Accept.
/// - OnConnect when a connect started by Connect has finished (its error, or 0).
/// - OnSend after a connect has completed, after an accept, and after a send
///   that failed with WSAEWOULDBLOCK, once the socket takes bytes again;
///   never merely because a socket stays writable.
/// - OnClose once, when the peer has closed (after all its data has been
///   received: 0) or reset the connection (WSAECONNRESET). Nothing follows it.
/// Only the events selected (FD_READ ... FD_CLOSE) are delivered.
///
/// Sockets are created non-blocking and close-on-exec; every send passes
/// MSG_NOSIGNAL, so a closed peer gives an error, never SIGPIPE. A failed call
/// returns FALSE or SOCKET_ERROR and sets GetLastError() to a WSA number
/// (WinSock.h). Nothing is thrown.
///
/// Detach gives the descriptor away and stops the events; Attach, on any
/// thread, takes a descriptor over and makes that thread the owner: this is
/// how an accepted connection moves to a worker thread. A socket object is
/// used by one thread at a time.
#include <zep3/platform/String.h>
#include <zep3/platform/WinSock.h>

#include <memory>

namespace zep3::detail {
struct SocketCore;
}

class ZEP3_API CAsyncSocket {
public:
    CAsyncSocket();
    /// Closes the socket if it is still open.
    virtual ~CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    /// Socket() and Bind(port, address): an IPv4 socket of the type (SOCK_STREAM
    /// or SOCK_DGRAM) bound to the port (0: any) on the address (null or empty:
    /// all local addresses), watched for `events`.
    BOOL Create(UINT socketPort = 0, int socketType = SOCK_STREAM, long events = FD_ALL_EVENTS,
                LPCTSTR socketAddress = nullptr);
    /// Creates an unbound IPv4 socket of the type, watched for `events`; FALSE
    /// when this object already has one.
    BOOL Socket(int socketType = SOCK_STREAM, long events = FD_ALL_EVENTS, int protocolType = 0,
                int addressFormat = PF_INET);
    /// Takes over an open socket descriptor (non-blocking from now on) and
    /// watches it for `events` on the calling thread. FALSE when this object
    /// already has a socket.
    BOOL Attach(SOCKET socket, long events = FD_ALL_EVENTS);
    /// Stops the events and gives the descriptor to the caller.
    SOCKET Detach();
    /// Changes the events watched; 0 stops them. The calling thread becomes the owner.
    BOOL AsyncSelect(long events = FD_ALL_EVENTS);
    /// Stops the events and closes the socket; m_hSocket becomes INVALID_SOCKET.
    virtual void Close();

    ///@{
    /// address: dotted text or a host name (resolved to IPv4).
    BOOL Bind(UINT socketPort, LPCTSTR socketAddress = nullptr);
    BOOL Bind(const SOCKADDR* address, int addressLength);
    ///@}
    /// Starts accepting connections; OnAccept tells when one is waiting.
    BOOL Listen(int connectionBacklog = 5);
    /// Moves the next pending connection into `connected` (which must have no
    /// socket yet); it is watched for this socket's events on the calling
    /// thread. address/length, when given, receive the peer's address.
    virtual BOOL Accept(CAsyncSocket& connected, SOCKADDR* address = nullptr, int* addressLength = nullptr);
    ///@{
    /// Starts a connection; here it usually fails with WSAEWOULDBLOCK and
    /// OnConnect tells the outcome. host: dotted text or a name.
    BOOL Connect(LPCTSTR hostAddress, UINT hostPort);
    BOOL Connect(const SOCKADDR* address, int addressLength);
    ///@}
    /// Ends receiving, sending or both (receives, sends, both) without closing.
    BOOL ShutDown(int how = sends);

    ///@{
    /// A byte count (0 when the peer has closed), or SOCKET_ERROR.
    virtual int Receive(void* buffer, int bufferLength, int flags = 0);
    virtual int Send(const void* buffer, int bufferLength, int flags = 0);
    int SendTo(const void* buffer, int bufferLength, UINT hostPort, LPCTSTR hostAddress = nullptr, int flags = 0);
    int SendTo(const void* buffer, int bufferLength, const SOCKADDR* to, int toLength, int flags = 0);
    int ReceiveFrom(void* buffer, int bufferLength, CString& socketAddress, UINT& socketPort, int flags = 0);
    int ReceiveFrom(void* buffer, int bufferLength, SOCKADDR* from, int* fromLength, int flags = 0);
    ///@}

    ///@{
    /// The peer's or this end's address, as dotted text and port or as a
    /// SOCKADDR; FALSE when the socket has none.
    BOOL GetPeerName(CString& peerAddress, UINT& peerPort);
    BOOL GetPeerName(SOCKADDR* address, int* addressLength);
    BOOL GetSockName(CString& socketAddress, UINT& socketPort);
    BOOL GetSockName(SOCKADDR* address, int* addressLength);
    ///@}
    /// SO_RCVTIMEO and SO_SNDTIMEO may be given as Winsock does, a DWORD of
    /// milliseconds (0: none), or as the system's timeval.
    BOOL SetSockOpt(int optionName, const void* optionValue, int optionLength, int level = SOL_SOCKET);
    /// Reads an option; the timeouts come back in the form SetSockOpt describes
    /// when optionLength is a DWORD's.
    BOOL GetSockOpt(int optionName, void* optionValue, int* optionLength, int level = SOL_SOCKET);
    /// FIONBIO (*argument non-zero: non-blocking) and FIONREAD (bytes waiting).
    BOOL IOCtl(long command, DWORD* argument);

    /// The calling thread's last socket error.
    static int GetLastError();
    /// The descriptor, as m_hSocket.
    operator SOCKET() const { return m_hSocket; }

    ///@{
    /// Event handlers; the base versions do nothing. errorCode is 0 or a WSA number.
    virtual void OnReceive(int errorCode);
    virtual void OnSend(int errorCode);
    virtual void OnOutOfBandData(int errorCode);
    virtual void OnAccept(int errorCode);
    virtual void OnConnect(int errorCode);
    virtual void OnClose(int errorCode);
    ///@}

    /// What ShutDown ends.
    enum { receives = 0, sends = 1, both = 2 };

    /// The socket's descriptor; INVALID_SOCKET when there is none.
    SOCKET m_hSocket;

protected:
    friend struct zep3::detail::SocketCore;
    std::unique_ptr<zep3::detail::SocketCore> m_pCore;
};
