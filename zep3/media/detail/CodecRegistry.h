#pragma once
// The installable-codec layer: a registry of video codecs keyed by FOURCC
// (what the platform's compression manager offered), each codec an object
// that compresses and decompresses frames on the calling thread.
//
// Frame formats are 40-byte BITMAPINFOHEADERs whose rows are not padded
// (width × bytes per pixel, as CImageBuffer keeps them); a positive height
// means the rows are stored bottom row first. A codec never sees the memory
// layout itself: it gets a Picture, its top row and the step to the next row,
// so that a caller can hand over a frame in either row order without copying.
#include <zep3/media/Vfw.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zep3::detail {

// A picture's rows, top row first: row y starts at top + y * step.
struct Picture {
    BYTE* top;
    ptrdiff_t step;
};

// Bytes per row of a format (unpadded), and the picture of a frame laid out
// as the format says (bottom-up for a positive height).
ptrdiff_t RowBytes(const BITMAPINFOHEADER& format);
Picture PictureOf(const BITMAPINFOHEADER& format, const void* bits);
// The uncompressed format of a frame: 40 bytes, planes 1, image size set.
BITMAPINFOHEADER UncompressedFormat(LONG width, LONG height, int bitCount);
// A codec's output for `in`: bottom-up, that compression, image size maxSize.
BITMAPINFOHEADER CompressedFormat(const BITMAPINFOHEADER& in, DWORD compression, DWORD maxSize);
// Same width and number of rows.
bool SameSize(const BITMAPINFOHEADER& a, const BITMAPINFOHEADER& b);

// One named integer setting of a codec; the settings travel as its state block.
struct CodecOption {
    const char* name;
    int value, minimum, maximum;
};

// An open codec (the object behind an HIC).
class ZEP3_TEST_API VideoCodec {
public:
    virtual ~VideoCodec() = default;

    const ICINFO& Info() const { return m_info; }
    // The codec's own quality (0..10000) and key-frame interval.
    virtual LONG DefaultQuality() const { return ICQUALITY_DEFAULT; }
    virtual LONG DefaultKeyFrameRate() const { return 1; }
    bool HasConfigure() const { return !m_options.empty(); }

    // The settings as a block of fixed size (0 without settings): text lines
    // "name=value", zero-padded. SetState takes only a block of that size
    // whose every name is known and every value in range.
    int StateSize() const;
    int GetState(void* data, int size) const;
    bool SetState(const void* data, int size);

    // ICERR_OK when the codec can turn `in` into `out` (null: any output).
    virtual LRESULT CompressQuery(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER* out) const = 0;
    // The codec's output format for `in`.
    virtual BITMAPINFOHEADER CompressFormat(const BITMAPINFOHEADER& in) const = 0;
    // The largest frame it may produce.
    virtual DWORD CompressMaxSize(const BITMAPINFOHEADER& in) const = 0;
    virtual LRESULT CompressBegin(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out) = 0;
    // Compresses a picture of the begun input format into out (capacity
    // bytes). quality -1 is the codec's own; key asks for a key frame and
    // tells whether one was made.
    virtual LRESULT Compress(const Picture& in, LONG quality, BYTE* out, DWORD capacity, DWORD& size,
                             bool& key) = 0;
    virtual void CompressEnd() = 0;

    virtual LRESULT DecompressQuery(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER* out) const = 0;
    virtual LRESULT DecompressBegin(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out) = 0;
    // An empty frame (a dropped one) leaves the picture as it was.
    virtual LRESULT Decompress(const BYTE* data, DWORD size, const Picture& out) = 0;
    virtual void DecompressEnd() = 0;

protected:
    ICINFO m_info{};
    std::vector<CodecOption> m_options;
    int Option(const char* name) const;
};

// The codecs the registry offers for compression, in the order a choice
// dialog lists them.
struct CodecDescription {
    DWORD handler;
    DWORD compression;
    const char* name;
    const char* description;
};
ZEP3_TEST_API std::vector<CodecDescription> ListCompressors();
// ICOpen: the codec of that handler (or of that compression FOURCC),
// matched without regard to case; null when there is none.
ZEP3_TEST_API std::unique_ptr<VideoCodec> OpenCodec(DWORD handler, int mode);
// ICLocate for decompression: a codec that turns `in` into `out` (null: any).
ZEP3_TEST_API std::unique_ptr<VideoCodec> LocateDecompressor(const BITMAPINFOHEADER& in,
                                                             const BITMAPINFOHEADER* out);
// Whether every frame of that compression stands alone (0, MJPG).
bool IsIntraOnlyCompression(DWORD compression);
// The compressor choice dialog (see SetCompressorChooseHook): true for OK.
bool RunCompressorChoose(COMPVARS& choice, const BITMAPINFOHEADER* input);

// Codec families, made by the registry.
std::unique_ptr<VideoCodec> MakeRawCodec();
std::unique_ptr<VideoCodec> MakeMjpegCodec();
// libavcodec: MPEG-4 part 2 ('FMP4', 'XVID', ...), H.264, FFV1; null when
// this libavcodec lacks the encoder (compressing) or decoder.
std::unique_ptr<VideoCodec> MakeLavcCodec(DWORD compression, bool compressing);

// Codec information record from plain texts.
void FillInfo(ICINFO& info, DWORD handler, DWORD flags, const char* name, const char* description,
              const char* driver);
// A name of the information record as 8-bit text.
std::string InfoText(const WORD* text, size_t length);
// FOURCCs equal without regard to case.
bool SameFourCC(DWORD a, DWORD b);

} // namespace zep3::detail
