#include <zep3/platform/detail/Wildcard.h>

#include <cstring>

namespace zep3::detail {
namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Classic greedy matcher: remember the last '*' and retry from one character
// further on a mismatch; linear in practice, never recursive.
bool MatchRange(const char* name, const char* mask, const char* maskEnd) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (mask < maskEnd && *mask == '*') {
            star = mask++;
            resume = name;
        } else if (mask < maskEnd && (*mask == '?' || Fold(*mask) == Fold(*name))) {
            ++mask;
            ++name;
        } else if (star) {
            mask = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (mask < maskEnd && *mask == '*') ++mask;
    return mask == maskEnd;
}

} // namespace

bool MatchMask(const char* name, const char* mask) {
    if (!name || !mask) return false;
    size_t n = std::strlen(mask);
    if (MatchRange(name, mask, mask + n)) return true;
    return n >= 2 && mask[n - 2] == '.' && mask[n - 1] == '*' &&
           MatchRange(name, mask, mask + n - 2);
}

} // namespace zep3::detail
