// Damaged, cut, oversized and garbage files give false or null, never a
// crash or a read out of bounds (the sanitizer build watches), and a failed
// decode keeps the picture that was there.
#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <cstring>
#include <memory>
#include <random>

using zep3test::dataFile;

namespace {

struct Decoded {
    bool bmp, jpegFile, jpeg;
};

// Reads `bytes` through each class that takes its format.
Decoded readAll(const std::string& bytes, const std::string& file) {
    zep3test::writeFile(file, bytes);
    CBmpFile bmp;
    CSize size;
    bool bmpOk = bmp.ReadImageHeader(file.c_str(), &size, nullptr);
    CImageBuffer image(size, 24);
    bmpOk = bmpOk && bmp.ReadImageBuffer(&image);
    // An exact-size copy, so that any read past the end is seen.
    const std::unique_ptr<char[]> exact(new char[bytes.size() + 1]);
    std::memcpy(exact.get(), bytes.data(), bytes.size());
    CJpegFile jpegFile;
    unsigned char* pixels = nullptr;
    const bool fileOk = jpegFile.LoadFromFile(file.c_str(), &pixels, size);
    int w = 0, h = 0, c = 0;
    CJpeg::ReadHeader(exact.get(), int(bytes.size()), w, h, c);
    void* jpeg = CJpeg::Decompress(w, h, c, exact.get(), int(bytes.size()));
    delete[] static_cast<unsigned char*>(jpeg);
    return Decoded{bmpOk, fileOk, jpeg != nullptr};
}

} // namespace

TEST(BadInput, ReferenceFilesAreRefused) {
    zep3test::TempDir dir;
    for (const char* name : {"bmp/truncated.bmp", "bmp/garbage.bmp", "bmp/oversized.bmp", "jpeg/truncated.jpg",
                             "jpeg/garbage.jpg", "jpeg/oversized.jpg", "jpeg/cmyk-101x37.jpg", "jpeg/none.jpg"}) {
        const Decoded d = readAll(zep3test::readFile(dataFile(name)), dir.file("f"));
        EXPECT_FALSE(d.bmp || d.jpegFile || d.jpeg) << name;
    }
    CJpegFile jpeg;
    unsigned char* pixels = nullptr;
    CSize size;
    ASSERT_TRUE(jpeg.LoadFromFile(dataFile("jpeg/grey-64x48.jpg").c_str(), &pixels, size));
    const std::string before(reinterpret_cast<char*>(pixels), size_t(size.cx) * size.cy * 3);
    std::string cut = zep3test::readFile(dataFile("jpeg/truncated.jpg"));
    unsigned char* other = nullptr;
    CSize otherSize(-1, -1);
    EXPECT_FALSE(jpeg.Decompress(cut.data(), int(cut.size()), &other, otherSize));
    EXPECT_TRUE(other == nullptr && otherSize == CSize(-1, -1));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), before.size()), before);
    EXPECT_FALSE(jpeg.Decompress(nullptr, 10, &other, otherSize));
}

TEST(BadInput, CutAndMutatedFilesOnlyFail) {
    zep3test::TempDir dir;
    const std::string bmp = zep3test::readFile(dataFile("bmp/rgb24-13x7.bmp"));
    const std::string jpeg = zep3test::readFile(dataFile("jpeg/baseline-101x37.jpg"));
    for (size_t n = 0; n + 1 < bmp.size(); n += 7) EXPECT_FALSE(readAll(bmp.substr(0, n), dir.file("b")).bmp) << n;
    for (size_t n = 0; n + 2 < jpeg.size(); n += 29) {
        const Decoded d = readAll(jpeg.substr(0, n), dir.file("j"));
        EXPECT_FALSE(d.jpegFile || d.jpeg) << n;
    }
    std::mt19937 rng(5);
    for (int round = 0; round < 150; ++round) {
        std::string b = bmp, j = jpeg;
        for (int k = 0; k < 3; ++k) b[rng() % 54] = char(rng()), j[rng() % j.size()] = char(rng());
        readAll(b, dir.file("b"));
        readAll(j, dir.file("j"));
    }
}
