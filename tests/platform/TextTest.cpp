#include "Canvas.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <cmath>
#include <cstring>

namespace {

const char* kLiberation = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";

LOGFONT Arial(int height, int weight = FW_NORMAL) {
    LOGFONT lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = EASTEUROPE_CHARSET;
    std::strcpy(lf.lfFaceName, "Arial");
    return lf;
}

// A font made from Arial(height, weight).
struct ArialFont : CFont {
    explicit ArialFont(int height, int weight = FW_NORMAL) {
        const LOGFONT lf = Arial(height, weight);
        CreateFontIndirect(&lf);
    }
};

// Advance widths read straight from the font file's metrics, in font units,
// scaled to the pixel em and rounded per character.
int AdvanceFromFontFile(const char* text, int em) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0) return -1;
    int total = -1;
    if (FT_New_Face(library, kLiberation, 0, &face) == 0) {
        total = 0;
        for (const char* p = text; *p; ++p) {
            FT_Fixed units = 0;
            FT_Get_Advance(face, FT_Get_Char_Index(face, FT_ULong(*p)), FT_LOAD_NO_SCALE, &units);
            total += int(std::lround(double(units) * em / face->units_per_EM));
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return total;
}

}  // namespace

TEST(Text, ArialExtentMatchesTheFontMetrics) {
    Canvas c(100, 30);
    ArialFont font(-16);
    ASSERT_NE(font.GetSafeHandle(), nullptr);
    c.dc.SelectObject(&font);
    const CSize extent = c.dc.GetTextExtent("Hello", 5);
    EXPECT_EQ(extent.cx, AdvanceFromFontFile("Hello", 16));
    EXPECT_EQ(extent.cx, 38);  // Arial: H 1479, e 1139, l 455, o 1139 of 2048 units
    TEXTMETRIC tm;
    ASSERT_TRUE(c.dc.GetTextMetrics(&tm));
    EXPECT_EQ(extent.cy, tm.tmHeight);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 16);
    EXPECT_GT(tm.tmAveCharWidth, 4);

    // A positive height is the cell height.
    ArialFont cell(20);
    c.dc.SelectObject(&cell);
    c.dc.GetTextMetrics(&tm);
    EXPECT_EQ(tm.tmHeight, 20);

    // Bold takes the bold face, which is wider.
    ArialFont bold(-16, FW_BOLD);
    c.dc.SelectObject(&bold);
    EXPECT_GT(c.dc.GetTextExtent("Hello", 5).cx, extent.cx);
    c.dc.GetTextMetrics(&tm);
    EXPECT_EQ(tm.tmWeight, FW_BOLD);
}

TEST(Text, DrawTextCentresInsideItsRectangle) {
    Canvas c(120, 40);
    ArialFont font(-12);
    c.dc.SelectObject(&font);
    c.dc.SetBkMode(TRANSPARENT);
    CRect cell(10, 5, 110, 35);
    const int height = c.dc.DrawText("12:30", -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    TEXTMETRIC tm;
    c.dc.GetTextMetrics(&tm);
    const CSize extent = c.dc.GetTextExtent("12:30", 5);
    EXPECT_EQ(height, (5 + 35 - tm.tmHeight) / 2 + tm.tmHeight - 5);
    const CRect ink = c.Ink();
    ASSERT_FALSE(ink.IsRectEmpty());
    EXPECT_TRUE(cell.left <= ink.left && ink.right <= cell.right && cell.top <= ink.top && ink.bottom <= cell.bottom);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 60, 2.5);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 20, 3.0);
    EXPECT_LE(ink.Width(), extent.cx + 1);

    // DT_CALCRECT measures without drawing: one line, then two.
    CRect calc(0, 0, 0, 0);
    const CPixelSurface before(*c.surface);
    c.dc.DrawText("12:30", -1, &calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(calc, CRect(0, 0, extent.cx, tm.tmHeight));
    calc = CRect(0, 0, 0, 0);
    EXPECT_EQ(c.dc.DrawText("ab\ncdef", -1, &calc, DT_CALCRECT), 2 * tm.tmHeight);
    EXPECT_EQ(calc.Width(), c.dc.GetTextExtent("cdef", 4).cx);
    EXPECT_TRUE(c.surface->IsEqual(before));
}

TEST(Text, ClippingAlignmentAndBackground) {
    ArialFont font(-14);
    // Clipped to the cell unless DT_NOCLIP.
    for (UINT extra : {0u, UINT(DT_NOCLIP)}) {
        Canvas c(80, 20);
        c.dc.SelectObject(&font);
        c.dc.SetBkMode(TRANSPARENT);
        CRect cell(5, 2, 20, 18);
        c.dc.DrawText("Wednesday", -1, &cell, DT_LEFT | DT_VCENTER | DT_SINGLELINE | extra);
        const CRect ink = c.Ink();
        if (extra) EXPECT_GT(ink.right, 20);
        else EXPECT_LE(ink.right, 20);
        EXPECT_GE(ink.left, 5);
    }
    // OPAQUE fills the text cell with the background colour; TRANSPARENT leaves it.
    for (int mode : {OPAQUE, TRANSPARENT}) {
        Canvas c(60, 30);
        c.dc.SelectObject(&font);
        c.dc.SetBkMode(mode);
        c.dc.SetBkColor(RGB(0, 0, 255));
        c.dc.SetTextColor(RGB(255, 0, 0));
        c.dc.TextOut(4, 6, "Hi");
        const CSize e = c.dc.GetTextExtent("Hi", 2);
        EXPECT_EQ(c.Count(RGB(0, 0, 255)) > 0, mode == OPAQUE);
        if (mode == OPAQUE) {
            EXPECT_EQ(c.Ink(), CRect(4, 6, 4 + e.cx, 6 + e.cy));
        } else {
            EXPECT_GT(c.Count(RGB(255, 0, 0)), 5);
        }
    }
    // TA_BASELINE puts the baseline at y: a capital without descender ends just above it.
    Canvas c(40, 40);
    c.dc.SelectObject(&font);
    c.dc.SetBkMode(TRANSPARENT);
    c.dc.SetTextAlign(TA_BASELINE | TA_LEFT);
    c.dc.TextOut(5, 25, "H");
    EXPECT_EQ(c.Ink().bottom, 25);
    // TA_UPDATECP advances the current position by the extent.
    c.dc.SetTextAlign(TA_UPDATECP);
    c.dc.MoveTo(2, 2);
    c.dc.TextOut(0, 0, "HH");
    EXPECT_EQ(c.dc.GetCurrentPosition(), CPoint(2 + c.dc.GetTextExtent("HH", 2).cx, 2));
}

TEST(Text, CodePageDecoding) {
    EXPECT_EQ(GetACP(), 1250u);
    const std::u32string polish = DecodeACP("\xA3\xF3\xBF\x9C\xB9\x80", 6);
    EXPECT_EQ(polish, (std::u32string{0x141, 0xF3, 0x17C, 0x15B, 0x105, 0x20AC}));
    EXPECT_EQ(DecodeACP("\x81", 1), std::u32string(1, char32_t(0x81)));
    ASSERT_TRUE(SetACP(1252));
    EXPECT_EQ(DecodeACP("\xA3\x80", 2), (std::u32string{0xA3, 0x20AC}));
    ASSERT_TRUE(SetACP(1250));
    EXPECT_FALSE(SetACP(99999));
    EXPECT_EQ(GetACP(), 1250u);

    // Polish letters have glyphs of their own.
    Canvas c(60, 30);
    ArialFont font(-16);
    c.dc.SelectObject(&font);
    c.dc.SetBkMode(TRANSPARENT);
    c.dc.TextOut(2, 2, "\xA3");
    EXPECT_FALSE(c.Ink().IsRectEmpty());
    EXPECT_EQ(c.dc.GetTextExtent("\xA3", 1).cx, c.dc.GetTextExtent("L", 1).cx);
}

TEST(Fonts, LogicalFontsRoundTrip) {
    CFont font;
    const LOGFONT lf = Arial(-9);
    ASSERT_TRUE(font.CreateFontIndirect(&lf));
    EXPECT_FALSE(font.CreateFontIndirect(&lf)) << "already holds a font";
    LOGFONT back{};
    ASSERT_EQ(font.GetLogFont(&back), int(sizeof back));
    EXPECT_EQ(std::memcmp(&back, &lf, sizeof lf), 0);
    CFont points;
    ASSERT_TRUE(points.CreatePointFont(120, "Arial"));
    points.GetLogFont(&back);
    EXPECT_EQ(back.lfHeight, -16);
    Canvas c(10, 10);
    c.dc.SelectObject(&points);
    char face[LF_FACESIZE];
    EXPECT_EQ(c.dc.GetTextFace(LF_FACESIZE, face), 5);
    EXPECT_STREQ(face, "Arial");
    // An unknown face still draws, with a stand-in.
    CFont unknown;
    LOGFONT other = Arial(-12);
    std::strcpy(other.lfFaceName, "No Such Face");
    unknown.CreateFontIndirect(&other);
    c.dc.SelectObject(&unknown);
    EXPECT_GT(c.dc.GetTextExtent("abc", 3).cx, 10);
    EXPECT_FALSE(font.CreateFontIndirect(nullptr));
}
