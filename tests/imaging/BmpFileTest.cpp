#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <cmath>
#include <cstring>
#include <random>

using imgtest::Picture;
using zep3test::dataFile;

namespace {

// What ImageMagick prints for a file: RGB rows, top-down.
Picture magickRgb(const std::string& convert, const std::string& file, const char* format = "ppm") {
    return imgtest::decodeWith(convert + " '" + file + "' -depth 8 " + format + ":-");
}

CImageBuffer readBmp(const std::string& file, int bitCount, int padding = 0) {
    CBmpFile bmp;
    CSize size;
    int fileBits = 0;
    CImageBuffer image;
    if (bmp.ReadImageHeader(file.c_str(), &size, &fileBits) && image.Create1(size, bitCount, padding) &&
        !bmp.ReadImageBuffer(&image))
        image.Destroy();
    return image;
}

} // namespace

TEST(CBmpFile, WrittenFilesShowTheSamePixelsInImageMagick) {
    REQUIRE_TOOL(convert, "convert", "imagemagick");
    zep3test::TempDir dir;
    for (int bits : {8, 16, 24, 32}) {
        for (int width : {5, 13}) {
            CImageBuffer image(CSize(width, 3), bits);
            imgtest::fillRandom(image, unsigned(bits + width));
            const std::string file = dir.file("w.bmp");
            ASSERT_TRUE(CBmpFile::WriteImage(file.c_str(), &image));
            const int ps = bits / 8, stride = (width * ps + 3) & ~3;
            EXPECT_EQ(zep3test::readFile(file).size(), size_t((bits == 8 ? 1078 : 54) + 3 * stride));

            const Picture shown = magickRgb(convert, file);
            ASSERT_EQ(shown.pixels.size(), size_t(width) * 3 * 3) << bits;
            for (int i = 0; i < width * 3; ++i) {
                const BYTE* p = image.GetPixelBuffer() + i * ps;
                int expected[3];
                if (bits == 8) {
                    expected[0] = expected[1] = expected[2] = p[0];
                } else if (bits == 16) {
                    const unsigned w = p[0] | p[1] << 8;
                    for (int c = 0; c < 3; ++c) expected[c] = int(std::lround(((w >> (10 - 5 * c)) & 31) * 255 / 31.0));
                } else {
                    expected[0] = p[2], expected[1] = p[1], expected[2] = p[0];
                }
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(BYTE(shown.pixels[i * 3 + c]), expected[c], bits == 16 ? 1 : 0)
                        << bits << " bits, width " << width << ", pixel " << i;
            }
            if (bits == 32) continue; // written, but not read
            const CImageBuffer back = readBmp(file, bits);
            ASSERT_FALSE(back.IsEmpty());
            EXPECT_EQ(std::memcmp(back.GetPixelBuffer(), image.GetPixelBuffer(), size_t(width) * ps * 3), 0);
        }
    }
}

TEST(CBmpFile, ReadsImageMagickFilesIntoAnyTarget) {
    REQUIRE_TOOL(convert, "convert", "imagemagick");
    const Picture grey = magickRgb(convert, dataFile("bmp/gray8-17x16.bmp"), "pgm");
    ASSERT_EQ(grey.pixels.size(), 17u * 16);
    const CImageBuffer grey8 = readBmp(dataFile("bmp/gray8-17x16.bmp"), 8);
    EXPECT_EQ(imgtest::fromBgr(grey8.GetPixelBuffer(), 17, 16, 1, 17).pixels, grey.pixels);
    const CImageBuffer grey24 = readBmp(dataFile("bmp/gray8-17x16.bmp"), 24, 1);
    for (int i = 0; i < 17 * 16; ++i) {
        const BYTE* p = grey24.GetPixelBuffer() + i / 17 * (17 * 3 + 1) + i % 17 * 3;
        ASSERT_TRUE(p[0] == BYTE(grey.pixels[i]) && p[1] == p[0] && p[2] == p[0]) << i;
    }

    const Picture colour = magickRgb(convert, dataFile("bmp/rgb24-13x7.bmp"));
    const CImageBuffer rgb = readBmp(dataFile("bmp/rgb24-13x7.bmp"), 24, 3);
    EXPECT_EQ(imgtest::fromBgr(rgb.GetPixelBuffer(), 13, 7, 3, 13 * 3 + 3).pixels, colour.pixels);
    const CImageBuffer mean = readBmp(dataFile("bmp/rgb24-13x7.bmp"), 8);
    for (int i = 0; i < 13 * 7; ++i) {
        const BYTE* p = reinterpret_cast<const BYTE*>(colour.pixels.data()) + 3 * i;
        ASSERT_EQ(mean.GetPixelBuffer()[i], (p[0] + p[1] + p[2]) / 3) << i;
    }
    EXPECT_TRUE(readBmp(dataFile("bmp/rgb24-13x7.bmp"), 16).IsEmpty()); // 24 to 16 bits is not offered
}

TEST(CBmpFile, RefusesFilesItCannotRead) {
    for (const char* name : {"v5header-13x7.bmp", "rle8-17x16.bmp", "indexed4-13x7.bmp", "bgra32-13x7.bmp",
                             "truncated.bmp", "garbage.bmp", "oversized.bmp", "missing.bmp"}) {
        CBmpFile bmp;
        CSize size(-7, -7);
        int bits = -1;
        EXPECT_FALSE(bmp.ReadImageHeader(dataFile(std::string("bmp/") + name).c_str(), &size, &bits)) << name;
        EXPECT_EQ(size, CSize(-7, -7)) << name;
        if (std::string(name) == "bgra32-13x7.bmp") {
            EXPECT_EQ(bits, 32);
        }
        CImageBuffer image(CSize(13, 7), 24);
        EXPECT_FALSE(bmp.ReadImageBuffer(&image)) << name;
    }
    CBmpFile loaded(dataFile("bmp/rgb24-13x7.bmp").c_str());
    CImageBuffer wrongSize(CSize(13, 8), 24);
    EXPECT_FALSE(loaded.ReadImageBuffer(&wrongSize));
    EXPECT_FALSE(loaded.ReadImageBuffer(nullptr));

    zep3test::TempDir dir;
    const CImageBuffer empty, wide(CSize(2, 2), 40);
    EXPECT_FALSE(CBmpFile::WriteImage(dir.file("a.bmp").c_str(), nullptr));
    EXPECT_FALSE(CBmpFile::WriteImage(dir.file("a.bmp").c_str(), &empty));
    EXPECT_FALSE(CBmpFile::WriteImage(dir.file("a.bmp").c_str(), &wide));
    EXPECT_FALSE(CBmpFile::WriteImage(dir.file("no/such/folder.bmp").c_str(), &wrongSize));
}

// Every truncation and random header damage of a valid file is refused or
// read within bounds (AddressSanitizer watches the reads).
TEST(CBmpFile, SurvivesDamagedFiles) {
    zep3test::TempDir dir;
    const std::string good = zep3test::readFile(dataFile("bmp/rgb24-13x7.bmp"));
    const std::string file = dir.file("d.bmp");
    for (size_t n = 0; n < good.size(); n += 5) {
        zep3test::writeFile(file, good.substr(0, n));
        CBmpFile bmp;
        EXPECT_FALSE(bmp.ReadImageHeader(file.c_str(), nullptr, nullptr)) << n;
    }
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::string bad = good;
        for (int k = 0; k < 3; ++k) bad[rng() % 54] = char(rng());
        zep3test::writeFile(file, bad);
        CBmpFile bmp;
        CSize size;
        if (!bmp.ReadImageHeader(file.c_str(), &size, nullptr)) continue;
        CImageBuffer image(size, 8);
        bmp.ReadImageBuffer(&image);
    }
}
