#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace {

std::string bytes(const CMemory& m) {
    return m.IsEmpty() ? std::string() : std::string(reinterpret_cast<const char*>(m.GetData()), m.GetSize());
}

} // namespace

TEST(CMemory, CreateCopyAndAppend) {
    CMemory empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty.IsOwner());

    CMemory m(3, "abc");
    m += m;
    EXPECT_EQ(bytes(m), "abcabc");
    EXPECT_EQ(bytes(m + CMemory(CString("!"))), "abcabc!");
    EXPECT_FALSE(m.Create(-1, "x"));
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_TRUE(m.Create(0, "x"));
    EXPECT_TRUE(m.IsEmpty());

    CMemory text(CString("a\0b", 3));
    EXPECT_EQ(text.GetSize(), 3);
    CMemory copy(text);
    EXPECT_NE(copy.GetData(), text.GetData());
    EXPECT_TRUE(copy == text);
    copy[1] = 'x';
    EXPECT_FALSE(copy == text);
    copy = CString("zz");
    EXPECT_EQ(bytes(copy), "zz");
    copy = copy;
    EXPECT_EQ(bytes(copy), "zz");
}

TEST(CMemory, ViewsNeverFreeForeignBytes) {
    // Run under the address sanitizer, a wrong release shows as a double free.
    CMemory a(5, "hello");
    CMemory b;
    EXPECT_TRUE(b.TakeOver(a));
    EXPECT_TRUE(b.IsOwner());
    EXPECT_FALSE(a.IsOwner());
    EXPECT_EQ(a.GetData(), b.GetData());
    a.Clear();
    EXPECT_EQ(bytes(b), "hello");

    char foreign[4] = {'w', 'x', 'y', 'z'};
    CMemory view;
    view.Assign(4, foreign, false);
    view.Remove('x'); // not owned: unchanged
    EXPECT_EQ(bytes(view), "wxyz");
    CMemory owned(view); // a copy of a view owns its bytes
    owned.Remove('x');
    EXPECT_EQ(bytes(owned), "wyz");
    owned = view; // assigning from a view of ... foreign bytes copies them
    EXPECT_NE(owned.GetData(), reinterpret_cast<unsigned char*>(foreign));

    // Assigning a block from a view of its own bytes.
    CMemory self(3, "abc");
    CMemory alias;
    alias.Assign(3, self.GetData(), false);
    self = alias;
    EXPECT_EQ(bytes(self), "abc");
}

TEST(CMemory, SearchAndSlicing) {
    CMemory m(5, "abcba");
    EXPECT_EQ(m.Find('b'), 1);
    EXPECT_EQ(m.ReverseFind('b'), 3);
    EXPECT_EQ(m.Find('z'), -1);
    EXPECT_EQ(CMemory().Find('a'), -1);
    EXPECT_EQ(bytes(m.Mid(2, 100)), "cba");
    EXPECT_EQ(bytes(m.Mid(-3, 2)), "ab");
    EXPECT_TRUE(m.Mid(5, 1).IsEmpty());
    EXPECT_TRUE(m.Left(-1).IsEmpty());
    EXPECT_EQ(bytes(m.Left(99)), "abcba");
    EXPECT_EQ(m.Delete(3, 10), 3);
    EXPECT_EQ(bytes(m), "abc");
    EXPECT_EQ(m.Delete(-5, 1), 2);
    EXPECT_EQ(bytes(m), "bc");
    EXPECT_EQ(m.Delete(0, 0), 2);
    EXPECT_EQ(m.Delete(2, 1), 2);
    m.Remove('b');
    m.Remove('c');
    EXPECT_TRUE(m.IsEmpty());
}

TEST(CCounter, MeasuresMilliseconds) {
    CCounter c;
    EXPECT_EQ(c.Stop(), 0);
    EXPECT_EQ(c.GetCounts(), 0);
    EXPECT_FALSE(c.IsRunning());
    c.Start();
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    Sleep(5);
    int first = c.GetCounts();
    Sleep(5);
    int second = c.GetCounts();
    EXPECT_GE(first, 5);
    EXPECT_GE(second, first + 5);
    EXPECT_EQ(c.Difference(), second);
    EXPECT_TRUE(c.IsRunning());
    const CCounter& view = c;
    EXPECT_GE(view.GetCounts(), second);
    EXPECT_EQ(c.Difference(), second) << "the const form records nothing";
    double stopped = c.StopDouble();
    EXPECT_FALSE(c.IsRunning());
    EXPECT_DOUBLE_EQ(c.DifferenceDouble(), stopped);
    EXPECT_EQ(c.Stop(), 0);
    LARGE_INTEGER later = start;
    later.QuadPart += 2500000000ll; // 2.5 s after start
    EXPECT_NEAR(c.DifferenceDouble(later), 2500.0, 1.0);
}

TEST(Utilities, RoundingAndHexText) {
    EXPECT_EQ(RoundInl(2.5), 3);
    EXPECT_EQ(RoundInl(-2.5), -3);
    EXPECT_EQ(RoundInl(-0.4), 0);
    EXPECT_EQ(RoundInl(1.5), 2);
    EXPECT_EQ(RoundInl(1.49999), 1);
    EXPECT_EQ(RoundInl(1e20), INT_MIN);
    EXPECT_EQ(RoundInl(NAN), INT_MIN);

    EXPECT_EQ(htoi("1F"), 31);
    EXPECT_EQ(htoi("1f"), 31);
    EXPECT_EQ(htoi("001f"), 31);
    EXPECT_EQ(htoi(""), 0);
    EXPECT_EQ(htoi("FFFFFFFF"), -1);
    EXPECT_EQ(htoi("1FFFFFFFF"), -1) << "modulo 2^32";
    EXPECT_EQ(htoi("0x10"), 16 + 33 * 256) << "x counts as 120 - 87";
    EXPECT_EQ(GetZEP3Version(), 10);
}
