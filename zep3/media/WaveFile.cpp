#include <zep3/media/WaveFile.h>

#include <algorithm>

namespace {
// Header bytes up to and including bits per sample; the format chunk's
// first 16 bytes end there.
const UINT kFixedPart = 36;
const UINT kDataChunkHeader = 8;
} // namespace

CWaveFile::CWaveFile() = default;

CWaveFile::~CWaveFile() { Close(); }

bool CWaveFile::Open(CString name) {
    Close();
    if (!m_File.Open(name, CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary)) return false;
    char* header = reinterpret_cast<char*>(&m_Header);
    bool ok = m_File.Read(header, kFixedPart) == kFixedPart &&
              m_File.Seek(static_cast<LONGLONG>(m_Header.m_FmtSize) - 16, CFile::current) >= 0 &&
              m_File.Read(header + kFixedPart, kDataChunkHeader) == kDataChunkHeader && m_Header.IsValid();
    if (!ok) Close();
    return ok;
}

void CWaveFile::Close() {
    if (m_File.IsOpen()) m_File.Close();
    m_Header.Clear();
}

bool CWaveFile::IsOpened() const { return m_File.IsOpen() != FALSE; }

CWaveFileHeader const& CWaveFile::GetHeader() { return m_Header; }

bool CWaveFile::IsCompressed() const { return m_Header.m_FormatTag != 1; }

int CWaveFile::GetDataLength() const { return static_cast<int>(m_Header.m_DataSize); }

int CWaveFile::ReadData(void* buffer, int size) {
    if (!buffer || size < 1 || !IsOpened()) return 0;
    // The samples start where Open left the file: behind the format chunk
    // (20 bytes of header before its data) and the data chunk's header.
    const LONGLONG dataStart = 20 + static_cast<LONGLONG>(m_Header.m_FmtSize) + kDataChunkHeader;
    const LONGLONG left = dataStart + m_Header.m_DataSize - static_cast<LONGLONG>(m_File.GetPosition());
    if (left <= 0) return 0;
    return static_cast<int>(m_File.Read(buffer, static_cast<UINT>(std::min<LONGLONG>(size, left))));
}
