#pragma once
// The rasteriser of the device contexts: spans, lines, ellipses and polygons
// on a clipped 32-bit surface, in device coordinates.
#include <zep3/platform/GdiConstants.h>
#include <zep3/platform/PixelSurface.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zep3::detail {

// A surface and the part of it that may be written (already inside it).
struct Target {
    CPixelSurface* surface = nullptr;
    RECT clip{0, 0, 0, 0};
    bool Inside(int x, int y) const { return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom; }
};

// A binary mix mode applied to pen P and destination D (R2_BLACK .. R2_WHITE).
inline DWORD Mix2(int rop2, DWORD p, DWORD d) {
    const unsigned t = unsigned(rop2 - 1) & 15;  // truth table: bit (P << 1 | D)
    DWORD r = 0;
    if (t & 8) r |= p & d;
    if (t & 4) r |= p & ~d;
    if (t & 2) r |= ~p & d;
    if (t & 1) r |= ~p & ~d;
    return r & 0xFFFFFF;
}

// A ternary raster operation's truth table (bit P << 2 | S << 1 | D) applied
// to pattern, source and destination.
inline DWORD Mix3(unsigned table, DWORD p, DWORD s, DWORD d) {
    DWORD r = 0;
    for (unsigned i = 0; i < 8; ++i)
        if (table & (1u << i)) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return r & 0xFFFFFF;
}

// Horizontal span [x0, x1) on row y, clipped.
void FillSpan(const Target& t, int y, int x0, int x1, DWORD pixel, int rop2);
// [left, right) x [top, bottom), clipped.
void FillBox(const Target& t, RECT r, DWORD pixel, int rop2);
inline void PutPixel(const Target& t, int x, int y, DWORD pixel, int rop2) {
    if (!t.Inside(x, y)) return;
    DWORD* p = t.surface->GetRow(y) + x;
    *p = rop2 == R2_COPYPEN ? pixel : Mix2(rop2, pixel, *p);
}

// The pixels of the line from (x0, y0) towards (x1, y1), the end excluded,
// in order from the start. Each pixel is the one nearest to the ideal line on
// the minor axis, a tie going to the smaller coordinate, so the pixels do not
// depend on the direction. Calls f(x, y, step) for each; only steps that can reach
// `window` (inclusive margins included) are visited, so a line far outside
// the surface costs nothing.
template <class F>
void StepLine(int x0, int y0, int x1, int y1, F&& f, const RECT* window = nullptr) {
    const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    if (adx == 0 && ady == 0) return;
    // minor = minor0 + round_half_down(step * dminor / dmajor), exact
    auto nearest = [](__int128 num, int64_t den) {  // round_half_down(num / den), den > 0
        const __int128 twice = 2 * num - den;         // ceil((2num - den) / 2den)
        return int64_t(twice >= 0 ? (twice + 2 * den - 1) / (2 * den) : -((-twice) / (2 * den)));
    };
    int64_t first = 0, last = adx >= ady ? adx : ady;
    if (window) {
        // Steps whose major coordinate lies inside the window, then those
        // whose ideal minor coordinate can (one pixel of margin for rounding).
        auto limit = [&](int64_t start, int64_t delta, int64_t steps, int64_t lo, int64_t hi) {
            if (delta == 0) {
                if (start < lo || start >= hi) last = first;
                return;
            }
            // i * delta / steps within [lo - start - 1, hi - start] (delta may be negative)
            using Wide = __int128;
            Wide a = Wide(lo - start - 1) * steps, b = Wide(hi - start) * steps, d = delta;
            if (d < 0) { const Wide t = a; a = -b; b = -t; d = -d; }
            const Wide from = a >= 0 ? a / d : -((-a + d - 1) / d);
            const Wide to = (b >= 0 ? (b + d - 1) / d : -((-b) / d)) + 1;
            first = std::max<int64_t>(first, int64_t(std::max<Wide>(from, 0)));
            last = std::min<int64_t>(last, int64_t(std::min<Wide>(to, last)));
        };
        const int64_t n = last;
        limit(adx >= ady ? x0 : y0, adx >= ady ? dx : dy, n, adx >= ady ? window->left : window->top,
              adx >= ady ? window->right : window->bottom);
        limit(adx >= ady ? y0 : x0, adx >= ady ? dy : dx, n, adx >= ady ? window->top : window->left,
              adx >= ady ? window->bottom : window->right);
    }
    if (adx >= ady) {
        const int sx = dx > 0 ? 1 : -1;
        for (int64_t i = first; i < last; ++i) {
            const int64_t y = y0 + nearest(__int128(i) * dy, adx);
            f(int(x0 + sx * i), int(y), i);
        }
    } else {
        const int sy = dy > 0 ? 1 : -1;
        for (int64_t i = first; i < last; ++i) {
            const int64_t x = x0 + nearest(__int128(i) * dx, ady);
            f(int(x), int(y0 + sy * i), i);
        }
    }
}

// One row span of a figure: pixels [x0, x1) of row y.
struct Span {
    int y, x0, x1;
};

// The rows of the ellipse inscribed in [left, right) x [top, bottom) that lie
// in [yFrom, yTo): entry i describes row yFrom + i as the inclusive pixel
// range [xl, xr] (xl > xr when the row is empty). The figure is symmetric in
// both axes.
void EllipseRows(int left, int top, int right, int bottom, int yFrom, int yTo, std::vector<int>& xl,
                 std::vector<int>& xr);

// The interior spans of a polygon in rows [yFrom, yTo) (pixel centres
// inside; alternate or winding rule).
void PolygonSpans(const POINT* pts, int n, int fillMode, int yFrom, int yTo, std::vector<Span>& out);

}  // namespace zep3::detail
