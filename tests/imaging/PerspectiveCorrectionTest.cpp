#include <zep3/zep3.h>

#include "platform/Canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <string>
#include <tuple>

namespace {

// A projective map of the surface square [0, side]² onto an image
// quadrilateral q0..q3 (the images of the corners (0, 0), (side, 0),
// (side, side), (0, side)), and its inverse.
struct Homography {
    double m[3][3];
    double inv[3][3];

    Homography(const CPoint q[4], double side) {
        const double x0 = q[0].x, y0 = q[0].y, x1 = q[1].x, y1 = q[1].y;
        const double x2 = q[2].x, y2 = q[2].y, x3 = q[3].x, y3 = q[3].y;
        const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
        const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
        const double den = dx1 * dy2 - dx2 * dy1;
        const double g = (sx * dy2 - dx2 * sy) / den, h = (dx1 * sy - sx * dy1) / den;
        const double unit[3][3] = {{x1 - x0 + g * x1, x3 - x0 + h * x3, x0},
                                   {y1 - y0 + g * y1, y3 - y0 + h * y3, y0},
                                   {g, h, 1}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) m[r][c] = unit[r][c] / (c < 2 ? side : 1);
        const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
                inv[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
            }
    }
    static CMPoint Apply(const double t[3][3], double u, double v) {
        const double w = t[2][0] * u + t[2][1] * v + t[2][2];
        return CMPoint((t[0][0] * u + t[0][1] * v + t[0][2]) / w, (t[1][0] * u + t[1][1] * v + t[1][2]) / w);
    }
    CMPoint ToImage(double u, double v) const { return Apply(m, u, v); }
    CMPoint ToSurface(double x, double y) const { return Apply(inv, x, y); }
};

constexpr int kSquare = 12, kSquares = 8, kSide = kSquare * kSquares;
constexpr BYTE kDark = 40, kLight = 200, kOutside = 128, kFirst = 255, kUntouched = 7;

BYTE BoardColour(int i, int j) { return (i + j) % 2 ? kLight : kDark; }

// A 400 × 300 grey frame showing the checkerboard through the homography;
// the first pixel is marked so that offset 0 can be recognised.
CImageBuffer RenderBoard(const Homography& hom) {
    CImageBuffer image(CSize(400, 300), 8);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            const CMPoint s = hom.ToSurface(x + 0.5, y + 0.5);
            const bool inside = s.x >= 0 && s.x < kSide && s.y >= 0 && s.y < kSide;
            image.GetPixelBuffer()[y * 400 + x] =
                inside ? BoardColour(int(s.x) / kSquare, int(s.y) / kSquare) : kOutside;
        }
    image.GetPixelBuffer()[0] = kFirst;
    return image;
}

CImageBuffer Grey(int w, int h, BYTE value) {
    CImageBuffer image(CSize(w, h), 8);
    std::memset(image.GetPixelBuffer(), value, size_t(w) * h);
    return image;
}

struct View {
    const char* name;
    CPoint corners[4];
    bool firstValid, secondValid;
};
void PrintTo(const View& view, std::ostream* os) { *os << view.name; }

class Rectify : public ::testing::TestWithParam<View> {};

} // namespace

// Through both vanishing points, and with either pair of sides parallel.
INSTANTIATE_TEST_SUITE_P(Views, Rectify,
                         ::testing::Values(View{"oblique", {{100, 40}, {300, 55}, {385, 285}, {15, 260}}, true, true},
                                           View{"topBottomParallel", {{120, 50}, {280, 50}, {370, 270}, {30, 270}},
                                                false, true},
                                           View{"sidesParallel", {{40, 60}, {340, 20}, {340, 290}, {40, 250}}, true,
                                                false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(Rectify, CheckerboardComesBackSquare) {
    const View& view = GetParam();
    const Homography hom(view.corners, kSide);
    const CImageBuffer source = RenderBoard(hom);
    CImageBuffer destination = Grey(140, 120, kUntouched);
    const CRect area(20, 10, 20 + kSide, 10 + kSide);

    CPerspectiveCorrection pc;
    ASSERT_TRUE(pc.Init(view.corners[0], view.corners[1], view.corners[2], view.corners[3]));
    EXPECT_EQ(pc.IsFirstVanishingPointValid(), view.firstValid);
    EXPECT_EQ(pc.IsSecondVanishingPointValid(), view.secondValid);
    const CMPoint a(view.corners[0].x, view.corners[0].y), b(view.corners[2].x, view.corners[2].y);
    ASSERT_TRUE(pc.Prepare(a, b, &source, &destination, area));
    ASSERT_TRUE(pc.Correction(&source, &destination));

    // Every square, less a one-pixel border, has its colour: the squares are
    // equal within one pixel.
    const BYTE* d = destination.GetPixelBuffer();
    int wrong = 0;
    for (int i = 0; i < kSquares; ++i)
        for (int j = 0; j < kSquares; ++j)
            for (int y = j * kSquare + 1; y < (j + 1) * kSquare - 1; ++y)
                for (int x = i * kSquare + 1; x < (i + 1) * kSquare - 1; ++x)
                    wrong += d[(area.top + y) * 140 + area.left + x] != BoardColour(i, j);
    EXPECT_EQ(wrong, 0);
    // Nothing outside the area is written.
    int outside = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 140; ++x) outside += !area.PtInRect(CPoint(x, y)) && d[y * 140 + x] != kUntouched;
    EXPECT_EQ(outside, 0);

    // TransformPoint gives the exact image of the grid point (destination row
    // r lies on the surface line one below it, v = r + 1), and Correction
    // took each destination pixel from the source pixel under that point.
    for (int u = 0; u < kSide; u += 10)
        for (int v = 0; v < kSide; v += 10) {
            CMPoint p;
            ASSERT_TRUE(pc.TransformPoint(CMPoint(area.left + u, area.top + v), p));
            const CMPoint expected = hom.ToImage(u, v + 1);
            EXPECT_NEAR(p.x, expected.x, 1e-6);
            EXPECT_NEAR(p.y, expected.y, 1e-6);
            EXPECT_EQ(d[(area.top + v) * 140 + area.left + u], source.GetPixelBuffer()[int(p.y) * 400 + int(p.x)]);
        }
}

TEST(PerspectiveCorrection, InitFindsVanishingPointsOrRefuses) {
    CPerspectiveCorrection pc;
    // A trapezoid with P0P1 parallel to P2P3: the horizon is horizontal
    // through the second vanishing point.
    ASSERT_TRUE(pc.Init({10, 10}, {30, 10}, {40, 30}, {0, 30}));
    EXPECT_FALSE(pc.IsFirstVanishingPointValid());
    EXPECT_EQ(pc.GetFirstVanishingPoint(), CMPoint(-1, -1));
    EXPECT_EQ(pc.GetSecondVanishingPoint(), CMPoint(20, -10));
    EXPECT_EQ(pc.GetHorizon().a, 0);
    EXPECT_EQ(pc.GetHorizon().c / -pc.GetHorizon().b, -10);

    // Refused, keeping the vanishing points found before: a self-crossing
    // order, a parallelogram, collinear corners, no area at all, a square,
    // a concave quadrilateral.
    const CPoint bad[][4] = {{{10, 10}, {40, 30}, {30, 10}, {0, 30}},
                             {{0, 0}, {20, 0}, {30, 10}, {10, 10}},
                             {{0, 0}, {10, 10}, {20, 20}, {0, 20}},
                             {{5, 5}, {5, 5}, {5, 5}, {5, 5}},
                             {{0, 0}, {10, 0}, {10, 10}, {0, 10}},
                             {{0, 0}, {40, 0}, {10, 10}, {0, 40}}};
    for (const auto& q : bad) EXPECT_FALSE(pc.Init(q[0], q[1], q[2], q[3])) << q[1].x << "," << q[1].y;
    EXPECT_EQ(pc.GetSecondVanishingPoint(), CMPoint(20, -10));
}

TEST(PerspectiveCorrection, PrepareAndCorrectionRefuseBadImages) {
    const CPoint q[4] = {{120, 50}, {280, 50}, {370, 270}, {30, 270}};
    const CMPoint a(120, 50), b(370, 270);
    CImageBuffer source = Grey(400, 300, 9), destination = Grey(100, 100, 0), empty;
    CImageBuffer colour(CSize(100, 100), 24), bigger = Grey(401, 300, 9);
    const CRect area(0, 0, 100, 100);

    CPerspectiveCorrection pc;
    EXPECT_FALSE(pc.Prepare(a, b, &source, &destination, area)) << "before Init";
    EXPECT_FALSE(pc.Correction(&source, &destination));
    CMPoint p;
    EXPECT_FALSE(pc.TransformPoint(CMPoint(1, 1), p));
    ASSERT_TRUE(pc.Init(q[0], q[1], q[2], q[3]));

    EXPECT_FALSE(pc.Prepare(a, b, &source, &colour, area)) << "24-bit destination";
    EXPECT_FALSE(pc.Prepare(a, b, &colour, &destination, area)) << "24-bit source";
    EXPECT_FALSE(pc.Prepare(a, b, &empty, &destination, area));
    EXPECT_FALSE(pc.Prepare(a, b, nullptr, &destination, area));
    EXPECT_FALSE(pc.Prepare(a, b, &source, nullptr, area));
    EXPECT_FALSE(pc.Prepare(a, b, &source, &destination, CRect(0, 0, 101, 100))) << "beyond the destination";
    EXPECT_FALSE(pc.Prepare(a, b, &source, &destination, CRect(-1, 0, 50, 50)));
    EXPECT_FALSE(pc.Prepare(a, b, &source, &destination, CRect(10, 10, 10, 50))) << "empty area";
    EXPECT_FALSE(pc.IsPrepared());

    // A reversed area is normalised; failed checks later keep the tables.
    ASSERT_TRUE(pc.Prepare(a, b, &source, &destination, CRect(100, 100, 0, 0)));
    EXPECT_EQ(pc.GetArea(), area);
    EXPECT_FALSE(pc.Prepare(a, b, &source, &colour, area));
    EXPECT_TRUE(pc.Correction(&source, &destination));
    EXPECT_EQ(destination.GetPixelBuffer()[5050], 9);

    EXPECT_FALSE(pc.Correction(&bigger, &destination)) << "not the prepared source size";
    EXPECT_FALSE(pc.Correction(&source, &colour));
    EXPECT_FALSE(pc.Correction(&source, &empty));
    EXPECT_FALSE(pc.Correction(nullptr, &destination));
    CImageBuffer small = Grey(99, 100, 0);
    EXPECT_FALSE(pc.Correction(&source, &small)) << "too small for the area";

    // Corners that coincide give a surface with no extent: the two lines that
    // must meet are the same, and the tables go.
    EXPECT_FALSE(pc.Prepare(a, a, &source, &destination, area));
    EXPECT_FALSE(pc.IsPrepared());
    EXPECT_FALSE(pc.Correction(&source, &destination));
    EXPECT_FALSE(pc.TransformPoint(CMPoint(1, 1), p));
}

TEST(PerspectiveCorrection, OutsideTheSourceAndClampedPoints) {
    const CPoint q[4] = {{120, 50}, {280, 50}, {370, 270}, {30, 270}};
    CImageBuffer source = Grey(400, 300, 9), destination = Grey(100, 100, 0);
    source.GetPixelBuffer()[0] = kFirst;
    CPerspectiveCorrection pc;
    ASSERT_TRUE(pc.Init(q[0], q[1], q[2], q[3]));
    // A surface rectangle reaching above the image: its top-left corner on
    // side P3P0 extended, 80 pixels above the frame.
    const CMPoint a(120 + 130 * 90 / 220.0, -80);
    ASSERT_TRUE(pc.Prepare(a, CMPoint(370, 270), &source, &destination, CRect(0, 0, 100, 100)));
    ASSERT_TRUE(pc.Correction(&source, &destination));
    const BYTE* d = destination.GetPixelBuffer();
    EXPECT_EQ(d[50], kFirst) << "top rows come from outside: the first source pixel";
    EXPECT_EQ(d[99 * 100 + 50], 9);

    // Left of the area: clamped to column 0, false, but a point all the same.
    CMPoint left, edge, p0, p1, p2, p3;
    EXPECT_FALSE(pc.TransformPoint(CMPoint(-30, 99), left));
    EXPECT_TRUE(pc.TransformPoint(CMPoint(0, 99), edge));
    EXPECT_EQ(left, edge);
    EXPECT_NEAR(edge.x, 30, 1e-6);
    EXPECT_NEAR(edge.y, 270, 1e-6);
    EXPECT_FALSE(pc.TransformPoint(CMPoint(std::nan(""), 1e300), left));
    EXPECT_TRUE(pc.TransformRect(CRect(10, 10, 90, 90), p0, p1, p2, p3));
    EXPECT_LT(p0.x, p1.x);
    EXPECT_LT(p1.y, p2.y);
    EXPECT_FALSE(pc.TransformRect(CRect(0, 0, 100, 100), p0, p1, p2, p3)) << "right and bottom are outside";

    // OrthoX completes the rectangle; OrthoY is the other corner.
    CMPoint c;
    ASSERT_TRUE(pc.OrthoX(c, CMPoint(120, 50), CMPoint(370, 270)));
    EXPECT_NEAR(c.x, 280, 1e-9);
    EXPECT_NEAR(c.y, 50, 1e-9);
    ASSERT_TRUE(pc.OrthoY(c, CMPoint(120, 50), CMPoint(370, 270)));
    EXPECT_NEAR(c.x, 30, 1e-9);
    EXPECT_NEAR(c.y, 270, 1e-9);

    // Copies own their tables.
    CPerspectiveCorrection* original = new CPerspectiveCorrection(pc);
    CPerspectiveCorrection copy;
    copy = *original;
    delete original;
    EXPECT_TRUE(copy.Correction(&source, &destination));
}

TEST(PerspectiveCorrection, DrawSurfaceShowsEvery50thLine) {
    const CPoint q[4] = {{60, 20}, {220, 20}, {290, 190}, {10, 190}};
    CImageBuffer source = Grey(300, 200, 0), destination = Grey(120, 80, 0);
    CPerspectiveCorrection pc;
    Canvas canvas(300, 200);
    pc.DrawSurface(&canvas.dc, 1.0);
    EXPECT_EQ(canvas.Ink(), CRect()) << "no tables";
    ASSERT_TRUE(pc.Init(q[0], q[1], q[2], q[3]));
    ASSERT_TRUE(pc.Prepare(CMPoint(60, 20), CMPoint(290, 190), &source, &destination, CRect(0, 0, 120, 80)));

    CPen* before = canvas.dc.GetCurrentPen();
    pc.DrawSurface(&canvas.dc, 1.0);
    EXPECT_EQ(canvas.dc.GetCurrentPen(), before);
    const COLORREF red = 0x0000FF;
    auto redNear = [&](const CMPoint& p) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (canvas.At(int(p.x) + dx, int(p.y) + dy) == red) return true;
        return false;
    };
    // Row segment i is destination row 79 - i; column segment j is column j.
    CMPoint p;
    for (const auto& [x, y, drawn] : {std::tuple{30, 29, true}, std::tuple{60, 29, true}, std::tuple{30, 79, false},
                                      std::tuple{50, 60, true}, std::tuple{100, 40, true}, std::tuple{0, 40, false},
                                      std::tuple{90, 40, false}}) {
        ASSERT_TRUE(pc.TransformPoint(CMPoint(x, y), p));
        EXPECT_EQ(redNear(p), drawn) << x << "," << y;
    }
    // Zoom halves every coordinate.
    Canvas half(300, 200);
    pc.DrawSurface(&half.dc, 0.5);
    const CRect full = canvas.Ink(), small = half.Ink();
    EXPECT_NEAR(small.left, full.left / 2, 1);
    EXPECT_NEAR(small.bottom, full.bottom / 2, 1);
    pc.DrawSurface(nullptr, 1.0);
}
