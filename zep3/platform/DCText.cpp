// CDC: text output and measuring.
#include <zep3/platform/CodePage.h>
#include <zep3/platform/detail/DCImpl.h>
#include <zep3/platform/detail/FontEngine.h>

#include <algorithm>
#include <cstring>

using namespace zep3::detail;

namespace {

std::shared_ptr<FontFace> FaceOf(const CDC::Impl* impl) {
    if (!impl->created || !impl->state.font) return nullptr;
    return impl->state.font->Face();
}

int Width(FontFace& face, const std::u32string& text) {
    int w = 0;
    for (char32_t c : text) w += face.GetGlyph(c).advance;
    return w;
}

// Blends a glyph's coverage in the colour over the destination.
void BlendGlyph(const Target& t, const Glyph& g, int penX, int baseline, DWORD colour) {
    const int gx = penX + g.left, gy = baseline - g.top;
    const int y0 = std::max<int>(gy, t.clip.top), y1 = std::min<int>(gy + g.rows, t.clip.bottom);
    const int x0 = std::max<int>(gx, t.clip.left), x1 = std::min<int>(gx + g.width, t.clip.right);
    const int cb = colour & 0xFF, cg = colour >> 8 & 0xFF, cr = colour >> 16 & 0xFF;
    for (int y = y0; y < y1; ++y) {
        const BYTE* cov = &g.coverage[size_t(y - gy) * g.width];
        DWORD* out = t.surface->GetRow(y);
        for (int x = x0; x < x1; ++x) {
            const int a = cov[x - gx];
            if (a == 0) continue;
            if (a == 255) { out[x] = colour; continue; }
            const DWORD d = out[x];
            const int db = d & 0xFF, dg = d >> 8 & 0xFF, dr = d >> 16 & 0xFF;
            out[x] = DWORD(db + (cb - db) * a / 255) | DWORD(dg + (cg - dg) * a / 255) << 8 |
                     DWORD(dr + (cr - dr) * a / 255) << 16;
        }
    }
}

// Draws one line of decoded text with its baseline at `baseline`, starting at
// device x; dx, when given, spaces the characters. Returns the advance width.
// `mnemonic` is the index of a character to underline, or -1.
int DrawLine(const CDC::Impl* impl, const Target& t, FontFace& face, int x, int baseline, const std::u32string& text,
             const INT* dx, int mnemonic = -1) {
    const DWORD colour = CPixelSurface::ToPixel(impl->state.textColor);
    const int start = x;
    int mnemonicX = 0, mnemonicW = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const Glyph& g = face.GetGlyph(text[i]);
        if (t.surface) BlendGlyph(t, g, x, baseline, colour);
        if (int(i) == mnemonic) { mnemonicX = x; mnemonicW = g.advance; }
        x += dx ? dx[i] : g.advance;
    }
    if (!t.surface) return x - start;
    const int thickness = face.LineThickness();
    auto line = [&](int from, int to, int offset) {
        for (int k = 0; k < thickness; ++k) FillSpan(t, baseline + offset + k, from, to, colour, R2_COPYPEN);
    };
    if (face.Underline()) line(start, x, face.UnderlineOffset());
    if (face.StrikeOut()) line(start, x, face.StrikeOffset());
    if (mnemonic >= 0 && mnemonicW > 0) line(mnemonicX, mnemonicX + mnemonicW, face.UnderlineOffset());
    return x - start;
}

Target Clipped(Target t, const RECT& r) {
    t.clip.left = std::max(t.clip.left, r.left);
    t.clip.top = std::max(t.clip.top, r.top);
    t.clip.right = std::max(t.clip.left, std::min(t.clip.right, r.right));
    t.clip.bottom = std::max(t.clip.top, std::min(t.clip.bottom, r.bottom));
    return t;
}

}  // namespace

BOOL CDC::ExtTextOut(int x, int y, UINT nOptions, LPCRECT lpRect, LPCTSTR lpszString, UINT nCount, LPINT lpDxWidths) {
    if (!m_impl->created) return FALSE;
    Target t = m_impl->GetTarget();
    const Impl::State& s = m_impl->state;
    RECT box{0, 0, 0, 0};
    if (lpRect) box = RECT{m_impl->DX(lpRect->left), m_impl->DY(lpRect->top), m_impl->DX(lpRect->right), m_impl->DY(lpRect->bottom)};
    if (lpRect && (nOptions & ETO_OPAQUE) && t.surface) FillBox(t, box, CPixelSurface::ToPixel(s.bkColor), R2_COPYPEN);
    if (!lpszString || nCount == 0) return TRUE;
    if (lpRect && (nOptions & ETO_CLIPPED)) t = Clipped(t, box);
    std::shared_ptr<FontFace> face = FaceOf(m_impl.get());
    if (!face) return FALSE;
    const std::u32string text = DecodeACP(lpszString, int(nCount));
    int width = 0;
    if (lpDxWidths) for (UINT i = 0; i < nCount; ++i) width += lpDxWidths[i];
    else width = Width(*face, text);

    const bool updateCP = (s.textAlign & TA_UPDATECP) != 0;
    if (updateCP) { x = s.pos.x; y = s.pos.y; }
    int left = m_impl->DX(x);
    const UINT horizontal = s.textAlign & TA_CENTER;
    if (horizontal == TA_CENTER) left -= width / 2;
    else if (horizontal == TA_RIGHT) left -= width;
    const TEXTMETRIC& tm = face->Metrics();
    int baseline = m_impl->DY(y);
    const UINT vertical = s.textAlign & TA_BASELINE;
    if (vertical == TA_TOP) baseline += tm.tmAscent;
    else if (vertical == TA_BOTTOM) baseline -= tm.tmDescent;
    if (s.bkMode == OPAQUE && t.surface)
        FillBox(t, RECT{left, baseline - tm.tmAscent, left + width, baseline + tm.tmDescent},
                CPixelSurface::ToPixel(s.bkColor), R2_COPYPEN);
    DrawLine(m_impl.get(), t, *face, left, baseline, text, lpDxWidths);
    if (updateCP) {
        if (horizontal == TA_LEFT) m_impl->state.pos.x += width;
        else if (horizontal == TA_RIGHT) m_impl->state.pos.x -= width;
    }
    return TRUE;
}

BOOL CDC::TextOut(int x, int y, LPCTSTR lpszString, int nCount) {
    if (!lpszString || nCount < 0) return FALSE;
    return ExtTextOut(x, y, 0, nullptr, lpszString, UINT(nCount), nullptr);
}

CSize CDC::GetTextExtent(LPCTSTR lpszString, int nCount) const {
    std::shared_ptr<FontFace> face = FaceOf(m_impl.get());
    if (!face || !lpszString || nCount < 0) return CSize(0, 0);
    return CSize(Width(*face, DecodeACP(lpszString, nCount)), face->Metrics().tmHeight);
}

BOOL CDC::GetTextMetrics(LPTEXTMETRIC lpMetrics) const {
    std::shared_ptr<FontFace> face = FaceOf(m_impl.get());
    if (!face || !lpMetrics) return FALSE;
    *lpMetrics = face->Metrics();
    return TRUE;
}

int CDC::GetTextFace(int nCount, LPTSTR lpszFacename) const {
    if (!m_impl->created || !m_impl->state.font) return 0;
    const char* name = m_impl->state.font->lf.lfFaceName;
    const int length = int(strnlen(name, LF_FACESIZE));
    if (!lpszFacename || nCount <= 0) return length + 1;
    const int n = std::min(length, nCount - 1);
    std::memcpy(lpszFacename, name, size_t(n));
    lpszFacename[n] = 0;
    return n;
}

// ---------------------------------------------------------------- DrawText

namespace {

struct TextLine {
    std::u32string text;
    int mnemonic = -1;  // character to underline
    int width = 0;
};

// Removes the '&' prefixes: "&x" underlines x, "&&" is one '&'.
void StripPrefixes(TextLine& line) {
    std::u32string out;
    for (size_t i = 0; i < line.text.size(); ++i) {
        if (line.text[i] == U'&' && i + 1 < line.text.size()) {
            ++i;
            if (line.text[i] != U'&') line.mnemonic = int(out.size());
        }
        out += line.text[i];
    }
    line.text = out;
}

// Splits at line breaks and, with DT_WORDBREAK, at spaces so that each line
// fits maxWidth (a word longer than the width stays whole).
std::vector<TextLine> Layout(FontFace& face, const std::u32string& text, UINT format, int maxWidth) {
    std::vector<TextLine> lines;
    auto push = [&](std::u32string s) {
        TextLine line;
        // Tabs stop every eight characters.
        if (format & DT_EXPANDTABS) {
            std::u32string expanded;
            for (char32_t c : s) {
                if (c != U'\t') { expanded += c; continue; }
                do expanded += U' '; while (expanded.size() % 8);
            }
            s = std::move(expanded);
        }
        line.text = std::move(s);
        if (!(format & DT_NOPREFIX)) StripPrefixes(line);
        line.width = Width(face, line.text);
        lines.push_back(std::move(line));
    };
    std::vector<std::u32string> paragraphs(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (!(format & DT_SINGLELINE) && (c == U'\n' || c == U'\r')) {
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
            paragraphs.emplace_back();
        } else if (!(format & DT_SINGLELINE) || (c != U'\n' && c != U'\r')) {
            paragraphs.back() += c;
        }
    }
    for (const std::u32string& p : paragraphs) {
        if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
            push(p);
            continue;
        }
        size_t start = 0;
        while (start <= p.size()) {
            size_t end = start, lastBreak = std::u32string::npos;
            int w = 0;
            while (end < p.size()) {
                const int a = face.GetGlyph(p[end]).advance;
                if (p[end] == U' ') lastBreak = end;
                if (w + a > maxWidth && end > start && p[end] != U' ') break;
                w += a;
                ++end;
            }
            if (end < p.size() && lastBreak != std::u32string::npos && lastBreak > start) end = lastBreak;
            push(p.substr(start, end - start));
            start = end;
            while (start < p.size() && p[start] == U' ') ++start;
            if (start >= p.size()) break;
        }
    }
    return lines;
}

// Shortens a line to fit maxWidth with "..." at its end.
void EndEllipsis(FontFace& face, TextLine& line, int maxWidth) {
    if (line.width <= maxWidth) return;
    const int dots = 3 * face.GetGlyph(U'.').advance;
    while (!line.text.empty() && line.width + dots > maxWidth) {
        line.width -= face.GetGlyph(line.text.back()).advance;
        line.text.pop_back();
    }
    if (line.mnemonic >= int(line.text.size())) line.mnemonic = -1;
    line.text += U"...";
    line.width += dots;
}

}  // namespace

int CDC::DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) {
    if (!m_impl->created || !lpszString || !lpRect) return 0;
    std::shared_ptr<FontFace> face = FaceOf(m_impl.get());
    if (!face) return 0;
    if (nCount < 0) nCount = int(std::strlen(lpszString));
    const TEXTMETRIC& tm = face->Metrics();
    const int lineHeight = tm.tmHeight + ((nFormat & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
    const CRect r(*lpRect);
    std::vector<TextLine> lines = Layout(*face, DecodeACP(lpszString, nCount), nFormat, r.Width());
    if (nFormat & DT_END_ELLIPSIS)
        for (TextLine& line : lines) EndEllipsis(*face, line, r.Width());
    const int height = lineHeight * int(lines.size());
    if (nFormat & DT_CALCRECT) {
        int widest = 0;
        for (const TextLine& line : lines) widest = std::max(widest, line.width);
        lpRect->right = lpRect->left + widest;
        lpRect->bottom = lpRect->top + height;
        return height;
    }
    // Vertical placement applies to single lines, as on Windows.
    int top = r.top;
    if (nFormat & DT_SINGLELINE) {
        if (nFormat & DT_VCENTER) top = (r.top + r.bottom - lineHeight) / 2;
        else if (nFormat & DT_BOTTOM) top = r.bottom - lineHeight;
    }
    Target t = m_impl->GetTarget();
    const RECT device{m_impl->DX(r.left), m_impl->DY(r.top), m_impl->DX(r.right), m_impl->DY(r.bottom)};
    if (!(nFormat & DT_NOCLIP)) t = Clipped(t, device);
    const Impl::State& s = m_impl->state;
    int y = top;
    for (const TextLine& line : lines) {
        int x = r.left;
        if (nFormat & DT_CENTER) x = (r.left + r.right - line.width) / 2;
        else if (nFormat & DT_RIGHT) x = r.right - line.width;
        const int dx = m_impl->DX(x), baseline = m_impl->DY(y) + tm.tmAscent;
        if (s.bkMode == OPAQUE && t.surface)
            FillBox(t, RECT{dx, m_impl->DY(y), dx + line.width, m_impl->DY(y) + lineHeight}, CPixelSurface::ToPixel(s.bkColor),
                    R2_COPYPEN);
        DrawLine(m_impl.get(), t, *face, dx, baseline, line.text, nullptr, line.mnemonic);
        y += lineHeight;
    }
    return y - r.top;
}
