#include <zep3/foundation/Counter.h>

#include <zep3/platform/Clock.h>

#include <climits>

namespace {

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

int Truncated(double ms) {
    if (!(ms > INT_MIN && ms < INT_MAX)) return ms > 0 ? INT_MAX : ms < 0 ? INT_MIN : 0;
    return static_cast<int>(ms);
}

} // namespace

CCounter::CCounter() {
    QueryPerformanceFrequency(&m_Frequency);
    m_Start.QuadPart = m_Stop.QuadPart = 0;
}

void CCounter::Start() {
    m_Start = Now();
    m_bRunning = true;
}

double CCounter::StopDouble() {
    if (!m_bRunning) return 0.0;
    m_Stop = Now();
    m_bRunning = false;
    return DifferenceDouble();
}

int CCounter::Stop() { return m_bRunning ? Truncated(StopDouble()) : 0; }

int CCounter::GetCounts() {
    if (!m_bRunning) return 0;
    m_Stop = Now();
    return Difference();
}

int CCounter::GetCounts() const { return m_bRunning ? Truncated(DifferenceDouble(Now())) : 0; }

double CCounter::GetCountsDouble() { return m_bRunning ? DifferenceDouble(Now()) : 0.0; }

int CCounter::Difference() const { return Truncated(DifferenceDouble()); }

double CCounter::DifferenceDouble() const { return DifferenceDouble(m_Stop); }

int CCounter::Difference(const LARGE_INTEGER& t) const { return Truncated(DifferenceDouble(t)); }

double CCounter::DifferenceDouble(const LARGE_INTEGER& t) const {
    if (m_Frequency.QuadPart <= 0) return 0.0;
    return static_cast<double>(t.QuadPart - m_Start.QuadPart) / static_cast<double>(m_Frequency.QuadPart) * 1000.0;
}
