#pragma once
// A MariaDB server of the tests' own (the benchmark uses it too): a data
// folder made by mariadb-install-db in a scratch folder, and mariadbd
// listening only on 127.0.0.1 on a free port and on a Unix socket in the
// scratch folder. It has the database "zep3test" and its user "zep3" with the
// password kPassword. The server dies with the process that started it, and
// the destructor stops it and removes the scratch folder.
#include "support/ChildProcess.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace dbtest {

inline constexpr char kDatabase[] = "zep3test";
inline constexpr char kUser[] = "zep3";
inline constexpr char kPassword[] = "Zep3-secret";

// A TCP socket bound to a free port of 127.0.0.1 that does not listen, so
// that connections to it are refused; -1 on failure.
inline int BindFreeLoopbackPort(int& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

class MariaDbServer {
public:
    MariaDbServer() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zep3db-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        m_dir = pattern;
        std::ofstream init(m_dir + "/init.sql");
        init << "CREATE DATABASE IF NOT EXISTS " << kDatabase << ";\n";
        for (const char* host : {"localhost", "127.0.0.1"})
            init << "CREATE USER IF NOT EXISTS '" << kUser << "'@'" << host << "' IDENTIFIED BY '"
                 << kPassword << "';\nGRANT ALL ON " << kDatabase << ".* TO '" << kUser << "'@'" << host
                 << "';\n";
        init.close();
        std::vector<std::string> args = {"/usr/bin/mariadb-install-db", "--no-defaults", "--datadir=" + m_dir + "/data",
                                         "--skip-test-db", "--auth-root-authentication-method=socket",
                                         "--skip-name-resolve"};
        AddServerOptions(args);
        zep3test::ChildProcess install;
        m_installed = install.Start(args, m_dir + "/install.log") && install.Wait(180000) == 0;
    }
    ~MariaDbServer() {
        Stop();
        std::error_code ec;
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
    }
    MariaDbServer(const MariaDbServer&) = delete;
    MariaDbServer& operator=(const MariaDbServer&) = delete;

    // Starts the server (again, after Stop, on the same data and port) and
    // waits until both its socket and its port take connections. A port
    // that another process took meanwhile is replaced by a new free one.
    bool Start() {
        if (!m_installed || m_server) return bool(m_server);
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (m_port == 0 || attempt > 0) m_port = FreePort();
            std::vector<std::string> args = {
                "/usr/sbin/mariadbd", "--no-defaults", "--datadir=" + m_dir + "/data", "--socket=" + Socket(),
                "--port=" + std::to_string(m_port), "--bind-address=127.0.0.1", "--skip-name-resolve",
                "--pid-file=" + m_dir + "/mariadbd.pid", "--log-error=" + m_dir + "/error.log",
                "--init-file=" + m_dir + "/init.sql", "--max-allowed-packet=64M",
                "--innodb-flush-log-at-trx-commit=0"};
            AddServerOptions(args);
            const size_t logStart = ReadText("error.log").size(); // a restart appends to the log
            m_server = std::make_unique<zep3test::ChildProcess>();
            if (m_server->Start(args, m_dir + "/mariadbd.out") && WaitReady(logStart)) return true;
            Stop();
        }
        return false;
    }

    // Stops the server (SIGTERM, then SIGKILL after a minute) and waits for its end.
    void Stop() {
        if (m_server) m_server->Stop(60000);
        m_server.reset();
    }

    // Makes this server the client library's default for connections without
    // a port or socket (read when the library is loaded).
    void SetClientDefaults() const {
        setenv("MYSQL_TCP_PORT", std::to_string(m_port).c_str(), 1);
        setenv("MYSQL_UNIX_PORT", Socket().c_str(), 1);
    }

    std::string Socket() const { return m_dir + "/mariadbd.sock"; }
    // The server's logs, for failure messages.
    std::string Logs() const {
        return ReadText("install.log") + ReadText("error.log") + ReadText("mariadbd.out");
    }

private:
    static void AddServerOptions(std::vector<std::string>& args) {
        // mariadbd refuses to run as root unless told to.
        if (geteuid() == 0) args.push_back("--user=root");
        args.insert(args.end(), {"--innodb-log-file-size=4M", "--innodb-buffer-pool-size=16M"});
    }

    // Waits (a minute at most) until the server's log says that its socket
    // and port take connections; false as soon as the server has ended.
    bool WaitReady(size_t logStart) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < end && m_server->Running()) {
            if (ReadText("error.log").find("ready for connections", logStart) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    static int FreePort() {
        int port = 0;
        close(BindFreeLoopbackPort(port));
        return port;
    }

    std::string ReadText(const char* name) const {
        std::ifstream in(m_dir + "/" + name);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_dir;
    bool m_installed = false;
    std::unique_ptr<zep3test::ChildProcess> m_server;
    int m_port = 0;
};

} // namespace dbtest
