// AVI files written by ffmpeg, read by CAVIEdit frame by frame and in random
// order, through the OpenDML index, idx1, or no index at all.
#include "AviTestUtil.h"

#include "support/TestSupport.h"

#include <zep3/media/detail/AviRiff.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

namespace {

const UINT kProgress = WM_USER + 77;

// Counts the progress it is told of and answers as told.
class ProgressWnd : public CWnd {
public:
    std::vector<std::pair<int, int>> calls;
    LRESULT answer = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != kProgress) return CWnd::WindowProc(message, wParam, lParam);
        calls.emplace_back(int(wParam), int(lParam));
        return answer;
    }
};

// Renames the first chunk called `from` (in the file's first megabyte) to
// JUNK, so that readers no longer see it.
void HideChunk(const std::string& path, const char* from) {
    std::string bytes = zep3test::readFile(path);
    const size_t at = from == std::string("idx1") ? bytes.rfind(from) : bytes.find(from);
    ASSERT_NE(std::string::npos, at);
    bytes.replace(at, 4, "JUNK");
    ASSERT_TRUE(zep3test::writeFile(path, bytes));
}

DWORD IndexSource(const std::string& path) {
    zep3::detail::AviReader reader;
    return reader.Open(path, false) == AVIERR_OK ? reader.IndexSource() : 0;
}

struct FfmpegCase {
    const char* label;
    const char* options;
    double minimumPsnr; // against ffmpeg's own decoding
};
void PrintTo(const FfmpegCase& c, std::ostream* os) { *os << c.label; }

const FfmpegCase kFfmpegCases[] = {
    {"rawvideo", "-c:v rawvideo -pix_fmt bgr24", 99},
    {"mjpeg", "-c:v mjpeg -q:v 2", 40},
    {"mpeg4", "-c:v mpeg4 -g 6 -bf 0 -q:v 3 -vtag FMP4", 40},
    {"xvid", "-c:v mpeg4 -g 6 -bf 0 -q:v 3 -vtag XVID", 40},
};

class FfmpegFile : public testing::TestWithParam<FfmpegCase> {};

TEST_P(FfmpegFile, ReadFrameByFrameAndAtRandomThroughEachIndex) {
    zep3test::TempDir dir;
    const int width = 160, height = 120, frames = 24;
    std::string input;
    for (int f = 0; f < frames; ++f) input += avitest::Bytes(avitest::Pattern(width, height, f));
    ASSERT_TRUE(zep3test::writeFile(dir.file("in.bgr"), input));
    const std::string path = dir.file("ff.avi");
    ASSERT_TRUE(avitest::Ffmpeg("-f rawvideo -pix_fmt bgr24 -s 160x120 -r 15 -i '" + dir.file("in.bgr") + "' " +
                                GetParam().options + " '" + path + "'"));
    const std::string expected = avitest::FfDecode(path);
    const size_t frameBytes = size_t(width) * height * 3;
    ASSERT_EQ(frameBytes * frames, expected.size());

    std::vector<int> order(frames);
    for (int f = 0; f < frames; ++f) order[f] = f;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    // Below 1 GB ffmpeg leaves its OpenDML index empty: idx1 serves, and
    // without it the frames themselves.
    const DWORD sources[] = {mmioFOURCC('i', 'd', 'x', '1'), mmioFOURCC('w', 'a', 'l', 'k')};
    for (DWORD source : sources) {
        if (source == sources[1]) HideChunk(path, "idx1");
        ASSERT_EQ(source, IndexSource(path));
        CAVIEdit avi;
        ASSERT_TRUE(avi.OpenFile(path.c_str()));
        EXPECT_TRUE(avi.GetFrameCount() == frames && avi.GetFramePerSecond() == 15.0);
        CImageBuffer image(CSize(width, height), 24);
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < frames; ++i) {
                const int f = pass == 0 ? i : order[i];
                ASSERT_TRUE(avi.ReadFrame(&image, f)) << f;
                EXPECT_GE(avitest::Psnr(image.GetPixelBuffer(), expected.data() + f * frameBytes, frameBytes),
                          GetParam().minimumPsnr)
                    << GetParam().label << " frame " << f << " index " << source;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FfmpegFile, testing::ValuesIn(kFfmpegCases),
                         [](const testing::TestParamInfo<FfmpegCase>& info) { return info.param.label; });

// Past 1 GB ffmpeg goes on in AVIX lists with the OpenDML index; frames on
// both sides of the boundary read back, in any order.
TEST(AviOpenDml, FfmpegFileBeyondOneGigabyte) {
    zep3test::TempDir dir;
    const std::string path = dir.file("big.avi");
    const int frames = 440; // 1280 × 720 × 3 bytes each: 1.2 GB
    ASSERT_TRUE(avitest::Ffmpeg("-f lavfi -i testsrc=size=1280x720:rate=25 -frames:v 440 -pix_fmt bgr24 "
                                "-c:v rawvideo '" + path + "'"));
    ASSERT_EQ(mmioFOURCC('i', 'n', 'd', 'x'), IndexSource(path));
    CAVIEdit avi;
    ASSERT_TRUE(avi.OpenFile(path.c_str()));
    ASSERT_EQ(frames, avi.GetFrameCount());
    // ffmpeg's frames 0, 17, 300 and 439, in that order.
    const std::string some = dir.file("some.bgr");
    ASSERT_TRUE(avitest::Ffmpeg("-i '" + path + "' -vf \"select=eq(n\\,0)+eq(n\\,17)+eq(n\\,300)+eq(n\\,439)\" " +
                                "-vsync 0 -f rawvideo -pix_fmt bgr24 '" + some + "'"));
    const std::string expected = zep3test::readFile(some);
    const size_t frameBytes = 1280 * 720 * 3;
    ASSERT_EQ(4 * frameBytes, expected.size());
    CImageBuffer image(CSize(1280, 720), 24);
    const std::pair<int, int> reads[] = {{439, 3}, {0, 0}, {300, 2}, {17, 1}};
    for (const auto& read : reads) {
        ASSERT_TRUE(avi.ReadFrame(&image, read.first));
        EXPECT_TRUE(expected.compare(read.second * frameBytes, frameBytes, avitest::Bytes(image)) == 0) << read.first;
    }
}

// Decoding starts at the key frame at or before the frame asked for, or
// goes on from the last frame decoded; each frame decoded is announced.
TEST(AviRandomAccess, DecodesFromTheNearestKeyFrame) {
    zep3test::TempDir dir;
    const std::string path = dir.file("gop.avi");
    // Key frames every 15 frames (the codec's default).
    ASSERT_TRUE(avitest::Record(path, mmioFOURCC('f', 'm', 'p', '4'), mmioFOURCC('F', 'M', 'P', '4'), 64, 48, 40));
    ProgressWnd window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, "progress", 0, CRect(0, 0, 10, 10), nullptr, 0));
    CAVIEdit avi;
    ASSERT_TRUE(avi.OpenFile(path.c_str()));
    CImageBuffer image(CSize(64, 48), 24);
    auto read = [&](int frame) {
        window.calls.clear();
        EXPECT_TRUE(avi.ReadFrame(&image, frame, nullptr, window.GetSafeHwnd(), kProgress)) << frame;
        return window.calls;
    };
    using Calls = std::vector<std::pair<int, int>>;
    Calls first;
    for (int i = 0; i <= 10; ++i) first.push_back({i, 11});
    EXPECT_EQ(first, read(10)); // 0 .. 10
    EXPECT_EQ((Calls{{0, 2}, {1, 2}}), read(12));
    EXPECT_EQ(Calls{}, read(12));
    EXPECT_EQ(6u, read(5).size());  // from the key frame 0 again
    EXPECT_EQ(3u, read(17).size()); // 15, 16, 17
    // A window that asks to stop, or one that is gone, fails the read.
    window.answer = -1;
    EXPECT_FALSE(avi.ReadFrame(&image, 20, nullptr, window.GetSafeHwnd(), kProgress));
    window.answer = 0;
    const HWND gone = window.GetSafeHwnd();
    window.DestroyWindow();
    EXPECT_FALSE(avi.ReadFrame(&image, 21, nullptr, gone, kProgress));
    // Beyond the end, and into an image of the wrong size.
    EXPECT_FALSE(avi.ReadFrame(&image, 40));
    CImageBuffer small(CSize(32, 48), 24), again(CSize(64, 48), 24);
    EXPECT_FALSE(avi.ReadFrame(&small, 1));
    // The frame decoded last, read into other pixels, is decoded again.
    ASSERT_TRUE(avi.ReadFrame(&image, 39) && avi.ReadFrame(&again, 39));
    EXPECT_TRUE(avitest::Bytes(image) == avitest::Bytes(again));
}

} // namespace
