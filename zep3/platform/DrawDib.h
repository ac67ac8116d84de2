#pragma once
/// @file
/// The video-for-Windows DrawDib functions: drawing a device-independent
/// bitmap onto a device context, stretched as needed. Here they are the
/// drawing layer's own stretch (nearest pixel, as COLORONCOLOR); the handle
/// only has to be opened and closed. Any thread.
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiTypes.h>

typedef HANDLE HDRAWDIB;

#define DDF_BACKGROUNDPAL 0x0200u

/// A new DrawDib handle; close it with DrawDibClose.
ZEP3_API HDRAWDIB DrawDibOpen();
/// FALSE for a handle DrawDibOpen did not give or that is closed already.
ZEP3_API BOOL DrawDibClose(HDRAWDIB hdd);
/// Draws the source rectangle of the DIB (header lpbi followed by its colour
/// table; rows lpBits) into the destination rectangle of hdc. Source
/// coordinates count from the bitmap's top-left corner; dxSrc or dySrc -1
/// mean the whole width or height, dxDst or dyDst -1 the source size.
/// DDF_BACKGROUNDPAL is accepted (the surfaces have no palette to realise).
/// FALSE for a bad handle, DC or bitmap.
ZEP3_API BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, LPBITMAPINFOHEADER lpbi,
                          LPVOID lpBits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT wFlags);
