#pragma once
/// @file
/// Windows Sockets on Linux: the handle type, the event bits of the socket
/// classes, the WSA error numbers and the start-up calls.
///
/// The socket data types and the BSD helpers (sockaddr_in, in_addr, hostent,
/// gethostname, gethostbyname, inet_addr, inet_ntoa, htons, ...) are the
/// system's own: Winsock took them from BSD with the same names, fields and
/// results, so applications use them as they are. Option names and levels
/// (SOL_SOCKET, SO_REUSEADDR, IPPROTO_IP, IP_ADD_MEMBERSHIP, FIONBIO, ...)
/// carry the system's values.
///
/// Socket calls report failures through GetLastError (WSAGetLastError) with
/// the Windows numbers below; WSAStartup is not required before them.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

typedef struct sockaddr SOCKADDR;
typedef struct sockaddr* LPSOCKADDR;
typedef struct sockaddr_in SOCKADDR_IN;
typedef struct sockaddr_in* LPSOCKADDR_IN;
typedef struct in_addr IN_ADDR;
typedef struct hostent HOSTENT;
typedef struct hostent* LPHOSTENT;

#ifndef MAKEWORD
#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | ((WORD)((BYTE)(high))) << 8))
#define LOBYTE(w) ((BYTE)((w) & 0xFF))
#define HIBYTE(w) ((BYTE)(((w) >> 8) & 0xFF))
#endif

///@{
/// Events a socket asks for (AsyncSelect, Create, Attach).
#define FD_READ 0x01
#define FD_WRITE 0x02
#define FD_OOB 0x04
#define FD_ACCEPT 0x08
#define FD_CONNECT 0x10
#define FD_CLOSE 0x20
#define FD_ALL_EVENTS (FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE)
///@}

///@{
/// Error numbers of Windows Sockets.
#define WSABASEERR 10000
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEPFNOSUPPORT 10046
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETOOMANYREFS 10059
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAELOOP 10062
#define WSAENAMETOOLONG 10063
#define WSAEHOSTDOWN 10064
#define WSAEHOSTUNREACH 10065
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004
///@}

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

/// What WSAStartup reports: the version in use and the implementation's
/// description.
struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};
typedef WSADATA* LPWSADATA;

/// Starts the socket library: always available here. Answers 0 and fills
/// data (version 2.2 at most, the requested one when lower); versions below
/// 1.1 answer WSAVERNOTSUPPORTED. Calls are counted for WSACleanup.
ZEP3_API int WSAStartup(WORD versionRequested, LPWSADATA data);
/// Ends one WSAStartup: 0, or SOCKET_ERROR (WSANOTINITIALISED) when none is left.
ZEP3_API int WSACleanup();
/// The calling thread's last error (the same value as GetLastError).
ZEP3_API int WSAGetLastError();
ZEP3_API void WSASetLastError(int error);
/// The framework's start-up of the socket classes: WSAStartup(1.1); TRUE.
ZEP3_API BOOL AfxSocketInit(WSADATA* data = nullptr);
/// The Windows Sockets number for a C library errno value of a socket call
/// (WSAEINVAL for values without a closer match).
ZEP3_API int ZEP3SocketErrorFromErrno(int err);
