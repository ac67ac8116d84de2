#include "Canvas.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {
const COLORREF kWhite = RGB(255, 255, 255), kBlack = 0, kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);
using Pixels = std::set<std::pair<int, int>>;

Pixels Black(const Canvas& c) {
    Pixels p;
    for (int y = 0; y < c.surface->GetHeight(); ++y)
        for (int x = 0; x < c.surface->GetWidth(); ++x)
            if (c.At(x, y) == kBlack) p.insert({x, y});
    return p;
}

Pixels DrawLine(int x0, int y0, int x1, int y1, CPen* pen = nullptr) {
    Canvas c(41, 41);
    if (pen) c.dc.SelectObject(pen);
    c.dc.MoveTo(x0, y0);
    c.dc.LineTo(x1, y1);
    return Black(c);
}

void Collect(int x, int y, LPARAM data) { reinterpret_cast<Pixels*>(data)->insert({x, y}); }
}  // namespace

TEST(Lines, ExcludeTheEndPointInEveryOctantAndLineDDAAgrees) {
    const int cx = 20, cy = 20;
    for (int dx = -12; dx <= 12; dx += 3) {
        for (int dy = -12; dy <= 12; dy += 4) {
            if (dx == 0 && dy == 0) continue;
            SCOPED_TRACE(testing::Message() << "to (" << cx + dx << "," << cy + dy << ")");
            const Pixels p = DrawLine(cx, cy, cx + dx, cy + dy);
            EXPECT_TRUE(p.count({cx, cy}));
            EXPECT_FALSE(p.count({cx + dx, cy + dy}));
            // One pixel per step along the major axis.
            EXPECT_EQ(int(p.size()), std::max(std::abs(dx), std::abs(dy)));
            Pixels visited;
            EXPECT_TRUE(LineDDA(cx, cy, cx + dx, cy + dy, Collect, reinterpret_cast<LPARAM>(&visited)));
            EXPECT_EQ(visited, p) << "LineDDA visits what LineTo draws";
            Pixels reverse = DrawLine(cx + dx, cy + dy, cx, cy);
            reverse.erase({cx + dx, cy + dy});
            reverse.insert({cx, cy});
            EXPECT_EQ(p, reverse) << "the path depends on the direction";
        }
    }
}

TEST(Lines, PixelsOfShortLinesAndTies) {
    EXPECT_EQ(DrawLine(1, 1, 5, 1), (Pixels{{1, 1}, {2, 1}, {3, 1}, {4, 1}}));
    EXPECT_EQ(DrawLine(3, 3, 0, 0), (Pixels{{3, 3}, {2, 2}, {1, 1}}));
    // A tie between two rows goes to the smaller coordinate.
    EXPECT_EQ(DrawLine(0, 0, 4, 1), (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 1}}));
    EXPECT_EQ(DrawLine(0, 0, 1, 4), (Pixels{{0, 0}, {0, 1}, {0, 2}, {1, 3}}));
    EXPECT_TRUE(DrawLine(5, 5, 5, 5).empty());
    Pixels visited;
    LineDDA(4, 4, 4, 4, Collect, reinterpret_cast<LPARAM>(&visited));
    EXPECT_TRUE(visited.empty());
    EXPECT_FALSE(LineDDA(0, 0, 1, 1, nullptr, 0));
}

TEST(Lines, PolylineJoinsWithoutGapsAndPositionMoves) {
    Canvas c(12, 12);
    c.dc.MoveTo(1, 1);
    c.dc.LineTo(8, 1);
    c.dc.LineTo(8, 8);
    EXPECT_EQ(c.dc.GetCurrentPosition(), CPoint(8, 8));
    EXPECT_EQ(c.At(8, 1), kBlack);  // the corner is the second line's first point
    EXPECT_EQ(c.At(8, 8), kWhite);
    EXPECT_EQ(c.Count(kBlack), 14);
}

TEST(Pens, WidthsZeroOneAndThree) {
    CPen one(PS_SOLID, 1, kBlack);
    EXPECT_EQ(DrawLine(2, 2, 30, 17, &one), DrawLine(2, 2, 30, 17));
    Canvas c(20, 20);
    CPen wide(PS_SOLID, 3, kRed);
    c.dc.SelectObject(&wide);
    c.dc.MoveTo(4, 10);
    c.dc.LineTo(15, 10);
    // Three rows from end to end; the ends' caps may reach one pixel further.
    const CRect ink = c.Ink();
    EXPECT_TRUE(ink.top == 9 && ink.bottom == 12 && ink.left >= 3 && ink.right <= 17) << c.Dump();
    for (int x = 4; x <= 15; ++x) EXPECT_TRUE(c.At(x, 9) == kRed && c.At(x, 10) == kRed && c.At(x, 11) == kRed) << x;
}

TEST(Pens, DottedGapsFollowTheBackgroundMode) {
    for (int mode : {TRANSPARENT, OPAQUE}) {
        Canvas c(40, 5, kBlue);
        CPen dot(PS_DOT, 0, kRed);
        c.dc.SelectObject(&dot);
        c.dc.SetBkMode(mode);
        c.dc.SetBkColor(RGB(0, 255, 0));
        c.dc.MoveTo(0, 2);
        c.dc.LineTo(40, 2);
        int on = 0, gap = 0, untouched = 0;
        for (int x = 0; x < 40; ++x) {
            on += c.At(x, 2) == kRed;
            gap += c.At(x, 2) == RGB(0, 255, 0);
            untouched += c.At(x, 2) == kBlue;
        }
        EXPECT_GT(on, 10);
        EXPECT_GT(40 - on, 10) << "a dotted line has gaps";
        EXPECT_EQ(mode == TRANSPARENT ? untouched : gap, 40 - on);
        EXPECT_EQ(c.At(0, 1), kBlue);
    }
    Canvas c(10, 10);
    c.dc.SelectStockObject(NULL_PEN);
    c.dc.MoveTo(0, 0);
    c.dc.LineTo(9, 9);
    EXPECT_EQ(c.Count(kWhite), 100);
}

TEST(Figures, RectangleOutlineInsideBoundsBrushInside) {
    Canvas c(12, 10);
    CBrush red(kRed);
    c.dc.SelectObject(&red);
    c.dc.Rectangle(2, 2, 8, 6);
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 10; ++y) {
            const bool inBounds = x >= 2 && x < 8 && y >= 2 && y < 6;
            const bool edge = inBounds && (x == 2 || x == 7 || y == 2 || y == 5);
            EXPECT_EQ(c.At(x, y), edge ? kBlack : inBounds ? kRed : kWhite) << x << "," << y << "\n" << c.Dump();
        }
    // Reversed corners draw the same.
    Canvas d(12, 10);
    d.dc.SelectObject(&red);
    d.dc.Rectangle(8, 6, 2, 2);
    EXPECT_TRUE(d.surface->IsEqual(*c.surface));
}

TEST(Figures, RectangleWithNullPenNullBrushAndWidePen) {
    Canvas c(12, 10);
    CBrush red(kRed);
    c.dc.SelectObject(&red);
    c.dc.SelectStockObject(NULL_PEN);
    c.dc.Rectangle(2, 2, 8, 6);
    EXPECT_EQ(c.Ink(), CRect(2, 2, 7, 5)) << "a null pen fills one pixel less on the right and bottom";

    Canvas h(12, 10);
    h.dc.SelectStockObject(NULL_BRUSH);
    h.dc.Rectangle(2, 2, 8, 6);
    EXPECT_EQ(h.Count(kBlack), 16);
    EXPECT_EQ(h.At(4, 4), kWhite);

    Canvas w(20, 20);
    CPen wide(PS_SOLID, 3, kBlack);
    w.dc.SelectObject(&wide);
    w.dc.SelectObject(&red);
    w.dc.Rectangle(5, 5, 15, 15);
    EXPECT_EQ(w.Ink(), CRect(4, 4, 16, 16));  // centred on the one-pixel outline
    EXPECT_EQ(w.At(6, 10), kBlack);
    EXPECT_EQ(w.At(7, 10), kRed);
    EXPECT_EQ(w.At(12, 10), kRed);
    EXPECT_EQ(w.At(13, 10), kBlack);
}

TEST(Figures, EllipseStaysInBoundsTouchesThemAndIsSymmetric) {
    for (CRect box : {CRect(3, 4, 23, 14), CRect(2, 2, 17, 17), CRect(5, 5, 8, 6)}) {
        Canvas c(26, 20);
        CBrush red(kRed);
        c.dc.SelectObject(&red);
        c.dc.Ellipse(box);
        SCOPED_TRACE(c.Dump());
        EXPECT_EQ(c.Ink(), box);
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x) {
                const int mx = box.left + box.right - 1 - x, my = box.top + box.bottom - 1 - y;
                EXPECT_EQ(c.At(x, y), c.At(mx, y));
                EXPECT_EQ(c.At(x, y), c.At(x, my));
                // The outline closes the figure: no brush pixel touches the outside.
                if (c.At(x, y) == kRed) {
                    for (auto [ox, oy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) EXPECT_NE(c.At(x + ox, y + oy), kWhite);
                }
            }
    }
}

TEST(Figures, PolygonFillRules) {
    Canvas c(12, 12);
    CBrush red(kRed);
    c.dc.SelectObject(&red);
    c.dc.SelectStockObject(NULL_PEN);
    const POINT square[4] = {{2, 2}, {8, 2}, {8, 8}, {2, 8}};
    c.dc.Polygon(square, 4);
    EXPECT_EQ(c.Ink(), CRect(2, 2, 8, 8)) << "edges on the right and bottom are outside";
    EXPECT_EQ(c.Count(kRed), 36);

    c.dc.SelectStockObject(BLACK_PEN);
    c.surface->Fill(kWhite);
    c.dc.Polygon(square, 4);
    EXPECT_EQ(c.Ink(), CRect(2, 2, 9, 9)) << "the pen closes the outline through every vertex";

    // A pentagram: its centre is outside with the alternate rule, inside with winding.
    const POINT star[5] = {{20, 2}, {31, 36}, {2, 14}, {38, 14}, {9, 36}};
    for (int mode : {ALTERNATE, WINDING}) {
        Canvas s(41, 41);
        s.dc.SelectObject(&red);
        s.dc.SelectStockObject(NULL_PEN);
        s.dc.SetPolyFillMode(mode);
        s.dc.Polygon(star, 5);
        EXPECT_EQ(s.At(20, 20), mode == WINDING ? kRed : kWhite);
        EXPECT_EQ(s.At(20, 8), kRed);
    }
}

TEST(Rectangles, FillFrameAnd3dEdges) {
    Canvas c(10, 10);
    CBrush red(kRed);
    const RECT r{2, 3, 7, 8};
    c.dc.FillRect(&r, &red);
    EXPECT_EQ(c.Ink(), CRect(r));
    c.dc.FillSolidRect(0, 0, 3, 2, kBlue);
    EXPECT_EQ(c.At(2, 1), kBlue);
    EXPECT_EQ(c.At(3, 1), kWhite);
    EXPECT_EQ(c.At(2, 2), kWhite);

    Canvas f(10, 10);
    f.dc.FrameRect(&r, &red);
    EXPECT_EQ(f.Ink(), CRect(r));
    EXPECT_EQ(f.Count(kRed), 2 * 5 + 2 * 3);
    EXPECT_EQ(f.At(3, 4), kWhite);

    Canvas e(10, 10, kBlue);
    e.dc.Draw3dRect(&r, kWhite, kBlack);
    EXPECT_EQ(e.At(2, 3), kWhite);
    EXPECT_EQ(e.At(6, 3), kBlack);  // top-right corner belongs to the right side
    EXPECT_EQ(e.At(2, 7), kBlack);  // bottom-left corner to the bottom
    EXPECT_EQ(e.At(3, 4), kBlue);

    Canvas s(10, 10, kBlue);
    RECT edge{0, 0, 10, 10};
    s.dc.DrawEdge(&edge, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    EXPECT_EQ(CRect(edge), CRect(2, 2, 8, 8));
    EXPECT_EQ(s.At(0, 0), GetSysColor(COLOR_3DSHADOW));
    EXPECT_EQ(s.At(1, 1), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(s.At(9, 9), GetSysColor(COLOR_3DHIGHLIGHT));
    EXPECT_EQ(s.At(8, 8), GetSysColor(COLOR_3DLIGHT));
    EXPECT_EQ(s.At(2, 2), kBlue);
}

TEST(RasterOps, NotAndXorTwiceRestoreThePicture) {
    Canvas c(30, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) c.surface->SetPixel(x, y, RGB(x * 8, y * 8, (x ^ y) * 8));
    const CPixelSurface original(*c.surface);
    CPen pen(PS_SOLID, 1, RGB(10, 200, 77));
    CBrush brush(RGB(99, 1, 250));
    c.dc.SelectObject(&pen);
    c.dc.SelectObject(&brush);
    for (int rop : {R2_NOT, R2_XORPEN, R2_NOTXORPEN}) {
        SCOPED_TRACE(rop);
        c.dc.SetROP2(rop);
        for (int pass = 0; pass < 2; ++pass) {
            c.dc.MoveTo(1, 28);
            c.dc.LineTo(27, 3);
            c.dc.Rectangle(3, 3, 20, 12);
            c.dc.Ellipse(10, 10, 29, 25);
            EXPECT_EQ(c.surface->IsEqual(original), pass == 1);
        }
    }
    c.dc.SetROP2(R2_NOT);
    c.dc.Rectangle(0, 0, 2, 2);
    EXPECT_EQ(c.At(0, 0), RGB(255, 255, 255) ^ original.GetPixel(0, 0));
}

TEST(DeviceContext, PixelsClippingOriginsAndSavedStates) {
    Canvas c(10, 10);
    EXPECT_EQ(c.dc.SetPixel(3, 4, kRed), kRed);
    EXPECT_EQ(c.dc.GetPixel(3, 4), kRed);
    EXPECT_EQ(c.dc.GetPixel(10, 0), CLR_INVALID);
    EXPECT_EQ(c.dc.GetPixel(-1, 5), CLR_INVALID);
    EXPECT_EQ(c.dc.SetPixel(0, 10, kRed), CLR_INVALID);

    const int saved = c.dc.SaveDC();
    EXPECT_EQ(c.dc.IntersectClipRect(2, 2, 5, 5), SIMPLEREGION);
    c.dc.FillSolidRect(0, 0, 10, 10, kBlue);
    EXPECT_EQ(c.Ink(), CRect(2, 2, 5, 5));
    EXPECT_EQ(c.dc.GetPixel(1, 1), CLR_INVALID);
    c.dc.SetViewportOrg(4, 4);
    CPen red(PS_SOLID, 0, kRed);
    c.dc.SelectObject(&red);
    ASSERT_TRUE(c.dc.RestoreDC(saved));
    EXPECT_EQ(c.dc.GetViewportOrg(), CPoint(0, 0));
    EXPECT_EQ(c.dc.GetCurrentPen()->GetSafeHandle(), GetStockObject(BLACK_PEN));
    EXPECT_FALSE(c.dc.RestoreDC(saved));

    c.surface->Fill(kWhite);
    c.dc.SetViewportOrg(5, 6);
    c.dc.SetPixel(0, 0, kBlack);
    EXPECT_EQ(c.At(5, 6), kBlack);
    CRect box;
    c.dc.GetClipBox(&box);
    EXPECT_EQ(box, CRect(-5, -6, 5, 4));
}

TEST(DeviceContext, SelectObjectReturnsThePreviousObject) {
    CDC dc;
    CPen pen(PS_DASH, 1, kRed);
    EXPECT_EQ(dc.SelectObject(&pen), nullptr) << "no context yet";
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CPen* stock = dc.SelectObject(&pen);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(stock->GetSafeHandle(), GetStockObject(BLACK_PEN));
    EXPECT_EQ(dc.SelectObject(stock), &pen);
    CBrush brush(kRed);
    EXPECT_EQ(dc.SelectObject(&brush)->GetSafeHandle(), GetStockObject(WHITE_BRUSH));

    // Deleting an object while it is selected is safe; the context keeps it until deselected.
    Canvas c(4, 4);
    {
        CBrush temporary(kBlue);
        c.dc.SelectObject(&temporary);
    }
    c.dc.SelectStockObject(NULL_PEN);
    c.dc.Rectangle(0, 0, 5, 5);
    EXPECT_EQ(c.At(1, 1), kBlue);
    EXPECT_EQ(c.dc.SelectStockObject(WHITE_BRUSH), nullptr) << "the deleted brush is gone";
    EXPECT_FALSE(DeleteObject(GetStockObject(BLACK_PEN)));
    EXPECT_EQ(GetObjectType(GetStockObject(NULL_BRUSH)), DWORD(OBJ_BRUSH));
}

TEST(DeviceContext, FarOffAndHugeFiguresAreClippedCheaply) {
    // Each of these would take minutes or gigabytes if it were rasterised whole.
    Canvas c(20, 20);
    CPen dot(PS_DOT, 0, kBlack), wide(PS_SOLID, 5, kBlack);
    c.dc.SelectObject(&dot);
    c.dc.MoveTo(-2000000000, -1999999990);
    c.dc.LineTo(2000000000, 2000000010);
    EXPECT_GT(c.Count(kBlack), 3);
    c.dc.SelectObject(&wide);
    c.dc.MoveTo(10, -2000000000);
    c.dc.LineTo(10, 2000000000);
    EXPECT_EQ(c.At(10, 0), kBlack);
    EXPECT_EQ(c.At(12, 19), kBlack);
    CBrush red(kRed), blue(kBlue), green(RGB(0, 255, 0));
    c.dc.SelectObject(&red);
    c.dc.Ellipse(-1000000000, -1000000000, 1000000000, 1000000000);
    EXPECT_EQ(c.Count(kRed), 400);
    c.dc.SelectObject(&blue);
    c.dc.Rectangle(-1000000000, -1000000000, 1000000000, 1000000000);
    EXPECT_EQ(c.Count(kBlue), 400);
    c.dc.SelectObject(&green);
    const POINT far[3] = {{-2000000000, -2000000000}, {2000000000, 0}, {0, 2000000000}};
    c.dc.Polygon(far, 3);
    EXPECT_EQ(c.Count(RGB(0, 255, 0)), 400);
    c.surface->SetPixel(10, 10, kRed);
    c.dc.StretchBlt(-1000000000, -1000000000, 2000000000, 2000000000, &c.dc, 0, 0, 20, 20, SRCCOPY);
    EXPECT_EQ(c.Count(kRed), 400);
}

TEST(Surface, SavedAsBmpForOtherTools) {
    CPixelSurface s(3, 2);
    s.SetPixel(0, 0, kRed);
    s.SetPixel(2, 1, kBlue);
    const std::string path = testing::TempDir() + "/surface.bmp";
    ASSERT_TRUE(s.SaveBMP(path.c_str()));
    const std::string b = zep3test::readFile(path);
    ASSERT_EQ(b.size(), size_t(54 + 2 * 12));
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[28], 24);
    // Bottom row first: (2, 1) is blue, then the top row starts with red.
    EXPECT_EQ(BYTE(b[54 + 6]), 255);
    EXPECT_EQ(BYTE(b[54 + 12 + 2]), 255);
    EXPECT_FALSE(s.SaveBMP("/nonexistent-folder/x.bmp"));
}
