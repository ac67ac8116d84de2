#pragma once
/// @class CPalette
/// A logical palette. The drawing surfaces are true-colour, so a
/// palette only matters as the colour source of DIB_PAL_COLORS bitmaps and
/// for applications that read it back.
#include <zep3/platform/GdiObject.h>

class CDC;

class ZEP3_API CPalette : public CGdiObject {
public:
    /// Copies palNumEntries entries (1 to 1024); false otherwise or when this
    /// object already holds a handle.
    BOOL CreatePalette(LPLOGPALETTE lpLogPalette);
    /// The 256-entry halftone palette: the 20 static system colours, a
    /// 6 x 6 x 6 colour cube and a grey ramp.
    BOOL CreateHalftonePalette(CDC* pDC);
    int GetEntryCount() const;
    /// Copy entries out of / into the palette; return the number copied.
    UINT GetPaletteEntries(UINT nStartIndex, UINT nNumEntries, PALETTEENTRY* lpPaletteColors) const;
    UINT SetPaletteEntries(UINT nStartIndex, UINT nNumEntries, const PALETTEENTRY* lpPaletteColors);
    /// Index of the entry nearest to the colour (squared distance); CLR_INVALID
    /// without a palette.
    UINT GetNearestPaletteIndex(COLORREF crColor) const;
    BOOL ResizePalette(UINT nNumEntries);
    operator HPALETTE() const { return static_cast<HPALETTE>(m_hObject); }
    static CPalette* FromHandle(HPALETTE hPalette);
};
