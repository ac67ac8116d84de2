#pragma once
/// @class CPoint
/// Integer coordinates (x, y); zero by default.
#include <zep3/platform/Size.h>

class CPoint : public POINT {
public:
    ///@{
    /// Zero, the given coordinates, a POINT, or a SIZE's extent as a point.
    CPoint() : POINT{0, 0} {}
    CPoint(int px, int py) : POINT{px, py} {}
    CPoint(const POINT& p) : POINT(p) {}
    explicit CPoint(const SIZE& s) : POINT{s.cx, s.cy} {}
    ///@}

    ///@{
    /// Moves the point by a distance.
    void Offset(int dx, int dy) { x += dx; y += dy; }
    void Offset(const POINT& p) { Offset(p.x, p.y); }
    void Offset(const SIZE& s) { Offset(s.cx, s.cy); }
    ///@}

    ///@{
    /// Comparison and the arithmetic of points and distances; a point minus a
    /// point is the CSize between them.
    bool operator==(const POINT& p) const { return x == p.x && y == p.y; }
    bool operator!=(const POINT& p) const { return !(*this == p); }
    CPoint& operator+=(const SIZE& s) { Offset(s); return *this; }
    CPoint& operator-=(const SIZE& s) { Offset(-s.cx, -s.cy); return *this; }
    CPoint& operator+=(const POINT& p) { Offset(p); return *this; }
    CPoint& operator-=(const POINT& p) { Offset(-p.x, -p.y); return *this; }
    CPoint operator+(const SIZE& s) const { return CPoint(x + s.cx, y + s.cy); }
    CPoint operator-(const SIZE& s) const { return CPoint(x - s.cx, y - s.cy); }
    CPoint operator+(const POINT& p) const { return CPoint(x + p.x, y + p.y); }
    CSize operator-(const POINT& p) const { return CSize(x - p.x, y - p.y); }
    CPoint operator-() const { return CPoint(-x, -y); }
    ///@}
};
static_assert(sizeof(CPoint) == 8, "CPoint keeps POINT's layout");
