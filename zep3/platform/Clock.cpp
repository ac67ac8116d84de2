#include <zep3/platform/Clock.h>

#include <cerrno>
#include <ctime>

namespace {

void toSystemTime(const struct tm& tm, long nanoseconds, SYSTEMTIME* st) {
    st->wYear = static_cast<WORD>(tm.tm_year + 1900);
    st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st->wDay = static_cast<WORD>(tm.tm_mday);
    st->wHour = static_cast<WORD>(tm.tm_hour);
    st->wMinute = static_cast<WORD>(tm.tm_min);
    st->wSecond = static_cast<WORD>(tm.tm_sec);
    st->wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}

void calendarNow(SYSTEMTIME* st, bool local) {
    if (!st) return;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm = {};
    if (local) localtime_r(&ts.tv_sec, &tm);
    else gmtime_r(&ts.tv_sec, &tm);
    toSystemTime(tm, ts.tv_nsec, st);
}

int64_t monotonicNs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace

void GetLocalTime(SYSTEMTIME* st) { calendarNow(st, true); }
void GetSystemTime(SYSTEMTIME* st) { calendarNow(st, false); }

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    count->QuadPart = monotonicNs();
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = 1000000000;
    return TRUE;
}

DWORD GetTickCount() { return static_cast<DWORD>(monotonicNs() / 1000000); }

void Sleep(DWORD milliseconds) {
    struct timespec ts = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}
