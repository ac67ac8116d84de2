// Both JPEG classes: what they write decodes in djpeg at 30 dB or better,
// and they decode cjpeg's files as djpeg does.
#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <cstdlib>
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

TEST(Jpeg, BothEncodersWriteWhatDjpegDecodes) {
    REQUIRE_TOOL(djpeg, "djpeg", "libjpeg-turbo-progs");
    REQUIRE_TOOL(identify, "identify", "imagemagick");
    zep3test::TempDir dir;
    const std::string file = dir.file("c.jpg");
    CImageBuffer frame = imgtest::makeFrame(161, 90), grey(CSize(1, 1), 8);
    ASSERT_TRUE(ConvertImageBuffer(&grey, &frame));
    for (const CImageBuffer* image : {&frame, &grey}) {
        const int channels = image->GetPixelSize();
        SCOPED_TRACE(channels);
        const Picture source = imgtest::fromBgr(image->GetPixelBuffer(), 161, 90, channels, 161 * channels);
        // CJpeg: display bitmaps in and out, its comment and halved chroma.
        int size = 0;
        const Owned jpeg(CJpeg::Compress(toBitmap(*image).data(), 161, 90, channels, size, 75));
        ASSERT_TRUE(jpeg);
        const std::string bytes(static_cast<char*>(jpeg.get()), size_t(size));
        EXPECT_NE(bytes.find(std::string("\xFF\xFE\x00\x15" "Dravolin JPEG Data", 22) + '\0'), std::string::npos);
        zep3test::writeFile(file, bytes);
        EXPECT_GE(imgtest::psnr(imgtest::decodeWith(djpeg + " -pnm " + file), source), 30.0);
        std::string report;
        zep3test::runCommand(identify + " -format '%[jpeg:sampling-factor]|%c' " + file, &report);
        EXPECT_EQ(report, channels == 3 ? "2x2,1x1,1x1|Dravolin JPEG Data" : "1x1|Dravolin JPEG Data");
        int width = 0, height = 0, padding = -1, decodedChannels = 0;
        const Owned back(CJpeg::Decompress(width, height, decodedChannels, jpeg.get(), size, false, &padding));
        ASSERT_TRUE(back);
        EXPECT_TRUE(width == 161 && height == 90 && decodedChannels == channels);
        EXPECT_EQ(padding, channels == 3 ? 1 : 3);
        EXPECT_GE(imgtest::psnr(fromBitmap(back.get(), 161, 90, channels), source), 30.0);
        width = 160;
        EXPECT_FALSE(Owned(CJpeg::Decompress(width, height, decodedChannels, jpeg.get(), size, true)));

        // CJpegFile: top-down rows; the file and the memory stream are one encoder's bytes.
        CJpegFile jpegFile;
        const bool colour = channels == 3;
        ASSERT_TRUE(jpegFile.SaveJpegToFile(file.c_str(), image->GetPixelBuffer(), CSize(161, 90), colour, nullptr, 75));
        void* data = nullptr;
        int length = 0;
        ASSERT_TRUE(jpegFile.Compress(&data, length, image->GetPixelBuffer(), CSize(161, 90), colour, nullptr, 75));
        EXPECT_EQ(std::string(static_cast<char*>(data), size_t(length)), zep3test::readFile(file));
        std::free(data);
        const Picture decoded = imgtest::decodeWith(djpeg + " -pnm " + file);
        EXPECT_EQ(decoded.channels, channels);
        EXPECT_GE(imgtest::psnr(decoded, source), 30.0);
    }
    const BYTE pixels[8 * 8 * 3] = {};
    int size = -1;
    for (int channels : {2, 4}) EXPECT_FALSE(Owned(CJpeg::Compress(pixels, 8, 8, channels, size)));
    EXPECT_FALSE(Owned(CJpeg::Compress(pixels, 8, 8, 3, size, 100))); // the JPEG outgrows the 192-byte block
    EXPECT_EQ(size, -1);
}

// CJpeg's header scanner knows baseline frames and leaves the others to the codec.
TEST(Jpeg, BothDecodersReadCjpegFilesAsDjpegDoes) {
    REQUIRE_TOOL(djpeg, "djpeg", "libjpeg-turbo-progs");
    for (const char* name : {"baseline-101x37.jpg", "progressive-101x37.jpg", "grey-64x48.jpg"}) {
        SCOPED_TRACE(name);
        const std::string file = dataFile(std::string("jpeg/") + name);
        std::string data = zep3test::readFile(file);
        const Picture native = imgtest::decodeWith(djpeg + " -pnm " + file);
        int w = 0, h = 0, c = 0;
        const bool baseline = std::string(name).find("progressive") == std::string::npos;
        EXPECT_EQ(CJpeg::ReadHeader(data.data(), int(data.size()), w, h, c), baseline);
        EXPECT_TRUE(!baseline || (w == native.width && h == native.height && c == native.channels));
        w = h = c = 0;
        const Owned bitmap(CJpeg::Decompress(w, h, c, data.data(), int(data.size())));
        ASSERT_TRUE(bitmap && w == native.width && c == native.channels);
        EXPECT_EQ(fromBitmap(bitmap.get(), w, h, c).pixels, native.pixels);

        // CJpegFile: RGB rows padded to a multiple of four pixels with zeros.
        const Picture expected = imgtest::decodeWith(djpeg + " -rgb -pnm " + file);
        CJpegFile jpeg, fromMemory;
        unsigned char *pixels = nullptr, *memoryPixels = nullptr;
        CSize size, memorySize;
        ASSERT_TRUE(jpeg.LoadFromFile(file.c_str(), &pixels, size));
        const int rounded = (expected.width + 3) & ~3; // 101 → 104
        EXPECT_EQ(size, CSize(rounded, expected.height));
        EXPECT_EQ(imgtest::fromBgr(pixels, expected.width, size.cy, 3, rounded * 3).pixels, expected.pixels);
        for (int y = 0; y < size.cy; ++y)
            for (int x = expected.width * 3; x < rounded * 3; ++x) ASSERT_EQ(pixels[y * rounded * 3 + x], 0);
        ASSERT_TRUE(fromMemory.Decompress(data.data(), int(data.size()), &memoryPixels, memorySize));
        EXPECT_EQ(memorySize, size);
        EXPECT_EQ(std::memcmp(memoryPixels, pixels, size_t(size.cx) * size.cy * 3), 0);
        const CJpegFile copy(jpeg); // copies own their pictures (ASan checks the frees)
        jpeg = fromMemory;
    }
}

TEST(CJpegFile, AnEmptyPathAsksTheFileDialog) {
    zep3test::TempDir dir;
    const std::string file = dir.file("chosen.jpg");
    const CImageBuffer frame = imgtest::makeFrame(40, 30);
    CJpegFile jpeg;
    unsigned char* pixels = nullptr;
    CSize size;
    EXPECT_FALSE(jpeg.SaveJpegToFile("", frame.GetPixelBuffer(), CSize(40, 30), true)); // nobody answers
    std::vector<std::string> asked;
    SetFileDialogHook([&](const CFileDialog& dialog, CString& path) -> INT_PTR {
        asked.push_back(std::string(dialog.IsOpenFileDialog() ? "open " : "save ") +
                        dialog.GetDefaultExtension().GetString() + " " + dialog.GetFilter().GetString());
        path = file.c_str();
        return IDOK;
    });
    EXPECT_TRUE(jpeg.SaveJpegToFile("", frame.GetPixelBuffer(), CSize(40, 30), true));
    EXPECT_TRUE(jpeg.LoadFromFile("", &pixels, size));
    SetFileDialogHook(nullptr);
    EXPECT_EQ(size, CSize(40, 30));
    EXPECT_EQ(asked, (std::vector<std::string>{"save jpg JPEG Files (*.jpg)|*.jpg||", "open jpg JPEG Files (*.jpg)|*.jpg||"}));
}
