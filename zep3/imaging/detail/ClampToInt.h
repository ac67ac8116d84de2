#pragma once
// A wide integer or a double brought into int's range (NaN: 0).
#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace zep3::detail {

template <class T> int ClampToInt(T v) {
    if constexpr (std::is_floating_point<T>::value)
        if (std::isnan(v)) return 0;
    return int(std::clamp<T>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace zep3::detail
