#include <zep3/media/MmioWaveFile.h>

#include <zep3/media/detail/Mmio.h>
#include <zep3/platform/detail/Posix.h>

#include <algorithm>
#include <cstdlib>

using namespace zep3::detail;

namespace {
const DWORD kMinFormatSize = 16;                           // PCMWAVEFORMAT
const DWORD kMaxFormatSize = sizeof(WAVEFORMATEX) + 0xFFFF; // cbSize is a WORD
} // namespace

CMmioWaveFile::CMmioWaveFile() : m_hMmio(nullptr), m_RiffChunk(), m_SubChunk(), m_pFormat(nullptr) {}

CMmioWaveFile::~CMmioWaveFile() { Close(); }

bool CMmioWaveFile::Open(char const* name) {
    Close();
    if (!name) return false;
    char shortName[128];
    CopyText(shortName, sizeof shortName, name);
    m_hMmio = mmioOpen(shortName, MMIO_READ | MMIO_ALLOCBUF);
    if (!m_hMmio) return false;

    m_RiffChunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    m_SubChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    bool ok = mmioDescend(m_hMmio, &m_RiffChunk, nullptr, MMIO_FINDRIFF) == MMSYSERR_NOERROR &&
              mmioDescend(m_hMmio, &m_SubChunk, &m_RiffChunk, MMIO_FINDCHUNK) == MMSYSERR_NOERROR &&
              m_SubChunk.cksize >= kMinFormatSize && m_SubChunk.cksize <= kMaxFormatSize;
    if (ok) {
        // Zero-filled to a whole WAVEFORMATEX, so a 16-byte chunk reads with cbSize 0.
        const LONG size = static_cast<LONG>(m_SubChunk.cksize);
        m_pFormat = static_cast<WAVEFORMATEX*>(calloc(1, std::max<size_t>(size, sizeof(WAVEFORMATEX))));
        ok = m_pFormat && mmioRead(m_hMmio, reinterpret_cast<char*>(m_pFormat), size) == size &&
             mmioAscend(m_hMmio, &m_SubChunk, 0) == MMSYSERR_NOERROR;
    }
    if (ok) {
        m_SubChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
        ok = mmioDescend(m_hMmio, &m_SubChunk, &m_RiffChunk, MMIO_FINDCHUNK) == MMSYSERR_NOERROR &&
             GetDataLength() > 0;
    }
    if (!ok) Close();
    return ok;
}

void CMmioWaveFile::Close() {
    if (m_hMmio) mmioClose(m_hMmio);
    m_hMmio = nullptr;
    free(m_pFormat);
    m_pFormat = nullptr;
    m_RiffChunk = MMCKINFO();
    m_SubChunk = MMCKINFO();
}

int CMmioWaveFile::ReadData(void* buffer, int size) {
    if (!m_hMmio || !buffer || size < 0) return -1;
    const long long left = m_SubChunk.dwDataOffset + static_cast<long long>(GetDataLength()) -
                           mmioSeek(m_hMmio, 0, SEEK_CUR);
    if (left <= 0) return 0;
    return mmioRead(m_hMmio, static_cast<char*>(buffer), static_cast<LONG>(std::min<long long>(size, left)));
}

int CMmioWaveFile::GetDataLength() const {
    if (!m_hMmio) return -1;
    const long long held = std::max(0LL, mmioFileSize(m_hMmio) - m_SubChunk.dwDataOffset);
    return static_cast<int>(std::min<long long>({m_SubChunk.cksize, held, 0x7FFFFFFF}));
}

WAVEFORMATEX const* CMmioWaveFile::GetHeader() const { return m_hMmio ? m_pFormat : nullptr; }

bool CMmioWaveFile::IsCompressed() const { return m_hMmio && m_pFormat->wFormatTag != WAVE_FORMAT_PCM; }
