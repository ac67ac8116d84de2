// CDivider layouts: the worked examples, and random areas, counts, gaps and
// margins checked for containment, no overlap and the best column count.
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

std::vector<CRect> partsOf(const CDivider& divider) {
    std::vector<CRect> parts;
    for (CRect r; divider.GetPartRect(int(parts.size()), r);) parts.push_back(r);
    return parts;
}

TEST(Divider, WorkedExamples) {
    CDivider divider;
    ASSERT_TRUE(divider.Divide(CRect(0, 0, 640, 480), 4, CSize(320, 240), CSize(0, 0), CSize(0, 0)));
    EXPECT_TRUE(divider.IsDivided() && divider.GetScale() == 1);
    EXPECT_EQ(partsOf(divider), (std::vector<CRect>{CRect(0, 0, 320, 240), CRect(320, 0, 640, 240),
                                                    CRect(0, 240, 320, 480), CRect(320, 240, 640, 480)}));
    EXPECT_TRUE(divider.GetScale(CSize(640, 480)) == 0.5 && divider.GetScale(CSize(160, 240)) == 1 &&
                divider.GetScale(CSize(0, 480)) == 1);
    ASSERT_TRUE(divider.Divide(CRect(100, 50, 740, 530), 4, CSize(320, 240), CSize(10, 10), CSize(0, 0)));
    CRect r;
    ASSERT_TRUE(divider.GetPartRect(0, r));
    EXPECT_EQ(r.TopLeft(), CPoint(105, 55)) << "half a gap before each part";
    EXPECT_FALSE(divider.GetPartRect(-1, r));
    EXPECT_FALSE(divider.Divide(CRect(0, 0, 20, 480), 4, CSize(320, 240), CSize(8, 0), CSize(12, 0)));
    EXPECT_FALSE(divider.IsDivided() || divider.GetPartRect(0, r));
    EXPECT_FALSE(divider.Divide(CRect(0, 0, 640, 480), 0, CSize(320, 240), CSize(0, 0), CSize(0, 0)) ||
                 divider.Divide(CRect(0, 0, 640, 480), 2, CSize(0, 240), CSize(0, 0), CSize(0, 0)));
}

// The best column count and scale by trying every count.
struct Best {
    long long coverage = -1;
    int columns = 0;
    double scale = 0;
};
Best bestLayout(const CRect& area, int count, CSize part, CSize gap, CSize margin) {
    Best best;
    for (int c = count; c >= 1; --c) {
        const int rows = (count + c - 1) / c;
        const double gridW = double(part.cx) * c, gridH = double(part.cy) * rows;
        const double w = area.Width() - gap.cx * c - margin.cx, h = area.Height() - gap.cy * rows - margin.cy;
        if (w < 1 || h < 1) continue;
        const double scale = w / h <= gridW / gridH ? w / gridW : h / gridH;
        const long long coverage = (long long)(part.cx * scale) * (long long)(part.cy * scale) * count;
        if (coverage > best.coverage) best = {coverage, c, scale};
    }
    return best;
}

TEST(Divider, RandomLayoutsStayInsideWithoutOverlap) {
    std::mt19937 rng(8);
    CDivider divider;
    int divided = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int left = int(rng() % 201) - 100, top = int(rng() % 201) - 100;
        const CRect area(left, top, left + int(rng() % 2000), top + int(rng() % 1500));
        const int count = 1 + int(rng() % 40);
        const CSize part(1 + int(rng() % 800), 1 + int(rng() % 600)), gap(int(rng() % 30), int(rng() % 30)),
            margin(int(rng() % 60), int(rng() % 60));
        const Best best = bestLayout(area, count, part, gap, margin);
        ASSERT_EQ(divider.Divide(area, count, part, gap, margin), best.coverage >= 0) << "trial " << trial;
        const std::vector<CRect> parts = partsOf(divider);
        if (best.coverage < 0) {
            ASSERT_TRUE(parts.empty());
            continue;
        }
        ++divided;
        ASSERT_EQ(int(parts.size()), count);
        ASSERT_DOUBLE_EQ(divider.GetScale(), best.scale) << "trial " << trial;
        long long coverage = 0;
        for (size_t i = 0; i < parts.size(); ++i) {
            const CRect& p = parts[i];
            coverage += (long long)p.Width() * p.Height();
            ASSERT_TRUE(p.left >= area.left && p.top >= area.top && p.right <= area.right &&
                        p.bottom <= area.bottom)
                << "trial " << trial << " part " << i;
            ASSERT_EQ(p.top == parts[0].top, int(i) < best.columns) << "trial " << trial << " part " << i;
            for (size_t j = 0; j < i; ++j) {
                CRect both;
                ASSERT_FALSE(both.IntersectRect(p, parts[j]))
                    << "trial " << trial << " parts " << j << ", " << i;
            }
        }
        ASSERT_EQ(coverage, best.coverage);
    }
    EXPECT_GT(divided, 2000); // most trials had room
}

} // namespace
