#include <zep3/platform/Clock.h>
#include <zep3/platform/detail/Posix.h>

#include <ctime>

namespace {

void ToSystemTime(const struct tm& tm, long nanoseconds, SYSTEMTIME* st) {
    st->wYear = static_cast<WORD>(tm.tm_year + 1900);
    st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st->wDay = static_cast<WORD>(tm.tm_mday);
    st->wHour = static_cast<WORD>(tm.tm_hour);
    st->wMinute = static_cast<WORD>(tm.tm_min);
    st->wSecond = static_cast<WORD>(tm.tm_sec);
    st->wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}

void CalendarNow(SYSTEMTIME* st, bool local) {
    if (!st) return;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm = {};
    if (local) localtime_r(&ts.tv_sec, &tm);
    else gmtime_r(&ts.tv_sec, &tm);
    ToSystemTime(tm, ts.tv_nsec, st);
}

} // namespace

void GetLocalTime(SYSTEMTIME* st) { CalendarNow(st, true); }
void GetSystemTime(SYSTEMTIME* st) { CalendarNow(st, false); }

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    count->QuadPart = zep3::detail::MonotonicNanoseconds();
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = 1000000000;
    return TRUE;
}

// The kernel's coarse monotonic clock: the same clock as the fine one, read
// at the last scheduler tick. Messages are stamped with it, so it must cost
// next to nothing; a millisecond count needs no finer source.
DWORD GetTickCount() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<DWORD>(uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000);
}

void Sleep(DWORD milliseconds) { zep3::detail::SleepMilliseconds(milliseconds); }
