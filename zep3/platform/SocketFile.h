#pragma once
/// @class CSocketFile
/// A CFile view of a connected CSocket, so that a CArchive can
/// read and write it. Read waits for some bytes (a blocking Receive) and
/// returns how many came, 0 once the peer has closed or the connection has
/// failed; Write sends every byte (a blocking Send) and returns FALSE when
/// the connection fails. Where the framework throws, these report the
/// failure through their result and GetLastError (a WSA number). The socket
/// stays the caller's: closing the file does not close it. Seeking, lengths
/// and locks do not apply to a connection and fail.
#include <zep3/platform/File.h>

class CSocket;

class ZEP3_API CSocketFile : public CFile {
public:
    /// archiveCompatible is accepted for the framework's signature; lines and
    /// raw bytes travel the same either way.
    explicit CSocketFile(CSocket* socket, BOOL archiveCompatible = TRUE);
    ~CSocketFile() override;

    UINT Read(void* buffer, UINT count) override;
    BOOL Write(const void* buffer, UINT count) override;
    /// Forgets the socket (which stays open).
    void Close() override;
    void Abort() override { Close(); }
    /// Nothing is held back: always TRUE while a socket is attached.
    BOOL Flush() override;

    BOOL Open(LPCSTR fileName, UINT openFlags, CFileException* error = nullptr) override;
    LONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetPosition() const override;
    ULONGLONG GetLength() const override;
    BOOL SetLength(ULONGLONG newLength) override;

    CSocket* m_pSocket;
    BOOL m_bArchiveCompatible;
};
