#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <string>

TEST(CString, FormatFollowsPrintf) {
    CString s;
    s.Format("%i|%u|%02X|%04X|0x%08X|%-8s|%10f|%c|%03i", -5, 7u, 0xAu, 0xBEEFu, 0x1234u, "ab", 1.5, 'z', 7);
    EXPECT_STREQ(s, "-5|7|0A|BEEF|0x00001234|ab      |  1.500000|z|007");
    std::string big(5000, 'x');
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(s.GetLength(), 5002);
    s.AppendFormat("%d", 42);
    EXPECT_EQ(s.Right(3), ">42");
}

TEST(CString, ExtractionClampsCounts) {
    CString s("abcdef");
    EXPECT_EQ(s.Left(-1), "");
    EXPECT_EQ(s.Left(99), "abcdef");
    EXPECT_EQ(s.Right(2), "ef");
    EXPECT_EQ(s.Right(99), "abcdef");
    EXPECT_EQ(s.Mid(2), "cdef");
    EXPECT_EQ(s.Mid(2, 2), "cd");
    EXPECT_EQ(s.Mid(-3, 2), "ab");
    EXPECT_EQ(s.Mid(4, 10), "ef");
    EXPECT_EQ(s.Mid(10), "");
    EXPECT_EQ(s.Mid(1, -1), "");
    EXPECT_EQ(s.GetAt(6), '\0');
    EXPECT_EQ(s[-1], '\0');
    EXPECT_EQ(s.SpanIncluding("fedcba"), "abcdef");
    EXPECT_EQ(s.SpanIncluding("ba"), "ab");
    EXPECT_EQ(s.SpanExcluding("xyz"), "abcdef");
    EXPECT_EQ(s.SpanExcluding("dx"), "abc");
}

TEST(CString, SearchReturnsMinusOneWhenAbsent) {
    CString s("a=b=c");
    EXPECT_EQ(s.Find('='), 1);
    EXPECT_EQ(s.Find('=', 2), 3);
    EXPECT_EQ(s.Find('=', 5), -1);
    EXPECT_EQ(s.Find("b=c"), 2);
    EXPECT_EQ(s.Find("x"), -1);
    EXPECT_EQ(s.Find(""), 0);
    EXPECT_EQ(s.ReverseFind('='), 3);
    EXPECT_EQ(s.ReverseFind('x'), -1);
    EXPECT_EQ(s.FindOneOf("cb"), 2);
    EXPECT_EQ(s.FindOneOf("xyz"), -1);
}

TEST(CString, ComparisonIsBytewiseAndNoCaseIsAscii) {
    CString s("Abc");
    EXPECT_TRUE(s == "Abc");
    EXPECT_FALSE(s == "abc");
    EXPECT_EQ(s.CompareNoCase("aBC"), 0);
    EXPECT_LT(s.CompareNoCase("abd"), 0);
    EXPECT_GT(s.CompareNoCase("ab"), 0);
    EXPECT_LT(CString("ab").Compare("abc"), 0);
    // Bytes above 0x7F sort after ASCII, and are not case-mapped.
    EXPECT_LT(CString("z").Compare("\xB1"), 0);
    EXPECT_NE(CString("\xA5").CompareNoCase("\xB9"), 0);
    EXPECT_TRUE(CString("a") < CString("b"));
}

TEST(CString, KeepsEmbeddedZeroBytes) {
    const char raw[] = {'a', '\0', 'b'};
    CString s(raw, 3);
    EXPECT_EQ(s.GetLength(), 3);
    CString t = s + s;
    EXPECT_EQ(t.GetLength(), 6);
    EXPECT_EQ(t.Find('b', 3), 5);
    EXPECT_NE(s, CString("a"));
    // Extraction and concatenation copy bytes by count, never up to a zero.
    EXPECT_EQ(t.Mid(1, 4), CString(std::string("\0ba\0", 4)));
    EXPECT_EQ(t.Right(2), CString(std::string("\0b", 2)));
    EXPECT_EQ(t.Left(4), CString(std::string("a\0ba", 4)));
    EXPECT_EQ('x' + s + 'y', CString(std::string("xa\0by", 5)));
    EXPECT_EQ("x" + s + (const char*)nullptr, CString(std::string("xa\0b", 4)));
    EXPECT_EQ(CString(nullptr, 3), "");
}

TEST(CString, EditingOperations) {
    CString s("  Hello World \t\r\n");
    s.Trim();
    EXPECT_EQ(s, "Hello World");
    EXPECT_EQ(s.Replace("o", "00"), 2);
    EXPECT_EQ(s, "Hell00 W00rld");
    EXPECT_EQ(s.Remove('0'), 4);
    EXPECT_EQ(s.Replace('l', 'L'), 3);
    EXPECT_EQ(s, "HeLL WrLd");
    EXPECT_EQ(s.Insert(99, "!"), 10);
    EXPECT_EQ(s.Insert(0, '>'), 11);
    EXPECT_EQ(s.Delete(1, 5), 6);
    EXPECT_EQ(s, ">WrLd!");
    s.MakeLower();
    EXPECT_EQ(s, ">wrld!");
    s.MakeUpper();
    EXPECT_EQ(s, ">WRLD!");
    CString dots("..x..");
    EXPECT_EQ(dots.TrimLeft('.'), "x..");
    EXPECT_EQ(dots.TrimRight(".x"), "");
    EXPECT_EQ(CString("abc").Replace("", "x"), 0);
}

TEST(CString, BufferAccess) {
    CString s;
    char* p = s.GetBuffer(16);
    snprintf(p, 17, "%s", "filled");
    s.ReleaseBuffer();
    EXPECT_EQ(s, "filled");
    s.GetBuffer(10);
    s.ReleaseBuffer(3);
    EXPECT_EQ(s, "fil");
    EXPECT_EQ(CString('x', 3), "xxx");
    EXPECT_EQ(CString(nullptr), "");
    EXPECT_EQ(CString("abc", -1), "");
}
