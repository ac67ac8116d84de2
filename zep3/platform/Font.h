#pragma once
/// @class CFont
/// A logical font. The face is realised on first use with FreeType: the
/// face name "Arial" maps to Liberation Sans (metric-compatible), other names
/// are looked up with fontconfig, and DejaVu Sans stands in for anything
/// missing. A negative lfHeight is the em height in pixels, a positive one the
/// cell height (ascent + descent), 0 a 12-pixel em; weights of 600 and above
/// take the bold face; italic, underline and strike-out are honoured.
#include <zep3/platform/GdiObject.h>

class CDC;

class ZEP3_API CFont : public CGdiObject {
public:
    /// False when this object already holds a handle or lpLogFont is null.
    BOOL CreateFontIndirect(const LOGFONT* lpLogFont);
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                    BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                    BYTE nQuality, BYTE nPitchAndFamily, LPCTSTR lpszFacename);
    /// A font of nPointSize tenths of a point at 96 dots per inch (pDC is
    /// accepted for compatibility): lfHeight = -round(points x 96 / 72).
    BOOL CreatePointFont(int nPointSize, LPCTSTR lpszFaceName, CDC* pDC = nullptr);
    BOOL CreatePointFontIndirect(const LOGFONT* lpLogFont, CDC* pDC = nullptr);
    /// The LOGFONT the font was made from; 0 without a font.
    int GetLogFont(LOGFONT* pLogFont) const;
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    static CFont* FromHandle(HFONT hFont);
};
