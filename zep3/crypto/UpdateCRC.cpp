#include <zep3/crypto/UpdateCRC.h>

#include <array>
#include <cstdint>

namespace {

std::array<uint16_t, 256> makeTable() {
    std::array<uint16_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = static_cast<uint16_t>(UpdateCRC(0, b));
    return t;
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
    static const std::array<uint16_t, 256> table = makeTable();
    auto p = static_cast<const unsigned char*>(data);
    unsigned c = static_cast<unsigned>(crc) & 0xFFFF;
    for (size_t i = 0; i < length; ++i) c = (c >> 8) ^ table[(c ^ p[i]) & 0xFF];
    return static_cast<int>(c);
}
