#pragma once
/// @class CParallelTracker
/// A parallelogram given by five handles: 0 the centre, 1
/// and 3 the midpoints of one pair of opposite sides, 2 and 4 the midpoints
/// of the other pair. Its corners are
///     top-left     = handle 1 + handle 2 - handle 0
///     top-right    = handle 3 + handle 2 - handle 0
///     bottom-left  = handle 1 + handle 4 - handle 0
///     bottom-right = handle 3 + handle 4 - handle 0
/// and after every public operation the centre is the midpoint (integer
/// division) of handles 1 and 3 and of handles 2 and 4. Dragging the centre
/// moves the whole shape; dragging a side handle moves that side and its
/// opposite symmetrically about the new centre.
///
/// Stored with the handle tracker's Exchange: `Handles\[0..4]`, ViewIndex, Name.
/// Used on the thread of the window that shows it; failures are false results.
#include <zep3/imaging/HandleTracker.h>

class ZEP3_API CParallelTracker : public CHandleTracker {
public:
    ///@{
    /// Handles (130, 30), (30, 30), (130, 20), (230, 30), (130, 40): corners
    /// (30, 20), (230, 20), (30, 40), (230, 40).
    CParallelTracker();
    CParallelTracker(const CParallelTracker& other);
    ///@}
    /// The handle tracker's copy plus the corners and the bounding box.
    CParallelTracker& operator=(const CParallelTracker& other);

    // --- virtual operations of the handle tracker ----------------------------
    ~CParallelTracker() override;
    /// The handle tracker's items, then the corners. After a read, handles
    /// beyond +-32767 keep their previous value (result false) and the sides
    /// are moved so that the centre is their midpoint again.
    bool Exchange(CIniFile* ini, int mode) override;
    /// Moves the grabbed handle: the centre carries the sides with it; a
    /// side handle makes the centre the midpoint of its pair and the other
    /// pair follows. False when nothing is grabbed or disabled; for the
    /// centre, whether the sides had to move; for a side handle, true.
    bool Drag(const CPoint& point) override;
    /// The handle squares, then the outline top-left, bottom-left,
    /// bottom-right, top-right in the colour, dotted while a handle is
    /// selected. False when disabled or `dc` is null.
    bool Draw(CDC* dc, double zoom) override;
    /// With hit code HTCLIENT: the four-way cursor over the centre, the cross
    /// over a side handle; true when a cursor was set.
    bool SetCursor(CWnd* wnd, UINT hitCode) override;

    /// Index 0 moves the centre; 1 to 4 set that handle and make the centre
    /// the midpoint of its pair. Returns whether the sides had to be moved
    /// to keep the centre their midpoint; false for other indices.
    bool SetPosition(int index, const CPoint& point);
    /// Sets handles 1 to 4; the centre becomes their mean (integer division).
    bool SetPosition(const CPoint& p1, const CPoint& p2, const CPoint& p3, const CPoint& p4);

    CPoint GetTopLeft() const { return m_TopLeft; }
    CPoint GetTopRight() const { return m_TopRight; }
    CPoint GetBottomLeft() const { return m_BottomLeft; }
    CPoint GetBottomRight() const { return m_BottomRight; }
    /// (least corner x, least corner y, greatest corner x, greatest corner y).
    CRect GetBoundRect() const { return m_BoundRect; }

protected:
    /// Recomputes the corners and the bounding box from the handles.
    void CalculateCorners();
    /// Shifts each pair of side handles so that the centre is its midpoint;
    /// recalculates the corners when anything moved and returns whether it did.
    bool FixPosition();
    /// Mirrors the handle opposite to `index` (1 to 4) through the centre.
    void SetOposite(int index);

    CRect m_BoundRect;
    CPoint m_TopLeft;
    CPoint m_TopRight;
    CPoint m_BottomLeft;
    CPoint m_BottomRight;
};
