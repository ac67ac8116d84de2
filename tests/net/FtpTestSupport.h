#pragma once
// Peers of the FTP client tests: vsftpd and pyftpdlib started on 127.0.0.1
// with their configuration in a scratch folder (stopped by the destructors,
// also when a test fails), and a scripted FTP peer that checks the exact
// commands it receives and answers from a script.
#include "NetTestSupport.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <fstream>
#include <sys/stat.h>

namespace ftptest {

using nettest::RawListener;
using zep3test::ChildProcess;

// Waits until something accepts connections on the port (20 s at most).
inline bool WaitForListener(UINT port, ChildProcess& server) {
    for (int i = 0; i < 2000 && server.Running(); ++i) {
        const int fd = nettest::RawConnect(port);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        usleep(10000);
    }
    return false;
}

// pyftpdlib with user "alice", password "secret", serving root.
class PyFtpServer {
public:
    bool Start(const std::string& root, const std::vector<std::string>& options = {}) {
        std::vector<std::string> argv = {"/usr/bin/python3", std::string(ZEP3_FTP_SERVER_SCRIPT), "--root",
                                         root};
        argv.insert(argv.end(), options.begin(), options.end());
        if (!m_process.Start(argv, root + "/../pyftpdlib.log", true)) return false;
        port = UINT(std::atoi(m_process.ReadLine().c_str()));
        return port != 0;
    }
    ChildProcess& process() { return m_process; }
    UINT port = 0;

private:
    ChildProcess m_process;
};

// vsftpd for anonymous users (any password) with uploads into root/pub; it
// runs only as root, which the tests check first.
class Vsftpd {
public:
    bool Start(const std::string& folder) {
        chmod(folder.c_str(), 0755); // the server's unprivileged user reaches the root through it
        const std::string root = folder + "/root", empty = folder + "/empty";
        mkdir(root.c_str(), 0755);
        mkdir(empty.c_str(), 0755);
        mkdir((root + "/pub").c_str(), 0777);
        chmod((root + "/pub").c_str(), 0777);
        for (int attempt = 0; attempt < 5; ++attempt) { // a port picked free may be taken before the bind
            port = FreePort();
            std::ofstream conf(folder + "/vsftpd.conf");
            conf << "listen=YES\nlisten_ipv6=NO\nbackground=NO\nlisten_address=127.0.0.1\nlisten_port="
                 << port
                 << "\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\nanon_upload_enable=YES\n"
                    "anon_other_write_enable=YES\nanon_world_readable_only=NO\nanon_umask=022\nanon_root="
                 << root << "\nsecure_chroot_dir=" << empty
                 << "\nseccomp_sandbox=NO\ndelay_failed_login=0\naccept_timeout=2\nconnect_timeout=10\n"
                    "data_connection_timeout=30\nidle_session_timeout=60\nxferlog_enable=NO\n";
            conf.close();
            m_process = std::make_unique<ChildProcess>();
            if (m_process->Start({"/usr/sbin/vsftpd", folder + "/vsftpd.conf"}, folder + "/vsftpd.log") &&
                WaitForListener(port, *m_process))
                return true;
        }
        return false;
    }
    UINT port = 0;

private:
    static UINT FreePort() { return RawListener().port(); }
    std::unique_ptr<ChildProcess> m_process;
};

// One control connection served by a script on its own thread. The script
// gets the connection and records what it reads; every read waits 20 s at most.
class ScriptedPeer {
public:
    struct Session {
        int fd;
        std::vector<std::string> received;
        // The next command line without its CR LF; empty when none came.
        std::string Read() {
            std::string line;
            char c;
            while (nettest::RawRead(fd, &c, 1) && c != '\n') line += c;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            received.push_back(line);
            return line;
        }
        void Send(const std::string& text) { nettest::RawWrite(fd, text); }
        // Reads one command, records it and answers with reply + CR LF.
        void Answer(const std::string& reply) {
            Read();
            Send(reply + "\r\n");
        }
    };

    explicit ScriptedPeer(std::function<void(Session&)> script)
        : m_thread([this, script] {
              Session session{m_listener.Accept(), {}};
              if (session.fd < 0) return;
              script(session);
              received = session.received;
              close(session.fd);
          }) {}
    ~ScriptedPeer() { Finish(); }
    UINT port() const { return m_listener.port(); }
    // Waits for the script to end; the commands it read are in `received`.
    void Finish() {
        if (m_thread.joinable()) m_thread.join();
    }
    std::vector<std::string> received;

private:
    RawListener m_listener;
    std::thread m_thread;
};

inline bool IsRoot() { return geteuid() == 0; }

} // namespace ftptest
