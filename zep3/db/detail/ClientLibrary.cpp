#include <zep3/db/detail/ClientLibrary.h>
#include <zep3/platform/Module.h>

#include <mutex>
#include <type_traits>

// Only for checking the entry points' types against the library's own
// declarations; nothing here links to the library.
#include <mariadb/mysql.h>

namespace zep3::detail {

static_assert(std::is_same_v<decltype(MySQLClientApi::init), decltype(&::mysql_init)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::realConnect), decltype(&::mysql_real_connect)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::close), decltype(&::mysql_close)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::error), decltype(&::mysql_error)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::query), decltype(&::mysql_query)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::storeResult), decltype(&::mysql_store_result)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::freeResult), decltype(&::mysql_free_result)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::numRows), decltype(&::mysql_num_rows)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::numFields), decltype(&::mysql_num_fields)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::fetchRow), decltype(&::mysql_fetch_row)>);
static_assert(std::is_same_v<decltype(MySQLClientApi::fetchFields), decltype(&::mysql_fetch_fields)>);

namespace {

// Plain globals without destructors: they stay valid while other static
// objects (connections among them) are destroyed at exit.
std::mutex g_lock;
HMODULE g_module = nullptr;
int g_references = 0;
MySQLClientApi g_api{};
// The library's own clean-up ("mysql_server_end", alias mysql_library_end),
// called before unloading when this binding was the one that brought the
// library in: its process-wide allocations would otherwise be lost with it.
// Optional.
void (*g_libraryEnd)() = nullptr;

template <typename F> bool LookUp(HMODULE module, const char* name, F& entry) {
    entry = reinterpret_cast<F>(GetProcAddress(module, name));
    return entry != nullptr;
}

bool LookUpAll(HMODULE m, MySQLClientApi& api) {
    return LookUp(m, "mysql_init", api.init) && LookUp(m, "mysql_real_connect", api.realConnect) &&
           LookUp(m, "mysql_close", api.close) && LookUp(m, "mysql_error", api.error) &&
           LookUp(m, "mysql_query", api.query) && LookUp(m, "mysql_store_result", api.storeResult) &&
           LookUp(m, "mysql_free_result", api.freeResult) && LookUp(m, "mysql_num_rows", api.numRows) &&
           LookUp(m, "mysql_num_fields", api.numFields) && LookUp(m, "mysql_fetch_row", api.fetchRow) &&
           LookUp(m, "mysql_fetch_fields", api.fetchFields);
}

void UnloadLocked() {
    if (g_libraryEnd) g_libraryEnd();
    FreeLibrary(g_module);
    g_module = nullptr;
    g_api = MySQLClientApi{};
    g_libraryEnd = nullptr;
}

// The binding gives back one more reference when this library is unloaded,
// so that a connection never destroyed does not keep the client loaded.
struct ReleaseAtExit {
    ~ReleaseAtExit() { ReleaseClientLibrary(); }
} g_releaseAtExit;

} // namespace

const MySQLClientApi& ClientApi() { return g_api; }

bool AcquireClientLibrary(const std::string& path) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_module) {
        ++g_references;
        return true;
    }
    const bool broughtIn = GetModuleHandle(path.c_str()) == nullptr;
    HMODULE module = LoadLibrary(path.c_str());
    if (!module) return false;
    MySQLClientApi api{};
    if (!LookUpAll(module, api)) {
        FreeLibrary(module);
        return false;
    }
    g_module = module;
    g_api = api;
    if (broughtIn) LookUp(module, "mysql_server_end", g_libraryEnd);
    g_references = 1;
    return true;
}

bool AddClientLibraryReference() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_module) return false;
    ++g_references;
    return true;
}

void ReleaseClientLibrary() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_references <= 0) return;
    if (--g_references == 0) UnloadLocked();
}

int ClientLibraryReferences() {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_references;
}

} // namespace zep3::detail
