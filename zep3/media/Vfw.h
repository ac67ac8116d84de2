#pragma once
/// @file
/// The Video for Windows records, constants and result codes that CAVIEdit,
/// CAVIFile and CCodec take and give, with their Windows values and layouts.
///
/// Codecs are named by FOURCCs: the handler (which codec) and the compression
/// (which data format it writes). The codecs are the library's own registry
/// over TurboJPEG and libavcodec (see docs/media-avi.md):
///   handler 'mjpg' -> 'MJPG'   Motion JPEG (TurboJPEG)
///   handler 'fmp4' -> 'FMP4'   MPEG-4 part 2 ('xvid' -> 'XVID' alike; DIVX, DX50, MP4V decoded)
///   handler 'h264' -> 'H264'   H.264 through libx264 (when libavcodec has it)
///   handler 'ffv1' -> 'FFV1'   FFV1, lossless
///   handler 'DIB ' -> 0        uncompressed frames
/// Handlers are matched without regard to case.
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiTypes.h>
#include <zep3/platform/WinTypes.h>

#include <cstddef>
#include <functional>

#ifndef mmioFOURCC
#define mmioFOURCC(a, b, c, d) \
    ((DWORD)(BYTE)(a) | ((DWORD)(BYTE)(b) << 8) | ((DWORD)(BYTE)(c) << 16) | ((DWORD)(BYTE)(d) << 24))
#endif
#define streamtypeVIDEO mmioFOURCC('v', 'i', 'd', 's')
#define ICTYPE_VIDEO mmioFOURCC('v', 'i', 'd', 'c')


/// Sample flags of an AVI index entry.
#define AVIIF_KEYFRAME 0x00000010L

///@{
/// ICOpen modes.
#define ICMODE_COMPRESS 1
#define ICMODE_DECOMPRESS 2
#define ICMODE_FASTDECOMPRESS 3
#define ICMODE_QUERY 4
#define ICMODE_FASTCOMPRESS 5
///@}

///@{
/// Quality runs 0..10000; -1 asks for the codec's default.
#define ICQUALITY_LOW 0
#define ICQUALITY_HIGH 10000
#define ICQUALITY_DEFAULT -1
///@}

/// ICCompress: ask for a key frame.
#define ICCOMPRESS_KEYFRAME 0x00000001L

///@{
/// Codec results (ICERR_OK is success; all failures are negative).
#define ICERR_OK 0L
#define ICERR_UNSUPPORTED -1L
#define ICERR_BADFORMAT -2L
#define ICERR_MEMORY -3L
#define ICERR_INTERNAL -4L
#define ICERR_BADFLAGS -5L
#define ICERR_BADPARAM -6L
#define ICERR_BADSIZE -7L
#define ICERR_BADHANDLE -8L
#define ICERR_ABORT -10L
#define ICERR_ERROR -100L
///@}

///@{
/// AVI file results: 0, or an error code (negative as a LONG).
#define MAKE_AVIERR(error) ((HRESULT)(0x80040000UL | (0x4000UL + (error))))
#define AVIERR_OK 0L
#define AVIERR_UNSUPPORTED MAKE_AVIERR(101)
#define AVIERR_BADFORMAT MAKE_AVIERR(102)
#define AVIERR_MEMORY MAKE_AVIERR(103)
#define AVIERR_INTERNAL MAKE_AVIERR(104)
#define AVIERR_BADFLAGS MAKE_AVIERR(105)
#define AVIERR_BADPARAM MAKE_AVIERR(106)
#define AVIERR_BADSIZE MAKE_AVIERR(107)
#define AVIERR_BADHANDLE MAKE_AVIERR(108)
#define AVIERR_FILEREAD MAKE_AVIERR(109)
#define AVIERR_FILEWRITE MAKE_AVIERR(110)
#define AVIERR_FILEOPEN MAKE_AVIERR(111)
#define AVIERR_NODATA MAKE_AVIERR(115)
#define AVIERR_BUFFERTOOSMALL MAKE_AVIERR(116)
///@}

///@{
/// Codec capability flags of ICINFO::dwFlags.
#define VIDCF_QUALITY 0x0001
#define VIDCF_CRUNCH 0x0002
#define VIDCF_TEMPORAL 0x0004
#define VIDCF_COMPRESSFRAMES 0x0008
#define VIDCF_FASTTEMPORALC 0x0020
#define VIDCF_FASTTEMPORALD 0x0080
///@}

///@{
/// ICCompressorChoose options and COMPVARS flags.
#define ICMF_CHOOSE_KEYFRAME 0x0001
#define ICMF_CHOOSE_DATARATE 0x0002
#define ICMF_CHOOSE_PREVIEW 0x0004
#define ICMF_CHOOSE_ALLCOMPRESSORS 0x0008
#define ICMF_COMPVARS_VALID 0x0001
///@}

/// An open codec (null: none).
struct HIC__;
typedef HIC__* HIC;

/// A codec's description. The names are UTF-16 as on Windows (plain ASCII here).
struct ICINFO {
    DWORD dwSize;
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags;
    DWORD dwVersion;
    DWORD dwVersionICM;
    WORD szName[16];
    WORD szDescription[128];
    WORD szDriver[128];
};
static_assert(sizeof(ICINFO) == 568, "ICINFO is 568 bytes");
static_assert(offsetof(ICINFO, szDescription) == 56, "description after the short name");

/// A stream's header as AVIStreamInfo gives it (the 8-bit form).
struct AVISTREAMINFO {
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags;
    DWORD dwCaps;
    WORD wPriority;
    WORD wLanguage;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwStart;
    DWORD dwLength;
    DWORD dwInitialFrames;
    DWORD dwSuggestedBufferSize;
    DWORD dwQuality;
    DWORD dwSampleSize;
    RECT rcFrame;
    DWORD dwEditCount;
    DWORD dwFormatChangeCount;
    char szName[64];
};
static_assert(sizeof(AVISTREAMINFO) == 140, "AVISTREAMINFO is 140 bytes");
static_assert(offsetof(AVISTREAMINFO, rcFrame) == 52 && offsetof(AVISTREAMINFO, szName) == 76,
              "AVISTREAMINFO layout");

/// The compressor choice: what the choice dialog fills and ICCompressorFree
/// releases. The pointers are the framework's; on this platform hic and
/// lpState belong to the choice until it is freed.
struct COMPVARS {
    LONG cbSize;
    DWORD dwFlags;
    HIC hic;
    DWORD fccType;
    DWORD fccHandler;
    LPBITMAPINFO lpbiIn;
    LPBITMAPINFO lpbiOut;
    LPVOID lpBitsOut;
    LPVOID lpBitsPrev;
    LONG lFrame;
    LONG lKey;
    LONG lDataRate;
    LONG lQ;
    LONG lKeyCount;
    LPVOID lpState;
    LONG cbState;
};

/// The compressor choice dialog has no user to ask: it answers cancel unless
/// a hook answers in the user's place. The hook gets the choice with the
/// preselected codec (fccHandler, lKey, lQ; lDataRate) and the input format
/// (may be null), sets fccHandler (and lKey, lDataRate, lQ as it likes) and
/// returns true for OK. An empty hook restores the cancel answer. Any thread
/// may set it; it runs on the thread that shows the dialog.
using CompressorChooseHook = std::function<bool(COMPVARS& choice, const BITMAPINFOHEADER* input)>;
ZEP3_API void SetCompressorChooseHook(CompressorChooseHook hook);
