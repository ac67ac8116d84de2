#pragma once
/// @class CPen
/// A cosmetic or wide pen. Width 0 and 1 draw one-pixel lines; styles
/// PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL and
/// PS_INSIDEFRAME. Wider styled pens draw solid, as on Windows.
#include <zep3/platform/GdiObject.h>

class ZEP3_API CPen : public CGdiObject {
public:
    CPen() = default;
    /// Creates the pen at once; check GetSafeHandle() for failure.
    CPen(int nPenStyle, int nWidth, COLORREF crColor) { CreatePen(nPenStyle, nWidth, crColor); }
    /// False when this object already holds a handle or the style is unknown;
    /// a negative width counts as 0.
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);
    BOOL CreatePenIndirect(const LOGPEN* lpLogPen);
    /// The pen's description; false without a pen.
    int GetLogPen(LOGPEN* pLogPen) const;
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
    static CPen* FromHandle(HPEN hPen);
};
