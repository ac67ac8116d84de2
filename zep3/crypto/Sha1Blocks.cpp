#include <zep3/crypto/detail/Sha1Blocks.h>

#include <cstdlib>
#include <cstring>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define ZEP3_HAVE_SHA_NI 1
#endif

namespace zep3::detail {

namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadBigEndian32(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return __builtin_bswap32(v);
}

} // namespace

void Sha1BlocksPortable(uint32_t state[5], const unsigned char* data, size_t blocks) {
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t w[16];
        for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian32(data + 4 * t);
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        // The schedule is kept as a ring of sixteen words.
        auto next = [&w](int t) {
            if (t >= 16)
                w[t & 15] = Rotl(w[(t - 3) & 15] ^ w[(t - 8) & 15] ^ w[(t - 14) & 15] ^ w[t & 15], 1);
            return w[t & 15];
        };
        auto round = [&](uint32_t f, uint32_t k, uint32_t word) {
            uint32_t temp = Rotl(a, 5) + f + e + k + word;
            e = d;
            d = c;
            c = Rotl(b, 30);
            b = a;
            a = temp;
        };
        for (int t = 0; t < 20; ++t) round((b & c) | (~b & d), 0x5A827999, next(t));
        for (int t = 20; t < 40; ++t) round(b ^ c ^ d, 0x6ED9EBA1, next(t));
        for (int t = 40; t < 60; ++t) round((b & c) | (b & d) | (c & d), 0x8F1BBCDC, next(t));
        for (int t = 60; t < 80; ++t) round(b ^ c ^ d, 0xCA62C1D6, next(t));
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
}

#if ZEP3_HAVE_SHA_NI

// Twenty groups of four rounds. Message group g (g >= 4) is made from groups
// g-4 .. g-1, kept in a ring of four registers; each group's first word also
// carries E, which is A of four rounds before, rotated (sha1nexte).
__attribute__((target("sha,sse4.1"))) void Sha1BlocksShaNi(uint32_t state[5], const unsigned char* data,
                                                           size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abcdSaved = abcd, eSaved = e;
        __m128i m[4];
        for (int k = 0; k < 4; ++k)
            m[k] =
                _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * k)), byteSwap);

        __m128i previous; // A, B, C, D before the group that ran last
        __m128i wk = _mm_add_epi32(e, m[0]);
#define ZEP3_SHA1_SCHEDULE(g)                                                                                \
    m[(g)&3] = _mm_sha1msg2_epu32(                                                                           \
        _mm_xor_si128(_mm_sha1msg1_epu32(m[(g)&3], m[((g) + 1) & 3]), m[((g) + 2) & 3]), m[((g) + 3) & 3])
#define ZEP3_SHA1_GROUP(g)                                                                                   \
    do {                                                                                                     \
        if ((g) > 0) {                                                                                       \
            if ((g) >= 4) ZEP3_SHA1_SCHEDULE(g);                                                             \
            wk = _mm_sha1nexte_epu32(previous, m[(g)&3]);                                                    \
        }                                                                                                    \
        previous = abcd;                                                                                     \
        abcd = _mm_sha1rnds4_epu32(abcd, wk, (g) / 5);                                                       \
    } while (0)
        ZEP3_SHA1_GROUP(0);
        ZEP3_SHA1_GROUP(1);
        ZEP3_SHA1_GROUP(2);
        ZEP3_SHA1_GROUP(3);
        ZEP3_SHA1_GROUP(4);
        ZEP3_SHA1_GROUP(5);
        ZEP3_SHA1_GROUP(6);
        ZEP3_SHA1_GROUP(7);
        ZEP3_SHA1_GROUP(8);
        ZEP3_SHA1_GROUP(9);
        ZEP3_SHA1_GROUP(10);
        ZEP3_SHA1_GROUP(11);
        ZEP3_SHA1_GROUP(12);
        ZEP3_SHA1_GROUP(13);
        ZEP3_SHA1_GROUP(14);
        ZEP3_SHA1_GROUP(15);
        ZEP3_SHA1_GROUP(16);
        ZEP3_SHA1_GROUP(17);
        ZEP3_SHA1_GROUP(18);
        ZEP3_SHA1_GROUP(19);
#undef ZEP3_SHA1_GROUP
#undef ZEP3_SHA1_SCHEDULE
        e = _mm_sha1nexte_epu32(previous, eSaved);
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}

namespace {

bool CpuHasShaNi() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = ecx & bit_SSSE3, sse41 = ecx & bit_SSE4_1;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return ssse3 && sse41 && (ebx & bit_SHA);
}

} // namespace

#else

void sha1BlocksShaNi(uint32_t state[5], const unsigned char* data, size_t blocks) {
    sha1BlocksPortable(state, data, blocks);
}

namespace {
bool cpuHasShaNi() { return false; }
} // namespace

#endif

Sha1BlocksFn Sha1Blocks() {
    static const Sha1BlocksFn chosen = [] {
        const char* off = std::getenv("ZEP3_NO_SHA_NI");
        const bool forbidden = off && *off && std::strcmp(off, "0") != 0;
        return !forbidden && CpuHasShaNi() ? Sha1BlocksShaNi : Sha1BlocksPortable;
    }();
    return chosen;
}

} // namespace zep3::detail
