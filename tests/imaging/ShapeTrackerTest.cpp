// The rectangle, line and parallelogram shapes: geometry under the mouse
// protocol, drawing by pixel, cursors and settings files.
#include <zep3/zep3.h>

#include "platform/Canvas.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>

namespace {

const COLORREF kGreen = 0x00FF00, kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

std::vector<CPoint> Handles(const CHandleTracker& t) {
    std::vector<CPoint> v;
    for (int i = 0; i < t.GetHandleCount(); ++i) v.push_back(t.GetHandle(i));
    return v;
}

// Pixels of `colour` on row y, columns [x0, x1).
int RowCount(const Canvas& c, int y, int x0, int x1, COLORREF colour) {
    int n = 0;
    for (int x = x0; x < x1; ++x) n += c.At(x, y) == colour;
    return n;
}

// Bounding box of the non-white pixels inside `area`.
CRect InkIn(const Canvas& c, const CRect& area) {
    CRect ink;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (c.At(x, y) != kWhite) ink |= CRect(x, y, x + 1, y + 1);
    return ink;
}

class Rect : public CRectangleTracker {
public:
    using CRectangleTracker::GetHitHandle;
    LOGFONT& Font() { return m_NameFont; }
};

// Midpoints rounded down, also below zero.
CPoint Mid(const CPoint& a, const CPoint& b) {
    return CPoint(int(std::floor((a.x + b.x) / 2.0)), int(std::floor((a.y + b.y) / 2.0)));
}

class Parallel : public CParallelTracker {
public:
    using CParallelTracker::SetOposite;
    void Put(int index, const CPoint& p) { SetHandlePosition(index, p); }
    // The invariant every public operation keeps.
    void ExpectConsistent() const {
        const CPoint c = GetHandle(0), a = GetHandle(1), b = GetHandle(2), d = GetHandle(3), e = GetHandle(4);
        EXPECT_EQ(c, Mid(a, d));
        EXPECT_EQ(c, Mid(b, e));
        EXPECT_EQ(GetTopLeft(), CPoint(a.x + b.x - c.x, a.y + b.y - c.y));
        EXPECT_EQ(GetBottomRight(), CPoint(d.x + e.x - c.x, d.y + e.y - c.y));
    }
};

} // namespace

TEST(RectangleTracker, CornersFollowAndDropNormalises) {
    Rect r;
    EXPECT_EQ(Handles(r), (std::vector<CPoint>{{10, 10}, {200, 10}, {200, 200}, {10, 200}}));
    EXPECT_TRUE(r.Select({200, 200}, true));
    EXPECT_TRUE(r.Drag({250, 220}));
    EXPECT_EQ(Handles(r), (std::vector<CPoint>{{10, 10}, {250, 10}, {250, 220}, {10, 220}}));
    EXPECT_TRUE(r.Drop());

    // Drag the top-left corner past the bottom-right one: a drop renumbers
    // the handles so that handle 0 is the top-left corner again.
    r.Select({10, 10}, true);
    r.Drag({300, 260});
    EXPECT_EQ(r.GetHandle(1), CPoint(250, 260));
    EXPECT_EQ(r.GetHandle(3), CPoint(300, 220));
    EXPECT_TRUE(r.Drop());
    EXPECT_EQ(Handles(r), (std::vector<CPoint>{{250, 220}, {300, 220}, {300, 260}, {250, 260}}));
    EXPECT_FALSE(r.Drop()) << "nothing grabbed, not moving";

    EXPECT_TRUE(r.Intersect(CRect(260, 0, 400, 240)));
    EXPECT_EQ(r.GetRect(), CRect(260, 220, 300, 240));
    EXPECT_FALSE(r.Intersect(CRect(0, 0, 400, 400)));

    Rect d;
    EXPECT_TRUE(d.Intersect(CRect(50, 50, 150, 150)));
    EXPECT_EQ(d.GetRect(), CRect(50, 50, 150, 150));
    EXPECT_EQ(d.GetHandle(1), CPoint(150, 50));
    d.Intersect(CRect(400, 400, 500, 500));
    EXPECT_TRUE(d.GetRect().IsRectEmpty()) << "entirely outside: collapsed onto the limit";
}

TEST(RectangleTracker, InsideSelectionMovesTheWhole) {
    Rect r;
    EXPECT_EQ(r.GetDist({30, 100}), 20) << "nearest side";
    EXPECT_EQ(r.GetDist({11, 11}), 2) << "handle distance on a corner";
    EXPECT_EQ(r.GetDist({5, 100}), -1);

    EXPECT_TRUE(r.Select({100, 100}, false));
    EXPECT_TRUE(r.IsSelected() && r.IsInsideSelected() && !r.IsMoving());
    EXPECT_FALSE(r.Drag({120, 120})) << "selected is not grabbed";
    EXPECT_TRUE(r.Select({100, 100}, true));
    EXPECT_TRUE(r.Drag({130, 90}));
    EXPECT_EQ(r.GetRect(), CRect(40, 0, 230, 190));
    EXPECT_TRUE(r.IsDragging());
    EXPECT_TRUE(r.Drop());
    EXPECT_FALSE(r.IsMoving() || r.IsDragging());
    EXPECT_TRUE(r.DeSelect());
    EXPECT_FALSE(r.DeSelect());

    // A handle takes precedence over the inside; a fixed rectangle ignores
    // drags, a non-resizable one its handles.
    EXPECT_TRUE(r.Select({230, 190}, true));
    EXPECT_FALSE(r.IsInsideSelected());
    r.Movable(false);
    EXPECT_FALSE(r.Drag({0, 0}));
    r.Movable(true);
    r.Drop();
    r.DeSelect();
    r.Resizable(false);
    EXPECT_FALSE(r.Select({230, 190}, true)) << "on the corner square, outside the rectangle";
    EXPECT_FALSE(r.Select({228, 188}, true)) << "inside, but on a handle";
    EXPECT_TRUE(r.Select({100, 100}, true) && r.IsMoving());
    r.EnableTracker(false);
    EXPECT_FALSE(r.Drag({0, 0}) || r.Select({100, 100}, true));
    EXPECT_EQ(r.GetDist({100, 100}), -1);
}

TEST(RectangleTracker, MarkerAndCentre) {
    Rect r;
    r.SetMarker({105, 105});
    EXPECT_EQ(r.GetMarker(), CPoint(105, 105));
    r.SetRect(CRect(10, 10, 200, 200));
    r.SetMarker({48, 200});
    r.SetRect(CRect(0, 0, 100, 1000));
    EXPECT_EQ(r.GetMarker(), CPoint(20, 1000)) << "(0.2, 1.0) of the new size";
    r.IsModified();
    r.MoveToCenter({0, 0});
    EXPECT_TRUE(r.IsModified());
    EXPECT_EQ(r.GetRect(), CRect(-50, -500, 50, 500));
    r.MoveToCenter({0, 0});
    EXPECT_TRUE(r.IsModified()) << "set even when nothing moved";
    r.SetRect(CRect(5, 5, 5, 9));
    r.SetMarker({7, 7});
    EXPECT_EQ(r.GetMarker(), CPoint(5, 7)) << "no width: the marker stays on the left side";
}

TEST(ParallelTracker, CentreStaysTheMidpointOfBothPairs) {
    Parallel p;
    EXPECT_EQ(p.GetTopLeft(), CPoint(30, 20));
    EXPECT_EQ(p.GetTopRight(), CPoint(230, 20));
    EXPECT_EQ(p.GetBottomLeft(), CPoint(30, 40));
    EXPECT_EQ(p.GetBottomRight(), CPoint(230, 40));
    EXPECT_EQ(p.GetBoundRect(), CRect(30, 20, 230, 40));

    EXPECT_TRUE(p.SetPosition(1, {50, 30}));
    EXPECT_EQ(p.GetHandle(0), CPoint(140, 30));
    EXPECT_EQ(p.GetHandle(2), CPoint(140, 20));
    EXPECT_EQ(p.GetHandle(4), CPoint(140, 40));
    EXPECT_EQ(p.GetBoundRect(), CRect(50, 20, 230, 40));
    EXPECT_FALSE(p.SetPosition(5, {0, 0}));
    EXPECT_FALSE(p.SetPosition(-1, {0, 0}));

    // The centre carries the whole shape.
    p.Select({140, 30}, true);
    EXPECT_TRUE(p.Drag({150, 60}));
    EXPECT_EQ(p.GetBoundRect(), CRect(60, 50, 240, 70));
    p.Drop();
    // A side handle rotates and stretches the shape about the new centre.
    p.Select({150, 50}, true);
    EXPECT_EQ(p.GetGrabbedHandle(), 2);
    EXPECT_TRUE(p.Drag({170, 40}));
    p.Drop();
    EXPECT_EQ(p.GetHandle(0), CPoint(160, 55));
    EXPECT_EQ(p.GetHandle(4), CPoint(150, 70));
    p.ExpectConsistent();

    EXPECT_TRUE(p.SetPosition({0, 10}, {10, 0}, {20, 10}, {10, 20}));
    EXPECT_EQ(p.GetHandle(0), CPoint(10, 10));
    EXPECT_EQ(p.GetBoundRect(), CRect(0, 0, 20, 20));
    p.SetPosition(3, {40, 10}); // centre (20, 10)
    p.Put(3, {50, 16});
    p.SetOposite(3);
    EXPECT_EQ(p.GetHandle(1), CPoint(-10, 4)) << "mirrored through the centre";
    p.SetPosition(0, {20, 10});

    // Random edits keep the invariant.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-100, 640), handle(0, 4);
    for (int i = 0; i < 300; ++i) {
        const int h = handle(rng);
        const CPoint to(coord(rng), coord(rng));
        if (i % 2) {
            p.SetPosition(h, to);
        } else {
            p.Select(p.GetHandle(h), true);
            p.Drag(to);
            p.Drop();
        }
        p.ExpectConsistent();
        if (HasFailure()) FAIL() << "after edit " << i;
    }
}

TEST(LineTracker, EndsAndGrab) {
    CLineTracker l;
    EXPECT_EQ(l.GetStart(), CPoint(0, 0));
    EXPECT_EQ(l.GetEnd(), CPoint(100, 100));
    l.Select({100, 100}, true);
    l.Drag({40, 70});
    EXPECT_EQ(l.GetEnd(), CPoint(40, 70));
    CLineTracker copy(l);
    EXPECT_EQ(copy.GetEnd(), CPoint(40, 70));
}

// --- drawing ----------------------------------------------------------------------

TEST(ShapeDrawing, RectangleStates) {
    Rect r;
    r.SetRect(CRect(20, 40, 120, 100));
    r.SetColor(kRed, 1);
    r.SetColor(kBlue, 2);
    // Normal: a solid red outline and red corner squares.
    {
        Canvas c(160, 120);
        c.dc.SetBkMode(OPAQUE);
        ASSERT_TRUE(r.Draw(&c.dc, 1.0));
        EXPECT_EQ(RowCount(c, 40, 24, 117, kRed), 117 - 24);
        EXPECT_EQ(RowCount(c, 99, 24, 117, kRed), 0) << "bottom edge is y = 100";
        EXPECT_EQ(RowCount(c, 100, 24, 117, kRed), 117 - 24);
        EXPECT_EQ(c.At(20, 70), kRed);
        EXPECT_EQ(c.At(120, 70), kRed);
        EXPECT_EQ(c.At(17, 37), kRed) << "corner square";
        EXPECT_EQ(c.Ink(), CRect(17, 37, 123, 103));
        EXPECT_EQ(c.dc.GetBkMode(), OPAQUE) << "mode restored";
        c.dc.MoveTo(0, 0);
        c.dc.LineTo(10, 0);
        EXPECT_EQ(c.At(5, 0), 0u) << "the DC's own (black) pen is back";
    }
    // Highlighted: the highlight colour in the visible blink phase only.
    r.EnableHighlight(true);
    r.Highlight(true);
    for (COLORREF expected : {kBlue, kRed}) {
        Canvas c(160, 120);
        r.Draw(&c.dc, 1.0);
        EXPECT_EQ(RowCount(c, 40, 24, 117, expected), 117 - 24);
        r.Blink();
    }
    r.Highlight(false);
    // Selected: dotted, with the gaps left as they were (transparent mode).
    {
        r.Select({70, 70}, false);
        Canvas c(160, 120);
        c.dc.SetBkMode(OPAQUE);
        c.dc.SetBkColor(kGreen);
        r.Draw(&c.dc, 1.0);
        const int on = RowCount(c, 40, 24, 117, kRed);
        EXPECT_GT(on, 30);
        EXPECT_LT(on, 63);
        EXPECT_EQ(RowCount(c, 40, 24, 117, kWhite), 117 - 24 - on);
        r.DeSelect();
    }
    // Zoom, name and marker.
    {
        r.SetName("Brama");
        r.SetNameFont(r.Font(), kBlue);
        r.SetMarker({70, 70});
        r.Resizable(false);
        Canvas c(320, 240);
        r.Draw(&c.dc, 2.0);
        EXPECT_EQ(RowCount(c, 80, 41, 239, kRed), 239 - 41) << "outline at (40, 80, 240, 200)";
        EXPECT_EQ(c.At(38, 78), kWhite) << "no handle squares when not resizable";
        EXPECT_EQ(c.At(140, 140), kRed);
        EXPECT_EQ(c.At(144, 140), kRed) << "marker cross at (70, 70) x 2";
        const CRect text = InkIn(c, CRect(0, 0, 320, 80));
        EXPECT_GE(text.left, 42) << "name starts 2 pixels right of the box";
        EXPECT_GE(text.top, 80 - 15);
        EXPECT_GT(text.Width(), 30);
        int blue = 0;
        for (int y = text.top; y < text.bottom; ++y) blue += RowCount(c, y, text.left, text.right, kBlue);
        EXPECT_GT(blue, 10) << "the name is written in the name colour";
    }
    r.EnableTracker(false);
    Canvas c(160, 120);
    EXPECT_FALSE(r.Draw(&c.dc, 1.0));
    EXPECT_FALSE(Rect().Draw(nullptr, 1.0));
    EXPECT_EQ(c.Ink(), CRect());
}

TEST(ShapeDrawing, LineAndParallelogramUseTheColour) {
    CLineTracker l;
    l.SetColor(kRed, 1);
    l.SetColor(kBlue, 2);
    l.EnableHighlight(true);
    l.Highlight(true);
    Canvas a(110, 110);
    ASSERT_TRUE(l.Draw(&a.dc, 1.0));
    EXPECT_EQ(a.At(50, 50), kRed) << "the line in the colour, not the highlight";
    EXPECT_EQ(a.At(97, 100), kBlue) << "end square in the highlight colour";
    l.Select({100, 100}, true);
    Canvas b(110, 110);
    l.Draw(&b.dc, 1.0);
    int on = 0;
    for (int i = 10; i < 90; ++i) on += b.At(i, i) == kRed;
    EXPECT_GT(on, 20);
    EXPECT_LT(on, 60) << "dotted while a handle is grabbed";

    Parallel p;
    p.SetColor(kRed, 0);
    Canvas c(260, 60);
    ASSERT_TRUE(p.Draw(&c.dc, 1.0));
    EXPECT_EQ(c.Ink(), CRect(27, 17, 233, 43));
    EXPECT_EQ(RowCount(c, 40, 40, 120, kRed), 80) << "bottom side, solid";
    p.Select({230, 30}, false);
    Canvas d(260, 60);
    p.Draw(&d.dc, 1.0);
    EXPECT_LT(RowCount(d, 40, 40, 120, kRed), 60) << "dotted while a handle is selected";
}

TEST(ShapeCursors, ShapesSetTheirCursor) {
    Rect r;
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    EXPECT_FALSE(r.SetCursor(nullptr, HTCLIENT)) << "nothing selected";
    r.Select({200, 10}, false);
    EXPECT_FALSE(r.SetCursor(nullptr, 0)) << "not in the client area";
    EXPECT_TRUE(r.SetCursor(nullptr, HTCLIENT));
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZENESW));
    r.Select({100, 100}, false); // leaves the handle
    r.Select({100, 100}, false); // takes the inside
    EXPECT_TRUE(r.SetCursor(nullptr, HTCLIENT));
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZEALL));

    Parallel p;
    p.Select({130, 30}, false);
    EXPECT_TRUE(p.SetCursor(nullptr, HTCLIENT));
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZEALL));
    CLineTracker l;
    l.Select({0, 0}, false);
    EXPECT_TRUE(l.SetCursor(nullptr, HTCLIENT));
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_CROSS));
}

// --- settings files ---------------------------------------------------------------------

TEST(ShapeExchange, DamagedEntriesLoadWhatIsValid) {
    zep3test::TempDir dir;
    const std::string path = dir.file("shapes.ini");
    {
        CIniFile ini(path.c_str(), false);
        Rect r;
        r.SetRect(CRect(30, 40, 90, 120));
        r.SetName("Box");
        Parallel p;
        p.SetPosition(1, {10, 30});
        CIniFile rv(&ini, "R"), pv(&ini, "P");
        EXPECT_TRUE(r.Exchange(&rv, 1));
        EXPECT_TRUE(p.Exchange(&pv, 1));
        ASSERT_TRUE(ini.WriteIniFile(false));
    }
    std::string text = zep3test::readFile(path);
    for (const char* key : {"R\\Handles\\[3]\\Y=120", "R\\Name=Box", "R\\ViewIndex=-1", "P\\Handles\\[4]\\X=120"})
        EXPECT_NE(text.find(key), std::string::npos) << key;

    auto edit = [&](const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    // One corner moved off the rectangle, one beyond any picture, one side
    // handle off its pair; the names' items gone.
    edit("R\\Handles\\[1]\\X=90", "R\\Handles\\[1]\\X=95");
    edit("R\\Handles\\[2]\\Y=120", "R\\Handles\\[2]\\Y=99999999");
    edit("R\\Name=Box", "R\\Nam=Box");
    edit("P\\Handles\\[1]\\X=10", "P\\Handles\\[1]\\X=20");
    ASSERT_TRUE(zep3test::writeFile(path, text));
    // Without its backup the hand-edited file is read as it stands.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path() != path) std::filesystem::remove(entry.path());

    CIniFile ini(path.c_str(), true);
    CIniFile rv(&ini, "R"), pv(&ini, "P");
    Rect r;
    r.SetName("Old");
    EXPECT_FALSE(r.Exchange(&rv, 0));
    EXPECT_EQ(r.GetRect(), CRect(30, 40, 200, 200)) << "the corner out of range kept its place";
    EXPECT_EQ(r.GetHandle(1), CPoint(200, 40)) << "rebuilt as a rectangle from corners 0 and 2";
    EXPECT_EQ(r.GetHandle(3), CPoint(30, 200));
    EXPECT_EQ(r.GetName(), CString("Old"));
    EXPECT_EQ(r.GetHitHandle({30, 40}), 0) << "squares follow the read";

    Parallel p;
    EXPECT_TRUE(p.Exchange(&pv, 0));
    p.ExpectConsistent();
    EXPECT_EQ(p.GetHandle(0), CPoint(120, 30));
    EXPECT_EQ(p.GetHandle(1), CPoint(15, 30)) << "the pair shifted to have the centre as midpoint";
    EXPECT_EQ(p.GetHandle(3), CPoint(225, 30));

    CLineTracker l;
    CIniFile lv(&ini, "R");
    EXPECT_FALSE(l.Exchange(&lv, 0)) << "no name item";
    EXPECT_EQ(l.GetEnd(), CPoint(95, 40));
    EXPECT_FALSE(l.Exchange(nullptr, 0) || r.Exchange(nullptr, 0) || p.Exchange(nullptr, 0));
}
