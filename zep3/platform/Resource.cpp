#include <zep3/platform/LastError.h>
#include <zep3/platform/Module.h>
#include <zep3/platform/Resource.h>
#include <zep3/platform/detail/Resources.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <tuple>

namespace {

struct Block {
    const void* data;
    DWORD size;
};

typedef std::tuple<void*, std::string, std::string> BlockKey;
typedef std::pair<void*, UINT> StringKey;

struct Registry {
    std::mutex lock;
    std::map<BlockKey, Block> blocks; // node addresses are stable: they are the HRSRC values
    std::set<const Block*> handles;
    std::map<StringKey, std::string> strings;
    std::set<void*> modulesWithStrings;
};

Registry& Resources() {
    static Registry* r = new Registry; // usable from any static initialiser or destructor
    return *r;
}

std::atomic<HINSTANCE> g_resourceHandle{nullptr};

// "#23", 23 and MAKEINTRESOURCE(23) name the same thing; texts ignore case.
std::string KeyOf(LPCSTR id) {
    if (IS_INTRESOURCE(id)) return "#" + std::to_string(static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(id)));
    std::string key(id);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (key.size() > 1 && key[0] == '#' && key.find_first_not_of("0123456789", 1) == std::string::npos)
        key = "#" + std::to_string(std::strtoul(key.c_str() + 1, nullptr, 10));
    return key;
}

void* ModuleOrExecutable(HMODULE module) { return module ? module : AfxGetInstanceHandle(); }

const Block* KnownBlock(Registry& r, HRSRC resource) {
    auto block = reinterpret_cast<const Block*>(resource);
    return r.handles.count(block) ? block : nullptr;
}

typedef const char* (*GetLangStringProc)(unsigned int);

} // namespace

HINSTANCE AfxGetInstanceHandle() { return GetModuleHandle(nullptr); }

HINSTANCE AfxGetResourceHandle() {
    HINSTANCE h = g_resourceHandle.load();
    return h ? h : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE instance) { g_resourceHandle.store(instance); }

BOOL ZEP3RegisterResource(HINSTANCE module, LPCSTR type, LPCSTR name, const void* data, DWORD size) {
    if (!type || !name || (!data && size)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Registry& r = Resources();
    BlockKey key(ModuleOrExecutable(module), KeyOf(type), KeyOf(name));
    std::lock_guard<std::mutex> guard(r.lock);
    Block& block = r.blocks[key];
    block = Block{data, size};
    r.handles.insert(&block);
    return TRUE;
}

BOOL ZEP3RegisterStringTable(HINSTANCE module, const ZEP3StringEntry* entries, int count) {
    if (count < 0 || (!entries && count)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Registry& r = Resources();
    void* owner = ModuleOrExecutable(module);
    std::lock_guard<std::mutex> guard(r.lock);
    r.modulesWithStrings.insert(owner);
    for (int i = 0; i < count; ++i)
        if (entries[i].text) r.strings[StringKey(owner, entries[i].id)] = entries[i].text;
    return TRUE;
}

HRSRC FindResource(HMODULE module, LPCSTR name, LPCSTR type) {
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Registry& r = Resources();
    BlockKey key(ModuleOrExecutable(module), KeyOf(type), KeyOf(name));
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.blocks.find(key);
    if (it == r.blocks.end()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<Block*>(&it->second));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    Registry& r = Resources();
    std::lock_guard<std::mutex> guard(r.lock);
    const Block* block = KnownBlock(r, resource);
    if (!block) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return const_cast<void*>(block->data);
}

LPVOID LockResource(HGLOBAL block) { return block; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
    Registry& r = Resources();
    std::lock_guard<std::mutex> guard(r.lock);
    const Block* block = KnownBlock(r, resource);
    return block ? block->size : 0;
}

namespace zep3::detail {

bool FindString(HINSTANCE module, UINT id, std::string* text) {
    if (!module) return false;
    // Worked out before the lock: finding them may take the loader's lock.
    bool ownModule = module == AfxGetInstanceHandle() || module == ZEP3GetInstanceHandle();
    Registry& r = Resources();
    {
        std::lock_guard<std::mutex> guard(r.lock);
        auto it = r.strings.find(StringKey(module, id));
        if (it != r.strings.end()) {
            *text = it->second;
            return true;
        }
        if (ownModule || r.modulesWithStrings.count(module)) return false;
    }
    // A separately built module carries its strings as an export.
    auto proc = reinterpret_cast<GetLangStringProc>(GetProcAddress(module, "GetLangString"));
    const char* found = proc ? proc(id) : nullptr;
    if (!found) return false;
    *text = found;
    return true;
}

} // namespace zep3::detail

int LoadString(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string text;
    if (!zep3::detail::FindString(instance, id, &text)) {
        buffer[0] = '\0';
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t n = std::min(text.size(), static_cast<size_t>(bufferMax - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}
