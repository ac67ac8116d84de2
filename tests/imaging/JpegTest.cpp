#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <cstring>
#include <memory>
#include <random>
#include <vector>

using imgtest::Picture;
using zep3test::dataFile;

namespace {

struct Block {
    void operator()(void* p) const { delete[] static_cast<unsigned char*>(p); }
};
using Owned = std::unique_ptr<void, Block>;

// A bottom-up bitmap of an image: rows padded to 4 bytes, last row first.
std::vector<BYTE> toBitmap(const CImageBuffer& image) {
    const int w = image.GetSize().cx, h = image.GetSize().cy, row = w * image.GetPixelSize();
    const int stride = (row + 3) & ~3;
    std::vector<BYTE> bitmap(size_t(stride) * h, 0);
    for (int y = 0; y < h; ++y) std::memcpy(&bitmap[size_t(h - 1 - y) * stride], image.GetPixelBuffer() + y * row, row);
    return bitmap;
}

// A bottom-up bitmap as a top-down picture.
Picture fromBitmap(const void* bitmap, int width, int height, int channels) {
    const int stride = (width * channels + 3) & ~3;
    const auto* last = static_cast<const BYTE*>(bitmap) + size_t(height - 1) * stride;
    return imgtest::fromBgr(last, width, height, channels, -stride);
}

} // namespace

TEST(CJpeg, CompressesBitmapsWithItsCommentAndHalvedChroma) {
    REQUIRE_TOOL(djpeg, "djpeg", "libjpeg-turbo-progs");
    REQUIRE_TOOL(identify, "identify", "imagemagick");
    zep3test::TempDir dir;
    CImageBuffer frame = imgtest::makeFrame(161, 90, 2), grey(CSize(1, 1), 8);
    ASSERT_TRUE(ConvertImageBuffer(&grey, &frame));
    for (const CImageBuffer* image : {&frame, &grey}) {
        const int channels = image->GetPixelSize();
        const std::vector<BYTE> bitmap = toBitmap(*image);
        int size = 0;
        Owned jpeg(CJpeg::Compress(bitmap.data(), 161, 90, channels, size, 75));
        ASSERT_TRUE(jpeg);
        const std::string bytes(static_cast<char*>(jpeg.get()), size_t(size));
        EXPECT_NE(bytes.find(std::string("\xFF\xFE\x00\x15" "Dravolin JPEG Data", 22) + '\0'), std::string::npos);
        const std::string file = dir.file("c.jpg");
        zep3test::writeFile(file, bytes);

        const Picture decoded = imgtest::decodeWith(djpeg + " -pnm " + file);
        const Picture source = imgtest::fromBgr(image->GetPixelBuffer(), 161, 90, channels, 161 * channels);
        EXPECT_GE(imgtest::psnr(decoded, source), 30.0) << channels;
        std::string report;
        zep3test::runCommand(identify + " -format '%[jpeg:sampling-factor]|%c' " + file, &report);
        EXPECT_EQ(report, channels == 3 ? "2x2,1x1,1x1|Dravolin JPEG Data" : "1x1|Dravolin JPEG Data");

        // Back to the same bitmap layout: bottom-up, padded rows.
        int width = 0, height = 0, padding = -1, decodedChannels = 0;
        Owned back(CJpeg::Decompress(width, height, decodedChannels, jpeg.get(), size, false, &padding));
        ASSERT_TRUE(back);
        EXPECT_EQ(width, 161);
        EXPECT_EQ(height, 90);
        EXPECT_EQ(decodedChannels, channels);
        EXPECT_EQ(padding, channels == 3 ? 1 : 3);
        EXPECT_GE(imgtest::psnr(fromBitmap(back.get(), 161, 90, channels), source), 30.0);
        width = 160;
        EXPECT_FALSE(Owned(CJpeg::Decompress(width, height, decodedChannels, jpeg.get(), size, true)));
    }
}

TEST(CJpeg, HeaderScannerKnowsBaselineFramesAndTheCodecTheRest) {
    REQUIRE_TOOL(djpeg, "djpeg", "libjpeg-turbo-progs");
    for (const char* name : {"baseline-101x37.jpg", "progressive-101x37.jpg", "grey-64x48.jpg"}) {
        const std::string file = dataFile(std::string("jpeg/") + name);
        const std::string data = zep3test::readFile(file);
        const Picture expected = imgtest::decodeWith(djpeg + " -pnm " + file);
        int w = 0, h = 0, c = 0;
        const bool baseline = std::string(name).find("progressive") == std::string::npos;
        EXPECT_EQ(CJpeg::ReadHeader(data.data(), int(data.size()), w, h, c), baseline) << name;
        if (baseline) {
            EXPECT_TRUE(w == expected.width && h == expected.height && c == expected.channels) << name;
        }

        w = h = c = 0;
        Owned pixels(CJpeg::Decompress(w, h, c, data.data(), int(data.size())));
        ASSERT_TRUE(pixels) << name;
        EXPECT_EQ(w, expected.width);
        EXPECT_EQ(c, expected.channels);
        EXPECT_EQ(fromBitmap(pixels.get(), w, h, c).pixels, expected.pixels) << name;
    }
}

TEST(CJpeg, FailuresAreNull) {
    const BYTE pixels[64 * 3] = {};
    int size = -1;
    EXPECT_FALSE(Owned(CJpeg::Compress(pixels, 8, 8, 2, size)));
    EXPECT_FALSE(Owned(CJpeg::Compress(pixels, 8, 8, 4, size)));
    EXPECT_FALSE(Owned(CJpeg::Compress(nullptr, 8, 8, 3, size)));
    EXPECT_FALSE(Owned(CJpeg::Compress(pixels, 0, 8, 3, size)));
    EXPECT_FALSE(Owned(CJpeg::Compress(pixels, 8, 8, 3, size, 100))); // the JPEG outgrows the 192-byte block
    EXPECT_EQ(size, -1);

    int w, h, c;
    EXPECT_FALSE(CJpeg::ReadHeader(nullptr, 10, w, h, c));
    EXPECT_FALSE(Owned(CJpeg::Decompress(w, h, c, nullptr, 100)));
    for (const char* name : {"truncated.jpg", "garbage.jpg", "oversized.jpg", "cmyk-101x37.jpg"}) {
        const std::string data = zep3test::readFile(dataFile(std::string("jpeg/") + name));
        EXPECT_FALSE(Owned(CJpeg::Decompress(w, h, c, data.data(), int(data.size())))) << name;
    }
    // Random damage fails or decodes, within bounds; the scanner never reads past the end.
    const std::string good = zep3test::readFile(dataFile("jpeg/baseline-101x37.jpg"));
    std::mt19937 rng(13);
    for (int round = 0; round < 300; ++round) {
        std::string bad = good.substr(0, rng() % good.size());
        for (int k = 0; k < 3 && !bad.empty(); ++k) bad[rng() % bad.size()] = char(rng());
        const std::unique_ptr<char[]> exact(new char[bad.size()]);
        std::memcpy(exact.get(), bad.data(), bad.size());
        CJpeg::ReadHeader(exact.get(), int(bad.size()), w, h, c);
        Owned(CJpeg::Decompress(w, h, c, exact.get(), int(bad.size())));
    }
}
