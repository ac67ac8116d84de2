#include <zep3/imaging/RectangleTracker.h>

#include <zep3/imaging/detail/ShapeSupport.h>

#include <zep3/foundation/IniFile.h>
#include <zep3/platform/Cursor.h>
#include <zep3/platform/Messages.h>

#include <algorithm>

using namespace zep3::detail;

namespace {

constexpr int kMarkerArm = 4;

// Inside test on the normalised rectangle, so that it also holds in the
// middle of a drag that has crossed two corners.
CRect Normalized(const CRect& r) {
    CRect n(r);
    n.NormalizeRect();
    return n;
}

} // namespace

CRectangleTracker::CRectangleTracker()
    : m_bMoving(false), m_bInsideSelected(false), m_nGrabOffsetX(0), m_nGrabOffsetY(0), m_bResizable(true),
      m_bMovable(true), m_MarkerX(0.0), m_MarkerY(0.0) {
    for (const CPoint& p : {CPoint(10, 10), CPoint(200, 10), CPoint(200, 200), CPoint(10, 200)}) AddHandle(p);
    m_NameFont.lfHeight = -15;
}

CRectangleTracker::CRectangleTracker(const CRectangleTracker& other) : CRectangleTracker() { *this = other; }

CRectangleTracker& CRectangleTracker::operator=(const CRectangleTracker& other) {
    if (this == &other) return *this;
    CHandleTracker::operator=(other);
    m_nGrabOffsetX = other.m_nGrabOffsetX;
    m_nGrabOffsetY = other.m_nGrabOffsetY;
    m_bResizable = other.m_bResizable;
    m_bMovable = other.m_bMovable;
    m_MarkerX = other.m_MarkerX;
    m_MarkerY = other.m_MarkerY;
    return *this;
}

CRectangleTracker::~CRectangleTracker() = default;

bool CRectangleTracker::Exchange(CIniFile* ini, int mode) {
    CArray<CPoint, CPoint> before;
    before.Copy(m_Handles);
    bool ok = CHandleTracker::Exchange(ini, mode);
    if (mode == 0 && ini) {
        ok = RestoreOutOfRangeHandles(m_Handles, before) && ok;
        SetRect(GetRect());
        InitHandleRect();
    }
    return ok;
}

// --- mouse protocol -------------------------------------------------------------

bool CRectangleTracker::IsSelected() { return CHandleTracker::IsSelected() || m_bInsideSelected; }

bool CRectangleTracker::DeSelect() {
    const bool changed = CHandleTracker::DeSelect() || m_bInsideSelected || m_bMoving;
    m_bInsideSelected = m_bMoving = false;
    return changed;
}

bool CRectangleTracker::Select(const CPoint& point, bool grab) {
    if (!m_bEnabled) return false;
    if (m_bResizable && CHandleTracker::Select(point, grab)) return true;
    const bool wasInside = m_bInsideSelected, wasMoving = m_bMoving;
    if (GetHitHandle(point) == -1 && Normalized(GetRect()).PtInRect(point)) {
        m_bInsideSelected = true;
        if (grab) {
            m_bMoving = true;
            m_nGrabOffsetX = ClampToInt(0LL + point.x - HandlePoint(0).x);
            m_nGrabOffsetY = ClampToInt(0LL + point.y - HandlePoint(0).y);
        }
    }
    return m_bInsideSelected != wasInside || m_bMoving != wasMoving;
}

bool CRectangleTracker::Drag(const CPoint& point) {
    if (!m_bMovable || !m_bEnabled) return false;
    if (m_bMoving) {
        const CRect r = GetRect();
        const long long left = 0LL + point.x - m_nGrabOffsetX, top = 0LL + point.y - m_nGrabOffsetY;
        SetCorners(left, top, left + r.right - r.left, top + r.bottom - r.top);
        m_bDragging = true;
        return true;
    }
    if (!CHandleTracker::Drag(point)) return false;
    const CPoint p0 = HandlePoint(0), p1 = HandlePoint(1), p2 = HandlePoint(2), p3 = HandlePoint(3);
    switch (m_nGrabbedHandle) {
    case 0:
    case 2: // the opposite corners 0 and 2 fix the other two
        SetHandlePosition(1, CPoint(p2.x, p0.y));
        SetHandlePosition(3, CPoint(p0.x, p2.y));
        break;
    case 1:
    case 3:
        SetHandlePosition(0, CPoint(p3.x, p1.y));
        SetHandlePosition(2, CPoint(p1.x, p3.y));
        break;
    }
    return true;
}

bool CRectangleTracker::Drop() {
    const bool wasMoving = m_bMoving;
    m_bMoving = false;
    Normalize();
    return CHandleTracker::Drop() || wasMoving;
}

int CRectangleTracker::GetDist(const CPoint& point) {
    const int handle = CHandleTracker::GetDist(point);
    if (handle >= 0) return handle;
    const CRect r = Normalized(GetRect());
    if (!m_bEnabled || !r.PtInRect(point)) return -1;
    const long long x = point.x, y = point.y;
    return ClampToInt(std::min({x - r.left, r.right - x, y - r.top, r.bottom - y}));
}

bool CRectangleTracker::SetCursor(CWnd*, UINT hitCode) {
    if (!m_bEnabled || hitCode != HTCLIENT) return false;
    LPCSTR shape = nullptr;
    if (m_bResizable && m_nSelectedHandle >= 0)
        shape = m_nSelectedHandle % 2 == 0 ? IDC_SIZENWSE : IDC_SIZENESW;
    else if (m_bMovable && (m_bMoving || m_bInsideSelected))
        shape = IDC_SIZEALL;
    if (!shape) return false;
    ::SetCursor(LoadCursor(nullptr, shape));
    return true;
}

// --- drawing -------------------------------------------------------------------------

bool CRectangleTracker::Draw(CDC* dc, double zoom) {
    if (!m_bEnabled || !dc) return false;
    if (m_bResizable && !CHandleTracker::Draw(dc, zoom)) return false;
    OutlinePen pen(dc, GetFrameColor(), OutlineStyle(m_bMoving || IsSelected()));
    DrawClosedOutline(dc, m_Handles.GetData(), GetHandleCount(), zoom);
    if (m_MarkerX != 0.0 || m_MarkerY != 0.0) {
        const CPoint m = ZoomPoint(GetMarker(), zoom);
        dc->MoveTo(m.x - kMarkerArm, m.y);
        dc->LineTo(m.x + kMarkerArm + 1, m.y);
        dc->MoveTo(m.x, m.y - kMarkerArm);
        dc->LineTo(m.x, m.y + kMarkerArm + 1);
    }
    const CRect r = Normalized(GetRect());
    DrawShapeName(dc, m_Name, m_NameFont, m_NameColor, ClampToInt(ZoomCoordinate(r.left, zoom) + 2LL),
                  ClampToInt(0LL + ZoomCoordinate(r.top, zoom) + m_NameFont.lfHeight));
    return true;
}

// --- the rectangle -------------------------------------------------------------------

CRect CRectangleTracker::GetRect() const { return CRect(HandlePoint(0), HandlePoint(2)); }

void CRectangleTracker::SetRect(const CRect& rect) { SetCorners(rect.left, rect.top, rect.right, rect.bottom); }

void CRectangleTracker::SetCorners(long long left, long long top, long long right, long long bottom) {
    const int l = ClampToInt(left), t = ClampToInt(top), r = ClampToInt(right), b = ClampToInt(bottom);
    SetHandlePosition(0, CPoint(l, t));
    SetHandlePosition(1, CPoint(r, t));
    SetHandlePosition(2, CPoint(r, b));
    SetHandlePosition(3, CPoint(l, b));
}

void CRectangleTracker::Normalize() { SetRect(Normalized(GetRect())); }

bool CRectangleTracker::Intersect(const CRect& limit) {
    CArray<CPoint, CPoint> before;
    before.Copy(m_Handles);
    const CRect lim = Normalized(limit);
    CRect r = Normalized(GetRect());
    r.left = std::clamp<int>(r.left, lim.left, lim.right);
    r.top = std::clamp<int>(r.top, lim.top, lim.bottom);
    r.right = std::clamp<int>(r.right, lim.left, lim.right);
    r.bottom = std::clamp<int>(r.bottom, lim.top, lim.bottom);
    SetRect(r);
    for (int i = 0; i < GetHandleCount(); ++i)
        if (m_Handles[i] != before[i]) return true;
    return false;
}

void CRectangleTracker::MoveToCenter(const CPoint& point) {
    const CRect r = GetRect();
    const long long cx = (0LL + r.left + r.right) / 2, cy = (0LL + r.top + r.bottom) / 2;
    const long long dx = point.x - cx, dy = point.y - cy;
    SetCorners(r.left + dx, r.top + dy, r.right + dx, r.bottom + dy);
    m_bModified = true;
}

void CRectangleTracker::SetMarker(CPoint point) {
    const CRect r = GetRect();
    const double w = 0.0 + r.right - r.left, h = 0.0 + r.bottom - r.top;
    m_MarkerX = w != 0.0 ? (0.0 + point.x - r.left) / w : 0.0;
    m_MarkerY = h != 0.0 ? (0.0 + point.y - r.top) / h : 0.0;
}

CPoint CRectangleTracker::GetMarker() {
    const CRect r = GetRect();
    int dx = 0, dy = 0;
    TruncToInt((0.0 + r.right - r.left) * m_MarkerX, dx);
    TruncToInt((0.0 + r.bottom - r.top) * m_MarkerY, dy);
    return CPoint(ClampToInt(0LL + r.left + dx), ClampToInt(0LL + r.top + dy));
}
