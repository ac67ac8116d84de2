// The schedule's model, its editing by mouse, and the layout of its grid.
#include <zep3/controls/ScheduleCtrl.h>
#include <zep3/controls/detail/ControlPaint.h>
#include <zep3/platform/GdiFunctions.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const char kClassName[] = "MFCScheduleCtrl";
const int kEdge = 2;        // the sunken edge around the client area
const int kHourStrip = 20;  // hour labels left of the grid
const int kDayStrip = 17;   // day names above the grid
const int kDayMinutes = 1440;
const int kOutside = -2;    // selection entry of a day outside the drag

} // namespace

CScheduleCtrl::CScheduleCtrl()
    : m_DayNames{"Pn", "Wt", "\x8Cr", "Czw", "Pt", "Sb", "Nd"}, m_bEditable(false), m_nSelectedType(-1),
      m_bDragging(false), m_nGranularity(30), m_bDrawHours(false), m_nHourHeight(0), m_nDayWidth(0) {
    zep3::detail::RegisterControlClass(kClassName, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

CScheduleCtrl::~CScheduleCtrl() {
    // The window goes first: its handlers use the members.
    if (m_hWnd) DestroyWindow();
}

BOOL CScheduleCtrl::Create(CWnd* parent, const RECT& rect, UINT id, DWORD style) {
    return CWnd::Create(kClassName, nullptr, style, rect, parent, id);
}

// --- model -------------------------------------------------------------------

bool CScheduleCtrl::AddPeriod(int day, int start, int end, int type) {
    if (!ValidDay(day)) return false;
    m_Periods[day].Add(CPeriod{start, end, type});
    return true;
}

int CScheduleCtrl::GetPeriodCount(int day) const {
    return ValidDay(day) ? static_cast<int>(m_Periods[day].GetSize()) : 0;
}

bool CScheduleCtrl::GetPeriodData(int day, int index, int& start, int& end, int& type) const {
    if (!ValidDay(day) || index < 0 || index >= m_Periods[day].GetSize()) return false;
    const CPeriod& p = m_Periods[day][index];
    start = p.start;
    end = p.end;
    type = p.type;
    return true;
}

void CScheduleCtrl::SetTypeColor(int type, COLORREF colour) { m_TypeColors.SetAt(type, colour); }

bool CScheduleCtrl::TypeExists(int type) const {
    COLORREF colour;
    return m_TypeColors.Lookup(type, colour);
}

void CScheduleCtrl::DeleteType(int type) {
    m_bEditable = false;
    m_nSelectedType = kOutside;
    for (auto& periods : m_Periods)
        for (INT_PTR i = periods.GetSize() - 1; i >= 0; --i)
            if (periods[i].type == type) periods.RemoveAt(i);
    m_TypeColors.RemoveKey(type);
    if (m_hWnd) Invalidate();
}

void CScheduleCtrl::ResetContent() {
    for (auto& periods : m_Periods) periods.RemoveAll();
    m_TypeColors.RemoveAll();
    if (m_hWnd) Invalidate();
}

void CScheduleCtrl::SelectNewPeriod(int type) {
    m_bEditable = true;
    m_nSelectedType = type;
}

void CScheduleCtrl::SetDayOfWeekName(int day, const CString& name) {
    if (ValidDay(day)) m_DayNames[day] = name;
}

void CScheduleCtrl::SetDrawHours(bool drawHours) { m_bDrawHours = drawHours; }

bool CScheduleCtrl::GetDrawHours() const { return m_bDrawHours; }

void CScheduleCtrl::SetFontStyle(EFontType which, int height, bool bold) {
    if (which < FONT_HOURS || which > FONT_TIMES) return;
    LOGFONT lf = {};
    CWnd* parent = m_hWnd ? GetParent() : nullptr;
    CFont* base = parent ? parent->GetFont() : nullptr;
    // Without a parent's font, the dialog font of the system.
    if (!base || !base->GetLogFont(&lf)) GetObject(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfHeight = height;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    std::strcpy(lf.lfFaceName, "Arial");
    m_Fonts[which].DeleteObject();
    m_Fonts[which].CreateFontIndirect(&lf);
}

COLORREF CScheduleCtrl::ColorConvert(COLORREF colour) const {
    if (!m_hWnd || IsWindowEnabled()) return colour;
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    const int average = (r + g + b) / 3;
    auto toGrey = [average](int c) { return c + 2 * (average - c) / 3; };
    return RGB(toGrey(r), toGrey(g), toGrey(b));
}

// --- editing -----------------------------------------------------------------

int CScheduleCtrl::ComparePeriods(const CPeriod& p, const CPeriod& s) {
    if (p.end < s.start || s.end < p.start) return 0;
    if (s.start >= p.start && p.end >= s.end) return 3;
    if (p.start < s.start && p.end < s.end) return 1;
    if (s.end >= p.end) return 4;
    return 2;
}

void CScheduleCtrl::BuildSelection() {
    if (!LayOut()) return; // no grid: the selection stays as it was
    CRect drag(m_StartPoint, m_CurrentPoint);
    drag.NormalizeRect();
    const int gran = m_nGranularity;
    int startMin = (drag.top - m_GridRect.top) * 60 / m_nHourHeight / gran * gran;
    int endMin = static_cast<int>(std::ceil(((drag.bottom - m_GridRect.top) * 60 / m_nHourHeight) / double(gran))) * gran;
    if (startMin == endMin) endMin += gran;
    startMin = std::clamp(startMin, 0, kDayMinutes);
    endMin = std::clamp(endMin, 0, kDayMinutes);
    // A selection squeezed against either end of the day keeps one granule
    // inside the day.
    if (startMin == endMin) {
        if (endMin >= gran) startMin = endMin - gran;
        else endMin = startMin + gran;
    }
    const int firstDay = std::clamp((drag.left - m_GridRect.left) / m_nDayWidth, 0, 6);
    const int lastDay = std::clamp((drag.right - m_GridRect.left) / m_nDayWidth, 0, 6);
    m_Selection.SetSize(7);
    for (int day = 0; day < 7; ++day) {
        const bool inside = day >= firstDay && day <= lastDay;
        m_Selection[day] = CPeriod{startMin, endMin, inside ? m_nSelectedType : kOutside};
    }
}

void CScheduleCtrl::MergeDay(CArray<CPeriod, const CPeriod&>& periods, CPeriod s) {
    INT_PTR i = 0;
    while (i < periods.GetSize()) {
        CPeriod& p = periods[i];
        const bool same = p.type == s.type;
        bool remove = false;
        switch (ComparePeriods(p, s)) {
        case 0: ++i; continue;
        case 1: // p ends in the selection
            if (same) s.start = p.start;
            else p.end = s.start;
            remove = same;
            break;
        case 2: // p begins in it
            if (same) s.end = p.end;
            else p.start = s.end;
            remove = same;
            break;
        case 3: { // p holds it
            // A period of the same type already covers the selection: the
            // day stays as it is (walking on would only let the selection
            // absorb neighbours of p that it then does not add).
            if (same) return;
            const CPeriod after{s.end, p.end, p.type};
            p.end = s.start;
            if (s.end < after.end) periods.Add(after); // may move the array
            break;
        }
        default: remove = true; // 4: the selection holds p
        }
        // Removing closes the gap: the walk goes on at the same index.
        if (remove || periods[i].start >= periods[i].end) periods.RemoveAt(i);
        else ++i;
    }
    if (s.type != -1) periods.Add(s); // -1 erases
}

void CScheduleCtrl::MergeSelection() {
    if (m_Selection.GetSize() == 7)
        for (int day = 0; day < 7; ++day)
            if (m_Selection[day].type != kOutside) MergeDay(m_Periods[day], m_Selection[day]);
    m_Selection.RemoveAll();
}

// --- window ------------------------------------------------------------------

void CScheduleCtrl::PreSubclassWindow() {
    CWnd::PreSubclassWindow();
    SetFontStyle(FONT_HOURS, -10, false);
    SetFontStyle(FONT_DAYS, -12, true);
    SetFontStyle(FONT_TIMES, -9, false);
}

bool CScheduleCtrl::LayOut() {
    CRect client;
    GetClientRect(&client);
    client.DeflateRect(kEdge, kEdge);
    m_GridRect.SetRect(client.left + kHourStrip, client.top + kDayStrip, client.right, client.bottom);
    m_nHourHeight = m_GridRect.Height() / 24;
    m_nDayWidth = m_GridRect.Width() / 7;
    return m_nHourHeight > 0 && m_nDayWidth > 0;
}

void CScheduleCtrl::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    LayOut();
}

void CScheduleCtrl::OnLButtonDown(UINT flags, CPoint point) {
    if (m_bEditable && TypeExists(m_nSelectedType) && LayOut()) {
        SetCapture();
        m_StartPoint = m_CurrentPoint = point;
        m_bDragging = true;
        BuildSelection();
        Invalidate();
    }
    CWnd::OnLButtonDown(flags, point);
}

void CScheduleCtrl::OnMouseMove(UINT flags, CPoint point) {
    if (m_bDragging) {
        m_CurrentPoint = point;
        BuildSelection();
        Invalidate();
    }
    CWnd::OnMouseMove(flags, point);
}

void CScheduleCtrl::OnLButtonUp(UINT flags, CPoint point) {
    if (m_bDragging) {
        ReleaseCapture();
        m_CurrentPoint = point;
        m_bDragging = false;
        BuildSelection();
        MergeSelection();
        Invalidate();
    }
    CWnd::OnLButtonUp(flags, point);
}
