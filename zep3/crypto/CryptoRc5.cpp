#include <zep3/crypto/CryptoRc5.h>

#include <algorithm>
#include <cstring>

namespace {

const int kMaxRounds = 15;

// P32 followed by each next word plus Q32.
constexpr DWORD Magic(int k) { return 0xB7E15163u + 0x9E3779B9u * static_cast<DWORD>(k); }

template <typename Word, typename Block> bool Blocks(Word* out, const Word* in, int words, Block block) {
    if (!out || !in || words < 2 || words % 2 != 0) return false;
    for (int k = 0; k < words; k += 2) {
        const DWORD pair[2] = {static_cast<DWORD>(in[k]), static_cast<DWORD>(in[k + 1])};
        DWORD result[2];
        block(result, pair);
        out[k] = result[0];
        out[k + 1] = result[1];
    }
    return true;
}

} // namespace

CCryptoRc5::CCryptoRc5() : m_nRounds(kMaxRounds), m_S{}, m_Key{} {}

CCryptoRc5::~CCryptoRc5() = default;

bool CCryptoRc5::Setup(const CString& key, int rounds) {
    m_nRounds = std::clamp(rounds, 0, kMaxRounds);
    const int t = 2 * m_nRounds + 2;
    const int c = std::min(key.GetLength(), 16);
    if (c == 0) return true;

    std::memset(m_Key, 0, sizeof m_Key);
    std::memcpy(m_Key, key.GetString(), size_t(c));
    DWORD l[4];
    for (int w = 0; w < 4; ++w)
        l[w] = DWORD(m_Key[4 * w]) | DWORD(m_Key[4 * w + 1]) << 8 | DWORD(m_Key[4 * w + 2]) << 16 |
               DWORD(m_Key[4 * w + 3]) << 24;
    for (int k = 0; k < t; ++k) m_S[k] = Magic(k);

    DWORD a = 0, b = 0;
    for (int step = 0, i = 0, j = 0; step < 3 * t; ++step, i = (i + 1) % t, j = (j + 1) % 4) {
        a = m_S[i] = RotL(m_S[i] + a + b, 3);
        b = l[j] = RotL(l[j] + a + b, a + b);
    }
    return true;
}

bool CCryptoRc5::Encrypt(unsigned long* out, unsigned long* in, int words) const {
    return Blocks(out, in, words, [this](DWORD* o, const DWORD* i) { Encrypt8(o, i); });
}

bool CCryptoRc5::Decrypt(unsigned long* out, unsigned long* in, int words) const {
    return Blocks(out, in, words, [this](DWORD* o, const DWORD* i) { Decrypt8(o, i); });
}

bool CCryptoRc5::Encrypt(DWORD* out, DWORD* in, int words) const {
    return Blocks(out, in, words, [this](DWORD* o, const DWORD* i) { Encrypt8(o, i); });
}

bool CCryptoRc5::Decrypt(DWORD* out, DWORD* in, int words) const {
    return Blocks(out, in, words, [this](DWORD* o, const DWORD* i) { Decrypt8(o, i); });
}

CString CCryptoRc5::GetKey() {
    const char* key = reinterpret_cast<const char*>(m_Key);
    return CString(key, static_cast<int>(strnlen(key, sizeof m_Key)));
}

void CCryptoRc5::Encrypt8(DWORD* out, const DWORD* in) const {
    DWORD a = in[0] + m_S[0], b = in[1] + m_S[1];
    for (int k = 1; k <= m_nRounds; ++k) {
        a = RotL(a ^ b, b) + m_S[2 * k];
        b = RotL(b ^ a, a) + m_S[2 * k + 1];
    }
    out[0] = a;
    out[1] = b;
}

void CCryptoRc5::Decrypt8(DWORD* out, const DWORD* in) const {
    DWORD a = in[0], b = in[1];
    for (int k = m_nRounds; k >= 1; --k) {
        b = RotR(b - m_S[2 * k + 1], a) ^ a;
        a = RotR(a - m_S[2 * k], b) ^ b;
    }
    out[0] = a - m_S[0];
    out[1] = b - m_S[1];
}

DWORD CCryptoRc5::RotL(DWORD value, DWORD count) {
    count &= 31;
    return count ? (value << count) | (value >> (32 - count)) : value;
}

DWORD CCryptoRc5::RotR(DWORD value, DWORD count) {
    count &= 31;
    return count ? (value >> count) | (value << (32 - count)) : value;
}
