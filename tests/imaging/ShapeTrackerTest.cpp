// The shapes: geometry under the mouse protocol, the polygon's region
// against a point-in-polygon reference, and drawing by pixel.
#include <zep3/zep3.h>

#include "platform/Canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

const COLORREF kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

std::vector<CPoint> Handles(const CHandleTracker& t) {
    std::vector<CPoint> v;
    for (int i = 0; i < t.GetHandleCount(); ++i) v.push_back(t.GetHandle(i));
    return v;
}

void Move(CHandleTracker& t, CPoint from, CPoint to) {
    t.Select(from, true);
    t.Drag(to);
    t.Drop();
}

class Poly : public CPolygonTracker {
public:
    using CPolygonTracker::HitTest;
    void NoHandleSquares() { m_bResizable = false; }
    explicit Poly(const std::vector<CPoint>& points) {
        InitHandles(int(points.size()));
        for (size_t i = 0; i < points.size(); ++i) SetHandlePosition(int(i), points[i]);
        UpdateShape();
    }
};

// Point in polygon by crossing parity on the pixel grid: row y meets each
// non-level edge whose rows include y at x0 + (y - y0) * dx / dy, truncated
// toward zero; a vertex the outline passes straight through (the edge before
// runs the same way up or down) belongs to the arriving edge only, so the
// leaving edge skips that row. Pixel (x, y) is inside when an odd number of
// crossings lie at or left of x.
bool InsideByRule(const std::vector<CPoint>& p, int x, int y) {
    const int n = int(p.size());
    long long previousDy = p[n - 1].y - (long long)p[n - 2].y;
    int crossings = 0;
    for (int i = 0; i < n; ++i) {
        const CPoint a = p[(i + n - 1) % n], b = p[i];
        const long long dy = b.y - (long long)a.y;
        const bool skipStart = dy * previousDy >= 1;
        previousDy = dy;
        if (dy == 0 || y < std::min(a.y, b.y) || y > std::max(a.y, b.y) || (skipStart && y == a.y)) continue;
        crossings += std::max(0LL, a.x + (y - (long long)a.y) * (b.x - (long long)a.x) / dy) <= x;
    }
    return crossings % 2 == 1;
}

// The plain even-odd test against the exact outline, and the distance to it.
bool InsideGeometric(const std::vector<CPoint>& p, double x, double y) {
    bool inside = false;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
        if ((p[i].y > y) != (p[j].y > y) && x < p[j].x + (y - p[j].y) * (p[i].x - p[j].x) / double(p[i].y - p[j].y))
            inside = !inside;
    return inside;
}
double DistanceToOutline(const std::vector<CPoint>& p, double x, double y) {
    double best = 1e300;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        const double ax = p[j].x, ay = p[j].y, dx = p[i].x - ax, dy = p[i].y - ay, len = dx * dx + dy * dy;
        const double t = len > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len, 0.0, 1.0) : 0.0;
        best = std::min(best, std::hypot(x - ax - t * dx, y - ay - t * dy));
    }
    return best;
}

// Stars around a centre (concave as a rule), convex polygons, or free point
// sets that may cross themselves; now and then on a coarse grid, so that
// level edges and vertices sharing rows are common.
std::vector<CPoint> RandomPolygon(std::mt19937& rng, int kind) {
    std::uniform_int_distribution<int> count(3, 14), radius(8, 100), free(0, 210);
    std::uniform_real_distribution<double> turn(0, 2 * M_PI);
    const int n = count(rng), grid = rng() % 3 == 0 ? 10 : 1, fixedRadius = radius(rng);
    std::vector<double> angles(n);
    for (double& a : angles) a = turn(rng);
    std::sort(angles.begin(), angles.end());
    std::vector<CPoint> p;
    for (int i = 0; i < n; ++i) {
        const int r = kind == 0 ? radius(rng) : fixedRadius;
        CPoint q = kind == 2 ? CPoint(free(rng), free(rng))
                             : CPoint(int(110 + r * std::cos(angles[i])), int(110 + r * std::sin(angles[i])));
        p.emplace_back(q.x / grid * grid, q.y / grid * grid);
    }
    return p;
}

} // namespace

TEST(ShapeTrackers, RectangleAndParallelogramGeometry) {
    CRectangleTracker r;
    Move(r, {200, 200}, {250, 220});
    EXPECT_EQ(Handles(r), (std::vector<CPoint>{{10, 10}, {250, 10}, {250, 220}, {10, 220}}));
    r.Select({10, 10}, true);
    r.Drag({300, 260}); // past the opposite corner
    EXPECT_EQ(r.GetHandle(1), CPoint(250, 260));
    EXPECT_TRUE(r.Drop());
    EXPECT_EQ(Handles(r), (std::vector<CPoint>{{250, 220}, {300, 220}, {300, 260}, {250, 260}})) << "renumbered";

    CRectangleTracker d;
    EXPECT_TRUE(d.Intersect(CRect(50, 50, 150, 150)));
    EXPECT_EQ(d.GetHandle(1), CPoint(150, 50));
    EXPECT_FALSE(d.Intersect(CRect(0, 0, 400, 400)));
    d.SetRect(CRect(10, 10, 200, 200));
    d.SetMarker({105, 105});
    d.SetRect(CRect(0, 0, 100, 1000));
    EXPECT_EQ(d.GetMarker(), CPoint(50, 500)) << "the marker keeps its fractions";
    d.MoveToCenter({0, 0});
    EXPECT_EQ(d.GetRect(), CRect(-50, -500, 50, 500));

    CParallelTracker p;
    EXPECT_TRUE(p.SetPosition(1, {50, 30}));
    EXPECT_EQ(Handles(p), (std::vector<CPoint>{{140, 30}, {50, 30}, {140, 20}, {230, 30}, {140, 40}}));
    // Random edits keep the centre on both midpoints (rounded down) and the
    // corners derived from the handles.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-100, 640), handle(0, 4);
    auto mid = [](CPoint a, CPoint b) { return CPoint(int(std::floor((a.x + b.x) / 2.0)), int(std::floor((a.y + b.y) / 2.0))); };
    for (int i = 0; i < 300; ++i) {
        const int h = handle(rng);
        if (i % 2) p.SetPosition(h, CPoint(coord(rng), coord(rng)));
        else Move(p, p.GetHandle(h), CPoint(coord(rng), coord(rng)));
        const std::vector<CPoint> v = Handles(p);
        ASSERT_EQ(v[0], mid(v[1], v[3])) << "edit " << i;
        ASSERT_EQ(v[0], mid(v[2], v[4])) << "edit " << i;
        ASSERT_EQ(p.GetTopRight(), CPoint(v[3].x + v[2].x - v[0].x, v[3].y + v[2].y - v[0].y)) << "edit " << i;
    }
}

TEST(ShapeTrackers, PolygonAndPerspectiveGeometry) {
    CPolygonTracker p;
    p.InitHandles(2);
    EXPECT_EQ(p.GetHandleCount(), 3);
    p.InitHandles(4);
    EXPECT_EQ(Handles(p), (std::vector<CPoint>{{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
    p.Select({0, 100}, false);
    EXPECT_TRUE(p.AddHandleRight());
    EXPECT_EQ(p.GetHandle(0), CPoint(0, 50)) << "after the last: the midpoint with the first, at the front";
    p.Select({100, 100}, false);
    EXPECT_TRUE(p.RemoveHandle());
    EXPECT_EQ(Handles(p), (std::vector<CPoint>{{0, 50}, {0, 0}, {100, 0}, {0, 100}}));
    Poly triangle({{10, 10}, {90, 20}, {40, 70}});
    triangle.Select({40, 70}, false);
    EXPECT_FALSE(triangle.RemoveHandle()) << "three remain";
    ASSERT_TRUE(triangle.MakeRLC(true));
    Move(triangle, {40, 70}, {40, 90});
    EXPECT_TRUE(triangle.GetRLC().IsSwapped()) << "a transposed region stays transposed";
    EXPECT_TRUE(triangle.HitTest({40, 80}) && !triangle.HitTest({80, 60}));

    CPerspectiveCorrection ground;
    ASSERT_TRUE(ground.Init(CPoint(100, 50), CPoint(300, 40), CPoint(380, 250), CPoint(10, 240)));
    CPerspectiveTracker t;
    t.Select({100, 100}, true);
    EXPECT_FALSE(t.Drag({150, 150})) << "no perspective";
    ASSERT_TRUE(t.UsePerspective(&ground));
    EXPECT_TRUE(t.Drag({150, 150}));
    CMPoint y;
    ASSERT_TRUE(ground.OrthoY(y, CMPoint(0, 0), CMPoint(150, 150)));
    EXPECT_EQ(t.GetHandle(3), CPoint(int(y.x), int(y.y)));
    t.Drop();
    t.DeSelect();
    CPerspectiveCorrection other;
    ASSERT_TRUE(other.Init(CPoint(0, 0), CPoint(200, 20), CPoint(220, 200), CPoint(-10, 190)));
    t.UsePerspective(&other);
    t.Update();
    CMPoint x;
    ASSERT_TRUE(other.OrthoX(x, CMPoint(0, 0), CMPoint(150, 150)));
    EXPECT_EQ(t.GetHandle(1), CPoint(int(x.x), int(x.y))) << "re-derived from the new perspective";
}

TEST(ShapeTrackers, PolygonRegionMatchesPointInPolygon) {
    std::mt19937 rng(2024);
    int geometric = 0;
    for (int round = 0; round < 150; ++round) {
        const std::vector<CPoint> points = RandomPolygon(rng, round % 3);
        Poly p(points);
        int maxX = 0, maxY = 0;
        for (const CPoint& q : points) maxX = std::max(maxX, q.x), maxY = std::max(maxY, q.y);
        ASSERT_EQ(p.GetRLC().GetImageSize(), CSize(maxX + 1, maxY + 1));
        for (int y = -1; y <= maxY + 1; ++y) {
            const bool vertexRow = std::any_of(points.begin(), points.end(), [y](CPoint q) { return q.y == y; });
            for (int x = -1; x <= maxX + 1; ++x) {
                const bool inRegion = x >= 0 && y >= 0 && x <= maxX && y <= maxY;
                const int expected = !inRegion ? -1 : InsideByRule(points, x, y) ? 1 : 0;
                ASSERT_EQ(p.GetRLC().GetHitID({x, y}), expected) << "(" << x << ", " << y << ") of polygon " << round;
                ASSERT_EQ(p.HitTest({x, y}), expected == 1);
                // Away from the outline and off the vertex rows, the rule
                // is the geometric answer.
                if (!vertexRow && DistanceToOutline(points, x, y) > 1.5) {
                    ASSERT_EQ(expected == 1, InsideGeometric(points, x, y)) << "(" << x << ", " << y << ")";
                    ++geometric;
                }
            }
        }
    }
    EXPECT_GT(geometric, 500000);
}

// Each shape drawn normal, highlighted (visible and hidden blink phase) and
// while edited, checked along a straight stretch of its outline.
TEST(ShapeTrackers, DrawingStates) {
    CRectangleTracker rect;
    rect.SetRect(CRect(20, 40, 120, 100));
    Poly poly({{20, 30}, {100, 30}, {100, 80}, {20, 80}});
    CLineTracker line;
    CParallelTracker par;
    CPerspectiveTracker persp;
    struct Case {
        const char* name;
        CHandleTracker* t;
        CPoint from, step;
        int length;
        CPoint square;         // a pixel of a handle square, off the outline
        bool outlineHighlight; // the outline shows the highlight colour
        CPoint editAt;         // Select here (grab for the line) makes the outline dotted
    } cases[] = {{"rectangle", &rect, {24, 40}, {1, 0}, 93, {17, 37}, true, {70, 70}},
                 {"polygon", &poly, {24, 30}, {1, 0}, 73, {17, 27}, true, {60, 60}},
                 {"line", &line, {10, 10}, {1, 1}, 80, {97, 100}, false, {100, 100}},
                 {"parallelogram", &par, {40, 40}, {1, 0}, 80, {127, 30}, false, {230, 30}},
                 {"perspective", &persp, {10, 100}, {1, 0}, 80, {97, 99}, true, {50, 50}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.t->SetColor(kRed, 1);
        c.t->SetColor(kBlue, 2);
        auto draw = [&](COLORREF outline, COLORREF square, bool dotted) {
            Canvas canvas(250, 130);
            canvas.dc.SetBkMode(OPAQUE);
            ASSERT_TRUE(c.t->Draw(&canvas.dc, 1.0));
            int on = 0, untouched = 0;
            for (int i = 0; i < c.length; ++i) {
                const COLORREF px = canvas.At(c.from.x + i * c.step.x, c.from.y + i * c.step.y);
                on += px == outline;
                untouched += px == kWhite;
            }
            if (dotted) {
                EXPECT_TRUE(on > c.length / 4 && on < c.length * 3 / 4) << on << " of " << c.length;
                EXPECT_EQ(on + untouched, c.length) << "gaps left as they were";
            } else {
                EXPECT_EQ(on, c.length);
            }
            EXPECT_EQ(canvas.At(c.square.x, c.square.y), square);
        };
        draw(kRed, kRed, false);
        c.t->EnableHighlight(true);
        c.t->Highlight(true);
        draw(c.outlineHighlight ? kBlue : kRed, kBlue, false);
        c.t->Blink(); // hidden phase
        draw(kRed, kRed, false);
        c.t->Blink();
        c.t->Highlight(false);
        c.t->Select(c.editAt, true);
        draw(kRed, kRed, true);
        c.t->EnableTracker(false);
        Canvas canvas(250, 130);
        EXPECT_FALSE(c.t->Draw(&canvas.dc, 1.0));
        EXPECT_EQ(canvas.Ink(), CRect());
    }

    // Zoom and the name, right above the box in the name colour.
    poly.EnableTracker(true);
    poly.DeSelect();
    poly.SetName("Strefa");
    LOGFONT font{};
    font.lfHeight = -15;
    std::strcpy(font.lfFaceName, "Arial");
    poly.SetNameFont(font, kBlue);
    poly.NoHandleSquares();
    Canvas canvas(240, 200);
    ASSERT_TRUE(poly.Draw(&canvas.dc, 2.0));
    EXPECT_EQ(canvas.At(100, 60), kRed) << "outline at twice the size";
    int blue = 0;
    CRect text;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 240; ++x)
            if (canvas.At(x, y) != kWhite) blue += canvas.At(x, y) == kBlue, text |= CRect(x, y, x + 1, y + 1);
    EXPECT_GT(blue, 10);
    EXPECT_TRUE(text.top >= 60 - 15 && text.left >= 42) << text.left << ", " << text.top;
}
