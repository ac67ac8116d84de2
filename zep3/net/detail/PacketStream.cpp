#include <zep3/net/detail/PacketStream.h>

namespace zep3::detail {

uint32_t HeaderChecksum(const PacketHeader& header) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&header);
    uint32_t sum = 0;
    for (size_t i = 0; i < offsetof(PacketHeader, checksum); ++i) sum += bytes[i];
    return sum;
}

void FillHeader(PacketHeader& header, int length, int param) {
    header.length = length;
    header.sequence += 1;
    header.param = param;
    header.checksum = 0;
    header.checksum = HeaderChecksum(header);
}

bool IsAcceptableHeader(const PacketHeader& header, int maxLength) {
    return HeaderChecksum(header) == header.checksum && header.length != 0 && header.sequence != 0 &&
           strncmp(header.version, PACKET_VERSION, sizeof header.version) == 0 &&
           header.length >= 1 && header.length <= maxLength; // a negative length cannot be taken either
}

} // namespace zep3::detail
