#include <zep3/foundation/Utilities.h>

#include <climits>
#include <cstdint>

int RoundInl(double x) {
    double r = x >= 0 ? x + 0.5 : x - 0.5;
    if (!(r > -2147483649.0 && r < 2147483648.0)) return INT_MIN;
    return static_cast<int>(r);
}

int htoi(const CString& text) {
    uint32_t sum = 0;
    uint32_t weight = 1;
    for (int i = text.GetLength() - 1; i >= 0; --i, weight *= 16) {
        int c = static_cast<signed char>(text[i]);
        int digit = c < 'A' ? c - 48 : c < 'a' ? c - 55 : c - 87;
        sum += static_cast<uint32_t>(digit) * weight;
    }
    return static_cast<int>(sum);
}

int GetZEP3Version() { return 10; }
