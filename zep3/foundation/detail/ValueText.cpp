#include <zep3/foundation/detail/ValueText.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace zep3::detail {

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Skips leading white space and one sign; true when that sign is '-'.
bool SkipToDigits(const char*& p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
    return p < end && (*p == '+' || *p == '-') && *p++ == '-';
}

} // namespace

uint32_t ParseDecimal(const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    const bool negative = SkipToDigits(p, end);
    uint32_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
    return negative ? 0u - value : value;
}

size_t FormatFloat(char* out, double value) {
    char digits[400];
    auto r = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
    size_t n = r.ec == std::errc() ? static_cast<size_t>(r.ptr - digits) : 0;
    if (n > 63) n = 63;
    size_t pad = n < 10 ? 10 - n : 0;
    std::memset(out, ' ', pad);
    std::memcpy(out + pad, digits, n);
    return pad + n;
}

double ParseFloat(const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    const bool negative = SkipToDigits(p, end);
    double value = 0.0;
    if (p < end && *p == '-') return 0.0; // from_chars would take a second sign
    const std::from_chars_result r = std::from_chars(p, end, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond double's range: infinity or zero, as strtod gives them.
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
        const std::string digits(p, r.ptr);
        value = c ? strtod_l(digits.c_str(), nullptr, c) : 0.0;
    } else if (r.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

float NarrowToFloat(double value) {
    if (std::isfinite(value) && std::fabs(value) > FLT_MAX) return value > 0 ? INFINITY : -INFINITY;
    return static_cast<float>(value);
}

} // namespace zep3::detail
