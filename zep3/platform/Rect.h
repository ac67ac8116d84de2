#pragma once
/// @class CRect
/// Left and top inclusive, right and bottom exclusive; zero by default.
/// Intersection and union follow the Windows rules: an empty result is set to
/// all zeros and reported as false.
#include <zep3/platform/Export.h>
#include <zep3/platform/Point.h>

class ZEP3_API CRect : public RECT {
public:
    ///@{
    /// Zero, the four sides, a RECT, a top-left corner with a size, or two corners.
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    CRect(const POINT& topLeft, const SIZE& size)
        : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
    CRect(const POINT& topLeft, const POINT& bottomRight)
        : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}
    ///@}

    /// right - left (negative for a rectangle that is not normalised).
    int Width() const { return right - left; }
    /// bottom - top.
    int Height() const { return bottom - top; }
    /// Width and height.
    CSize Size() const { return CSize(Width(), Height()); }
    ///@{
    /// A corner, or the centre (rounded towards zero).
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    ///@}
    ///@{
    /// The rectangle as the RECT pointer the drawing calls take.
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    ///@}

    ///@{
    /// Empty: no area (width or height not positive). Null: all four zero.
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    ///@}
    /// True when p lies inside: left and top inclusive, right and bottom exclusive.
    bool PtInRect(const POINT& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    /// True when all four sides are equal.
    bool EqualRect(const RECT& r) const {
        return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
    }

    ///@{
    /// Sets the four sides, or the two corners.
    void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    void SetRect(const POINT& topLeft, const POINT& bottomRight) {
        SetRect(topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
    }
    ///@}
    /// Sets all four sides to zero.
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    /// Copies r; a null pointer leaves the rectangle unchanged.
    void CopyRect(const RECT* r) { if (r) *static_cast<RECT*>(this) = *r; }

    ///@{
    /// Moves the sides outwards: by x and y on both sides, by a size, or each
    /// side by its own amount (left, top, right, bottom).
    void InflateRect(int x, int y) { InflateRect(x, y, x, y); }
    void InflateRect(const SIZE& s) { InflateRect(s.cx, s.cy); }
    void InflateRect(const RECT& r) { InflateRect(r.left, r.top, r.right, r.bottom); }
    void InflateRect(int l, int t, int r, int b) { left -= l; top -= t; right += r; bottom += b; }
    ///@}
    ///@{
    /// Moves the sides inwards, the reverse of InflateRect.
    void DeflateRect(int x, int y) { InflateRect(-x, -y); }
    void DeflateRect(const SIZE& s) { InflateRect(-s.cx, -s.cy); }
    void DeflateRect(const RECT& r) { InflateRect(-r.left, -r.top, -r.right, -r.bottom); }
    void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
    ///@}
    ///@{
    /// Moves the whole rectangle by a distance.
    void OffsetRect(int x, int y) { left += x; right += x; top += y; bottom += y; }
    void OffsetRect(const POINT& p) { OffsetRect(p.x, p.y); }
    void OffsetRect(const SIZE& s) { OffsetRect(s.cx, s.cy); }
    ///@}
    /// Swaps the sides where right < left or bottom < top.
    void NormalizeRect();

    /// Sets this rectangle to the common part of a and b; false, with all sides
    /// zero, when they do not overlap.
    bool IntersectRect(const RECT& a, const RECT& b);
    /// Sets this rectangle to the smallest one holding a and b (an empty one
    /// counts as nothing); false, with all sides zero, when the result is empty.
    bool UnionRect(const RECT& a, const RECT& b);

    ///@{
    /// Comparison, moving by a point (+, -), intersection (&) and union (|), as
    /// the functions above.
    bool operator==(const RECT& r) const { return EqualRect(r); }
    bool operator!=(const RECT& r) const { return !EqualRect(r); }
    CRect& operator+=(const POINT& p) { OffsetRect(p); return *this; }
    CRect& operator-=(const POINT& p) { OffsetRect(-p.x, -p.y); return *this; }
    CRect& operator&=(const RECT& r) { IntersectRect(*this, r); return *this; }
    CRect& operator|=(const RECT& r) { UnionRect(*this, r); return *this; }
    CRect operator+(const POINT& p) const { CRect r(*this); r += p; return r; }
    CRect operator-(const POINT& p) const { CRect r(*this); r -= p; return r; }
    CRect operator&(const RECT& o) const { CRect r; r.IntersectRect(*this, o); return r; }
    CRect operator|(const RECT& o) const { CRect r; r.UnionRect(*this, o); return r; }
    ///@}
};
static_assert(sizeof(CRect) == 16, "CRect keeps RECT's layout");
