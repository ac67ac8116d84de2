// CRLC: connected components, object statistics, contours and grey centres.
#include <zep3/imaging/ImageBuffer.h>
#include <zep3/imaging/RLC.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace {

// Neighbour directions for contour following, clockwise from up (x to the
// right, y downward).
constexpr int kDirX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kDirY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

} // namespace

// --- Connected components ----------------------------------------------------

bool CRLC::Segment() {
    if (m_Height < 1 || !m_pRLC) return true;
    // Below the first row a region made without colours has no identifiers.
    // Its merges are then kept in a union-find table (each number's parent,
    // a root being the number its component goes by) and written out once
    // at the end: the same numbers as renaming every occurrence of the upper
    // number at each merge, without walking back up the rows each time.
    // Regions that already carry identifiers are renamed in place.
    bool lazy = true;
    for (int i = m_Height > 1 ? m_pRowStart[1] : m_nRLCSize; i < m_nRLCSize && lazy; i += 2)
        lazy = m_pRLC[i] < 0;
    if (lazy) {
        try {
            m_Parent.clear();
            m_Parent.reserve(size_t(m_nRLCSize / 2)); // at most one number per run
        } catch (const std::bad_alloc&) {
            lazy = false;
        }
    }
    auto find = [this](int n) {
        while (m_Parent[size_t(n)] != n) n = m_Parent[size_t(n)] = m_Parent[size_t(m_Parent[size_t(n)])];
        return n;
    };
    int next = 0;
    auto newNumber = [&] {
        if (lazy) m_Parent.push_back(next);
        return next++;
    };

    int* first = m_pRLC + m_pRowStart[0];
    for (int i = 0, n = RowEntries(0); i < n; i += 2)
        if (i > 0 || first[1] > 0) first[i] = newNumber(); // an empty leading run keeps its identifier

    // Each row is walked together with the row above, pairing runs in the
    // order of their ends; the run that ends first moves on.
    for (int y = 1; y < m_Height; ++y) {
        int* up = m_pRLC + m_pRowStart[y - 1];
        int* low = m_pRLC + m_pRowStart[y];
        int upStart = 0, lowStart = 0, parity = 0; // parity: the two runs differ in colour
        for (;;) {
            const int upEnd = up[1], lowEnd = low[1];
            if (parity) {
                // The upper run reaches past the lower one, which has met no
                // run of its colour: it starts a component.
                if (upEnd >= lowEnd && low[0] < 0) low[0] = newNumber();
            } else if (lowStart < upEnd && lowEnd > upStart && up[0] >= 0) {
                if (low[0] < 0) {
                    low[0] = up[0];
                } else if (lazy) {
                    const int upper = find(up[0]), lower = find(low[0]);
                    if (upper != lower)
                        m_Parent[size_t(upper)] = lower; // the upper component takes the lower's number
                } else if (low[0] != up[0]) {
                    Relabel(up[0], low[0], y);
                }
            }
            if (upEnd < lowEnd) {
                upStart = upEnd, up += 2, parity ^= 1;
            } else if (lowEnd < upEnd) {
                lowStart = lowEnd, low += 2, parity ^= 1;
            } else {
                if (upEnd >= m_Width) break;
                upStart = upEnd, up += 2;
                lowStart = lowEnd, low += 2;
            }
        }
    }
    // Row 0's empty leading run keeps its identifier, which need not be one
    // of the numbers given here.
    if (lazy)
        for (int i = 0; i < m_nRLCSize; i += 2)
            if (m_pRLC[i] >= 0 && m_pRLC[i] < next) m_pRLC[i] = find(m_pRLC[i]);
    return true;
}

// Renames in place, for regions that came with identifiers. A component's
// rows are contiguous, so walking up from the current row the first row
// without the old number ends the search.
void CRLC::Relabel(int from, int to, int row) {
    bool found = false;
    for (int y = row; y >= 0; --y) {
        int* p = m_pRLC + m_pRowStart[y];
        bool here = false;
        for (int i = 0, n = RowEntries(y); i < n; i += 2) {
            if (p[i] == from) {
                p[i] = to;
                here = true;
            }
        }
        if (here)
            found = true;
        else if (found)
            break;
    }
}

int CRLC::ObjectExtraction(CArrayEx<CSegObject, const CSegObject&>& objects, int) const {
    objects.RemoveAll();
    objects.SetSize(0, 1000);
    int highest = -1;
    for (int i = 0; i < m_nRLCSize; i += 2) highest = std::max(highest, m_pRLC[i]);
    if (highest < 0) return 0;
    // The array itself is the working table, indexed by identifier, then
    // closed up over the identifiers that did not occur.
    try {
        objects.SetSize(INT_PTR(highest) + 1);
    } catch (const std::bad_alloc&) {
        objects.RemoveAll();
        return 0;
    }
    CSegObject* table = objects.GetData();
    for (int y = 0; y < m_Height; ++y) {
        const int* p = RowPairs(y);
        for (int i = 0, n = RowEntries(y), start = 0; i < n; start = p[i + 1], i += 2)
            if (p[i] >= 0) table[p[i]].Add(y, start, p[i + 1], (i & 2) != 0);
    }
    int count = 0;
    for (int id = 0; id <= highest; ++id) {
        if (!table[id].IsInitialised()) continue;
        table[id].SetID(id);
        if (count != id) table[count] = table[id];
        ++count;
    }
    objects.SetSize(count);
    return count;
}

// --- Contours ------------------------------------------------------------------

int CRLC::GetNextContourPos(int x, int y, int back, bool clockwise, int id) const {
    // Even back directions test six neighbours, odd ones seven; counter-
    // clockwise walks the same neighbours in mirror order.
    const bool even = (back & 1) == 0;
    const int tests = even ? 6 : 7;
    int d = back + (even ? 3 : 2) + (clockwise ? 0 : (even ? 2 : 4));
    const int step = clockwise ? 1 : 7;
    for (int k = 0; k < tests; ++k, d += step) {
        const int dir = d & 7;
        if (GetRLCPixelID(x + kDirX[dir], y + kDirY[dir]) == id) return dir;
    }
    return -1;
}

bool CRLC::GetContour(CContour& contour, int id, bool clockwise, int maxPoints) const {
    contour.Reset();
    // Negative identifiers are refused: outside the image counts as -1, so
    // their walk could leave the image and never come back.
    if (id < 0 || !m_pRLC) return true;

    // The start pixel: the first column of the first run in raster order
    // (runs without pixels do not count).
    int startX = -1, startY = -1;
    bool leading = false;
    for (int y = 0; y < m_Height && startY < 0; ++y) {
        const int* p = RowPairs(y);
        for (int i = 0, n = RowEntries(y), start = 0; i < n; start = p[i + 1], i += 2) {
            if (p[i] == id && p[i + 1] > start) {
                startX = start, startY = y, leading = i == 0;
                break;
            }
        }
    }
    if (startY < 0) return true;

    struct State {
        int x, y, back;
        bool operator==(const State& o) const { return x == o.x && y == o.y && back == o.back; }
    };
    auto advance = [&](State& s) {
        const int d = GetNextContourPos(s.x, s.y, s.back, clockwise, id);
        if (d < 0) return false;
        s = State{s.x + kDirX[d], s.y + kDirY[d], (d + 4) & 7};
        return true;
    };

    State s{startX, startY, (leading ? 1 : 5) + (clockwise ? 0 : 2)};
    if (!advance(s)) return true; // a single pixel
    const State first = s;
    bool closed = false;
    try {
        CArray<CPoint, CPoint> points;
        points.SetSize(0, 500);
        points.Add(CPoint(first.x, first.y));
        // The walk normally ends by coming back to its first state. Some
        // starts (a background component that begins at column 0) lead into
        // an outline that never passes through that state again, so the walk
        // also watches for any repeated state (Brent's cycle detection: the
        // state at each power-of-two step is kept and compared) and then
        // keeps the points up to the first repetition. The states are finite,
        // so every walk ends.
        State kept = first;
        long long index = 0, keptIndex = 0, power = 1;
        for (long long searches = 0; maxPoints < 0 || searches < maxPoints; ++searches) {
            if (!advance(s)) break;
            ++index;
            if (s == first) {
                closed = true;
                break;
            }
            if (s == kept) {
                const long long cycle = index - keptIndex;
                State a = first, b = first;
                for (long long i = 0; i < cycle; ++i) advance(b);
                long long lead = 0;
                while (!(a == b) && advance(a) && advance(b)) ++lead;
                points.SetSize(INT_PTR(lead + cycle));
                break;
            }
            points.Add(CPoint(s.x, s.y));
            if (index - keptIndex == power) {
                kept = s;
                keptIndex = index;
                power *= 2;
            }
        }
        return contour.SetPoints(points.GetData(), int(points.GetSize()), closed);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// --- Grey-weighted centre -------------------------------------------------------

bool CRLC::GetGrayGravity(CMPoint& centre, const CImageBuffer& image, unsigned char threshold, int id) const {
    if (image.GetBitCount() != 8 || image.IsEmpty() || !image.GetPixelBuffer() || !m_pRLC) return false;
    const int imageWidth = image.GetSize().cx, imageHeight = image.GetSize().cy;
    const ptrdiff_t stride = ptrdiff_t(imageWidth) + image.GetPaddingBytes();
    bool found = false;
    int64_t sumX = 0, sumY = 0, sumW = 0;
    for (int y = 0; y < m_Height; ++y) {
        const int* p = RowPairs(y);
        for (int i = 0, n = RowEntries(y), start = 0; i < n; start = p[i + 1], i += 2) {
            if (p[i] != id) continue;
            found = true;
            if (i == 0 || y >= imageHeight) continue; // a row's first run does not count
            const BYTE* pixels = image.GetPixelBuffer() + y * stride;
            int64_t rowW = 0;
            for (int x = start, end = std::min(p[i + 1], imageWidth); x < end; ++x) {
                const int w = pixels[x] - threshold;
                if (w > 0) {
                    sumX += int64_t(x) * w;
                    rowW += w;
                }
            }
            sumY += rowW * y;
            sumW += rowW;
        }
    }
    if (!found || sumW == 0) return false;
    centre = CMPoint(double(sumX) / double(sumW), double(sumY) / double(sumW));
    return true;
}
