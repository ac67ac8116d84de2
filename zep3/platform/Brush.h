#pragma once
/// @class CBrush
/// A solid brush, or the hollow (null) brush from the stock objects.
#include <zep3/platform/GdiObject.h>

class ZEP3_API CBrush : public CGdiObject {
public:
    CBrush() = default;
    /// Creates a solid brush at once; check GetSafeHandle() for failure.
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
    /// False when this object already holds a handle.
    BOOL CreateSolidBrush(COLORREF crColor);
    /// A solid brush of the system colour nIndex (COLOR_BTNFACE, ...).
    BOOL CreateSysColorBrush(int nIndex);
    /// BS_SOLID and BS_NULL are supported; other styles fail.
    BOOL CreateBrushIndirect(const LOGBRUSH* lpLogBrush);
    int GetLogBrush(LOGBRUSH* pLogBrush) const;
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
    static CBrush* FromHandle(HBRUSH hBrush);
};
