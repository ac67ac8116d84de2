#include "ImagingTestUtil.h"

#include <cstdlib>
#include <cstring>
#include <vector>

// Local time is Warsaw's: epoch second 0 is 01:00 there.
TEST(CSystemTime, CalendarFieldsAndMilliseconds) {
    setenv("TZ", "Europe/Warsaw", 1);
    tzset();
    const SYSTEMTIME& unset = CSystemTime().m_Time;
    EXPECT_TRUE(unset.wYear == 1970 && unset.wDayOfWeek == 4 && unset.wHour == 1 && unset.wMilliseconds == 0);
    const CSystemTime stamp(LONGLONG(1700000000123), 456); // 2023-11-14 23:13:20.123 local
    EXPECT_TRUE(stamp.m_Time.wYear == 2023 && stamp.m_Time.wHour == 23 && stamp.m_Time.wMilliseconds == 123);
    EXPECT_EQ(stamp, CSystemTime(CTime(1700000000), 123, 456));
    EXPECT_EQ(CSystemTime(CTime(0), 1000, 0), CSystemTime()); // milliseconds out of range are 0
}

TEST(CImageBuffer, CreateKeepsMemoryAndViewsAreNeverFreed) {
    CImageBuffer image(CSize(7, 5), 24, 3);
    BYTE* pixels = image.GetPixelBuffer();
    image.SetTime(CSystemTime(LONGLONG(1700000000123), 0), 42);
    EXPECT_TRUE(image.Create1(CSize(7, 5), 24, 3));
    EXPECT_TRUE(image.GetPixelBuffer() == pixels && image.GetTime() == CSystemTime() && image.GetImageTag() == -1);
    EXPECT_TRUE(image.Create1(CSize(0, 10), 8, 0) && image.IsEmpty() && image.GetPixelBuffer() == nullptr);
    EXPECT_FALSE(image.Create1(CSize(1 << 30, 4), 32)); // rows beyond 2 GiB
    EXPECT_TRUE(image.IsEmpty());

    std::vector<BYTE> memory(4 * 3 * 2);
    CImageBuffer view;
    EXPECT_FALSE(image.Assign(nullptr, CSize(4, 2), 24) || image.Assign(memory.data(), CSize(4, 2), 0));
    ASSERT_TRUE(image.Assign(memory.data(), CSize(4, 2), 24));
    ASSERT_TRUE(view.Assign(&image));
    EXPECT_TRUE(!view.IsOwnBuffer() && view.GetPixelBuffer() == memory.data());
    CImageBuffer owner(CSize(2, 2), 8);
    EXPECT_FALSE(owner.Assign(&owner)); // a view on its own memory would dangle
    // Leaving a view only forgets the memory (ASan would report a bad free).
    image.Destroy();
    EXPECT_TRUE(view.Create1(CSize(4, 2), 24) && view.GetPixelBuffer() != memory.data());
}

TEST(CImageBuffer, CopiesAndCroppedCopies) {
    CImageBuffer source(CSize(5, 3), 8, 2), copy, target(CSize(5, 3), 8), other(CSize(5, 3), 16);
    imgtest::fillRandom(source, 1);
    source.SetTime(CSystemTime(LONGLONG(1234567), 8), 9);
    copy = source;
    EXPECT_TRUE(copy.IsSameType(source) && copy.GetImageTag() == 9 && copy.GetPixelBuffer() != source.GetPixelBuffer());
    EXPECT_EQ(std::memcmp(copy.GetPixelBuffer(), source.GetPixelBuffer(), 7 * 3), 0);
    // Copy moves width × height × pixel size bytes into the existing memory.
    BYTE* memory = target.GetPixelBuffer();
    EXPECT_TRUE(target.Copy(&source) && target.GetPixelBuffer() == memory);
    EXPECT_EQ(std::memcmp(memory, source.GetPixelBuffer(), 15), 0);
    EXPECT_FALSE(other.Copy(&source));

    std::vector<BYTE> raw(8 * 4); // 6 × 4 grey, 2 padding bytes; value = row * 10 + column
    for (int i = 0; i < 32; ++i) raw[i] = BYTE(i / 8 * 10 + i % 8);
    CImageBuffer crop, whole;
    ASSERT_TRUE(crop.CreateCopy(raw.data(), CSize(6, 4), 8, CRect(1, 2, 4, 4), 2));
    EXPECT_TRUE(crop.GetSize() == CSize(3, 2) && crop.GetPaddingBytes() == 2);
    const BYTE expected[] = {21, 22, 23, 24, 25, 31, 32, 33, 34, 35};
    EXPECT_EQ(std::memcmp(crop.GetPixelBuffer(), expected, sizeof expected), 0);
    ASSERT_TRUE(whole.CreateCopy(raw.data(), CSize(6, 4), 8, CRect(), 2));
    EXPECT_FALSE(whole.CreateCopy(raw.data(), CSize(6, 4), 8, CRect(4, 0, 7, 2), 2)); // outside
    ASSERT_TRUE(whole.CreateCopy(&whole, CRect(1, 2, 4, 4))); // from itself
    EXPECT_EQ(std::memcmp(whole.GetPixelBuffer(), expected, sizeof expected), 0);
}
