#include <zep3/system/detail/RasBackend.h>

#include <cstdlib>
#include <map>
#include <mutex>

namespace zep3::detail {

RasBackend::~RasBackend() = default;

HRASCONN MakeRasHandle(uint64_t number) { return reinterpret_cast<HRASCONN>(uintptr_t(number)); }

RasBackend& CurrentRasBackend() {
    static std::mutex lock;
    static std::unique_ptr<RasBackend> pppd;
    static std::map<std::string, std::unique_ptr<RasBackend>> doubles; // one per file, for the process's life
    std::lock_guard<std::mutex> hold(lock);
    if (const char* file = getenv("ZEP3_RAS_PHONEBOOK")) {
        std::unique_ptr<RasBackend>& phonebook = doubles[file];
        if (!phonebook) phonebook = MakePhonebookDouble(file);
        return *phonebook;
    }
    if (!pppd) pppd = MakePppdBackend();
    return *pppd;
}

} // namespace zep3::detail
