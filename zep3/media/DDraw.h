#pragma once
/// @file
/// The display records and numbers that CDXDisplay and CDXSurface use: the
/// surface description with its pixel format and capabilities, the blit flags
/// and the result codes. Names and values are the Windows ones.
///
/// IDirectDraw7 and IDirectDrawSurface7 are opaque here: the display object
/// and the surfaces are created and used only through CDXDisplay and
/// CDXSurface, which hand their pointers on unchanged (to another CDXSurface
/// or back to a blit). They are reference-counted; see DXSurface.h.
#include <zep3/platform/WinTypes.h>

struct IDirectDraw7;
struct IDirectDrawSurface7;

///@{
/// Results (32-bit values, sign-extended where a long carries them).
#define DD_OK 0L
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_POINTER ((HRESULT)0x80004003L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_INVALIDPIXELFORMAT ((HRESULT)0x88760091L)
#define DDERR_INVALIDRECT ((HRESULT)0x88760096L)
#define DDERR_SURFACELOST ((HRESULT)0x887601C2L)
#define DDERR_WASSTILLDRAWING ((HRESULT)0x8876021CL)
#define DDERR_CANTCREATEDC ((HRESULT)0x88760231L)
///@}

///@{
/// DDSURFACEDESC2::dwFlags: which members are valid.
#define DDSD_CAPS 0x00000001u
#define DDSD_HEIGHT 0x00000002u
#define DDSD_WIDTH 0x00000004u
#define DDSD_PITCH 0x00000008u
#define DDSD_BACKBUFFERCOUNT 0x00000020u
#define DDSD_LPSURFACE 0x00000800u
#define DDSD_PIXELFORMAT 0x00001000u
///@}

///@{
/// DDPIXELFORMAT::dwFlags.
#define DDPF_PALETTEINDEXED8 0x00000020u
#define DDPF_RGB 0x00000040u
///@}

///@{
/// DDSCAPS2::dwCaps.
#define DDSCAPS_BACKBUFFER 0x00000004u
#define DDSCAPS_COMPLEX 0x00000008u
#define DDSCAPS_FLIP 0x00000010u
#define DDSCAPS_FRONTBUFFER 0x00000020u
#define DDSCAPS_OFFSCREENPLAIN 0x00000040u
#define DDSCAPS_PRIMARYSURFACE 0x00000200u
#define DDSCAPS_SYSTEMMEMORY 0x00000800u
#define DDSCAPS_3DDEVICE 0x00002000u
#define DDSCAPS_VIDEOMEMORY 0x00004000u
///@}

///@{
/// Blit flags. Waiting is what every blit does here: nothing is ever busy.
#define DDBLT_WAIT 0x01000000u
#define DDBLTFAST_NOCOLORKEY 0x00000000u
#define DDBLTFAST_WAIT 0x00000010u
///@}

/// The pixel layout of a surface: bit count and the mask of each colour
/// channel (32 bytes).
struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};
static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT is 32 bytes");

/// A colour-key range. Kept for the record layout; blits here never key.
struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

/// What a surface is for (DDSCAPS_* in dwCaps); the other words are unused.
struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};

/// The surface description. lpSurface is a full pointer here, so the record
/// is larger than the 124 bytes of a 32-bit build; it is never stored.
struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwMipMapCount;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    void* lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};
