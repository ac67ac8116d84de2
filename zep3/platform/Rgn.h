#pragma once
/// @class CRgn
/// A rectangular region, as far as clipping a device context needs.
#include <zep3/platform/GdiObject.h>

class ZEP3_API CRgn : public CGdiObject {
public:
    /// False when this object already holds a handle.
    BOOL CreateRectRgn(int x1, int y1, int x2, int y2);
    BOOL CreateRectRgnIndirect(LPCRECT lpRect);
    void SetRectRgn(int x1, int y1, int x2, int y2);
    /// Writes the bounding rectangle; NULLREGION, SIMPLEREGION or RGN_ERROR.
    int GetRgnBox(LPRECT lpRect) const;
    BOOL PtInRegion(int x, int y) const;
    operator HRGN() const { return static_cast<HRGN>(m_hObject); }
    static CRgn* FromHandle(HRGN hRgn);
};
