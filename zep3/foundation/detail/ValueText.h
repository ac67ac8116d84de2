#pragma once
// Number texts of the configuration store.
#include <cstddef>
#include <cstdint>

namespace zep3::detail {

// Skips leading white space, takes one optional sign, then accumulates
// digits up to the first non-digit, wrapping modulo 2^32; the sign is applied
// last. No digits read as 0.
uint32_t ParseDecimal(const char* text, size_t length);

// "%10f" independent of the process locale. Returns the length written;
// out must hold at least 64 bytes (larger values are cut there).
size_t FormatFloat(char* out, double value);
// Decimal floating-point text after optional white space and sign, as far
// as it parses; 0 when nothing does. Independent of the process locale.
double ParseFloat(const char* text, size_t length);
// The nearest float; beyond float's range an infinity, as the FPU makes it.
float NarrowToFloat(double value);

} // namespace zep3::detail
