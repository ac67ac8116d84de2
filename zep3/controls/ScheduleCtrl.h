#pragma once
/// @class CScheduleCtrl
/// A window control that shows one week as seven day columns
/// (day 0 is Monday) and 24 hour rows, and lets the operator paint typed
/// periods into it with the mouse.
///
/// The application gives each period type a colour (SetTypeColor), loads the
/// existing periods (AddPeriod), chooses the type to paint (SelectNewPeriod)
/// and reads the periods back (GetPeriodCount, GetPeriodData). A drag with
/// the left button selects whole half hours over a range of days; releasing
/// the button merges that selection into each day: periods of the same type
/// that it touches or overlaps join it, periods of other types give way to
/// it, and type -1 (the background) erases. Periods of a day stay in
/// insertion order.
///
/// The grid is laid out when the window is created, resized and painted, so
/// mouse input before the first paint works; a window too small for a grid
/// (under 24 pixels of rows or 7 of columns) takes no drags. Painting is
/// double-buffered with the classic system colours; a disabled control greys
/// every period colour (ColorConvert).
///
/// Use it on its window's thread. Failures are results; nothing throws.
#include <zep3/controls/Period.h>
#include <zep3/platform/Array.h>
#include <zep3/platform/Font.h>
#include <zep3/platform/Map.h>
#include <zep3/platform/Wnd.h>

class ZEP3_API CScheduleCtrl : public CWnd {
public:
    /// The three fonts: hour labels, day names, times inside periods.
    enum EFontType { FONT_HOURS = 0, FONT_DAYS = 1, FONT_TIMES = 2 };

    /// Empty days, no colours, the Polish day names, granularity 30 minutes,
    /// selected type -1, not editable; registers the window class.
    CScheduleCtrl();
    ~CScheduleCtrl() override;

    using CWnd::Create;
    /// Creates the control as a child of `parent` (WS_CHILD is added) in the
    /// window class "MFCScheduleCtrl". FALSE without a parent.
    BOOL Create(CWnd* parent, const RECT& rect, UINT id, DWORD style);

    /// Appends a period to a day (0..6) without merging or checking overlaps;
    /// false only for a day outside 0..6.
    bool AddPeriod(int day, int start, int end, int type);
    /// 0 for a day outside 0..6.
    int GetPeriodCount(int day) const;
    /// False for a day or index out of range.
    bool GetPeriodData(int day, int index, int& start, int& end, int& type) const;

    /// Adds or replaces a type's colour; a type exists once it has one.
    void SetTypeColor(int type, COLORREF colour);
    bool TypeExists(int type) const;
    /// Leaves edit mode (selected type -2), removes the type's periods from
    /// every day and its colour, and repaints.
    void DeleteType(int type);
    /// Removes every period and every colour, and repaints.
    void ResetContent();
    /// Enters edit mode: drags paint `type` (-1 erases).
    void SelectNewPeriod(int type);

    /// Day 0..6; other days are ignored. Names are 8-bit text (Windows-1250).
    void SetDayOfWeekName(int day, const CString& name);
    /// With it set, every coloured period but type -7 shows its start and end time.
    void SetDrawHours(bool drawHours);
    bool GetDrawHours() const;
    /// Remakes one font from the parent's font with the face "Arial", the
    /// height (logical units; negative: em height in pixels) and weight 700
    /// or 400. Another `which` is ignored.
    void SetFontStyle(EFontType which, int height, bool bold);

    /// A colour as it is painted: unchanged while the window is enabled,
    /// otherwise each channel moves two thirds of the way to the grey of
    /// their integer average.
    COLORREF ColorConvert(COLORREF colour) const;

protected:
    void PreSubclassWindow() override;
    void OnPaint() override;
    /// Painting covers every pixel; nothing to erase.
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;

private:
    bool ValidDay(int day) const { return day >= 0 && day < 7; }
    // The grid from the client size; false when it has no cells.
    bool LayOut();
    // The selection of every day from the drag rectangle.
    void BuildSelection();
    // How an existing period p meets the selection s (0 apart, 1 p ends in
    // s, 2 p begins in s, 3 p holds s, 4 s holds p); touching counts as meeting.
    static int ComparePeriods(const CPeriod& p, const CPeriod& s);
    void MergeSelection();
    void MergeDay(CArray<CPeriod, const CPeriod&>& periods, CPeriod s);
    void Draw(CDC& dc);
    void DrawGrid(CDC& dc, const CRect& inner);
    void DrawTimes(CDC& dc, const CPeriod& period, int day);
    CRect PeriodRect(const CPeriod& period, int day) const;

    CArray<CPeriod, const CPeriod&> m_Periods[7];
    CMap<int, int, COLORREF, COLORREF> m_TypeColors;
    CString m_DayNames[7];
    CFont m_Fonts[3];

    bool m_bEditable;
    int m_nSelectedType;
    bool m_bDragging;
    CPoint m_StartPoint;
    CPoint m_CurrentPoint;
    int m_nGranularity;
    bool m_bDrawHours;

    // Layout: the grid (client area less the edge and the label strips), one
    // hour's height and one day's width.
    CRect m_GridRect;
    int m_nHourHeight;
    int m_nDayWidth;

    // While dragging: one entry per day, type -2 for days outside the drag.
    CArray<CPeriod, const CPeriod&> m_Selection;
};
