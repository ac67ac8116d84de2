#include <zep3/zep3.h>

#include <gtest/gtest.h>

TEST(Geometry, DefaultsAreZeroAndPointSizeArithmetic) {
    EXPECT_EQ(CPoint(), CPoint(0, 0));
    EXPECT_EQ(CSize(), CSize(0, 0));
    EXPECT_TRUE(CRect().IsRectNull());
    CPoint p(3, 4);
    EXPECT_EQ(p + CSize(1, 1), CPoint(4, 5));
    EXPECT_EQ(p - CPoint(1, 2), CSize(2, 2));
    p.Offset(-3, -4);
    EXPECT_EQ(p, CPoint(0, 0));
}

TEST(Geometry, RectEdgesAndNormalisation) {
    CRect r(10, 20, 0, 5);
    EXPECT_TRUE(r.IsRectEmpty());
    r.NormalizeRect();
    EXPECT_EQ(r, CRect(0, 5, 10, 20));
    EXPECT_EQ(r.Width(), 10);
    EXPECT_EQ(r.Height(), 15);
    EXPECT_TRUE(r.PtInRect(CPoint(0, 5)));
    EXPECT_FALSE(r.PtInRect(CPoint(10, 5)));
    EXPECT_FALSE(r.PtInRect(CPoint(0, 20)));
    EXPECT_TRUE(r.PtInRect(CPoint(9, 19)));
    r.InflateRect(1, 2);
    EXPECT_EQ(r, CRect(-1, 3, 11, 22));
    r.OffsetRect(CPoint(1, -3));
    EXPECT_EQ(r.TopLeft(), CPoint(0, 0));
}

TEST(Geometry, IntersectionAndUnion) {
    CRect out;
    EXPECT_TRUE(out.IntersectRect(CRect(0, 0, 10, 10), CRect(5, 5, 20, 20)));
    EXPECT_EQ(out, CRect(5, 5, 10, 10));
    // Touching edges share no pixel: the result is emptied to zeros.
    out = CRect(1, 2, 3, 4);
    EXPECT_FALSE(out.IntersectRect(CRect(0, 0, 10, 10), CRect(10, 0, 20, 10)));
    EXPECT_TRUE(out.IsRectNull());
    EXPECT_TRUE(out.UnionRect(CRect(0, 0, 2, 2), CRect(5, 5, 6, 8)));
    EXPECT_EQ(out, CRect(0, 0, 6, 8));
    // An empty operand does not stretch the union.
    EXPECT_TRUE(out.UnionRect(CRect(100, 100, 100, 100), CRect(1, 1, 2, 2)));
    EXPECT_EQ(out, CRect(1, 1, 2, 2));
    EXPECT_FALSE(out.UnionRect(CRect(), CRect(3, 3, 3, 9)));
    EXPECT_EQ(CRect(0, 0, 4, 4) & CRect(2, 2, 8, 8), CRect(2, 2, 4, 4));
}
