#include "ImagingTestUtil.h"
#include "platform/Canvas.h"

#include <cmath>
#include <memory>
#include <tuple>

using imgtest::greyImage;

namespace {

constexpr int kSquare = 12, kSquares = 8, kSide = kSquare * kSquares;
constexpr BYTE kFirst = 255, kUntouched = 7;

// The projective map of the surface square [0, kSide]² onto the image
// quadrilateral q[0..3] (images of its corners in order), and its inverse.
struct Homography {
    double m[3][3], inv[3][3];

    explicit Homography(const CPoint q[4]) {
        const double sx = q[0].x - q[1].x + q[2].x - q[3].x, sy = q[0].y - q[1].y + q[2].y - q[3].y;
        const double dx1 = q[1].x - q[2].x, dx2 = q[3].x - q[2].x, dy1 = q[1].y - q[2].y, dy2 = q[3].y - q[2].y;
        const double den = dx1 * dy2 - dx2 * dy1;
        const double g = (sx * dy2 - dx2 * sy) / den, h = (dx1 * sy - sx * dy1) / den;
        const double unit[3][3] = {{q[1].x - q[0].x + g * q[1].x, q[3].x - q[0].x + h * q[3].x, double(q[0].x)},
                                   {q[1].y - q[0].y + g * q[1].y, q[3].y - q[0].y + h * q[3].y, double(q[0].y)},
                                   {g, h, 1}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) m[r][c] = unit[r][c] / (c < 2 ? kSide : 1);
        for (int r = 0; r < 3; ++r) // adjugate: enough for a projective inverse
            for (int c = 0; c < 3; ++c)
                inv[r][c] = m[(c + 1) % 3][(r + 1) % 3] * m[(c + 2) % 3][(r + 2) % 3] -
                            m[(c + 1) % 3][(r + 2) % 3] * m[(c + 2) % 3][(r + 1) % 3];
    }
    static CMPoint Apply(const double t[3][3], double u, double v) {
        const double w = t[2][0] * u + t[2][1] * v + t[2][2];
        return CMPoint((t[0][0] * u + t[0][1] * v + t[0][2]) / w, (t[1][0] * u + t[1][1] * v + t[1][2]) / w);
    }
};

BYTE BoardColour(int i, int j) { return (i + j) % 2 ? 200 : 40; }

const CPoint kTrapezoid[4] = {{120, 50}, {280, 50}, {370, 270}, {30, 270}};

} // namespace

TEST(PerspectiveCorrection, CheckerboardComesBackSquare) {
    const struct {
        const char* name;
        CPoint q[4];
        bool firstValid, secondValid;
    } views[] = {{"oblique", {{100, 40}, {300, 55}, {385, 285}, {15, 260}}, true, true},
                 {"top and bottom parallel", {{120, 50}, {280, 50}, {370, 270}, {30, 270}}, false, true},
                 {"sides parallel", {{40, 60}, {340, 20}, {340, 290}, {40, 250}}, true, false}};
    for (const auto& view : views) {
        SCOPED_TRACE(view.name);
        const Homography hom(view.q);
        CImageBuffer source = greyImage(400, 300, 128);
        BYTE* s = source.GetPixelBuffer();
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) {
                const CMPoint p = Homography::Apply(hom.inv, x + 0.5, y + 0.5);
                if (p.x >= 0 && p.x < kSide && p.y >= 0 && p.y < kSide)
                    s[y * 400 + x] = BoardColour(int(p.x) / kSquare, int(p.y) / kSquare);
            }
        CImageBuffer destination = greyImage(140, 120, kUntouched);
        const CRect area(20, 10, 20 + kSide, 10 + kSide);

        CPerspectiveCorrection pc;
        ASSERT_TRUE(pc.Init(view.q[0], view.q[1], view.q[2], view.q[3]));
        EXPECT_EQ(pc.IsFirstVanishingPointValid(), view.firstValid);
        EXPECT_EQ(pc.IsSecondVanishingPointValid(), view.secondValid);
        ASSERT_TRUE(pc.Prepare(CMPoint(view.q[0].x, view.q[0].y), CMPoint(view.q[2].x, view.q[2].y), &source,
                               &destination, area));
        ASSERT_TRUE(pc.Correction(&source, &destination));

        // Every square less a one-pixel border has its colour (squares equal
        // within one pixel), and nothing outside the area is written.
        const BYTE* d = destination.GetPixelBuffer();
        int wrong = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 140; ++x) {
                const int u = x - area.left, v = y - area.top;
                if (!area.PtInRect(CPoint(x, y)))
                    wrong += d[y * 140 + x] != kUntouched;
                else if (u % kSquare && (u + 1) % kSquare && v % kSquare && (v + 1) % kSquare)
                    wrong += d[y * 140 + x] != BoardColour(u / kSquare, v / kSquare);
            }
        EXPECT_EQ(wrong, 0);

        // TransformPoint inverts the mapping at the grid points: the exact
        // image of the surface point (destination row r samples surface row
        // r + 1), and the source pixel that Correction copied there.
        for (int u = 0; u < kSide; u += 10)
            for (int v = 0; v < kSide; v += 10) {
                CMPoint p;
                ASSERT_TRUE(pc.TransformPoint(CMPoint(area.left + u, area.top + v), p));
                const CMPoint expected = Homography::Apply(hom.m, u, v + 1);
                EXPECT_NEAR(p.x, expected.x, 1e-6);
                EXPECT_NEAR(p.y, expected.y, 1e-6);
                EXPECT_EQ(d[(area.top + v) * 140 + area.left + u], s[int(p.y) * 400 + int(p.x)]);
            }
    }
}

TEST(PerspectiveCorrection, InitFindsVanishingPointsOrRefuses) {
    CPerspectiveCorrection pc;
    ASSERT_TRUE(pc.Init({10, 10}, {30, 10}, {40, 30}, {0, 30})) << "trapezoid";
    EXPECT_EQ(pc.GetFirstVanishingPoint(), CMPoint(-1, -1));
    EXPECT_EQ(pc.GetSecondVanishingPoint(), CMPoint(20, -10));
    EXPECT_EQ(pc.GetHorizon().a, 0) << "horizontal through the second";
    EXPECT_EQ(pc.GetHorizon().c / -pc.GetHorizon().b, -10);
    // Self-crossing order, parallelogram, collinear corners, one point,
    // square, concave: refused, the earlier result kept.
    const CPoint bad[][4] = {{{10, 10}, {40, 30}, {30, 10}, {0, 30}}, {{0, 0}, {20, 0}, {30, 10}, {10, 10}},
                             {{0, 0}, {10, 10}, {20, 20}, {0, 20}},   {{5, 5}, {5, 5}, {5, 5}, {5, 5}},
                             {{0, 0}, {10, 0}, {10, 10}, {0, 10}},    {{0, 0}, {40, 0}, {10, 10}, {0, 40}}};
    for (const auto& q : bad) EXPECT_FALSE(pc.Init(q[0], q[1], q[2], q[3])) << q[1].x << "," << q[1].y;
    EXPECT_EQ(pc.GetSecondVanishingPoint(), CMPoint(20, -10));
}

TEST(PerspectiveCorrection, BadImagesAndAreasAreRefused) {
    const CMPoint a(120, 50), b(370, 270);
    CImageBuffer source = greyImage(400, 300, 9), destination = greyImage(100, 100, 0), empty;
    CImageBuffer colour(CSize(100, 100), 24), wider = greyImage(401, 300, 9), small = greyImage(99, 100, 0);
    const CRect area(0, 0, 100, 100);
    CPerspectiveCorrection pc;
    CMPoint p;
    EXPECT_FALSE(pc.Prepare(a, b, &source, &destination, area) || pc.TransformPoint(p, p)) << "before Init";
    ASSERT_TRUE(pc.Init(kTrapezoid[0], kTrapezoid[1], kTrapezoid[2], kTrapezoid[3]));
    EXPECT_FALSE(pc.Prepare(a, b, &source, &destination, CRect(0, 0, 101, 100)) ||
                 pc.Prepare(a, b, &source, &destination, CRect(10, 10, 10, 50)) ||
                 pc.Prepare(a, b, &source, &colour, area) || pc.Prepare(a, b, &empty, &destination, area) ||
                 pc.Prepare(a, b, nullptr, &destination, area));
    ASSERT_TRUE(pc.Prepare(a, b, &source, &destination, CRect(100, 100, 0, 0))) << "normalised";
    EXPECT_FALSE(pc.Prepare(a, b, &source, &colour, area)) << "a refused check keeps the tables";
    EXPECT_TRUE(pc.Correction(&source, &destination));
    for (CImageBuffer* bad : {&wider, &colour, &empty}) EXPECT_FALSE(pc.Correction(bad, &destination));
    EXPECT_FALSE(pc.Correction(&source, &small));
    // Coinciding corners: the surface has no extent and the tables go.
    EXPECT_FALSE(pc.Prepare(a, a, &source, &destination, area));
    EXPECT_FALSE(pc.Correction(&source, &destination) || pc.TransformPoint(p, p));
}

TEST(PerspectiveCorrection, OutsideTheSourceClampingAndCopies) {
    CImageBuffer source = greyImage(400, 300, 9), destination = greyImage(100, 100, 0);
    source.GetPixelBuffer()[0] = kFirst;
    CPerspectiveCorrection pc;
    ASSERT_TRUE(pc.Init(kTrapezoid[0], kTrapezoid[1], kTrapezoid[2], kTrapezoid[3]));
    // The top-left corner on side P3P0 extended, 80 pixels above the frame.
    ASSERT_TRUE(pc.Prepare(CMPoint(120 + 130 * 90 / 220.0, -80), CMPoint(370, 270), &source, &destination,
                           CRect(0, 0, 100, 100)));
    CPerspectiveCorrection copy;
    copy = *std::make_unique<CPerspectiveCorrection>(pc); // the original is gone at once
    ASSERT_TRUE(copy.Correction(&source, &destination));
    EXPECT_EQ(destination.GetPixelBuffer()[50], kFirst) << "outside the source: its first pixel";
    EXPECT_EQ(destination.GetPixelBuffer()[99 * 100 + 50], 9);

    CMPoint left, edge, p0, p1, p2, p3;
    EXPECT_FALSE(pc.TransformPoint(CMPoint(-30, 99), left)) << "clamped to column 0";
    EXPECT_TRUE(pc.TransformPoint(CMPoint(0, 99), edge));
    EXPECT_EQ(left, edge);
    EXPECT_NEAR(std::hypot(edge.x - 30, edge.y - 270), 0, 1e-6) << "the bottom-left corner";
    EXPECT_FALSE(pc.TransformPoint(CMPoint(std::nan(""), 1e300), left));
    EXPECT_FALSE(pc.TransformRect(CRect(0, 0, 100, 100), p0, p1, p2, p3)) << "right and bottom are outside";
}

TEST(PerspectiveCorrection, DrawSurfaceShowsEvery50thLine) {
    CImageBuffer source = greyImage(300, 200, 0), destination = greyImage(120, 80, 0);
    CPerspectiveCorrection pc;
    Canvas canvas(300, 200);
    ASSERT_TRUE(pc.Init({60, 20}, {220, 20}, {290, 190}, {10, 190}));
    ASSERT_TRUE(pc.Prepare(CMPoint(60, 20), CMPoint(290, 190), &source, &destination, CRect(0, 0, 120, 80)));
    pc.DrawSurface(&canvas.dc, 1.0);
    // Red near the grid lines drawn: row segment 50 (destination row 29),
    // column segments 50 and 100; none on row 0, columns 0 and 90.
    using Probe = std::tuple<int, int, bool>;
    for (const auto& [x, y, drawn] : std::initializer_list<Probe>{
             {30, 29, true}, {50, 60, true}, {100, 40, true}, {30, 79, false}, {0, 40, false}, {90, 40, false}}) {
        CMPoint p;
        ASSERT_TRUE(pc.TransformPoint(CMPoint(x, y), p));
        bool red = false;
        for (int d = 0; d < 9; ++d) red |= canvas.At(int(p.x) + d % 3 - 1, int(p.y) + d / 3 - 1) == 0x0000FF;
        EXPECT_EQ(red, drawn) << x << "," << y;
    }
}
