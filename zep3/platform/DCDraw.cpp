// CDC: pixels, lines, filled figures and the rectangle helpers.
#include <zep3/platform/GdiFunctions.h>
#include <zep3/platform/detail/DCImpl.h>

#include <algorithm>

using namespace zep3::detail;

namespace {

// Dash patterns of one-pixel pens, in pixels: on, off, on, off, ...
struct Pattern {
    int count;
    int steps[6];
    int Length() const { int n = 0; for (int i = 0; i < count; ++i) n += steps[i]; return n; }
    // Whether step `at` (taken modulo the length) is drawn.
    bool On(int at) const {
        at %= Length();
        for (int i = 0; i < count; ++i) {
            if (at < steps[i]) return (i & 1) == 0;
            at -= steps[i];
        }
        return false;
    }
};

const Pattern* PatternOf(int style) {
    static const Pattern kDash{2, {18, 6}}, kDot{2, {3, 3}}, kDashDot{4, {9, 6, 3, 6}},
        kDashDotDot{6, {9, 3, 3, 3, 3, 3}};
    switch (style) {
    case PS_DASH: return &kDash;
    case PS_DOT: return &kDot;
    case PS_DASHDOT: return &kDashDot;
    case PS_DASHDOTDOT: return &kDashDotDot;
    default: return nullptr;
    }
}

// The disk a wide pen stamps: row offsets from -(w-1)/2 with their x ranges.
struct Disk {
    int first = 0;
    std::vector<int> xl, xr;
    explicit Disk(int width) {
        first = -(width - 1) / 2;
        EllipseRows(first, first, first + width, first + width, first, first + width, xl, xr);
    }
};

}  // namespace

void CDC::Impl::PenLine(const Target& t, POINT a, POINT b) {
    if (!t.surface || !PenVisible()) return;
    const DWORD pen = PenPixelValue();
    const int rop = state.rop2;
    const int width = PenWidth();
    const int64_t steps = std::max(std::abs(int64_t(b.x) - a.x), std::abs(int64_t(b.y) - a.y));
    if (width > 1) {
        // Wide pens have round ends: the union of the pen's disk at every
        // pixel of the path, end included, is convex, so it is one span per
        // row. Only the rows of the clipping box are collected.
        const Disk disk(width);
        const RECT reach{t.clip.left - width, t.clip.top - width, t.clip.right + width, t.clip.bottom + width};
        const int rows = t.clip.bottom - t.clip.top;
        std::vector<int> lo(size_t(rows), INT32_MAX), hi(size_t(rows), INT32_MIN);
        auto stamp = [&](int x, int y, int64_t) {
            for (size_t r = 0; r < disk.xl.size(); ++r) {
                const int row = y + disk.first + int(r) - t.clip.top;
                if (disk.xl[r] > disk.xr[r] || row < 0 || row >= rows) continue;
                lo[size_t(row)] = std::min(lo[size_t(row)], x + disk.xl[r]);
                hi[size_t(row)] = std::max(hi[size_t(row)], x + disk.xr[r]);
            }
        };
        StepLine(a.x, a.y, b.x, b.y, stamp, &reach);
        stamp(b.x, b.y, 0);
        for (int r = 0; r < rows; ++r)
            if (lo[size_t(r)] <= hi[size_t(r)]) FillSpan(t, t.clip.top + r, lo[size_t(r)], hi[size_t(r)] + 1, pen, rop);
        return;
    }
    const Pattern* pattern = PatternOf(state.pen->style);
    if (!pattern) {
        if (a.y == b.y && a.x != b.x) {  // a run: one span
            FillSpan(t, a.y, a.x < b.x ? a.x : b.x + 1, a.x < b.x ? b.x : a.x + 1, pen, rop);
            return;
        }
        StepLine(a.x, a.y, b.x, b.y, [&](int x, int y, int64_t) { PutPixel(t, x, y, pen, rop); }, &t.clip);
        return;
    }
    // Gaps take the background colour in OPAQUE mode and stay untouched in TRANSPARENT mode.
    const bool opaque = state.bkMode == OPAQUE;
    const DWORD gap = CPixelSurface::ToPixel(state.bkColor);
    const int base = styleStep;
    StepLine(a.x, a.y, b.x, b.y, [&](int x, int y, int64_t i) {
        if (pattern->On(int((base + i) % pattern->Length()))) PutPixel(t, x, y, pen, rop);
        else if (opaque) PutPixel(t, x, y, gap, rop);
    }, &t.clip);
    styleStep = int((base + steps) % pattern->Length());
}

// ---------------------------------------------------------------- pixels and lines

COLORREF CDC::SetPixel(int x, int y, COLORREF crColor) {
    const Target t = m_impl->GetTarget();
    const int dx = m_impl->DX(x), dy = m_impl->DY(y);
    if (!t.Inside(dx, dy)) return CLR_INVALID;
    t.surface->GetRow(dy)[dx] = CPixelSurface::ToPixel(crColor);
    return crColor & 0xFFFFFF;
}

BOOL CDC::SetPixelV(int x, int y, COLORREF crColor) { return SetPixel(x, y, crColor) != CLR_INVALID; }

COLORREF CDC::GetPixel(int x, int y) const {
    const Target t = m_impl->GetTarget();
    const int dx = m_impl->DX(x), dy = m_impl->DY(y);
    return t.Inside(dx, dy) ? CPixelSurface::ToColor(t.surface->GetRow(dy)[dx]) : CLR_INVALID;
}

CPoint CDC::MoveTo(int x, int y) {
    m_impl->styleStep = 0;
    const POINT previous = m_impl->state.pos;
    m_impl->state.pos = POINT{x, y};
    return previous;
}

CPoint CDC::GetCurrentPosition() const { return m_impl->state.pos; }

BOOL CDC::LineTo(int x, int y) {
    if (!m_impl->created) return FALSE;
    const Target t = m_impl->GetTarget();
    m_impl->PenLine(t, m_impl->ToDevice(m_impl->state.pos), m_impl->ToDevice(POINT{x, y}));
    m_impl->state.pos = POINT{x, y};
    return TRUE;
}

BOOL CDC::Polyline(const POINT* lpPoints, int nCount) {
    if (!m_impl->created || !lpPoints || nCount < 2) return FALSE;
    const Target t = m_impl->GetTarget();
    m_impl->styleStep = 0;
    for (int i = 1; i < nCount; ++i)
        m_impl->PenLine(t, m_impl->ToDevice(lpPoints[i - 1]), m_impl->ToDevice(lpPoints[i]));
    return TRUE;
}

// ---------------------------------------------------------------- figures

namespace {

CRect Normalized(int x1, int y1, int x2, int y2) {
    CRect r(x1, y1, x2, y2);
    r.NormalizeRect();
    return r;
}

// The band a wide pen draws around a rectangle: `outer` less `inner`.
void FillFrame(const Target& t, const CRect& outer, const CRect& inner, DWORD pixel, int rop) {
    for (int y = std::max<int>(outer.top, t.clip.top); y < std::min<int>(outer.bottom, t.clip.bottom); ++y) {
        if (inner.IsRectEmpty() || y < inner.top || y >= inner.bottom) {
            FillSpan(t, y, outer.left, outer.right, pixel, rop);
        } else {
            FillSpan(t, y, outer.left, inner.left, pixel, rop);
            FillSpan(t, y, inner.right, outer.right, pixel, rop);
        }
    }
}

// The outer and inner edges of a pen of width w drawn along the rectangle
// [l, r) x [t, b): centred on the one-pixel outline, or inside the bounds
// for PS_INSIDEFRAME.
void PenBounds(const CRect& r, int width, bool insideFrame, CRect& outer, CRect& inner) {
    const int a = insideFrame ? 0 : (width - 1) / 2;
    const int extra = insideFrame ? 0 : width - 1 - a;
    outer = CRect(r.left - a, r.top - a, r.right + extra, r.bottom + extra);
    inner = CRect(outer.left + width, outer.top + width, outer.right - width, outer.bottom - width);
}

}  // namespace

BOOL CDC::Rectangle(int x1, int y1, int x2, int y2) {
    if (!m_impl->created) return FALSE;
    const Target t = m_impl->GetTarget();
    if (!t.surface) return TRUE;
    const CRect r = Normalized(m_impl->DX(x1), m_impl->DY(y1), m_impl->DX(x2), m_impl->DY(y2));
    const int rop = m_impl->state.rop2;
    if (!m_impl->PenVisible()) {
        if (m_impl->BrushVisible())
            FillBox(t, CRect(r.left, r.top, r.right - 1, r.bottom - 1), m_impl->BrushPixelValue(), rop);
        return TRUE;
    }
    CRect outer, inner;
    PenBounds(r, m_impl->PenWidth(), m_impl->state.pen->style == PS_INSIDEFRAME, outer, inner);
    if (m_impl->BrushVisible() && !inner.IsRectEmpty()) FillBox(t, inner, m_impl->BrushPixelValue(), rop);
    if (m_impl->PenWidth() == 1 && PatternOf(m_impl->state.pen->style) && r.Width() > 1 && r.Height() > 1) {
        // Styled outline: one closed path, the pattern running round it.
        const POINT c[5] = {{r.left, r.top}, {r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1},
                            {r.left, r.top}};
        m_impl->styleStep = 0;
        for (int i = 0; i < 4; ++i) m_impl->PenLine(t, c[i], c[i + 1]);
        return TRUE;
    }
    FillFrame(t, outer, inner, m_impl->PenPixelValue(), rop);
    return TRUE;
}

BOOL CDC::Ellipse(int x1, int y1, int x2, int y2) {
    if (!m_impl->created) return FALSE;
    const Target t = m_impl->GetTarget();
    if (!t.surface) return TRUE;
    const CRect r = Normalized(m_impl->DX(x1), m_impl->DY(y1), m_impl->DX(x2), m_impl->DY(y2));
    const int rop = m_impl->state.rop2;
    const DWORD brush = m_impl->BrushPixelValue(), pen = m_impl->PenPixelValue();
    const bool fill = m_impl->BrushVisible();
    std::vector<int> xl, xr;
    if (!m_impl->PenVisible()) {
        if (!fill) return TRUE;
        EllipseRows(r.left, r.top, r.right - 1, r.bottom - 1, t.clip.top, t.clip.bottom, xl, xr);
        for (size_t i = 0; i < xl.size(); ++i) FillSpan(t, t.clip.top + int(i), xl[i], xr[i] + 1, brush, rop);
        return TRUE;
    }
    const int width = m_impl->PenWidth();
    if (width == 1) {
        // The outline is every pixel of the figure with a neighbour above or
        // below outside it, plus each row's two ends.
        const int from = t.clip.top - 1;
        EllipseRows(r.left, r.top, r.right, r.bottom, from, t.clip.bottom + 1, xl, xr);
        const int n = int(xl.size());
        for (int i = 1; i + 1 < n; ++i) {
            const int y = from + i;
            if (xl[i] > xr[i]) continue;
            int il = xl[i] + 1, ir = xr[i] - 1;  // interior candidates
            for (int j : {i - 1, i + 1}) {
                if (xl[j] > xr[j]) { il = 1; ir = 0; break; }
                il = std::max(il, xl[j]);
                ir = std::min(ir, xr[j]);
            }
            if (il > ir) {
                FillSpan(t, y, xl[i], xr[i] + 1, pen, rop);
                continue;
            }
            FillSpan(t, y, xl[i], il, pen, rop);
            if (fill) FillSpan(t, y, il, ir + 1, brush, rop);
            FillSpan(t, y, ir + 1, xr[i] + 1, pen, rop);
        }
        return TRUE;
    }
    CRect outer, inner;
    PenBounds(r, width, m_impl->state.pen->style == PS_INSIDEFRAME, outer, inner);
    std::vector<int> il, ir;
    EllipseRows(outer.left, outer.top, outer.right, outer.bottom, t.clip.top, t.clip.bottom, xl, xr);
    EllipseRows(inner.left, inner.top, inner.right, inner.bottom, t.clip.top, t.clip.bottom, il, ir);
    for (size_t i = 0; i < xl.size(); ++i) {
        const int y = t.clip.top + int(i);
        if (il[i] > ir[i]) {
            FillSpan(t, y, xl[i], xr[i] + 1, pen, rop);
            continue;
        }
        FillSpan(t, y, xl[i], il[i], pen, rop);
        if (fill) FillSpan(t, y, il[i], ir[i] + 1, brush, rop);
        FillSpan(t, y, ir[i] + 1, xr[i] + 1, pen, rop);
    }
    return TRUE;
}

BOOL CDC::Polygon(const POINT* lpPoints, int nCount) {
    if (!m_impl->created || !lpPoints || nCount < 2) return FALSE;
    const Target t = m_impl->GetTarget();
    if (!t.surface) return TRUE;
    std::vector<POINT> pts(lpPoints, lpPoints + nCount);
    for (POINT& p : pts) p = m_impl->ToDevice(p);
    if (m_impl->BrushVisible()) {
        std::vector<Span> spans;
        PolygonSpans(pts.data(), nCount, m_impl->state.polyFillMode, t.clip.top, t.clip.bottom, spans);
        const DWORD brush = m_impl->BrushPixelValue();
        for (const Span& s : spans) FillSpan(t, s.y, s.x0, s.x1, brush, m_impl->state.rop2);
    }
    m_impl->styleStep = 0;
    for (int i = 0; i < nCount; ++i) m_impl->PenLine(t, pts[size_t(i)], pts[size_t((i + 1) % nCount)]);
    return TRUE;
}

// ---------------------------------------------------------------- rectangle helpers

namespace {
CRect DeviceRect(const CDC::Impl* impl, const RECT& r) {
    return CRect(impl->DX(r.left), impl->DY(r.top), impl->DX(r.right), impl->DY(r.bottom));
}

// Solid colour of a brush, false for a null brush or a bad object.
bool BrushColor(CBrush* brush, DWORD& pixel) {
    auto* d = brush ? LookupAs<BrushData>(brush->m_hObject, Kind::Brush) : nullptr;
    if (!d || d->style == BS_NULL) return false;
    pixel = CPixelSurface::ToPixel(d->color);
    return true;
}
}  // namespace

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) {
    DWORD pixel;
    const Target t = m_impl->GetTarget();
    if (!lpRect || !t.surface || !BrushColor(pBrush, pixel)) return;
    FillBox(t, DeviceRect(m_impl.get(), *lpRect), pixel, R2_COPYPEN);
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
    const Target t = m_impl->GetTarget();
    if (!lpRect || !t.surface) return;
    FillBox(t, DeviceRect(m_impl.get(), *lpRect), CPixelSurface::ToPixel(clr), R2_COPYPEN);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    const RECT r{x, y, x + cx, y + cy};
    FillSolidRect(&r, clr);
}

void CDC::FrameRect(LPCRECT lpRect, CBrush* pBrush) {
    DWORD pixel;
    const Target t = m_impl->GetTarget();
    if (!lpRect || !t.surface || !BrushColor(pBrush, pixel)) return;
    const CRect r = DeviceRect(m_impl.get(), *lpRect);
    if (r.IsRectEmpty()) return;
    FillFrame(t, r, CRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1), pixel, R2_COPYPEN);
}

void CDC::InvertRect(LPCRECT lpRect) {
    const Target t = m_impl->GetTarget();
    if (lpRect && t.surface) FillBox(t, DeviceRect(m_impl.get(), *lpRect), 0, R2_NOT);
}

void CDC::Draw3dRect(LPCRECT lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    if (lpRect)
        Draw3dRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, clrTopLeft,
                   clrBottomRight);
}

// Top and left sides in the first colour, leaving the top-right and
// bottom-left corner pixels to the right and bottom sides.
void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    if (cx <= 0 || cy <= 0) return;
    FillSolidRect(x, y, cx - 1, 1, clrTopLeft);
    FillSolidRect(x, y, 1, cy - 1, clrTopLeft);
    FillSolidRect(x + cx - 1, y, 1, cy, clrBottomRight);
    FillSolidRect(x, y + cy - 1, cx, 1, clrBottomRight);
}

BOOL CDC::DrawEdge(LPRECT lpRect, UINT nEdge, UINT nFlags) {
    if (!lpRect || !m_impl->created) return FALSE;
    CRect r(*lpRect);
    // Outer and inner borders: (top-left colour, bottom-right colour) per kind.
    struct Border { UINT flag; int topLeft, bottomRight; };
    const Border outer[2] = {{BDR_RAISEDOUTER, COLOR_3DLIGHT, COLOR_3DDKSHADOW},
                             {BDR_SUNKENOUTER, COLOR_3DSHADOW, COLOR_3DHIGHLIGHT}};
    const Border inner[2] = {{BDR_RAISEDINNER, COLOR_3DHIGHLIGHT, COLOR_3DSHADOW},
                             {BDR_SUNKENINNER, COLOR_3DDKSHADOW, COLOR_3DLIGHT}};
    for (const Border* ring : {outer, inner}) {
        const Border* b = (nEdge & ring[0].flag) ? &ring[0] : (nEdge & ring[1].flag) ? &ring[1] : nullptr;
        if (!b || r.IsRectEmpty()) continue;
        const COLORREF tl = GetSysColor(b->topLeft), br = GetSysColor(b->bottomRight);
        if (nFlags & BF_TOP) FillSolidRect(r.left, r.top, r.Width() - 1, 1, tl);
        if (nFlags & BF_LEFT) FillSolidRect(r.left, r.top, 1, r.Height() - 1, tl);
        if (nFlags & BF_RIGHT) FillSolidRect(r.right - 1, r.top, 1, r.Height(), br);
        if (nFlags & BF_BOTTOM) FillSolidRect(r.left, r.bottom - 1, r.Width(), 1, br);
        r.DeflateRect((nFlags & BF_LEFT) ? 1 : 0, (nFlags & BF_TOP) ? 1 : 0, (nFlags & BF_RIGHT) ? 1 : 0,
                      (nFlags & BF_BOTTOM) ? 1 : 0);
    }
    if (nFlags & BF_MIDDLE) FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
    if (nFlags & BF_ADJUST) *lpRect = r;
    return TRUE;
}

void CDC::DrawFocusRect(LPCRECT lpRect) {
    const Target t = m_impl->GetTarget();
    if (!lpRect || !t.surface) return;
    const CRect r = DeviceRect(m_impl.get(), *lpRect);
    if (r.IsRectEmpty()) return;
    // Every other pixel of the one-pixel frame, inverted.
    auto dot = [&](int x, int y) { if (((x + y) & 1) == 0) PutPixel(t, x, y, 0, R2_NOT); };
    for (int x = r.left; x < r.right; ++x) {
        dot(x, r.top);
        if (r.bottom - 1 > r.top) dot(x, r.bottom - 1);
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        dot(r.left, y);
        if (r.right - 1 > r.left) dot(r.right - 1, y);
    }
}
