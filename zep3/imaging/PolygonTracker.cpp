#include <zep3/imaging/PolygonTracker.h>

#include <zep3/imaging/detail/ShapeSupport.h>

#include <zep3/foundation/IniFile.h>
#include <zep3/platform/Cursor.h>
#include <zep3/platform/Messages.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace zep3::detail;

namespace {

constexpr double kPi = 3.14159265358979323846;

bool IsColor(COLORREF c) { return c <= 0xFFFFFF; }

} // namespace

CPolygonTracker::CPolygonTracker() : CPolygonTracker(3) {}

CPolygonTracker::CPolygonTracker(int count)
    : m_nLastDragX(0), m_nLastDragY(0), m_bMoving(false), m_bSelected(false), m_bResizable(true),
      m_bMovable(true) {
    CPolygonTracker::InitHandles(count);
}

CPolygonTracker::CPolygonTracker(const CPolygonTracker& other) : CPolygonTracker() { *this = other; }

CPolygonTracker& CPolygonTracker::operator=(const CPolygonTracker& other) {
    if (this == &other) return *this;
    CHandleTracker::operator=(other);
    m_RLC = other.m_RLC;
    m_BoundRect = other.m_BoundRect;
    m_nLastDragX = other.m_nLastDragX;
    m_nLastDragY = other.m_nLastDragY;
    m_bMoving = other.m_bMoving;
    m_bSelected = other.m_bSelected;
    m_bResizable = other.m_bResizable;
    m_bMovable = other.m_bMovable;
    return *this;
}

CPolygonTracker::~CPolygonTracker() = default;

// --- handles ---------------------------------------------------------------------

void CPolygonTracker::InitHandles(int count) {
    m_bResizable = m_bMovable = true;
    m_bMoving = m_bSelected = false;
    m_nLastDragX = m_nLastDragY = 0;
    m_NameFont.lfHeight = -15;
    count = std::clamp(count, 3, kMaxHandles);
    Reset();
    if (count == 4) {
        for (const CPoint& p : {CPoint(0, 0), CPoint(100, 0), CPoint(100, 100), CPoint(0, 100)}) m_Handles.Add(p);
    } else {
        // The angle grows by repeated addition, not as i x step: the
        // truncated points depend on the rounding of the sum.
        double angle = 0.0;
        for (int i = 0; i < count; ++i) {
            m_Handles.Add(CPoint(int(std::cos(angle) * 100 + 200), int(std::sin(angle) * 100 + 200)));
            angle += 2 * kPi / count;
        }
    }
    InitHandleRect();
    UpdateShape();
}

CPoint CPolygonTracker::GetHandle(int index) const {
    return index >= 0 && index < GetHandleCount() ? m_Handles[index] : CPoint(0, 0);
}

bool CPolygonTracker::AddHandleRight() {
    const int s = m_nSelectedHandle, count = GetHandleCount();
    if (s < 0 || s >= count || count >= kMaxHandles) return false;
    const int t = (s + 1) % count;
    const CPoint &a = m_Handles[s], &b = m_Handles[t];
    const bool inserted = InsertHandle(t, CPoint(ClampToInt((0LL + a.x + b.x) / 2), ClampToInt((0LL + a.y + b.y) / 2)));
    UpdateShape();
    return inserted;
}

bool CPolygonTracker::RemoveHandle() {
    if (m_nSelectedHandle < 0 || GetHandleCount() <= 3) return false;
    const bool removed = CHandleTracker::RemoveHandle(m_nSelectedHandle);
    // The index named the removed point; keep no selection or grab on its neighbour.
    m_nSelectedHandle = m_nGrabbedHandle = -1;
    UpdateShape();
    return removed;
}

// --- region and box --------------------------------------------------------------------

const CRLC& CPolygonTracker::GetRLC() const { return m_RLC; }

const CRect& CPolygonTracker::GetBoundRect() const { return m_BoundRect; }

bool CPolygonTracker::MakeRLC(bool swap) {
    const bool made = m_RLC.MakeFromTracker(*this, true);
    if (made && swap) m_RLC.SwapRLCXY(true);
    return made;
}

bool CPolygonTracker::UpdateRLC() { return MakeRLC(m_RLC.IsSwapped()); }

bool CPolygonTracker::UpdateBoundRect() {
    if (GetHandleCount() < 2) return false;
    CRect box(m_Handles[0], m_Handles[0]);
    for (const CPoint& p : m_Handles) {
        box.left = std::min<int>(box.left, p.x);
        box.top = std::min<int>(box.top, p.y);
        box.right = std::max<int>(box.right, p.x);
        box.bottom = std::max<int>(box.bottom, p.y);
    }
    m_BoundRect = box;
    return true;
}

void CPolygonTracker::UpdateShape() {
    UpdateRLC();
    UpdateBoundRect();
}

bool CPolygonTracker::HitTest(const CPoint& point) {
    const CPoint p = m_RLC.IsSwapped() ? CPoint(point.y, point.x) : point;
    return m_RLC.GetHitID(p) > 0;
}

void CPolygonTracker::SetMovable(bool movable) { m_bMovable = movable; }

// --- mouse protocol -------------------------------------------------------------------

bool CPolygonTracker::IsSelected() { return CHandleTracker::IsSelected() || m_bSelected; }

bool CPolygonTracker::DeSelect() {
    const bool changed = CHandleTracker::DeSelect() || m_bSelected || m_bMoving;
    m_bSelected = m_bMoving = false;
    return changed;
}

bool CPolygonTracker::Select(const CPoint& point, bool grab) {
    if (!m_bEnabled) return false;
    if (m_bResizable && CHandleTracker::Select(point, grab)) {
        m_bSelected = true;
        return true;
    }
    const bool wasSelected = m_bSelected, wasMoving = m_bMoving;
    const bool onHandle = GetHitHandle(point) != -1;
    if (onHandle || HitTest(point)) {
        m_bSelected = true;
        if (!onHandle && grab) {
            m_bMoving = true;
            m_nLastDragX = point.x;
            m_nLastDragY = point.y;
        }
    }
    return m_bSelected != wasSelected || m_bMoving != wasMoving;
}

bool CPolygonTracker::Drag(const CPoint& point) {
    if (!m_bMovable || !m_bEnabled) return false;
    bool dragged;
    if (m_bMoving) {
        const long long dx = 0LL + point.x - m_nLastDragX, dy = 0LL + point.y - m_nLastDragY;
        for (int i = 0; i < GetHandleCount(); ++i)
            SetHandlePosition(i, CPoint(ClampToInt(m_Handles[i].x + dx), ClampToInt(m_Handles[i].y + dy)));
        m_nLastDragX = point.x;
        m_nLastDragY = point.y;
        m_bDragging = dragged = true;
    } else {
        dragged = CHandleTracker::Drag(point);
    }
    // Nothing moved without a drag: the region stays as it is.
    if (dragged) UpdateShape();
    return dragged;
}

bool CPolygonTracker::Drop() {
    const bool wasMoving = m_bMoving;
    m_bMoving = false;
    return CHandleTracker::Drop() || wasMoving;
}

int CPolygonTracker::GetDist(const CPoint& point) {
    const int handle = CHandleTracker::GetDist(point);
    if (handle >= 0) return handle;
    return m_bEnabled && HitTest(point) ? GetMinDist(point) : -1;
}

bool CPolygonTracker::SetCursor(CWnd*, UINT hitCode) {
    if (!m_bEnabled || hitCode != HTCLIENT) return false;
    LPCSTR shape = nullptr;
    if (m_bResizable && m_nSelectedHandle >= 0)
        shape = IDC_CROSS;
    else if (m_bMovable && (m_bMoving || m_bSelected))
        shape = IDC_SIZEALL;
    if (!shape) return false;
    ::SetCursor(LoadCursor(nullptr, shape));
    return true;
}

// --- drawing and settings ---------------------------------------------------------------

bool CPolygonTracker::Draw(CDC* dc, double zoom) {
    if (!m_bEnabled || !dc) return false;
    if (m_bResizable && !CHandleTracker::Draw(dc, zoom)) return false;
    OutlinePen pen(dc, GetFrameColor(), OutlineStyle(m_bMoving || IsSelected()));
    DrawShapeName(dc, m_Name, m_NameFont, m_NameColor, ClampToInt(ZoomCoordinate(m_BoundRect.left, zoom) + 2LL),
                  ClampToInt(0LL + ZoomCoordinate(m_BoundRect.top, zoom) + m_NameFont.lfHeight));
    DrawClosedOutline(dc, m_Handles.GetData(), GetHandleCount(), zoom);
    return true;
}

bool CPolygonTracker::Exchange(CIniFile* ini, int mode) {
    if (!ini) return false;
    int count = GetHandleCount();
    bool ok = ExchangeChecked(ini, mode, "HandleCount", &count, [](int n) { return n >= 3 && n <= kMaxHandles; });
    ok = ExchangeChecked(ini, mode, "Color", &m_Color, IsColor) && ok;
    ok = ExchangeChecked(ini, mode, "ColorHigh", &m_HighlightColor, IsColor) && ok;
    ok = ExchangeChecked(ini, mode, "Size", &m_nHandleSize, [](int s) { return s >= 0 && s <= kMaxHandleSize; }) && ok;
    ok = ExchangeChecked(ini, mode, "NameFont", &m_NameFont, [](const LOGFONT& f) {
             return std::abs(f.lfHeight) <= kMaxNameFontHeight && std::abs(f.lfWidth) <= kMaxNameFontHeight;
         }) && ok;
    ok = ExchangeChecked(ini, mode, "NameColor", &m_NameColor, IsColor) && ok;
    if (mode == 0 && count != GetHandleCount()) {
        const LOGFONT font = m_NameFont;
        InitHandles(count);
        m_NameFont = font;
    }
    CArray<CPoint, CPoint> before;
    before.Copy(m_Handles);
    ok = CHandleTracker::Exchange(ini, mode) && ok;
    if (mode == 0) {
        if (!RestoreOutOfRangeHandles(m_Handles, before)) {
            InitHandleRect();
            ok = false;
        }
        UpdateShape();
    }
    return ok;
}
