#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <string>

namespace {

CString hex(const unsigned char (&digest)[20]) {
    return CHexText::Encrypt(const_cast<unsigned char*>(digest), 20);
}

} // namespace

TEST(CHash, PublishedVectors) {
    EXPECT_EQ(CHash::SHA1(CString("abc")), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(CHash::SHA1(CString("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    EXPECT_EQ(CHash::SHA1(CString()), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
    std::string a(1000000, 'a');
    unsigned char digest[20];
    CHash::SHA1(digest, a.data(), static_cast<int>(a.size()));
    EXPECT_EQ(hex(digest), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

TEST(CHash, CopyCarriesTheUnfinishedBlockAndInitRestarts) {
    char text[] = "The quick brown fox jumps over the lazy dog, again and again and again and again.";
    unsigned char whole[20], copied[20];
    CHash::SHA1(whole, text, 81);
    CHash hash;
    hash.SHA1Update(text, 70);
    CHash copy(hash);
    hash.SHA1Init();
    hash.SHA1Update(nullptr, 5); // ignored, as is a negative length
    hash.SHA1Update(text, -1);
    copy.SHA1Update(text + 70, 11);
    copy.SHA1GetSum(copied);
    EXPECT_EQ(hex(copied), hex(whole));
    hash.SHA1GetSum(copied);
    EXPECT_EQ(hex(copied), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}
