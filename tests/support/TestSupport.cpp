#include <chrono>
#include <thread>
#include "support/TestSupport.h"

#include <zep3/zep3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace zep3test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zep3test-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
}

std::string dataFile(const std::string& relative) {
    const char* root = std::getenv("ZEP3_TEST_DATA");
    return std::string(root ? root : ZEP3_TEST_DATA_DIR) + "/" + relative;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int runCommand(const std::string& command, std::string* out) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        if (out) out->append(buf, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool waitFor(const std::function<bool()>& condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string registeredThreadNames() {
    CSingleLock lock(&CThreadManager::m_CriticalSection, true);
    std::string names;
    POSITION pos = CThreadManager::m_ThreadInfoMap.GetStartPosition();
    while (pos) {
        unsigned int id = 0;
        SThreadInfo* info = nullptr;
        CThreadManager::m_ThreadInfoMap.GetNextAssoc(pos, id, info);
        names += std::string(info->m_Name) + ";";
    }
    return names;
}

} // namespace zep3test
