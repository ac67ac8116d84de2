#include <zep3/media/WaveFileHeader.h>

#include <cstring>

CWaveFileHeader::CWaveFileHeader() { Clear(); }

void CWaveFileHeader::Clear() { std::memset(static_cast<void*>(this), 0, sizeof *this); }

bool CWaveFileHeader::IsValid() const {
    return std::memcmp(m_RiffTag, "RIFF", 4) == 0 && std::memcmp(m_WaveTag, "WAVE", 4) == 0 &&
           std::memcmp(m_FmtTag, "fmt ", 4) == 0 && std::memcmp(m_DataTag, "data", 4) == 0;
}
