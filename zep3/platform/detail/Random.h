#pragma once
// The C library's random numbers as the original runtime made them, for
// every "C-library random number" of the library (neuron weights, HTTP
// session numbers): state = state x 214013 + 2531011, the result is bits
// 16..30 of the new state (0..32767, RAND_MAX 32767). As in a multithreaded
// runtime, every thread has its own state, seeded 1 until SRand. Separate
// from glibc's rand/srand, whose range and sequence differ.
#include <zep3/platform/Export.h>

namespace zep3::detail {

constexpr int kRandMax = 32767;

// The calling thread's next number, 0..kRandMax.
ZEP3_TEST_API int Rand();
// Restarts the calling thread's sequence from seed.
ZEP3_TEST_API void SRand(unsigned seed);

} // namespace zep3::detail
