#pragma once
/// @class CPerspectiveCorrection
/// Removes the perspective of a flat surface seen at
/// an angle. The operator marks the surface as a convex quadrilateral P0..P3;
/// Init finds the vanishing points of its two pairs of opposite sides and the
/// horizon. Prepare then lays over the source image one line per destination
/// column and one per destination row, evenly spaced on the real surface, and
/// turns their crossings into a table of source offsets, one per destination
/// pixel. Correction copies a grey frame through that table: one lookup per
/// pixel, so it can run on every video frame.
///
/// Geometry: image coordinates, x to the right, y downward. A line is
/// (a, b, c) with a·x + b·y + c = 0; through two points it is the slope form
/// (a = dy / dx, b = -1) or, for equal x, the vertical (1, 0, -x). Sides
/// P0P1 and P2P3 meet in the first vanishing point, P1P2 and P3P0 in the
/// second; a pair of parallel sides has none, and then those sides must be
/// horizontal (first pair) or vertical (second pair) in the image.
///
/// Images are 8-bit grey; rows are taken as unpadded (stride = width).
/// Failures are false results; nothing throws. Not thread-safe while
/// preparing; a prepared object may serve Correction from one thread at a
/// time (it does not change the object).
#include <zep3/imaging/MPoint.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Point.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/Size.h>

#include <cstdint>
#include <vector>

class CDC;
class CImageBuffer;

class ZEP3_API CPerspectiveCorrection {
public:
    /// a·x + b·y + c = 0.
    struct Line {
        double a = 0, b = 0, c = 0;
    };
    /// A grid line's stretch across the surface in the source image, and the
    /// line through its ends.
    struct Segment {
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        Line line;
    };

    /// Not initialised: no vanishing point, no tables.
    CPerspectiveCorrection();
    /// Copies are deep: each object owns its tables.
    CPerspectiveCorrection(const CPerspectiveCorrection& other) = default;
    CPerspectiveCorrection& operator=(const CPerspectiveCorrection& other) = default;

    // --- virtual operations, in table order --------------------------------
    virtual ~CPerspectiveCorrection();
    /// P0..P3: the surface's corners in order around it. Finds the vanishing
    /// points and the horizon. False when the diagonals do not cross strictly
    /// inside both (not convex, self-intersecting, collinear corners, zero
    /// area) or when both pairs of sides are parallel. Prepared tables stay.
    virtual bool Init(CPoint p0, CPoint p1, CPoint p2, CPoint p3);
    /// Builds the tables that rectify the surface rectangle with opposite
    /// corners a (top-left of the result) and b (bottom-right), in source
    /// coordinates, into `area` of the destination image. False unless Init
    /// succeeded, both images are 8-bit, the source has pixels and the
    /// normalised, non-empty area lies inside the destination's size; the
    /// old tables are then kept. A geometric failure after the checks (two
    /// lines that must meet are parallel) leaves no tables. Source pixels
    /// outside the image map to the source's first pixel.
    virtual bool Prepare(CMPoint a, CMPoint b, const CImageBuffer* source, const CImageBuffer* destination,
                         const CRect& area);
    /// Fills the prepared area of `destination` from `source`. False unless
    /// prepared, both have pixels, the source has the size it had in Prepare
    /// and the destination is 8-bit and large enough for the area.
    virtual bool Correction(const CImageBuffer* source, CImageBuffer* destination) const;
    /// Draws every 50th row and column segment (50, 100, ...) from its first
    /// end to its second, coordinates multiplied by `zoom` and truncated, with
    /// a solid one-pixel red pen; the DC's pen is restored. Nothing without
    /// tables or DC.
    virtual void DrawSurface(CDC* dc, double zoom);

    // --- point mapping ---------------------------------------------------------
    /// Source point of a destination point: the crossing of the grid column
    /// trunc(x - area.left) and the grid row for trunc(grid height -
    /// (y - area.top) - 1). An index outside the grid is clamped to its edge
    /// and the result is false, though `source` is still set. False without
    /// tables or when the two grid lines do not meet (`source` unchanged).
    bool TransformPoint(const CMPoint& destination, CMPoint& source) const;
    /// The corners (left, top), (right, top), (right, bottom), (left, bottom)
    /// of `rect` through TransformPoint; true only when all four are.
    bool TransformRect(const CRect& rect, CMPoint& p0, CMPoint& p1, CMPoint& p2, CMPoint& p3) const;
    /// The fourth corner of a surface rectangle: the crossing of the line from
    /// p toward the first vanishing point (horizontal without one) and the
    /// line from q toward the second (vertical without one). False, `out`
    /// unchanged, when they do not meet. OrthoY(out, p, q) = OrthoX(out, q, p).
    bool OrthoX(CMPoint& out, const CMPoint& p, const CMPoint& q) const;
    bool OrthoY(CMPoint& out, const CMPoint& p, const CMPoint& q) const { return OrthoX(out, q, p); }

    // --- state -------------------------------------------------------------------
    /// A vanishing point is (-1, -1) when its pair of sides is parallel.
    const CMPoint& GetFirstVanishingPoint() const { return m_VanishingPoint1; }
    const CMPoint& GetSecondVanishingPoint() const { return m_VanishingPoint2; }
    bool IsFirstVanishingPointValid() const { return m_bVanishingPoint1Valid; }
    bool IsSecondVanishingPointValid() const { return m_bVanishingPoint2Valid; }
    const Line& GetHorizon() const { return m_Horizon; }
    bool IsPrepared() const { return m_bPrepared; }
    /// The destination area of the prepared tables.
    const CRect& GetArea() const { return m_Rect; }

    /// The line through two points, and the crossing of two lines (false when
    /// they are parallel, `out` unchanged).
    static Line MakeLine(const CMPoint& p, const CMPoint& q);
    static bool Intersect(const Line& l1, const Line& l2, CMPoint& out);

private:
    bool BuildTables(const CMPoint& a, const CMPoint& b, CSize sourceSize);
    bool BuildRows(const CMPoint& a, const CMPoint& b, const CMPoint& c1, const CMPoint& c2, const CMPoint& p1);
    bool BuildColumns(const CMPoint& a, const CMPoint& b, const CMPoint& c1, const CMPoint& c2, const CMPoint& p2);
    void BuildLookup(CSize sourceSize);
    void FreeTables();

protected:
    std::vector<int32_t> m_Lookup;
    CRect m_Rect;
    CMPoint m_VanishingPoint1;
    CMPoint m_VanishingPoint2;
    Line m_Horizon;
    bool m_bVanishingPoint2Valid;
    bool m_bVanishingPoint1Valid;
    int m_nGridWidth;
    int m_nGridHeight;
    std::vector<Segment> m_ColumnSegments;
    std::vector<Segment> m_RowSegments;
    bool m_bPrepared;
    /// The source size the offsets were computed for.
    CSize m_SourceSize;
};
