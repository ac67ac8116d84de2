#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

// A store that is never saved: the exchange only touches its table.
class Exchange : public ::testing::Test {
protected:
    zep3test::TempDir dir;
    CIniFile ini{dir.file("x.ini").c_str(), false};

    std::string text(const char* key) {
        CString value;
        return ini.ExchangeSimpleObject(0, key, &value) ? value.str() : "<absent>";
    }
    void setText(const char* key, const char* value) {
        CString v(value);
        ini.ExchangeSimpleObject(1, key, &v);
    }
    template <class T> std::string written(T value) {
        EXPECT_TRUE(ExchangeObject(&ini, 1, "V", &value));
        return text("V");
    }
    template <class T> T readAs(const char* stored, T initial = T()) {
        setText("V", stored);
        T value = initial;
        EXPECT_TRUE(ExchangeObject(&ini, 0, "V", &value));
        return value;
    }
};

} // namespace

TEST_F(Exchange, IntegerTextsAndTheDecimalRule) {
    EXPECT_EQ(written(-5) + written(static_cast<unsigned>(-5)), "-54294967291");
    EXPECT_EQ(readAs<int>("4294967291"), -5);
    EXPECT_EQ(written<short>(-1) + written<unsigned short>(65535) + written<unsigned char>(200), "-165535200");
    EXPECT_EQ(readAs<unsigned short>("70000") + readAs<short>("40000") + readAs<unsigned char>("300"),
              4464 - 25536 + 44);
    EXPECT_EQ(readAs<int>(" \t+12abc") + readAs<int>("abc", 7), 12);
    EXPECT_EQ(readAs<int>("99999999999"), static_cast<int>(99999999999ll % 4294967296ll));
    // long is 64-bit here; its texts and values stay 32-bit.
    EXPECT_EQ(written<long>(0x100000005l) + written<unsigned long>(4294967295ul), "54294967295");
    EXPECT_EQ(readAs<long>("4294967295"), -1l);
    EXPECT_EQ(readAs<unsigned long>("-1"), 4294967295ul);
    EXPECT_EQ(written(true) + written(false), "10");
    EXPECT_TRUE(readAs<bool>("-3"));
    EXPECT_FALSE(readAs<bool>("0x1", true)) << "digits stop at the x";
    EXPECT_EQ(readAs<CTime>("-86400").GetTime(), -86400);
}

TEST_F(Exchange, AbsentItemsOtherModesAndNullPointers) {
    int i = 7;
    CTime t(1000);
    float f = 3.0f;
    double d = 3.0;
    EXPECT_FALSE(ExchangeObject(&ini, 0, "Missing", &i) || ExchangeObject(&ini, 0, "Missing", &t) ||
                 ExchangeObject(&ini, 0, "Missing", &f) || ExchangeObject(&ini, 0, "Missing", &d));
    EXPECT_TRUE(i == 7 && t.GetTime() == 1000);
    EXPECT_TRUE(f == 0.0f && d == 0.0) << "floats follow even an absent item";

    setText("V", "5");
    CRect r(1, 2, 3, 4);
    CMemory m(3, "abc");
    EXPECT_TRUE(ExchangeObject(&ini, 2, "V", &i) && ExchangeObject(&ini, 2, "R", &r) &&
                ExchangeObject(&ini, -1, "M", &m));
    EXPECT_EQ(text("V") + text("R\\Left") + text("M\\Size") + std::to_string(i), "5<absent><absent>7");
    EXPECT_FALSE(ExchangeObject(&ini, 0, "V", static_cast<int*>(nullptr)));
    EXPECT_TRUE(ExchangeObject(&ini, 1, "V", static_cast<CRect*>(nullptr)));
    EXPECT_FALSE(ExchangeObject(nullptr, 0, "V", &i));
}

TEST_F(Exchange, FloatsKeepSinglePrecisionTexts) {
    EXPECT_EQ(written(1.5f) + written(0.1), "  1.500000  0.100000");
    EXPECT_EQ(readAs<double>("  0.100000"), static_cast<double>(0.1f));
    EXPECT_EQ(readAs<float>(" -2.5e1xyz"), -25.0f);
    EXPECT_EQ(readAs<float>("junk", 4.0f) + readAs<float>("--5") + readAs<float>("+-5"), 0.0f);
    // Beyond float's or double's range: infinity; below it: zero.
    EXPECT_EQ(readAs<float>("1e39"), INFINITY);
    EXPECT_EQ(readAs<double>("-1e400"), -INFINITY);
    EXPECT_EQ(readAs<float>("1e-400", 4.0f), 0.0f);
    EXPECT_EQ(written(1e300), "       inf");
}

TEST_F(Exchange, FontsAsCommaSeparatedFields) {
    LOGFONT font{};
    std::strcpy(font.lfFaceName, "Arial");
    font.lfHeight = -13;
    font.lfWeight = 700;
    EXPECT_EQ(written(font), "Arial,-13,0,700,0,0,0,0,0,0,0,0,0,0");

    const std::string full = std::string(32, 'F') + ",1,2,3,255,5,6,238,8,9,10,11,-12,13";
    LOGFONT all{};
    std::memset(all.lfFaceName, 'F', LF_FACESIZE); // no terminating zero
    all.lfHeight = 1, all.lfWidth = 2, all.lfWeight = 3, all.lfItalic = 255, all.lfUnderline = 5;
    all.lfStrikeOut = 6, all.lfCharSet = 238, all.lfOutPrecision = 8, all.lfClipPrecision = 9;
    all.lfQuality = 10, all.lfPitchAndFamily = 11, all.lfEscapement = -12, all.lfOrientation = 13;
    EXPECT_EQ(written(all), full);
    LOGFONT back = readAs<LOGFONT>(full.c_str());
    std::memset(all.lfFaceName + 31, 0, 1); // read back: 31 characters and a zero
    EXPECT_EQ(std::memcmp(&back, &all, sizeof back), 0);

    // A missing comma leaves its field empty; the rest waits for the last one.
    LOGFONT shortText = readAs<LOGFONT>("Tahoma,12,300");
    EXPECT_EQ(shortText.lfHeight + shortText.lfWidth + shortText.lfWeight + shortText.lfOrientation, 312);
    EXPECT_STREQ(readAs<LOGFONT>("Tahoma").lfFaceName, "");

    setText("V", "");
    EXPECT_FALSE(ExchangeObject(&ini, 0, "V", &font));
    EXPECT_EQ(font.lfWeight, 700);
}

TEST_F(Exchange, RectanglesPointsAndSizesAreChildViews) {
    CIniFile cam(&ini, "\\Cam1");
    CRect zone(1, -2, 300, 400), zone2;
    CPoint p(5, -6), p2;
    CSize s(7, 8), s2;
    EXPECT_TRUE(ExchangeObject(&cam, 1, "Zone", &zone) && ExchangeObject(&cam, 1, "P", &p) &&
                ExchangeObject(&cam, 1, "S", &s));
    EXPECT_EQ(text("Cam1\\Zone\\Left") + text("Cam1\\Zone\\Top") + text("Cam1\\Zone\\Right") +
                  text("Cam1\\Zone\\Bottom") + text("Cam1\\P\\X") + text("Cam1\\P\\Y") + text("Cam1\\S\\CX") +
                  text("Cam1\\S\\CY"),
              "1-23004005-678");
    EXPECT_TRUE(ExchangeObject(&cam, 0, "Zone", &zone2) && ExchangeObject(&cam, 0, "P", &p2) &&
                ExchangeObject(&cam, 0, "S", &s2));
    EXPECT_TRUE(zone2 == zone && p2 == p && s2 == s);

    // The first absent part ends the read; the parts before it are taken.
    setText("Part\\Left", "11");
    setText("Part\\Right", "33");
    CRect partial(-1, -1, -1, -1);
    EXPECT_FALSE(ExchangeObject(&ini, 0, "Part", &partial));
    EXPECT_EQ(partial, CRect(11, -1, -1, -1));
}

TEST_F(Exchange, ByteBlocksAsHexRows) {
    unsigned char bytes[21];
    for (int i = 0; i < 21; ++i) bytes[i] = static_cast<unsigned char>(i * 13);
    CMemory block(20, bytes);
    EXPECT_TRUE(ExchangeObject(&ini, 1, "Blob", &block));
    EXPECT_EQ(text("Blob\\Size"), "20");
    EXPECT_EQ(text("Blob\\0x0000"), "000D1A2734414E5B6875828F9CA9B6C3");
    EXPECT_EQ(text("Blob\\0x0010"), "D0DDEAF7");
    char pointer[32];
    std::snprintf(pointer, sizeof pointer, "0x%08lX", reinterpret_cast<unsigned long>(block.GetData()));
    EXPECT_EQ(text("Blob\\Pointer"), pointer);

    CMemory empty, sameSize(20, nullptr), wrongSize(21, bytes);
    EXPECT_TRUE(ExchangeObject(&ini, 0, "Blob", &empty));
    EXPECT_TRUE(ExchangeObject(&ini, 0, "Blob", &sameSize));
    EXPECT_TRUE(empty == block && sameSize == block);
    EXPECT_FALSE(ExchangeObject(&ini, 0, "Blob", &wrongSize));
    EXPECT_EQ(wrongSize, CMemory(21, bytes));

    for (const char* size : {"10240", "-1"}) {
        setText("Blob\\Size", size);
        CMemory m;
        EXPECT_FALSE(ExchangeObject(&ini, 0, "Blob", &m)) << size;
    }
    setText("Blob\\Size", "20");
    setText("Blob\\0x0010", "D0DDEAF");
    CMemory shortRow;
    EXPECT_FALSE(ExchangeObject(&ini, 0, "Blob", &shortRow));
    EXPECT_EQ(std::memcmp(shortRow.GetData(), bytes, 16), 0) << "rows decoded before stay";

}
