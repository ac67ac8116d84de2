#pragma once
// A server program run by a test (FTP and database servers, a D-Bus
// daemon): started by its full path with its output in a log file, killed
// with the thread that started it, stopped (TERM, then KILL) when the object
// goes away, also when the test fails. Header-only, so that benchmarks that
// start the same servers need no test library.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zep3test {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv with standard output and error in `log`; with pipeOutput,
    // standard output goes to a pipe that ReadLine reads instead. Everything
    // is prepared before the fork: the child only calls what is safe there.
    bool Start(const std::vector<std::string>& argv, const std::string& log, bool pipeOutput = false) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        int out[2] = {-1, -1};
        if (pipeOutput && pipe2(out, O_CLOEXEC) != 0) return false;
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            dup2(pipeOutput ? out[1] : fd, 1);
            dup2(fd, 2);
            execv(args[0], args.data());
            _exit(127);
        }
        if (pipeOutput) {
            close(out[1]);
            m_out = out[0];
        }
        return m_pid > 0;
    }
    // The next line of its standard output, waiting 20 s at most; empty when none came.
    std::string ReadLine() {
        std::string line;
        char c;
        pollfd p = {m_out, POLLIN, 0};
        while (poll(&p, 1, 20000) == 1 && read(m_out, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }
    // Its exit status once it has ended, waiting up to timeoutMs: -1 when it
    // did not exit normally, -2 when it still runs.
    int Wait(int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        while (m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) return -2;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    bool Running() { return m_pid > 0 && Wait(0) == -2; }
    void Kill() {
        if (m_pid > 0) kill(m_pid, SIGKILL);
    }
    void Stop(int graceMs = 5000) {
        if (m_pid > 0) kill(m_pid, SIGTERM);
        if (Wait(graceMs) == -2) {
            Kill();
            Wait(60000);
        }
        if (m_out >= 0) close(m_out);
        m_out = -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

} // namespace zep3test
