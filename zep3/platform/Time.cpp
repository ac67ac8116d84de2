#include <zep3/platform/Time.h>

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int dst) {
    struct tm tm = {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = dst < 0 ? -1 : (dst > 0 ? 1 : 0);
    m_time = mktime(&tm);
}

CTime::CTime(const SYSTEMTIME& st, int dst)
    : CTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, dst) {}

CTime CTime::GetCurrentTime() { return CTime(time(nullptr)); }

struct tm* CTime::GetLocalTm(struct tm* out) const { return out ? localtime_r(&m_time, out) : nullptr; }
struct tm* CTime::GetGmtTm(struct tm* out) const { return out ? gmtime_r(&m_time, out) : nullptr; }

namespace {
template <class F> int LocalField(time_t t, F field) {
    struct tm tm;
    return localtime_r(&t, &tm) ? field(tm) : 0;
}
} // namespace

int CTime::GetYear() const { return LocalField(m_time, [](const tm& t) { return t.tm_year + 1900; }); }
int CTime::GetMonth() const { return LocalField(m_time, [](const tm& t) { return t.tm_mon + 1; }); }
int CTime::GetDay() const { return LocalField(m_time, [](const tm& t) { return t.tm_mday; }); }
int CTime::GetHour() const { return LocalField(m_time, [](const tm& t) { return t.tm_hour; }); }
int CTime::GetMinute() const { return LocalField(m_time, [](const tm& t) { return t.tm_min; }); }
int CTime::GetSecond() const { return LocalField(m_time, [](const tm& t) { return t.tm_sec; }); }
int CTime::GetDayOfWeek() const { return LocalField(m_time, [](const tm& t) { return t.tm_wday + 1; }); }

CString CTime::FormatTm(const char* format, const struct tm* tm) const {
    if (!format || !tm || !*format) return CString();
    char buf[512];
    size_t n = strftime(buf, sizeof buf, format, tm);
    return CString(buf, static_cast<int>(n));
}

CString CTime::Format(const char* format) const {
    struct tm tm;
    return FormatTm(format, GetLocalTm(&tm));
}

CString CTime::FormatGmt(const char* format) const {
    struct tm tm;
    return FormatTm(format, GetGmtTm(&tm));
}

bool CTime::GetAsSystemTime(SYSTEMTIME& st) const {
    struct tm tm;
    if (!GetLocalTm(&tm) || tm.tm_year + 1900 < 0 || tm.tm_year + 1900 > 65535) return false;
    st.wYear = static_cast<WORD>(tm.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st.wDay = static_cast<WORD>(tm.tm_mday);
    st.wHour = static_cast<WORD>(tm.tm_hour);
    st.wMinute = static_cast<WORD>(tm.tm_min);
    st.wSecond = static_cast<WORD>(tm.tm_sec);
    st.wMilliseconds = 0;
    return true;
}
