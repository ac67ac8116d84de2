#include <zep3/imaging/Divider.h>

#include <zep3/imaging/detail/ClampToInt.h>

#include <cstdint>
#include <new>

using zep3::detail::ClampToInt;

bool CDivider::Divide(const CRect& area, int count, CSize part, CSize gap, CSize margin) {
    m_PartRects.RemoveAll();
    m_nBestCoverage = -1;
    if (count < 1 || part.cx < 1 || part.cy < 1) return false;
    __int128 best = -1; // products of any int sizes fit
    for (int columns = count; columns >= 1; --columns) {
        const int rows = (count - 1) / columns + 1;
        const int64_t gridWidth = int64_t(part.cx) * columns, gridHeight = int64_t(part.cy) * rows;
        const int64_t width = int64_t(area.right) - area.left - int64_t(gap.cx) * columns - margin.cx;
        const int64_t height = int64_t(area.bottom) - area.top - int64_t(gap.cy) * rows - margin.cy;
        if (width < 1 || height < 1) continue;
        const double scale = double(width) / double(height) <= double(gridWidth) / double(gridHeight)
                                 ? double(width) / double(gridWidth)
                                 : double(height) / double(gridHeight);
        const int64_t partWidth = int64_t(part.cx * scale), partHeight = int64_t(part.cy * scale);
        const __int128 coverage = __int128(partWidth) * partHeight * count;
        if (coverage <= best) continue;
        best = coverage;
        m_nColumns = columns, m_nRows = rows;
        m_nGridWidth = ClampToInt(gridWidth), m_nGridHeight = ClampToInt(gridHeight);
        m_nPartWidth = ClampToInt(partWidth), m_nPartHeight = ClampToInt(partHeight);
        m_dScale = scale;
    }
    if (best < 0) return false;
    try {
        m_PartRects.SetSize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const int64_t column = i % m_nColumns, row = i / m_nColumns;
        const int left = int(int64_t(m_nPartWidth + int64_t(gap.cx)) * column + gap.cx / 2 + area.left);
        const int top = int(int64_t(m_nPartHeight + int64_t(gap.cy)) * row + gap.cy / 2 + area.top);
        m_PartRects[i] = CRect(left, top, left + m_nPartWidth, top + m_nPartHeight);
    }
    m_nBestCoverage = ClampToInt(best);
    return true;
}

bool CDivider::GetPartRect(int index, CRect& rect) const {
    if (index < 0 || index >= m_PartRects.GetSize()) return false;
    rect = m_PartRects[index];
    return true;
}

double CDivider::GetScale(CSize size) const {
    if (size.cx == 0 || size.cy == 0) return 1.0;
    return std::min(double(m_nPartWidth) / size.cx, double(m_nPartHeight) / size.cy);
}
