#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <utility>

namespace {

std::string bytes(const CMemory& m) {
    return m.IsEmpty() ? std::string() : std::string(reinterpret_cast<const char*>(m.GetData()), m.GetSize());
}

} // namespace

TEST(CMemory, CreateAppendSliceAndDelete) {
    CMemory m(3, "abc");
    m += m;
    EXPECT_EQ(bytes(m + CMemory(CString("a\0b", 3))), std::string("abcabca\0b", 9));
    EXPECT_EQ(m.Find('b') * 10 + m.ReverseFind('b'), 14);
    EXPECT_EQ(m.Find('z'), -1);
    EXPECT_EQ(bytes(m.Mid(2, 100)) + bytes(m.Mid(-3, 2)) + bytes(m.Left(99)), "cabcababcabc");
    EXPECT_TRUE(m.Mid(6, 1).IsEmpty() && m.Left(-1).IsEmpty());
    EXPECT_EQ(m.Delete(3, 10), 3);
    EXPECT_EQ(m.Delete(-5, 1), 2);
    EXPECT_EQ(m.Delete(2, 1), 2);
    EXPECT_EQ(bytes(m), "bc");
    m.Remove('b');
    m.Remove('c');
    EXPECT_TRUE(m.IsEmpty() && m.IsOwner());
    EXPECT_FALSE(m.Create(-1, "x"));
}

TEST(CMemory, ViewsNeverFreeForeignBytes) {
    // Under the address sanitizer a wrong release shows as a double free.
    CMemory a(5, "hello"), b;
    EXPECT_TRUE(b.TakeOver(a));
    EXPECT_TRUE(b.IsOwner() && !a.IsOwner() && a.GetData() == b.GetData());
    a.Clear();
    EXPECT_EQ(bytes(b), "hello");

    char foreign[4] = {'w', 'x', 'y', 'z'};
    CMemory view;
    view.Assign(4, foreign, false);
    view.Remove('x'); // not owned: left alone
    CMemory owned(view);
    owned.Remove('x');
    EXPECT_EQ(bytes(view) + bytes(owned), "wxyzwyz");

    // A join whose size would not fit an int leaves the block as it was.
    CMemory huge;
    huge.Assign(INT_MAX - 1, foreign, false);
    huge += CMemory(2, "ab");
    EXPECT_TRUE(huge.GetSize() == INT_MAX - 1 && huge.GetData() == reinterpret_cast<unsigned char*>(foreign));

    // Assigning a block from a view of its own bytes.
    CMemory self(3, "abc"), alias;
    alias.Assign(3, self.GetData(), false);
    self = alias;
    EXPECT_EQ(bytes(self), "abc");
}

TEST(CCounter, MeasuresMilliseconds) {
    CCounter c;
    EXPECT_EQ(c.Stop() + c.GetCounts(), 0) << "never started";
    c.Start();
    Sleep(5);
    const int first = c.GetCounts();
    EXPECT_GE(first, 5);
    EXPECT_GE(static_cast<const CCounter&>(c).GetCounts(), first);
    EXPECT_EQ(c.Difference(), first) << "the const form records nothing";
    EXPECT_DOUBLE_EQ(c.DifferenceDouble(), c.StopDouble());
}

TEST(Utilities, RoundingAndHexText) {
    // Halves away from zero; what does not fit an int is INT_MIN.
    const std::pair<double, int> rounded[] = {{2.5, 3},     {-2.5, -3},      {-0.4, 0},
                                              {1.49999, 1}, {1e20, INT_MIN}, {NAN, INT_MIN}};
    for (const auto& r : rounded) EXPECT_EQ(RoundInl(r.first), r.second) << r.first;
    EXPECT_EQ(htoi("1F") + htoi("1f") + htoi("001f"), 93);
    EXPECT_EQ(htoi(""), 0);
    EXPECT_EQ(htoi("1FFFFFFFF"), -1) << "modulo 2^32";
    EXPECT_EQ(htoi("0x10"), 16 + 33 * 256) << "x counts as 120 - 87";
}
