#pragma once
// Scaling of image coordinates onto a device context, shared by the shapes'
// drawing code.
#include <climits>
#include <cmath>

namespace zep3::detail {

// value × zoom truncated toward zero, kept within the int range (NaN gives
// INT_MIN), so that no zoom or coordinate leads to an undefined conversion.
inline int ZoomCoordinate(double value, double zoom) {
    const double v = std::trunc(value * zoom);
    if (!(v > INT_MIN)) return INT_MIN;
    if (v > INT_MAX) return INT_MAX;
    return static_cast<int>(v);
}

} // namespace zep3::detail
