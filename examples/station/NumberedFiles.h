#pragma once
// Files numbered in a folder, as the station names its segments and
// snapshots: <prefix><6-digit number><suffix>, optionally with ".part" added
// while unfinished.
#include <string>
#include <vector>

std::string NumberedName(const std::string& prefix, int number, const std::string& suffix);
// The number of a file name, or -1 when it is not one of these.
int NumberOf(const std::string& name, const std::string& prefix, const std::string& suffix, bool withUnfinished);
// The names found in `folder`, lowest number first.
std::vector<std::string> ListNumbered(const std::string& folder, const std::string& prefix, const std::string& suffix,
                                      bool withUnfinished);
// One above the highest number in `names` (1 when there is none).
int NextNumber(const std::vector<std::string>& names, const std::string& prefix, const std::string& suffix);
