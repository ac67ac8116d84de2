// CRLC: making regions, queries, changes and drawing. Segmentation,
// objects and contours are in RLCAnalysis.cpp.
#include <zep3/imaging/HandleTracker.h>
#include <zep3/imaging/ImageBuffer.h>
#include <zep3/imaging/RLC.h>
#include <zep3/platform/DC.h>
#include <zep3/platform/GdiFunctions.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const COLORREF kRunEndColour = 0xFF00FF; // magenta

int* NewInts(long long n) { return new (std::nothrow) int[static_cast<size_t>(n)]; }

// Screen coordinate of a scaled value, kept inside int.
int ToPixel(double v) { return static_cast<int>(std::clamp(v, double(INT_MIN), double(INT_MAX))); }
int RoundToPixel(double v) { return ToPixel(std::round(v)); }

// Bit j of the result is set when p[j] > threshold, for 64 pixels.
inline uint64_t ForegroundMask(const BYTE* p, BYTE threshold) {
#if defined(__SSE2__)
    // Unsigned bytes compare as signed ones once both sides are moved by 128.
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i limit = _mm_set1_epi8(static_cast<char>(threshold ^ 0x80));
    uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k)), bias);
        mask |= uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpgt_epi8(v, limit)))) << (16 * k);
    }
    return mask;
#else
    uint64_t mask = 0;
    for (int j = 0; j < 64; ++j) mask |= uint64_t(p[j] > threshold) << j;
    return mask;
#endif
}

// Writes the pairs of one thresholded row: area columns [left, right), the
// rest background. Colour changes are found 64 pixels at a time: the bits
// where the foreground mask differs from itself shifted by one column are
// the run ends.
class RowWriter {
public:
    RowWriter(int* out, bool colours) : m_Out(out), m_One(colours ? 1 : 0), m_None(colours ? 0 : -1) {}
    int* Threshold(const BYTE* row, int left, int right, int width, BYTE threshold) {
        uint64_t carry = 0; // colour of the column before, starting with background
        int x = left;
        for (; right - x >= 64; x += 64) {
            const uint64_t mask = ForegroundMask(row + x, threshold);
            EmitChanges(mask ^ (mask << 1 | carry), x);
            carry = mask >> 63;
        }
        if (x < right) {
            const int n = right - x;
            BYTE tail[64] = {};
            std::memcpy(tail, row + x, static_cast<size_t>(n));
            const uint64_t low = (uint64_t(1) << n) - 1;
            const uint64_t mask = ForegroundMask(tail, threshold) & low;
            EmitChanges((mask ^ (mask << 1 | carry)) & low, x);
            carry = (mask >> (n - 1)) & 1;
        }
        if (carry && right < width) Emit(right);
        Emit(width);
        return m_Out;
    }
    // One pair for the run that ends at `end`; its identifier is the run's
    // colour (from its position) or -1.
    void Emit(int end) {
        m_Out[0] = (m_Position & m_One) | m_None;
        m_Out[1] = end;
        m_Out += 2;
        ++m_Position;
    }

private:
    // The first four ends of a word are written whatever their number (the
    // slots past the last one are overwritten later), so that the usual word
    // costs no branch that depends on the picture.
    void EmitChanges(uint64_t changes, int x) {
        int written = 0;
        for (int k = 0; k < 4; ++k) {
            m_Out[2 * k] = ((m_Position + k) & m_One) | m_None;
            m_Out[2 * k + 1] = x + __builtin_ctzll(changes | uint64_t(1) << 63);
            written += changes != 0;
            changes &= changes - 1;
        }
        m_Out += 2 * written;
        m_Position += written;
        for (; changes; changes &= changes - 1) Emit(x + __builtin_ctzll(changes));
    }

    int* m_Out;
    int m_Position = 0;
    const int m_One;
    const int m_None;
};

// Calls f(a, b) for every column span [a, b) where the colours of two rows
// of pairs differ.
template <class F> void ForEachColourChange(const int* upper, const int* lower, int width, F&& f) {
    int pos = 0, iu = 0, il = 0;
    while (pos < width) {
        const int end = std::min(upper[2 * iu + 1], lower[2 * il + 1]);
        if (end > pos && ((iu ^ il) & 1)) f(pos, end);
        pos = std::max(pos, end);
        if (upper[2 * iu + 1] <= pos) ++iu;
        if (lower[2 * il + 1] <= pos) ++il;
    }
}

struct LineRows {
    std::vector<int> minX, maxX;
};

void OnLinePoint(int x, int y, LPARAM data) {
    auto* rows = reinterpret_cast<LineRows*>(data);
    if (y < 0 || y >= int(rows->minX.size())) return;
    rows->minX[size_t(y)] = std::min(rows->minX[size_t(y)], x);
    rows->maxX[size_t(y)] = std::max(rows->maxX[size_t(y)], x);
}

} // namespace

CRLC::CRLC()
    : m_Width(0), m_Height(0), m_pRLC(nullptr), m_pRowStart(nullptr), m_nRLCSize(0), m_nRLCCapacity(0),
      m_nRowCapacity(0), m_bSwapped(false), m_pCursor(nullptr) {}

CRLC::CRLC(const CRLC& other) : CRLC() { *this = other; }

CRLC::~CRLC() { Reset(); }

void CRLC::Reset() {
    delete[] m_pRLC;
    delete[] m_pRowStart;
    m_pRLC = nullptr;
    m_pRowStart = nullptr;
    m_Width = m_Height = m_nRLCSize = m_nRLCCapacity = m_nRowCapacity = 0;
    m_bSwapped = false;
    m_pCursor = nullptr;
    std::vector<int>().swap(m_Parent);
}

bool CRLC::Reserve(long long entries, long long rows, bool keep) {
    if (entries < 0 || rows < 0 || entries > INT_MAX || rows > INT_MAX) return false;
    if (entries > m_nRLCCapacity) {
        int* buffer = NewInts(entries);
        if (!buffer) return false;
        if (keep && m_nRLCSize > 0) std::memcpy(buffer, m_pRLC, size_t(m_nRLCSize) * sizeof(int));
        delete[] m_pRLC;
        m_pRLC = buffer;
        m_nRLCCapacity = int(entries);
        m_pCursor = nullptr;
    }
    if (rows > m_nRowCapacity) {
        int* table = NewInts(rows);
        if (!table) return false;
        if (keep && m_Height > 0) std::memcpy(table, m_pRowStart, size_t(m_Height) * sizeof(int));
        delete[] m_pRowStart;
        m_pRowStart = table;
        m_nRowCapacity = int(rows);
    }
    return true;
}

void CRLC::StartRegion(int w, int h) {
    m_Width = w;
    m_Height = h;
    m_nRLCSize = 0;
    m_bSwapped = false;
    m_pCursor = nullptr;
}

void CRLC::FinishRewrite(int newEntries) {
    if (newEntries > 0) std::memmove(m_pRLC, m_pRLC + m_nRLCSize, size_t(newEntries) * sizeof(int));
    m_nRLCSize = newEntries;
    m_pCursor = nullptr;
}

// --- Making regions ----------------------------------------------------------

bool CRLC::Make(CImageBuffer* image, unsigned char threshold, const CRect& area, bool colours) {
    if (!image || !image->GetPixelBuffer() || image->IsEmpty() || image->GetBitCount() != 8) return false;
    const int w = image->GetSize().cx, h = image->GetSize().cy;
    CRect clip;
    if (!clip.IntersectRect(area, CRect(0, 0, w, h))) return false;
    // The most a row can need: every pixel a run, after an empty leading one;
    // and room for the ends written ahead.
    if (!Reserve((w + 1LL) * h * 2 + 8, h, false)) {
        Reset();
        return false;
    }
    StartRegion(w, h);
    const BYTE* pixels = image->GetPixelBuffer();
    const ptrdiff_t stride = ptrdiff_t(w) + image->GetPaddingBytes();
    int* out = m_pRLC;
    for (int y = 0; y < h; ++y) {
        m_pRowStart[y] = int(out - m_pRLC);
        RowWriter row(out, colours);
        if (y < clip.top || y >= clip.bottom) {
            row.Emit(w);
            out += 2;
        } else {
            out = row.Threshold(pixels + y * stride, clip.left, clip.right, w, threshold);
        }
    }
    m_nRLCSize = int(out - m_pRLC);
    return true;
}

bool CRLC::MakeFromLine(const CPoint& a, const CPoint& b) {
    const CPoint& top = b.y < a.y ? b : a;
    const CPoint& bottom = b.y < a.y ? a : b;
    const long long w = std::max<long long>(top.x, bottom.x) + 1, h = bottom.y + 1LL;
    LineRows rows;
    bool ok = w > 0 && h > 0 && w <= INT_MAX && h <= INT_MAX && Reserve(6 * h, h, false);
    if (ok) {
        try {
            rows.minX.assign(size_t(h), INT_MAX);
            rows.maxX.assign(size_t(h), INT_MIN);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (!ok) {
        Reset();
        return false;
    }
    StartRegion(int(w), int(h));
    LineDDA(top.x, top.y, bottom.x, bottom.y, OnLinePoint, reinterpret_cast<LPARAM>(&rows));
    int* out = m_pRLC;
    for (int y = 0; y < m_Height; ++y) {
        m_pRowStart[y] = int(out - m_pRLC);
        RowWriter row(out, false);
        const long long start = std::max(0, rows.minX[size_t(y)]);
        const long long end = std::min<long long>(rows.maxX[size_t(y)] + 2LL, w);
        if (start < end) {
            row.Emit(int(start));
            row.Emit(int(end));
            out += 4;
        }
        if (end < w || start >= end) {
            row.Emit(int(w));
            out += 2;
        }
    }
    m_nRLCSize = int(out - m_pRLC);
    return true;
}

bool CRLC::MakeFromTracker(const CHandleTracker& tracker, bool colours) {
    const int count = tracker.GetHandleCount();
    if (count == 2) return MakeFromLine(tracker.GetHandle(0), tracker.GetHandle(1));
    std::vector<CPoint> handles;
    try {
        for (int i = 0; i < count; ++i) handles.push_back(tracker.GetHandle(i));
    } catch (const std::bad_alloc&) {
        handles.clear();
    }
    if (handles.size() < 3) {
        Reset();
        return false;
    }
    return MakeFromPolygon(handles.data(), count, colours);
}

// Fills the closed polygon through the points. Each non-level edge crosses
// the rows of its range once; a vertex where the outline goes on in the same
// vertical direction belongs to one edge only (the later one leaves out its
// start row), so that every row sees an even number of crossings. Equal
// crossings are taken together: an odd number changes the colour.
bool CRLC::MakeFromPolygon(const CPoint* points, int count, bool colours) {
    struct Edge {
        long long x0, y0, dx, dy;
        int top, bottom;
    };
    long long w = 0, h = 0;
    for (int i = 0; i < count; ++i)
        w = std::max<long long>(w, points[i].x + 1LL), h = std::max<long long>(h, points[i].y + 1LL);
    std::vector<Edge> edges;
    std::vector<long long> crossings;
    bool ok = w > 0 && h > 0 && w <= INT_MAX && h <= INT_MAX && Reserve((w + 1) * h * 2, h, false);
    try {
        edges.reserve(size_t(count));
        crossings.reserve(size_t(count));
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        Reset();
        return false;
    }
    // The edge before the first one is the one into the last point.
    long long previousDy = points[count - 1].y - (long long)points[count - 2].y;
    for (int i = 0; i < count; ++i) {
        const CPoint& a = points[(i + count - 1) % count];
        const CPoint& b = points[i];
        const long long dy = b.y - (long long)a.y;
        if (dy != 0) {
            Edge e{a.x, a.y, b.x - (long long)a.x, dy, std::min(a.y, b.y), std::max(a.y, b.y)};
            // A vertex the outline passes straight through (down or up) is
            // counted by the edge that arrives there, not by this one.
            if (dy > 0 && previousDy > 0) e.top = a.y + 1;
            if (dy < 0 && previousDy < 0) e.bottom = a.y - 1;
            edges.push_back(e);
        }
        previousDy = dy;
    }
    StartRegion(int(w), int(h));
    int* out = m_pRLC;
    for (int y = 0; y < m_Height; ++y) {
        m_pRowStart[y] = int(out - m_pRLC);
        crossings.clear();
        for (const Edge& e : edges)
            if (y >= e.top && y <= e.bottom)
                crossings.push_back(std::max(0LL, e.x0 + (y - e.y0) * e.dx / e.dy));
        std::sort(crossings.begin(), crossings.end());
        RowWriter row(out, colours);
        for (size_t i = 0; i < crossings.size();) {
            size_t j = i + 1;
            while (j < crossings.size() && crossings[j] == crossings[i]) ++j;
            if ((j - i) % 2) {
                row.Emit(int(crossings[i]));
                out += 2;
            }
            i = j;
        }
        row.Emit(m_Width);
        out += 2;
    }
    m_nRLCSize = int(out - m_pRLC);
    return true;
}

// --- Queries -----------------------------------------------------------------

int CRLC::GetRLCPixelID(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_Width || y >= m_Height || !m_pRLC) return -1;
    // The first pair whose end lies beyond x; the row's last pair ends at W.
    const int* p = RowPairs(y);
    int lo = 0, hi = RowEntries(y) / 2 - 1;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (p[2 * mid + 1] > x)
            hi = mid;
        else
            lo = mid + 1;
    }
    return p[2 * lo];
}

int CRLC::GetHitID(const CPoint& point) const { return GetRLCPixelID(point.x, point.y); }

int CRLC::GetFirst(int row, int* id) const {
    if (row < 0 || row >= m_Height || !m_pRLC) {
        m_pCursor = nullptr;
        return -1;
    }
    m_pCursor = RowPairs(row);
    if (id) *id = m_pCursor[0];
    return m_pCursor[1];
}

int CRLC::GetNext(int* id) const {
    if (!m_pCursor) return -1;
    if (m_pCursor[1] != m_Width) m_pCursor += 2;
    if (id) *id = m_pCursor[0];
    return m_pCursor[1];
}

bool CRLC::IsSameRLC(const CRLC& other) const {
    return m_nRLCSize == other.m_nRLCSize &&
           (m_nRLCSize == 0 || std::memcmp(m_pRLC, other.m_pRLC, size_t(m_nRLCSize) * sizeof(int)) == 0);
}

bool CRLC::HasOnlyColourIdentifiers() const {
    for (int y = 0; y < m_Height; ++y) {
        const int* p = RowPairs(y);
        for (int i = 0, n = RowEntries(y); i < n; i += 2)
            if (p[i] != ((i >> 1) & 1)) return false;
    }
    return true;
}

// --- Changing regions --------------------------------------------------------

bool CRLC::operator=(const CRLC& other) {
    if (this == &other) return true;
    if (!Reserve(other.m_nRLCSize, other.m_Height, false)) {
        Reset();
        return false;
    }
    StartRegion(other.m_Width, other.m_Height);
    m_nRLCSize = other.m_nRLCSize;
    m_bSwapped = other.m_bSwapped;
    if (m_nRLCSize > 0) std::memcpy(m_pRLC, other.m_pRLC, size_t(m_nRLCSize) * sizeof(int));
    if (m_Height > 0) std::memcpy(m_pRowStart, other.m_pRowStart, size_t(m_Height) * sizeof(int));
    return true;
}

// The rewriting operations below write the new rows behind the entries in
// use, reading each old row before its row start is replaced, and then move
// the result down: no second buffer is needed, only a grown one.

bool CRLC::operator&=(const CRLC& other) {
    const int w = std::min(m_Width, other.m_Width), h = std::min(m_Height, other.m_Height);
    // A row of the result has at most one pair more than both rows together.
    const long long most = (long long)m_nRLCSize + other.m_nRLCSize + 2LL * h;
    if (!Reserve(m_nRLCSize + most, m_Height, true)) return false;
    int* out = m_pRLC + m_nRLCSize;
    for (int y = 0; y < h; ++y) {
        const int* a = RowPairs(y);
        const int* b = other.RowPairs(y);
        const int na = RowEntries(y) / 2, nb = other.RowEntries(y) / 2;
        m_pRowStart[y] = int(out - m_pRLC) - m_nRLCSize;
        RowWriter row(out, false);
        // Foreground runs sit at odd positions: [end of pair i - 1, end of pair i).
        for (int ia = 1, ib = 1; ia < na && ib < nb;) {
            const int ea = a[2 * ia + 1], eb = b[2 * ib + 1];
            const int start = std::max(a[2 * ia - 1], b[2 * ib - 1]), end = std::min(ea, eb);
            if (start >= w) break;
            if (start < end) {
                row.Emit(start);
                out += 2;
                if (end < w) {
                    row.Emit(end);
                    out += 2;
                }
            }
            if (ea <= eb) ia += 2;
            if (eb <= ea) ib += 2;
        }
        row.Emit(w);
        out += 2;
    }
    const int entries = int(out - m_pRLC) - m_nRLCSize;
    FinishRewrite(entries);
    m_Width = w;
    m_Height = h;
    m_bSwapped = false;
    return true;
}

bool CRLC::ErodeX(int n, bool erode) {
    if (m_Height < 1 || !m_pRLC) return false;
    // Pulling a run back from the right border adds one pair to its row.
    if (!Reserve(2LL * m_nRLCSize + 2LL * m_Height, m_Height, true)) return false;
    const long long shift = erode ? n : -(long long)n; // start += shift, end -= shift
    int* out = m_pRLC + m_nRLCSize;
    for (int y = 0; y < m_Height; ++y) {
        const int* p = RowPairs(y);
        const int pairs = RowEntries(y) / 2;
        m_pRowStart[y] = int(out - m_pRLC) - m_nRLCSize;
        RowWriter row(out, false);
        long long runStart = -1, runEnd = -1; // the foreground run waiting to be written
        for (int i = 1; i < pairs; i += 2) {
            const long long start = std::clamp<long long>(p[2 * i - 1] + shift, 0, m_Width);
            const long long end = std::clamp<long long>(p[2 * i + 1] - shift, 0, m_Width);
            if (start >= end) continue; // vanished: its neighbours merge
            if (runStart >= 0 && start <= runEnd) {
                runEnd = std::max(runEnd, end); // the background between vanished
                continue;
            }
            if (runStart >= 0) {
                row.Emit(int(runStart));
                row.Emit(int(runEnd));
                out += 4;
            }
            runStart = start;
            runEnd = end;
        }
        if (runStart >= 0) {
            row.Emit(int(runStart));
            out += 2;
            if (runEnd < m_Width) {
                row.Emit(int(runEnd));
                out += 2;
            }
        }
        row.Emit(m_Width);
        out += 2;
    }
    FinishRewrite(int(out - m_pRLC) - m_nRLCSize);
    return true;
}

bool CRLC::SwapRLCXY(bool exact) {
    if (!m_pRLC || m_Width < 1 || m_Height < 1) return false;
    const int newWidth = m_Height, newHeight = m_Width;
    const bool colours = HasOnlyColourIdentifiers();
    const int background[2] = {-1, m_Width}; // the row above row 0
    auto upperRow = [&](int y) { return y > 0 ? RowPairs(y - 1) : background; };

    // Each change of colour down a column ends a run of that column's new row.
    std::vector<int> rowStart, cursor;
    long long total = 0;
    try {
        rowStart.resize(size_t(newHeight) + 1);
        if (exact) {
            std::vector<int>& changes = cursor; // per column, as differences along the row
            changes.assign(size_t(newHeight) + 1, 0);
            for (int y = 0; y < m_Height; ++y)
                ForEachColourChange(upperRow(y), RowPairs(y), m_Width, [&](int a, int b) {
                    ++changes[size_t(a)];
                    --changes[size_t(b)];
                });
            int count = 0;
            for (int x = 0; x < newHeight; ++x) {
                count += changes[size_t(x)];
                rowStart[size_t(x)] = int(total);
                total += 2LL * (count + 1);
            }
        } else {
            total = (long long)newHeight * (2LL * newWidth + 2);
            if (total > INT_MAX) return false;
            for (int x = 0; x < newHeight; ++x) rowStart[size_t(x)] = x * (2 * newWidth + 2);
        }
        cursor.assign(rowStart.begin(), rowStart.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (total > INT_MAX) return false;
    int* buffer = NewInts(std::max(total, 1LL));
    int* table = NewInts(newHeight);
    if (!buffer || !table) {
        delete[] buffer;
        delete[] table;
        return false;
    }
    auto emit = [&](int x, int end) {
        int& at = cursor[size_t(x)];
        buffer[at] = colours ? ((at - rowStart[size_t(x)]) >> 1) & 1 : -1;
        buffer[at + 1] = end;
        at += 2;
    };
    for (int y = 0; y < m_Height; ++y)
        ForEachColourChange(upperRow(y), RowPairs(y), m_Width, [&](int a, int b) {
            for (int x = a; x < b; ++x) emit(x, y);
        });
    int used = 0;
    for (int x = 0; x < newHeight; ++x) {
        emit(x, newWidth);
        const int length = cursor[size_t(x)] - rowStart[size_t(x)];
        std::memmove(buffer + used, buffer + rowStart[size_t(x)], size_t(length) * sizeof(int));
        table[x] = used;
        used += length;
    }
    delete[] m_pRLC;
    delete[] m_pRowStart;
    m_pRLC = buffer;
    m_pRowStart = table;
    m_nRLCCapacity = int(std::max(total, 1LL));
    m_nRowCapacity = newHeight;
    m_nRLCSize = used;
    m_Width = newWidth;
    m_Height = newHeight;
    m_bSwapped = !m_bSwapped;
    m_pCursor = nullptr;
    return true;
}

// --- Drawing -------------------------------------------------------------------

void CRLC::Draw(CDC* dc, double zoom) {
    if (!dc || !m_pRLC) return;
    const bool scaled = zoom > 1;
    const int screenRows = scaled ? RoundToPixel(m_Height * zoom) : m_Height;
    for (int r = 0; r < screenRows; ++r) {
        const int y = scaled ? std::min(m_Height - 1, RoundToPixel(r / zoom)) : r;
        const int* p = RowPairs(y);
        for (int i = 1, n = RowEntries(y); i < n; i += 2)
            dc->SetPixel(scaled ? RoundToPixel(p[i] * zoom) : p[i], r, kRunEndColour);
    }
}

int CRLC::DrawSegment(CDC* dc, int id, double) const {
    if (!dc || !m_pRLC) return 0;
    int drawn = 0;
    for (int y = 0; y < m_Height; ++y) {
        const int* p = RowPairs(y);
        for (int i = 0, n = RowEntries(y), start = 0; i < n; start = p[i + 1], i += 2) {
            if (p[i] != id) continue;
            dc->MoveTo(start, y);
            dc->LineTo(p[i + 1], y);
            ++drawn;
        }
    }
    return drawn;
}

void CRLC::DrawContour(CDC* dc, const CContour& contour, const COLORREF& colour, double zoom) {
    if (!dc) return;
    for (int i = 0; i < contour.GetSize(); ++i) {
        const CPoint& p = contour.GetPoint(i);
        dc->SetPixel(ToPixel(p.x * zoom), ToPixel(p.y * zoom), colour);
    }
}
