#pragma once
/// @class CWaveFile
/// Reads a RIFF/WAVE file whose header has the canonical layout
/// (CWaveFileHeader): "fmt " first, of 16 bytes or longer (the rest of a
/// longer format chunk is skipped), then "data". A file with any other chunk
/// between "fmt " and "data" is refused; CMmioWaveFile reads those.
///
/// The file is opened for reading with write sharing denied (an advisory
/// lock). After Open the file stands at the first sample byte; ReadData reads
/// on from there and stops at the end of the data chunk (or of the file).
#include <zep3/media/WaveFileHeader.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/File.h>
#include <zep3/platform/String.h>

class ZEP3_API CWaveFile {
public:
    CWaveFile();
    /// Closes the file.
    virtual ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    /// Closes, then opens `name` and reads its header; false (and closed)
    /// when the file cannot be opened, is shorter than the header or does
    /// not carry the four tags in place.
    bool Open(CString name);
    /// Closes the file when open and clears the header to zeros.
    void Close();
    bool IsOpened() const;
    CWaveFileHeader const& GetHeader();
    /// The format tag is not 1 (PCM).
    bool IsCompressed() const;
    /// The header's data size in bytes.
    int GetDataLength() const;
    /// Bytes read; 0 when buffer is null, size below 1, the file closed or
    /// the data read to its end.
    int ReadData(void* buffer, int size);

protected:
    CWaveFileHeader m_Header;
    CFile m_File;
};
