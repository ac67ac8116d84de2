#include <zep3/platform/Registry.h>
#include <zep3/platform/detail/Posix.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

// File layout, one root per file:
//
//     ZEP3 registry 1
//     [Software\Vendor\App]
//     "Count"=dword:0000002a
//     "Name"="text with \\ and \" escaped"
//     @="the default value"
//     "Blob"=hex(3):01,ff
//
// Bytes below 0x20 in names and texts are written as \xHH; other bytes pass
// unchanged. Lines that cannot be read are skipped.

namespace {

struct Value {
    std::string name;
    DWORD type;
    std::string data;
};

struct Key {
    std::string path;
    std::vector<Value> values;
};

struct Hive {
    std::vector<Key> keys;
};

struct OpenKey {
    int root;
    std::string path;
    REGSAM access;
};

const char* const kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                  "", "HKEY_CURRENT_CONFIG"};

std::mutex g_handlesLock;
std::unordered_set<OpenKey*> g_handles;

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

// True when path names key or one of its parents.
bool IsKeyOrParent(const std::string& path, const std::string& key) {
    if (path.empty()) return true;
    if (key.size() < path.size()) return false;
    if (key.size() > path.size() && key[path.size()] != '\\') return false;
    return SameName(path, key.substr(0, path.size()));
}

// Drops empty components, so "A\\B\" and "\A\B" name the key A\B.
std::string Normalise(const std::string& path) {
    std::string out;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find('\\', i);
        if (j == std::string::npos) j = path.size();
        if (j > i) {
            if (!out.empty()) out += '\\';
            out.append(path, i, j - i);
        }
        i = j + 1;
    }
    return out;
}

std::string Folder() {
    if (const char* dir = std::getenv("ZEP3_REGISTRY_DIR"); dir && *dir) return dir;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/zep3/registry";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config/zep3/registry";
    return std::string();
}

bool MakeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string prefix = path.substr(0, i);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// ---- text form ----

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Fold(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// Reads a quoted text at pos; false when it is not well formed.
bool ReadQuoted(const std::string& line, size_t& pos, std::string& text) {
    if (pos >= line.size() || line[pos] != '"') return false;
    text.clear();
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++pos >= line.size()) return false;
        if (line[pos] != 'x') {
            text += line[pos];
            continue;
        }
        if (pos + 2 >= line.size() || HexDigit(line[pos + 1]) < 0 || HexDigit(line[pos + 2]) < 0) return false;
        text += static_cast<char>(HexDigit(line[pos + 1]) * 16 + HexDigit(line[pos + 2]));
        pos += 2;
    }
    return false;
}

bool IsPlainText(const std::string& data) {
    return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1;
}

std::string Format(const Hive& hive) {
    std::string out = "ZEP3 registry 1\n";
    char buf[32];
    for (const Key& key : hive.keys) {
        out += "[" + key.path + "]\n";
        for (const Value& v : key.values) {
            if (v.name.empty()) out += '@';
            else AppendQuoted(out, v.name);
            out += '=';
            if (v.type == REG_DWORD && v.data.size() == 4) {
                DWORD d;
                std::memcpy(&d, v.data.data(), 4);
                std::snprintf(buf, sizeof buf, "dword:%08x", d);
                out += buf;
            } else if (v.type == REG_SZ && IsPlainText(v.data)) {
                AppendQuoted(out, v.data.substr(0, v.data.size() - 1));
            } else {
                std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
                out += buf;
                for (size_t i = 0; i < v.data.size(); ++i) {
                    std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", static_cast<unsigned char>(v.data[i]));
                    out += buf;
                }
            }
            out += '\n';
        }
    }
    return out;
}

bool ParseData(const std::string& text, Value& v) {
    if (text.size() >= 1 && text[0] == '"') {
        size_t pos = 0;
        if (!ReadQuoted(text, pos, v.data) || pos != text.size()) return false;
        v.type = REG_SZ;
        v.data += '\0';
        return true;
    }
    if (text.compare(0, 6, "dword:") == 0 && text.size() == 14) {
        char* end = nullptr;
        DWORD d = static_cast<DWORD>(std::strtoul(text.c_str() + 6, &end, 16));
        if (*end) return false;
        v.type = REG_DWORD;
        v.data.assign(reinterpret_cast<const char*>(&d), 4);
        return true;
    }
    if (text.compare(0, 4, "hex(") != 0) return false;
    char* end = nullptr;
    v.type = static_cast<DWORD>(std::strtoul(text.c_str() + 4, &end, 16));
    if (end[0] != ')' || end[1] != ':') return false;
    v.data.clear();
    for (const char* p = end + 2; *p;) {
        if (HexDigit(p[0]) < 0 || HexDigit(p[1]) < 0) return false;
        v.data += static_cast<char>(HexDigit(p[0]) * 16 + HexDigit(p[1]));
        p += 2;
        if (*p == ',') ++p;
    }
    return true;
}

Hive Parse(const std::string& text) {
    Hive hive;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.size() >= 2 && line[0] == '[' && line.back() == ']') {
            hive.keys.push_back(Key{Normalise(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        if (hive.keys.empty() || line.empty()) continue;
        Value v;
        size_t pos = 0;
        if (line[0] == '@') pos = 1;
        else if (!ReadQuoted(line, pos, v.name)) continue;
        if (pos >= line.size() || line[pos] != '=' || !ParseData(line.substr(pos + 1), v)) continue;
        hive.keys.back().values.push_back(v);
    }
    return hive;
}

// ---- files ----

std::string HivePath(int root) { return Folder() + "/" + kRootNames[root]; }

// The root's values; a missing file is an empty root. A file that cannot be
// read is an error, so that no change is ever stored over values not seen.
LONG Load(int root, Hive& hive) {
    std::string text;
    if (!zep3::detail::ReadWholeFile(HivePath(root), text) && errno != ENOENT)
        return static_cast<LONG>(ZEP3ErrorFromErrno(errno));
    hive = Parse(text);
    return ERROR_SUCCESS;
}

// Replaces the root's file durably: readers see the old values or the new
// ones, never a part.
LONG Store(int root, const Hive& hive) {
    std::string path = HivePath(root), text = Format(hive);
    if (!zep3::detail::ReplaceFileDurably(path, path + ".new", text.data(), text.size(), 0600))
        return static_cast<LONG>(ZEP3ErrorFromErrno(errno));
    return ERROR_SUCCESS;
}

// Holds the root's lock file for one read-modify-write; threads and processes
// each take it through their own open file, so they exclude one another.
class HiveLock {
public:
    explicit HiveLock(int root) {
        if (Folder().empty() || !MakeFolders(Folder())) return;
        m_fd.Reset(open((HivePath(root) + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (m_fd.IsOpen() && flock(m_fd.Get(), LOCK_EX) != 0) m_fd.Reset();
    }
    bool Held() const { return m_fd.IsOpen(); }

private:
    zep3::detail::UniqueFd m_fd;
};

Key* FindKey(Hive& hive, const std::string& path) {
    for (Key& k : hive.keys)
        if (SameName(k.path, path)) return &k;
    return nullptr;
}

bool KeyExists(const Hive& hive, const std::string& path) {
    for (const Key& k : hive.keys)
        if (IsKeyOrParent(path, k.path)) return true;
    return false;
}

Value* FindValue(Key* key, const std::string& name) {
    if (!key) return nullptr;
    for (Value& v : key->values)
        if (SameName(v.name, name)) return &v;
    return nullptr;
}

// ---- handles ----

int RootIndex(HKEY key) {
    auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value < 0x80000000u || value > 0x80000005u || value == 0x80000004u) return -1;
    return static_cast<int>(value - 0x80000000u);
}

// The root and full path a handle stands for; false for an unknown handle.
bool Resolve(HKEY key, int& root, std::string& path, REGSAM& access) {
    root = RootIndex(key);
    if (root >= 0) {
        path.clear();
        access = KEY_ALL_ACCESS;
        return true;
    }
    std::lock_guard<std::mutex> guard(g_handlesLock);
    auto open = reinterpret_cast<OpenKey*>(key);
    if (!g_handles.count(open)) return false;
    root = open->root;
    path = open->path;
    access = open->access;
    return true;
}

// Control bytes would break the file's line structure.
bool ValidPath(const std::string& path) {
    for (unsigned char c : path)
        if (c < 0x20) return false;
    return true;
}

std::string Join(const std::string& path, LPCSTR subKey) {
    return Normalise(subKey && *subKey ? path + "\\" + subKey : path);
}

HKEY NewHandle(int root, const std::string& path, REGSAM access) {
    auto open = new OpenKey{root, path, access};
    std::lock_guard<std::mutex> guard(g_handlesLock);
    g_handles.insert(open);
    return reinterpret_cast<HKEY>(open);
}

LONG Finish(LONG result) {
    if (result != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(result));
    return result;
}

// The root and full path of `subKey` under the open key `key`, for opening or
// creating it; *result is cleared first.
LONG SubKeyPath(HKEY key, LPCSTR subKey, PHKEY result, int& root, std::string& path) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    REGSAM parentAccess;
    if (!Resolve(key, root, path, parentAccess)) return ERROR_INVALID_HANDLE;
    path = Join(path, subKey);
    return ValidPath(path) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

} // namespace

LONG RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    int root;
    std::string path;
    if (LONG r = SubKeyPath(key, subKey, result, root, path); r != ERROR_SUCCESS) return Finish(r);
    if (!path.empty()) {
        Hive hive;
        if (LONG r = Load(root, hive); r != ERROR_SUCCESS) return Finish(r);
        if (!KeyExists(hive, path)) return Finish(ERROR_FILE_NOT_FOUND);
    }
    *result = NewHandle(root, path, access);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, void*, PHKEY result,
                    LPDWORD disposition) {
    int root;
    std::string path;
    if (LONG r = SubKeyPath(key, subKey, result, root, path); r != ERROR_SUCCESS) return Finish(r);
    bool created = false;
    if (!path.empty()) {
        HiveLock lock(root);
        if (!lock.Held()) return Finish(ERROR_ACCESS_DENIED);
        Hive hive;
        if (LONG r = Load(root, hive); r != ERROR_SUCCESS) return Finish(r);
        if (!KeyExists(hive, path)) {
            hive.keys.push_back(Key{path, {}});
            if (LONG r = Store(root, hive); r != ERROR_SUCCESS) return Finish(r);
            created = true;
        }
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(root, path, access);
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    int root;
    std::string path;
    REGSAM access;
    if (!Resolve(key, root, path, access)) return Finish(ERROR_INVALID_HANDLE);
    if (!(access & KEY_QUERY_VALUE)) return Finish(ERROR_ACCESS_DENIED);
    if (data && !dataSize) return Finish(ERROR_INVALID_PARAMETER);
    Hive hive;
    if (LONG r = Load(root, hive); r != ERROR_SUCCESS) return Finish(r);
    const Value* v = FindValue(FindKey(hive, path), valueName ? valueName : "");
    if (!v) return Finish(ERROR_FILE_NOT_FOUND);
    if (type) *type = v->type;
    if (!dataSize) return ERROR_SUCCESS;
    DWORD needed = static_cast<DWORD>(v->data.size()), room = *dataSize;
    *dataSize = needed;
    if (!data) return ERROR_SUCCESS;
    if (room < needed) return Finish(ERROR_MORE_DATA);
    std::memcpy(data, v->data.data(), needed);
    return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
    int root;
    std::string path;
    REGSAM access;
    if (!Resolve(key, root, path, access)) return Finish(ERROR_INVALID_HANDLE);
    if (!(access & KEY_SET_VALUE)) return Finish(ERROR_ACCESS_DENIED);
    if (!data && size) return Finish(ERROR_INVALID_PARAMETER);
    if (path.empty()) return Finish(ERROR_ACCESS_DENIED); // a root holds no values of its own
    HiveLock lock(root);
    if (!lock.Held()) return Finish(ERROR_ACCESS_DENIED);
    Hive hive;
    if (LONG r = Load(root, hive); r != ERROR_SUCCESS) return Finish(r);
    Key* k = FindKey(hive, path);
    if (!k) {
        if (!KeyExists(hive, path)) return Finish(ERROR_KEY_DELETED);
        hive.keys.push_back(Key{path, {}});
        k = &hive.keys.back();
    }
    std::string name = valueName ? valueName : "";
    std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
    if (Value* v = FindValue(k, name)) {
        v->type = type;
        v->data = bytes;
    } else {
        k->values.push_back(Value{name, type, bytes});
    }
    return Finish(Store(root, hive));
}

LONG RegDeleteValue(HKEY key, LPCSTR valueName) {
    int root;
    std::string path;
    REGSAM access;
    if (!Resolve(key, root, path, access)) return Finish(ERROR_INVALID_HANDLE);
    if (!(access & KEY_SET_VALUE)) return Finish(ERROR_ACCESS_DENIED);
    HiveLock lock(root);
    if (!lock.Held()) return Finish(ERROR_ACCESS_DENIED);
    Hive hive;
    if (LONG r = Load(root, hive); r != ERROR_SUCCESS) return Finish(r);
    Key* k = FindKey(hive, path);
    std::string name = valueName ? valueName : "";
    for (size_t i = 0; k && i < k->values.size(); ++i) {
        if (!SameName(k->values[i].name, name)) continue;
        k->values.erase(k->values.begin() + static_cast<long>(i));
        return Finish(Store(root, hive));
    }
    return Finish(ERROR_FILE_NOT_FOUND);
}

LONG RegCloseKey(HKEY key) {
    if (RootIndex(key) >= 0) return ERROR_SUCCESS;
    std::lock_guard<std::mutex> guard(g_handlesLock);
    auto open = reinterpret_cast<OpenKey*>(key);
    if (!g_handles.erase(open)) return Finish(ERROR_INVALID_HANDLE);
    delete open;
    return ERROR_SUCCESS;
}
