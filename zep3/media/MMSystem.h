#pragma once
/// @file
/// The multimedia records and numbers that the sound, wave-file and playback
/// classes share: wave formats and buffer headers, RIFF chunk records, the
/// wave-input results and the playback notice. Values and layouts are the
/// Windows ones; WAVEFORMATEX is packed to its 18 bytes, so a format chunk
/// read from a file can be viewed through it.
#include <zep3/platform/WinTypes.h>

typedef DWORD FOURCC;
#ifndef mmioFOURCC
#define mmioFOURCC(c0, c1, c2, c3) \
    ((FOURCC)(BYTE)(c0) | ((FOURCC)(BYTE)(c1) << 8) | ((FOURCC)(BYTE)(c2) << 16) | ((FOURCC)(BYTE)(c3) << 24))
#endif

typedef UINT MMRESULT;
typedef UINT MMVERSION;

///@{
/// Results of the wave-input calls, returned unchanged by CSoundIn.
#define MMSYSERR_NOERROR 0u
#define MMSYSERR_ERROR 1u
#define MMSYSERR_BADDEVICEID 2u
#define MMSYSERR_NOTENABLED 3u
#define MMSYSERR_ALLOCATED 4u
#define MMSYSERR_INVALHANDLE 5u
#define MMSYSERR_NODRIVER 6u
#define MMSYSERR_NOMEM 7u
#define MMSYSERR_NOTSUPPORTED 8u
#define MMSYSERR_INVALFLAG 10u
#define MMSYSERR_INVALPARAM 11u
#define WAVERR_BADFORMAT 32u
#define WAVERR_STILLPLAYING 33u
#define WAVERR_UNPREPARED 34u
///@}

#define WAVE_MAPPER ((UINT)-1)
#define CALLBACK_EVENT 0x00050000u
#define WAVE_FORMAT_PCM 1
#define WAVE_FORMAT_IEEE_FLOAT 3

///@{
/// WAVEINCAPS::dwFormats: mono/stereo, 8/16 bits at 11.025, 22.05 and 44.1 kHz.
#define WAVE_FORMAT_1M08 0x00000001u
#define WAVE_FORMAT_1S08 0x00000002u
#define WAVE_FORMAT_1M16 0x00000004u
#define WAVE_FORMAT_1S16 0x00000008u
#define WAVE_FORMAT_2M08 0x00000010u
#define WAVE_FORMAT_2S08 0x00000020u
#define WAVE_FORMAT_2M16 0x00000040u
#define WAVE_FORMAT_2S16 0x00000080u
#define WAVE_FORMAT_4M08 0x00000100u
#define WAVE_FORMAT_4S08 0x00000200u
#define WAVE_FORMAT_4M16 0x00000400u
#define WAVE_FORMAT_4S16 0x00000800u
///@}

///@{
/// WAVEHDR::dwFlags.
#define WHDR_DONE 0x00000001u
#define WHDR_PREPARED 0x00000002u
#define WHDR_BEGINLOOP 0x00000004u
#define WHDR_ENDLOOP 0x00000008u
#define WHDR_INQUEUE 0x00000010u
///@}

#define MAXPNAMELEN 32

#pragma pack(push, 1)
/// The format of wave data: PCM tag, channels, sample rate and bits per
/// sample, with the derived byte rate and block size. Packed, 18 bytes.
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize; ///< bytes of format data after these 18
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");
typedef WAVEFORMATEX* LPWAVEFORMATEX;

/// One recording buffer as the wave-input device fills it.
struct WAVEHDR {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};
typedef WAVEHDR* LPWAVEHDR;

/// What a wave-input device offers: its name and the standard formats
/// (WAVE_FORMAT_* bits in dwFormats) it records.
struct WAVEINCAPS {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    CHAR szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
};
static_assert(sizeof(WAVEINCAPS) == 48, "WAVEINCAPS is 48 bytes");

struct HWAVEIN__;
typedef HWAVEIN__* HWAVEIN;

/// A RIFF chunk as the multimedia-file reader finds it.
struct MMCKINFO {
    FOURCC ckid;
    DWORD cksize;       ///< data bytes, without the header and the pad byte
    FOURCC fccType;     ///< form or list type of "RIFF" and "LIST" chunks
    DWORD dwDataOffset; ///< file offset of the data (of the form type for RIFF/LIST)
    DWORD dwFlags;
};
static_assert(sizeof(MMCKINFO) == 20, "MMCKINFO is 20 bytes");
typedef MMCKINFO* LPMMCKINFO;

struct HMMIO__;
typedef HMMIO__* HMMIO;

///@{
/// Playback: the completion notice posted to the window named in a play
/// request (wParam: how the request ended, lParam: the device id), and the
/// device modes.
#define MM_MCINOTIFY 0x03B9
#define MCI_NOTIFY_SUCCESSFUL 0x0001
#define MCI_NOTIFY_SUPERSEDED 0x0002
#define MCI_NOTIFY_ABORTED 0x0004
#define MCI_NOTIFY_FAILURE 0x0008
///@}

#define MCI_MODE_NOT_READY 524
#define MCI_MODE_STOP 525
#define MCI_MODE_PLAY 526
#define MCI_MODE_RECORD 527
#define MCI_MODE_SEEK 528
#define MCI_MODE_PAUSE 529
#define MCI_MODE_OPEN 530

typedef UINT MCIDEVICEID;
