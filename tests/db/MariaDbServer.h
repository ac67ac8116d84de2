#pragma once
// A MariaDB server of the tests' own (the benchmark uses it too): a data
// folder made by mariadb-install-db in a scratch folder, and mariadbd
// listening only on 127.0.0.1 on a free port and on a Unix socket in the
// scratch folder. It has the database "zep3test" and its user "zep3" with the
// password kPassword. The server dies with the process that started it, and
// the destructor stops it and removes the scratch folder.
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
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
        std::vector<std::string> args = {"/usr/bin/mariadb-install-db",
                                         "--no-defaults",
                                         "--datadir=" + m_dir + "/data",
                                         "--skip-test-db",
                                         "--auth-root-authentication-method=socket",
                                         "--skip-name-resolve"};
        AddServerOptions(args);
        pid_t pid = Spawn(args, m_dir + "/install.log");
        m_installed = pid > 0 && WaitExit(pid, std::chrono::seconds(180)) == 0;
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
        if (!m_installed || m_pid > 0) return m_pid > 0;
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (m_port == 0 || attempt > 0) m_port = FreePort();
            std::vector<std::string> args = {"/usr/sbin/mariadbd",
                                             "--no-defaults",
                                             "--datadir=" + m_dir + "/data",
                                             "--socket=" + Socket(),
                                             "--port=" + std::to_string(m_port),
                                             "--bind-address=127.0.0.1",
                                             "--skip-name-resolve",
                                             "--pid-file=" + m_dir + "/mariadbd.pid",
                                             "--log-error=" + m_dir + "/error.log",
                                             "--init-file=" + m_dir + "/init.sql",
                                             "--max-allowed-packet=64M",
                                             "--innodb-flush-log-at-trx-commit=0"};
            AddServerOptions(args);
            m_pid = Spawn(args, m_dir + "/mariadbd.out");
            if (m_pid > 0 && WaitReady()) return true;
            Stop();
        }
        return false;
    }

    // Stops the server (SIGTERM, then SIGKILL after a minute) and waits for
    // its end.
    void Stop() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        if (WaitExit(m_pid, std::chrono::seconds(60)) == -2) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
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
        args.push_back("--innodb-log-file-size=4M");
        args.push_back("--innodb-buffer-pool-size=16M");
    }

    // Starts a program (by its full path) with its output in a file; it is
    // killed when the thread that started it ends. Everything is prepared
    // before the fork, so that the child only calls what is safe there.
    static pid_t Spawn(const std::vector<std::string>& args, const std::string& output) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const pid_t parent = getpid();
        pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                dup2(fd, 1);
                dup2(fd, 2);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }

    // The exit status, -1 when it did not exit normally, -2 when it is still
    // running at the time limit.
    static int WaitExit(pid_t pid, std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) return -2;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Polls the socket and the port (a minute at most) until both take a
    // connection; false as soon as the server has ended.
    bool WaitReady() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            if (Accepts(AF_UNIX) && Accepts(AF_INET)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    bool Accepts(int family) const {
        int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        int rc;
        if (family == AF_UNIX) {
            sockaddr_un a{};
            a.sun_family = AF_UNIX;
            std::snprintf(a.sun_path, sizeof a.sun_path, "%s", Socket().c_str());
            rc = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        } else {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<uint16_t>(m_port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            rc = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        }
        close(fd);
        return rc == 0;
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
    pid_t m_pid = -1;
    int m_port = 0;
};

} // namespace dbtest
