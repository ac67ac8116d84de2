#include <zep3/imaging/PerspectiveTracker.h>

#include <zep3/imaging/detail/ShapeSupport.h>

using namespace zep3::detail;

namespace {

CMPoint ToMPoint(const CPoint& p) { return CMPoint(p.x, p.y); }

bool ToPoint(const CMPoint& m, CPoint& p) { return TruncToInt(m.x, p.x) && TruncToInt(m.y, p.y); }

CPoint Midpoint(const CPoint& a, const CPoint& b) {
    return CPoint(ClampToInt((0LL + a.x + b.x) / 2), ClampToInt((0LL + a.y + b.y) / 2));
}

} // namespace

CPerspectiveTracker::CPerspectiveTracker() : m_pPerspective(nullptr) { InitHandles(4); }

CPerspectiveTracker::CPerspectiveTracker(const CPerspectiveTracker& other) : CPerspectiveTracker() {
    *this = other;
}

CPerspectiveTracker& CPerspectiveTracker::operator=(const CPerspectiveTracker& other) {
    CPolygonTracker::operator=(other);
    m_pPerspective = other.m_pPerspective;
    return *this;
}

CPerspectiveTracker::~CPerspectiveTracker() = default;

bool CPerspectiveTracker::UsePerspective(CPerspectiveCorrection* perspective) {
    if (!perspective) return false;
    m_pPerspective = perspective;
    return true;
}

bool CPerspectiveTracker::Drag(const CPoint& point) {
    if (!m_pPerspective || GetHandleCount() < 4) return false;
    const int grabbed = m_nGrabbedHandle;
    if (!CHandleTracker::Drag(point)) return false;
    const bool evenMoved = grabbed == 0 || grabbed == 2;
    const CMPoint p = ToMPoint(HandlePoint(evenMoved ? 0 : 1)), q = ToMPoint(HandlePoint(evenMoved ? 2 : 3));
    CMPoint x, y;
    CPoint px, py;
    if (!m_pPerspective->OrthoX(x, p, q) || !m_pPerspective->OrthoY(y, p, q) || !ToPoint(x, px) || !ToPoint(y, py))
        return false;
    if (evenMoved) {
        SetHandlePosition(1, px);
        SetHandlePosition(3, py);
    } else {
        SetHandlePosition(2, py);
        SetHandlePosition(0, px);
    }
    return true;
}

bool CPerspectiveTracker::Drop() {
    const bool wasDragging = m_bDragging;
    const bool dropped = CPolygonTracker::Drop();
    if (wasDragging) UpdateShape();
    return dropped;
}

bool CPerspectiveTracker::Draw(CDC* dc, double zoom) {
    if (!CPolygonTracker::Draw(dc, zoom)) return false;
    OutlinePen pen(dc, m_Color, PS_DASHDOT);
    dc->MoveTo(ZoomPoint(Midpoint(HandlePoint(0), HandlePoint(1)), zoom));
    dc->LineTo(ZoomPoint(Midpoint(HandlePoint(3), HandlePoint(2)), zoom));
    return true;
}

void CPerspectiveTracker::Update() {
    if (GetHandleCount() == 0 || IsSelected()) return;
    const CPoint corner = HandlePoint(0);
    Select(corner, true);
    Drag(corner);
    Drop();
    DeSelect();
}
