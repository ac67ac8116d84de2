#pragma once
// The plain GDI functions the library and its applications call besides the
// CDC members: stock objects, object handles, system colours, line stepping,
// DIB sections and palettes. HDC values come from CDC::GetSafeHdc().
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiConstants.h>

// The stock object of that index (WHITE_BRUSH ... DEFAULT_GUI_FONT); null for
// an unknown index. Stock objects are never freed.
ZEP3_API HGDIOBJ GetStockObject(int nIndex);
// Frees a GDI object handle; false for null, stale or stock handles.
ZEP3_API BOOL DeleteObject(HGDIOBJ hObject);
// Copies the object's description, as CGdiObject::GetObject.
ZEP3_API int GetObject(HGDIOBJ hObject, int nCount, LPVOID lpObject);
// OBJ_PEN, OBJ_BRUSH, ... or 0.
ZEP3_API DWORD GetObjectType(HGDIOBJ hObject);

// The classic system colours: button face RGB(212, 208, 200), shadow
// RGB(128, 128, 128), highlight white, dark shadow RGB(64, 64, 64), light
// RGB(212, 208, 200), window white, window text black, and so on; 0 for an
// unknown index.
ZEP3_API COLORREF GetSysColor(int nIndex);
// A stock-like solid brush of that system colour (never freed); null for an
// unknown index.
ZEP3_API HBRUSH GetSysColorBrush(int nIndex);

// Calls lpLineFunc for every point of the line from (nXStart, nYStart)
// towards (nXEnd, nYEnd), the end point excluded (the same points LineTo
// draws); a line to itself has none. False for a null callback.
ZEP3_API BOOL LineDDA(int nXStart, int nYStart, int nXEnd, int nYEnd, LINEDDAPROC lpLineFunc, LPARAM lpData);

// A DIB section of 1, 4, 8, 16, 24 or 32 bits (BI_RGB, or BI_BITFIELDS for
// 16 and 32 bits), bottom-up or top-down (negative height), zero-filled. The
// colour table of 1 to 8-bit bitmaps comes from pbmi (DIB_RGB_COLORS) or from
// the palette selected into hdc (DIB_PAL_COLORS). *ppvBits receives the bits,
// owned by the bitmap. hSection and dwOffset must be null and 0. Null on
// failure. The handle can be attached to a CBitmap.
ZEP3_API HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT iUsage, void** ppvBits, HANDLE hSection,
                                  DWORD dwOffset);
// The colour table of the DIB section selected into hdc: copies up to
// cEntries entries from iStartIndex; returns the number copied (0 when the
// bitmap has no table or is no DIB section).
ZEP3_API UINT GetDIBColorTable(HDC hdc, UINT iStartIndex, UINT cEntries, RGBQUAD* prgbq);
ZEP3_API UINT SetDIBColorTable(HDC hdc, UINT iStartIndex, UINT cEntries, const RGBQUAD* prgbq);

// The surfaces are not palette devices: there is no system palette, so this
// returns 0 and copies nothing.
ZEP3_API UINT GetSystemPaletteEntries(HDC hdc, UINT iStartIndex, UINT nEntries, PALETTEENTRY* lppe);
// Index of the palette entry nearest to the colour; CLR_INVALID for a bad handle.
ZEP3_API UINT GetNearestPaletteIndex(HPALETTE hpal, COLORREF crColor);
