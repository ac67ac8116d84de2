#pragma once
// The resource registry's string lookup for the library's own code.
#include <zep3/platform/WinTypes.h>

#include <string>

namespace zep3::detail {

// The whole text of string id of one module; false when it has none.
bool FindString(HINSTANCE module, UINT id, std::string* text);

} // namespace zep3::detail
