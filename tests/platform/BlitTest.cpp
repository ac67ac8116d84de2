#include "Canvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A 24-bit DIB whose pixel (x, y) (y = 0 at the top) is RGB(x * 40, y * 50, 7).
struct Dib {
    BITMAPINFOHEADER header{};
    std::vector<BYTE> bits;
    int w, h;
    Dib(int width, int height, bool topDown) : w(width), h(height) {
        header.biSize = sizeof header;
        header.biWidth = w;
        header.biHeight = topDown ? -h : h;
        header.biPlanes = 1;
        header.biBitCount = 24;
        const int stride = (w * 3 + 3) & ~3;
        bits.assign(size_t(stride) * h, 0);
        for (int y = 0; y < h; ++y) {
            BYTE* row = &bits[size_t(topDown ? y : h - 1 - y) * stride];
            for (int x = 0; x < w; ++x) {
                row[3 * x] = 7;
                row[3 * x + 1] = BYTE(y * 50);
                row[3 * x + 2] = BYTE(x * 40);
            }
        }
    }
    static COLORREF Color(int x, int y) { return RGB(x * 40, y * 50, 7); }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(&header); }
};

// A BITMAPINFO with room for a 256-entry colour table.
struct Info8 {
    BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), 4, -2, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    RGBQUAD colors[256] = {};
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(&header); }
};

}  // namespace

TEST(StretchDIBits, FullSizeCopiesExactlyAndDoubleSizeDoubles) {
    // 23 columns take the four-pixel steps of the 24-bit reader and its tail.
    for (int w : {5, 23})
        for (bool topDown : {true, false}) {
            const Dib dib(w, 4, topDown);
            Canvas c(w + 7, 10);
            EXPECT_EQ(c.dc.StretchDIBits(1, 2, w, 4, 0, 0, w, 4, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY),
                      4);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < w; ++x) EXPECT_EQ(c.At(1 + x, 2 + y), Dib::Color(x, y)) << x << "," << y;
            EXPECT_EQ(c.Ink(), CRect(1, 2, 1 + w, 6));

            Canvas d(2 * w + 2, 10);
            d.dc.StretchDIBits(0, 0, 2 * w, 8, 0, 0, w, 4, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 2 * w; ++x) EXPECT_EQ(d.At(x, y), Dib::Color(x / 2, y / 2)) << x << "," << y;
        }
}

TEST(StretchDIBits, SourceYCountsFromTheBottomForBothRowOrders) {
    // Image rows 1 and 2 of a 4-row image are asked for as y = 4 - 1 - 2 = 1.
    for (bool topDown : {true, false}) {
        const Dib dib(3, 4, topDown);
        Canvas c(3, 2);
        c.dc.StretchDIBits(0, 0, 3, 2, 0, 1, 3, 2, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(c.At(x, 0), Dib::Color(x, 1)) << "top-down " << topDown;
            EXPECT_EQ(c.At(x, 1), Dib::Color(x, 2));
        }
    }
    // A source reaching past the image leaves those destination pixels alone.
    const Dib dib(3, 4, true);
    Canvas c(3, 6);
    c.dc.StretchDIBits(0, 0, 3, 6, 0, -2, 3, 6, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(c.At(0, 0), Dib::Color(0, 0));
    EXPECT_EQ(c.At(0, 3), Dib::Color(0, 3));
    EXPECT_EQ(c.At(0, 4), RGB(255, 255, 255));
}

TEST(StretchDIBits, PixelFormats) {
    Canvas c(4, 2);
    // 8 bits with RGB colours, top-down: a grey ramp.
    Info8 info;
    for (int i = 0; i < 256; ++i) info.colors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    const BYTE grey[8] = {0, 10, 200, 255, 1, 2, 3, 4};
    EXPECT_EQ(c.dc.StretchDIBits(0, 0, 4, 2, 0, 0, 4, 2, grey, info.Info(), DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(c.At(2, 0), RGB(200, 200, 200));
    EXPECT_EQ(c.At(3, 1), RGB(4, 4, 4));

    // 8 bits with palette indices through the selected palette.
    std::vector<BYTE> raw(sizeof(LOGPALETTE) + 4 * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(raw.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 4;
    for (int i = 0; i < 4; ++i) lp->palPalEntry[i] = PALETTEENTRY{BYTE(60 * i), 0, BYTE(255 - 60 * i), 0};
    CPalette palette;
    ASSERT_TRUE(palette.CreatePalette(lp));
    c.dc.SelectPalette(&palette, FALSE);
    EXPECT_EQ(c.dc.RealizePalette(), 4u);
    auto* indices = reinterpret_cast<WORD*>(info.colors);
    for (int i = 0; i < 256; ++i) indices[i] = WORD(3 - (i & 3));
    const BYTE pal[8] = {0, 1, 2, 3, 0, 0, 0, 0};
    c.dc.StretchDIBits(0, 0, 4, 2, 0, 0, 4, 2, pal, info.Info(), DIB_PAL_COLORS, SRCCOPY);
    EXPECT_EQ(c.At(0, 0), RGB(180, 0, 75));
    EXPECT_EQ(c.At(3, 0), RGB(0, 0, 255));

    // 16 bits, 5-5-5: full channels give 255.
    BITMAPINFOHEADER h16{sizeof(BITMAPINFOHEADER), 2, 1, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
    const WORD px16[2] = {0x7C00, 0x001F | (16 << 5)};
    c.dc.StretchDIBits(0, 0, 2, 1, 0, 0, 2, 1, px16, reinterpret_cast<BITMAPINFO*>(&h16), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(c.At(1, 0), RGB(0, 132, 255));

    // 32 bits, bottom-up.
    BITMAPINFOHEADER h32{sizeof(BITMAPINFOHEADER), 1, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD px32[2] = {0x00112233, 0x00445566};
    c.dc.StretchDIBits(0, 0, 1, 2, 0, 0, 1, 2, px32, reinterpret_cast<BITMAPINFO*>(&h32), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(c.At(0, 0), RGB(0x44, 0x55, 0x66));
    EXPECT_EQ(c.At(0, 1), RGB(0x11, 0x22, 0x33));

    // Refused: no bits, compressed data, a zero height.
    EXPECT_EQ(c.dc.StretchDIBits(0, 0, 1, 1, 0, 0, 1, 1, nullptr, reinterpret_cast<BITMAPINFO*>(&h32), 0, SRCCOPY), 0);
    h32.biCompression = 1;
    EXPECT_EQ(c.dc.StretchDIBits(0, 0, 1, 1, 0, 0, 1, 1, px32, reinterpret_cast<BITMAPINFO*>(&h32), 0, SRCCOPY), 0);
}

TEST(BlockTransfers, CopyInvertAndStretch) {
    Canvas src(6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) src.surface->SetPixel(x, y, Dib::Color(x, y));
    Canvas dst(14, 10, RGB(1, 2, 3));
    ASSERT_TRUE(dst.dc.BitBlt(2, 3, 6, 4, &src.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(dst.At(2 + x, 3 + y), Dib::Color(x, y));
    EXPECT_EQ(dst.Ink(RGB(1, 2, 3)), CRect(2, 3, 8, 7));

    const CPixelSurface before(*dst.surface);
    dst.dc.BitBlt(0, 0, 14, 10, &src.dc, 0, 0, SRCINVERT);
    dst.dc.BitBlt(0, 0, 14, 10, &src.dc, 0, 0, SRCINVERT);
    EXPECT_TRUE(dst.surface->IsEqual(before));
    dst.dc.PatBlt(0, 0, 14, 10, DSTINVERT);
    EXPECT_EQ(dst.At(0, 0), RGB(254, 253, 252));
    dst.dc.BitBlt(0, 0, 1, 1, &src.dc, 1, 1, NOTSRCCOPY);
    EXPECT_EQ(dst.At(0, 0), RGB(255 - 40, 255 - 50, 255 - 7));

    Canvas big(12, 8);
    big.dc.StretchBlt(0, 0, 12, 8, &src.dc, 0, 0, 6, 4, SRCCOPY);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(big.At(x, y), Dib::Color(x / 2, y / 2));

    // Halftone shrinking averages; colour-on-colour picks one source pixel.
    Canvas small(3, 2);
    small.dc.SetStretchBltMode(HALFTONE);
    small.dc.StretchBlt(0, 0, 3, 2, &src.dc, 0, 0, 6, 4, SRCCOPY);
    EXPECT_EQ(small.At(0, 0), RGB(20, 25, 7));
    small.dc.SetStretchBltMode(COLORONCOLOR);
    small.dc.StretchBlt(0, 0, 3, 2, &src.dc, 0, 0, 6, 4, SRCCOPY);
    EXPECT_EQ(small.At(0, 0), Dib::Color(1, 1));
}

TEST(BlockTransfers, OverlappingCopyWithinOneSurface) {
    Canvas c(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) c.surface->SetPixel(x, y, RGB(x, y, 0));
    c.dc.BitBlt(1, 2, 6, 5, &c.dc, 0, 0, SRCCOPY);  // scroll down and right
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) ASSERT_EQ(c.At(1 + x, 2 + y), RGB(x, y, 0));
    c.dc.BitBlt(0, 0, 6, 5, &c.dc, 1, 2, SRCCOPY);  // and back
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) ASSERT_EQ(c.At(x, y), RGB(x, y, 0));
}

TEST(DibSections, DescriptionColourTableAndDrawing) {
    Info8 info;
    info.header.biHeight = 3;
    info.header.biClrUsed = 2;
    info.colors[0] = RGBQUAD{0, 0, 255, 0};
    info.colors[1] = RGBQUAD{255, 0, 0, 0};
    void* bits = nullptr;
    CBitmap dib;
    ASSERT_TRUE(dib.Attach(CreateDIBSection(nullptr, info.Info(), DIB_RGB_COLORS, &bits, nullptr, 0)));
    ASSERT_NE(bits, nullptr);
    BITMAP bm;
    ASSERT_EQ(dib.GetBitmap(&bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidthBytes, 4);
    EXPECT_EQ(bm.bmBits, bits);

    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap* old = mem.SelectObject(&dib);
    RGBQUAD table[4] = {};
    EXPECT_EQ(GetDIBColorTable(mem.GetSafeHdc(), 0, 4, table), 2u);
    EXPECT_EQ(table[1].rgbBlue, 255);
    static_cast<BYTE*>(bits)[0] = 1;  // bottom-up: the first byte is the bottom-left pixel
    Canvas c(4, 3);
    c.dc.BitBlt(0, 0, 4, 3, &mem, 0, 0, SRCCOPY);
    EXPECT_EQ(c.At(0, 2), RGB(0, 0, 255));
    EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
    mem.SelectObject(old);

    // A 32-bit DIB section can be drawn into; its bits follow.
    BITMAPINFOHEADER h32{sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    CBitmap dib32;
    ASSERT_TRUE(dib32.Attach(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&h32), DIB_RGB_COLORS, &bits, nullptr, 0)));
    old = mem.SelectObject(&dib32);
    mem.SetPixel(1, 0, RGB(1, 2, 3));
    EXPECT_EQ(static_cast<DWORD*>(bits)[3], 0x010203u);
    EXPECT_EQ(GetDIBColorTable(mem.GetSafeHdc(), 0, 4, table), 0u);
    mem.SelectObject(old);
}

TEST(Palettes, NoPaletteDevice) {
    Canvas c(640, 480);
    EXPECT_EQ(c.dc.GetDeviceCaps(RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_EQ(c.dc.GetDeviceCaps(SIZEPALETTE), 0);
    EXPECT_EQ(c.dc.GetDeviceCaps(HORZRES), 640);
    PALETTEENTRY entries[4];
    EXPECT_EQ(GetSystemPaletteEntries(c.dc.GetSafeHdc(), 0, 4, entries), 0u);
    CPalette halftone;
    ASSERT_TRUE(halftone.CreateHalftonePalette(&c.dc));
    EXPECT_EQ(halftone.GetEntryCount(), 256);
    EXPECT_EQ(halftone.GetNearestPaletteIndex(RGB(255, 255, 255)), 19u);
    WORD count = 0;
    EXPECT_EQ(halftone.GetObject(sizeof count, &count), 2);
    EXPECT_EQ(count, 256);
}
