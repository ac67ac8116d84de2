#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> fromHex(const std::string& digits) {
    std::vector<unsigned char> bytes(digits.size() / 2);
    EXPECT_TRUE(CHexText::Decrypt(digits.c_str(), bytes.data(), static_cast<int>(bytes.size())));
    return bytes;
}

} // namespace

TEST(CRC4, KeyStreamMatchesPublishedVectors) {
    struct {
        const char* key;
        size_t offset;
        const char* stream;
    } vectors[] = {
        {"0102030405", 0, "B2396305F03DC027CCC3524A0A1118A8"},
        {"0102030405", 16, "6982944F18FC82D589C403A47A0D0919"},
        {"0102030405", 256, "1CFCF62B03EDDB641D77DFCF7F8D8C93"},
        {"0102030405060708090A0B0C0D0E0F10", 0, "9AC7CC9A609D1EF7B2932899CDE41B97"},
        {"0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20", 0,
         "EAA6BD25880BF93D3F5D1E4CA2611D91"},
        {"833222772A", 0, "80AD97BDC973DF8A2E879E92A497EFDA"},
    };
    for (const auto& v : vectors) {
        std::vector<unsigned char> key = fromHex(v.key), zeros(v.offset + 16, 0);
        // The stream runs on across calls: reach the offset in two steps.
        CRC4 rc4;
        const size_t half = v.offset / 2 + 1;
        rc4.Init(key.data(), static_cast<int>(key.size()));
        ASSERT_TRUE(rc4.Crypt(zeros.data(), static_cast<int>(half)));
        ASSERT_TRUE(rc4.Crypt(zeros.data() + half, static_cast<int>(zeros.size() - half)));
        EXPECT_EQ(CHexText::Encrypt(zeros.data() + v.offset, 16), v.stream) << v.key << " @" << v.offset;
    }
}

TEST(CRC4, UninitialisedRefusesAndStaticFormsRoundTrip) {
    unsigned char data[] = "attack at dawn";
    CRC4 idle;
    idle.Init(nullptr, 3); // no key: not initialised
    EXPECT_FALSE(idle.Crypt(data, 5));
    EXPECT_STREQ(reinterpret_cast<char*>(data), "attack at dawn");

    CRC4::Crypt(data, 14, "Secret");
    EXPECT_STRNE(reinterpret_cast<char*>(data), "attack at dawn");
    CRC4::Crypt(data, 14, reinterpret_cast<const unsigned char*>("Secret"), 6);
    EXPECT_STREQ(reinterpret_cast<char*>(data), "attack at dawn");
}

TEST(CCryptoRc5, PublishedVectors) {
    // RC5-32/12/16, a chain in which each plaintext is the previous ciphertext;
    // blocks as bytes, loaded into little-endian words.
    const char* vectors[][3] = {
        {"00000000000000000000000000000000", "0000000000000000", "21A5DBEE154B8F6D"},
        {"915F4619BE41B2516355A50110A9CE91", "21A5DBEE154B8F6D", "F7C013AC5B2B8952"},
        {"5269F149D41BA0152497574D7F153125", "65C178B284D197CC", "EB44E415DA319824"},
    };
    for (auto& v : vectors) {
        std::vector<unsigned char> key = fromHex(v[0]), plain = fromHex(v[1]);
        CCryptoRc5 rc5;
        EXPECT_TRUE(rc5.Setup(CString(reinterpret_cast<char*>(key.data()), 16), 12));
        DWORD block[2];
        memcpy(block, plain.data(), 8);
        ASSERT_TRUE(rc5.Encrypt(block, block, 2));
        EXPECT_EQ(CHexText::Encrypt(reinterpret_cast<unsigned char*>(block), 8), v[2]) << v[0];
        ASSERT_TRUE(rc5.Decrypt(block, block, 2));
        EXPECT_EQ(0, memcmp(block, plain.data(), 8));
    }
}

TEST(CCryptoRc5, WordCountsKeysAndLongWords) {
    CCryptoRc5 rc5, padded;
    rc5.Setup("short", 15);
    EXPECT_EQ(rc5.GetKey(), "short");
    unsigned long in[4] = {1, 2, 3, 4}, out[4] = {9, 9, 9, 9}, same[4];
    EXPECT_FALSE(rc5.Encrypt(out, in, 3)); // odd word count
    EXPECT_EQ(out[0], 9ul);

    // A short key is the same key padded with zero bytes to 16.
    padded.Setup(CString("short\0\0\0\0\0\0\0\0\0\0\0", 16), 15);
    ASSERT_TRUE(rc5.Encrypt(out, in, 4) && padded.Encrypt(same, in, 4));
    EXPECT_TRUE(std::equal(out, out + 4, same));

    // Each unsigned long carries one word in its low half; results are
    // zero-extended and agree with the 32-bit word form.
    unsigned long tagged[2] = {0xFFFFFFFF00000001ul, 0x1234567800000002ul};
    DWORD words[2] = {1, 2};
    ASSERT_TRUE(rc5.Encrypt(tagged, tagged, 2) && rc5.Encrypt(words, words, 2));
    EXPECT_TRUE(tagged[0] == words[0] && tagged[1] == words[1]);

    // An empty key changes only the round count; rounds beyond 15 count as 15.
    rc5.Setup("", 15);
    EXPECT_EQ(rc5.GetKey(), "short");
    rc5.Setup("a key longer than sixteen", 99);
    padded.Setup("a key longer tha", 15);
    ASSERT_TRUE(rc5.Encrypt(out, in, 4) && padded.Encrypt(same, in, 4));
    EXPECT_TRUE(std::equal(out, out + 4, same));
}
