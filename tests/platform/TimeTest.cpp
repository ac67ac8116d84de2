#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

// The suites run with TZ=Europe/Warsaw (one hour east of UTC in winter, two in summer).
class TimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Warsaw", 1);
        tzset();
    }
};

TEST_F(TimeTest, LocalFieldsAndFormat) {
    CTime t(time_t(1000000000)); // 2001-09-09 01:46:40 UTC, summer time
    EXPECT_EQ(t.GetYear(), 2001);
    EXPECT_EQ(t.GetMonth(), 9);
    EXPECT_EQ(t.GetDay(), 9);
    EXPECT_EQ(t.GetHour(), 3);
    EXPECT_EQ(t.GetDayOfWeek(), 1);
    EXPECT_EQ(t.Format("%Y-%m-%d  %H:%M:%S"), "2001-09-09  03:46:40");
    EXPECT_EQ(t.FormatGmt("%H:%M"), "01:46");
}

TEST_F(TimeTest, SystemTimeRoundTrips) {
    for (time_t s : {time_t(0), time_t(946684799), time_t(1711846800), time_t(1729994400), time_t(2000000000)}) {
        SYSTEMTIME st = {};
        ASSERT_TRUE(CTime(s).GetAsSystemTime(st));
        EXPECT_EQ(st.wMilliseconds, 0);
        EXPECT_EQ(CTime(st).GetTime(), s) << s;
    }
    SYSTEMTIME st = {};
    CTime(time_t(0)).GetAsSystemTime(st);
    EXPECT_EQ(st.wYear, 1970);
    EXPECT_EQ(st.wHour, 1);
    EXPECT_EQ(st.wDayOfWeek, 4); // Thursday
}

TEST_F(TimeTest, CalendarConstructionAndSpans) {
    CTime a(2024, 3, 31, 1, 0, 0); // the night clocks go forward
    CTime b(2024, 3, 31, 4, 0, 0);
    EXPECT_EQ((b - a).GetTotalSeconds(), 2 * 3600);
    CTimeSpan span(1, 2, 3, 4);
    EXPECT_EQ(span.GetTotalSeconds(), 93784);
    EXPECT_EQ(span.GetDays(), 1);
    EXPECT_EQ(span.GetHours(), 2);
    EXPECT_EQ(span.GetMinutes(), 3);
    EXPECT_EQ(span.GetSeconds(), 4);
    EXPECT_EQ((a + span) - a, span);
}

TEST_F(TimeTest, ClocksAdvance) {
    LARGE_INTEGER f, c1, c2;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_EQ(f.QuadPart, 1000000000);
    QueryPerformanceCounter(&c1);
    Sleep(5);
    QueryPerformanceCounter(&c2);
    EXPECT_GE(c2.QuadPart - c1.QuadPart, 5000000);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));

    // The tick count is the same clock in milliseconds, read at the last
    // scheduler tick: never ahead of the counter, never far behind it.
    const DWORD tick = GetTickCount();
    QueryPerformanceCounter(&c2);
    EXPECT_LT(DWORD(c2.QuadPart / 1000000) - tick, 1000u);
    Sleep(50);
    EXPECT_GE(GetTickCount() - tick, 40u) << "behind by at most a tick at either end";
    SYSTEMTIME local, utc;
    GetLocalTime(&local);
    GetSystemTime(&utc);
    EXPECT_NEAR(double(CTime(local).GetTime()), double(time(nullptr)), 2.0);
    EXPECT_NE(local.wHour, utc.wHour) << "Warsaw is one or two hours east of UTC";
}
