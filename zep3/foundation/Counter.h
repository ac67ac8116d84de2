#pragma once
/// @class CCounter
/// A stopwatch on the high-resolution performance counter that
/// reports milliseconds, computed in double precision from the tick
/// difference; the int forms truncate toward zero (and saturate at the int
/// range). Not thread-safe: one owner at a time.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

class ZEP3_API CCounter {
public:
    /// Not running; reads the counter frequency.
    CCounter();

    /// Records the start value; running.
    void Start();
    /// When running: records the stop value, stops and returns the
    /// milliseconds from start to stop. Otherwise 0.
    int Stop();
    double StopDouble();
    /// When running: records the current value as the stop value and returns
    /// the milliseconds so far; the counter keeps running. Otherwise 0.
    int GetCounts();
    /// When running: milliseconds from start to now, recording nothing. Otherwise 0.
    int GetCounts() const;
    double GetCountsDouble();
    /// Milliseconds from start to the recorded stop value.
    int Difference() const;
    double DifferenceDouble() const;
    /// Milliseconds from start to the counter value t (QueryPerformanceCounter).
    int Difference(const LARGE_INTEGER& t) const;
    double DifferenceDouble(const LARGE_INTEGER& t) const;
    bool IsRunning() const { return m_bRunning; }

private:
    LARGE_INTEGER m_Frequency;
    LARGE_INTEGER m_Start;
    LARGE_INTEGER m_Stop;
    bool m_bRunning = false;
};
