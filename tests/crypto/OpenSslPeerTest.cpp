// Random inputs against OpenSSL's implementations.
#include <zep3/zep3.h>

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<unsigned char> randomBytes(std::mt19937& rng, size_t n) {
    std::vector<unsigned char> v(n);
    for (auto& b : v) b = static_cast<unsigned char>(rng());
    return v;
}

} // namespace

TEST(OpenSslPeer, Sha1OfRandomMessagesInRandomPieces) {
    std::mt19937 rng(1);
    for (size_t n : {0, 55, 56, 64, 119, 120, 1000, 70000}) {
        std::vector<unsigned char> msg = randomBytes(rng, n);
        unsigned char expected[20], oneShot[20], pieces[20];
        unsigned int size = 0;
        ASSERT_TRUE(EVP_Digest(msg.data(), n, expected, &size, EVP_sha1(), nullptr));
        CHash::SHA1(oneShot, msg.data(), static_cast<int>(n));
        CHash hash;
        for (size_t done = 0, piece; done < n; done += piece) {
            piece = std::min<size_t>(rng() % 200, n - done);
            hash.SHA1Update(msg.data() + done, static_cast<int>(piece));
        }
        hash.SHA1GetSum(pieces);
        EXPECT_EQ(0, memcmp(expected, oneShot, 20)) << n;
        EXPECT_EQ(0, memcmp(expected, pieces, 20)) << n;
    }
}

TEST(OpenSslPeer, Rc4OfRandomKeysAndData) {
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    ASSERT_NE(legacy, nullptr) << "OpenSSL's legacy provider (RC4) is missing";
    OSSL_PROVIDER* base = OSSL_PROVIDER_load(nullptr, "default");
    EVP_CIPHER* rc4 = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    ASSERT_NE(rc4, nullptr);
    std::mt19937 rng(2);
    for (int round = 0; round < 40; ++round) {
        std::vector<unsigned char> key = randomBytes(rng, 1 + rng() % 256);
        std::vector<unsigned char> data = randomBytes(rng, rng() % 5000), ours = data,
                                   theirs(data.size() + 16);
        EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
        ASSERT_TRUE(EVP_EncryptInit_ex2(ctx, rc4, nullptr, nullptr, nullptr));
        ASSERT_TRUE(EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())));
        ASSERT_TRUE(EVP_EncryptInit_ex2(ctx, nullptr, key.data(), nullptr, nullptr));
        int written = 0;
        ASSERT_TRUE(
            EVP_EncryptUpdate(ctx, theirs.data(), &written, data.data(), static_cast<int>(data.size())));
        EVP_CIPHER_CTX_free(ctx);

        CRC4 cipher;
        cipher.Init(key.data(), static_cast<int>(key.size()));
        size_t half = data.size() / 3;
        ASSERT_TRUE(cipher.Crypt(ours.data(), static_cast<int>(half)));
        ASSERT_TRUE(cipher.Crypt(ours.data() + half, static_cast<int>(data.size() - half)));
        ASSERT_EQ(written, static_cast<int>(data.size()));
        ASSERT_EQ(0, memcmp(ours.data(), theirs.data(), data.size())) << "key of " << key.size();
    }
    EVP_CIPHER_free(rc4);
    OSSL_PROVIDER_unload(base);
    OSSL_PROVIDER_unload(legacy);
}

TEST(OpenSslPeer, Base64OfRandomData) {
    std::mt19937 rng(3);
    Base64Coder coder;
    for (int round = 0; round < 300; ++round) {
        std::vector<unsigned char> data = randomBytes(rng, round < 100 ? round : rng() % 20000);
        std::vector<unsigned char> text(4 * (data.size() / 3 + 1) + 1), back(data.size() + 3);
        int length = EVP_EncodeBlock(text.data(), data.data(), static_cast<int>(data.size()));
        coder.Encode(data.data(), data.size());
        ASSERT_STREQ(coder.EncodedMessage(), reinterpret_cast<char*>(text.data()));

        // OpenSSL counts padding as zero bytes, as the decoder does.
        int decoded = EVP_DecodeBlock(back.data(), text.data(), length);
        coder.Decode(text.data(), static_cast<unsigned long>(length));
        auto ours = reinterpret_cast<const unsigned char*>(coder.DecodedMessage());
        ASSERT_TRUE(std::equal(back.begin(), back.begin() + decoded, ours));
    }
}
