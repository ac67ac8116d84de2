#pragma once
/// @class CLineDDA
/// The pixel positions of a straight line, as the platform's
/// LineDDA steps it: from the start point towards the end point, the end
/// point itself left out (a line from a point to itself has no points).
#include <zep3/platform/Array.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Point.h>

class ZEP3_API CLineDDA {
public:
    CLineDDA() = default;
    /// Create(start, end).
    CLineDDA(CPoint start, CPoint end);

    /// Keeps both ends, replaces the points by the line's and returns their
    /// number.
    int Create(CPoint start, CPoint end);
    int GetSize() const { return int(m_Points.GetSize()); }
    /// Point index (0 .. GetSize() - 1); (0, 0) outside that range.
    CPoint GetPoint(int index) const;
    CPoint GetStartPoint() const { return m_StartPoint; }
    CPoint GetEndPoint() const { return m_EndPoint; }

protected:
    /// LineDDA's callback: appends (x, y) to the CLineDDA that data points to.
    static void LineProc(int x, int y, long data);

    CPoint m_StartPoint, m_EndPoint;
    CArray<CPoint, CPoint> m_Points; ///< grows by max(4, min(1024, size / 8))
};
