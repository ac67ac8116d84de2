#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <map>
#include <random>

TEST(CArray, GrowsInsertsAndRemoves) {
    CArray<int, int> a;
    a.SetSize(3);
    EXPECT_EQ(a[0] + a[1] + a[2], 0); // new entries are zero
    a.SetAtGrow(5, 9);
    EXPECT_EQ(a.GetSize(), 6);
    EXPECT_EQ(a[4], 0);
    a.InsertAt(0, 7, 2);
    EXPECT_EQ(a.GetSize(), 8);
    EXPECT_EQ(a[1], 7);
    a.InsertAt(1, a[0]); // an argument referring into the array
    EXPECT_EQ(a[1], 7);
    a.RemoveAt(0, 3);
    EXPECT_EQ(a.GetSize(), 6);
    a.RemoveAt(4, 100);
    EXPECT_EQ(a.GetSize(), 4);
    a.RemoveAt(10); // ignored
    EXPECT_EQ(a.Add(1), 4);
    a.InsertAt(0, &a);
    EXPECT_EQ(a.GetSize(), 10);
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.GetData(), nullptr);
}

TEST(CArray, AddsAndAppendsItsOwnEntriesAcrossGrowth) {
    CArray<CString> a;
    a.Add(CString("first"));
    // Each Add of an own entry at full capacity moves the storage under it.
    for (int i = 0; i < 40; ++i) a.Add(a[0]);
    a.Append(a);
    ASSERT_EQ(a.GetSize(), 82);
    for (INT_PTR i = 0; i < a.GetSize(); ++i) EXPECT_STREQ(a[i], "first");
}

TEST(CArrayEx, CopiesAreDeep) {
    CArrayEx<CString, const CString&> a;
    a.Add("one");
    CArrayEx<CString, const CString&> b(a);
    b[0] = "two";
    EXPECT_EQ(a[0], "one");
    a = b;
    EXPECT_EQ(a[0], "two");
}

TEST(CList, PositionsWalkBothWays) {
    CList<int, int> l;
    EXPECT_EQ(l.GetHeadPosition(), nullptr);
    l.AddTail(2);
    l.AddTail(3);
    l.AddHead(1);
    POSITION p3 = l.Find(3);
    l.InsertBefore(p3, 25);
    l.InsertAfter(p3, 4);
    int expect[] = {1, 2, 25, 3, 4};
    int i = 0;
    for (POSITION p = l.GetHeadPosition(); p;) EXPECT_EQ(l.GetNext(p), expect[i++]);
    EXPECT_EQ(i, 5);
    for (POSITION p = l.GetTailPosition(); p;) EXPECT_EQ(l.GetPrev(p), expect[--i]);
    l.RemoveAt(l.FindIndex(2));
    EXPECT_EQ(l.RemoveHead(), 1);
    EXPECT_EQ(l.RemoveTail(), 4);
    EXPECT_EQ(l.GetCount(), 2);
    CList<int, int> copy(l);
    l.RemoveAll();
    EXPECT_EQ(copy.GetHead(), 2);
    EXPECT_EQ(copy.GetTail(), 3);
    EXPECT_EQ(l.RemoveHead(), 0); // empty list: a default value, no crash
}

TEST(CMap, AgreesWithStdMapUnderRandomEdits) {
    CMap<CString, const char*, int, int> m;
    std::map<std::string, int> ref;
    std::mt19937 rng(7);
    for (int step = 0; step < 5000; ++step) {
        std::string key = "k" + std::to_string(rng() % 300);
        if (rng() % 3 == 0) {
            EXPECT_EQ(m.RemoveKey(key.c_str()), ref.erase(key) == 1);
        } else {
            int v = static_cast<int>(rng());
            m[key.c_str()] = v;
            ref[key] = v;
        }
    }
    ASSERT_EQ(m.GetCount(), static_cast<INT_PTR>(ref.size()));
    std::map<std::string, int> seen;
    for (POSITION p = m.GetStartPosition(); p;) {
        CString k;
        int v;
        m.GetNextAssoc(p, k, v);
        EXPECT_TRUE(seen.emplace(k.GetString(), v).second);
    }
    EXPECT_EQ(seen, ref);
    int v = 0;
    EXPECT_FALSE(m.Lookup("absent", v));
    CMap<CString, const char*, int, int> copy(m);
    m.RemoveAll();
    EXPECT_EQ(copy.GetCount(), static_cast<INT_PTR>(ref.size()));
    EXPECT_EQ(m.GetStartPosition(), nullptr);
}

TEST(CMap, PointerKeysAndTableSize) {
    CMap<void*, void*, int, int> m;
    m.InitHashTable(101);
    int a, b;
    m.SetAt(&a, 1);
    m.SetAt(&b, 2);
    m.InitHashTable(7); // ignored once filled
    EXPECT_EQ(m.GetHashTableSize(), 101u);
    int v = 0;
    EXPECT_TRUE(m.Lookup(&b, v));
    EXPECT_EQ(v, 2);
}
