#pragma once
/// @class CSize
/// A width and height (cx, cy); zero by default.
#include <zep3/platform/WinTypes.h>

class CSize : public SIZE {
public:
    ///@{
    /// Zero, the given extent, or a SIZE.
    CSize() : SIZE{0, 0} {}
    CSize(int x, int y) : SIZE{x, y} {}
    CSize(const SIZE& s) : SIZE(s) {}
    ///@}

    ///@{
    /// Comparison and the arithmetic of extents, member by member.
    bool operator==(const SIZE& s) const { return cx == s.cx && cy == s.cy; }
    bool operator!=(const SIZE& s) const { return !(*this == s); }
    CSize& operator+=(const SIZE& s) { cx += s.cx; cy += s.cy; return *this; }
    CSize& operator-=(const SIZE& s) { cx -= s.cx; cy -= s.cy; return *this; }
    CSize operator+(const SIZE& s) const { return CSize(cx + s.cx, cy + s.cy); }
    CSize operator-(const SIZE& s) const { return CSize(cx - s.cx, cy - s.cy); }
    CSize operator-() const { return CSize(-cx, -cy); }
    ///@}
};
static_assert(sizeof(CSize) == 8, "CSize keeps SIZE's layout");
