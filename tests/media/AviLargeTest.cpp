// Recordings past the RIFF size limit: OpenDML AVIX lists with their
// indexes, checked by ffprobe and read back. The default run writes 300 MB
// with lists closed at 64 MB; ZEP3_LONG_TESTS=1 adds a 2.2 GB recording with
// the real 1 GB lists.
#include "AviTestUtil.h"

#include "support/TestSupport.h"

#include <zep3/media/detail/AviRiff.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// Records `frames` uncompressed frames, each stamped with its number in its
// first bytes, and checks the file from ffprobe's side and from ours.
void RecordAndReadBack(int width, int height, int frames) {
    zep3test::TempDir dir;
    const std::string path = dir.file("large.avi");
    CImageBuffer image = avitest::Pattern(width, height, 0);
    {
        CAVIEdit avi;
        ASSERT_TRUE(avi.InitCompressor(CSize(width, height), 3, nullptr, 0, 0));
        ASSERT_TRUE(avi.OpenFileWrite(path.c_str(), 25000, true));
        for (int f = 0; f < frames; ++f) {
            std::memcpy(image.GetPixelBuffer(), &f, sizeof f);
            ASSERT_TRUE(avi.WriteFrame(&image, f)) << avi.GetErrorInfo().str();
        }
        EXPECT_EQ(LONGLONG(frames) * width * height * 3, avi.GetTotalBytesWritten());
    }
    const avitest::Probe probe = avitest::FfProbe(path);
    EXPECT_EQ("rawvideo", probe.codec);
    EXPECT_TRUE(probe.width == width && probe.height == height && probe.frames == frames && probe.rate == "25/1");

    zep3::detail::AviReader reader;
    ASSERT_EQ(AVIERR_OK, reader.Open(path, false));
    EXPECT_EQ(mmioFOURCC('i', 'n', 'd', 'x'), reader.IndexSource());
    CAVIEdit avi;
    ASSERT_TRUE(avi.OpenFile(path.c_str()));
    ASSERT_EQ(frames, avi.GetFrameCount());
    CImageBuffer back(CSize(width, height), 24);
    for (int f : {frames - 1, 0, frames / 2, frames / 3, frames - 2, 1}) {
        ASSERT_TRUE(avi.ReadFrame(&back, f));
        int stamp = -1;
        std::memcpy(&stamp, back.GetPixelBuffer(), sizeof stamp);
        EXPECT_EQ(f, stamp);
        EXPECT_EQ(0, std::memcmp(back.GetPixelBuffer() + 4, image.GetPixelBuffer() + 4, width * height * 3 - 4));
    }
}

TEST(AviLarge, ThreeHundredMegabytesInSeveralRiffLists) {
    zep3::detail::AviWriter::SetRiffLimit(64u << 20);
    RecordAndReadBack(320, 240, 1366); // 300 MB
    zep3::detail::AviWriter::SetRiffLimit(1u << 30);
}

TEST(AviLarge, BeyondTwoGigabytes) {
    const char* longTests = std::getenv("ZEP3_LONG_TESTS");
    if (!longTests || std::strcmp(longTests, "1") != 0) GTEST_SKIP() << "set ZEP3_LONG_TESTS=1";
    RecordAndReadBack(1280, 720, 800); // 2.2 GB
}

} // namespace
