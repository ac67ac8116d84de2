#pragma once
/// @class CTime
/// Seconds since 1970-01-01 00:00:00 UTC, shown in local time (the
/// process's TZ). Held in 64 bits; persisted forms narrow it where they say so.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>
#include <zep3/platform/TimeSpan.h>

#include <ctime>

class ZEP3_API CTime {
public:
    ///@{
    /// 1970-01-01 00:00:00 UTC, or the given seconds since then.
    CTime() = default;
    CTime(time_t t) : m_time(t) {}
    ///@}
    ///@{
    /// Local calendar time; dst -1 lets the C library decide.
    CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1);
    CTime(const SYSTEMTIME& st, int dst = -1);
    ///@}

    /// Now, to the second.
    static CTime GetCurrentTime();
    /// Seconds since 1970-01-01 00:00:00 UTC.
    time_t GetTime() const { return m_time; }

    ///@{
    /// Local-time fields; 0 when the time cannot be converted.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    ///@}
    int GetDayOfWeek() const; ///< 1 = Sunday
    ///@{
    /// Null when the time cannot be converted.
    struct tm* GetLocalTm(struct tm* out) const;
    struct tm* GetGmtTm(struct tm* out) const;
    ///@}

    ///@{
    /// strftime conventions, local time / UTC.
    CString Format(const char* format) const;
    CString FormatGmt(const char* format) const;
    ///@}
    /// Local calendar fields, milliseconds 0; false (fields untouched) when the
    /// time cannot be converted.
    bool GetAsSystemTime(SYSTEMTIME& st) const;

    ///@{
    /// The span between two times, moving a time by a span, and comparison.
    CTimeSpan operator-(CTime o) const { return CTimeSpan(int64_t(m_time) - int64_t(o.m_time)); }
    CTime operator+(CTimeSpan s) const { return CTime(time_t(m_time + s.GetTotalSeconds())); }
    CTime operator-(CTimeSpan s) const { return CTime(time_t(m_time - s.GetTotalSeconds())); }
    CTime& operator+=(CTimeSpan s) { m_time += s.GetTotalSeconds(); return *this; }
    CTime& operator-=(CTimeSpan s) { m_time -= s.GetTotalSeconds(); return *this; }
    bool operator==(CTime o) const { return m_time == o.m_time; }
    bool operator!=(CTime o) const { return m_time != o.m_time; }
    bool operator<(CTime o) const { return m_time < o.m_time; }
    bool operator>(CTime o) const { return m_time > o.m_time; }
    bool operator<=(CTime o) const { return m_time <= o.m_time; }
    bool operator>=(CTime o) const { return m_time >= o.m_time; }
    ///@}

private:
    CString FormatTm(const char* format, const struct tm* tm) const;

    time_t m_time = 0;
};
