// Display bitmaps: an image buffer stretched onto a device context
// (CDravolinBitmap through CImageBuffer), the clip geometry of the stretch,
// and CDIB with a palette bitmap written by ImageMagick.
#include "ImagingTestUtil.h"
#include "platform/Canvas.h"
#include "support/TestSupport.h"

#include <cstring>

namespace {

const COLORREF kWhite = RGB(255, 255, 255);

// The colour an image pixel shows as: grey, 5-5-5 widened by repeating the
// top bits, or blue-green-red bytes.
COLORREF Shown(const CImageBuffer& image, int x, int y) {
    const int stride = image.GetSize().cx * image.GetPixelSize() + image.GetPaddingBytes();
    const BYTE* p = image.GetPixelBuffer() + y * stride + x * image.GetPixelSize();
    switch (image.GetBitCount()) {
    case 8: return RGB(p[0], p[0], p[0]);
    case 16: {
        const int w = p[0] | p[1] << 8;
        auto widen = [](int v) { return BYTE(v << 3 | v >> 2); };
        return RGB(widen(w >> 10 & 31), widen(w >> 5 & 31), widen(w & 31));
    }
    default: return RGB(p[2], p[1], p[0]);
    }
}

// A 40 x 30 colour image whose pixel (x, y) is RGB(x, y, 77): every pixel tells where it came from.
CImageBuffer Numbered() {
    CImageBuffer image(CSize(40, 30), 24);
    BYTE* p = image.GetPixelBuffer();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x, p += 3) p[0] = 77, p[1] = BYTE(y), p[2] = BYTE(x);
    return image;
}

// Draws with the clip and checks that exactly `dest` was drawn, its pixel
// (i, j) from image pixel (srcLeft + i / scale, srcTop + j / scale).
void ExpectClipped(double zoom, CRect clip, CRect dest, int srcLeft, int srcTop, int scale) {
    CImageBuffer image = Numbered();
    Canvas canvas(140, 100);
    ASSERT_TRUE(image.CreateBitmap(&canvas.dc));
    ASSERT_TRUE(image.StretchBitmap(&canvas.dc, 3, 2, zoom, 0, clip, nullptr));
    dest.OffsetRect(3, 2);
    ASSERT_EQ(canvas.Ink(), dest) << "zoom " << zoom << ", clip " << clip.left << "," << clip.top;
    for (int j = 0; j < dest.Height(); ++j)
        for (int i = 0; i < dest.Width(); ++i)
            ASSERT_EQ(canvas.At(dest.left + i, dest.top + j), RGB(srcLeft + i / scale, srcTop + j / scale, 77))
                << i << "," << j;
}

} // namespace

TEST(DisplayBitmap, StretchReproducesEveryFormatAt100AndDoublesAt200) {
    struct Case {
        int bits, width, padding;
    } cases[] = {{8, 5, 3}, {8, 8, 0}, {16, 5, 2}, {16, 6, 0}, {24, 5, 1}, {24, 7, 3}, {24, 4, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, width " << c.width << ", padding " << c.padding);
        CImageBuffer image(CSize(c.width, 6), c.bits, c.padding);
        imgtest::fillRandom(image, unsigned(c.bits * 100 + c.width * 10 + c.padding));
        Canvas canvas(40, 30);
        ASSERT_TRUE(image.CreateBitmap(&canvas.dc));
        ASSERT_TRUE(image.StretchBitmap(&canvas.dc, 3, 2, 100, 100, CRect(), nullptr));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < c.width; ++x) ASSERT_EQ(canvas.At(3 + x, 2 + y), Shown(image, x, y)) << x << "," << y;
        EXPECT_TRUE(canvas.At(3 + c.width, 2) == kWhite && canvas.At(3, 8) == kWhite);

        // Zoom y 0 takes zoom x: 200 % both ways, every pixel doubled.
        Canvas doubled(40, 30);
        ASSERT_TRUE(image.StretchBitmap(&doubled.dc, 1, 1, 200, 0, CRect(), nullptr));
        EXPECT_TRUE(doubled.At(1 + 2 * c.width, 1) == kWhite && doubled.At(1, 13) == kWhite);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 2 * c.width; ++x)
                ASSERT_EQ(doubled.At(1 + x, 1 + y), Shown(image, x / 2, y / 2)) << x << "," << y;
    }
}

TEST(DisplayBitmap, ClipLimitsTheStretchToThePartUnderIt) {
    // round(10 * 100 / 200) - 1 = 4, round(20 / 2) - 1 = 9; sizes 20 / 2 + 2 = 12 and 14 / 2 + 2 = 9.
    ExpectClipped(200, CRect(10, 20, 30, 34), CRect(8, 18, 32, 36), 4, 9, 2);
    // 2.5 rounds away from zero: left and top 3 - 1 = 2.
    ExpectClipped(200, CRect(5, 5, 25, 19), CRect(4, 4, 28, 22), 2, 2, 2);
    // Left -1 comes back to 0; round(5 / 3) + 2 = 4 is also the minimum size.
    ExpectClipped(300, CRect(0, 0, 5, 5), CRect(0, 0, 12, 12), 0, 0, 3);
    // The source is pulled back inside the image: left 34 becomes 40 - 12.
    ExpectClipped(100, CRect(35, 0, 45, 10), CRect(28, 0, 40, 12), 28, 0, 1);
    // Source rows 18..29 reach the bottom: counted from the bottom that is 0,
    // which is passed as 1, so the rows drawn are one higher (17..28).
    ExpectClipped(100, CRect(0, 20, 10, 30), CRect(0, 18, 12, 30), 0, 17, 1);
    // A clip the zoomed image fits in changes nothing.
    ExpectClipped(100, CRect(-5, -5, 60, 60), CRect(0, 0, 40, 30), 0, 0, 1);
}

TEST(DisplayBitmap, PrivateCopyPaletteAndRefusals) {
    CImageBuffer aligned(CSize(5, 3), 24, 1), packed(CSize(5, 3), 24, 0), grey(CSize(6, 2), 8, 0);
    imgtest::fillRandom(packed, 7);
    Canvas canvas(10, 10);
    CDravolinBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(&aligned, &canvas.dc));
    EXPECT_EQ(bitmap.GetBits(), aligned.GetPixelBuffer()) << "aligned rows are used in place";
    EXPECT_EQ(bitmap.GetBitmapInfo()->bmiHeader.biHeight, -3);
    ASSERT_TRUE(bitmap.CreateBitmap(&packed, &canvas.dc));
    const BYTE* copy = static_cast<const BYTE*>(bitmap.GetBits());
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(std::memcmp(copy + 16 * y, packed.GetPixelBuffer() + 15 * y, 15), 0);
        EXPECT_EQ(copy[16 * y + 15], 0) << "padding bytes are zero";
    }
    // The surfaces are no palette devices: a grey ramp colour table, RGB usage.
    ASSERT_TRUE(bitmap.CreateBitmap(&grey, &canvas.dc));
    EXPECT_EQ(bitmap.GetColorUsage(), DIB_RGB_COLORS);
    const RGBQUAD* table = bitmap.GetBitmapInfo()->bmiColors;
    for (int i = 0; i < 256; ++i) ASSERT_TRUE(table[i].rgbRed == i && table[i].rgbGreen == i && table[i].rgbBlue == i);

    EXPECT_FALSE(grey.StretchBitmap(&canvas.dc, 0, 0, 100, 100, CRect(), nullptr)) << "no bitmap yet";
    ASSERT_TRUE(grey.CreateBitmap(nullptr));
    EXPECT_FALSE(grey.StretchBitmap(nullptr, 0, 0, 100, 100, CRect(), nullptr) ||
                 grey.StretchBitmap(&canvas.dc, 0, 0, 0, 0, CRect(), nullptr));
    COLORADJUSTMENT adjustment{};
    adjustment.caSize = sizeof adjustment;
    EXPECT_TRUE(grey.StretchBitmap(&canvas.dc, 0, 0, 100, 100, CRect(), &adjustment)) << "palette made on first use";
    EXPECT_EQ(canvas.dc.GetStretchBltMode(), HALFTONE);
    EXPECT_EQ(canvas.At(1, 0), Shown(grey, 1, 0));
    CImageBuffer inPlace(CSize(8, 2), 8); // aligned rows: the bitmap uses them in place
    ASSERT_TRUE(inPlace.CreateBitmap(&canvas.dc));
    inPlace.Create1(CSize(9, 9), 8);
    EXPECT_FALSE(inPlace.StretchBitmap(&canvas.dc, 0, 0, 100, 100, CRect(), nullptr)) << "pixels moved: make it again";
}

TEST(DIB, LoadsAnImageMagickPaletteBitmapAndDrawsIt) {
    REQUIRE_TOOL(convert, "convert", "imagemagick");
    zep3test::TempDir dir;
    const std::string file = dir.file("palette.bmp");
    ASSERT_EQ(zep3test::runCommand(convert + " -size 7x5 xc:'#C81E1E' -fill '#1E32DC' -draw 'rectangle 2,1 5,3'" +
                                   " -fill '#28C83C' -draw 'point 6,4' -type Palette BMP3:'" + file + "'"),
              0);
    const imgtest::Picture picture = imgtest::decodeWith(convert + " '" + file + "' -depth 8 ppm:-");
    ASSERT_EQ(picture.width, 7);
    auto expected = [&](int x, int y) {
        const char* p = picture.pixels.data() + (y * 7 + x) * 3;
        return RGB(BYTE(p[0]), BYTE(p[1]), BYTE(p[2]));
    };

    CDIB dib;
    ASSERT_TRUE(dib.Load(file.c_str()));
    BITMAP bm;
    ASSERT_TRUE(dib.GetBitmap(&bm));
    EXPECT_LE(bm.bmBitsPixel, 8) << "a palette bitmap";
    RGBQUAD table[256];
    EXPECT_EQ(dib.GetPalette()->GetEntryCount(), int(dib.GetColorTable(table, 256)));

    for (BOOL drawDib : {TRUE, FALSE}) {
        SCOPED_TRACE(drawDib ? "DrawDib" : "block copy");
        const CRect at(2, 3, 9, 8), partDst(0, 0, 6, 4), partSrc(4, 2, 7, 4);
        Canvas canvas(30, 20);
        ASSERT_TRUE(dib.Draw(canvas.dc, &at, nullptr, drawDib));
        EXPECT_EQ(canvas.Ink(), at);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) ASSERT_EQ(canvas.At(2 + x, 3 + y), expected(x, y)) << x << "," << y;
        // A part of the picture at twice its size.
        Canvas part(30, 20);
        ASSERT_TRUE(dib.Draw(part.dc, &partDst, &partSrc, drawDib, nullptr, FALSE));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) ASSERT_EQ(part.At(x, y), expected(4 + x / 2, 2 + y / 2)) << x << "," << y;
    }

    // The same bitmap as a resource of the executable, by name and by id.
    static std::string resource; // registered resources must outlive their use
    resource = zep3test::readFile(file).substr(14);
    ASSERT_TRUE(ZEP3RegisterResource(nullptr, RT_BITMAP, "PICTURE", resource.data(), DWORD(resource.size())));
    ASSERT_TRUE(ZEP3RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCE(101), resource.data(), DWORD(resource.size())));
    for (int byId = 0; byId < 2; ++byId) {
        CDIB fromResource;
        ASSERT_TRUE(byId ? fromResource.Load(nullptr, 101u) : fromResource.Load(nullptr, "picture"));
        Canvas canvas(10, 10);
        ASSERT_TRUE(fromResource.Draw(canvas.dc, nullptr, nullptr));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) ASSERT_EQ(canvas.At(x, y), expected(x, y)) << x << "," << y;
    }

    // Bad input keeps what was loaded; DeleteObject empties.
    EXPECT_FALSE(dib.Load(dir.file("missing.bmp").c_str()) || dib.Load(nullptr, 999u));
    EXPECT_EQ(dib.GetSize(), CSize(7, 5));
    EXPECT_TRUE(dib.DeleteObject());
    Canvas canvas(4, 4);
    EXPECT_FALSE(dib.Draw(canvas.dc));
}
