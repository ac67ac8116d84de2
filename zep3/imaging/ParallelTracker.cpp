#include <zep3/imaging/ParallelTracker.h>

#include <zep3/imaging/detail/ShapeSupport.h>

#include <zep3/platform/Cursor.h>
#include <zep3/platform/Messages.h>

#include <algorithm>

using namespace zep3::detail;

namespace {

// The handle paired with a side handle: 1 with 3, 2 with 4.
int Partner(int index) { return index <= 2 ? index + 2 : index - 2; }

// Rounded down: for the picture's coordinates the plain integer division,
// and below zero still a midpoint that shifting both handles by d moves by
// exactly d, so that FixPosition always reaches the centre.
long long FloorDiv(long long a, long long b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

CPoint Midpoint(const CPoint& a, const CPoint& b) {
    return CPoint(ClampToInt(FloorDiv(0LL + a.x + b.x, 2)), ClampToInt(FloorDiv(0LL + a.y + b.y, 2)));
}

// a + b - c, component-wise.
CPoint Corner(const CPoint& a, const CPoint& b, const CPoint& c) {
    return CPoint(ClampToInt(0LL + a.x + b.x - c.x), ClampToInt(0LL + a.y + b.y - c.y));
}

} // namespace

CParallelTracker::CParallelTracker() {
    for (const CPoint& p : {CPoint(130, 30), CPoint(30, 30), CPoint(130, 20), CPoint(230, 30), CPoint(130, 40)})
        AddHandle(p);
    CalculateCorners();
}

CParallelTracker::CParallelTracker(const CParallelTracker& other) : CParallelTracker() { *this = other; }

CParallelTracker& CParallelTracker::operator=(const CParallelTracker& other) {
    if (this == &other) return *this;
    CHandleTracker::operator=(other);
    m_BoundRect = other.m_BoundRect;
    m_TopLeft = other.m_TopLeft;
    m_TopRight = other.m_TopRight;
    m_BottomLeft = other.m_BottomLeft;
    m_BottomRight = other.m_BottomRight;
    return *this;
}

CParallelTracker::~CParallelTracker() = default;

bool CParallelTracker::Exchange(CIniFile* ini, int mode) {
    CArray<CPoint, CPoint> before;
    before.Copy(m_Handles);
    bool ok = CHandleTracker::Exchange(ini, mode);
    if (mode == 0 && ini) {
        ok = RestoreOutOfRangeHandles(m_Handles, before) && ok;
        InitHandleRect();
        FixPosition();
    }
    CalculateCorners();
    return ok;
}

void CParallelTracker::CalculateCorners() {
    const CPoint& c = HandlePoint(0);
    m_TopLeft = Corner(HandlePoint(1), HandlePoint(2), c);
    m_TopRight = Corner(HandlePoint(3), HandlePoint(2), c);
    m_BottomLeft = Corner(HandlePoint(1), HandlePoint(4), c);
    m_BottomRight = Corner(HandlePoint(3), HandlePoint(4), c);
    m_BoundRect = CRect(std::min({m_TopLeft.x, m_TopRight.x, m_BottomLeft.x, m_BottomRight.x}),
                        std::min({m_TopLeft.y, m_TopRight.y, m_BottomLeft.y, m_BottomRight.y}),
                        std::max({m_TopLeft.x, m_TopRight.x, m_BottomLeft.x, m_BottomRight.x}),
                        std::max({m_TopLeft.y, m_TopRight.y, m_BottomLeft.y, m_BottomRight.y}));
}

bool CParallelTracker::FixPosition() {
    if (GetHandleCount() < 5) return false;
    bool moved = false;
    for (int first : {1, 2}) {
        const int second = Partner(first);
        const CPoint& c = HandlePoint(0);
        const CPoint mid = Midpoint(HandlePoint(first), HandlePoint(second));
        const long long dx = 0LL + c.x - mid.x, dy = 0LL + c.y - mid.y;
        if (dx == 0 && dy == 0) continue;
        for (int i : {first, second})
            SetHandlePosition(i, CPoint(ClampToInt(HandlePoint(i).x + dx), ClampToInt(HandlePoint(i).y + dy)));
        moved = true;
    }
    if (moved) CalculateCorners();
    return moved;
}

void CParallelTracker::SetOposite(int index) {
    if (index < 1 || index > 4 || GetHandleCount() < 5) return;
    const CPoint& c = HandlePoint(0);
    const CPoint& p = HandlePoint(index);
    SetHandlePosition(Partner(index), CPoint(ClampToInt(2LL * c.x - p.x), ClampToInt(2LL * c.y - p.y)));
    CalculateCorners();
}

bool CParallelTracker::Drag(const CPoint& point) {
    const int grabbed = m_nGrabbedHandle;
    if (!CHandleTracker::Drag(point)) return false;
    bool result = true;
    if (grabbed == 0) {
        result = FixPosition();
    } else if (grabbed >= 1 && grabbed <= 4) {
        SetHandlePosition(0, Midpoint(HandlePoint(grabbed), HandlePoint(Partner(grabbed))));
        FixPosition();
    }
    CalculateCorners();
    return result;
}

bool CParallelTracker::SetPosition(int index, const CPoint& point) {
    if (index < 0 || index > 4 || GetHandleCount() < 5) return false;
    SetHandlePosition(index, point);
    if (index > 0) SetHandlePosition(0, Midpoint(HandlePoint(index), HandlePoint(Partner(index))));
    const bool moved = FixPosition();
    CalculateCorners();
    return moved;
}

bool CParallelTracker::SetPosition(const CPoint& p1, const CPoint& p2, const CPoint& p3, const CPoint& p4) {
    SetHandlePosition(1, p1);
    SetHandlePosition(2, p2);
    SetHandlePosition(3, p3);
    SetHandlePosition(4, p4);
    SetHandlePosition(0, CPoint(ClampToInt(FloorDiv(0LL + p1.x + p2.x + p3.x + p4.x, 4)),
                                ClampToInt(FloorDiv(0LL + p1.y + p2.y + p3.y + p4.y, 4))));
    FixPosition();
    CalculateCorners();
    return true;
}

bool CParallelTracker::Draw(CDC* dc, double zoom) {
    if (!CHandleTracker::Draw(dc, zoom)) return false;
    OutlinePen pen(dc, m_Color, OutlineStyle(m_nSelectedHandle != -1));
    dc->MoveTo(ZoomPoint(m_TopLeft, zoom));
    for (const CPoint* p : {&m_BottomLeft, &m_BottomRight, &m_TopRight, &m_TopLeft}) dc->LineTo(ZoomPoint(*p, zoom));
    return true;
}

bool CParallelTracker::SetCursor(CWnd*, UINT hitCode) {
    if (!m_bEnabled || hitCode != HTCLIENT || m_nSelectedHandle == -1) return false;
    ::SetCursor(LoadCursor(nullptr, m_nSelectedHandle == 0 ? IDC_SIZEALL : IDC_CROSS));
    return true;
}
