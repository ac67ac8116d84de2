#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <cmath>
#include <cstring>

using imgtest::Picture;
using zep3test::dataFile;

namespace {

Picture magick(const std::string& convert, const std::string& file, const char* format) {
    return imgtest::decodeWith(convert + " '" + file + "' -depth 8 " + format + ":-");
}

// The file read into a new image of the given format; empty on failure.
CImageBuffer readBmp(const std::string& file, int bitCount, int padding = 0) {
    CBmpFile bmp;
    CSize size;
    int fileBits = 0;
    CImageBuffer image;
    if (!bmp.ReadImageHeader(file.c_str(), &size, &fileBits) || !image.Create1(size, bitCount, padding) ||
        !bmp.ReadImageBuffer(&image))
        image.Destroy();
    return image;
}

} // namespace

TEST(CBmpFile, WrittenFilesShowTheSamePixelsInImageMagick) {
    REQUIRE_TOOL(convert, "convert", "imagemagick");
    zep3test::TempDir dir;
    const std::string file = dir.file("w.bmp");
    for (int bits : {8, 16, 24, 32}) {
        for (int width : {5, 13}) {
            CImageBuffer image(CSize(width, 3), bits);
            imgtest::fillRandom(image, unsigned(bits + width));
            ASSERT_TRUE(CBmpFile::WriteImage(file.c_str(), &image));
            const int ps = bits / 8, stride = (width * ps + 3) & ~3;
            EXPECT_EQ(zep3test::readFile(file).size(), size_t((bits == 8 ? 1078 : 54) + 3 * stride));

            const Picture shown = magick(convert, file, "ppm");
            ASSERT_EQ(shown.pixels.size(), size_t(width) * 3 * 3) << bits;
            for (int i = 0; i < width * 3; ++i) {
                const BYTE* p = image.GetPixelBuffer() + i * ps;
                const unsigned w = bits == 16 ? p[0] | p[1] << 8 : 0;
                for (int c = 0; c < 3; ++c) {
                    // ImageMagick scales 5-bit channels to 8 bits by 255 / 31.
                    const int expected = bits == 8    ? p[0]
                                         : bits == 16 ? int(std::lround((w >> (10 - 5 * c) & 31) * 255 / 31.0))
                                                      : p[2 - c];
                    ASSERT_NEAR(BYTE(shown.pixels[i * 3 + c]), expected, bits == 16) << bits << "/" << width << "/" << i;
                }
            }
            if (bits == 32) continue; // written, never read
            const CImageBuffer back = readBmp(file, bits);
            ASSERT_FALSE(back.IsEmpty());
            EXPECT_EQ(std::memcmp(back.GetPixelBuffer(), image.GetPixelBuffer(), size_t(width) * ps * 3), 0);
        }
    }
}

TEST(CBmpFile, ReadsImageMagickFilesIntoAnyTarget) {
    REQUIRE_TOOL(convert, "convert", "imagemagick");
    const Picture grey = magick(convert, dataFile("bmp/gray8-17x16.bmp"), "pgm");
    const CImageBuffer grey8 = readBmp(dataFile("bmp/gray8-17x16.bmp"), 8);
    EXPECT_EQ(imgtest::fromBgr(grey8.GetPixelBuffer(), 17, 16, 1, 17).pixels, grey.pixels);
    const CImageBuffer grey24 = readBmp(dataFile("bmp/gray8-17x16.bmp"), 24, 1);
    std::string tripled;
    for (char g : grey.pixels) tripled.append(3, g);
    EXPECT_EQ(imgtest::fromBgr(grey24.GetPixelBuffer(), 17, 16, 3, 17 * 3 + 1).pixels, tripled);

    const Picture colour = magick(convert, dataFile("bmp/rgb24-13x7.bmp"), "ppm");
    const CImageBuffer rgb = readBmp(dataFile("bmp/rgb24-13x7.bmp"), 24, 3);
    EXPECT_EQ(imgtest::fromBgr(rgb.GetPixelBuffer(), 13, 7, 3, 13 * 3 + 3).pixels, colour.pixels);
    const CImageBuffer mean = readBmp(dataFile("bmp/rgb24-13x7.bmp"), 8);
    for (int i = 0; i < 13 * 7; ++i) {
        const BYTE* p = reinterpret_cast<const BYTE*>(colour.pixels.data()) + 3 * i;
        ASSERT_EQ(mean.GetPixelBuffer()[i], (p[0] + p[1] + p[2]) / 3) << i;
    }
    EXPECT_TRUE(readBmp(dataFile("bmp/rgb24-13x7.bmp"), 16).IsEmpty()); // 24 to 16 bits is not offered
}

TEST(CBmpFile, RefusesWhatItCannotReadOrWrite) {
    // The bit count is told once the info header is known, also when refused.
    const std::pair<const char*, int> files[] = {
        {"v5header-13x7.bmp", -1}, {"rle8-17x16.bmp", 8}, {"indexed4-13x7.bmp", 4}, {"bgra32-13x7.bmp", 32}};
    for (auto [name, fileBits] : files) {
        CBmpFile bmp;
        int bits = -1;
        EXPECT_FALSE(bmp.ReadImageHeader(dataFile(std::string("bmp/") + name).c_str(), nullptr, &bits)) << name;
        EXPECT_EQ(bits, fileBits) << name;
    }
    CBmpFile loaded(dataFile("bmp/rgb24-13x7.bmp").c_str());
    CImageBuffer wrongSize(CSize(13, 8), 24);
    EXPECT_FALSE(loaded.ReadImageBuffer(&wrongSize));
    EXPECT_FALSE(loaded.ReadImageBuffer(nullptr));

    zep3test::TempDir dir;
    const CImageBuffer empty, wide(CSize(2, 2), 40);
    const std::string file = dir.file("a.bmp");
    EXPECT_FALSE(CBmpFile::WriteImage(file.c_str(), nullptr) || CBmpFile::WriteImage(file.c_str(), &empty) ||
                 CBmpFile::WriteImage(file.c_str(), &wide) ||
                 CBmpFile::WriteImage(dir.file("no/such/folder.bmp").c_str(), &wrongSize));
}
