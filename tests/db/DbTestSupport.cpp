#include "db/DbTestSupport.h"

#include <fstream>
#include <memory>
#include <sstream>

namespace dbtest {
namespace {

std::unique_ptr<MariaDbServer> g_server;
bool g_serverTried = false;

// Stops the shared server at the end of the run, whatever the tests did.
class ServerEnvironment : public testing::Environment {
public:
    void TearDown() override { g_server.reset(); }
};
const testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new ServerEnvironment);

} // namespace

MariaDbServer* SharedServer() {
    if (!g_serverTried) {
        g_serverTried = true;
        g_server = std::make_unique<MariaDbServer>();
        if (g_server->Start()) {
            g_server->SetClientDefaults();
        } else {
            ADD_FAILURE() << "the test server did not start:\n" << g_server->Logs();
            g_server.reset();
        }
    }
    return g_server.get();
}

testing::AssertionResult ConnectTestUser(CMySQLConnection& connection, const char* host) {
    if (!SharedServer()) return testing::AssertionFailure() << "no server";
    if (!connection.Init("")) return testing::AssertionFailure() << "the client library did not load";
    if (!connection.Connect(host, kUser, kPassword, kDatabase))
        return testing::AssertionFailure() << "refused: " << ClientError(connection.GetMYSQL());
    return testing::AssertionSuccess();
}

int LoadedClientCopies(std::string* path) {
    std::ifstream maps("/proc/self/maps");
    const std::string name = "/libmariadb.so.3";
    int copies = 0;
    for (std::string line; std::getline(maps, line);) {
        std::istringstream fields(line);
        std::string range, mode, offset, device, inode, file;
        fields >> range >> mode >> offset >> device >> inode >> file;
        if (file.size() < name.size() || file.compare(file.size() - name.size(), name.size(), name) != 0)
            continue;
        if (std::stoull(offset, nullptr, 16) != 0) continue; // a copy maps its start once
        ++copies;
        if (path) *path = file;
    }
    return copies;
}

std::string ClientError(st_mysql* connection) {
    HMODULE client = GetModuleHandle("libmariadb.so.3");
    auto error = reinterpret_cast<const char* (*)(st_mysql*)>(GetProcAddress(client, "mysql_error"));
    return error && connection ? error(connection) : "";
}

std::vector<std::vector<std::string>> Rows(CMySQLConnection& connection, const char* statement) {
    std::vector<std::vector<std::string>> rows;
    if (!connection.DoQuery(statement)) return rows;
    CMySQLResult result = connection.GetResult();
    while (result.NextRow()) {
        rows.emplace_back();
        for (int i = 0; i < result.GetFieldCount(); ++i) rows.back().push_back(result.GetField(i).str());
    }
    return rows;
}

} // namespace dbtest
