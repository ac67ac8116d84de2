#pragma once
/// @file
/// CRC-16 with the reflected polynomial 0x8408 (CRC-16/KERMIT parameters:
/// initial value and final complement are the caller's). The CRC is held in the
/// low 16 bits of the int.
#include <zep3/platform/Export.h>

#include <cstddef>

/// One byte step: eight shifts, least significant bit first.
ZEP3_API int UpdateCRC(int crc, int byte);
/// The same steps over a block of bytes, equal to calling the byte step for each.
ZEP3_API int UpdateCRC(int crc, const void* data, size_t length);
