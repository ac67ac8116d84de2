#pragma once
/// @class CPolygonTracker
/// A closed polygon of at least three handles, movable as a
/// whole, that keeps its area as a run-length region (colour identifiers: 1
/// inside, 0 outside) and its bounding box up to date after every change of
/// its handles. The region is what analysis intersects with a thresholded
/// frame; it also answers the hit-tests.
///
/// Settings, under the view given to Exchange: HandleCount, Color, ColorHigh,
/// Size, NameFont, NameColor, then the handle tracker's `Handles\[i]`,
/// ViewIndex and Name.
///
/// Used on the thread of the window that shows it; failures are false results.
#include <zep3/imaging/HandleTracker.h>
#include <zep3/imaging/RLC.h>

class ZEP3_API CPolygonTracker : public CHandleTracker {
public:
    /// Handles a polygon may have; more are refused (InitHandles clamps).
    static constexpr int kMaxHandles = 4096;

    /// InitHandles(3): (300, 200), (150, 286), (149, 113).
    CPolygonTracker();
    ///@{
    /// InitHandles(count).
    explicit CPolygonTracker(int count);
    CPolygonTracker(const CPolygonTracker& other);
    ///@}
    /// The handle tracker's copy plus the region, the bounding box, the last
    /// drag point and the flags.
    CPolygonTracker& operator=(const CPolygonTracker& other);

    // --- virtual operations of the handle tracker ----------------------------
    ~CPolygonTracker() override;
    /// Reads or writes the items above. On reading, a handle count other
    /// than the current one (and within 3 .. kMaxHandles) re-initialises the
    /// handles first; the name font read is kept. Values out of range (a
    /// count, a colour above 0xFFFFFF, a handle size outside 0 .. 255, a font
    /// height beyond +-500, a coordinate beyond +-32767) are not taken and
    /// make the result false; so does any missing item. The region and the
    /// bounding box are rebuilt after reading.
    bool Exchange(CIniFile* ini, int mode) override;
    /// A handle is selected or the polygon is.
    bool IsSelected() override;
    /// Clears the handle selection, the selection and the move; true when any
    /// was set.
    bool DeSelect() override;
    /// When resizable, a handle under `point` is selected first (a change
    /// there selects the polygon and is the answer). Otherwise a handle or a
    /// point inside selects the polygon, and inside (off every handle) with
    /// `grab` starts a move of the whole. True when the selection or the move
    /// changed; false when disabled.
    bool Select(const CPoint& point, bool grab) override;
    /// Moves the whole polygon by the pointer's step, or the grabbed handle;
    /// rebuilds the region and box. False when disabled, not movable or
    /// nothing is grabbed.
    bool Drag(const CPoint& point) override;
    /// Ends a move or a handle drag; true when either was going on.
    bool Drop() override;
    /// The handle squares (when resizable), the outline in the frame colour
    /// (dotted while moving or selected) and the name above the bounding box.
    /// False when disabled or `dc` is null.
    bool Draw(CDC* dc, double zoom) override;
    /// With hit code HTCLIENT: the cross over a selected handle, the four-way
    /// cursor while the polygon is selected or moving; true when set.
    bool SetCursor(CWnd* wnd, UINT hitCode) override;
    /// On a handle: the handle distance; inside: GetMinDist; else -1.
    int GetDist(const CPoint& point) override;

    // --- the polygon's own virtual operations ----------------------------------
    /// Removes the selected handle when more than three remain.
    virtual bool RemoveHandle();
    /// Inserts the midpoint of the selected handle and the next one after the
    /// selected handle (wrapping to index 0 after the last). False without a
    /// selected handle or at kMaxHandles.
    virtual bool AddHandleRight();
    /// The handle; (0, 0) outside 0 .. count - 1.
    virtual CPoint GetHandle(int index) const;
    /// Resets the flags and the name font height (-15) and lays out `count`
    /// handles (below 3: 3; above kMaxHandles: kMaxHandles): 4 give the square
    /// (0, 0), (100, 0), (100, 100), (0, 100); others a regular polygon of
    /// radius 100 around (200, 200) starting at (300, 200).
    virtual void InitHandles(int count);
    virtual const CRLC& GetRLC() const;
    /// (least x, least y, greatest x, greatest y) of the handles.
    virtual const CRect& GetBoundRect() const;
    /// Makes the region from the polygon (colour identifiers) and, with
    /// `swap`, transposes it. Returns whether the region could be made.
    virtual bool MakeRLC(bool swap);

protected:
    virtual void SetMovable(bool movable);
    /// MakeRLC keeping the region's transposition.
    virtual bool UpdateRLC();
    /// False with fewer than 2 handles.
    virtual bool UpdateBoundRect();
    /// The point lies inside the polygon (its region's identifier is above 0).
    virtual bool HitTest(const CPoint& point);

public:
    bool IsMoving() const { return m_bMoving; }

protected:
    /// Rebuilds region and bounding box after a change of the handles.
    void UpdateShape();

    CRLC m_RLC;
    CRect m_BoundRect;
    int m_nLastDragX;
    int m_nLastDragY;
    bool m_bMoving;
    bool m_bSelected;
    bool m_bResizable;
    bool m_bMovable;
};
