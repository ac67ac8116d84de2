// CIniFile: a damaged or hand-made file is read; what a save writes must read
// back as the same table, in the plain and in the compact form.
//
// The keys of the table are listed from the plain save (one "key=value" line
// per item), and every key is looked up in the first store and in the store
// that read the save back.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

#include <unistd.h>
#include <vector>

namespace {

// The keys of a plain save, in file order, without the checksum line.
std::vector<CString> keysOf(const std::string& content) {
    std::vector<CString> keys;
    size_t start = 0;
    while (start < content.size()) {
        size_t lf = content.find('\n', start);
        if (lf == std::string::npos) lf = content.size();
        const std::string line = content.substr(start, lf - start);
        start = lf + 1;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        if (key != "__checksum__") keys.push_back(CString(key.data(), static_cast<int>(key.size())));
    }
    return keys;
}

void sameItems(CIniFile& expected, CIniFile& actual, const std::vector<CString>& keys, const char* what) {
    for (const CString& key : keys) {
        CString a, b;
        const CString absolute = "\\" + key;
        zep3fuzz::check(expected.ExchangeSimpleObject(0, absolute, &a), "a saved key is in the first table");
        zep3fuzz::check(actual.ExchangeSimpleObject(0, absolute, &b), what);
        zep3fuzz::check(a == b, what);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = zep3fuzz::scratchFile("settings.ini");
    const std::string backup = zep3fuzz::scratchFile("settings.bak");
    const std::string input(reinterpret_cast<const char*>(data), size);
    ::unlink(backup.c_str());
    zep3fuzz::writeFile(path, data, size);

    CIniFile first(CString(path.c_str()), true);
    zep3fuzz::check(first.WriteIniFile(false), "the plain save succeeds");
    const std::string plain = zep3fuzz::readFile(path);
    // A file whose checksum was right is left as it stands: nothing new to compare.
    if (plain == input) return 0;
    const std::vector<CString> keys = keysOf(plain);

    CIniFile second(CString(path.c_str()), true);
    sameItems(first, second, keys, "the plain save reads back the same");

    // Without its checksum line and backup the saved file is taken as it
    // stands and saved again in full, here in the compact form.
    const size_t checksumLine = plain.rfind("__checksum__=");
    zep3fuzz::check(checksumLine != std::string::npos, "a save ends with its checksum");
    zep3fuzz::writeFile(path, plain.data(), checksumLine);
    ::unlink(backup.c_str());
    CIniFile third(CString(path.c_str()), true);
    sameItems(first, third, keys, "the plain save without its checksum reads back the same");
    zep3fuzz::check(third.WriteIniFile(true), "the compact save succeeds");
    const std::string compact = zep3fuzz::readFile(path);
    CIniFile fourth(CString(path.c_str()), true);
    sameItems(first, fourth, keys, "the compact save reads back the same");
    // No item more: each compact line is one item.
    size_t lines = 0;
    for (size_t i = 0; (i = compact.find('=', i)) != std::string::npos; i = compact.find('\n', i)) ++lines;
    zep3fuzz::check(lines == keys.size() + 1, "the compact save holds as many items");
    return 0;
}
