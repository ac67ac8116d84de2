#pragma once
/// @class CAVIEdit
/// The recorder and player of camera video. One object reads one
/// AVI file (any frame, decoded from the nearest key frame before it) and
/// writes another (CImageBuffer frames compressed with a chosen codec); it
/// also decompresses single frames from elsewhere, counts the bytes written,
/// stamps the time of the first frame and keeps the text of its last write
/// error.
///
/// Row order: CImageBuffer rows run top-down, AVI frames bottom-up unless the
/// stored height is negative. Uncompressed recordings are stored top-down
/// (negative height) as they come; compressed ones are turned upright for the
/// codec, unless SetKeepCompressedUnflipped(true), which stores them as they
/// come and names the stream "Dravolin-NF" instead of "Dravolin". A reader
/// turns decompressed frames over unless the stream is "Dravolin-NF" or the
/// stored height is negative; uncompressed frames are read as stored.
///
/// Frame rows are not padded (width × bytes per pixel), in images and in
/// uncompressed files alike. Compression and decompression run on the calling
/// thread. One object is used by one thread at a time; separate objects may
/// record and play on separate threads.
///
/// Copies share the open files and codecs (see docs/media-avi.md).
#include <zep3/imaging/ImageBuffer.h>
#include <zep3/imaging/SystemTime.h>
#include <zep3/foundation/Memory.h>
#include <zep3/media/Vfw.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Size.h>
#include <zep3/platform/String.h>

#include <memory>
#include <vector>

namespace zep3::detail {
class AviReader;
class AviWriter;
class VideoCodec;
} // namespace zep3::detail

class ZEP3_API CAVIEdit {
public:
    CAVIEdit();
    ~CAVIEdit();
    CAVIEdit(const CAVIEdit&) = default;
    CAVIEdit& operator=(const CAVIEdit&) = default;

    // ---- reading ----

    /// Opens the first video stream; its stored bit count goes to *bitCount
    /// (when not null). False for a missing or damaged file, a format with a
    /// colour table or extra bytes, or a compression no codec decodes.
    bool OpenFile(CString name, int* bitCount = nullptr);
    void CloseFile();
    /// Decodes frame `frame` into image, which must have the frame's size and
    /// the stored bit count. With a progress window, each frame decoded is
    /// announced to it first (SendMessage(progressMessage, frames done, frames
    /// to do)); a negative answer, or a window that no longer exists, fails.
    bool ReadFrame(CImageBuffer* image, int frame, int* bytesRead = nullptr, HWND progressWindow = nullptr,
                   int progressMessage = 0);
    /// Stored width and |height|.
    CSize GetFrameSize() const;
    /// Stream start + length; 0 without a stream.
    int GetFrameCount() const;
    /// rate / scale (integer division) of the write stream while one is open,
    /// else of the read stream.
    double GetFramePerSecond() const;
    CString const& GetReadFileName() const { return m_ReadFileName; }
    /// A read stream is open and no write file is.
    bool IsFileOpened() const { return m_bReadOpened && !m_bWriteOpened; }
    /// The decompressor's description.
    CString GetCodecName() const;
    /// The stored compression FOURCC.
    int GetDecompressor() { return static_cast<int>(m_ReadInputFormat.biCompression); }
    /// Prepares DecompressFrame for frames of that size and depth; the codec
    /// is opened when compression is not 0.
    bool InitDecompressor(DWORD handler, DWORD compression, CSize size, int bytesPerPixel);
    /// Decompresses (or, uncompressed, takes) one frame and copies it into
    /// destination with its rows reversed.
    bool DecompressFrame(void* destination, void* source, int sourceSize, int bytesPerPixel);

    // ---- writing ----

    /// The compressor choice dialog for frames of that size and depth. On OK
    /// fills outputFormat (zeros when the codec gives none) and state (the
    /// codec's settings block); false when cancelled (always, headless,
    /// unless a hook answers: see SetCompressorChooseHook).
    static bool ChooseCompressor(CSize size, int bytesPerPixel, COMPVARS* choice, HWND parent,
                                 BITMAPINFOHEADER* outputFormat, CMemory* state);
    /// Opens and begins the compressor (handler, writing compression; 0 =
    /// uncompressed) for frames of that size and depth, with a settings block
    /// loaded when its size matches. handler 0 reuses the last handler; with
    /// none known, only allowDialog offers the choice dialog.
    bool InitCompressor(CSize size, int bytesPerPixel, HWND parent, DWORD handler, DWORD compression,
                        void* state = nullptr, int stateSize = 0, bool allowDialog = false);
    /// Creates the file; rate in thousandths of frames per second (negative:
    /// 5 frames per second). The error text tells a failure.
    bool OpenFileWrite(CString const& name, int rate, bool deleteExisting);
    /// Compresses and appends the image at position `frame`.
    bool WriteFrame(CImageBuffer const* image, int frame);
    /// Compresses the image: *output receives a copy when it is not null, or
    /// points at the internal data (valid until the next call); *flags gets
    /// AVIIF_KEYFRAME for a key frame, *size the bytes.
    bool CompressFrame(unsigned char** output, CImageBuffer const* image, int frame, DWORD* flags, int* size);
    /// Finishes and closes the file, zeroes the counters, forgets the handler
    /// and compression and releases the compressor.
    void CloseWriteFile();
    void ReleaseCompressor();
    /// Headless: the settings dialog is cancelled (false); false also
    /// without a compressor.
    bool ConfigureCompressor(HWND parent);
    /// Three parameters (defaults 15, 300, 100); the third is the quality
    /// (0..10000) passed with every frame.
    bool SetCompressorParam(LONG param1, LONG param2, LONG quality);
    void GetCompressorParam(LONG& param1, LONG& param2, LONG& quality);
    /// The compressor's settings block: its size, a copy of it (bytes
    /// copied), and loading one (bytes used); 0 without a compressor or for
    /// a block that does not fit.
    int GetWriteStateSize() const;
    int GetWriteState(void* data, int size) const;
    int SetWriteState(void* data, int size) const;
    /// An uncompressed format: 40 bytes, width, height, planes 1, bit count
    /// 8 × bytesPerPixel, everything else 0. True.
    static bool PrepareWriteDecompBi(BITMAPINFOHEADER* format, CSize size, int bytesPerPixel);

    CString const& GetWriteFileName() const { return m_WriteFileName; }
    bool IsWriteFileOpened() const { return m_bWriteOpened; }
    /// A compressor is open, or the writing compression is 0.
    bool IsCompressorInitialized() const { return m_pCompressor != nullptr || m_WriteCompression == 0; }
    /// Output width and |height|.
    CSize GetWriteFrameSize() const;
    /// The compressor's description.
    CString GetWriteCodecName() const;
    DWORD GetWriteHandler() const { return m_WriteHandler; }
    DWORD GetWriteCompression() const { return m_WriteCompression; }
    int GetWriteLastBytes() const { return m_WriteLastBytes; }
    LONGLONG GetTotalBytesWritten() const { return m_TotalBytesWritten; }
    CSystemTime const& GetFirstFrameTime() const { return m_FirstFrameTime; }
    CString const& GetErrorInfo() const { return m_ErrorInfo; }

    /// Where the library-wide "keep compressed frames unflipped" setting
    /// lives here: read when a write file is opened. Off by default.
    void SetKeepCompressedUnflipped(bool keep) { m_bKeepCompressedUnflipped = keep; }
    bool GetKeepCompressedUnflipped() const { return m_bKeepCompressedUnflipped; }

protected:
    /// Both work buffers to |width × height| × 4 bytes; 0 releases them.
    void AllocBuffers(int width, int height);

private:
    void CloseWriteStream();
    bool DecodeSample(CImageBuffer* image, int frame, int* bytesRead);

    // read side
    std::shared_ptr<zep3::detail::AviReader> m_pReadStream;
    CString m_ReadFileName;
    bool m_bReadOpened = false;
    std::shared_ptr<zep3::detail::VideoCodec> m_pDecompressor;
    AVISTREAMINFO m_ReadStreamInfo{};
    BITMAPINFOHEADER m_ReadInputFormat{};
    BITMAPINFOHEADER m_ReadOutputFormat{};
    int m_LastFrameDecoded = -1;
    const BYTE* m_pLastTarget = nullptr; // the pixels the last frame went to
    ICINFO m_DecompressorInfo{};
    // work buffers
    std::vector<BYTE> m_Buffer1, m_Buffer2;
    int m_BufferSize = 0;
    // write side
    AVISTREAMINFO m_WriteStreamInfo{};
    std::shared_ptr<zep3::detail::AviWriter> m_pWriteFile;
    bool m_bWriteOpened = false;
    std::shared_ptr<zep3::detail::VideoCodec> m_pCompressor;
    DWORD m_WriteHandler = 0;
    DWORD m_WriteCompression = 0;
    LONG m_CompressorParam[3] = {15, 300, 100};
    BITMAPINFOHEADER m_WriteInputFormat{};
    BITMAPINFOHEADER m_WriteOutputFormat{};
    ICINFO m_CompressorInfo{};
    int m_WriteLastBytes = 0;
    LONGLONG m_TotalBytesWritten = 0;
    CSystemTime m_FirstFrameTime;
    CString m_WriteFileName;
    CString m_ErrorInfo;
    bool m_bFlipOnWrite = true;
    bool m_bFlipOnRead = true;
    bool m_bKeepCompressedUnflipped = false;
};
