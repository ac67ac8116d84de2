#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(CHexText, EncodesUpperCaseAndDecodesLeniently) {
    unsigned char bytes[] = {0x00, 0xAB};
    EXPECT_EQ(CHexText::Encrypt(bytes, 2), "00AB");
    EXPECT_EQ(CHexText::Encrypt(nullptr, 2), "");

    unsigned char out[2] = {1, 1};
    EXPECT_TRUE(CHexText::Decrypt(" 00ab\t", out, 2));
    EXPECT_EQ(out[0] << 8 | out[1], 0x00AB);

    // Refusals write nothing.
    unsigned char guard[2] = {7, 7};
    EXPECT_FALSE(CHexText::Decrypt("abc", guard, 2));
    EXPECT_FALSE(CHexText::Decrypt("0011AA", guard, 2));
    EXPECT_FALSE(CHexText::Decrypt("00", nullptr, 2));
    EXPECT_EQ(guard[0], 7);

    // Characters outside the digits are not rejected: 'G' counts 16, '/' counts -1.
    EXPECT_TRUE(CHexText::Decrypt("G0/0", guard, 2));
    EXPECT_EQ(guard[0] << 8 | guard[1], 0x00F0); // 16 * 16 and 16 * -1, low 8 bits
}

TEST(CCryptString, HexOfTextXoredWithDigestText) {
    // SHA-1 of "key" starts with the digits "A62": 'a' ^ 'A', 'b' ^ '6', 'c' ^ '2'.
    EXPECT_EQ(CCryptString::EncryptString("abc", "key"), "205451");
    EXPECT_EQ(CCryptString::EncryptString("", "key"), "");

    CString text;
    for (int i = 0; i < 100; ++i) text += static_cast<char>(i * 37 + 1); // past 40: the stream repeats
    CString sealed = CCryptString::EncryptString(text, "pass");
    EXPECT_EQ(sealed.GetLength(), 200);
    EXPECT_EQ(CCryptString::DecryptString(" " + sealed + "\n", "pass"), text);
    EXPECT_NE(CCryptString::DecryptString(sealed, "Pass"), text);
    EXPECT_EQ(CCryptString::DecryptString(sealed.Left(199), "pass"), "");
}

TEST(UpdateCRC, CheckValueAndBlockFormAgree) {
    EXPECT_EQ(UpdateCRC(0, "123456789", 9), 0x2189);
    EXPECT_EQ(UpdateCRC(0x1234, nullptr, 5), 0x1234);

    // Every length around the 16-byte stride, from unaligned starts and any initial value.
    std::mt19937 rng(6);
    std::vector<unsigned char> data(300);
    for (auto& b : data) b = static_cast<unsigned char>(rng());
    for (size_t start = 0; start < 8; ++start)
        for (size_t length = 0; length + start <= data.size(); length += 1 + length / 16) {
            int initial = static_cast<int>(rng() & 0xFFFF), bytewise = initial;
            for (size_t i = 0; i < length; ++i) bytewise = UpdateCRC(bytewise, data[start + i]);
            ASSERT_EQ(UpdateCRC(initial, data.data() + start, length), bytewise) << start << "+" << length;
        }
}
