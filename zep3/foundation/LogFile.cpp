#include <zep3/foundation/FileUtils.h>
#include <zep3/foundation/LogFile.h>
#include <zep3/platform/Clock.h>
#include <zep3/platform/SingleLock.h>
#include <zep3/platform/detail/Posix.h>

#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using zep3::detail::ReadAllAt;
using zep3::detail::UniqueFd;
using zep3::detail::WriteAllAt;

const int64_t kHeaderSize = 9;

UniqueFd OpenLog(const CString& path) { return UniqueFd(open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666)); }

// Sets the file's length to size; length is the known length, or -1 when
// only the file system knows it. A log that cannot be resized is still
// written.
void BringToSize(int fd, int64_t length, int64_t size) {
    struct stat st;
    if (length < 0) length = fstat(fd, &st) == 0 ? int64_t(st.st_size) : -1;
    if (length != size && ftruncate(fd, off_t(size)) != 0) {
    }
}

// The first 10 bytes of a log: the header and whether an entry follows.
struct HeaderRead {
    int64_t offset; // 9 for a file of 9 bytes or less (a new one) and for a
                    // damaged offset that points into the header
    ssize_t bytes;  // bytes read (10 when the file is longer), -1 on an error
};

HeaderRead ReadHeader(int fd) {
    unsigned char b[kHeaderSize + 1];
    const ssize_t got = ReadAllAt(fd, b, sizeof b, 0);
    if (got < ssize_t(sizeof b)) return {kHeaderSize, got};
    const int64_t offset = int64_t(b[0]) | int64_t(b[1]) << 8 | int64_t(b[2]) << 16 | int64_t(b[3]) << 24;
    return {offset < kHeaderSize ? kHeaderSize : offset, got};
}

char* PutDigits(char* at, unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i, value /= 10) at[i] = char('0' + value % 10);
    return at + count;
}

std::string FormatEntry(const SYSTEMTIME& t, const CString& text, const CString& file, int line) {
    char stamp[27]; // "2024-03-05  14:07:09.042:  "
    char* p = PutDigits(stamp, t.wYear, 4);
    *p++ = '-';
    p = PutDigits(p, t.wMonth, 2);
    *p++ = '-';
    p = PutDigits(p, t.wDay, 2);
    *p++ = ' ', *p++ = ' ';
    p = PutDigits(p, t.wHour, 2);
    *p++ = ':';
    p = PutDigits(p, t.wMinute, 2);
    *p++ = ':';
    p = PutDigits(p, t.wSecond, 2);
    *p++ = '.';
    p = PutDigits(p, t.wMilliseconds, 3);
    *p++ = ':', *p++ = ' ', *p++ = ' ';
    const char* message = text;
    std::string entry;
    entry.reserve(sizeof stamp + std::strlen(message) + (line >= 0 ? file.GetLength() + 32 : 0) + 4);
    entry.append(stamp, sizeof stamp);
    entry += message;
    if (line >= 0) {
        entry += "   [File: ";
        entry += static_cast<const char*>(file);
        entry += ", line: ";
        entry += std::to_string(line);
        entry += ']';
    }
    entry += "\r\nYY";
    return entry;
}

} // namespace

CLogFile::CLogFile() : m_nCurrentLogFile(-1), m_nMaxLogFileSize(10) {}

CLogFile::~CLogFile() { Add("*** Stop ***", CString(), -1); }

bool CLogFile::Init(const CString& name, int size, int count) {
    CSingleLock lock(&m_CriticalSection, true);
    m_nMaxLogFileSize = size < 10 ? 10 : size;
    m_LogFileName.RemoveAll();
    m_nCurrentLogFile = 0;
    m_nSizedFile = -1;
    try {
        AddRingNames(name, count);
    } catch (...) {
        m_LogFileName.RemoveAll(); // no memory for the names: the log stays unusable
    }
    Add("*** Start ***", CString(), -1);
    return true;
}

void CLogFile::AddRingNames(const CString& name, int count) {
    CString folder = name.GetAt(0) == '/' ? CString() : GetModulePath();
    if (count > 1) {
        int slash = name.ReverseFind('/');
        int dot = name.ReverseFind('.');
        struct timespec newest = {0, 0};
        for (int i = 0; i < count; ++i) {
            CString fileName;
            if (dot > slash)
                fileName.Format("%s%02i%s", (const char*)name.Left(dot), i, (const char*)name.Mid(dot));
            else
                fileName.Format("%s%02i", (const char*)name, i);
            m_LogFileName.Add(folder + fileName);
            struct stat st;
            if (stat(folder + fileName, &st) != 0) continue;
            if (st.st_mtim.tv_sec > newest.tv_sec ||
                (st.st_mtim.tv_sec == newest.tv_sec && st.st_mtim.tv_nsec > newest.tv_nsec)) {
                newest = st.st_mtim;
                m_nCurrentLogFile = i;
            }
        }
    } else {
        m_LogFileName.Add(folder + name);
    }
}

bool CLogFile::Add(const CString& text, const CString& file, int line) {
    CSingleLock lock(&m_CriticalSection, true);
    int count = static_cast<int>(m_LogFileName.GetSize());
    if (count == 0) return false;
    m_nCurrentLogFile = ((m_nCurrentLogFile % count) + count) % count;
    UniqueFd fd = OpenLog(m_LogFileName[m_nCurrentLogFile]);
    if (!fd.IsOpen()) return false;
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string entry;
    try {
        entry = FormatEntry(now, text, file, line);
    } catch (...) {
        return false; // no memory for the entry
    }
    const int64_t size = m_nMaxLogFileSize, entryLength = static_cast<int64_t>(entry.size());

    const HeaderRead header = ReadHeader(fd.Get());
    int64_t offset = header.offset;
    // A file this log left at its size needs no look at its length unless
    // the header read shows it cut short (deleted or emptied meanwhile).
    const bool whole = header.bytes == kHeaderSize + 1;
    if (!whole || m_nSizedFile != m_nCurrentLogFile)
        BringToSize(fd.Get(), whole || header.bytes < 0 ? -1 : header.bytes, size);
    if (offset + entryLength > size) {
        offset = kHeaderSize;
        if (count > 1) {
            m_nCurrentLogFile = (m_nCurrentLogFile + 1) % count;
            fd = OpenLog(m_LogFileName[m_nCurrentLogFile]);
            if (!fd.IsOpen()) return false;
            BringToSize(fd.Get(), -1, size);
        }
    }
    // Write errors are not the caller's concern.
    WriteAllAt(fd.Get(), entry.data(), entry.size(), static_cast<off_t>(offset));
    // An entry longer than the file stretches it until the next Add cuts it back.
    m_nSizedFile = offset + entryLength > size ? -1 : m_nCurrentLogFile;

    uint32_t next = static_cast<uint32_t>(offset + entryLength - 2);
    char newHeader[9] = {char(next & 0xFF),
                         char(next >> 8 & 0xFF),
                         char(next >> 16 & 0xFF),
                         char(next >> 24 & 0xFF),
                         char(now.wMilliseconds / 100 % 10),
                         char(now.wMilliseconds / 10 % 10),
                         char(now.wMilliseconds % 10),
                         '\r',
                         '\n'};
    WriteAllAt(fd.Get(), newHeader, sizeof newHeader, 0);
    return true;
}

void CLogFile::Close() {
    CSingleLock lock(&m_CriticalSection, true);
    m_LogFileName.RemoveAll();
    m_nSizedFile = -1;
}
