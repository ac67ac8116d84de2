// CDC: block transfers, stretching, device-independent bitmaps and DIB sections.
#include <zep3/platform/GdiFunctions.h>
#include <zep3/platform/detail/DCImpl.h>

#include <algorithm>
#include <cstring>
#include <immintrin.h>

using namespace zep3::detail;

namespace {

// 24-bit pixels (blue, green, red) to 0x00RRGGBB.
void Expand24Plain(const BYTE* in, DWORD* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = DWORD(in[3 * i]) | DWORD(in[3 * i + 1]) << 8 | DWORD(in[3 * i + 2]) << 16;
}

// The same with one byte shuffle per four pixels. A load takes 16 bytes for
// the 12 it uses, so the vector loop stops while at least 16 bytes are left.
__attribute__((target("ssse3"))) void Expand24Ssse3(const BYTE* in, DWORD* out, int n) {
    const __m128i order = _mm_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
    int i = 0;
    for (; i + 6 <= n; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_shuffle_epi8(v, order));
    }
    Expand24Plain(in + 3 * i, out + i, n - i);
}

void Expand24(const BYTE* in, DWORD* out, int n) {
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) Expand24Ssse3(in, out, n);
    else Expand24Plain(in, out, n);
}

// Reads the rows of a device-independent bitmap as 32-bit pixels.
class DibReader {
public:
    // False for formats this layer does not read.
    bool Init(const BITMAPINFOHEADER& h, const RGBQUAD* colors, int colorCount, const DWORD* masks, const void* bits) {
        if (!bits || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1) return false;
        m_bits = static_cast<const BYTE*>(bits);
        m_width = h.biWidth;
        m_height = h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight;
        m_topDown = h.biHeight < 0;
        m_bitCount = h.biBitCount;
        m_stride = ((int64_t(m_width) * m_bitCount + 31) / 32) * 4;
        switch (m_bitCount) {
        case 1:
        case 4:
        case 8:
            if (h.biCompression != BI_RGB) return false;
            m_palette.assign(size_t(1) << m_bitCount, 0);
            for (int i = 0; i < std::min<int>(colorCount, int(m_palette.size())); ++i)
                m_palette[size_t(i)] = DWORD(colors[i].rgbRed) << 16 | DWORD(colors[i].rgbGreen) << 8 | colors[i].rgbBlue;
            return true;
        case 16:
        case 32:
            if (h.biCompression == BI_BITFIELDS && masks) {
                for (int i = 0; i < 3; ++i) SetMask(i, masks[i]);
            } else if (h.biCompression == BI_RGB) {
                const DWORD defaults[2][3] = {{0x7C00, 0x03E0, 0x001F}, {0xFF0000, 0x00FF00, 0x0000FF}};
                for (int i = 0; i < 3; ++i) SetMask(i, defaults[m_bitCount == 32][i]);
            } else {
                return false;
            }
            return true;
        case 24: return h.biCompression == BI_RGB;
        default: return false;
        }
    }

    int Width() const { return m_width; }
    int Height() const { return int(m_height); }

    // Pixels [x0, x0 + n) of image row y (0 = top), inside the bitmap.
    void ReadRow(int y, int x0, int n, DWORD* out) const {
        const BYTE* row = m_bits + (m_topDown ? y : m_height - 1 - y) * m_stride;
        switch (m_bitCount) {
        case 1:
            for (int i = 0; i < n; ++i) { const int x = x0 + i; out[i] = m_palette[row[x >> 3] >> (7 - (x & 7)) & 1]; }
            break;
        case 4:
            for (int i = 0; i < n; ++i) { const int x = x0 + i; out[i] = m_palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; }
            break;
        case 8:
            for (int i = 0; i < n; ++i) out[i] = m_palette[row[x0 + i]];
            break;
        case 16:
            for (int i = 0; i < n; ++i) { const BYTE* p = row + 2 * (x0 + i); out[i] = FromMasks(DWORD(p[0] | p[1] << 8)); }
            break;
        case 24:
            Expand24(row + 3 * x0, out, n);
            break;
        case 32:
            for (int i = 0; i < n; ++i) {
                const BYTE* p = row + 4 * (x0 + i);
                out[i] = FromMasks(DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24);
            }
            break;
        }
    }

private:
    // Each channel mask's shift and width; a channel narrower than 8 bits is
    // widened by repeating its top bits (5 bits v give v << 3 | v >> 2).
    void SetMask(int channel, DWORD mask) {
        int shift = 0, width = 0;
        if (mask) {
            while (!(mask >> shift & 1)) ++shift;
            while (shift + width < 32 && (mask >> (shift + width) & 1)) ++width;
        }
        m_shift[channel] = shift;
        m_widthBits[channel] = width;
        m_mask[channel] = mask;
    }
    DWORD Channel(int c, DWORD v) const {
        const int w = m_widthBits[c];
        if (w == 0) return 0;
        const DWORD x = (v & m_mask[c]) >> m_shift[c];
        if (w >= 8) return (x >> (w - 8)) & 0xFF;
        DWORD out = x << (8 - w);
        for (int filled = w; filled < 8; filled += w) out |= out >> w;
        return out & 0xFF;
    }
    DWORD FromMasks(DWORD v) const { return Channel(0, v) << 16 | Channel(1, v) << 8 | Channel(2, v); }

    const BYTE* m_bits = nullptr;
    int m_width = 0;
    int64_t m_height = 0;
    int64_t m_stride = 0;
    bool m_topDown = false;
    int m_bitCount = 0;
    std::vector<DWORD> m_palette;
    DWORD m_mask[3] = {0, 0, 0};
    int m_shift[3] = {0, 0, 0};
    int m_widthBits[3] = {0, 0, 0};
};

// A source of pixels: a 32-bit surface or a DIB.
struct Source {
    const CPixelSurface* surface = nullptr;
    const DibReader* dib = nullptr;
    int Width() const { return surface ? surface->GetWidth() : dib->Width(); }
    int Height() const { return surface ? surface->GetHeight() : dib->Height(); }
    // Row y from column x0, n pixels; may point into the surface itself.
    const DWORD* Row(int y, int x0, int n, std::vector<DWORD>& buffer) const {
        if (surface) return surface->GetRow(y) + x0;
        buffer.resize(size_t(n));
        dib->ReadRow(y, x0, n, buffer.data());
        return buffer.data();
    }
    // Copies row y from column x0, n pixels, to out, converting a DIB's
    // pixels in place (one pass instead of two through a buffer).
    void CopyRow(int y, int x0, int n, DWORD* out) const {
        if (surface) std::memmove(out, surface->GetRow(y) + x0, size_t(n) * 4);
        else dib->ReadRow(y, x0, n, out);
    }
};

bool UsesSource(DWORD rop) {
    const unsigned t = (rop >> 16) & 0xFF;
    return ((t >> 2) & 0x33) != (t & 0x33);
}

// Maps destination pixel i of n onto the source range [s0, s0 + sn):
// the source pixel under the destination pixel's centre.
int Nearest(int i, int n, int s0, int sn) { return s0 + int((int64_t(2 * i + 1) * sn) / (2 * int64_t(n))); }

struct Geometry {
    int dx, dy, dw, dh;  // destination, positive sizes
    int sx, sy, sw, sh;  // source (image rows from the top), positive sizes
    bool mirrorX = false, mirrorY = false;
};

bool Normalise(Geometry& g) {
    if (g.dw < 0) { g.dx += g.dw + 1; g.dw = -g.dw; g.mirrorX = !g.mirrorX; }
    if (g.dh < 0) { g.dy += g.dh + 1; g.dh = -g.dh; g.mirrorY = !g.mirrorY; }
    if (g.sw < 0) { g.sx += g.sw + 1; g.sw = -g.sw; g.mirrorX = !g.mirrorX; }
    if (g.sh < 0) { g.sy += g.sh + 1; g.sh = -g.sh; g.mirrorY = !g.mirrorY; }
    return g.dw > 0 && g.dh > 0 && g.sw > 0 && g.sh > 0;
}

// The source index of destination columns (or rows) [from, to) of n, -1
// outside the source; entry 0 is `from`.
std::vector<int> MapAxis(int n, int s0, int sn, bool mirror, int limit, int from, int to) {
    std::vector<int> map(static_cast<size_t>(std::max(to - from, 0)));
    for (int i = from; i < to; ++i) {
        const int s = Nearest(mirror ? n - 1 - i : i, n, s0, sn);
        map[size_t(i - from)] = (s >= 0 && s < limit) ? s : -1;
    }
    return map;
}

void Write(DWORD* d, DWORD s, unsigned table, DWORD pattern, bool copy) { *d = copy ? (s & 0xFFFFFF) : Mix3(table, pattern, s, *d); }

// Nearest-pixel transfer: colour-on-colour stretching and plain block copies.
void TransferNearest(const Target& t, const Geometry& g, const Source& src, DWORD rop, DWORD pattern) {
    const unsigned table = (rop >> 16) & 0xFF;
    const bool copy = rop == SRCCOPY;
    const int x0 = std::max<int>(g.dx, t.clip.left), x1 = int(std::min<int64_t>(int64_t(g.dx) + g.dw, t.clip.right));
    const int y0 = std::max<int>(g.dy, t.clip.top), y1 = int(std::min<int64_t>(int64_t(g.dy) + g.dh, t.clip.bottom));
    if (x0 >= x1 || y0 >= y1) return;
    // Indexed from the first visible destination column and row.
    const std::vector<int> cols = MapAxis(g.dw, g.sx, g.sw, g.mirrorX, src.Width(), x0 - g.dx, x1 - g.dx);
    const std::vector<int> rows = MapAxis(g.dh, g.sy, g.sh, g.mirrorY, src.Height(), y0 - g.dy, y1 - g.dy);
    // The source columns this transfer reads, to convert each DIB row once.
    int lo = INT32_MAX, hi = -1;
    for (int x = x0; x < x1; ++x)
        if (int s = cols[size_t(x - x0)]; s >= 0) { lo = std::min(lo, s); hi = std::max(hi, s); }
    if (hi < lo) return;
    std::vector<DWORD> buffer;
    const bool direct = copy && !g.mirrorX && g.sw == g.dw && cols.front() >= 0 && cols.back() >= 0;
    for (int y = y0; y < y1; ++y) {
        const int sy = rows[size_t(y - y0)];
        if (sy < 0) continue;
        DWORD* out = t.surface->GetRow(y);
        if (direct) {
            src.CopyRow(sy, cols.front(), x1 - x0, out + x0);
            continue;
        }
        const DWORD* line = src.Row(sy, lo, hi - lo + 1, buffer) - lo;
        for (int x = x0; x < x1; ++x)
            if (int s = cols[size_t(x - x0)]; s >= 0) Write(out + x, line[s], table, pattern, copy);
    }
}

// Halftone shrinking: each destination pixel is the mean of the source
// pixels under it. Used where the source is larger than the destination.
void TransferAverage(const Target& t, const Geometry& g, const Source& src, DWORD rop, DWORD pattern) {
    const unsigned table = (rop >> 16) & 0xFF;
    const bool copy = rop == SRCCOPY;
    auto range = [](int i, int n, int s0, int sn, bool mirror, int& a, int& b) {
        const int k = mirror ? n - 1 - i : i;
        a = s0 + int(int64_t(k) * sn / n);
        b = std::max(a + 1, s0 + int(int64_t(k + 1) * sn / n));
    };
    const int x0 = std::max<int>(g.dx, t.clip.left), x1 = int(std::min<int64_t>(int64_t(g.dx) + g.dw, t.clip.right));
    const int y0 = std::max<int>(g.dy, t.clip.top), y1 = int(std::min<int64_t>(int64_t(g.dy) + g.dh, t.clip.bottom));
    std::vector<DWORD> buffer;
    std::vector<uint32_t> sum(size_t(std::max(0, x1 - x0)) * 4);
    for (int y = y0; y < y1; ++y) {
        int ya, yb;
        range(y - g.dy, g.dh, g.sy, g.sh, g.mirrorY, ya, yb);
        ya = std::max(ya, 0);
        yb = std::min(yb, src.Height());
        if (ya >= yb) continue;
        std::fill(sum.begin(), sum.end(), 0);
        for (int x = x0; x < x1; ++x) {
            int xa, xb;
            range(x - g.dx, g.dw, g.sx, g.sw, g.mirrorX, xa, xb);
            xa = std::max(xa, 0);
            xb = std::min(xb, src.Width());
            uint32_t* s = &sum[size_t(x - x0) * 4];
            for (int sy = ya; sy < yb && xa < xb; ++sy) {
                const DWORD* line = src.Row(sy, xa, xb - xa, buffer);
                for (int i = 0; i < xb - xa; ++i) {
                    s[0] += line[i] & 0xFF;
                    s[1] += line[i] >> 8 & 0xFF;
                    s[2] += line[i] >> 16 & 0xFF;
                    ++s[3];
                }
            }
        }
        DWORD* out = t.surface->GetRow(y);
        for (int x = x0; x < x1; ++x) {
            const uint32_t* s = &sum[size_t(x - x0) * 4];
            if (!s[3]) continue;
            const DWORD p = (s[0] + s[3] / 2) / s[3] | ((s[1] + s[3] / 2) / s[3]) << 8 | ((s[2] + s[3] / 2) / s[3]) << 16;
            Write(out + x, p, table, pattern, copy);
        }
    }
}

// A same-size copy within one surface: rows move in an order that never
// overwrites a row before it is read.
void MoveWithin(const Target& t, const Geometry& g) {
    const int x0 = std::max<int>(g.dx, t.clip.left), x1 = int(std::min<int64_t>(int64_t(g.dx) + g.dw, t.clip.right));
    const int y0 = std::max<int>(g.dy, t.clip.top), y1 = int(std::min<int64_t>(int64_t(g.dy) + g.dh, t.clip.bottom));
    const int ox = g.sx - g.dx, oy = g.sy - g.dy;
    const int sx0 = std::max(x0 + ox, 0), sx1 = std::min(x1 + ox, t.surface->GetWidth());
    if (sx0 >= sx1) return;
    auto row = [&](int y) {
        const int sy = y + oy;
        if (sy >= 0 && sy < t.surface->GetHeight())
            std::memmove(t.surface->GetRow(y) + sx0 - ox, t.surface->GetRow(sy) + sx0, size_t(sx1 - sx0) * 4);
    };
    if (oy >= 0) for (int y = y0; y < y1; ++y) row(y);
    else for (int y = y1 - 1; y >= y0; --y) row(y);
}

void Transfer(const Target& t, Geometry g, const Source* src, DWORD rop, DWORD pattern, int stretchMode) {
    if (!Normalise(g)) return;
    if (!src) {  // pattern and destination only
        const unsigned table = (rop >> 16) & 0xFF;
        const int x0 = std::max<int>(g.dx, t.clip.left), x1 = int(std::min<int64_t>(int64_t(g.dx) + g.dw, t.clip.right));
        for (int y = std::max<int>(g.dy, t.clip.top); y < int(std::min<int64_t>(int64_t(g.dy) + g.dh, t.clip.bottom)); ++y) {
            DWORD* out = t.surface->GetRow(y);
            for (int x = x0; x < x1; ++x) out[x] = Mix3(table, pattern, 0, out[x]);
        }
        return;
    }
    if (stretchMode == HALFTONE && (g.sw > g.dw || g.sh > g.dh)) TransferAverage(t, g, *src, rop, pattern);
    else TransferNearest(t, g, *src, rop, pattern);
}

DWORD PatternOf(const CDC::Impl* impl) { return impl->BrushVisible() ? impl->BrushPixelValue() : 0; }

// The colour table of a DIB as RGB entries: DIB_RGB_COLORS copies it,
// DIB_PAL_COLORS looks its WORD indices up in the palette.
std::vector<RGBQUAD> ColorTable(const BITMAPINFO* bmi, UINT usage, const PaletteData* palette) {
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    std::vector<RGBQUAD> colors;
    if (h.biBitCount > 8) return colors;
    const UINT max = 1u << h.biBitCount;
    const UINT n = h.biClrUsed && h.biClrUsed < max ? h.biClrUsed : max;
    const BYTE* table = reinterpret_cast<const BYTE*>(bmi) + h.biSize;
    colors.resize(n, RGBQUAD{0, 0, 0, 0});
    for (UINT i = 0; i < n; ++i) {
        if (usage == DIB_PAL_COLORS) {
            const WORD index = WORD(table[2 * i] | table[2 * i + 1] << 8);
            if (palette && index < palette->entries.size()) {
                const PALETTEENTRY& e = palette->entries[index];
                colors[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
            }
        } else {
            std::memcpy(&colors[i], table + 4 * i, 4);
        }
    }
    return colors;
}

// The BI_BITFIELDS masks that follow the header.
const DWORD* Masks(const BITMAPINFO* bmi) {
    return bmi->bmiHeader.biCompression == BI_BITFIELDS
               ? reinterpret_cast<const DWORD*>(reinterpret_cast<const BYTE*>(bmi) + sizeof(BITMAPINFOHEADER))
               : nullptr;
}

bool ValidHeader(const BITMAPINFO* bmi) {
    if (!bmi) return false;
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    return h.biSize >= sizeof(BITMAPINFOHEADER) && h.biSize <= 124 && h.biWidth > 0 && h.biHeight != 0 &&
           h.biWidth <= 65535 && h.biHeight <= 65535 && h.biHeight >= -65535;
}

// The source of a DC: its surface, or the reader of its DIB section.
bool SourceOf(const CDC::Impl* impl, Source& source, DibReader& reader) {
    if (!impl->created) return false;
    const BitmapData* b = impl->state.bitmap.get();
    if (b && !b->Drawable()) {
        if (!b->dibSection || !reader.Init(b->header, b->colors.data(), int(b->colors.size()), b->masks, b->bits.data()))
            return false;
        source.dib = &reader;
        return true;
    }
    source.surface = impl->Surface();
    return source.surface && !source.surface->IsEmpty();
}

}  // namespace

// ---------------------------------------------------------------- CDC members

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
    return StretchBlt(x, y, nWidth, nHeight, pSrcDC, xSrc, ySrc, nWidth, nHeight, dwRop);
}

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                     int nSrcHeight, DWORD dwRop) {
    if (!m_impl->created) return FALSE;
    const Target t = m_impl->GetTarget();
    if (!t.surface) return FALSE;
    Geometry g{m_impl->DX(x), m_impl->DY(y), nWidth, nHeight, 0, 0, nSrcWidth, nSrcHeight};
    if (!UsesSource(dwRop)) {
        Transfer(t, g, nullptr, dwRop, PatternOf(m_impl.get()), COLORONCOLOR);
        return TRUE;
    }
    Source source;
    DibReader reader;
    if (!pSrcDC || !SourceOf(pSrcDC->m_impl.get(), source, reader)) return FALSE;
    g.sx = pSrcDC->m_impl->DX(xSrc);
    g.sy = pSrcDC->m_impl->DY(ySrc);
    if (source.surface == t.surface) {
        const bool plainCopy = dwRop == SRCCOPY && nWidth == nSrcWidth && nHeight == nSrcHeight && nWidth > 0 && nHeight > 0;
        if (plainCopy) {
            MoveWithin(t, g);
            return TRUE;
        }
        // Other transfers within one surface read from a snapshot, as if
        // the source had been copied first.
        CPixelSurface snapshot(*source.surface);
        source.surface = &snapshot;
        Transfer(t, g, &source, dwRop, PatternOf(m_impl.get()), m_impl->state.stretchMode);
        return TRUE;
    }
    Transfer(t, g, &source, dwRop, PatternOf(m_impl.get()), m_impl->state.stretchMode);
    return TRUE;
}

BOOL CDC::PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop) {
    if (UsesSource(dwRop)) return FALSE;
    return StretchBlt(x, y, nWidth, nHeight, nullptr, 0, 0, nWidth, nHeight, dwRop);
}

int CDC::StretchDIBits(int xDest, int yDest, int nDestWidth, int nDestHeight, int xSrc, int ySrc, int nSrcWidth,
                       int nSrcHeight, const void* lpBits, const BITMAPINFO* lpBitsInfo, UINT nUsage, DWORD dwRop) {
    if (!m_impl->created || !ValidHeader(lpBitsInfo) || !lpBits || (nUsage != DIB_RGB_COLORS && nUsage != DIB_PAL_COLORS))
        return 0;
    const Target t = m_impl->GetTarget();
    if (!t.surface) return 0;
    const std::vector<RGBQUAD> colors = ColorTable(lpBitsInfo, nUsage, m_impl->state.palette.get());
    DibReader reader;
    if (!reader.Init(lpBitsInfo->bmiHeader, colors.data(), int(colors.size()), Masks(lpBitsInfo), lpBits)) return 0;
    // The source y counts from the bottom row of the image, whichever way the rows are stored.
    const int top = reader.Height() - ySrc - nSrcHeight;
    Geometry g{m_impl->DX(xDest), m_impl->DY(yDest), nDestWidth, nDestHeight, xSrc, top, nSrcWidth, nSrcHeight};
    Source source;
    source.dib = &reader;
    Transfer(t, g, UsesSource(dwRop) ? &source : nullptr, dwRop, PatternOf(m_impl.get()), m_impl->state.stretchMode);
    return nSrcHeight < 0 ? -nSrcHeight : nSrcHeight;
}

// ---------------------------------------------------------------- DIB sections

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT iUsage, void** ppvBits, HANDLE hSection, DWORD dwOffset) {
    if (ppvBits) *ppvBits = nullptr;
    if (!ValidHeader(pbmi) || hSection || dwOffset || (iUsage != DIB_RGB_COLORS && iUsage != DIB_PAL_COLORS)) return nullptr;
    const BITMAPINFOHEADER& h = pbmi->bmiHeader;
    CDC::Impl* dc = DCFromHandle(hdc);
    if (iUsage == DIB_PAL_COLORS && !dc) return nullptr;
    auto* b = new BitmapData;
    b->dibSection = true;
    b->header = h;
    b->header.biSize = sizeof(BITMAPINFOHEADER);
    b->colors = ColorTable(pbmi, iUsage, dc ? dc->state.palette.get() : nullptr);
    if (const DWORD* m = Masks(pbmi)) std::copy(m, m + 3, b->masks);
    DibReader probe;
    const int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight;
    const int64_t stride = ((int64_t(h.biWidth) * h.biBitCount + 31) / 32) * 4;
    if (stride * height > INT32_MAX) { delete b; return nullptr; }
    b->bits.assign(size_t(stride * height), 0);
    b->header.biSizeImage = DWORD(stride * height);
    if (!probe.Init(b->header, b->colors.data(), int(b->colors.size()), b->masks, b->bits.data())) {
        delete b;
        return nullptr;
    }
    // 32-bit pixels in blue, green, red order can be drawn into directly.
    const bool plain32 = h.biBitCount == 32 && (h.biCompression == BI_RGB ||
                                                 (b->masks[0] == 0xFF0000 && b->masks[1] == 0xFF00 && b->masks[2] == 0xFF));
    if (plain32) {
        BYTE* top = h.biHeight < 0 ? b->bits.data() : b->bits.data() + (height - 1) * stride;
        b->surface.Attach(top, h.biWidth, int(height), h.biHeight < 0 ? int(stride) : -int(stride));
    }
    if (ppvBits) *ppvBits = b->bits.data();
    return static_cast<HBITMAP>(Register(b));
}

namespace {
BitmapData* SelectedDib(HDC hdc) {
    CDC::Impl* dc = DCFromHandle(hdc);
    BitmapData* b = dc ? dc->state.bitmap.get() : nullptr;
    return b && b->dibSection && b->header.biBitCount <= 8 ? b : nullptr;
}
}  // namespace

UINT GetDIBColorTable(HDC hdc, UINT iStartIndex, UINT cEntries, RGBQUAD* prgbq) {
    BitmapData* b = SelectedDib(hdc);
    if (!b || !prgbq || iStartIndex >= b->colors.size()) return 0;
    const UINT n = std::min<UINT>(cEntries, UINT(b->colors.size()) - iStartIndex);
    std::copy_n(b->colors.begin() + iStartIndex, n, prgbq);
    return n;
}

UINT SetDIBColorTable(HDC hdc, UINT iStartIndex, UINT cEntries, const RGBQUAD* prgbq) {
    BitmapData* b = SelectedDib(hdc);
    if (!b || !prgbq || iStartIndex >= b->colors.size()) return 0;
    const UINT n = std::min<UINT>(cEntries, UINT(b->colors.size()) - iStartIndex);
    std::copy_n(prgbq, n, b->colors.begin() + iStartIndex);
    return n;
}
