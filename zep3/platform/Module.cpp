#include <zep3/platform/LastError.h>
#include <zep3/platform/Module.h>

#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace {

// The loader's handles are only safe to pass back to it while they are
// valid, so every handle the layer hands out is remembered and anything else
// is refused instead of crashing inside the loader.
struct ModuleTable {
    std::mutex lock;
    std::unordered_map<void*, int> loadCounts; // LoadLibrary references
    std::unordered_set<void*> resident;        // handles of objects loaded otherwise
};

ModuleTable& Table() {
    static ModuleTable* t = new ModuleTable; // outlives every static destructor
    return *t;
}

void* ExecutableHandle() {
    static void* h = dlopen(nullptr, RTLD_NOW);
    return h;
}

// The executable's and the library's handles are worked out before the
// table's lock is taken: finding them may take the loader's own lock, which a
// module's constructor holds while it calls back into this file.
bool IsKnownModule(void* h) {
    if (h == ExecutableHandle() || h == ZEP3GetInstanceHandle()) return true;
    ModuleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.loadCounts.count(h) || t.resident.count(h);
}

std::string ExecutablePath() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

} // namespace

HINSTANCE ZEP3GetInstanceHandle() {
    // dladdr1 names this library's loader entry without loading anything,
    // which is safe even while the library is still being initialised.
    static void* handle = [] {
        Dl_info info;
        struct link_map* map = nullptr;
        if (!dladdr1(reinterpret_cast<void*>(&ZEP3GetInstanceHandle), &info, reinterpret_cast<void**>(&map),
                     RTLD_DL_LINKMAP))
            return static_cast<void*>(nullptr);
        return static_cast<void*>(map);
    }();
    return static_cast<HINSTANCE>(handle);
}

HMODULE LoadLibrary(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* h = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ModuleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    ++t.loadCounts[h];
    return static_cast<HMODULE>(h);
}

BOOL FreeLibrary(HMODULE module) {
    ModuleTable& t = Table();
    std::unique_lock<std::mutex> guard(t.lock);
    auto it = t.loadCounts.find(module);
    if (it == t.loadCounts.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--it->second == 0) {
        t.loadCounts.erase(it);
        t.resident.erase(module);
    }
    guard.unlock();
    dlclose(module);
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    if (!module || !procName) {
        SetLastError(module ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!IsKnownModule(module)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* address = dlsym(module, procName);
    if (!address) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(address);
}

HMODULE GetModuleHandle(LPCSTR moduleName) {
    if (!moduleName) return static_cast<HMODULE>(ExecutableHandle());
    void* h = dlopen(moduleName, RTLD_NOW | RTLD_NOLOAD);
    if (!h) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ModuleTable& t = Table();
    {
        std::lock_guard<std::mutex> guard(t.lock);
        t.resident.insert(h);
    }
    dlclose(h); // the probe took a reference; the handle stays valid while the object is loaded
    return static_cast<HMODULE>(h);
}

DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string path;
    if (module && module != ExecutableHandle()) {
        struct link_map* map = nullptr;
        if (!IsKnownModule(module) || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        path = map->l_name ? map->l_name : "";
    }
    if (path.empty()) path = ExecutablePath();
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (path.size() >= size) {
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}
