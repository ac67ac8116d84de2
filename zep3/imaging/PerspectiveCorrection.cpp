#include <zep3/imaging/PerspectiveCorrection.h>

#include <zep3/imaging/ImageBuffer.h>
#include <zep3/imaging/detail/Zoom.h>
#include <zep3/platform/DC.h>
#include <zep3/platform/Pen.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

using zep3::detail::ZoomCoordinate;
using Line = CPerspectiveCorrection::Line;

namespace {

const CMPoint kNoPoint(-1, -1);
constexpr int kGridMark = 50; // DrawSurface shows every 50th grid line

double Distance(const CMPoint& p, const CMPoint& q) { return std::hypot(q.x - p.x, q.y - p.y); }

CMPoint Along(const CMPoint& origin, const CMPoint& step, double times) {
    return CMPoint(origin.x + step.x * times, origin.y + step.y * times);
}

Line Horizontal(const CMPoint& p) { return Line{0, -1, p.y}; }
Line Vertical(const CMPoint& p) { return Line{1, 0, -p.x}; }

// Grid index of a coordinate: truncated, then clamped into 0 .. count - 1.
int GridIndex(double value, int count, bool& clamped) {
    const double t = std::trunc(value);
    if (!(t >= 0)) { // also NaN
        clamped = true;
        return 0;
    }
    if (t > count - 1) {
        clamped = true;
        return count - 1;
    }
    return static_cast<int>(t);
}

} // namespace

CPerspectiveCorrection::CPerspectiveCorrection()
    : m_VanishingPoint1(kNoPoint), m_VanishingPoint2(kNoPoint), m_bVanishingPoint2Valid(false),
      m_bVanishingPoint1Valid(false), m_nGridWidth(0), m_nGridHeight(0), m_bPrepared(false) {}

CPerspectiveCorrection::~CPerspectiveCorrection() = default;

// --- geometry -------------------------------------------------------------------

Line CPerspectiveCorrection::MakeLine(const CMPoint& p, const CMPoint& q) {
    if (p.x == q.x) return Vertical(p);
    const double a = (q.y - p.y) / (q.x - p.x);
    return Line{a, -1, p.y - a * p.x};
}

bool CPerspectiveCorrection::Intersect(const Line& l1, const Line& l2, CMPoint& out) {
    const double det = l1.a * l2.b - l1.b * l2.a;
    if (det == 0) return false;
    const double x = (l2.c * l1.b - l1.c * l2.b) / det;
    const double y = (l1.c * l2.a - l2.c * l1.a) / det;
    // Nearly parallel lines far beyond any image meet nowhere usable.
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    out = CMPoint(x, y);
    return true;
}

bool CPerspectiveCorrection::Init(CPoint p0, CPoint p1, CPoint p2, CPoint p3) {
    const CMPoint q0(p0.x, p0.y), q1(p1.x, p1.y), q2(p2.x, p2.y), q3(p3.x, p3.y);
    // Convex, in order around: the diagonals cross strictly inside both.
    CMPoint centre;
    if (!Intersect(MakeLine(q0, q2), MakeLine(q1, q3), centre)) return false;
    const double d02 = Distance(q0, q2), d13 = Distance(q1, q3);
    if (!(Distance(centre, q0) < d02 && Distance(centre, q2) < d02 && Distance(centre, q1) < d13 &&
          Distance(centre, q3) < d13))
        return false;

    CMPoint vp1 = kNoPoint, vp2 = kNoPoint;
    const bool valid1 = Intersect(MakeLine(q0, q1), MakeLine(q2, q3), vp1);
    const bool valid2 = Intersect(MakeLine(q1, q2), MakeLine(q3, q0), vp2);
    if (!valid1 && !valid2) return false;

    m_bVanishingPoint1Valid = valid1;
    m_bVanishingPoint2Valid = valid2;
    m_VanishingPoint1 = valid1 ? vp1 : kNoPoint;
    m_VanishingPoint2 = valid2 ? vp2 : kNoPoint;
    if (valid1 && valid2)
        m_Horizon = MakeLine(vp1, vp2);
    else if (valid1)
        m_Horizon = Vertical(vp1);
    else
        m_Horizon = Horizontal(vp2);
    return true;
}

bool CPerspectiveCorrection::OrthoX(CMPoint& out, const CMPoint& p, const CMPoint& q) const {
    const Line toFirst = m_bVanishingPoint1Valid ? MakeLine(p, m_VanishingPoint1) : Horizontal(p);
    const Line toSecond = m_bVanishingPoint2Valid ? MakeLine(q, m_VanishingPoint2) : Vertical(q);
    return Intersect(toFirst, toSecond, out);
}

// --- tables -----------------------------------------------------------------------

void CPerspectiveCorrection::FreeTables() {
    m_Lookup.clear();
    m_Lookup.shrink_to_fit();
    m_RowSegments.clear();
    m_ColumnSegments.clear();
    m_bPrepared = false;
}

bool CPerspectiveCorrection::Prepare(CMPoint a, CMPoint b, const CImageBuffer* source,
                                     const CImageBuffer* destination, const CRect& area) {
    if (!source || !destination || source->GetBitCount() != 8 || destination->GetBitCount() != 8) return false;
    if (source->IsEmpty() || !source->GetPixelBuffer()) return false;
    // Offsets into the source are 32-bit.
    if (static_cast<long long>(source->GetSize().cx) * source->GetSize().cy > INT32_MAX) return false;
    CRect rect(area);
    rect.NormalizeRect();
    const CSize target = destination->GetSize();
    if (rect.IsRectEmpty() || rect.left < 0 || rect.top < 0 || rect.right > target.cx || rect.bottom > target.cy)
        return false;
    if (!m_bVanishingPoint1Valid && !m_bVanishingPoint2Valid) return false;

    FreeTables();
    m_Rect = rect;
    m_nGridWidth = rect.Width();
    m_nGridHeight = rect.Height();
    bool built = false;
    try {
        built = BuildTables(a, b, source->GetSize());
    } catch (const std::bad_alloc&) {
    }
    if (!built) {
        FreeTables();
        return false;
    }
    m_SourceSize = source->GetSize();
    m_bPrepared = true;
    return true;
}

bool CPerspectiveCorrection::BuildTables(const CMPoint& a, const CMPoint& b, CSize sourceSize) {
    // The other two corners: c1 shares the side towards the first vanishing
    // point with a, c2 the one with b.
    CMPoint c1, c2, p1, p2;
    if (!OrthoX(c1, a, b) || !OrthoX(c2, b, a)) return false;
    // Equal steps on a line parallel to the horizon are equal on the surface.
    const Line through{m_Horizon.a, m_Horizon.b, -(m_Horizon.a * c2.x + m_Horizon.b * c2.y)};
    if (m_bVanishingPoint1Valid && !Intersect(through, MakeLine(a, c1), p1)) return false;
    if (m_bVanishingPoint2Valid && !Intersect(through, MakeLine(c1, b), p2)) return false;
    if (!BuildRows(a, b, c1, c2, p1) || !BuildColumns(a, b, c1, c2, p2)) return false;
    BuildLookup(sourceSize);
    return true;
}

// Row 0 runs along edge b-c2; the rows step towards edge a-c1, evenly on the
// surface. Each row segment joins edge c1-b and edge c2-a.
bool CPerspectiveCorrection::BuildRows(const CMPoint& a, const CMPoint& b, const CMPoint& c1, const CMPoint& c2,
                                       const CMPoint& p1) {
    const int h = m_nGridHeight;
    const Line edgeC1B = MakeLine(c1, b), edgeC2A = MakeLine(c2, a);
    m_RowSegments.resize(h);
    if (m_bVanishingPoint1Valid) {
        const CMPoint step((p1.x - c2.x) / h, (p1.y - c2.y) / h);
        for (int i = 0; i < h; ++i) {
            const Line row = MakeLine(m_VanishingPoint1, Along(c2, step, i));
            CMPoint e0, e1;
            if (!Intersect(row, edgeC1B, e0) || !Intersect(row, edgeC2A, e1)) return false;
            m_RowSegments[i] = Segment{e0.x, e0.y, e1.x, e1.y, MakeLine(e0, e1)};
        }
        return true;
    }
    // Sides a-c1 and b-c2 are horizontal. Lines through one point of the
    // horizon are parallel on the surface: from p they carry equal steps
    // along the bottom edge onto equal steps up side c2-a (q likewise for
    // side c1-b).
    const double w = m_nGridWidth, ratio = w / h;
    CMPoint p, q;
    if (!Intersect(MakeLine(a, CMPoint(c2.x + w, c2.y)), m_Horizon, p) ||
        !Intersect(MakeLine(c1, CMPoint(b.x - w, b.y)), m_Horizon, q))
        return false;
    for (int i = 0; i < h; ++i) {
        CMPoint e0, e1;
        if (!Intersect(MakeLine(p, CMPoint(c2.x + i * ratio, c2.y)), edgeC2A, e0) ||
            !Intersect(MakeLine(q, CMPoint(b.x - i * ratio, b.y)), edgeC1B, e1))
            return false;
        m_RowSegments[i] = Segment{e0.x, e0.y, e1.x, e1.y, MakeLine(e0, e1)};
    }
    return true;
}

// Column 0 runs along edge c2-a; the columns step towards edge c1-b. Each
// column segment joins edge a-c1 and edge b-c2.
bool CPerspectiveCorrection::BuildColumns(const CMPoint& a, const CMPoint& b, const CMPoint& c1, const CMPoint& c2,
                                          const CMPoint& p2) {
    const int w = m_nGridWidth;
    const Line edgeAC1 = MakeLine(a, c1), edgeBC2 = MakeLine(b, c2);
    m_ColumnSegments.resize(w);
    if (m_bVanishingPoint2Valid) {
        const CMPoint step((p2.x - c2.x) / w, (p2.y - c2.y) / w);
        for (int j = 0; j < w; ++j) {
            const Line column = MakeLine(m_VanishingPoint2, Along(c2, step, j));
            CMPoint e0, e1;
            if (!Intersect(column, edgeAC1, e0) || !Intersect(column, edgeBC2, e1)) return false;
            m_ColumnSegments[j] = Segment{e0.x, e0.y, e1.x, e1.y, MakeLine(e0, e1)};
        }
        return true;
    }
    // Sides c1-b and c2-a are vertical: the same construction turned by a
    // quarter, with steps down side a-c2.
    const double h = m_nGridHeight, ratio = h / w;
    CMPoint p, q;
    if (!Intersect(MakeLine(c1, CMPoint(a.x, a.y + h)), m_Horizon, p) ||
        !Intersect(MakeLine(b, CMPoint(c2.x, c2.y - h)), m_Horizon, q))
        return false;
    for (int j = 0; j < w; ++j) {
        CMPoint e0, e1;
        if (!Intersect(MakeLine(p, CMPoint(a.x, a.y + j * ratio)), edgeAC1, e0) ||
            !Intersect(MakeLine(q, CMPoint(c2.x, c2.y - j * ratio)), edgeBC2, e1))
            return false;
        m_ColumnSegments[j] = Segment{e0.x, e0.y, e1.x, e1.y, MakeLine(e0, e1)};
    }
    return true;
}

// Destination row r (0 = top) lies on row segment grid height - 1 - r.
void CPerspectiveCorrection::BuildLookup(CSize sourceSize) {
    const int w = m_nGridWidth, h = m_nGridHeight;
    m_Lookup.assign(static_cast<size_t>(w) * h, 0);
    int32_t* entry = m_Lookup.data();
    CMPoint point = kNoPoint; // kept when two grid lines do not meet
    for (int r = 0; r < h; ++r) {
        const Line& row = m_RowSegments[h - 1 - r].line;
        for (int c = 0; c < w; ++c, ++entry) {
            Intersect(m_ColumnSegments[c].line, row, point);
            // trunc(v) lies in [0, size) exactly when v lies in (-1, size).
            if (point.x > -1 && point.x < sourceSize.cx && point.y > -1 && point.y < sourceSize.cy)
                *entry = static_cast<int32_t>(point.y) * sourceSize.cx + static_cast<int32_t>(point.x);
        }
    }
}

bool CPerspectiveCorrection::Correction(const CImageBuffer* source, CImageBuffer* destination) const {
    if (!m_bPrepared || m_Lookup.empty() || !source || !destination) return false;
    const BYTE* from = source->GetPixelBuffer();
    BYTE* to = destination->GetPixelBuffer();
    if (!from || !to || source->GetBitCount() != 8 || destination->GetBitCount() != 8) return false;
    const CSize size = source->GetSize(), target = destination->GetSize();
    if (size.cx != m_SourceSize.cx || size.cy != m_SourceSize.cy || m_Rect.right > target.cx ||
        m_Rect.bottom > target.cy)
        return false;

    const int w = m_nGridWidth, h = m_nGridHeight;
    const int32_t* entry = m_Lookup.data();
    to += static_cast<ptrdiff_t>(m_Rect.top) * target.cx + m_Rect.left;
    for (int r = 0; r < h; ++r, entry += w, to += target.cx) {
        // Eight lookups gathered into one store: byte stores could alias the
        // table and would hold each load back until the store before it.
        int c = 0;
        for (; c + 8 <= w; c += 8) {
            const int32_t* e = entry + c;
            uint64_t eight = 0;
            for (int k = 0; k < 8; ++k) eight |= static_cast<uint64_t>(from[e[k]]) << (8 * k);
            std::memcpy(to + c, &eight, sizeof eight);
        }
        for (; c < w; ++c) to[c] = from[entry[c]];
    }
    return true;
}

// --- point mapping ------------------------------------------------------------------

bool CPerspectiveCorrection::TransformPoint(const CMPoint& destination, CMPoint& source) const {
    if (m_ColumnSegments.empty() || m_RowSegments.empty()) return false;
    bool clamped = false;
    const int column = GridIndex(destination.x - m_Rect.left, static_cast<int>(m_ColumnSegments.size()), clamped);
    const int row = GridIndex(m_nGridHeight - (destination.y - m_Rect.top) - 1,
                              static_cast<int>(m_RowSegments.size()), clamped);
    if (!Intersect(m_ColumnSegments[column].line, m_RowSegments[row].line, source)) return false;
    return !clamped;
}

bool CPerspectiveCorrection::TransformRect(const CRect& rect, CMPoint& p0, CMPoint& p1, CMPoint& p2,
                                           CMPoint& p3) const {
    const bool ok0 = TransformPoint(CMPoint(rect.left, rect.top), p0);
    const bool ok1 = TransformPoint(CMPoint(rect.right, rect.top), p1);
    const bool ok2 = TransformPoint(CMPoint(rect.right, rect.bottom), p2);
    const bool ok3 = TransformPoint(CMPoint(rect.left, rect.bottom), p3);
    return ok0 && ok1 && ok2 && ok3;
}

// --- drawing ------------------------------------------------------------------------

void CPerspectiveCorrection::DrawSurface(CDC* dc, double zoom) {
    if (m_Lookup.empty() || !dc) return;
    CPen pen(PS_SOLID, 1, 0x0000FF);
    CPen* previous = dc->SelectObject(&pen);
    auto draw = [&](const Segment& s) {
        dc->MoveTo(ZoomCoordinate(s.x0, zoom), ZoomCoordinate(s.y0, zoom));
        dc->LineTo(ZoomCoordinate(s.x1, zoom), ZoomCoordinate(s.y1, zoom));
    };
    for (size_t i = kGridMark; i < m_RowSegments.size(); i += kGridMark) draw(m_RowSegments[i]);
    for (size_t j = kGridMark; j < m_ColumnSegments.size(); j += kGridMark) draw(m_ColumnSegments[j]);
    dc->SelectObject(previous);
}
