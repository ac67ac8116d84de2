#include <zep3/crypto/UpdateCRC.h>

#include <cstdint>
#include <cstring>

namespace {

// Slicing by 16: table[k][b] is the CRC of byte b followed by k zero bytes, so
// sixteen bytes are folded with sixteen independent lookups.
struct SliceTables {
    uint16_t t[16][256];
};

constexpr uint16_t ByteStep(uint32_t crc) {
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
    return static_cast<uint16_t>(crc);
}

constexpr SliceTables MakeTables() {
    SliceTables s{};
    for (uint32_t b = 0; b < 256; ++b) s.t[0][b] = ByteStep(b);
    for (int k = 1; k < 16; ++k)
        for (uint32_t b = 0; b < 256; ++b) s.t[k][b] = (s.t[k - 1][b] >> 8) ^ s.t[0][s.t[k - 1][b] & 0xFF];
    return s;
}

constexpr SliceTables kSlices = MakeTables();

inline uint64_t LoadLittleEndian64(const unsigned char* p) {
    uint64_t v;
    std::memcpy(&v, p, 8); // x86-64 is little-endian
    return v;
}

} // namespace

int UpdateCRC(int crc, int byte) {
    for (int bit = 0; bit < 8; ++bit) {
        crc = ((crc ^ byte) & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
        byte >>= 1;
    }
    return crc;
}

int UpdateCRC(int crc, const void* data, size_t length) {
    const auto& t = kSlices.t;
    auto p = static_cast<const unsigned char*>(data);
    if (!p) length = 0;
    uint32_t c = static_cast<uint32_t>(crc) & 0xFFFF;
    for (; length >= 16; length -= 16, p += 16) {
        const uint64_t lo = LoadLittleEndian64(p) ^ c, hi = LoadLittleEndian64(p + 8);
        c = t[15][lo & 0xFF] ^ t[14][(lo >> 8) & 0xFF] ^ t[13][(lo >> 16) & 0xFF] ^ t[12][(lo >> 24) & 0xFF] ^
            t[11][(lo >> 32) & 0xFF] ^ t[10][(lo >> 40) & 0xFF] ^ t[9][(lo >> 48) & 0xFF] ^ t[8][lo >> 56] ^
            t[7][hi & 0xFF] ^ t[6][(hi >> 8) & 0xFF] ^ t[5][(hi >> 16) & 0xFF] ^ t[4][(hi >> 24) & 0xFF] ^
            t[3][(hi >> 32) & 0xFF] ^ t[2][(hi >> 40) & 0xFF] ^ t[1][(hi >> 48) & 0xFF] ^ t[0][hi >> 56];
    }
    for (; length > 0; --length, ++p) c = (c >> 8) ^ t[0][(c ^ *p) & 0xFF];
    return static_cast<int>(c);
}
