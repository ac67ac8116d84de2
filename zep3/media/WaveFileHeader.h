#pragma once
/// @class CWaveFileHeader
/// The canonical 44-byte header of a PCM wave file, byte for
/// byte as it lies at the start of the file (all fields little-endian):
/// "RIFF", RIFF size (file size - 8), "WAVE", "fmt ", format chunk size
/// (16 for plain PCM), format tag (1 = PCM), channels, samples per second,
/// average bytes per second, block align, bits per sample, "data", data size.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#include <cstddef>

class ZEP3_API CWaveFileHeader {
public:
    ///@{
    /// All zero.
    CWaveFileHeader();
    CWaveFileHeader(const CWaveFileHeader&) = default;
    ///@}
    CWaveFileHeader& operator=(const CWaveFileHeader&) = default;

    /// Sets all 44 bytes to zero.
    void Clear();
    /// "RIFF", "WAVE", "fmt " and "data" in their places.
    bool IsValid() const;

    char m_RiffTag[4];
    DWORD m_RiffSize;
    char m_WaveTag[4];
    char m_FmtTag[4];
    DWORD m_FmtSize;
    WORD m_FormatTag;
    WORD m_Channels;
    DWORD m_SamplesPerSec;
    DWORD m_AvgBytesPerSec;
    WORD m_BlockAlign;
    WORD m_BitsPerSample;
    char m_DataTag[4];
    DWORD m_DataSize;
};

static_assert(sizeof(CWaveFileHeader) == 44, "the wave header is 44 bytes");
static_assert(offsetof(CWaveFileHeader, m_RiffSize) == 4 && offsetof(CWaveFileHeader, m_WaveTag) == 8 &&
                  offsetof(CWaveFileHeader, m_FmtTag) == 12 && offsetof(CWaveFileHeader, m_FmtSize) == 16 &&
                  offsetof(CWaveFileHeader, m_FormatTag) == 20 && offsetof(CWaveFileHeader, m_Channels) == 22 &&
                  offsetof(CWaveFileHeader, m_SamplesPerSec) == 24 &&
                  offsetof(CWaveFileHeader, m_AvgBytesPerSec) == 28 && offsetof(CWaveFileHeader, m_BlockAlign) == 32 &&
                  offsetof(CWaveFileHeader, m_BitsPerSample) == 34 && offsetof(CWaveFileHeader, m_DataTag) == 36 &&
                  offsetof(CWaveFileHeader, m_DataSize) == 40,
              "the wave header's fields lie at their file offsets");
