#pragma once
// Helpers shared by the test suites: scratch folders and reference data.
#include <functional>
#include <string>

namespace zep3test {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// tests/data/<relative>.
std::string dataFile(const std::string& relative);
// Whole file as bytes; empty when unreadable.
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);
// Runs a shell command and returns its exit status; its standard output goes to *out.
int runCommand(const std::string& command, std::string* out = nullptr);
// Polls `condition` until it holds or 10 s passed; its last answer.
bool waitFor(const std::function<bool()>& condition);
// The names of the registered threads, each as "App:Name;".
std::string registeredThreadNames();

} // namespace zep3test
