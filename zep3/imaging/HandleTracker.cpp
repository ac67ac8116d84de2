#include <zep3/imaging/HandleTracker.h>

#include <zep3/imaging/detail/Zoom.h>

#include <zep3/foundation/ExchangeObject.h>
#include <zep3/foundation/IniFile.h>
#include <zep3/platform/Brush.h>
#include <zep3/platform/DC.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

using zep3::detail::ZoomCoordinate;

namespace {

constexpr COLORREF kGreen = 0x00FF00;
constexpr int kNoHandle = -1;
constexpr int kFarAway = 100000;

LOGFONT DefaultNameFont() {
    LOGFONT font;
    std::memset(&font, 0, sizeof font);
    font.lfHeight = -8;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = EASTEUROPE_CHARSET;
    std::strcpy(font.lfFaceName, "Arial");
    return font;
}

} // namespace

CHandleTracker::CHandleTracker()
    : m_bDragging(false), m_nHandleSize(6), m_nGrabbedHandle(kNoHandle), m_nSelectedHandle(kNoHandle),
      m_Color(kGreen), m_HighlightColor(kGreen), m_NameFont(DefaultNameFont()), m_NameColor(kGreen),
      m_bEnabled(true), m_bModified(true), m_nViewIndex(-1), m_bHighlightEnabled(false), m_bHighlighted(false),
      m_bBlinkPhase(true) {}

CHandleTracker::CHandleTracker(const CHandleTracker& other) : CHandleTracker() { *this = other; }

CHandleTracker& CHandleTracker::operator=(const CHandleTracker& other) {
    if (this == &other) return *this;
    m_Color = other.m_Color;
    m_HighlightColor = other.m_HighlightColor;
    m_nHandleSize = other.m_nHandleSize;
    m_Handles.Copy(other.m_Handles);
    m_nViewIndex = other.m_nViewIndex;
    m_Name = other.m_Name;
    m_NameFont = other.m_NameFont;
    m_NameColor = other.m_NameColor;
    InitHandleRect();
    return *this;
}

CHandleTracker::~CHandleTracker() = default;

// --- persistence -------------------------------------------------------------

bool CHandleTracker::Exchange(CIniFile* ini, int mode) {
    if (!ini) return false;
    bool anyHandle = false;
    {
        CIniFile handles(ini, "Handles");
        for (int i = 0; i < GetHandleCount(); ++i) {
            CString key;
            key.Format("[%i]", i);
            CPoint point = m_Handles[i];
            if (ExchangeObject(&handles, mode, key, &point)) anyHandle = true;
            m_Handles[i] = point;
        }
    }
    const bool view = ExchangeObject(ini, mode, "ViewIndex", &m_nViewIndex);
    const bool name = ExchangeObject(ini, mode, "Name", &m_Name);
    if (mode == 0) InitHandleRect();
    return anyHandle && view && name;
}

// --- mouse protocol -------------------------------------------------------------

bool CHandleTracker::IsSelected() { return m_nSelectedHandle != kNoHandle; }

bool CHandleTracker::DeSelect() {
    const bool changed = m_nSelectedHandle != kNoHandle || m_nGrabbedHandle != kNoHandle;
    m_nSelectedHandle = kNoHandle;
    m_nGrabbedHandle = kNoHandle;
    return changed;
}

bool CHandleTracker::Select(const CPoint& point, bool grab) {
    if (!m_bEnabled) return false;
    const int oldSelected = m_nSelectedHandle, oldGrabbed = m_nGrabbedHandle;
    m_nSelectedHandle = GetHitHandle(point);
    if (m_nSelectedHandle == kNoHandle)
        m_nGrabbedHandle = kNoHandle;
    else if (grab)
        m_nGrabbedHandle = m_nSelectedHandle;
    return m_nSelectedHandle != oldSelected || m_nGrabbedHandle != oldGrabbed;
}

bool CHandleTracker::Drag(const CPoint& point) {
    if (!m_bEnabled || m_nGrabbedHandle == kNoHandle) return false;
    m_bDragging = true;
    SetHandlePosition(m_nGrabbedHandle, point);
    return true;
}

bool CHandleTracker::Drop() {
    if (!m_bEnabled) return false;
    m_bDragging = false;
    if (m_nGrabbedHandle == kNoHandle) return false;
    m_nGrabbedHandle = kNoHandle;
    return true;
}

int CHandleTracker::GetHitHandle(const CPoint& point) {
    if (!m_bEnabled) return kNoHandle;
    for (int i = 0; i < static_cast<int>(m_HandleRects.GetSize()); ++i)
        if (m_HandleRects[i].PtInRect(point)) return i;
    return kNoHandle;
}

int CHandleTracker::GetDist(const CPoint& point) {
    const int hit = GetHitHandle(point);
    if (hit == kNoHandle) return -1;
    const CRect& r = m_HandleRects[hit];
    const long long x = point.x, y = point.y;
    return static_cast<int>(std::min({x - r.left, r.right - x, y - r.top, r.bottom - y, 0LL + INT_MAX}));
}

int CHandleTracker::GetMinDist(const CPoint& point) {
    if (m_HandleRects.IsEmpty()) return kFarAway;
    long long best = INT_MAX;
    for (int i = 0; i < static_cast<int>(m_HandleRects.GetSize()); ++i) {
        const CRect& r = m_HandleRects[i];
        const long long x = point.x, y = point.y;
        best = std::min({best, std::llabs(x - r.left), std::llabs(r.right - x), std::llabs(y - r.top),
                         std::llabs(r.bottom - y)});
    }
    return static_cast<int>(best);
}

bool CHandleTracker::SetCursor(CWnd*, UINT) { return false; }

void CHandleTracker::EnableTracker(bool enable) { m_bEnabled = enable; }

bool CHandleTracker::IsEnabled() const { return m_bEnabled; }

bool CHandleTracker::IsDragging() const { return m_bDragging; }

bool CHandleTracker::IsModified() {
    const bool modified = m_bModified;
    m_bModified = false;
    return modified;
}

// --- appearance -------------------------------------------------------------------

COLORREF CHandleTracker::GetFrameColor() const {
    return m_bHighlighted && m_bBlinkPhase ? m_HighlightColor : m_Color;
}

bool CHandleTracker::Draw(CDC* dc, double zoom) {
    if (!m_bEnabled || !dc) return false;
    CBrush brush(GetFrameColor());
    for (int i = 0; i < static_cast<int>(m_HandleRects.GetSize()); ++i) {
        const CRect& square = m_HandleRects[i];
        if (square.IsRectEmpty()) continue;
        CRect r(ZoomCoordinate(square.left, zoom), ZoomCoordinate(square.top, zoom),
                ZoomCoordinate(square.right, zoom), ZoomCoordinate(square.bottom, zoom));
        dc->FrameRect(&r, &brush);
        if (i == m_nSelectedHandle) {
            r.DeflateRect(1, 1);
            dc->FrameRect(&r, &brush);
        }
    }
    return true;
}

void CHandleTracker::SetColor(COLORREF color, int which) {
    if (which == 0 || which == 1) m_Color = color;
    if (which == 0 || which == 2) m_HighlightColor = color;
    m_bModified = true;
}

void CHandleTracker::SetHandleSize(int size) {
    m_nHandleSize = size;
    InitHandleRect();
    m_bModified = true;
}

void CHandleTracker::SetNameFont(const LOGFONT& font, COLORREF color) {
    m_NameFont = font;
    m_NameColor = color;
}

void CHandleTracker::SetName(CString name) {
    m_Name = name;
    m_bModified = true;
}

bool CHandleTracker::EnableHighlight(bool enable) {
    const bool previous = m_bHighlightEnabled;
    m_bHighlightEnabled = enable;
    m_bHighlighted = false;
    return previous;
}

bool CHandleTracker::Highlight(bool on) {
    if (!m_bHighlightEnabled) return false;
    const bool changed = m_bHighlighted != on;
    m_bHighlighted = on;
    return changed;
}

bool CHandleTracker::Blink() {
    m_bBlinkPhase = !m_bBlinkPhase;
    return m_bBlinkPhase;
}

// --- handles ---------------------------------------------------------------------

CPoint CHandleTracker::GetHandle(int index) const {
    if (index < 0 || index >= GetHandleCount()) return CPoint(-1, -1);
    return m_Handles[index];
}

const CPoint& CHandleTracker::HandlePoint(int index) const {
    static const CPoint none(-1, -1);
    if (index < 0 || index >= GetHandleCount()) return none;
    return m_Handles[index];
}

int CHandleTracker::AddHandle(CPoint point) {
    m_Handles.Add(point);
    InitHandleRect();
    m_bModified = true;
    return GetHandleCount() - 1;
}

bool CHandleTracker::InsertHandle(int index, CPoint point) {
    if (index < 0 || index > GetHandleCount()) return false;
    m_Handles.InsertAt(index, point);
    InitHandleRect();
    m_bModified = true;
    return true;
}

bool CHandleTracker::RemoveHandle(int index) {
    if (index < 0 || index >= GetHandleCount()) return false;
    m_Handles.RemoveAt(index);
    InitHandleRect();
    m_bModified = true;
    return true;
}

void CHandleTracker::SetHandlePosition(int index, const CPoint& point) {
    if (index < 0 || index >= GetHandleCount() || m_Handles[index] == point) return;
    m_Handles[index] = point;
    DoRect(index);
    m_bModified = true;
}

void CHandleTracker::Reset() {
    m_Handles.RemoveAll();
    m_HandleRects.RemoveAll();
    m_bModified = true;
}

void CHandleTracker::InitHandleRect() {
    m_HandleRects.SetSize(m_Handles.GetSize());
    for (int i = 0; i < GetHandleCount(); ++i) DoRect(i);
}

void CHandleTracker::DoRect(int index) {
    // Computed wide and clamped, so that no stored point or size overflows.
    const CPoint& p = m_Handles[index];
    const long long half = m_nHandleSize / 2;
    auto fit = [](long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); };
    m_HandleRects[index] = CRect(fit(p.x - half), fit(p.y - half), fit(p.x + half), fit(p.y + half));
}
