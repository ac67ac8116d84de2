#include <zep3/platform/LastError.h>
#include <zep3/platform/WinSock.h>
#include <zep3/platform/detail/Posix.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {
std::atomic<int> g_startups{0};
}

int WSAStartup(WORD versionRequested, LPWSADATA data) {
    const WORD highest = MAKEWORD(2, 2);
    const bool tooOld = LOBYTE(versionRequested) < 1 || (LOBYTE(versionRequested) == 1 && HIBYTE(versionRequested) < 1);
    if (data) {
        std::memset(data, 0, sizeof *data);
        const bool above = LOBYTE(versionRequested) > 2 || (LOBYTE(versionRequested) == 2 && HIBYTE(versionRequested) > 2);
        data->wVersion = above ? highest : versionRequested;
        data->wHighVersion = highest;
        zep3::detail::CopyText(data->szDescription, sizeof data->szDescription, "ZEP3 Sockets 2.2");
        zep3::detail::CopyText(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
        data->iMaxSockets = 32767;
        data->iMaxUdpDg = 65467;
    }
    if (tooOld) return WSAVERNOTSUPPORTED;
    ++g_startups;
    return 0;
}

int WSACleanup() {
    int count = g_startups.load();
    while (count > 0 && !g_startups.compare_exchange_weak(count, count - 1)) {
    }
    if (count > 0) return 0;
    WSASetLastError(WSANOTINITIALISED);
    return SOCKET_ERROR;
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }

void WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

BOOL AfxSocketInit(WSADATA* data) {
    WSADATA local;
    return WSAStartup(MAKEWORD(1, 1), data ? data : &local) == 0;
}

int ZEP3SocketErrorFromErrno(int err) {
    switch (err) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAEBADF;
    case EACCES:
    case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EWOULDBLOCK: return WSAEWOULDBLOCK; // EAGAIN too
    case EINPROGRESS: return WSAEWOULDBLOCK; // a connect under way, as Windows reports it
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE: return WSAECONNRESET; // a send after the peer reset the connection
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETOOMANYREFS: return WSAETOOMANYREFS;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ELOOP: return WSAELOOP;
    case ENAMETOOLONG: return WSAENAMETOOLONG;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
    }
}
