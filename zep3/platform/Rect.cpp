#include <zep3/platform/Rect.h>

#include <algorithm>
#include <utility>

void CRect::NormalizeRect() {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
}

bool CRect::IntersectRect(const RECT& a, const RECT& b) {
    CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom));
    if (r.IsRectEmpty()) {
        SetRectEmpty();
        return false;
    }
    *this = r;
    return true;
}

bool CRect::UnionRect(const RECT& a, const RECT& b) {
    bool emptyA = CRect(a).IsRectEmpty(), emptyB = CRect(b).IsRectEmpty();
    if (emptyA && emptyB) {
        SetRectEmpty();
        return false;
    }
    if (emptyA) {
        *this = b;
    } else if (emptyB) {
        *this = a;
    } else {
        *this = CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                      std::max(a.bottom, b.bottom));
    }
    return true;
}
