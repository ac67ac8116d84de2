#pragma once
/// @class CLogFile
/// Time-stamped text lines in a fixed-size ring of log files beside
/// the executable.
///
/// Each file is kept at exactly its maximum size and written circularly. Its
/// first 9 bytes are a header: the little-endian 32-bit offset of the newest
/// entry's end marker, the three millisecond digits of that entry (binary 0 to
/// 9) and CR LF. Entries follow from offset 9:
///
///     2024-03-05  14:07:09.042:  *** Start ***\r\nYY
///     2024-03-05  14:07:09.043:  text   [File: main.cpp, line: 12]\r\nYY
///
/// and each new entry is written over the previous one's "YY". An entry that
/// does not fit before the end of a file starts again at offset 9, of the next
/// file when the ring has several. Every Add opens and closes the file, so
/// nothing stays open and another program may read the log at any time.
///
/// Any thread may call Init, Add and Close: the log's own lock serialises
/// them. Two CLogFile objects (or processes) on the same files are not
/// coordinated.
#include <zep3/platform/CriticalSection.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/StringArray.h>

class ZEP3_API CLogFile {
public:
    /// An unusable log: every Add reports false until Init.
    CLogFile();
    /// Adds "*** Stop ***" (nothing when the log is closed).
    virtual ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    /// Sets up a ring of count files (one when count is below 2) of size bytes
    /// each (at least 10). name is relative to the executable's folder unless
    /// it begins with "/". With several files, file i is named with a two-digit
    /// index before the extension (app.log: app00.log, app01.log, ...) and
    /// writing goes on in the most recently modified one. Adds "*** Start ***".
    /// Always true.
    bool Init(const CString& name, int size, int count);
    /// Appends one entry: the time stamp, two spaces and text, followed by
    /// "   [File: file, line: line]" when line is 0 or more. False when the log
    /// is not set up or its file cannot be opened; write errors are ignored.
    bool Add(const CString& text, const CString& file = CString(), int line = -1);
    /// Makes the log unusable until the next Init.
    void Close();

protected:
    CStringArray m_LogFileName;       ///< the ring's paths, empty when closed
    int m_nCurrentLogFile;            ///< index of the file being written, -1 before Init
    CCriticalSection m_CriticalSection;
    int m_nMaxLogFileSize;            ///< length of every file in bytes

private:
    // The file that the last Add left at exactly the maximum size (-1: none
    // known), so that Add need not ask for its length again.
    int m_nSizedFile = -1;

    // Fills the file list for Init (may throw when memory runs out).
    void AddRingNames(const CString& name, int count);
};
