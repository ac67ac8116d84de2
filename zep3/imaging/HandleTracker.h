#pragma once
/// @class CHandleTracker
/// The base of the editable shapes an operator lays over a
/// picture. It keeps an ordered list of handle points in image coordinates
/// and, for each, a square of handle size pixels used for hit-testing and
/// drawing (the point inflated by size / 2 on every side, right and bottom
/// edges outside). It implements the mouse protocol
///     Select(point, grab) -> Drag(point)... -> Drop()
/// highlighting and blinking, a name, the index of the view it belongs to,
/// and persistence through Exchange(CIniFile*, mode).
///
/// Derived trackers give the handles a shape meaning by overriding the
/// virtual operations (declared below in their table order) and use the
/// protected handle operations and members.
///
/// A disabled tracker ignores select, drag, drop, hit-tests and drawing.
/// Failures are false results (or -1); nothing throws. No locking: a tracker
/// is used on the thread of the window that shows it.
#include <zep3/platform/Array.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiTypes.h>
#include <zep3/platform/Point.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/String.h>

class CDC;
class CWnd;
class CIniFile;

class ZEP3_API CHandleTracker {
public:
    /// No handles, handle size 6, green frames, the default name font
    /// (Arial, height -8, weight 400, East European character set), enabled,
    /// modified, view index -1.
    CHandleTracker();
    /// A copy as operator= makes it, on top of a new tracker's states.
    CHandleTracker(const CHandleTracker& other);
    /// Copies colour, highlight colour, handle size, the handles, view index,
    /// name, name font and name colour and rebuilds the squares. Selection,
    /// grab, dragging, highlight, blink and enabled states are not copied.
    CHandleTracker& operator=(const CHandleTracker& other);

    // --- virtual operations, in table order --------------------------------
    virtual ~CHandleTracker();
    /// Mode 0 reads, 1 writes, any other does nothing. Items, relative to
    /// `ini`: `Handles\[i]` (a point per current handle; the count is not
    /// stored, the current count decides how many are read), ViewIndex, Name.
    /// True when at least one handle item, the view index and the name
    /// succeeded; so false without handles, and false for a null store.
    virtual bool Exchange(CIniFile* ini, int mode);
    /// A handle is selected.
    virtual bool IsSelected();
    /// Clears the selected and the grabbed handle; false when both were none.
    virtual bool DeSelect();
    /// Selects the handle under `point` (none when no square contains it).
    /// On empty space the grab is cleared; on a handle, `grab` grabs it (with
    /// grab false an earlier grab stays). True when the selected or the
    /// grabbed handle changed; false when disabled.
    virtual bool Select(const CPoint& point, bool grab);
    /// Moves the grabbed handle to `point` and marks the tracker dragging;
    /// false when disabled or nothing is grabbed.
    virtual bool Drag(const CPoint& point);
    /// Ends a drag: dragging false, the grab released. True when a handle was
    /// grabbed; false without a grab or when disabled.
    virtual bool Drop();
    /// Frames each non-empty handle square, scaled by `zoom` (coordinates
    /// multiplied and truncated), one pixel wide in the colour, or in the
    /// highlight colour while highlighted and in the visible blink phase; the
    /// selected handle gets a second frame one pixel inside. False when
    /// disabled or `dc` is null.
    virtual bool Draw(CDC* dc, double zoom);
    /// Cursor shape for a hit code; this class sets none and returns false.
    virtual bool SetCursor(CWnd* wnd, UINT hitCode);
    /// which 0: colour and highlight colour; 1: colour; 2: highlight colour;
    /// other values change nothing. Marks the tracker modified in every case.
    virtual void SetColor(COLORREF color, int which);
    /// Stores the edge length of the squares, rebuilds them, marks modified.
    virtual void SetHandleSize(int size);
    /// Distance from `point` to the nearest edge of the handle square it
    /// hits: min(x - left, right - x, y - top, bottom - y); -1 off every
    /// handle (and when disabled).
    virtual int GetDist(const CPoint& point);
    /// Smallest distance from `point` to the edge lines of any square, taken
    /// per axis (min of |x - left|, |right - x|, |y - top|, |bottom - y|);
    /// 100000 without handles.
    virtual int GetMinDist(const CPoint& point);
    /// A disabled tracker is not hit by the mouse: clicks select no handle.
    virtual void EnableTracker(bool enable);
    /// Returns the modified flag and clears it (true once after construction).
    virtual bool IsModified();
    /// The state EnableTracker set last (enabled at first).
    virtual bool IsEnabled() const;
    /// True between a successful Drag and the next Drop.
    virtual bool IsDragging() const;

protected:
    /// Appends a handle and rebuilds the squares; returns its index.
    virtual int AddHandle(CPoint point);
    /// Lowest index whose square contains `point` (left and top edges inside,
    /// right and bottom outside); -1 for none or when disabled.
    virtual int GetHitHandle(const CPoint& point);

public:
    // --- handles ------------------------------------------------------------
    /// The handle point; (-1, -1) for an index outside 0..count - 1.
    CPoint GetHandle(int index) const;
    /// The number of handles.
    int GetHandleCount() const { return static_cast<int>(m_Handles.GetSize()); }
    /// A tracker that caches a run-length region of its area drops it here;
    /// this class keeps none.
    void DeleteRLC() {}

    // --- selection ----------------------------------------------------------
    ///@{
    /// The handle selected by the last click and the one being dragged; -1 for none.
    bool IsHandleSelected(int index) const { return index == m_nSelectedHandle; }
    int GetSelectedHandle() const { return m_nSelectedHandle; }
    int GetGrabbedHandle() const { return m_nGrabbedHandle; }
    ///@}

    // --- appearance -----------------------------------------------------------
    /// Font and colour for the name that derived trackers draw; not a
    /// modification of the shape.
    void SetNameFont(const LOGFONT& font, COLORREF color);
    ///@{
    /// The name that derived trackers draw beside the shape.
    void SetName(CString name);
    CString GetName() const { return m_Name; }
    ///@}
    /// Turns highlighting on or off and clears the highlight; returns the
    /// previous setting.
    bool EnableHighlight(bool enable);
    /// Sets the highlight while highlighting is enabled; true when it changed.
    bool Highlight(bool on);
    /// True while highlighted.
    bool IsHighlighted() const { return m_bHighlighted; }
    /// Toggles the blink phase; returns the new phase (true: visible).
    bool Blink();

    // --- view membership --------------------------------------------------------
    ///@{
    /// The view (camera picture) the tracker belongs to; IsProperView is true for
    /// that index only.
    void SetViewIndex(int index) { m_nViewIndex = index; }
    int GetViewIndex() const { return m_nViewIndex; }
    bool IsProperView(int index) const { return index == m_nViewIndex; }
    ///@}

protected:
    /// Inserts at index 0..count (count appends); false outside that range.
    bool InsertHandle(int index, CPoint point);
    /// Removes index 0..count - 1; false outside that range.
    bool RemoveHandle(int index);
    /// Moves one handle and its square; marks modified unless unchanged.
    /// Indices outside the list are ignored.
    void SetHandlePosition(int index, const CPoint& point);
    /// Removes every handle; marks modified.
    void Reset();
    /// The stored point; out-of-range indices give a point at (-1, -1).
    const CPoint& HandlePoint(int index) const;
    /// The colour frames are drawn in now: the highlight colour while
    /// highlighted and in the visible blink phase, else the colour.
    COLORREF GetFrameColor() const;
    /// Rebuilds every square / the square of one handle.
    void InitHandleRect();
    void DoRect(int index);

    bool m_bDragging;
    int m_nHandleSize;
    int m_nGrabbedHandle;
    int m_nSelectedHandle;
    COLORREF m_Color;
    COLORREF m_HighlightColor;
    LOGFONT m_NameFont;
    COLORREF m_NameColor;
    bool m_bEnabled;
    bool m_bModified;
    CString m_Name;
    int m_nViewIndex;
    bool m_bHighlightEnabled;
    bool m_bHighlighted;
    bool m_bBlinkPhase;
    CArray<CPoint, CPoint> m_Handles;
    CArray<CRect, CRect> m_HandleRects;
};
