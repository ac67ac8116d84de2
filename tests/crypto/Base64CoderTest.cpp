#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Goes through the replaceable steps group by group, and shows the buffers.
class SteppedCoder : public Base64Coder {
public:
    uint32_t encodeCapacity() const { return m_nEBufLen; }
    uint32_t decodedCount() const { return m_nDDataLen; }
};

std::string decode(Base64Coder& coder, const std::string& text) {
    coder.Decode(reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())), text.size());
    return coder.DecodedMessage();
}

} // namespace

TEST(Base64Coder, PublishedVectorsBothWays) {
    const char* vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
                                {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    Base64Coder coder;
    SteppedCoder stepped;
    for (auto& v : vectors)
        for (Base64Coder* c : {&coder, static_cast<Base64Coder*>(&stepped)}) {
            c->Encode(v[0]);
            EXPECT_STREQ(c->EncodedMessage(), v[1]);
            c->Decode(v[1]);
            EXPECT_STREQ(c->DecodedMessage(), v[0]);
        }
}

TEST(Base64Coder, WhiteSpaceIsDroppedAndShortTailsDecode) {
    Base64Coder coder;
    EXPECT_EQ(decode(coder, " Zm9v\r\nYm\tFy\x07\x08\x0B\x0C "), "foobar");
    EXPECT_STREQ(coder.EncodedMessage(), "Zm9vYmFy");
    EXPECT_EQ(decode(coder, "Zm9vYg"), "foob"); // two characters left: one byte
    // The top bit is ignored: 0xDA decodes as 'Z'.
    EXPECT_EQ(decode(coder, "\xDAm9v"), "foo");

    // In a short last group "=" counts as 0 wherever it stands.
    SteppedCoder stepped;
    for (Base64Coder* c : {&coder, static_cast<Base64Coder*>(&stepped)}) {
        EXPECT_EQ(decode(*c, "Zm9vY="), "foo`");
        EXPECT_EQ(decode(*c, "Zm9v="), "foo");
    }
    EXPECT_EQ(stepped.decodedCount(), 4u); // grows by the characters left over
}

TEST(Base64Coder, InvalidTextGivesTheSameBytesOnEveryPath) {
    // Any byte at all, invalid characters included, takes part in the
    // arithmetic; the inline path and the step-by-step path must agree.
    std::mt19937 rng(4);
    Base64Coder coder;
    SteppedCoder stepped;
    for (int round = 0; round < 200; ++round) {
        std::string text(rng() % 90, '\0');
        for (auto& c : text) c = static_cast<char>(rng() % 3 ? rng() : "=+/\n"[rng() % 4]);
        decode(coder, text);
        decode(stepped, text);
        ASSERT_EQ(0, std::memcmp(coder.DecodedMessage(), stepped.DecodedMessage(), text.size()));
        ASSERT_STREQ(coder.EncodedMessage(), stepped.EncodedMessage());
    }
    EXPECT_EQ(decode(coder, "A*AA"), "\x03\xE0"); // '*' is 254, taken as 62 ('+')
}

TEST(Base64Coder, BuffersGrowByPagesAndSurviveReuse) {
    SteppedCoder coder;
    std::vector<unsigned char> data(4096, 'x');
    coder.Encode(data.data(), data.size());
    EXPECT_EQ(coder.encodeCapacity(), 12288u); // 2 * 4096, then the next page above
    coder.Encode("ab");
    EXPECT_EQ(coder.encodeCapacity(), 12288u); // never shrinks

    // Our own output as input; a text exactly as long as the buffer still ends in a zero.
    coder.Decode(coder.EncodedMessage());
    EXPECT_STREQ(coder.DecodedMessage(), "ab");
    std::string full(12288, 'A');
    EXPECT_EQ(decode(coder, full).size(), 0u);
    EXPECT_EQ(std::strlen(coder.EncodedMessage()), full.size());

    // Copies own their buffers.
    Base64Coder original;
    original.Encode("copy me");
    Base64Coder copy(original);
    original = Base64Coder();
    EXPECT_STREQ(copy.EncodedMessage(), "Y29weSBtZQ==");
    copy.Encode(static_cast<const char*>(nullptr));
    copy.Decode(nullptr, 10);
    EXPECT_STREQ(copy.DecodedMessage(), "");
}

TEST(Base64Coder, SubclassStepsAreUsed) {
    // The URL-safe alphabet and '.' as white space, by replacing two steps.
    class UrlCoder : public Base64Coder {
        void _EncodeToBuffer(const TempBucket& sextets, unsigned char* out) override {
            Base64Coder::_EncodeToBuffer(sextets, out);
            for (int k = 0; k < 4; ++k) out[k] = out[k] == '+' ? '-' : out[k] == '/' ? '_' : out[k];
        }
        int _IsBadMimeChar(unsigned char c) override { return c == '.' || Base64Coder::_IsBadMimeChar(c); }
    } url;
    url.Encode("\xFB\xFF");
    EXPECT_STREQ(url.EncodedMessage(), "-_8=");
    EXPECT_EQ(decode(url, "Zm9v.Ym.Fy"), "foobar");
}
