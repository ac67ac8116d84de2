#include <zep3/imaging/Contour.h>

#include <algorithm>
#include <new>

CContour::CContour(const CContour& other) { *this = other; }

CContour& CContour::operator=(const CContour& other) {
    if (this != &other) SetPoints(other.m_pPoints, other.m_nPoints, other.m_bClosed);
    return *this;
}

CContour::~CContour() { delete[] m_pPoints; }

void CContour::Reset() {
    delete[] m_pPoints;
    m_pPoints = nullptr;
    m_nPoints = 0;
    m_Start = CPoint();
    m_bClosed = false;
}

bool CContour::SetPoints(const CPoint* points, int count, bool closed) {
    Reset();
    if (!points || count <= 0) return true;
    m_pPoints = new (std::nothrow) CPoint[size_t(count)];
    if (!m_pPoints) return false;
    std::copy(points, points + count, m_pPoints);
    m_nPoints = count;
    m_Start = points[0];
    m_bClosed = closed;
    return true;
}
