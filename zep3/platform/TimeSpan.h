#pragma once
/// @class CTimeSpan
/// A signed number of seconds.
#include <zep3/platform/WinTypes.h>

#include <cstdint>

class CTimeSpan {
public:
    ///@{
    /// Zero, a number of seconds, or days, hours, minutes and seconds.
    CTimeSpan() = default;
    CTimeSpan(int64_t seconds) : m_span(seconds) {}
    CTimeSpan(LONG days, int hours, int minutes, int seconds)
        : m_span(((int64_t(days) * 24 + hours) * 60 + minutes) * 60 + seconds) {}
    ///@}

    ///@{
    /// Whole days, hours, minutes and seconds: GetTotal... counts the whole span in
    /// that unit, GetHours, GetMinutes and GetSeconds the part left below the
    /// next larger unit (all truncated towards zero).
    int64_t GetDays() const { return m_span / 86400; }
    int64_t GetTotalHours() const { return m_span / 3600; }
    int GetHours() const { return static_cast<int>(GetTotalHours() - GetDays() * 24); }
    int64_t GetTotalMinutes() const { return m_span / 60; }
    int GetMinutes() const { return static_cast<int>(GetTotalMinutes() - GetTotalHours() * 60); }
    int64_t GetTotalSeconds() const { return m_span; }
    int GetSeconds() const { return static_cast<int>(GetTotalSeconds() - GetTotalMinutes() * 60); }
    ///@}

    ///@{
    /// Sums, differences and comparison of spans.
    CTimeSpan operator+(CTimeSpan o) const { return m_span + o.m_span; }
    CTimeSpan operator-(CTimeSpan o) const { return m_span - o.m_span; }
    CTimeSpan& operator+=(CTimeSpan o) { m_span += o.m_span; return *this; }
    CTimeSpan& operator-=(CTimeSpan o) { m_span -= o.m_span; return *this; }
    bool operator==(CTimeSpan o) const { return m_span == o.m_span; }
    bool operator!=(CTimeSpan o) const { return m_span != o.m_span; }
    bool operator<(CTimeSpan o) const { return m_span < o.m_span; }
    bool operator>(CTimeSpan o) const { return m_span > o.m_span; }
    bool operator<=(CTimeSpan o) const { return m_span <= o.m_span; }
    bool operator>=(CTimeSpan o) const { return m_span >= o.m_span; }
    ///@}

private:
    int64_t m_span = 0;
};
