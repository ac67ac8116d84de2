#include <zep3/foundation/ExchangeObject.h>
#include <zep3/imaging/SegObject.h>

#include <cmath>

void CSegObject::Add(const CSegObject& other) {
    if (!other.m_bInitialised) return;
    if (!m_bInitialised) {
        const int id = m_ID;
        const bool colour = m_bColor;
        const CContour contour = m_Contour;
        *this = other;
        m_ID = id;
        m_bColor = colour;
        m_Contour = contour;
        return;
    }
    m_nMass = WrapAdd(m_nMass, other.m_nMass);
    m_GravitySum.x = WrapAdd(m_GravitySum.x, other.m_GravitySum.x);
    m_GravitySum.y = WrapAdd(m_GravitySum.y, other.m_GravitySum.y);
    m_nGravityCount = WrapAdd(m_nGravityCount, other.m_nGravityCount);
    m_Rect.left = std::min(m_Rect.left, other.m_Rect.left);
    m_Rect.top = std::min(m_Rect.top, other.m_Rect.top);
    m_Rect.right = std::max(m_Rect.right, other.m_Rect.right);
    m_Rect.bottom = std::max(m_Rect.bottom, other.m_Rect.bottom);
    m_nMinRunSum = std::min(m_nMinRunSum, other.m_nMinRunSum);
    m_nMaxRunSum = std::max(m_nMaxRunSum, other.m_nMaxRunSum);
}

CMPoint CSegObject::GetGravity() const {
    if (m_nGravityCount == 0) return CMPoint();
    return CMPoint(double(m_GravitySum.x) / m_nGravityCount, double(m_GravitySum.y) / m_nGravityCount);
}

void CSegObject::SetGravity(const CMPoint& centre) {
    m_nGravityCount = 100;
    m_GravitySum.x = static_cast<LONG>(std::lround(centre.x * 100));
    m_GravitySum.y = static_cast<LONG>(std::lround(centre.y * 100));
}

bool CSegObject::Exchange(CIniFile* ini, int mode) {
    bool ok = ExchangeObject(ini, mode, "Gravity", &m_GravitySum);
    ok = ExchangeObject(ini, mode, "GravityCount", &m_nGravityCount) && ok;
    return ExchangeObject(ini, mode, "Mass", &m_nMass) && ok;
}
