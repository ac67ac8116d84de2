#include <zep3/imaging/SystemTime.h>

#include <cstring>

CSystemTime::CSystemTime() { Set(CTime(0), 0, 0); }

CSystemTime::CSystemTime(const CTime& time, int milliseconds, DWORD microseconds) {
    Set(time, milliseconds, microseconds);
}

CSystemTime::CSystemTime(LONGLONG millisecondsSince1970, DWORD microseconds) {
    Set(CTime(static_cast<time_t>(millisecondsSince1970 / 1000)), static_cast<int>(millisecondsSince1970 % 1000),
        microseconds);
}

void CSystemTime::Set(const CTime& time, int milliseconds, DWORD microseconds) {
    std::memset(&m_Time, 0, sizeof m_Time);
    time.GetAsSystemTime(m_Time);
    m_Time.wMilliseconds = static_cast<WORD>(milliseconds >= 0 && milliseconds <= 999 ? milliseconds : 0);
    m_MicroSeconds = microseconds;
}

bool CSystemTime::operator==(const CSystemTime& other) const {
    return std::memcmp(&m_Time, &other.m_Time, sizeof m_Time) == 0 && m_MicroSeconds == other.m_MicroSeconds;
}
