#include <zep3/platform/Archive.h>
#include <zep3/platform/File.h>

#include <algorithm>
#include <cstring>

CArchive::CArchive(CFile* file, UINT mode, int bufferSize, void* buffer)
    : m_pFile(file), m_nMode(mode), m_nBufSize(std::max(bufferSize, 16)) {
    if (buffer && bufferSize >= 16) {
        m_pBuffer = static_cast<BYTE*>(buffer);
    } else {
        m_ownBuffer.reset(new BYTE[m_nBufSize]);
        m_pBuffer = m_ownBuffer.get();
    }
}

CArchive::~CArchive() {
    if (m_pFile && !(m_nMode & bNoFlushOnDelete)) Close();
}

bool CArchive::Failed(int cause) {
    if (m_failure.m_cause == CArchiveException::none) {
        m_failure.m_cause = cause;
        if (m_pFile) m_failure.m_strFileName = m_pFile->GetFilePath();
    }
    return false;
}

bool CArchive::Fill() {
    m_nCur = m_nMax = 0;
    if (!m_pFile) return false;
    m_nMax = static_cast<int>(m_pFile->Read(m_pBuffer, UINT(m_nBufSize)));
    return m_nMax > 0;
}

UINT CArchive::Read(void* buffer, UINT count) {
    if (!IsLoading()) return Failed(CArchiveException::writeOnly);
    BYTE* to = static_cast<BYTE*>(buffer);
    UINT done = 0;
    while (done < count && (m_nCur < m_nMax || Fill())) {
        const UINT part = std::min(count - done, UINT(m_nMax - m_nCur));
        std::memcpy(to + done, m_pBuffer + m_nCur, part);
        m_nCur += int(part);
        done += part;
    }
    return done;
}

BOOL CArchive::Write(const void* buffer, UINT count) {
    if (!IsStoring()) return Failed(CArchiveException::readOnly);
    if (!m_pFile) return Failed(CArchiveException::genericException);
    if (count >= UINT(m_nBufSize - m_nMax)) { // too big for what is left: straight through
        if (!Flush()) return FALSE;
        if (count >= UINT(m_nBufSize))
            return m_pFile->Write(buffer, count) || Failed(CArchiveException::genericException);
    }
    std::memcpy(m_pBuffer + m_nMax, buffer, count);
    m_nMax += int(count);
    return TRUE;
}

BOOL CArchive::WriteString(LPCTSTR text) { return Write(text, text ? UINT(std::strlen(text)) : 0); }

BOOL CArchive::Flush() {
    if (!IsStoring() || m_nMax == 0) return TRUE;
    const int waiting = m_nMax;
    m_nMax = 0;
    return (m_pFile && m_pFile->Write(m_pBuffer, UINT(waiting))) || Failed(CArchiveException::genericException);
}

void CArchive::Close() {
    Flush();
    m_pFile = nullptr;
}

void CArchive::Abort() { m_pFile = nullptr; }

bool CArchive::ReadLine(std::string& line, size_t limit) {
    line.clear();
    if (!IsLoading()) return Failed(CArchiveException::writeOnly);
    bool any = false;
    while (line.size() < limit) {
        if (m_nCur == m_nMax && !Fill()) return any;
        const char* from = reinterpret_cast<const char*>(m_pBuffer) + m_nCur;
        const char* end = from + std::min(size_t(m_nMax - m_nCur), limit - line.size());
        const char* stop = std::find_if(from, end, [](char c) { return c == '\n' || c == '\r'; });
        line.append(from, stop);
        m_nCur += int(stop - from);
        any = true;
        if (stop == end) continue;
        ++m_nCur;
        if (*stop == '\r' && (m_nCur < m_nMax || Fill()) && m_pBuffer[m_nCur] == '\n') ++m_nCur;
        return true;
    }
    return true;
}

BOOL CArchive::ReadString(CString& line) {
    std::string text;
    const bool read = ReadLine(text, text.max_size());
    line = CString(text.data(), int(text.size()));
    return read;
}

LPTSTR CArchive::ReadString(LPTSTR buffer, UINT maxChars) {
    std::string text;
    if (!buffer || !ReadLine(text, maxChars)) return nullptr;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return buffer;
}
