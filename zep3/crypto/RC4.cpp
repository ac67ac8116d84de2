#include <zep3/crypto/RC4.h>

#include <cstdint>
#include <cstring>

CRC4::CRC4() : m_State{}, m_Key{}, m_I(0), m_J(0), m_bInit(0) {}

void CRC4::Init(const unsigned char* key, int keyLength) {
    if (!key || keyLength < 1) return;
    for (int k = 0; k < 256; ++k) {
        m_State[k] = static_cast<unsigned char>(k);
        m_Key[k] = key[k % keyLength];
    }
    unsigned j = 0;
    for (int i = 0; i < 256; ++i) {
        j = (j + m_State[i] + m_Key[i]) & 255;
        unsigned char t = m_State[i];
        m_State[i] = m_State[j];
        m_State[j] = t;
    }
    m_I = m_J = 0;
    m_bInit = 1;
}

bool CRC4::Crypt(unsigned char* data, int length) {
    if (!m_bInit) return false;
    if (length < 1) return true;
    if (!data) return false;
    // Byte-wide indices wrap by themselves; the table and indices stay in
    // registers, and eight stream bytes are gathered to XOR one 64-bit word.
    unsigned char* const s = m_State;
    uint8_t i = static_cast<uint8_t>(m_I), j = static_cast<uint8_t>(m_J);
    auto next = [s, &i, &j]() -> uint64_t {
        ++i;
        const uint8_t si = s[i];
        j = static_cast<uint8_t>(j + si);
        const uint8_t sj = s[j];
        s[i] = sj;
        s[j] = si;
        return s[static_cast<uint8_t>(si + sj)];
    };
    int n = 0;
    for (; n + 8 <= length; n += 8) {
        uint64_t stream = 0;
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) stream |= next() << (8 * k);
        uint64_t word;
        std::memcpy(&word, data + n, 8);
        word ^= stream; // little-endian: byte k of the word is data[n + k]
        std::memcpy(data + n, &word, 8);
    }
    for (; n < length; ++n) data[n] ^= static_cast<unsigned char>(next());
    m_I = i;
    m_J = j;
    return true;
}

void CRC4::Crypt(unsigned char* data, int length, const unsigned char* key, int keyLength) {
    CRC4 cipher;
    cipher.Init(key, keyLength);
    cipher.Crypt(data, length);
}

void CRC4::Crypt(unsigned char* data, int length, const char* key) {
    if (key)
        Crypt(data, length, reinterpret_cast<const unsigned char*>(key), static_cast<int>(std::strlen(key)));
}
