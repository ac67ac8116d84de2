#pragma once
/// @class CRectangleTracker
/// An axis-parallel rectangle with four corner handles,
/// 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left. Dragging a corner
/// makes its two neighbours follow so that the shape stays a rectangle;
/// grabbing the inside (off every handle) moves it whole. A marker point is
/// kept as fractions of the width and height, so it stays at the same place
/// of the rectangle when the rectangle moves or changes size.
///
/// Stored with the handle tracker's Exchange: `Handles\[0..3]`, ViewIndex, Name.
/// Used on the thread of the window that shows it; failures are false results.
#include <zep3/imaging/HandleTracker.h>

class ZEP3_API CRectangleTracker : public CHandleTracker {
public:
    ///@{
    /// Handles at (10, 10), (200, 10), (200, 200), (10, 200); resizable and
    /// movable; marker (0, 0); name font height -15.
    CRectangleTracker();
    CRectangleTracker(const CRectangleTracker& other);
    ///@}
    /// The handle tracker's copy plus the rectangle's flags, grab offset and
    /// marker.
    CRectangleTracker& operator=(const CRectangleTracker& other);

    // --- virtual operations of the handle tracker ----------------------------
    ~CRectangleTracker() override;
    /// The handle tracker's items. After a read, handles with coordinates
    /// beyond +-32767 keep their previous value (result false) and the
    /// rectangle is rebuilt from handles 0 and 2.
    bool Exchange(CIniFile* ini, int mode) override;
    /// A handle is selected or the inside is.
    bool IsSelected() override;
    /// Clears the handle selection, the inside selection and the move; true
    /// when any of them was set.
    bool DeSelect() override;
    /// When resizable, a handle under `point` is selected first (a change
    /// there is the answer). Otherwise a point inside the rectangle and off
    /// every handle selects the inside and, with `grab`, starts a move of the
    /// whole rectangle. True when the inside selection or the move changed;
    /// false when disabled.
    bool Select(const CPoint& point, bool grab) override;
    /// Moves the whole rectangle (its top-left corner to point - grab offset)
    /// or the grabbed corner with its neighbours. False when disabled, not
    /// movable or nothing is grabbed.
    bool Drag(const CPoint& point) override;
    /// Ends a move or a corner drag and normalises the rectangle (handles
    /// rewritten top-left, top-right, bottom-right, bottom-left). True when a
    /// handle was grabbed or the rectangle was moving.
    bool Drop() override;
    /// The corner squares (when resizable), then the outline in the frame
    /// colour, dotted while moving or selected, the marker as a small cross
    /// when it is not (0, 0), and the name above the top-left corner.
    /// False when disabled or `dc` is null.
    bool Draw(CDC* dc, double zoom) override;
    /// With hit code HTCLIENT: the diagonal size cursor over a selected
    /// corner, the four-way cursor while the inside is selected or moving;
    /// true when a cursor was set. False otherwise.
    bool SetCursor(CWnd* wnd, UINT hitCode) override;
    /// On a handle: the handle distance. Inside the rectangle: the distance
    /// to its nearest side. Otherwise -1.
    int GetDist(const CPoint& point) override;

    // --- the rectangle ------------------------------------------------------------
    /// (handle 0, handle 2), as stored (normalised after every drop).
    CRect GetRect() const;
    /// Handles from the rectangle's corners, as given (not normalised).
    void SetRect(const CRect& rect);
    /// Clips the normalised rectangle into `limit` side by side; each side
    /// outside the limit is moved onto it. True when any handle changed.
    bool Intersect(const CRect& limit);
    void Resizable(bool resizable) { m_bResizable = resizable; }
    void Movable(bool movable) { m_bMovable = movable; }
    /// Moves the rectangle so that its centre ((left + right) / 2,
    /// (top + bottom) / 2) is at `point`; marks the tracker modified.
    void MoveToCenter(const CPoint& point);
    /// Stores `point` as fractions of the width and height from the top-left
    /// corner (0 along an axis where the rectangle has no extent).
    void SetMarker(CPoint point);
    /// The marker in image coordinates: (left + trunc(width x marker x),
    /// top + trunc(height x marker y)).
    CPoint GetMarker();

    bool IsMoving() const { return m_bMoving; }
    bool IsInsideSelected() const { return m_bInsideSelected; }

protected:
    /// The normalised rectangle written back into the four handles.
    void Normalize();
    /// Sets the four handles from the rectangle's corners (as given).
    void SetCorners(long long left, long long top, long long right, long long bottom);

    bool m_bMoving;
    bool m_bInsideSelected;
    int m_nGrabOffsetX;
    int m_nGrabOffsetY;
    bool m_bResizable;
    bool m_bMovable;
    double m_MarkerX;
    double m_MarkerY;
};
