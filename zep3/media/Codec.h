#pragma once
/// @class CCodec
/// One video codec opened directly, to compress or decompress frames
/// in memory, with its names, its defaults and its dialogs.
///
/// A codec is named by its handler FOURCC (see Vfw.h for the codecs there
/// are). Frame formats are 40-byte BITMAPINFOHEADERs; a positive height means
/// rows stored bottom row first, and rows are not padded (width × bytes per
/// pixel). The work runs on the calling thread. Dialogs have no user to ask:
/// the compressor choice answers cancel unless a hook answers (Vfw.h), the
/// configure dialog answers cancel and About shows nothing (false).
///
/// Copies share the open codec: it is ended and closed when the last copy
/// closes it, so a copy never releases what another still uses.
#include <zep3/media/Vfw.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

#include <memory>

namespace zep3::detail {
class VideoCodec;
}

class ZEP3_API CCodec {
public:
    CCodec();
    ~CCodec();
    CCodec(const CCodec&) = default;
    CCodec& operator=(const CCodec&) = default;

    /// Closes first, then opens the handler as a compressor (fast-compress
    /// mode) and reads its information and defaults. False for an unknown handler.
    bool OpenCompressor(DWORD handler);
    /// The choice dialog with the open codec preselected (all compressors
    /// listed when format is null); on OK the chosen codec is opened as
    /// compressor. False on cancel.
    bool CompressorChoose(HWND parent, BITMAPINFOHEADER* format, char* title);
    /// Begins compressing frames of inputFormat (40 bytes); maxFrameSize is
    /// the largest frame the codec may write (the destination's size for
    /// CompressFrame). False (formats freed) when the codec refuses.
    bool CompressBegin(BITMAPINFOHEADER* inputFormat, int& maxFrameSize);
    /// Compresses one frame laid out as the input format says into
    /// destination. keyFrame asks for a key frame and tells whether one was
    /// made; size is the compressed size (also the output format's image size).
    bool CompressFrame(void* source, void* destination, int frameNumber, bool& keyFrame, int& size);
    void CompressEnd();
    /// Closes first, then finds a codec that decompresses inputFormat; the
    /// output format is 24-bit, uncompressed, bottom-up, width × height × 3 bytes.
    bool OpenDecompressor(BITMAPINFOHEADER* inputFormat);
    bool DecompressBegin();
    /// Decompresses one frame of the input format's image size (set it to
    /// each frame's size) into destination, laid out as the output format.
    bool DecompressFrame(void* source, void* destination);
    void DecompressEnd();
    /// Ends compression or decompression, closes the codec, frees the formats.
    void Close();
    /// Headless: the dialog is cancelled (false); false also without a codec.
    bool OpenConfigureDialogBox(HWND parent);
    /// Headless: nothing is shown; false.
    bool OpenAboutDialogBox(HWND parent);

    bool IsOpened() const { return m_hIC != nullptr; }
    /// The handler; 0xFFFFFFFF (-1) when closed.
    DWORD GetHandler() const;
    /// The output format's compression (compressor) or the input format's
    /// (decompressor); 0xFFFFFFFF (-1) when closed or without formats.
    DWORD GetCompression() const;
    /// Description and short name; "[Not initialized]" when closed.
    CString GetCodecName() const;
    CString GetCodecShortName() const;
    bool HasConfigureDialogBox() const { return m_bHasConfigureDialog; }
    bool HasAboutDialogBox() const { return m_bHasAboutDialog; }
    /// The formats; null when there are none.
    BITMAPINFOHEADER* GetInputBitmapInfoHeader() { return m_pInputFormat.get(); }
    BITMAPINFOHEADER* GetOutputBitmapInfoHeader() { return m_pOutputFormat.get(); }
    /// The codec's default quality (0..10000, -1 none) and key-frame interval.
    LONG GetDefaultQuality() const { return m_DefaultQuality; }
    LONG GetDefaultKeyFrameRate() const { return m_DefaultKeyFrameRate; }

private:
    bool Open(std::shared_ptr<zep3::detail::VideoCodec> codec, int mode);
    void FreeFormats();

    HIC m_hIC = nullptr;
    std::shared_ptr<zep3::detail::VideoCodec> m_pCodec;
    ICINFO m_Info{};
    std::shared_ptr<BITMAPINFOHEADER> m_pInputFormat;
    std::shared_ptr<BITMAPINFOHEADER> m_pOutputFormat;
    bool m_bCompressBegun = false;
    bool m_bDecompressBegun = false;
    DWORD m_Handler = 0;
    LONG m_DefaultQuality = 0;
    LONG m_DefaultKeyFrameRate = 0;
    bool m_bHasConfigureDialog = false;
    bool m_bHasAboutDialog = false;
    int m_Mode = 0; // 0 compressor, 1 decompressor
};
