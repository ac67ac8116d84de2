#pragma once
/// @class CSocket
/// The blocking socket of the framework. Connect, Accept, Receive
/// and Send wait until they can complete -- Send until every byte has been
/// taken -- and, while they wait, keep the calling thread's messages flowing:
/// posted and sent messages are dispatched, timers and paints served, and the
/// events of the thread's other sockets delivered. The events of the waiting
/// socket itself are held back until the call returns, and the call's own
/// completion is not reported as an event (a blocked Send is followed by no
/// OnSend). When not blocked, a CSocket delivers its events like a CAsyncSocket.
///
/// A wait is bounded by the socket's time-outs when they are set: a Receive
/// or Accept waits at most SO_RCVTIMEO, a Send or Connect at most SO_SNDTIMEO,
/// and then fails with WSAETIMEDOUT (without them it waits as long as it
/// takes, as on Windows). A wait ends early, failing with WSAEINTR, when CancelBlockingCall is called
/// (from a handler that runs during the wait) or when the thread is told to
/// quit (the WM_QUIT stays queued). One blocking call at a time per thread: a
/// second one fails with WSAEINPROGRESS. A thread without a message queue
/// simply waits on the socket.
#include <zep3/platform/AsyncSocket.h>

class ZEP3_API CSocket : public CAsyncSocket {
public:
    CSocket();
    ~CSocket() override;

    /// A socket for all events (FD_READ ... FD_CLOSE), as the framework makes it.
    BOOL Create(UINT socketPort = 0, int socketType = SOCK_STREAM, LPCTSTR socketAddress = nullptr);
    BOOL Attach(SOCKET socket) { return CAsyncSocket::Attach(socket, FD_ALL_EVENTS); }
    using CAsyncSocket::Attach;

    BOOL Accept(CAsyncSocket& connected, SOCKADDR* address = nullptr, int* addressLength = nullptr) override;
    ///@{
    /// TRUE once connected; FALSE with the connection's error otherwise.
    BOOL Connect(LPCTSTR hostAddress, UINT hostPort);
    BOOL Connect(const SOCKADDR* address, int addressLength);
    ///@}
    /// Waits until some bytes have arrived (or the peer has closed: 0).
    int Receive(void* buffer, int bufferLength, int flags = 0) override;
    /// Waits until all bytes have been taken: bufferLength, or SOCKET_ERROR.
    int Send(const void* buffer, int bufferLength, int flags = 0) override;
    int ReceiveFrom(void* buffer, int bufferLength, SOCKADDR* from, int* fromLength, int flags = 0);
    int ReceiveFrom(void* buffer, int bufferLength, CString& socketAddress, UINT& socketPort, int flags = 0);
    int SendTo(const void* buffer, int bufferLength, const SOCKADDR* to, int toLength, int flags = 0);
    int SendTo(const void* buffer, int bufferLength, UINT hostPort, LPCTSTR hostAddress = nullptr, int flags = 0);

    BOOL IsBlocking() const;
    /// Ends the wait of this socket's blocking call (WSAEINTR).
    void CancelBlockingCall();

private:
    // Repeats call() while it would block, waiting for `event` in between.
    template <class Call> int Blocking(DWORD event, Call call);
};
