#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <cstring>
#include <memory>
#include <vector>

using imgtest::Picture;
using zep3test::dataFile;

namespace {

struct Block {
    void operator()(void* p) const { delete[] static_cast<unsigned char*>(p); }
};
using Owned = std::unique_ptr<void, Block>;

int bitmapStride(int width, int channels) { return (width * channels + 3) & ~3; }

// An image as a display bitmap: rows padded to 4 bytes, bottom row first.
std::vector<BYTE> toBitmap(const CImageBuffer& image) {
    const int w = image.GetSize().cx, h = image.GetSize().cy, row = w * image.GetPixelSize();
    const int stride = bitmapStride(w, image.GetPixelSize());
    std::vector<BYTE> bitmap(size_t(stride) * h, 0);
    for (int y = 0; y < h; ++y) std::memcpy(&bitmap[size_t(h - 1 - y) * stride], image.GetPixelBuffer() + y * row, row);
    return bitmap;
}

Picture fromBitmap(const void* bitmap, int width, int height, int channels) {
    const int stride = bitmapStride(width, channels);
    return imgtest::fromBgr(static_cast<const BYTE*>(bitmap) + size_t(height - 1) * stride, width, height, channels, -stride);
}

} // namespace

TEST(CJpeg, CompressesBitmapsWithItsCommentAndHalvedChroma) {
    REQUIRE_TOOL(djpeg, "djpeg", "libjpeg-turbo-progs");
    REQUIRE_TOOL(identify, "identify", "imagemagick");
    zep3test::TempDir dir;
    const std::string file = dir.file("c.jpg");
    CImageBuffer frame = imgtest::makeFrame(161, 90), grey(CSize(1, 1), 8);
    ASSERT_TRUE(ConvertImageBuffer(&grey, &frame));
    for (const CImageBuffer* image : {&frame, &grey}) {
        const int channels = image->GetPixelSize();
        const Picture source = imgtest::fromBgr(image->GetPixelBuffer(), 161, 90, channels, 161 * channels);
        int size = 0;
        const Owned jpeg(CJpeg::Compress(toBitmap(*image).data(), 161, 90, channels, size, 75));
        ASSERT_TRUE(jpeg);
        const std::string bytes(static_cast<char*>(jpeg.get()), size_t(size));
        EXPECT_NE(bytes.find(std::string("\xFF\xFE\x00\x15" "Dravolin JPEG Data", 22) + '\0'), std::string::npos);
        zep3test::writeFile(file, bytes);
        EXPECT_GE(imgtest::psnr(imgtest::decodeWith(djpeg + " -pnm " + file), source), 30.0) << channels;
        std::string report;
        zep3test::runCommand(identify + " -format '%[jpeg:sampling-factor]|%c' " + file, &report);
        EXPECT_EQ(report, channels == 3 ? "2x2,1x1,1x1|Dravolin JPEG Data" : "1x1|Dravolin JPEG Data");

        // Back to the same layout: bottom-up, padded rows.
        int width = 0, height = 0, padding = -1, decodedChannels = 0;
        const Owned back(CJpeg::Decompress(width, height, decodedChannels, jpeg.get(), size, false, &padding));
        ASSERT_TRUE(back);
        EXPECT_TRUE(width == 161 && height == 90 && decodedChannels == channels);
        EXPECT_EQ(padding, channels == 3 ? 1 : 3);
        EXPECT_GE(imgtest::psnr(fromBitmap(back.get(), 161, 90, channels), source), 30.0);
        width = 160;
        EXPECT_FALSE(Owned(CJpeg::Decompress(width, height, decodedChannels, jpeg.get(), size, true)));
    }
    const BYTE pixels[8 * 8 * 3] = {};
    int size = -1;
    for (int channels : {2, 4}) EXPECT_FALSE(Owned(CJpeg::Compress(pixels, 8, 8, channels, size)));
    EXPECT_FALSE(Owned(CJpeg::Compress(pixels, 8, 8, 3, size, 100))); // the JPEG outgrows the 192-byte block
    EXPECT_EQ(size, -1);
}
