#include "ImagingTestUtil.h"

#include <cstring>
#include <vector>

namespace {

// Each pair's rule, one pixel at a time.
void convertPixel(int destinationSize, int sourceSize, const BYTE* s, BYTE* d) {
    const unsigned w = s[0] | s[1] << 8, b8 = (w & 31) << 3, g8 = (w >> 5 & 31) << 3, r8 = (w >> 10 & 31) << 3;
    const unsigned g5 = s[0] >> 3, g555 = g5 << 10 | g5 << 5 | g5;
    switch (sourceSize * 10 + destinationSize) {
    case 12: d[0] = BYTE(g555), d[1] = BYTE(g555 >> 8); break;
    case 13: d[0] = d[1] = d[2] = s[0]; break;
    case 21: d[0] = BYTE((b8 + g8 + r8) / 3); break;
    case 23: d[0] = BYTE(b8), d[1] = BYTE(g8), d[2] = BYTE(r8); break;
    case 31: d[0] = BYTE((s[0] + s[1] + s[2]) / 3); break;
    case 41: d[0] = BYTE((s[0] + s[1] + s[2] + s[3]) >> 2); break;
    }
}

} // namespace

// Rows of odd length run the vector loops' tails; random bytes reach every
// 16-bit word and every channel sum 0..765 of the division by three.
TEST(ConvertImageBuffer, EveryPairFollowsItsRule) {
    const int width = 509, height = 130, n = width * height;
    CImageBuffer source(CSize(width, height), 32);
    imgtest::fillRandom(source, 2);
    std::memset(source.GetPixelBuffer(), 255, 12); // the largest sums
    using P = std::pair<int, int>;
    std::vector<BYTE> out(size_t(n) * 3), expected(out.size());
    for (auto [d, s] : {P{2, 1}, P{3, 1}, P{1, 2}, P{3, 2}, P{1, 3}, P{1, 4}}) {
        ASSERT_TRUE(ConvertImageBuffer(out.data(), d, source.GetPixelBuffer(), s, CSize(width, height), width, false));
        for (int i = 0; i < n; ++i) convertPixel(d, s, source.GetPixelBuffer() + i * s, &expected[size_t(i) * d]);
        EXPECT_EQ(std::memcmp(out.data(), expected.data(), size_t(n) * d), 0) << s << " -> " << d;
    }
    for (auto [d, s] : {P{2, 3}, P{4, 3}, P{3, 4}, P{4, 1}, P{4, 2}, P{2, 4}})
        EXPECT_FALSE(ConvertImageBuffer(out.data(), d, source.GetPixelBuffer(), s, CSize(4, 4), 4, false));
    EXPECT_TRUE(ConvertImageBuffer(nullptr, 1, nullptr, 3, CSize(0, 5), 0, false));
    EXPECT_EQ(GetBitCount(3), -1);
    EXPECT_EQ(GetColorMode(32), -1);
}

TEST(ConvertImageBuffer, FlipsLongRowsAndTakesTheDestinationFormat) {
    const BYTE source[15] = {1, 2, 3, 0, 0, 4, 5, 6, 0, 0, 7, 8, 9, 0, 0}; // 3 × 3 in rows of 5
    BYTE out[9];
    ASSERT_TRUE(ConvertImageBuffer(out, 1, source, 1, CSize(3, 3), 5, true));
    const BYTE flipped[] = {7, 8, 9, 4, 5, 6, 1, 2, 3};
    EXPECT_EQ(std::memcmp(out, flipped, 9), 0);

    CImageBuffer frame = imgtest::makeFrame(33, 9), grey(CSize(1, 1), 8, 3), words(CSize(1, 1), 16);
    frame.SetTime(CSystemTime(LONGLONG(5000), 1), 77);
    ASSERT_TRUE(ConvertImageBuffer(&grey, &frame));
    EXPECT_TRUE(grey.GetSize() == CSize(33, 9) && grey.GetBitCount() == 8 && grey.GetPaddingBytes() == 0);
    EXPECT_EQ(grey.GetImageTag(), 77);
    EXPECT_FALSE(ConvertImageBuffer(&words, &frame)); // 24 to 16 bits is not offered
    // A source that views the destination's memory outlives its re-creation.
    CImageBuffer owner(CSize(4, 4), 24, 3), view;
    std::memset(owner.GetPixelBuffer(), 0, 4 * 15);
    owner.GetPixelBuffer()[5] = 200;
    ASSERT_TRUE(view.Assign(owner.GetPixelBuffer(), CSize(4, 4), 8));
    ASSERT_TRUE(ConvertImageBuffer(&owner, &view));
    EXPECT_TRUE(owner.GetPaddingBytes() == 0 && owner.GetPixelBuffer()[15] == 200 && owner.GetPixelBuffer()[17] == 200);
    const CImageBuffer empty;
    EXPECT_FALSE(ConvertImageBuffer(&grey, &empty) || ConvertImageBuffer(&grey, nullptr));
}

TEST(ScaleDown, SkipsPixelsOrCrops) {
    CImageBuffer source(CSize(640, 480), 24), half(CSize(320, 240), 24), third(CSize(213, 160), 24);
    imgtest::fillRandom(source, 3);
    const auto same = [&](const CImageBuffer& d, int x, int y, int sx, int sy) {
        return std::memcmp(d.GetPixelBuffer() + (y * d.GetSize().cx + x) * 3, source.GetPixelBuffer() + (sy * 640 + sx) * 3, 3) == 0;
    };
    ASSERT_TRUE(ScaleDown(&half, &source, 1));
    EXPECT_TRUE(same(half, 1, 1, 2, 2) && same(half, 319, 239, 638, 478));
    ASSERT_TRUE(ScaleDown(&third, &source, 2));
    EXPECT_TRUE(same(third, 212, 159, 636, 477));
    ASSERT_TRUE(ScaleDown(&half, &source, 0));
    EXPECT_TRUE(same(half, 319, 239, 319, 239));
    CImageBuffer wide(CSize(640, 480), 32), wideHalf(CSize(320, 240), 32), grey(CSize(320, 240), 8);
    EXPECT_FALSE(ScaleDown(&wideHalf, &wide, 1)); // 4-byte pixels are not skipped
    EXPECT_FALSE(ScaleDown(&half, &source, 2));   // needs 960 × 720
    EXPECT_FALSE(ScaleDown(&grey, &source, 1));   // pixel sizes differ
}

TEST(HSV, CornersOfTheColourCircle) {
    const auto hsv = [](BYTE r, BYTE g, BYTE b) {
        CColorValue24 in{b, g, r};
        CColorValueHSV out(9, 9, 9);
        RGBtoHSV(&in, &out);
        return out.m_Hue << 16 | out.m_Saturation << 8 | out.m_Value;
    };
    // Red's sector wraps through 256.
    for (auto [rgb, expected] : std::initializer_list<std::pair<unsigned, int>>{
             {0xFF0000, 0x00FFFF}, {0x00FF00, 85 << 16 | 0xFFFF}, {0x0000FF, 171 << 16 | 0xFFFF},
             {0x808080, 128}, {0xFF8000, 21 << 16 | 0xFFFF}})
        EXPECT_EQ(hsv(BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb)), expected) << std::hex << rgb;
    CColorValueHSV grey(77, 0, 200), last(255, 128, 200);
    CColorValue24 a, b;
    HSVtoRGB(&grey, &a);
    HSVtoRGB(&last, &b); // H 255: the last sector with f = 0
    EXPECT_TRUE(a.m_Red == 200 && a.m_Green == 200 && a.m_Blue == 200);
    EXPECT_TRUE(b.m_Red == 200 && b.m_Green == 99 && b.m_Blue == 200); // 200 × (1 - 128 / 255), truncated
}
