#pragma once
/// @class CMmioWaveFile
/// Reads a RIFF/WAVE file by its chunks. The "fmt " and "data"
/// chunks are found wherever they lie inside the RIFF chunk (other chunks
/// such as "LIST", "fact" or "cue " are skipped, odd sizes with their pad
/// byte); the whole format chunk is kept, so GetHeader also shows the extra
/// bytes of a longer format (cbSize and what follows).
///
/// Refused (Open false): a file that cannot be opened, no RIFF chunk of form
/// "WAVE", no "fmt " chunk or one shorter than 16 bytes or longer than a
/// format can be (18 + 65535 bytes), a format chunk cut short by the file's
/// end, and a missing or empty "data" chunk. A data chunk that claims more
/// bytes than the file holds counts as long as what the file holds.
///
/// After Open the file stands at the first sample byte; ReadData reads on
/// from there and stops at the end of the data chunk.
#include <zep3/media/MMSystem.h>
#include <zep3/platform/Export.h>

class ZEP3_API CMmioWaveFile {
public:
    CMmioWaveFile();
    /// Closes the file.
    virtual ~CMmioWaveFile();
    CMmioWaveFile(const CMmioWaveFile&) = delete;
    CMmioWaveFile& operator=(const CMmioWaveFile&) = delete;

    /// Closes, then opens `name` (cut to 127 characters) for buffered reading.
    bool Open(char const* name);
    /// Closes the file and frees the format block.
    void Close();
    /// Bytes read (0 at the end of the data), -1 when closed or for a null
    /// buffer or a negative size.
    int ReadData(void* buffer, int size);
    /// The data chunk's size in bytes; -1 when closed.
    int GetDataLength() const;
    /// The format chunk as read; null when closed.
    WAVEFORMATEX const* GetHeader() const;
    /// The format tag is not 1 (PCM); false when closed.
    bool IsCompressed() const;

protected:
    HMMIO m_hMmio;
    MMCKINFO m_RiffChunk;
    MMCKINFO m_SubChunk; ///< "data" once open
    WAVEFORMATEX* m_pFormat; ///< the format chunk, at least 18 bytes, owned
};
