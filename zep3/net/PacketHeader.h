#pragma once
/// @struct PacketHeader
/// The 32-byte header in front of every packet of the packet
/// stream, byte for byte as it travels (little-endian):
///   0 length    signed 32-bit, body bytes that follow (a receiver takes 1 or more)
///   4 sequence  the sender's header counter, 1 in its first header
///   8 param     the sender's value, carried unchanged
///  12 version   "Packet 1.0.2", its zero and 3 zero bytes
///  28 checksum  the sum of bytes 0 to 27, each taken as unsigned
/// The packet clients post WM_PACKET_PROGRESS (wParam: body bytes received so
/// far, lParam: body length; both 0 while a header is incomplete) for every
/// chunk they receive.
#include <zep3/platform/Messages.h>

#include <cstddef>
#include <cstdint>

#define WM_PACKET_PROGRESS (WM_USER + 400)

#define PACKET_VERSION "Packet 1.0.2"

struct PacketHeader {
    int32_t length = 0;
    uint32_t sequence = 0;
    int32_t param = 0;
    char version[16] = PACKET_VERSION;
    uint32_t checksum = 0;
};

static_assert(sizeof(PacketHeader) == 32, "PacketHeader travels as 32 bytes");
static_assert(offsetof(PacketHeader, length) == 0 && offsetof(PacketHeader, sequence) == 4 &&
                  offsetof(PacketHeader, param) == 8 && offsetof(PacketHeader, version) == 12 &&
                  offsetof(PacketHeader, checksum) == 28,
              "PacketHeader field offsets");
static_assert(WM_PACKET_PROGRESS == 1424, "WM_PACKET_PROGRESS is message 1424");
