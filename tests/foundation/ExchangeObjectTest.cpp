#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A store without a file: the exchange only touches the table.
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
    EXPECT_EQ(written(-5), "-5");
    EXPECT_EQ(written(static_cast<unsigned>(-5)), "4294967291");
    EXPECT_EQ(readAs<int>("4294967291"), -5);
    EXPECT_EQ(readAs<unsigned>("4294967295"), 4294967295u);
    EXPECT_EQ(written<short>(-1), "-1");
    EXPECT_EQ(written<unsigned short>(65535), "65535");
    EXPECT_EQ(readAs<unsigned short>("70000"), 4464);
    EXPECT_EQ(readAs<short>("40000"), -25536);
    EXPECT_EQ(written<unsigned char>(200), "200");
    EXPECT_EQ(readAs<unsigned char>("300"), 44);
    EXPECT_EQ(readAs<int>(" \t+12abc"), 12);
    EXPECT_EQ(readAs<int>("-0012"), -12);
    EXPECT_EQ(readAs<int>("abc", 7), 0);
    EXPECT_EQ(readAs<int>("99999999999"), static_cast<int>(99999999999ll % 4294967296ll));
    // long is 64-bit here, its texts and values 32-bit.
    EXPECT_EQ(written<long>(0x100000005l), "5");
    EXPECT_EQ(written<long>(-7), "-7");
    EXPECT_EQ(readAs<long>("4294967295"), -1l);
    EXPECT_EQ(written<unsigned long>(4294967295ul), "4294967295");
    EXPECT_EQ(readAs<unsigned long>("-1"), 4294967295ul);
    EXPECT_EQ(written(true), "1");
    EXPECT_EQ(written(false), "0");
    EXPECT_TRUE(readAs<bool>("-3"));
    EXPECT_FALSE(readAs<bool>("0x1", true)) << "digits stop at the x";
}

TEST_F(Exchange, AbsentItemsAndOtherModes) {
    int i = 7;
    EXPECT_FALSE(ExchangeObject(&ini, 0, "Missing", &i));
    EXPECT_EQ(i, 7);
    CTime t(1000);
    EXPECT_FALSE(ExchangeObject(&ini, 0, "Missing", &t));
    EXPECT_EQ(t.GetTime(), 1000);
    float f = 3.0f;
    EXPECT_FALSE(ExchangeObject(&ini, 0, "Missing", &f));
    EXPECT_EQ(f, 0.0f);
    double d = 3.0;
    EXPECT_FALSE(ExchangeObject(&ini, 0, "Missing", &d));
    EXPECT_EQ(d, 0.0);

    setText("V", "5");
    for (int mode : {2, -1}) {
        i = 9;
        CRect r(1, 2, 3, 4);
        CMemory m(3, "abc");
        EXPECT_TRUE(ExchangeObject(&ini, mode, "V", &i));
        EXPECT_TRUE(ExchangeObject(&ini, mode, "R", &r));
        EXPECT_TRUE(ExchangeObject(&ini, mode, "M", &m));
        EXPECT_EQ(i, 9);
        EXPECT_EQ(text("V"), "5");
        EXPECT_EQ(text("R\\Left"), "<absent>");
        EXPECT_EQ(text("M\\Size"), "<absent>");
    }
    EXPECT_FALSE(ExchangeObject(&ini, 0, "V", static_cast<int*>(nullptr)));
    EXPECT_TRUE(ExchangeObject(&ini, 1, "V", static_cast<CRect*>(nullptr)));
    EXPECT_FALSE(ExchangeObject(nullptr, 0, "V", &i));
}

TEST_F(Exchange, FloatsKeepSingleprecisionTexts) {
    EXPECT_EQ(written(1.5f), "  1.500000");
    EXPECT_EQ(written(-1234567.25f), "-1234567.250000");
    EXPECT_EQ(written(0.1), "  0.100000");
    EXPECT_EQ(readAs<double>("  0.100000"), static_cast<double>(0.1f));
    EXPECT_NE(readAs<double>("0.1"), 0.1);
    EXPECT_EQ(readAs<float>(" -2.5e1xyz"), -25.0f);
    EXPECT_EQ(readAs<float>("+.5"), 0.5f);
    EXPECT_EQ(readAs<float>("junk", 4.0f), 0.0f);
    EXPECT_EQ(written(1e300), "       inf");
}

TEST_F(Exchange, TimesAreSecondsSince1970) {
    EXPECT_EQ(written(CTime(1700000000)), "1700000000");
    EXPECT_EQ(readAs<CTime>("-86400").GetTime(), -86400);
}

TEST_F(Exchange, FontsAsCommaSeparatedFields) {
    LOGFONT font{};
    std::strcpy(font.lfFaceName, "Arial");
    font.lfHeight = -13;
    font.lfWeight = 700;
    EXPECT_EQ(written(font), "Arial,-13,0,700,0,0,0,0,0,0,0,0,0,0");

    LOGFONT full{};
    std::memset(full.lfFaceName, 'F', LF_FACESIZE); // no terminating zero
    full.lfHeight = 1, full.lfWidth = 2, full.lfWeight = 3, full.lfItalic = 255, full.lfUnderline = 5;
    full.lfStrikeOut = 6, full.lfCharSet = 238, full.lfOutPrecision = 8, full.lfClipPrecision = 9;
    full.lfQuality = 10, full.lfPitchAndFamily = 11, full.lfEscapement = -12, full.lfOrientation = 13;
    EXPECT_EQ(written(full), std::string(32, 'F') + ",1,2,3,255,5,6,238,8,9,10,11,-12,13");
    LOGFONT back = readAs<LOGFONT>((std::string(32, 'F') + ",1,2,3,255,5,6,238,8,9,10,11,-12,13").c_str());
    EXPECT_EQ(std::string(back.lfFaceName), std::string(31, 'F'));
    EXPECT_EQ(back.lfCharSet, 238);
    EXPECT_EQ(back.lfItalic, 255);
    EXPECT_EQ(back.lfEscapement, -12);
    EXPECT_EQ(back.lfOrientation, 13);

    // Missing commas: the fields read empty and the rest waits for the last.
    LOGFONT shortText = readAs<LOGFONT>("Tahoma,12,300");
    EXPECT_STREQ(shortText.lfFaceName, "Tahoma");
    EXPECT_EQ(shortText.lfHeight, 12);
    EXPECT_EQ(shortText.lfWidth, 0);
    EXPECT_EQ(shortText.lfWeight, 0);
    EXPECT_EQ(shortText.lfOrientation, 300);
    LOGFONT noComma = readAs<LOGFONT>("Tahoma");
    EXPECT_STREQ(noComma.lfFaceName, "");

    setText("V", "");
    EXPECT_FALSE(ExchangeObject(&ini, 0, "V", &font));
    EXPECT_EQ(font.lfWeight, 700);
}

TEST_F(Exchange, RectanglesPointsAndSizesAreChildViews) {
    CIniFile cam(&ini, "\\Cam1");
    CRect zone(1, -2, 300, 400);
    CPoint p(5, -6);
    CSize s(7, 8);
    EXPECT_TRUE(ExchangeObject(&cam, 1, "Zone", &zone));
    EXPECT_TRUE(ExchangeObject(&cam, 1, "P", &p));
    EXPECT_TRUE(ExchangeObject(&cam, 1, "S", &s));
    EXPECT_EQ(text("Cam1\\Zone\\Left"), "1");
    EXPECT_EQ(text("Cam1\\Zone\\Top"), "-2");
    EXPECT_EQ(text("Cam1\\Zone\\Right"), "300");
    EXPECT_EQ(text("Cam1\\Zone\\Bottom"), "400");
    EXPECT_EQ(text("Cam1\\P\\X") + text("Cam1\\P\\Y"), "5-6");
    EXPECT_EQ(text("Cam1\\S\\CX") + text("Cam1\\S\\CY"), "78");

    CRect r2;
    CPoint p2;
    CSize s2;
    EXPECT_TRUE(ExchangeObject(&cam, 0, "Zone", &r2));
    EXPECT_TRUE(ExchangeObject(&cam, 0, "P", &p2));
    EXPECT_TRUE(ExchangeObject(&cam, 0, "S", &s2));
    EXPECT_EQ(r2, zone);
    EXPECT_EQ(p2, p);
    EXPECT_EQ(s2, s);

    // The first absent part ends the read: earlier parts are taken.
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

    CMemory empty;
    EXPECT_TRUE(ExchangeObject(&ini, 0, "Blob", &empty));
    EXPECT_EQ(empty, block);

    CMemory sameSize(20, nullptr);
    std::memset(sameSize.GetData(), 0, 20);
    EXPECT_TRUE(ExchangeObject(&ini, 0, "Blob", &sameSize));
    EXPECT_EQ(sameSize, block);

    CMemory wrongSize(21, bytes);
    EXPECT_FALSE(ExchangeObject(&ini, 0, "Blob", &wrongSize));
    EXPECT_EQ(wrongSize.GetSize(), 21);

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

    CMemory none;
    EXPECT_TRUE(ExchangeObject(&ini, 1, "None", &none));
    EXPECT_EQ(text("None\\Size"), "0");
    EXPECT_EQ(text("None\\0x0000"), "<absent>");
    EXPECT_TRUE(ExchangeObject(&ini, 0, "None", &none));
    EXPECT_TRUE(none.IsEmpty());
}

TEST_F(Exchange, SurvivesASaveAndARead) {
    CIniFile module(&ini, "Module");
    LOGFONT font{};
    std::strcpy(font.lfFaceName, "Arial");
    CMemory blob(CString("payload"));
    double gain = 2.5;
    CString name("Gate, north");
    ExchangeObject(&module, 1, "Font", &font);
    ExchangeObject(&module, 1, "Blob", &blob);
    ExchangeObject(&module, 1, "Gain", &gain);
    ExchangeObject(&module, 1, "Name", &name);
    ASSERT_TRUE(ini.WriteIniFile(true));

    CIniFile back(dir.file("x.ini").c_str(), true);
    CIniFile view(&back, "Module");
    LOGFONT font2{};
    CMemory blob2;
    double gain2 = 0;
    CString name2;
    EXPECT_TRUE(ExchangeObject(&view, 0, "Font", &font2));
    EXPECT_TRUE(ExchangeObject(&view, 0, "Blob", &blob2));
    EXPECT_TRUE(ExchangeObject(&view, 0, "Gain", &gain2));
    EXPECT_TRUE(ExchangeObject(&view, 0, "Name", &name2));
    EXPECT_STREQ(font2.lfFaceName, "Arial");
    EXPECT_EQ(blob2, blob);
    EXPECT_EQ(gain2, 2.5);
    EXPECT_EQ(name2, name);
}
