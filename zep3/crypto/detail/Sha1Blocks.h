#pragma once
// The SHA-1 compression function over whole 64-byte blocks.
#include <cstddef>
#include <cstdint>

namespace zep3::detail {

using Sha1BlocksFn = void (*)(uint32_t state[5], const unsigned char* data, size_t blocks);

void Sha1BlocksPortable(uint32_t state[5], const unsigned char* data, size_t blocks);
void Sha1BlocksShaNi(uint32_t state[5], const unsigned char* data, size_t blocks);

// The processor's SHA instructions when it has them and ZEP3_NO_SHA_NI does
// not forbid them, else the portable code; decided on the first call.
Sha1BlocksFn Sha1Blocks();

} // namespace zep3::detail
