#include <zep3/platform/detail/Random.h>

#include <cstdint>

namespace zep3::detail {
namespace {

thread_local uint32_t t_state = 1;

} // namespace

int Rand() {
    t_state = t_state * 214013u + 2531011u;
    return int(t_state >> 16 & 0x7FFF);
}

void SRand(unsigned seed) { t_state = seed; }

} // namespace zep3::detail
