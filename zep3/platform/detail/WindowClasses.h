#pragma once
// What the windows need from the class registry (WindowClasses.cpp).
#include <zep3/platform/Cursor.h>

#include <string>

namespace zep3::detail {

// The cursor of a registered class; the arrow for any other name.
HCURSOR ClassCursor(const std::string& className);

} // namespace zep3::detail
