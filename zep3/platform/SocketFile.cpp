#include <zep3/platform/LastError.h>
#include <zep3/platform/Socket.h>
#include <zep3/platform/SocketFile.h>

#include <climits>

CSocketFile::CSocketFile(CSocket* socket, BOOL archiveCompatible)
    : m_pSocket(socket), m_bArchiveCompatible(archiveCompatible) {}

CSocketFile::~CSocketFile() { CSocketFile::Close(); }

UINT CSocketFile::Read(void* buffer, UINT count) {
    if (!m_pSocket) {
        WSASetLastError(WSAENOTSOCK);
        return 0;
    }
    const int n = m_pSocket->Receive(buffer, int(count > INT_MAX ? INT_MAX : count));
    return n > 0 ? UINT(n) : 0;
}

BOOL CSocketFile::Write(const void* buffer, UINT count) {
    if (!m_pSocket) {
        WSASetLastError(WSAENOTSOCK);
        return FALSE;
    }
    const char* next = static_cast<const char*>(buffer);
    while (count > 0) { // Send takes an int count
        const int part = int(count > INT_MAX ? INT_MAX : count);
        if (m_pSocket->Send(next, part) == SOCKET_ERROR) return FALSE;
        next += part;
        count -= UINT(part);
    }
    return TRUE;
}

void CSocketFile::Close() { m_pSocket = nullptr; }

BOOL CSocketFile::Flush() { return m_pSocket != nullptr; }

BOOL CSocketFile::Open(LPCSTR, UINT, CFileException* error) {
    if (error) *error = CFileException(CFileException::genericException);
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

LONGLONG CSocketFile::Seek(LONGLONG, UINT) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return -1;
}

ULONGLONG CSocketFile::GetPosition() const { return 0; }
ULONGLONG CSocketFile::GetLength() const { return 0; }

BOOL CSocketFile::SetLength(ULONGLONG) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}
