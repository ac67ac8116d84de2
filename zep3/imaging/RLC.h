#pragma once
/// @class CRLC
/// A binary region of an image kept as run-length code, with
/// segmentation into connected components, contour following and statistics.
///
/// Layout: every row is a sequence of (identifier, end) pairs. A run covers
/// the columns from the previous pair's end (0 for a row's first pair) up to
/// but not including its own end; the last pair of every row ends at the
/// width W. Runs alternate by position: position 0 is background, 1
/// foreground, 2 background, ... so a row that begins with foreground starts
/// with an empty background pair (end 0). Identifiers are -1 (none), the
/// run's colour 0/1 (regions made with colours), or a component number after
/// Segment. Rows are stored one after the other in one buffer; a table holds
/// the offset of each row's first pair. Buffers are kept between calls and
/// only grown, so remaking a region for every frame allocates nothing.
///
/// Everything works on runs, except the thresholding of Make and the pixel
/// weighting of GetGrayGravity. Failures are false results; nothing throws.
/// A region is used by one thread at a time.
#include <zep3/imaging/Contour.h>
#include <zep3/imaging/MPoint.h>
#include <zep3/imaging/SegObject.h>
#include <zep3/platform/ArrayEx.h>
#include <zep3/platform/GdiTypes.h>
#include <zep3/platform/Rect.h>

#include <vector>

class CDC;
class CHandleTracker;
class CImageBuffer;

class ZEP3_API CRLC {
public:
    /// An empty region: 0 × 0, no buffers.
    CRLC();
    /// A copy as operator= makes it; empty when memory cannot be had.
    CRLC(const CRLC& other);
    virtual ~CRLC();

    // --- Making regions. Each resets the iteration cursor and the swapped
    // flag. On bad input the region is left as it was; when memory cannot
    // be had it is emptied (capacities 0). ---

    /// Thresholds the 8-bit `image` inside `area` (clipped to the image): a
    /// pixel is foreground when its value is greater than `threshold`.
    /// The region gets the image's size; everything outside the area is
    /// background. Identifiers are the runs' colours (0/1) with `colours`,
    /// -1 otherwise. False for a null image, one without pixels or not of
    /// 8 bits, or an area that misses the image.
    bool Make(CImageBuffer* image, unsigned char threshold, const CRect& area, bool colours);
    /// The area of a shape: with three or more handles the closed polygon
    /// through them in order, filled (a pixel belongs to it when its column
    /// lies between an entering and a leaving crossing of its row, the
    /// leaving one excluded); with two handles MakeFromLine of handles 0 and
    /// 1. The region is (greatest handle x + 1) × (greatest handle y + 1).
    /// Identifiers as for Make. With fewer handles, or a size that would not
    /// be positive, the region is reset and the result is false.
    bool MakeFromTracker(const CHandleTracker& tracker, bool colours);
    /// A region of size (max(a.x, b.x) + 1) × (max(a.y, b.y) + 1) holding
    /// the line from the upper point (a when level) to the lower one: each
    /// row the line steps through gets one foreground run from its smallest
    /// x to its largest x + 2 (cut at the width); the lower end point itself
    /// is not stepped, so the last row is often empty. Identifiers -1. False
    /// (region reset) when a size would not be positive.
    bool MakeFromLine(const CPoint& a, const CPoint& b);

    // --- Segmentation and objects ---

    /// Numbers the 4-connected components of both colours; expects a region
    /// without identifiers (made with colours false): identifiers already
    /// set below the first row are taken as component numbers. Numbers are
    /// never reused, so merged components leave gaps. Always true.
    bool Segment();
    /// Empties `objects` (growth step 1000) and adds one object per component
    /// number found, in increasing order, with its identifier, colour, mass,
    /// box, run sums and gravity. Runs without identifier are skipped. The
    /// int argument is not used. Returns the number of objects (0 when memory
    /// cannot be had).
    int ObjectExtraction(CArrayEx<CSegObject, const CSegObject&>& objects, int reserved = 0) const;
    /// Follows the outline of component `id` (see docs/imaging.md for the
    /// start and direction rules): at most `maxPoints` steps after the first
    /// point (negative: no limit, 0: the first point only). The contour is
    /// closed when the walk came back to its start. An absent or negative
    /// identifier, or a single pixel, gives an empty open contour. Always
    /// true (false only when memory cannot be had).
    bool GetContour(CContour& contour, int id, bool clockwise, int maxPoints) const;
    /// Grey-weighted centre of component `id` on the 8-bit `image`: every
    /// pixel of its runs (except runs at a row's first position) weighs
    /// value - threshold when that is positive. Pixels outside the image do
    /// not count. False, `centre` unchanged, when the image is not 8-bit with
    /// pixels, the identifier does not occur, or no pixel weighs anything.
    bool GetGrayGravity(CMPoint& centre, const CImageBuffer& image, unsigned char threshold, int id) const;

    // --- Queries and iteration ---

    /// Identifier of the run holding the point; -1 outside the region.
    int GetHitID(const CPoint& point) const;
    /// Puts the cursor on the first pair of `row`, stores its identifier in
    /// *id (when not null) and returns its end; -1 (cursor cleared) for a row
    /// outside 0 .. H - 1.
    int GetFirst(int row, int* id = nullptr) const;
    /// Moves to the next pair (staying on the last one, whose end is W),
    /// stores its identifier and returns its end; -1 without a cursor.
    int GetNext(int* id = nullptr) const;
    /// (W, H).
    CSize GetImageSize() const { return CSize(m_Width, m_Height); }
    /// True after an odd number of SwapRLCXY calls.
    bool IsSwapped() const { return m_bSwapped; }
    /// True when both regions hold the same pairs (sizes not compared); two
    /// empty regions are the same.
    bool IsSameRLC(const CRLC& other) const;

    // --- Changing regions ---

    /// Copies size, pairs and the swapped flag. False (region emptied) when
    /// memory cannot be had.
    bool operator=(const CRLC& other);
    /// Keeps the foreground that both regions share, over the smaller width
    /// and height of the two. Identifiers become -1. False when memory cannot
    /// be had.
    bool operator&=(const CRLC& other);
    /// erode: every foreground run loses n pixels at both ends (the row's
    /// borders count as background); otherwise it grows by n at both ends,
    /// up to the row's borders. Runs that vanish are removed and their
    /// neighbours merge; identifiers become -1. False for a region without
    /// rows or when memory cannot be had.
    bool ErodeX(int n, bool erode);
    /// Transposes the region: row r of the result is column r of the old
    /// one; width and height change places and the swapped flag toggles. A
    /// region whose identifiers are all colours keeps colour identifiers
    /// (GetHitID answers 1 in the foreground and 0 elsewhere, with exchanged
    /// coordinates); any other gets -1: run Segment again for components.
    /// `exact` sizes the buffer to the result; otherwise every row reserves
    /// room for 2 × old height + 2 entries. False for an empty region or when
    /// memory cannot be had (region unchanged).
    bool SwapRLCXY(bool exact);
    /// Frees both buffers; size 0 × 0, not swapped.
    void Reset();

    // --- Drawing (platform device context; nothing happens for a null one) ---

    /// Marks the end of every run of every row (the end W included) with a
    /// magenta pixel. With zoom > 1 screen row r shows region row
    /// min(H - 1, round(r / zoom)) and an end e is drawn at round(e × zoom);
    /// otherwise the region is drawn unscaled.
    void Draw(CDC* dc, double zoom);
    /// Draws every run of component `id` as a line on its row with the
    /// selected pen, in image coordinates (the double is not applied).
    /// Returns the number of runs drawn.
    int DrawSegment(CDC* dc, int id, double zoom) const;
    /// One pixel of `colour` at (trunc(x × zoom), trunc(y × zoom)) for every
    /// point of the contour.
    static void DrawContour(CDC* dc, const CContour& contour, const COLORREF& colour, double zoom);

private:
    const int* RowPairs(int y) const { return m_pRLC + m_pRowStart[y]; }
    int RowEntries(int y) const {
        return (y + 1 < m_Height ? m_pRowStart[y + 1] : m_nRLCSize) - m_pRowStart[y];
    }
    // Makes room for `entries` pair entries and `rows` row starts. With
    // `keep` the entries and row starts in use are carried over; without it
    // a buffer that grows starts with undefined content, which the caller
    // writes anew. False when memory cannot be had or a count passes INT_MAX;
    // the region is not emptied then: the caller decides (Reset, or keep it
    // as it was when `keep`).
    bool Reserve(long long entries, long long rows, bool keep);
    // Fills the closed polygon through `count` (at least 3) points.
    bool MakeFromPolygon(const CPoint* points, int count, bool colours);
    // Starts a new region of w × h with no rows written yet.
    void StartRegion(int w, int h);
    // Moves rows written after the entries in use down to offset 0.
    void FinishRewrite(int newEntries);
    void Relabel(int from, int to, int row);
    bool HasOnlyColourIdentifiers() const;
    int GetRLCPixelID(int x, int y) const;
    // Searches the neighbours of (x, y) for identifier `id`, starting next to
    // back direction `back`; returns the direction taken or -1.
    int GetNextContourPos(int x, int y, int back, bool clockwise, int id) const;

    int m_Width;
    int m_Height;
    int* m_pRLC;        // run buffer: identifier, end, identifier, end, ...
    int* m_pRowStart;   // offset of each row's first pair in m_pRLC
    int m_nRLCSize;     // entries in use
    int m_nRLCCapacity; // entries allocated
    int m_nRowCapacity; // row starts allocated
    bool m_bSwapped;
    mutable const int* m_pCursor; // pair under the GetFirst/GetNext cursor
    std::vector<int> m_Parent;    // Segment's working table, kept between calls
};
