#pragma once
/// @file
/// The Blade-style interface of an MP3 encoder module: the configuration and
/// version records and the six entry points that CLameMP3 looks up by name
/// ("beInitStream", "beEncodeChunk", "beDeinitStream", "beCloseStream",
/// "beVersion", "beWriteVBRHeader"). libzep3mp3.so, built with the library,
/// offers them over libmp3lame.
///
/// Records are packed and little-endian with 32-bit integers, as in the
/// original 32-bit interface; BE_CONFIG is 331 bytes. Samples are 16-bit
/// signed, interleaved for two channels, and counted as single values (a
/// stereo chunk of 1152 frames is 2304 samples). A stream handle is a 32-bit
/// number.
#include <zep3/platform/WinTypes.h>

#include <cstddef>

typedef DWORD BE_ERR;
typedef DWORD HBE_STREAM;
typedef HBE_STREAM* PHBE_STREAM;

#define BE_ERR_SUCCESSFUL 0x00000000u
#define BE_ERR_INVALID_FORMAT 0x00000001u
#define BE_ERR_INVALID_FORMAT_PARAMETERS 0x00000002u
#define BE_ERR_NO_MORE_HANDLES 0x00000003u
#define BE_ERR_INVALID_HANDLE 0x00000004u
#define BE_ERR_BUFFER_TOO_SMALL 0x00000005u

///@{
/// BE_CONFIG::dwConfig: the kind of the format union.
#define BE_CONFIG_MP3 0
#define BE_CONFIG_LAME 256
///@}

///@{
/// Channel modes (LHV1.nMode, mp3.byMode).
#define BE_MP3_MODE_STEREO 0
#define BE_MP3_MODE_JSTEREO 1
#define BE_MP3_MODE_DUALCHANNEL 2
#define BE_MP3_MODE_MONO 3
///@}

///@{
/// LHV1.dwMpegVersion.
#define MPEG1 1
#define MPEG2 0
///@}

#define CURRENT_STRUCT_VERSION 1
#define CURRENT_STRUCT_SIZE 331

/// LHV1.nVbrMethod.
enum VBRMETHOD : int32_t {
    VBR_METHOD_NONE = -1,
    VBR_METHOD_DEFAULT = 0,
    VBR_METHOD_OLD = 1,
    VBR_METHOD_NEW = 2,
    VBR_METHOD_MTRH = 3,
    VBR_METHOD_ABR = 4
};

/// LHV1.nPreset.
enum LAME_QUALITY_PRESET : int32_t {
    LQP_NOPRESET = -1,
    LQP_NORMAL_QUALITY = 0,
    LQP_LOW_QUALITY = 1,
    LQP_HIGH_QUALITY = 2,
    LQP_VOICE_QUALITY = 3,
    LQP_R3MIX = 4,
    LQP_VERYHIGH_QUALITY = 5,
    LQP_STANDARD = 6,
    LQP_FAST_STANDARD = 7,
    LQP_EXTREME = 8,
    LQP_FAST_EXTREME = 9,
    LQP_INSANE = 10,
    LQP_ABR = 11,
    LQP_CBR = 12,
    LQP_MEDIUM = 13,
    LQP_FAST_MEDIUM = 14
};

#pragma pack(push, 1)
/// The settings beEncodeChunk works with, chosen by dwConfig: the first
/// Blade encoder's few (mp3) or LAME's full set (LHV1). Packed, 331 bytes.
struct BE_CONFIG {
    DWORD dwConfig; ///< BE_CONFIG_MP3 or BE_CONFIG_LAME
    union {
        /// BE_CONFIG_MP3: the first Blade encoder's settings.
        struct {
            DWORD dwSampleRate;
            BYTE byMode;
            WORD wBitrate;
            BOOL bPrivate;
            BOOL bCRC;
            BOOL bCopyright;
            BOOL bOriginal;
        } mp3;
        /// BE_CONFIG_LAME.
        struct {
            DWORD dwStructVersion; ///< 1
            DWORD dwStructSize;    ///< 331
            DWORD dwSampleRate;
            DWORD dwReSampleRate; ///< 0: the encoder decides
            LONG nMode;           ///< BE_MP3_MODE_*
            DWORD dwBitrate;      ///< kbit/s (the minimum with VBR)
            DWORD dwMaxBitrate;   ///< kbit/s, with VBR
            LONG nPreset;         ///< LAME_QUALITY_PRESET
            DWORD dwMpegVersion;  ///< MPEG1 or MPEG2
            DWORD dwPsyModel;
            DWORD dwEmphasis;
            BOOL bPrivate;
            BOOL bCRC;
            BOOL bCopyright;
            BOOL bOriginal;
            BOOL bWriteVBRHeader;
            BOOL bEnableVBR;
            INT nVBRQuality;
            DWORD dwVbrAbr_bps;
            VBRMETHOD nVbrMethod;
            BOOL bNoRes;
            BOOL bStrictIso;
            /// 0 to 9 in the low byte with its complement in the high byte;
            /// any other value leaves the encoder's default.
            WORD nQuality;
            BYTE btReserved[255 - 4 * sizeof(DWORD) - sizeof(WORD)];
        } LHV1;
    } format;
};

#define BE_MAX_HOMEPAGE 128
/// What beVersion reports: the encoder module's and the encoder's versions,
/// the release date and the home page.
struct BE_VERSION {
    BYTE byDLLMajorVersion;
    BYTE byDLLMinorVersion;
    BYTE byMajorVersion; ///< of the encoder
    BYTE byMinorVersion;
    BYTE byDay; ///< of the release
    BYTE byMonth;
    WORD wYear;
    CHAR zHomepage[BE_MAX_HOMEPAGE + 1];
    BYTE byAlphaLevel;
    BYTE byBetaLevel;
    BYTE byMMXEnabled;
    BYTE btReserved[125];
};
#pragma pack(pop)

static_assert(sizeof(BE_CONFIG) == 331, "BE_CONFIG is 331 bytes");
static_assert(offsetof(BE_CONFIG, format.LHV1.dwSampleRate) == 12 &&
                  offsetof(BE_CONFIG, format.LHV1.nMode) == 20 && offsetof(BE_CONFIG, format.LHV1.nPreset) == 32 &&
                  offsetof(BE_CONFIG, format.LHV1.bPrivate) == 48 &&
                  offsetof(BE_CONFIG, format.LHV1.bWriteVBRHeader) == 64 &&
                  offsetof(BE_CONFIG, format.LHV1.nVbrMethod) == 80 &&
                  offsetof(BE_CONFIG, format.LHV1.nQuality) == 92 &&
                  offsetof(BE_CONFIG, format.LHV1.btReserved) == 94,
              "BE_CONFIG's fields lie where the 32-bit interface has them");
static_assert(sizeof(BE_VERSION) == 265, "BE_VERSION is 265 bytes");

typedef BE_CONFIG* PBE_CONFIG;
typedef BE_VERSION* PBE_VERSION;

///@{
/// The entry points, as CLameMP3 calls them.
typedef BE_ERR (*BEINITSTREAM)(PBE_CONFIG config, DWORD* samples, DWORD* bufferSize, PHBE_STREAM stream);
typedef BE_ERR (*BEENCODECHUNK)(HBE_STREAM stream, DWORD samples, SHORT* pcm, BYTE* output, DWORD* outputSize);
typedef BE_ERR (*BEDEINITSTREAM)(HBE_STREAM stream, BYTE* output, DWORD* outputSize);
typedef BE_ERR (*BECLOSESTREAM)(HBE_STREAM stream);
typedef void (*BEVERSION)(PBE_VERSION version);
typedef BE_ERR (*BEWRITEVBRHEADER)(const char* fileName);
///@}
