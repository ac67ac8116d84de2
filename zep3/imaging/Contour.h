#pragma once
/// @class CContour
/// The outline of one region component as CRLC::GetContour walks
/// it: a start point, the points in walking order (owned), and whether the
/// walk came back to its start. A new contour is empty and open. Copies are
/// deep. Used by one thread at a time.
#include <zep3/platform/Export.h>
#include <zep3/platform/Point.h>

class ZEP3_API CContour {
public:
    CContour() = default;
    CContour(const CContour& other);
    CContour& operator=(const CContour& other);
    ~CContour();

    /// The first point of the walk; (0, 0) for an empty contour.
    const CPoint& GetStart() const { return m_Start; }
    int GetSize() const { return m_nPoints; }
    /// Point i (0 .. GetSize() - 1); the caller keeps i in range.
    const CPoint& GetPoint(int i) const { return m_pPoints[i]; }
    /// The points as one array; null for an empty contour. Owned by the contour.
    const CPoint* GetPoints() const { return m_pPoints; }
    /// True when the walk ended by reaching its start point again.
    bool IsClosed() const { return m_bClosed; }

    /// Empty and open again.
    void Reset();
    /// Replaces the points with a copy of `count` points; the start is the
    /// first of them. False (contour left empty) when memory cannot be had.
    bool SetPoints(const CPoint* points, int count, bool closed);

private:
    CPoint m_Start;
    int m_nPoints = 0;
    CPoint* m_pPoints = nullptr;
    bool m_bClosed = false;
};
