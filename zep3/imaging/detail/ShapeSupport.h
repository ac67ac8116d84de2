#pragma once
// Helpers shared by the shape trackers: safe integer geometry, checked
// reading of settings, and the pen, mode and font bookkeeping of drawing.
#include <zep3/foundation/ExchangeObject.h>
#include <zep3/imaging/detail/Zoom.h>
#include <zep3/platform/Array.h>
#include <zep3/platform/DC.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace zep3::detail {

// Handle coordinates a settings file may give a shape. Anything beyond is a
// damaged entry: a polygon that far out would need a region of gigabytes.
constexpr int kMaxShapeCoordinate = 32767;
// Handle sizes and name font heights a settings file may give.
constexpr int kMaxHandleSize = 255;
constexpr int kMaxNameFontHeight = 500;

inline int ClampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

// A double truncated toward zero; false when it is not a finite int.
inline bool TruncToInt(double v, int& out) {
    const double t = std::trunc(v);
    if (!(t >= INT_MIN && t <= INT_MAX)) return false;
    out = static_cast<int>(t);
    return true;
}

inline bool IsShapeCoordinate(const CPoint& p) {
    return p.x >= -kMaxShapeCoordinate && p.x <= kMaxShapeCoordinate && p.y >= -kMaxShapeCoordinate &&
           p.y <= kMaxShapeCoordinate;
}

// ExchangeObject that, when reading, takes the item only when it is present
// and `valid` accepts it; otherwise the value is left as it was and the
// result is false. Writing and other modes are plain ExchangeObject.
template <class T, class Valid>
bool ExchangeChecked(CIniFile* ini, int mode, const CString& key, T* value, Valid valid) {
    if (mode != 0) return ExchangeObject(ini, mode, key, value);
    T read = *value;
    if (!ExchangeObject(ini, mode, key, &read) || !valid(read)) return false;
    *value = read;
    return true;
}

// After a read: every handle outside the coordinate range gets its value
// from before the read back. False when any had to be restored.
inline bool RestoreOutOfRangeHandles(CArray<CPoint, CPoint>& handles, const CArray<CPoint, CPoint>& before) {
    bool ok = true;
    for (INT_PTR i = 0; i < handles.GetSize() && i < before.GetSize(); ++i)
        if (!IsShapeCoordinate(handles[i])) {
            handles[i] = before[i];
            ok = false;
        }
    return ok;
}

inline CPoint ZoomPoint(const CPoint& p, double zoom) {
    return CPoint(ZoomCoordinate(p.x, zoom), ZoomCoordinate(p.y, zoom));
}

// The outline of a shape is dotted while it is being edited.
inline int OutlineStyle(bool dotted) { return dotted ? PS_DOT : PS_SOLID; }

// Selects a one-pixel pen of `style` in transparent background mode for the
// lifetime of the object, then restores the previous pen and mode.
class OutlinePen {
public:
    OutlinePen(CDC* dc, COLORREF color, int style)
        : m_dc(dc), m_pen(style, 0, color), m_oldPen(dc->SelectObject(&m_pen)),
          m_oldMode(dc->SetBkMode(TRANSPARENT)) {}
    ~OutlinePen() {
        m_dc->SetBkMode(m_oldMode);
        m_dc->SelectObject(m_oldPen);
    }
    OutlinePen(const OutlinePen&) = delete;
    OutlinePen& operator=(const OutlinePen&) = delete;

private:
    CDC* m_dc;
    CPen m_pen;
    CPen* m_oldPen;
    int m_oldMode;
};

// Writes `name` with `font` in `color` at (x, y) (top-left alignment, the
// DC's background mode); the DC's font and text colour are restored.
inline void DrawShapeName(CDC* dc, const CString& name, const LOGFONT& font, COLORREF color, int x, int y) {
    if (name.IsEmpty()) return;
    CFont f;
    if (!f.CreateFontIndirect(&font)) return;
    CFont* oldFont = dc->SelectObject(&f);
    const COLORREF oldColor = dc->SetTextColor(color);
    dc->TextOut(x, y, name);
    dc->SetTextColor(oldColor);
    dc->SelectObject(oldFont);
}

// Closed outline through the points, scaled: from the last point through
// every point in order.
inline void DrawClosedOutline(CDC* dc, const CPoint* points, int count, double zoom) {
    if (count < 2) return;
    dc->MoveTo(ZoomPoint(points[count - 1], zoom));
    for (int i = 0; i < count; ++i) dc->LineTo(ZoomPoint(points[i], zoom));
}

} // namespace zep3::detail
