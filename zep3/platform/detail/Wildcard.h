#pragma once
// Windows file-name masks: '*' matches any run of characters, '?' exactly one,
// letters match without case, and a mask ending in ".*" also matches names
// without an extension, so "*.*" matches every name.
namespace zep3::detail {

bool MatchMask(const char* name, const char* mask);

} // namespace zep3::detail
