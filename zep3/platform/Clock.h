#pragma once
/// @file
/// Clocks: calendar time with milliseconds, the high-resolution performance
/// counter (nanoseconds of the monotonic clock) and sleeping.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

/// Current local / UTC calendar time with milliseconds.
ZEP3_API void GetLocalTime(SYSTEMTIME* st);
ZEP3_API void GetSystemTime(SYSTEMTIME* st);
/// Counter ticks of the monotonic clock; the frequency is 1 000 000 000 per second.
ZEP3_API BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
ZEP3_API BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
/// Milliseconds since an arbitrary start, wrapping at 2^32. It advances with
/// the system's scheduler tick (a few milliseconds), as on the original
/// platform; QueryPerformanceCounter measures short intervals.
ZEP3_API DWORD GetTickCount();
ZEP3_API void Sleep(DWORD milliseconds);
