#include "ImagingTestUtil.h"

#include <cstring>
#include <vector>

namespace {

int b8(unsigned w) { return (w & 0x1F) << 3; }
int g8(unsigned w) { return ((w >> 5) & 0x1F) << 3; }
int r8(unsigned w) { return ((w >> 10) & 0x1F) << 3; }

} // namespace

TEST(ColorModes, BitCountsAndModes) {
    EXPECT_EQ(GetBitCount(0), 8);
    EXPECT_EQ(GetBitCount(1), 24);
    EXPECT_EQ(GetBitCount(2), 16);
    EXPECT_EQ(GetBitCount(3), -1);
    EXPECT_EQ(GetColorMode(8), 0);
    EXPECT_EQ(GetColorMode(16), 2);
    EXPECT_EQ(GetColorMode(24), 1);
    EXPECT_EQ(GetColorMode(32), -1);
}

// Every 16-bit word and every grey level, in rows of odd length so that the
// vector loops' tails run too; the sums cover 0..765 for the division by 3.
TEST(ConvertImageBuffer, EveryPairMatchesItsRule) {
    const int width = 509, height = 65;
    const CSize size(width, height);
    const size_t n = size_t(width) * height;
    std::vector<BYTE> words(n * 2), grey(n), bgr(n * 3), bgrx(n * 4), out(n * 4);
    for (size_t i = 0; i < n; ++i) {
        words[2 * i] = BYTE(i), words[2 * i + 1] = BYTE((i >> 8) & 0x7F);
        grey[i] = BYTE(i * 7);
        for (int c = 0; c < 3; ++c) bgr[3 * i + c] = BYTE(c == 0 ? i : c == 1 ? i / 256 : i * 13 / 7);
        for (int c = 0; c < 4; ++c) bgrx[4 * i + c] = BYTE(i * (c + 3));
    }
    ASSERT_TRUE(ConvertImageBuffer(out.data(), 1, bgr.data(), 3, size, width, false));
    for (size_t i = 0; i < n; ++i)
        ASSERT_EQ(out[i], (bgr[3 * i] + bgr[3 * i + 1] + bgr[3 * i + 2]) / 3) << i;
    ASSERT_TRUE(ConvertImageBuffer(out.data(), 1, bgrx.data(), 4, size, width, false));
    for (size_t i = 0; i < n; ++i)
        ASSERT_EQ(out[i], (bgrx[4 * i] + bgrx[4 * i + 1] + bgrx[4 * i + 2] + bgrx[4 * i + 3]) >> 2) << i;
    ASSERT_TRUE(ConvertImageBuffer(out.data(), 1, words.data(), 2, size, width, false));
    for (size_t i = 0; i < n; ++i) {
        const unsigned w = words[2 * i] | words[2 * i + 1] << 8;
        ASSERT_EQ(out[i], (b8(w) + g8(w) + r8(w)) / 3) << i;
    }
    ASSERT_TRUE(ConvertImageBuffer(out.data(), 3, words.data(), 2, size, width, false));
    for (size_t i = 0; i < n; ++i) {
        const unsigned w = words[2 * i] | words[2 * i + 1] << 8;
        ASSERT_EQ(out[3 * i] << 16 | out[3 * i + 1] << 8 | out[3 * i + 2], b8(w) << 16 | g8(w) << 8 | r8(w));
    }
    ASSERT_TRUE(ConvertImageBuffer(out.data(), 2, grey.data(), 1, size, width, false));
    for (size_t i = 0; i < n; ++i) {
        const unsigned g5 = grey[i] >> 3;
        ASSERT_EQ(out[2 * i] | out[2 * i + 1] << 8, int(g5 << 10 | g5 << 5 | g5));
    }
    ASSERT_TRUE(ConvertImageBuffer(out.data(), 3, grey.data(), 1, size, width, false));
    for (size_t i = 0; i < n; ++i)
        ASSERT_TRUE(out[3 * i] == grey[i] && out[3 * i + 1] == grey[i] && out[3 * i + 2] == grey[i]);

    for (auto [d, s] : std::initializer_list<std::pair<int, int>>{{2, 3}, {4, 3}, {3, 4}, {4, 1}, {4, 2}, {2, 4}})
        EXPECT_FALSE(ConvertImageBuffer(out.data(), d, bgrx.data(), s, size, width, false)) << s << "->" << d;
    EXPECT_TRUE(ConvertImageBuffer(nullptr, 1, nullptr, 3, CSize(0, 5), 0, false));
}

TEST(ConvertImageBuffer, FlipAndSourceRowLength) {
    // A 3 × 3 grey image read out of rows of 5 pixels, bottom row first.
    const BYTE source[15] = {1, 2, 3, 0, 0, 4, 5, 6, 0, 0, 7, 8, 9, 0, 0};
    BYTE out[9];
    ASSERT_TRUE(ConvertImageBuffer(out, 1, source, 1, CSize(3, 3), 5, true));
    const BYTE flipped[] = {7, 8, 9, 4, 5, 6, 1, 2, 3};
    EXPECT_EQ(std::memcmp(out, flipped, 9), 0);
    BYTE bgr[27];
    ASSERT_TRUE(ConvertImageBuffer(bgr, 3, source, 1, CSize(3, 3), 5, false));
    EXPECT_EQ(bgr[3 * 3], 4);
    EXPECT_EQ(bgr[26], 9);
}

TEST(ConvertImageBuffer, BuffersTakeTheDestinationFormatAndTheStamp) {
    CImageBuffer frame = imgtest::makeFrame(33, 9);
    frame.SetTime(CSystemTime(LONGLONG(5000), 1), 77);
    CImageBuffer grey(CSize(1, 1), 8, 3);
    ASSERT_TRUE(ConvertImageBuffer(&grey, &frame));
    EXPECT_EQ(grey.GetSize(), CSize(33, 9));
    EXPECT_EQ(grey.GetBitCount(), 8);
    EXPECT_EQ(grey.GetPaddingBytes(), 0);
    EXPECT_EQ(grey.GetImageTag(), 77);
    const BYTE* p = frame.GetPixelBuffer() + 3 * 40;
    EXPECT_EQ(grey.GetPixelBuffer()[40], (p[0] + p[1] + p[2]) / 3);

    CImageBuffer words(CSize(1, 1), 16);
    EXPECT_FALSE(ConvertImageBuffer(&words, &frame)); // 24 to 16 bits is not offered
    EXPECT_EQ(words.GetSize(), CSize(33, 9));
    EXPECT_TRUE(ConvertImageBuffer(&frame, &frame));  // in place, same format
    const CImageBuffer empty;
    EXPECT_FALSE(ConvertImageBuffer(&grey, nullptr));
    EXPECT_FALSE(ConvertImageBuffer(&grey, &empty));
}

TEST(ScaleDown, SkipsPixelsOrCrops) {
    CImageBuffer source(CSize(640, 480), 24), half(CSize(320, 240), 24);
    imgtest::fillRandom(source, 3);
    ASSERT_TRUE(ScaleDown(&half, &source, 1));
    for (int y : {0, 1, 239})
        for (int x : {0, 1, 150, 319})
            EXPECT_EQ(std::memcmp(half.GetPixelBuffer() + (y * 320 + x) * 3,
                                  source.GetPixelBuffer() + (2 * y * 640 + 2 * x) * 3, 3), 0);
    ASSERT_TRUE(ScaleDown(&half, &source, 0));
    EXPECT_EQ(std::memcmp(half.GetPixelBuffer() + 239 * 960, source.GetPixelBuffer() + 239 * 1920, 960), 0);

    CImageBuffer third(CSize(213, 160), 24);
    EXPECT_FALSE(ScaleDown(&half, &source, 2)); // needs 960 × 720
    ASSERT_TRUE(ScaleDown(&third, &source, 2));
    EXPECT_EQ(std::memcmp(third.GetPixelBuffer() + (159 * 213 + 212) * 3,
                          source.GetPixelBuffer() + (477 * 640 + 636) * 3, 3), 0);

    CImageBuffer wide(CSize(640, 480), 32), wideHalf(CSize(320, 240), 32), grey(CSize(320, 240), 8);
    EXPECT_FALSE(ScaleDown(&wideHalf, &wide, 1)); // pixel size 4 has no skipping
    EXPECT_TRUE(ScaleDown(&wideHalf, &wide, 0));
    EXPECT_FALSE(ScaleDown(&grey, &source, 1));   // pixel sizes differ
    EXPECT_FALSE(ScaleDown(&source, &half, 0));   // source smaller
}

TEST(HSV, ConversionsAtTheCorners) {
    struct Case {
        CColorValue24 rgb;
        CColorValueHSV hsv;
    } cases[] = {
        {{0, 0, 255}, {0, 255, 255}},   {{0, 255, 0}, {85, 255, 255}}, {{255, 0, 0}, {171, 255, 255}},
        {{128, 128, 128}, {0, 0, 128}}, {{0, 0, 0}, {0, 0, 0}},        {{0, 128, 255}, {21, 255, 255}},
    };
    for (Case& c : cases) {
        CColorValueHSV hsv(1, 1, 1);
        RGBtoHSV(&c.rgb, &hsv);
        EXPECT_EQ(hsv.m_Hue, c.hsv.m_Hue);
        EXPECT_EQ(hsv.m_Saturation, c.hsv.m_Saturation);
        EXPECT_EQ(hsv.m_Value, c.hsv.m_Value);
    }
    CColorValue24 rgb;
    CColorValueHSV grey(77, 0, 200);
    HSVtoRGB(&grey, &rgb);
    EXPECT_TRUE(rgb.m_Red == 200 && rgb.m_Green == 200 && rgb.m_Blue == 200);
    // H 255 is the last sector with f = 0: R = V, G = V(1 - s), B = V.
    CColorValueHSV last(255, 128, 200);
    HSVtoRGB(&last, &rgb);
    EXPECT_EQ(rgb.m_Red, 200);
    const double k = 1.0 / 255;
    EXPECT_EQ(rgb.m_Green, int(200 * k * (1 - 128 * k) * 255));
    EXPECT_EQ(rgb.m_Blue, 200);
    CColorValueHSV orange(21, 255, 255);
    HSVtoRGB(&orange, &rgb);
    EXPECT_EQ(rgb.m_Red, 255);
    EXPECT_NEAR(rgb.m_Green, 126, 1);
    EXPECT_EQ(rgb.m_Blue, 0);
}
