#pragma once
/// @class CPerspectiveTracker
/// A four-corner polygon that stays a rectangle of the
/// ground plane seen in perspective. Dragging a corner recomputes its two
/// neighbours through the perspective (CPerspectiveCorrection::OrthoX and
/// OrthoY), so the shape always shows a true rectangle of the surface.
/// Corners: 0 and 2 are opposite, as are 1 and 3. The perspective is not
/// owned and must outlive the tracker's use of it.
///
/// Settings: those of the polygon tracker.
#include <zep3/imaging/PerspectiveCorrection.h>
#include <zep3/imaging/PolygonTracker.h>

class ZEP3_API CPerspectiveTracker : public CPolygonTracker {
public:
    ///@{
    /// The square (0, 0), (100, 0), (100, 100), (0, 100); no perspective.
    CPerspectiveTracker();
    CPerspectiveTracker(const CPerspectiveTracker& other);
    ///@}
    /// The polygon's copy and the perspective pointer.
    CPerspectiveTracker& operator=(const CPerspectiveTracker& other);
    ~CPerspectiveTracker() override;

    /// Uses `perspective` from now on; a null pointer is refused (false).
    bool UsePerspective(CPerspectiveCorrection* perspective);
    CPerspectiveCorrection* GetPerspective() const { return m_pPerspective; }

    /// Moves the grabbed corner; moving 0 or 2 sets 1 = OrthoX(0, 2) and
    /// 3 = OrthoY(0, 2), moving 1 or 3 sets 2 = OrthoY(1, 3) and 0 =
    /// OrthoX(1, 3), truncated. False without a perspective, without a grab,
    /// or when the perspective gives no crossing (the grabbed corner has
    /// moved then). The polygon cannot be moved whole.
    bool Drag(const CPoint& point) override;
    /// Ends the drag and rebuilds the region and the bounding box, which the
    /// drag leaves as they were.
    bool Drop() override;
    /// The polygon, then a guide line in the colour (dash-dot) joining the
    /// midpoints of sides 0-1 and 3-2: the surface's depth axis.
    bool Draw(CDC* dc, double zoom) override;

    /// With handles and not selected: corner 0 is taken, dragged onto itself
    /// and dropped, so that corners 1 and 3 follow the current perspective.
    void Update();

protected:
    CPerspectiveCorrection* m_pPerspective;
};
