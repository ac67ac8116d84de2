// Painting the schedule: background, periods, the hour and day grid with
// its labels, and the times of periods.
#include <zep3/controls/ScheduleCtrl.h>
#include <zep3/controls/detail/ControlPaint.h>
#include <zep3/platform/GdiFunctions.h>

namespace {

const COLORREF kHourLine6 = RGB(0x6E, 0x6E, 0x6E);
const COLORREF kHourLine3 = RGB(0xA0, 0xA0, 0xA0);
const COLORREF kHourLine = RGB(0xD2, 0xD2, 0xD2);
const COLORREF kDaySeparator = RGB(0x8C, 0x8C, 0x8C);
const COLORREF kSaturdaySeparator = RGB(0xD2, 0xD2, 0xF0);
const COLORREF kSundaySeparator = RGB(0xF0, 0xD2, 0xD2);
const COLORREF kSaturdayName = RGB(0, 0, 150);
const COLORREF kSundayName = RGB(150, 0, 0);
const int kHourCellWidth = 21;
const int kHourLineLeft = 23;
const int kHeaderBottom = 20;
const int kMinTimesHeight = 12; // a period shows its end time when taller

void Line(CDC& dc, COLORREF colour, int style, CPoint from, CPoint to) {
    CPen pen(style, 1, colour);
    CPen* old = dc.SelectObject(&pen);
    dc.MoveTo(from);
    dc.LineTo(to);
    dc.SelectObject(old);
}

CString Time(int minutes) {
    CString text;
    text.Format("%02i:%02i", minutes / 60, minutes % 60);
    return text;
}

} // namespace

void CScheduleCtrl::OnPaint() {
    zep3::detail::OffscreenPaint paint(this);
    LayOut();
    Draw(paint.Dc());
}

BOOL CScheduleCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

CRect CScheduleCtrl::PeriodRect(const CPeriod& period, int day) const {
    const int left = m_GridRect.left + day * m_nDayWidth;
    return CRect(left, m_GridRect.top + period.start * m_nHourHeight / 60, left + m_nDayWidth,
                 m_GridRect.top + period.end * m_nHourHeight / 60);
}

void CScheduleCtrl::Draw(CDC& dc) {
    CRect inner;
    GetClientRect(&inner);
    dc.DrawEdge(&inner, EDGE_SUNKEN, BF_RECT | BF_ADJUST);

    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF background = face;
    if (!IsWindowEnabled() || !m_TypeColors.Lookup(-1, background)) background = face;
    dc.FillSolidRect(&inner, background);
    dc.FillSolidRect(inner.left, inner.top, inner.Width(), m_GridRect.top - inner.top, face);
    dc.FillSolidRect(inner.left, inner.top, m_GridRect.left - inner.left, inner.Height(), face);

    COLORREF colour;
    for (int day = 0; day < 7; ++day)
        for (const CPeriod& p : m_Periods[day])
            if (m_TypeColors.Lookup(p.type, colour)) dc.FillSolidRect(PeriodRect(p, day), ColorConvert(colour));
    if (m_bDragging)
        for (int day = 0; day < m_Selection.GetSize(); ++day)
            if (m_TypeColors.Lookup(m_Selection[day].type, colour))
                dc.FillSolidRect(PeriodRect(m_Selection[day], day), colour);

    DrawGrid(dc, inner);

    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    CFont* oldFont = dc.SelectObject(&m_Fonts[FONT_TIMES]);
    if (m_bDragging)
        for (int day = 0; day < m_Selection.GetSize(); ++day)
            if (TypeExists(m_Selection[day].type)) DrawTimes(dc, m_Selection[day], day);
    if (m_bDrawHours)
        for (int day = 0; day < 7; ++day)
            for (const CPeriod& p : m_Periods[day])
                if (p.type != -7 && TypeExists(p.type)) DrawTimes(dc, p, day);
    dc.SelectObject(oldFont);
}

void CScheduleCtrl::DrawGrid(CDC& dc, const CRect& inner) {
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    CFont* oldFont = dc.SelectObject(&m_Fonts[FONT_HOURS]);
    for (int hour = 0; hour < 24; ++hour) {
        const int top = m_GridRect.top + hour * m_nHourHeight;
        CRect cell(inner.left, top, inner.left + kHourCellWidth, top + m_nHourHeight);
        dc.DrawEdge(&cell, EDGE_RAISED, BF_RECT);
        CString label;
        label.Format("%02i", hour);
        CRect text(cell.left + 4, cell.top, cell.right, cell.bottom);
        dc.DrawText(label, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
        if (hour > 0) {
            const COLORREF line = hour % 6 == 0 ? kHourLine6 : hour % 3 == 0 ? kHourLine3 : kHourLine;
            Line(dc, line, PS_SOLID, CPoint(kHourLineLeft, top), CPoint(inner.right, top));
        }
        const int half = top + m_nHourHeight / 2;
        Line(dc, kHourLine, PS_DOT, CPoint(hour == 0 ? m_GridRect.left : kHourLineLeft, half), CPoint(inner.right, half));
    }

    dc.SelectObject(&m_Fonts[FONT_DAYS]);
    for (int day = 0; day < 7; ++day) {
        const int left = m_GridRect.left + day * m_nDayWidth;
        CRect cell(left, inner.top, left + m_nDayWidth, kHeaderBottom);
        dc.DrawEdge(&cell, EDGE_RAISED, BF_RECT);
        dc.SetTextColor(day == 5 ? kSaturdayName : day == 6 ? kSundayName : GetSysColor(COLOR_BTNTEXT));
        CRect text(cell.left + 6, cell.top, cell.right, cell.bottom);
        dc.DrawText(m_DayNames[day], &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        if (day > 0) {
            const COLORREF line = day == 5 ? kSaturdaySeparator : day == 6 ? kSundaySeparator : kDaySeparator;
            Line(dc, line, PS_SOLID, CPoint(left, kHeaderBottom), CPoint(left, inner.bottom));
        }
    }
    dc.SelectObject(oldFont);
}

void CScheduleCtrl::DrawTimes(CDC& dc, const CPeriod& period, int day) {
    CRect rect = PeriodRect(period, day);
    dc.DrawText(Time(period.start), &rect, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
    if (rect.Height() > kMinTimesHeight)
        dc.DrawText(Time(period.end), &rect, DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
}
