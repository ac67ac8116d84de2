#pragma once
/// @file
/// The plain GDI functions the library and its applications call besides the
/// CDC members: stock objects, object handles, system colours, line stepping,
/// DIB sections and palettes. HDC values come from CDC::GetSafeHdc().
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiConstants.h>

/// The stock object of that index (WHITE_BRUSH ... DEFAULT_GUI_FONT); null for
/// an unknown index. Stock objects are never freed.
ZEP3_API HGDIOBJ GetStockObject(int nIndex);
/// Frees a GDI object handle; false for null, stale or stock handles.
ZEP3_API BOOL DeleteObject(HGDIOBJ hObject);
/// Copies the object's description, as CGdiObject::GetObject; a DIB section
/// gives a whole DIBSECTION when nCount is at least its size.
ZEP3_API int GetObject(HGDIOBJ hObject, int nCount, LPVOID lpObject);
/// OBJ_PEN, OBJ_BRUSH, ... or 0.
ZEP3_API DWORD GetObjectType(HGDIOBJ hObject);

/// The classic system colours: button face RGB(212, 208, 200), shadow
/// RGB(128, 128, 128), highlight white, dark shadow RGB(64, 64, 64), light
/// RGB(212, 208, 200), window white, window text black, and so on; 0 for an
/// unknown index.
ZEP3_API COLORREF GetSysColor(int nIndex);
/// A stock-like solid brush of that system colour (never freed); null for an
/// unknown index.
ZEP3_API HBRUSH GetSysColorBrush(int nIndex);

/// Calls lpLineFunc for every point of the line from (nXStart, nYStart)
/// towards (nXEnd, nYEnd), the end point excluded (the same points LineTo
/// draws); a line to itself has none. False for a null callback.
ZEP3_API BOOL LineDDA(int nXStart, int nYStart, int nXEnd, int nYEnd, LINEDDAPROC lpLineFunc, LPARAM lpData);

/// A DIB section of 1, 4, 8, 16, 24 or 32 bits (BI_RGB, or BI_BITFIELDS for
/// 16 and 32 bits), bottom-up or top-down (negative height), zero-filled. The
/// colour table of 1 to 8-bit bitmaps comes from pbmi (DIB_RGB_COLORS) or from
/// the palette selected into hdc (DIB_PAL_COLORS). *ppvBits receives the bits,
/// owned by the bitmap. hSection and dwOffset must be null and 0. Null on
/// failure. The handle can be attached to a CBitmap.
ZEP3_API HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT iUsage, void** ppvBits, HANDLE hSection,
                                  DWORD dwOffset);
/// The colour table of the DIB section selected into hdc: copies up to
/// cEntries entries from iStartIndex; returns the number copied (0 when the
/// bitmap has no table or is no DIB section).
ZEP3_API UINT GetDIBColorTable(HDC hdc, UINT iStartIndex, UINT cEntries, RGBQUAD* prgbq);
ZEP3_API UINT SetDIBColorTable(HDC hdc, UINT iStartIndex, UINT cEntries, const RGBQUAD* prgbq);

/// The surfaces are not palette devices: there is no system palette, so this
/// returns 0 and copies nothing.
ZEP3_API UINT GetSystemPaletteEntries(HDC hdc, UINT iStartIndex, UINT nEntries, PALETTEENTRY* lppe);
/// Index of the palette entry nearest to the colour; CLR_INVALID for a bad handle.
ZEP3_API UINT GetNearestPaletteIndex(HPALETTE hpal, COLORREF crColor);

#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2
#define LR_DEFAULTCOLOR 0x0000u
#define LR_LOADFROMFILE 0x0010u
#define LR_CREATEDIBSECTION 0x2000u

/// Loads a bitmap (IMAGE_BITMAP only): with LR_LOADFROMFILE `name` is the path
/// of a BMP file, otherwise the RT_BITMAP resource `name` (a text or
/// MAKEINTRESOURCE id) of `instance` (null: the executable), kept as a packed
/// DIB (info header, colours, rows). Uncompressed 1, 4, 8, 16, 24 and 32-bit
/// bitmaps (BI_BITFIELDS for 16 and 32 bits), bottom-up or top-down, with
/// info headers of 40 to 124 bytes. LR_CREATEDIBSECTION gives a DIB section
/// in the bitmap's own format and colours, otherwise a 32-bit device bitmap.
/// cx and cy must be 0 or the bitmap's size (no stretching on load). Returns
/// an HBITMAP owned by the caller (DeleteObject), or null.
ZEP3_API HANDLE LoadImage(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);
