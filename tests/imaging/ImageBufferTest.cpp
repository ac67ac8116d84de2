#include "ImagingTestUtil.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

// Local time is Warsaw's: epoch second 0 is 01:00 there.
class CSystemTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Warsaw", 1);
        tzset();
    }
};

TEST_F(CSystemTimeTest, CalendarFieldsAndMilliseconds) {
    const SYSTEMTIME& unset = CSystemTime().m_Time;
    EXPECT_TRUE(unset.wYear == 1970 && unset.wMonth == 1 && unset.wDay == 1 && unset.wDayOfWeek == 4);
    EXPECT_TRUE(unset.wHour == 1 && unset.wMinute == 0 && unset.wMilliseconds == 0);

    const CSystemTime stamp(LONGLONG(1700000000123), 456); // 2023-11-14 23:13:20.123 local
    EXPECT_TRUE(stamp.m_Time.wYear == 2023 && stamp.m_Time.wHour == 23 && stamp.m_Time.wSecond == 20 &&
                stamp.m_Time.wMilliseconds == 123);
    EXPECT_EQ(stamp, CSystemTime(CTime(1700000000), 123, 456));
    EXPECT_EQ(CSystemTime(CTime(0), 1000, 0), CSystemTime()); // milliseconds out of range are 0
    EXPECT_EQ(CSystemTime(LONGLONG(-5), 0).m_Time.wMilliseconds, 0);
}

TEST(CImageBuffer, Create1KeepsMemoryForTheSameTypeAndResetsTheStamp) {
    CImageBuffer image(CSize(7, 5), 24, 3);
    BYTE* pixels = image.GetPixelBuffer();
    image.SetTime(CSystemTime(LONGLONG(1700000000123), 0), 42);
    EXPECT_TRUE(image.Create1(CSize(7, 5), 24, 3));
    EXPECT_EQ(image.GetPixelBuffer(), pixels);
    EXPECT_EQ(image.GetTime(), CSystemTime());
    EXPECT_EQ(image.GetImageTag(), -1);

    EXPECT_TRUE(image.Create1(CSize(0, 10), 8, 0));
    EXPECT_TRUE(image.IsEmpty() && image.GetPixelBuffer() == nullptr && image.GetSize() == CSize(0, 0));
    image.Create1(CSize(2, 2), 0);
    EXPECT_EQ(image.GetBitCount(), 24);
    image.Create1(CSize(2, 2), 12);
    EXPECT_EQ(image.GetPixelSize(), 2);
    image.Create1(CSize(2, 2), -1, 1);
    EXPECT_EQ(image.GetBitCount(), 12);
    EXPECT_FALSE(image.Create1(CSize(1 << 30, 4), 32)); // rows beyond 2 GiB
    EXPECT_TRUE(image.IsEmpty());
}

TEST(CImageBuffer, AssignMakesAViewThatIsNeverFreed) {
    std::vector<BYTE> memory(4 * 3 * 2);
    CImageBuffer image(CSize(3, 3), 8), view;
    EXPECT_FALSE(image.Assign(nullptr, CSize(4, 2), 24));
    EXPECT_TRUE(image.IsEmpty() && image.IsOwnBuffer());
    EXPECT_FALSE(image.Assign(memory.data(), CSize(4, 2), 0));

    CSystemTime stamp(LONGLONG(86400000), 7);
    ASSERT_TRUE(image.Assign(memory.data(), CSize(4, 2), 24, &stamp));
    EXPECT_TRUE(!image.IsOwnBuffer() && image.GetPixelBuffer() == memory.data() && image.GetTime() == stamp);
    ASSERT_TRUE(view.Assign(&image));
    EXPECT_EQ(view.GetPixelBuffer(), memory.data());
    EXPECT_EQ(view.GetTime(), CSystemTime()); // a view of a buffer is not stamped
    CImageBuffer owner(CSize(2, 2), 8);
    EXPECT_FALSE(owner.Assign(&owner)); // a view on its own memory would dangle
    EXPECT_FALSE(owner.IsEmpty());

    // Leaving a view only forgets the memory (ASan would report a bad free).
    image.Destroy();
    EXPECT_TRUE(image.IsOwnBuffer());
    EXPECT_TRUE(view.Create1(CSize(4, 2), 24));
    EXPECT_NE(view.GetPixelBuffer(), memory.data());
}

TEST(CImageBuffer, TypeCopiesAndDeepCopies) {
    CImageBuffer source(CSize(5, 3), 8, 2), copy, target(CSize(5, 3), 8), other(CSize(5, 3), 16);
    imgtest::fillRandom(source, 1);
    source.SetTime(CSystemTime(LONGLONG(1234567), 8), 9);

    const CImageBuffer typed(&source);
    EXPECT_TRUE(typed.IsSameType(source) && typed.GetPixelBuffer() != source.GetPixelBuffer());
    EXPECT_TRUE(typed.GetTime() == source.GetTime() && typed.GetImageTag() == 9);
    copy = source;
    const CImageBuffer constructed(source);
    for (const CImageBuffer* c : {static_cast<const CImageBuffer*>(&copy), &constructed}) {
        EXPECT_TRUE(c->IsSameType(source) && c->GetImageTag() == 9);
        EXPECT_EQ(std::memcmp(c->GetPixelBuffer(), source.GetPixelBuffer(), 7 * 3), 0);
    }
    // Copy moves width × height × pixel size bytes into the existing memory.
    BYTE* memory = target.GetPixelBuffer();
    EXPECT_TRUE(target.Copy(&source));
    EXPECT_TRUE(target.GetPixelBuffer() == memory && target.GetImageTag() == 9);
    EXPECT_EQ(std::memcmp(memory, source.GetPixelBuffer(), 15), 0);
    EXPECT_FALSE(other.Copy(&source));
    EXPECT_EQ(other.GetImageTag(), -1);
}

TEST(CImageBuffer, CreateCopyOfARectangleKeepsTheBytesAfterEachRow) {
    std::vector<BYTE> raw(8 * 4); // 6 × 4 grey, 2 padding bytes; value = row * 10 + column
    for (int i = 0; i < 32; ++i) raw[i] = BYTE(i / 8 * 10 + i % 8);
    CImageBuffer crop, whole;
    ASSERT_TRUE(crop.CreateCopy(raw.data(), CSize(6, 4), 8, CRect(1, 2, 4, 4), 2));
    EXPECT_TRUE(crop.GetSize() == CSize(3, 2) && crop.GetPaddingBytes() == 2);
    const BYTE expected[] = {21, 22, 23, 24, 25, 31, 32, 33, 34, 35};
    EXPECT_EQ(std::memcmp(crop.GetPixelBuffer(), expected, sizeof expected), 0);

    ASSERT_TRUE(whole.CreateCopy(raw.data(), CSize(6, 4), 8, CRect(), 2));
    EXPECT_FALSE(whole.CreateCopy(raw.data(), CSize(6, 4), 8, CRect(4, 0, 7, 2), 2)); // outside
    EXPECT_FALSE(whole.CreateCopy(&crop, CRect(0, 0, 4, 1)));
    EXPECT_EQ(whole.GetSize(), CSize(6, 4));
    ASSERT_TRUE(whole.CreateCopy(&whole, CRect(1, 2, 4, 4))); // from itself
    EXPECT_EQ(std::memcmp(whole.GetPixelBuffer(), expected, sizeof expected), 0);
}
