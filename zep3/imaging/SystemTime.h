#pragma once
/// @class CSystemTime
/// The time stamp of frames and recordings. A calendar time in
/// the eight 16-bit fields of SYSTEMTIME (local time, milliseconds 0..999)
/// followed by a 32-bit microsecond part (0..999) that refines the
/// milliseconds. 20 bytes, copied as plain bytes.
#include <zep3/platform/Export.h>
#include <zep3/platform/Time.h>
#include <zep3/platform/WinTypes.h>

#include <cstddef>

class ZEP3_API CSystemTime {
public:
    /// The unset stamp: the local calendar time of epoch second 0, milliseconds
    /// and microseconds 0.
    CSystemTime();
    /// Calendar fields from the local time of `time` (all 0 when it cannot be
    /// converted); milliseconds kept only when 0..999, else 0; microseconds
    /// stored as given.
    CSystemTime(const CTime& time, int milliseconds, DWORD microseconds);
    /// From milliseconds since 1970-01-01 UTC: seconds = count / 1000,
    /// milliseconds = count % 1000 (0 when that is negative).
    CSystemTime(LONGLONG millisecondsSince1970, DWORD microseconds);

    bool operator==(const CSystemTime& other) const;
    bool operator!=(const CSystemTime& other) const { return !(*this == other); }

    SYSTEMTIME m_Time;
    DWORD m_MicroSeconds;

private:
    void Set(const CTime& time, int milliseconds, DWORD microseconds);
};
static_assert(sizeof(CSystemTime) == 20, "CSystemTime is 20 bytes");
static_assert(offsetof(CSystemTime, m_MicroSeconds) == 16, "microseconds follow the calendar fields");
