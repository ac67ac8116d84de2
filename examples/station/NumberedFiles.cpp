#include "NumberedFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

std::string NumberedName(const std::string& prefix, int number, const std::string& suffix) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06d", number);
    return prefix + digits + suffix;
}

int NumberOf(const std::string& name, const std::string& prefix, const std::string& suffix, bool withUnfinished) {
    const size_t digits = 6, tail = prefix.size() + digits;
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() < tail) return -1;
    const std::string rest = name.substr(tail);
    if (rest != suffix && !(withUnfinished && rest == suffix + ".part")) return -1;
    int number = 0;
    for (size_t i = prefix.size(); i < tail; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

std::vector<std::string> ListNumbered(const std::string& folder, const std::string& prefix, const std::string& suffix,
                                      bool withUnfinished) {
    std::vector<std::pair<int, std::string>> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        const int number = NumberOf(name, prefix, suffix, withUnfinished);
        if (number >= 0) found.emplace_back(number, std::move(name));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& f : found) names.push_back(std::move(f.second));
    return names;
}

int NextNumber(const std::vector<std::string>& names, const std::string& prefix, const std::string& suffix) {
    int next = 1;
    for (const std::string& name : names) next = std::max(next, NumberOf(name, prefix, suffix, true) + 1);
    return next;
}
