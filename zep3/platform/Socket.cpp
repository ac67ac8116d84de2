#include <zep3/platform/Socket.h>
#include <zep3/platform/detail/SocketCore.h>

using zep3::detail::Fail;
using zep3::detail::Refuse;
using zep3::detail::ThreadBlockingSocket;

CSocket::CSocket() = default;

CSocket::~CSocket() = default;

BOOL CSocket::Create(UINT socketPort, int socketType, LPCTSTR socketAddress) {
    return CAsyncSocket::Create(socketPort, socketType, FD_ALL_EVENTS, socketAddress);
}

template <class Call> int CSocket::Blocking(DWORD event, Call call) {
    if (ThreadBlockingSocket()) return Fail(WSAEINPROGRESS);
    ThreadBlockingSocket() = m_pCore.get();
    int result;
    while ((result = call()) == SOCKET_ERROR && GetLastError() == WSAEWOULDBLOCK)
        if (!m_pCore->WaitFor(event)) break;
    ThreadBlockingSocket() = nullptr;
    return result;
}

BOOL CSocket::Accept(CAsyncSocket& connected, SOCKADDR* address, int* addressLength) {
    return Blocking(CFdNotifier::Read, [&] {
               socklen_t length = addressLength ? socklen_t(*addressLength) : 0;
               if (!m_pCore->AcceptInto(connected, address, addressLength ? &length : nullptr)) return SOCKET_ERROR;
               if (addressLength) *addressLength = int(length);
               return 0;
           }) == 0;
}

BOOL CSocket::Connect(LPCTSTR hostAddress, UINT hostPort) {
    sockaddr_in address;
    if (!hostAddress || !*hostAddress || !zep3::detail::ResolveIPv4(hostAddress, hostPort, address))
        return Refuse(WSAEINVAL);
    return Connect(reinterpret_cast<const SOCKADDR*>(&address), sizeof address);
}

BOOL CSocket::Connect(const SOCKADDR* address, int addressLength) {
    if (ThreadBlockingSocket()) return Refuse(WSAEINPROGRESS);
    if (!m_pCore->Connect(address, socklen_t(addressLength)) && GetLastError() != WSAEWOULDBLOCK) return FALSE;
    if (!m_pCore->connecting) return TRUE; // datagrams: no handshake
    ThreadBlockingSocket() = m_pCore.get();
    const bool done = m_pCore->WaitFor(CFdNotifier::Write);
    ThreadBlockingSocket() = nullptr;
    if (!done) {
        m_pCore->connecting = false;
        m_pCore->closed = true;
        return FALSE;
    }
    const int error = m_pCore->FinishConnect();
    return error == 0 || Refuse(error);
}

int CSocket::Receive(void* buffer, int bufferLength, int flags) {
    return Blocking(CFdNotifier::Read,
                    [&] { return m_pCore->Receive(buffer, bufferLength, flags, nullptr, nullptr); });
}

int CSocket::Send(const void* buffer, int bufferLength, int flags) {
    const char* next = static_cast<const char*>(buffer);
    int left = bufferLength;
    do {
        const int sent = Blocking(CFdNotifier::Write,
                                  [&] { return m_pCore->Send(next, left, flags, nullptr, 0, false); });
        if (sent == SOCKET_ERROR) return SOCKET_ERROR;
        next += sent;
        left -= sent;
    } while (left > 0);
    return bufferLength;
}

int CSocket::ReceiveFrom(void* buffer, int bufferLength, SOCKADDR* from, int* fromLength, int flags) {
    return Blocking(CFdNotifier::Read,
                    [&] { return CAsyncSocket::ReceiveFrom(buffer, bufferLength, from, fromLength, flags); });
}

int CSocket::ReceiveFrom(void* buffer, int bufferLength, CString& socketAddress, UINT& socketPort, int flags) {
    return Blocking(CFdNotifier::Read, [&] {
        return CAsyncSocket::ReceiveFrom(buffer, bufferLength, socketAddress, socketPort, flags);
    });
}

int CSocket::SendTo(const void* buffer, int bufferLength, const SOCKADDR* to, int toLength, int flags) {
    return Blocking(CFdNotifier::Write,
                    [&] { return m_pCore->Send(buffer, bufferLength, flags, to, socklen_t(toLength), false); });
}

int CSocket::SendTo(const void* buffer, int bufferLength, UINT hostPort, LPCTSTR hostAddress, int flags) {
    sockaddr_in address;
    if (!zep3::detail::Destination(hostAddress, hostPort, address)) return Fail(WSAEINVAL);
    return SendTo(buffer, bufferLength, reinterpret_cast<const SOCKADDR*>(&address), sizeof address, flags);
}

BOOL CSocket::IsBlocking() const { return ThreadBlockingSocket() == m_pCore.get(); }

void CSocket::CancelBlockingCall() {
    if (IsBlocking()) m_pCore->cancelled = true;
}
