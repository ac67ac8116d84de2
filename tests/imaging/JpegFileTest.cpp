#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using imgtest::Picture;
using zep3test::dataFile;

TEST(CJpegFile, WritesJpegsThatDjpegDecodes) {
    REQUIRE_TOOL(djpeg, "djpeg", "libjpeg-turbo-progs");
    zep3test::TempDir dir;
    const std::string saved = dir.file("saved.jpg");
    CImageBuffer frame = imgtest::makeFrame(161, 90), grey(CSize(1, 1), 8);
    ASSERT_TRUE(ConvertImageBuffer(&grey, &frame));
    CJpegFile jpeg;
    for (const CImageBuffer* image : {&frame, &grey}) {
        const bool colour = image == &frame;
        const int channels = colour ? 3 : 1;
        ASSERT_TRUE(jpeg.SaveJpegToFile(saved.c_str(), image->GetPixelBuffer(), CSize(161, 90), colour, nullptr, 75));
        void* data = nullptr;
        int length = 0;
        ASSERT_TRUE(jpeg.Compress(&data, length, image->GetPixelBuffer(), CSize(161, 90), colour, nullptr, 75));
        EXPECT_EQ(std::string(static_cast<char*>(data), size_t(length)), zep3test::readFile(saved)); // one encoder
        std::free(data);
        const Picture decoded = imgtest::decodeWith(djpeg + " -pnm " + saved);
        const Picture source = imgtest::fromBgr(image->GetPixelBuffer(), 161, 90, channels, 161 * channels);
        EXPECT_EQ(decoded.channels, channels);
        EXPECT_GE(imgtest::psnr(decoded, source), 30.0) << channels;
    }
}

// Both JPEG classes decode cjpeg's files as djpeg does; CJpeg's header
// scanner knows baseline frames and leaves the others to the codec.
TEST(JpegDecoders, DecodeCjpegFilesAsDjpegDoes) {
    REQUIRE_TOOL(djpeg, "djpeg", "libjpeg-turbo-progs");
    for (const char* name : {"baseline-101x37.jpg", "progressive-101x37.jpg", "grey-64x48.jpg"}) {
        const std::string file = dataFile(std::string("jpeg/") + name);
        std::string data = zep3test::readFile(file);
        const Picture native = imgtest::decodeWith(djpeg + " -pnm " + file);
        int w = 0, h = 0, c = 0;
        const bool baseline = std::string(name).find("progressive") == std::string::npos;
        EXPECT_EQ(CJpeg::ReadHeader(data.data(), int(data.size()), w, h, c), baseline) << name;
        EXPECT_TRUE(!baseline || (w == native.width && h == native.height && c == native.channels)) << name;
        w = h = c = 0;
        void* bitmap = CJpeg::Decompress(w, h, c, data.data(), int(data.size()));
        ASSERT_TRUE(bitmap && w == native.width && c == native.channels) << name;
        const int stride = (w * c + 3) & ~3; // bottom-up rows
        const BYTE* bottom = static_cast<BYTE*>(bitmap) + size_t(h - 1) * stride;
        EXPECT_EQ(imgtest::fromBgr(bottom, w, h, c, -stride).pixels, native.pixels) << name;
        delete[] static_cast<unsigned char*>(bitmap);

        const Picture expected = imgtest::decodeWith(djpeg + " -rgb -pnm " + file);
        CJpegFile jpeg, fromMemory;
        unsigned char *pixels = nullptr, *memoryPixels = nullptr;
        CSize size, memorySize;
        ASSERT_TRUE(jpeg.LoadFromFile(file.c_str(), &pixels, size)) << name;
        const int rounded = (expected.width + 3) & ~3; // 101 → 104
        EXPECT_EQ(size, CSize(rounded, expected.height)) << name;
        EXPECT_EQ(imgtest::fromBgr(pixels, expected.width, size.cy, 3, rounded * 3).pixels, expected.pixels) << name;
        for (int y = 0; y < size.cy; ++y)
            for (int x = expected.width * 3; x < rounded * 3; ++x) ASSERT_EQ(pixels[y * rounded * 3 + x], 0);
        ASSERT_TRUE(fromMemory.Decompress(data.data(), int(data.size()), &memoryPixels, memorySize)) << name;
        EXPECT_EQ(memorySize, size);
        EXPECT_EQ(std::memcmp(memoryPixels, pixels, size_t(size.cx) * size.cy * 3), 0) << name;
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
    EXPECT_FALSE(jpeg.LoadFromFile("", &pixels, size));

    std::vector<std::string> asked;
    SetFileDialogHook([&](const CFileDialog& dialog, CString& path) -> INT_PTR {
        asked.push_back(std::string(dialog.IsOpenFileDialog() ? "open " : "save ") +
                        dialog.GetDefaultExtension().GetString() + " " + dialog.GetFilter().GetString());
        path = file.c_str();
        return IDOK;
    });
    EXPECT_FALSE(jpeg.LoadFromFile("", &pixels, size)); // the chosen file must exist
    EXPECT_TRUE(jpeg.SaveJpegToFile("", frame.GetPixelBuffer(), CSize(40, 30), true));
    EXPECT_TRUE(jpeg.LoadFromFile("", &pixels, size));
    SetFileDialogHook(nullptr);
    EXPECT_EQ(size, CSize(40, 30));
    EXPECT_EQ(asked, (std::vector<std::string>{"open jpg JPEG Files (*.jpg)|*.jpg||", "save jpg JPEG Files (*.jpg)|*.jpg||",
                                               "open jpg JPEG Files (*.jpg)|*.jpg||"}));
}
