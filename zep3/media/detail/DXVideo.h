#pragma once
// What the display tests ask of the display machinery behind CDXDisplay.
#include <zep3/platform/Export.h>

namespace zep3::detail {

// The video driver the display objects run on now ("x11", "offscreen",
// "dummy"...); empty when none is running.
ZEP3_TEST_API const char* DXVideoDriver();

} // namespace zep3::detail
