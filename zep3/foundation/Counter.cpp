#include <zep3/foundation/Counter.h>

#include <zep3/platform/Clock.h>

#include <climits>

namespace {

LARGE_INTEGER now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

int truncated(double ms) {
    if (!(ms > INT_MIN && ms < INT_MAX)) return ms > 0 ? INT_MAX : ms < 0 ? INT_MIN : 0;
    return static_cast<int>(ms);
}

} // namespace

CCounter::CCounter() {
    QueryPerformanceFrequency(&m_Frequency);
    m_Start.QuadPart = m_Stop.QuadPart = 0;
}

void CCounter::Start() {
    m_Start = now();
    m_bRunning = true;
}

double CCounter::StopDouble() {
    if (!m_bRunning) return 0.0;
    m_Stop = now();
    m_bRunning = false;
    return DifferenceDouble();
}

int CCounter::Stop() { return m_bRunning ? truncated(StopDouble()) : 0; }

int CCounter::GetCounts() {
    if (!m_bRunning) return 0;
    m_Stop = now();
    return Difference();
}

int CCounter::GetCounts() const { return m_bRunning ? truncated(DifferenceDouble(now())) : 0; }

double CCounter::GetCountsDouble() { return m_bRunning ? DifferenceDouble(now()) : 0.0; }

int CCounter::Difference() const { return truncated(DifferenceDouble()); }

double CCounter::DifferenceDouble() const { return DifferenceDouble(m_Stop); }

int CCounter::Difference(const LARGE_INTEGER& t) const { return truncated(DifferenceDouble(t)); }

double CCounter::DifferenceDouble(const LARGE_INTEGER& t) const {
    if (m_Frequency.QuadPart <= 0) return 0.0;
    return static_cast<double>(t.QuadPart - m_Start.QuadPart) / static_cast<double>(m_Frequency.QuadPart) * 1000.0;
}
