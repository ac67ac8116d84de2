// Run-length regions checked against plain per-pixel references written
// here: a direct threshold, a flood fill, and pixel definitions of erosion,
// intersection and transposition, on random images of several densities
// and shapes (one pixel wide, one row, widths around the 64-pixel blocks).
#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

// Per-pixel colour (0/1) and identifier of a region, read through
// GetFirst/GetNext; checks the pair invariants on the way.
struct Pixels {
    int w = 0, h = 0;
    std::vector<int> colour, id;
    int at(const std::vector<int>& v, int x, int y) const { return v[size_t(y) * w + x]; }
};

Pixels decode(const CRLC& r) {
    Pixels p{r.GetImageSize().cx, r.GetImageSize().cy, {}, {}};
    p.colour.assign(size_t(p.w) * p.h, -2);
    p.id = p.colour;
    for (int y = 0; y < p.h; ++y) {
        int id = 0, start = 0, end = r.GetFirst(y, &id);
        for (int pos = 0;; ++pos) {
            EXPECT_TRUE(end > start || (end == start && pos == 0)) << "row " << y << " pair " << pos;
            for (int x = start; x < end; ++x)
                p.colour[size_t(y) * p.w + x] = pos & 1, p.id[size_t(y) * p.w + x] = id;
            if (end >= p.w) break;
            start = end;
            end = r.GetNext(&id);
        }
        EXPECT_EQ(end, p.w);
    }
    return p;
}

// The (identifier, end) pairs of a row.
std::vector<std::pair<int, int>> pairsOf(const CRLC& r, int row) {
    std::vector<std::pair<int, int>> pairs;
    int id = 0, end = r.GetFirst(row, &id);
    for (pairs.push_back({id, end}); end >= 0 && end < r.GetImageSize().cx; pairs.push_back({id, end}))
        end = r.GetNext(&id);
    return pairs;
}
using Pairs = std::vector<std::pair<int, int>>;

using imgtest::greyImage;
BYTE& px(CImageBuffer& image, int x, int y) {
    return image.GetPixelBuffer()[size_t(y) * (image.GetSize().cx + image.GetPaddingBytes()) + x];
}

// Noise: a pixel is 200 (foreground at threshold 100) with probability `density`, else 50.
CImageBuffer noise(int w, int h, double density, std::mt19937& rng, int padding = 0) {
    CImageBuffer image = greyImage(w, h, 0, padding);
    std::bernoulli_distribution on(density);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px(image, x, y) = on(rng) ? 200 : 50;
    return image;
}

CRLC segmented(CImageBuffer& image) {
    CRLC r;
    EXPECT_TRUE(r.Make(&image, 100, CRect(0, 0, image.GetSize().cx, image.GetSize().cy), false));
    EXPECT_TRUE(r.Segment());
    return r;
}

const CSize kShapes[] = {{1, 1}, {1, 17}, {23, 1}, {64, 3}, {65, 9}, {37, 23}, {130, 40}};
const double kDensities[] = {0.05, 0.5, 0.6, 0.95};

} // namespace

TEST(RLCMake, AgreesWithADirectThresholdInsideClippedAreas) {
    std::mt19937 rng(7);
    for (CSize s : kShapes) {
        for (int padding : {0, 3}) {
            CImageBuffer image = greyImage(s.cx, s.cy, 0, padding);
            for (int y = 0; y < s.cy; ++y)
                for (int x = 0; x < s.cx; ++x) px(image, x, y) = BYTE(rng());
            for (int k = 0; k < 6; ++k) {
                const int l = int(rng() % (s.cx + 4)) - 2, t = int(rng() % (s.cy + 4)) - 2;
                CRect area(l, t, l + 1 + int(rng() % (s.cx + 2)), t + 1 + int(rng() % (s.cy + 2)));
                if (k == 0) area = CRect(-5, -5, 1000, 1000);
                const BYTE threshold = BYTE(k == 1 ? 255 : k == 2 ? 0 : rng());
                const bool colours = k % 2;
                CRLC r;
                CRect clip;
                ASSERT_EQ(r.Make(&image, threshold, area, colours),
                          clip.IntersectRect(area, CRect(0, 0, s.cx, s.cy)));
                if (clip.IsRectEmpty()) continue;
                const Pixels p = decode(r);
                for (int y = 0; y < s.cy; ++y)
                    for (int x = 0; x < s.cx; ++x) {
                        const int want = clip.PtInRect(CPoint(x, y)) && px(image, x, y) > threshold;
                        ASSERT_EQ(p.at(p.colour, x, y), want)
                            << s.cx << "x" << s.cy << " at " << x << "," << y;
                        ASSERT_EQ(p.at(p.id, x, y), colours ? want : -1);
                    }
            }
        }
    }
}

TEST(RLCMake, RunsAtTheEdgesOfAnArea) {
    CImageBuffer image = greyImage(8, 2);
    px(image, 0, 0) = px(image, 3, 0) = px(image, 4, 0) = 9;
    CRLC r;
    ASSERT_TRUE(r.Make(&image, 5, CRect(0, 0, 4, 1), true));
    // A leading empty background run, closed at the area's right edge, then
    // background up to W.
    EXPECT_EQ(pairsOf(r, 0), (Pairs{{0, 0}, {1, 1}, {0, 3}, {1, 4}, {0, 8}}));
    EXPECT_EQ(r.GetNext(), 8) << "and W again";
    EXPECT_EQ(pairsOf(r, 1), (Pairs{{0, 8}})) << "a row below the area";
    EXPECT_EQ(r.GetFirst(2), -1);
    EXPECT_EQ(r.GetNext(), -1) << "no cursor after a row outside";
}

TEST(RLCMake, BadInputGivesFalseAndKeepsTheRegion) {
    CImageBuffer image = greyImage(4, 4), colour(CSize(4, 4), 24), empty;
    CRLC r, before, none;
    ASSERT_TRUE(r.Make(&image, 0, CRect(0, 0, 4, 4), false));
    before = r;
    const CRect all(0, 0, 4, 4);
    EXPECT_FALSE(r.Make(nullptr, 0, all, false) || r.Make(&colour, 0, all, false) ||
                 r.Make(&empty, 0, all, false) || r.Make(&image, 0, CRect(4, 0, 9, 4), false) ||
                 r.Make(&image, 0, CRect(3, 3, 1, 1), false));
    EXPECT_TRUE(r.IsSameRLC(before) && r.GetImageSize() == CSize(4, 4));

    CContour c;
    CArrayEx<CSegObject, const CSegObject&> objects;
    CMPoint centre;
    EXPECT_TRUE(none.Segment() && none.GetContour(c, 0, true, -1) && c.GetSize() == 0 &&
                none.IsSameRLC(CRLC()));
    EXPECT_EQ(none.ObjectExtraction(objects, 0) + none.GetHitID(CPoint(0, 0)), -1);
    EXPECT_FALSE(none.GetGrayGravity(centre, image, 0, 0) || r.GetGrayGravity(centre, colour, 0, -1));
    EXPECT_FALSE(none.ErodeX(1, true) || none.SwapRLCXY(true));
    EXPECT_FALSE(r.MakeFromLine(CPoint(-3, 0), CPoint(-1, 4)));
    EXPECT_EQ(r.GetImageSize(), CSize(0, 0)) << "a refused line resets the region";
}

TEST(RLCSegment, ComponentsMatchAFloodFill) {
    std::mt19937 rng(11);
    for (CSize s : kShapes) {
        for (double density : kDensities) {
            CImageBuffer image = noise(s.cx, s.cy, density, rng, 1);
            CRLC r = segmented(image);
            const Pixels p = decode(r);
            // Reference: 4-connected flood fill of each colour of the image.
            std::vector<int> fg(p.colour.size()), label(p.colour.size(), -1);
            for (int y = 0; y < s.cy; ++y)
                for (int x = 0; x < s.cx; ++x) fg[size_t(y) * s.cx + x] = px(image, x, y) > 100;
            struct Ref {
                int mass = 0, l = 1 << 30, t = 1 << 30, r = -1, b = -1, colour = 0;
                double gx = 0, gy = 0, runs = 0;
            };
            std::vector<Ref> refs;
            for (size_t seed = 0; seed < label.size(); ++seed) {
                if (label[seed] >= 0) continue;
                Ref ref;
                ref.colour = fg[seed];
                std::vector<size_t> todo{seed};
                label[seed] = int(refs.size());
                while (!todo.empty()) {
                    const size_t i = todo.back();
                    todo.pop_back();
                    const int x = int(i % s.cx), y = int(i / s.cx);
                    ++ref.mass;
                    ref.l = std::min(ref.l, x), ref.t = std::min(ref.t, y);
                    ref.r = std::max(ref.r, x + 1), ref.b = std::max(ref.b, y + 1);
                    if (x == 0 || fg[i - 1] != ref.colour) {
                        int end = x; // a run starts here: its midpoint weighs once
                        while (end < s.cx && fg[size_t(y) * s.cx + end] == ref.colour) ++end;
                        ref.gx += (x + end) / 2.0, ref.gy += y, ref.runs += 1;
                    }
                    const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
                    for (int k = 0; k < 4; ++k) {
                        if (nx[k] < 0 || ny[k] < 0 || nx[k] >= s.cx || ny[k] >= s.cy) continue;
                        const size_t j = size_t(ny[k]) * s.cx + nx[k];
                        if (label[j] < 0 && fg[j] == ref.colour) label[j] = label[seed], todo.push_back(j);
                    }
                }
                refs.push_back(ref);
            }
            // The same partition: identifiers and reference labels map one to one.
            std::map<int, int> toRef, fromRef;
            for (size_t i = 0; i < label.size(); ++i) {
                ASSERT_GE(p.id[i], 0);
                ASSERT_EQ(toRef.emplace(p.id[i], label[i]).first->second, label[i]) << "merged in the region";
                ASSERT_EQ(fromRef.emplace(label[i], p.id[i]).first->second, p.id[i]) << "split in the region";
            }
            CArrayEx<CSegObject, const CSegObject&> objects;
            ASSERT_EQ(r.ObjectExtraction(objects, 0), int(refs.size()));
            ASSERT_EQ(objects.GetSize(), INT_PTR(refs.size()));
            for (INT_PTR k = 0; k < objects.GetSize(); ++k) {
                const CSegObject& o = objects[k];
                if (k > 0) {
                    ASSERT_GT(o.GetID(), objects[k - 1].GetID());
                }
                const Ref& ref = refs[size_t(toRef.at(o.GetID()))];
                ASSERT_EQ(o.GetMass(), ref.mass);
                ASSERT_EQ(o.GetRect(), CRect(ref.l, ref.t, ref.r, ref.b));
                ASSERT_EQ(o.GetColor(), ref.colour == 1);
                ASSERT_NEAR(o.GetGravity().x, ref.gx / ref.runs, 1e-9);
                ASSERT_NEAR(o.GetGravity().y, ref.gy / ref.runs, 1e-9);
                // Every outline walk ends, inside its component.
                for (bool clockwise : {true, false}) {
                    CContour c;
                    ASSERT_TRUE(r.GetContour(c, o.GetID(), clockwise, -1));
                    ASSERT_LE(c.GetSize(), 8 * o.GetMass());
                    for (int i = 0; i < c.GetSize(); ++i) ASSERT_EQ(r.GetHitID(c.GetPoint(i)), o.GetID());
                }
            }
        }
    }
}

TEST(RLCSegment, NumbersFollowTheRowsAndMergesKeepTheLowerOne) {
    // F.F..     row 0 is numbered 0 (F), 1 (.), 2 (F), 3 (..); row 1 joins
    // FFF..     both F under the left one's number, so 2 is gone for good.
    // .....
    CImageBuffer image = greyImage(5, 3);
    px(image, 0, 0) = px(image, 2, 0) = px(image, 0, 1) = px(image, 1, 1) = px(image, 2, 1) = 200;
    CRLC r = segmented(image);
    EXPECT_EQ(pairsOf(r, 0), (Pairs{{-1, 0}, {0, 1}, {1, 2}, {0, 3}, {3, 5}}));
    EXPECT_EQ(pairsOf(r, 1), (Pairs{{-1, 0}, {0, 3}, {3, 5}}));
    EXPECT_EQ(pairsOf(r, 2), (Pairs{{3, 5}}));
    CArrayEx<CSegObject, const CSegObject&> objects;
    ASSERT_EQ(r.ObjectExtraction(objects, 0), 3);
    EXPECT_TRUE(objects[0].GetID() == 0 && objects[1].GetID() == 1 && objects[2].GetID() == 3);
    EXPECT_TRUE(objects[0].GetColor() && !objects[1].GetColor() && objects[2].GetMass() == 9);
}

namespace {

// A closed outline's points: in the component, 8-neighbours in order, and
// exactly the component's pixels that touch something else on a side.
void expectOutline(const CRLC& r, int id, bool clockwise) {
    CContour c;
    ASSERT_TRUE(r.GetContour(c, id, clockwise, -1));
    ASSERT_TRUE(c.IsClosed());
    ASSERT_EQ(c.GetStart(), c.GetPoint(0));
    std::set<std::pair<int, int>> seen, border;
    for (int i = 0; i < c.GetSize(); ++i) {
        const CPoint &a = c.GetPoint(i), &b = c.GetPoint((i + 1) % c.GetSize());
        ASSERT_EQ(r.GetHitID(a), id);
        ASSERT_LE(std::max(std::abs(a.x - b.x), std::abs(a.y - b.y)), 1);
        seen.insert({a.x, a.y});
    }
    const CSize s = r.GetImageSize();
    for (int y = 0; y < s.cy; ++y)
        for (int x = 0; x < s.cx; ++x)
            if (r.GetHitID(CPoint(x, y)) == id &&
                (r.GetHitID(CPoint(x - 1, y)) != id || r.GetHitID(CPoint(x + 1, y)) != id ||
                 r.GetHitID(CPoint(x, y - 1)) != id || r.GetHitID(CPoint(x, y + 1)) != id))
                border.insert({x, y});
    EXPECT_EQ(seen, border);
}

std::vector<std::pair<int, int>> points(const CContour& c) {
    std::vector<std::pair<int, int>> v;
    for (int i = 0; i < c.GetSize(); ++i) v.push_back({c.GetPoint(i).x, c.GetPoint(i).y});
    return v;
}

} // namespace

TEST(RLCContour, FilledShapesHaveClosedOutlines) {
    CImageBuffer image = greyImage(40, 30);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 4; ++x) px(image, x, y) = 200; // square
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            if ((x - 25) * (x - 25) + (y - 10) * (y - 10) <= 36) px(image, x, y) = 200;            // disc
            if ((x >= 2 && x < 5 && y >= 12 && y < 26) || (x >= 2 && x < 14 && y >= 22 && y < 26)) // L
                px(image, x, y) = 200;
        }
    CRLC r = segmented(image);
    for (CPoint p : {CPoint(1, 1), CPoint(25, 10), CPoint(3, 20)})
        for (bool clockwise : {true, false}) expectOutline(r, r.GetHitID(p), clockwise);

    // The square from its top-left pixel: clockwise along the top first,
    // counter-clockwise down the left side first.
    CContour c;
    const int square = r.GetHitID(CPoint(1, 1));
    r.GetContour(c, square, true, -1);
    EXPECT_EQ(points(c), (std::vector<std::pair<int, int>>{
                             {2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}, {1, 3}, {1, 2}, {1, 1}}));
    r.GetContour(c, square, false, -1);
    EXPECT_EQ(points(c), (std::vector<std::pair<int, int>>{
                             {1, 2}, {1, 3}, {2, 3}, {3, 3}, {3, 2}, {3, 1}, {2, 1}, {1, 1}}));
}

TEST(RLCContour, LimitsDegenerateComponentsAndABlankPicture) {
    CImageBuffer image = greyImage(12, 8);
    for (int y = 2; y < 7; ++y)
        for (int x = 3; x < 9; ++x) px(image, x, y) = 200;
    px(image, 10, 0) = 200; // a single pixel
    CRLC r = segmented(image);
    const int box = r.GetHitID(CPoint(3, 2));
    CContour all, some;
    r.GetContour(all, box, true, -1);
    r.GetContour(some, box, true, 0);
    const auto outline = points(all);
    EXPECT_EQ(points(some), decltype(outline){outline[0]});
    r.GetContour(some, box, true, 3);
    EXPECT_EQ(points(some), decltype(outline)(outline.begin(), outline.begin() + 4));
    EXPECT_FALSE(some.IsClosed());
    CContour copy;
    for (int id : {r.GetHitID(CPoint(10, 0)), 9999, -1}) {
        EXPECT_TRUE(r.GetContour(copy, id, false, -1));
        EXPECT_TRUE(copy.GetSize() == 0 && !copy.IsClosed() && copy.GetPoints() == nullptr) << id;
    }

    // The background of an empty picture starts at column 0: its first step
    // goes diagonally inwards, and the walk then circles the border without
    // coming back to that state. It stops at the first repeated state: one
    // round of the 16 border pixels, (2, 0) seen from two directions.
    CImageBuffer blank = greyImage(6, 4);
    ASSERT_TRUE(segmented(blank).GetContour(copy, 0, true, -1));
    EXPECT_TRUE(copy.GetSize() == 18 && !copy.IsClosed() && copy.GetStart() == CPoint(1, 1));
    const auto walked = points(copy);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            if (x % 5 == 0 || y % 3 == 0) {
                EXPECT_EQ(std::count(walked.begin(), walked.end(), std::make_pair(x, y)),
                          1 + (x == 2 && y == 0));
            }
}

TEST(RLCChange, ErosionDilationTransposeAndIntersectionMatchPixels) {
    std::mt19937 rng(9);
    for (CSize s : kShapes) {
        for (double density : kDensities) {
            CImageBuffer a = noise(s.cx, s.cy, density, rng),
                         b = noise(s.cx + 3, std::max(1, s.cy - 1), 0.5, rng);
            CRLC ra, rb;
            ASSERT_TRUE(ra.Make(&a, 100, CRect(0, 0, 999, 999), true) &&
                        rb.Make(&b, 100, CRect(0, 0, 999, 999), false));
            const Pixels pa = decode(ra), pb = decode(rb);

            for (int n : {0, 1, 2, 5})
                for (bool erode : {true, false}) {
                    CRLC r(ra);
                    ASSERT_TRUE(r.ErodeX(n, erode));
                    const Pixels after = decode(r);
                    for (int y = 0; y < s.cy; ++y)
                        for (int x = 0; x < s.cx; ++x) {
                            int all = 1, any = 0; // over [x - n, x + n], outside the row is background
                            for (int k = x - n; k <= x + n; ++k) {
                                const int c = k >= 0 && k < s.cx ? pa.at(pa.colour, k, y) : 0;
                                all &= c, any |= c;
                            }
                            ASSERT_EQ(after.at(after.colour, x, y), erode ? all : any) << n << " at " << x << "," << y;
                            ASSERT_EQ(after.at(after.id, x, y), -1);
                        }
                }

            CRLC swapped(ra);
            ASSERT_TRUE(swapped.SwapRLCXY(true));
            ASSERT_EQ(swapped.GetImageSize(), CSize(s.cy, s.cx));
            const Pixels pt = decode(swapped);
            for (int y = 0; y < s.cy; ++y)
                for (int x = 0; x < s.cx; ++x) {
                    ASSERT_EQ(pt.at(pt.colour, y, x), pa.at(pa.colour, x, y));
                    ASSERT_EQ(swapped.GetHitID(CPoint(y, x)), pa.at(pa.colour, x, y)) << "colours are kept";
                }
            ASSERT_TRUE(swapped.SwapRLCXY(true));
            EXPECT_TRUE(swapped.IsSameRLC(ra) && !swapped.IsSwapped());

            ASSERT_TRUE(ra &= rb);
            ASSERT_EQ(ra.GetImageSize(), CSize(s.cx, std::min(s.cy, b.GetSize().cy)));
            const Pixels pi = decode(ra);
            for (int y = 0; y < pi.h; ++y)
                for (int x = 0; x < pi.w; ++x) {
                    ASSERT_EQ(pi.at(pi.colour, x, y), pa.at(pa.colour, x, y) & pb.at(pb.colour, x, y));
                    ASSERT_EQ(pi.at(pi.id, x, y), -1);
                }
        }
    }
}

TEST(RLCChange, LinesCopiesAndIteration) {
    CRLC line;
    ASSERT_TRUE(line.MakeFromLine(CPoint(2, 4), CPoint(2, 1)));
    EXPECT_EQ(line.GetImageSize(), CSize(3, 5));
    EXPECT_EQ(pairsOf(line, 2), (Pairs{{-1, 2}, {-1, 3}})) << "widened by 2, cut at W";
    ASSERT_TRUE(line.MakeFromLine(CPoint(0, 0), CPoint(6, 3)));
    EXPECT_EQ(pairsOf(line, 0), (Pairs{{-1, 0}, {-1, 3}, {-1, 7}})) << "two pixels a row, widened by 1";
    EXPECT_EQ(pairsOf(line, 3), (Pairs{{-1, 7}})) << "the end point is not stepped";
    ASSERT_TRUE(line.SwapRLCXY(false));
    CRLC copy(line);
    EXPECT_TRUE(copy.IsSameRLC(line) && copy.IsSwapped());
    EXPECT_EQ(copy.GetHitID(CPoint(0, 1)), -1) << "a region without colours gets none";
    copy.Reset();
    EXPECT_TRUE(copy.GetImageSize() == CSize(0, 0) && !copy.IsSwapped() && copy.GetFirst(0) == -1);
}

namespace {

struct Shape : CHandleTracker {
    explicit Shape(std::vector<CPoint> points) {
        for (const CPoint& p : points) AddHandle(p);
    }
};

} // namespace

// Polygons of any shape are checked against a point-in-polygon reference in
// the shape tracker tests; here the cases that are no polygon.
TEST(RLCTracker, LinesAndTooFewHandles) {
    CRLC r, other;
    ASSERT_TRUE(r.MakeFromTracker(Shape({{7, 2}, {1, 5}}), true) &&
                other.MakeFromLine(CPoint(7, 2), CPoint(1, 5)));
    EXPECT_TRUE(r.IsSameRLC(other));
    EXPECT_FALSE(r.MakeFromTracker(Shape({{3, 3}}), true) || other.MakeFromTracker(Shape({}), true));
    EXPECT_TRUE(r.GetImageSize() == CSize(0, 0) && other.GetImageSize() == CSize(0, 0));
    EXPECT_FALSE(r.MakeFromTracker(Shape({{-3, 1}, {-1, 4}, {-2, 2}}), true)) << "no column to fill";
}

TEST(RLCGravity, GreyWeightedCentre) {
    CImageBuffer image = greyImage(10, 6, 0, 2);
    for (int x = 0; x < 10; ++x) px(image, x, 3) = 60;
    px(image, 2, 3) = 110;
    px(image, 6, 3) = 70;
    CRLC r;
    ASSERT_TRUE(r.Make(&image, 50, CRect(1, 1, 10, 5), true));
    CMPoint centre;
    ASSERT_TRUE(r.GetGrayGravity(centre, image, 60, 1));
    EXPECT_DOUBLE_EQ(centre.x, (2 * 50 + 6 * 10) / 60.0);
    EXPECT_DOUBLE_EQ(centre.y, 3.0);
    EXPECT_FALSE(r.GetGrayGravity(centre, image, 110, 1)) << "nothing above the threshold";
    // The foreground starting at column 0 is its row's second run; the
    // background at a row's first position never counts.
    ASSERT_TRUE(r.Make(&image, 50, CRect(0, 0, 10, 6), true));
    ASSERT_TRUE(r.GetGrayGravity(centre, image, 50, 1));
    EXPECT_DOUBLE_EQ(centre.x, (10 * (0 + 1 + 3 + 4 + 5 + 7 + 8 + 9) + 2 * 60 + 6 * 20) / 160.0);
    EXPECT_FALSE(r.GetGrayGravity(centre, image, 0, 0));
}

TEST(SegObject, MergingRoundingAndExchange) {
    // Run statistics are checked against the flood fill above; here what
    // ObjectExtraction does not reach.
    CSegObject o, other, empty;
    o.Add(3, 2, 6, true);
    other.Add(9, 10, 12, false);
    o.Add(other);
    EXPECT_TRUE(o.GetMass() == 6 && o.GetRect() == CRect(2, 3, 12, 10) && o.GetMaxRunSum() == 22 && o.GetColor());
    EXPECT_EQ(o.GetGravity(), CMPoint(30 / 4.0, 24 / 4.0));
    empty.Add(CSegObject());
    empty.Add(other);
    EXPECT_TRUE(empty.GetMass() == 2 && empty.GetID() == -1 && empty.IsInitialised());
    o.SetGravity(CMPoint(1.125, -2.375));
    EXPECT_TRUE(o.GetGravitySum() == CPoint(113, -238) && o.GetGravityCount() == 100) << "halves away from zero";

    zep3test::TempDir dir;
    CIniFile ini(dir.file("seg.ini").c_str(), false), view(&ini, "Obj"), missing(&ini, "None");
    CSegObject back;
    EXPECT_TRUE(o.Exchange(&view, 1) && back.Exchange(&view, 0));
    EXPECT_TRUE(back.GetGravitySum() == o.GetGravitySum() && back.GetMass() == 6);
    CString text;
    EXPECT_TRUE(ini.ExchangeSimpleObject(0, "Obj\\Gravity\\Y", &text) && text == "-238");
    EXPECT_FALSE(back.Exchange(&missing, 0));
}

TEST(RLCDraw, RunEndsSegmentsAndContours) {
    CImageBuffer image = greyImage(6, 3);
    px(image, 2, 1) = px(image, 3, 1) = 200;
    CRLC r = segmented(image);
    CPixelSurface surface(16, 8);
    CDC dc;
    ASSERT_TRUE(dc.AttachSurface(&surface));
    auto lit = [&](COLORREF colour) {
        std::set<std::pair<int, int>> s;
        for (int y = 0; y < surface.GetHeight(); ++y)
            for (int x = 0; x < surface.GetWidth(); ++x)
                if (surface.GetPixel(x, y) == colour) s.insert({x, y});
        return s;
    };
    using Set = std::set<std::pair<int, int>>;
    r.Draw(&dc, 2.0); // screen rows 0..5 show rows 0, 1, 1, 2, 2, 2 (halves rounded away from zero)
    EXPECT_EQ(lit(0xFF00FF),
              (Set{{12, 0}, {4, 1}, {8, 1}, {12, 1}, {4, 2}, {8, 2}, {12, 2}, {12, 3}, {12, 4}, {12, 5}}));
    CPen pen(PS_SOLID, 1, 0x00FF00);
    dc.SelectObject(&pen);
    EXPECT_EQ(r.DrawSegment(&dc, r.GetHitID(CPoint(2, 1)), 5.0), 1);
    EXPECT_EQ(lit(0x00FF00), (Set{{2, 1}, {3, 1}}));
    CContour c;
    ASSERT_TRUE(r.GetContour(c, r.GetHitID(CPoint(2, 1)), true, -1));
    CRLC::DrawContour(&dc, c, 0x0000FF, 2.5); // points (3, 1) and (2, 1)
    EXPECT_EQ(lit(0x0000FF), (Set{{5, 2}, {7, 2}}));
    EXPECT_EQ(r.DrawSegment(nullptr, 0, 1.0), 0);
}
