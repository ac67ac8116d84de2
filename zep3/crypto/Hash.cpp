#include <zep3/crypto/Hash.h>

#include <zep3/crypto/HexText.h>
#include <zep3/crypto/detail/Sha1Blocks.h>

#include <cstring>

CHash::CHash() { SHA1Init(); }

CHash::~CHash() = default;

void CHash::SHA1Init() { SHA1_starts(&m_Context); }

void CHash::SHA1Update(void* data, int length) {
    if (data && length > 0) SHA1_update(&m_Context, static_cast<const unsigned char*>(data), size_t(length));
}

void CHash::SHA1GetSum(unsigned char (&digest)[20]) { SHA1_finish(&m_Context, digest); }

void CHash::SHA1(unsigned char (&digest)[20], void* data, int length) {
    CSHA1_context ctx;
    SHA1_starts(&ctx);
    if (data && length > 0) SHA1_update(&ctx, static_cast<const unsigned char*>(data), size_t(length));
    SHA1_finish(&ctx, digest);
}

CString CHash::SHA1(const CString& text) {
    unsigned char digest[20];
    SHA1(digest, const_cast<char*>(text.GetString()), text.GetLength());
    return CHexText::Encrypt(digest, sizeof digest);
}

void CHash::SHA1_starts(CSHA1_context* ctx) {
    static const uint32_t initial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    ctx->total[0] = ctx->total[1] = 0;
    std::memcpy(ctx->state, initial, sizeof initial);
    std::memset(ctx->buffer, 0, sizeof ctx->buffer);
}

void CHash::SHA1_update(CSHA1_context* ctx, const unsigned char* input, size_t length) {
    if (length == 0) return;
    size_t used = ctx->total[0] & 63;
    const uint64_t total = (uint64_t(ctx->total[1]) << 32 | ctx->total[0]) + length;
    ctx->total[0] = static_cast<uint32_t>(total);
    ctx->total[1] = static_cast<uint32_t>(total >> 32);

    if (used) {
        size_t fill = 64 - used;
        if (length < fill) {
            std::memcpy(ctx->buffer + used, input, length);
            return;
        }
        std::memcpy(ctx->buffer + used, input, fill);
        SHA1_process(ctx, ctx->buffer);
        input += fill;
        length -= fill;
    }
    // Whole blocks straight from the caller's memory.
    if (length >= 64) {
        zep3::detail::Sha1Blocks()(ctx->state, input, length / 64);
        input += length & ~size_t(63);
        length &= 63;
    }
    if (length) std::memcpy(ctx->buffer, input, length);
}

void CHash::SHA1_process(CSHA1_context* ctx, const unsigned char block[64]) {
    zep3::detail::Sha1Blocks()(ctx->state, block, 1);
}

void CHash::SHA1_finish(CSHA1_context* ctx, unsigned char digest[20]) {
    // The bit length, taken before the padding counts itself in.
    const uint32_t high = (ctx->total[1] << 3) | (ctx->total[0] >> 29);
    const uint32_t low = ctx->total[0] << 3;
    unsigned char length[8];
    for (int k = 0; k < 4; ++k) {
        length[k] = static_cast<unsigned char>(high >> (24 - 8 * k));
        length[4 + k] = static_cast<unsigned char>(low >> (24 - 8 * k));
    }
    static const unsigned char padding[64] = {0x80};
    const size_t used = ctx->total[0] & 63;
    SHA1_update(ctx, padding, used < 56 ? 56 - used : 120 - used);
    SHA1_update(ctx, length, sizeof length);
    for (int w = 0; w < 5; ++w)
        for (int k = 0; k < 4; ++k)
            digest[4 * w + k] = static_cast<unsigned char>(ctx->state[w] >> (24 - 8 * k));
}
