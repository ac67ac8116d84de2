#include <zep3/foundation/FileUtils.h>
#include <zep3/foundation/LogFile.h>
#include <zep3/platform/Clock.h>
#include <zep3/platform/SingleLock.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int64_t kHeaderSize = 9;

int openLog(const CString& path) { return open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666); }

int64_t lengthOf(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

void bringToSize(int fd, int64_t length, int64_t size) {
    if (length != size && ftruncate(fd, static_cast<off_t>(size)) != 0) {
        // A log that cannot be resized is still written.
    }
}

void writeAt(int fd, const char* data, size_t size, int64_t offset) {
    while (size > 0) {
        ssize_t n = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n <= 0) return; // write errors are not the caller's concern
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
}

// The offset stored in the header; 9 for a new file or a damaged header
// that points into the header itself.
int64_t storedOffset(int fd, int64_t length) {
    unsigned char b[4];
    if (length <= kHeaderSize || pread(fd, b, 4, 0) != 4) return kHeaderSize;
    int64_t offset = int64_t(b[0]) | int64_t(b[1]) << 8 | int64_t(b[2]) << 16 | int64_t(b[3]) << 24;
    return offset < kHeaderSize ? kHeaderSize : offset;
}

std::string formatEntry(const SYSTEMTIME& t, const CString& text, const CString& file, int line) {
    char stamp[64];
    int n = std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d  %02d:%02d:%02d.%03d:  ", t.wYear, t.wMonth, t.wDay,
                          t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    const char* message = text;
    std::string entry;
    entry.reserve(static_cast<size_t>(n) + std::strlen(message) + 64);
    entry.append(stamp, static_cast<size_t>(n));
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
    try {
        addRingNames(name, count);
    } catch (...) {
        m_LogFileName.RemoveAll(); // no memory for the names: the log stays unusable
    }
    Add("*** Start ***", CString(), -1);
    return true;
}

void CLogFile::addRingNames(const CString& name, int count) {
    CString folder = name.GetAt(0) == '/' ? CString() : GetModulePath();
    if (count > 1) {
        int slash = name.ReverseFind('/');
        int dot = name.ReverseFind('.');
        struct timespec newest = {0, 0};
        for (int i = 0; i < count; ++i) {
            CString fileName;
            if (dot > slash) fileName.Format("%s%02i%s", (const char*)name.Left(dot), i, (const char*)name.Mid(dot));
            else fileName.Format("%s%02i", (const char*)name, i);
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
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string entry;
    try {
        entry = formatEntry(now, text, file, line);
    } catch (...) {
        return false; // no memory for the entry
    }
    int fd = openLog(m_LogFileName[m_nCurrentLogFile]);
    if (fd < 0) return false;
    const int64_t size = m_nMaxLogFileSize, entryLength = static_cast<int64_t>(entry.size());

    int64_t length = lengthOf(fd);
    int64_t offset = storedOffset(fd, length);
    bringToSize(fd, length, size);
    if (offset + entryLength > size) {
        offset = kHeaderSize;
        if (count > 1) {
            close(fd);
            m_nCurrentLogFile = (m_nCurrentLogFile + 1) % count;
            fd = openLog(m_LogFileName[m_nCurrentLogFile]);
            if (fd < 0) return false;
            bringToSize(fd, lengthOf(fd), size);
        }
    }
    writeAt(fd, entry.data(), entry.size(), offset);

    uint32_t next = static_cast<uint32_t>(offset + entryLength - 2);
    char header[9] = {char(next & 0xFF), char(next >> 8 & 0xFF), char(next >> 16 & 0xFF), char(next >> 24 & 0xFF),
                      char(now.wMilliseconds / 100 % 10), char(now.wMilliseconds / 10 % 10),
                      char(now.wMilliseconds % 10), '\r', '\n'};
    writeAt(fd, header, sizeof header, 0);
    close(fd);
    return true;
}

void CLogFile::Close() {
    CSingleLock lock(&m_CriticalSection, true);
    m_LogFileName.RemoveAll();
}
