#pragma once
/// @class CFile
/// An unbuffered binary file. Files are always byte-exact (there is no
/// text translation) and never inherited by child processes.
///
/// Share modes are advisory locks taken without waiting: shareExclusive locks
/// the file exclusively, shareDenyWrite exclusively when the file is opened for
/// writing and shared when it is only read; a refused lock makes Open fail with
/// sharingViolation. Programs that do not lock are not held off.
///
/// Nothing is thrown: Open returns FALSE and fills the optional
/// CFileException, the other operations return a failure value and set the
/// thread's last error. One object is used by one thread at a time.
#include <zep3/platform/Export.h>
#include <zep3/platform/FileException.h>
#include <zep3/platform/FileStatus.h>
#include <zep3/platform/String.h>

class ZEP3_API CFile {
public:
    /// Open's flags: one access mode, one sharing mode (kept as a lock on the
    /// file), creation and the text/binary type (the same here).
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000
    };
    /// Attribute bits of CFileStatus::m_attribute.
    enum Attribute { normal = 0x00, readOnly = 0x01, hidden = 0x02, system = 0x04, volume = 0x08, directory = 0x10, archive = 0x20 };
    /// Where Seek counts from.
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    /// Closes the file if it is still open.
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    /// Opens (with modeCreate: creates; without modeNoTruncate: empties) the
    /// file. FALSE when it cannot be opened or locked; error, when given,
    /// receives the cause. An object that is already open fails.
    virtual BOOL Open(LPCSTR fileName, UINT openFlags, CFileException* error = nullptr);
    /// Reads up to count bytes at the position; the number read, 0 at the end
    /// or on failure.
    virtual UINT Read(void* buffer, UINT count);
    /// Writes count bytes at the position; FALSE when not all were written.
    virtual BOOL Write(const void* buffer, UINT count);
    /// Moves the position; the new position, or -1 (position unchanged) when
    /// the move fails, for instance before the start.
    virtual LONGLONG Seek(LONGLONG offset, UINT from);
    /// Moves to the start.
    void SeekToBegin() { Seek(0, begin); }
    /// Moves to the end; returns the length.
    ULONGLONG SeekToEnd() { return static_cast<ULONGLONG>(Seek(0, end)); }
    /// The current position; 0 when the file is not open.
    virtual ULONGLONG GetPosition() const;
    /// Length in bytes; 0 when the file is not open.
    virtual ULONGLONG GetLength() const;
    /// Extends (with zeros) or cuts the file.
    virtual BOOL SetLength(ULONGLONG newLength);
    /// Writes what the system holds for this file through to the disk.
    virtual BOOL Flush();
    /// Closes the file; harmless when it is not open.
    virtual void Close();
    /// Closes the file, ignoring any error.
    virtual void Abort();

    /// The status of the open file; FALSE when it is not open.
    BOOL GetStatus(CFileStatus& status) const;
    /// Status of a file or folder by name; FALSE when there is none.
    static BOOL GetStatus(LPCSTR fileName, CFileStatus& status);

    /// TRUE between a successful Open and Close.
    BOOL IsOpen() const { return m_fd >= 0; }
    ///@{
    /// The path given to Open, its last component, and that without extension.
    CString GetFilePath() const { return m_strFileName; }
    CString GetFileName() const;
    CString GetFileTitle() const;
    ///@}

protected:
    /// Opens, locks and truncates as the flags ask; the descriptor or -1.
    static int OpenDescriptor(LPCSTR fileName, UINT openFlags, CFileException* error);

    int m_fd = -1;
    CString m_strFileName;
};
