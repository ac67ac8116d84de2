#include <zep3/crypto/RC4.h>

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
    // Indices and the table in locals so that the loop keeps them in registers.
    unsigned char* const s = m_State;
    unsigned i = static_cast<unsigned>(m_I), j = static_cast<unsigned>(m_J);
    for (int n = 0; n < length; ++n) {
        i = (i + 1) & 255;
        unsigned si = s[i];
        j = (j + si) & 255;
        unsigned sj = s[j];
        s[i] = static_cast<unsigned char>(sj);
        s[j] = static_cast<unsigned char>(si);
        data[n] ^= s[(si + sj) & 255];
    }
    m_I = static_cast<int>(i);
    m_J = static_cast<int>(j);
    return true;
}

void CRC4::Crypt(unsigned char* data, int length, const unsigned char* key, int keyLength) {
    CRC4 cipher;
    cipher.Init(key, keyLength);
    cipher.Crypt(data, length);
}

void CRC4::Crypt(unsigned char* data, int length, const char* key) {
    if (key) Crypt(data, length, reinterpret_cast<const unsigned char*>(key), static_cast<int>(std::strlen(key)));
}
