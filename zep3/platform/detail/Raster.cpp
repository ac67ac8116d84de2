#include <zep3/platform/detail/Raster.h>

#include <algorithm>
#include <cmath>

namespace zep3::detail {

void FillSpan(const Target& t, int y, int x0, int x1, DWORD pixel, int rop2) {
    if (y < t.clip.top || y >= t.clip.bottom) return;
    x0 = std::max<int>(x0, t.clip.left);
    x1 = std::min<int>(x1, t.clip.right);
    if (x0 >= x1 || rop2 == R2_NOP) return;
    DWORD* row = t.surface->GetRow(y);
    if (rop2 == R2_COPYPEN) {
        std::fill(row + x0, row + x1, pixel);
        return;
    }
    for (int x = x0; x < x1; ++x) row[x] = Mix2(rop2, pixel, row[x]);
}

void FillBox(const Target& t, RECT r, DWORD pixel, int rop2) {
    const int top = std::max<int>(r.top, t.clip.top), bottom = std::min<int>(r.bottom, t.clip.bottom);
    for (int y = top; y < bottom; ++y) FillSpan(t, y, r.left, r.right, pixel, rop2);
}

// A pixel (x, y) belongs to the ellipse when its centre lies inside the
// ellipse inscribed in the bounds: with X = 2x + 1 - (left + right),
// Y = 2y + 1 - (top + bottom), W and H the sizes, X^2 H^2 + Y^2 W^2 <= W^2 H^2.
void EllipseRows(int left, int top, int right, int bottom, int yFrom, int yTo, std::vector<int>& xl,
                 std::vector<int>& xr) {
    const int64_t w = int64_t(right) - left, h = int64_t(bottom) - top;
    xl.assign(size_t(std::max(yTo - yFrom, 0)), 0);
    xr.assign(xl.size(), -1);
    if (w <= 0 || h <= 0) return;
    using Wide = __int128;
    const Wide w2 = Wide(w) * w, h2 = Wide(h) * h;
    const int64_t sumX = int64_t(left) + right;
    for (int64_t y = std::max(top, yFrom); y < std::min(bottom, yTo); ++y) {
        const int64_t Y = 2 * y + 1 - (int64_t(top) + bottom);
        const Wide rhs = w2 * h2 - Wide(Y) * Y * w2;  // X^2 h^2 <= rhs
        if (rhs < 0) continue;
        // Largest X >= 0 with X^2 h^2 <= rhs and the parity of a pixel centre.
        int64_t X = int64_t(std::sqrt(double(rhs) / double(h2)));
        while (X > 0 && Wide(X) * X * h2 > rhs) --X;
        while (Wide(X + 1) * (X + 1) * h2 <= rhs) ++X;
        if ((X & 1) == (w & 1)) --X;  // X = 2x + 1 - (left + right) has the other parity of w
        if (X < 0) continue;
        const int64_t right_ = (X - 1 + sumX) / 2;  // X = 2x + 1 - sumX, exact by parity
        xr[size_t(y - yFrom)] = int(right_);
        xl[size_t(y - yFrom)] = int(sumX - 1 - right_);
    }
}

namespace {

struct Edge {
    int64_t x0, y0, x1, y1;  // y0 < y1
    int dir;
};

// ceil(num / den) for den > 0.
int64_t CeilDiv(int64_t num, int64_t den) { return num >= 0 ? (num + den - 1) / den : -((-num) / den); }

}  // namespace

void PolygonSpans(const POINT* pts, int n, int fillMode, int yFrom, int yTo, std::vector<Span>& out) {
    out.clear();
    if (!pts || n < 3) return;
    std::vector<Edge> edges;
    int64_t minY = INT64_MAX, maxY = INT64_MIN;
    for (int i = 0; i < n; ++i) {
        const POINT& a = pts[i];
        const POINT& b = pts[(i + 1) % n];
        if (a.y == b.y) continue;
        Edge e = a.y < b.y ? Edge{a.x, a.y, b.x, b.y, 1} : Edge{b.x, b.y, a.x, a.y, -1};
        edges.push_back(e);
        minY = std::min(minY, e.y0);
        maxY = std::max(maxY, e.y1);
    }
    if (edges.empty()) return;
    // A crossing at x_c (a rational) starts the pixels from ceil(x_c): the
    // pixel centre at x_c itself is inside on a left edge and outside on a
    // right one. Each crossing is kept as its ceiling.
    std::vector<std::pair<int64_t, int>> xs;
    for (int64_t y = std::max<int64_t>(minY, yFrom); y < std::min<int64_t>(maxY, yTo); ++y) {
        xs.clear();
        for (const Edge& e : edges) {
            if (y < e.y0 || y >= e.y1) continue;  // top inclusive, bottom exclusive
            const int64_t num = e.x0 * (e.y1 - e.y0) + (y - e.y0) * (e.x1 - e.x0);
            xs.emplace_back(CeilDiv(num, e.y1 - e.y0), e.dir);
        }
        std::sort(xs.begin(), xs.end());
        int winding = 0;
        for (size_t i = 0; i + 1 < xs.size(); ++i) {
            winding += xs[i].second;
            const bool inside = fillMode == WINDING ? winding != 0 : (i % 2) == 0;
            if (inside && xs[i].first < xs[i + 1].first)
                out.push_back(Span{int(y), int(xs[i].first), int(xs[i + 1].first)});
        }
    }
}

}  // namespace zep3::detail
