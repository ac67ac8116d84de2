// The example test-pattern camera (examples/grabber), loaded as a plug-in:
// its frames show the scene of their number, and carry the time they were due.
#include "DevicesTestSupport.h"
#include "TestPatternScene.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace devicestest;

namespace {

std::string Module(const char* name) { return PluginFolder() + name; }

// Milliseconds of a stamp since 1970, local calendar fields back to seconds.
double StampMilliseconds(const CSystemTime& t) {
    return double(CTime(t.m_Time).GetTime()) * 1000 + t.m_Time.wMilliseconds + t.m_MicroSeconds / 1000.0;
}

long IndexBits(const BYTE* pixels) {
    long index = 0;
    for (int bit = 0; bit < testpattern::kIndexBits; ++bit)
        if (pixels[bit * 3] == 255) index |= 1L << bit;
    return index;
}

// Every pixel outside the index row shows the object covering it last, or the checkerboard.
void ExpectScene(const BYTE* pixels, int width, int height, int objects, long index) {
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = y == 0 ? testpattern::kIndexBits : 0; x < width; ++x) {
            BYTE expected[3];
            std::memset(expected, testpattern::BackgroundLevel(x, y), 3);
            for (int k = 0; k < objects; ++k)
                if (testpattern::ObjectRect(width, height, k, index).PtInRect(CPoint(x, y)))
                    testpattern::ObjectColor(k, expected);
            wrong += std::memcmp(pixels + (size_t(y) * width + x) * 3, expected, 3) != 0;
        }
    EXPECT_EQ(wrong, 0) << "frame " << index;
}

} // namespace

TEST(ExampleGrabber, FramesShowTheirSceneAndTime) {
    CGrabber* grabber = CreateGrabber((Module("TestPatternGrabber") + ".dll").c_str());
    ASSERT_NE(grabber, nullptr);
    const int width = 160, height = 120, rate = 200, objects = 3;
    ASSERT_TRUE(grabber->Init(42, width, height, rate, objects, 0, 0));
    EXPECT_EQ(grabber->GetFrameSize(0), CSize(width, height));

    long firstIndex = -1, lastIndex = -1;
    double firstStamp = 0;
    for (int i = 0; i < 12; ++i) {
        unsigned char fresh = 0;
        ASSERT_TRUE(grabber->Grab(0, &fresh, 5000));
        EXPECT_EQ(fresh, 1);
        const long index = grabber->GetLastFrameIndex(0);
        EXPECT_GT(index, lastIndex);
        const BYTE* pixels = grabber->GetFrameBuffer(0);
        EXPECT_EQ(IndexBits(pixels), index);
        ExpectScene(pixels, width, height, objects, index);
        // Stamps are the start plus the frame number over the rate.
        const double stamp = StampMilliseconds(grabber->GetFrameTime(0));
        if (firstIndex < 0) {
            firstIndex = index;
            firstStamp = stamp;
        }
        EXPECT_NEAR(stamp - firstStamp, (index - firstIndex) * 1000.0 / rate, 0.002) << "frame " << index;
        lastIndex = index;
    }
    // The objects move.
    EXPECT_NE(testpattern::ObjectRect(width, height, 0, firstIndex),
              testpattern::ObjectRect(width, height, 0, lastIndex));
    DestroyGrabber(grabber);
}

TEST(ExampleGrabber, SettingsAreClampedAndDefaulted) {
    CGrabber* grabber = CreateGrabber((Module("TestPatternGrabber") + ".dll").c_str());
    ASSERT_NE(grabber, nullptr);
    EXPECT_EQ(grabber->GetFrameBuffer(0), nullptr);
    unsigned char fresh = 1;
    EXPECT_FALSE(grabber->Grab(0, &fresh, 0)); // not inited
    EXPECT_EQ(fresh, 0);
    ASSERT_TRUE(grabber->Init(0, 0, 0, 0, 20, 0, 0));
    EXPECT_EQ(grabber->GetFrameSize(0), CSize(640, 480));
    ASSERT_TRUE(grabber->Grab(0, &fresh, 5000));
    ExpectScene(grabber->GetFrameBuffer(0), 640, 480, testpattern::kMaxObjects, grabber->GetLastFrameIndex(0));
    ASSERT_TRUE(grabber->Init(0, 1, 100000, 1, 0, 0, 0));
    EXPECT_EQ(grabber->GetFrameSize(0), CSize(16, 4096));
    DestroyGrabber(grabber);
}
