#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

using imgtest::Picture;
using zep3test::dataFile;

namespace {

Picture djpeg(const std::string& tool, const std::string& file) {
    return imgtest::decodeWith(tool + " -pnm '" + file + "'");
}

// The first `width` columns of a CJpegFile picture (rounded rows) as RGB.
Picture shown(const unsigned char* pixels, CSize size, int width) {
    return imgtest::fromBgr(pixels, width, size.cy, 3, ptrdiff_t(size.cx) * 3);
}

Picture asRgb(Picture p) {
    if (p.channels != 1) return p;
    std::string rgb;
    for (char g : p.pixels) rgb.append(3, g);
    return Picture{p.width, p.height, 3, rgb};
}

} // namespace

TEST(CJpegFile, WritesJpegsThatDjpegDecodes) {
    REQUIRE_TOOL(tool, "djpeg", "libjpeg-turbo-progs");
    zep3test::TempDir dir;
    CImageBuffer frame = imgtest::makeFrame(161, 90, 4);
    CImageBuffer grey(CSize(1, 1), 8);
    ASSERT_TRUE(ConvertImageBuffer(&grey, &frame));
    CJpegFile jpeg;
    for (const CImageBuffer* image : {&frame, &grey}) {
        const bool colour = image == &frame;
        const int channels = colour ? 3 : 1;
        const Picture source = imgtest::fromBgr(image->GetPixelBuffer(), 161, 90, channels, 161 * channels);
        const std::string saved = dir.file("saved.jpg"), compressed = dir.file("compressed.jpg");
        ASSERT_TRUE(jpeg.SaveJpegToFile(saved.c_str(), image->GetPixelBuffer(), CSize(161, 90), colour, nullptr, 75));
        void* data = nullptr;
        int length = 0;
        ASSERT_TRUE(jpeg.Compress(&data, length, image->GetPixelBuffer(), CSize(161, 90), colour, nullptr, 75));
        zep3test::writeFile(compressed, std::string(static_cast<char*>(data), size_t(length)));
        std::free(data);
        EXPECT_EQ(zep3test::readFile(compressed), zep3test::readFile(saved)); // one encoder, two outputs
        const Picture decoded = djpeg(tool, saved);
        EXPECT_EQ(decoded.channels, channels);
        EXPECT_GE(imgtest::psnr(decoded, source), 30.0) << (colour ? "colour" : "grey");
    }
}

TEST(CJpegFile, LoadsCjpegFilesAsDjpegDecodesThem) {
    REQUIRE_TOOL(tool, "djpeg", "libjpeg-turbo-progs");
    for (const char* name : {"baseline-101x37.jpg", "progressive-101x37.jpg", "grey-64x48.jpg"}) {
        const std::string file = dataFile(std::string("jpeg/") + name);
        const Picture expected = asRgb(djpeg(tool, file));
        ASSERT_GT(expected.width, 0) << name;
        const int rounded = (expected.width + 3) & ~3;

        CJpegFile jpeg;
        unsigned char* pixels = nullptr;
        CSize size;
        ASSERT_TRUE(jpeg.LoadFromFile(file.c_str(), &pixels, size)) << name;
        EXPECT_EQ(size, CSize(rounded, expected.height)) << name;
        EXPECT_EQ(shown(pixels, size, expected.width).pixels, expected.pixels) << name;
        for (int y = 0; y < size.cy; ++y)
            for (int x = expected.width * 3; x < rounded * 3; ++x) ASSERT_EQ(pixels[y * rounded * 3 + x], 0);

        std::string data = zep3test::readFile(file);
        CJpegFile fromMemory;
        unsigned char* memoryPixels = nullptr;
        CSize memorySize;
        ASSERT_TRUE(fromMemory.Decompress(data.data(), int(data.size()), &memoryPixels, memorySize)) << name;
        EXPECT_EQ(memorySize, size);
        EXPECT_EQ(std::memcmp(memoryPixels, pixels, size_t(size.cx) * size.cy * 3), 0) << name;

        const CJpegFile copy(jpeg); // a copy owns its own picture
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
    EXPECT_FALSE(jpeg.SaveJpegToFile("", frame.GetPixelBuffer(), CSize(40, 30), true)); // nobody to ask
    EXPECT_FALSE(jpeg.LoadFromFile("", &pixels, size));

    std::vector<std::string> asked;
    SetFileDialogHook([&](const CFileDialog& dialog, CString& path) -> INT_PTR {
        asked.push_back(std::string(dialog.IsOpenFileDialog() ? "open " : "save ") + dialog.GetDefaultExtension().GetString() +
                        " " + dialog.GetFilter().GetString());
        path = file.c_str();
        return IDOK;
    });
    EXPECT_FALSE(jpeg.LoadFromFile("", &pixels, size)); // the chosen file must exist
    EXPECT_TRUE(jpeg.SaveJpegToFile("", frame.GetPixelBuffer(), CSize(40, 30), true));
    EXPECT_TRUE(jpeg.LoadFromFile("", &pixels, size));
    SetFileDialogHook(nullptr);
    EXPECT_EQ(size, CSize(40, 30));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0], "open jpg JPEG Files (*.jpg)|*.jpg||");
    EXPECT_EQ(asked[1], "save jpg JPEG Files (*.jpg)|*.jpg||");
}

TEST(CJpegFile, DamagedStreamsFailAndKeepThePicture) {
    zep3test::TempDir dir;
    CJpegFile jpeg;
    unsigned char* pixels = nullptr;
    CSize size;
    ASSERT_TRUE(jpeg.LoadFromFile(dataFile("jpeg/grey-64x48.jpg").c_str(), &pixels, size));
    const std::string before(reinterpret_cast<char*>(pixels), size_t(size.cx) * size.cy * 3);
    zep3test::writeFile(dir.file("empty.jpg"), "");
    for (const std::string& file : {dataFile("jpeg/truncated.jpg"), dataFile("jpeg/garbage.jpg"),
                                    dataFile("jpeg/oversized.jpg"), dataFile("jpeg/cmyk-101x37.jpg"),
                                    dir.file("empty.jpg"), dir.file("missing.jpg")}) {
        unsigned char* p = nullptr;
        CSize s(-1, -1);
        EXPECT_FALSE(jpeg.LoadFromFile(file.c_str(), &p, s)) << file;
        std::string data = zep3test::readFile(file);
        EXPECT_FALSE(jpeg.Decompress(data.data(), int(data.size()), &p, s)) << file;
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(s, CSize(-1, -1));
    }
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), before.size()), before);

    // Every cut of a good stream fails; random damage fails or decodes, within bounds.
    const std::string good = zep3test::readFile(dataFile("jpeg/baseline-101x37.jpg"));
    for (size_t n = 0; n + 2 < good.size(); n += 23) {
        std::string cut = good.substr(0, n);
        EXPECT_FALSE(jpeg.Decompress(cut.data(), int(cut.size()), &pixels, size)) << n;
    }
    std::mt19937 rng(9);
    for (int round = 0; round < 300; ++round) {
        std::string bad = good;
        for (int k = 0; k < 4; ++k) bad[rng() % bad.size()] = char(rng());
        jpeg.Decompress(bad.data(), int(bad.size()), &pixels, size);
    }

    void* data = nullptr;
    int length = 0;
    EXPECT_FALSE(jpeg.Decompress(nullptr, 10, &pixels, size));
    EXPECT_FALSE(jpeg.Compress(&data, length, nullptr, CSize(4, 4), true));
    EXPECT_FALSE(jpeg.Compress(&data, length, pixels, CSize(0, 4), true));
    EXPECT_FALSE(jpeg.SaveJpegToFile(dir.file("no/folder.jpg").c_str(), pixels, CSize(4, 4), true));
}
