#pragma once
/// @class CDivider
/// Lays out count equally sized parts (pictures of a known aspect
/// ratio) in a rectangle as a grid, with the column count that gives the
/// parts the largest total area, and hands out each part's rectangle.
///
/// For every column count from count down to 1 (rows = count / columns
/// rounded up), the space left after a gap per column and row and the margin
/// is filled by the grid of unscaled parts as far as its aspect ratio allows;
/// the parts are scaled by that factor (sizes truncated) and the column count
/// with the largest covered area wins (the larger count on a tie). Part i
/// (row by row, left to right) sits at (part width + gap.cx) x column +
/// gap.cx / 2 and (part height + gap.cy) x row + gap.cy / 2 from the area's
/// top-left corner; the margin only reduces the space. With gaps and margins
/// of zero or more, the parts never overlap and stay inside the area.
#include <zep3/platform/Array.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/Size.h>

class ZEP3_API CDivider {
public:
    CDivider() = default;

    /// Lays out count parts of the given unscaled size; false (no parts, not
    /// divided) when no column count leaves room, or when count or a part
    /// size is not positive.
    bool Divide(const CRect& area, int count, CSize part, CSize gap, CSize margin);
    /// The index-th part, 0-based row by row; false outside 0 .. count - 1.
    bool GetPartRect(int index, CRect& rect) const;
    /// The scale Divide chose (0 before the first layout).
    double GetScale() const { return m_dScale; }
    /// The factor that fits a picture of the given size into one part:
    /// min(part width / size.cx, part height / size.cy); 1.0 when either is 0.
    double GetScale(CSize size) const;
    bool IsDivided() const { return m_nBestCoverage >= 0; }

protected:
    int m_nColumns = 0, m_nRows = 0;
    int m_nGridWidth = 0, m_nGridHeight = 0; ///< unscaled part size x columns, rows
    int m_nPartWidth = 0, m_nPartHeight = 0; ///< scaled part size
    double m_dScale = 0;
    int m_nBestCoverage = -1; ///< total part area; -1: not divided
    CArray<CRect, const CRect&> m_PartRects;
};
