// The dialler on Linux: pppd, with its peers (/etc/ppp/peers/NAME) as the
// phonebook. A dial runs "pppd file PEER nodetach linkname NAME logfd 3" with
// the user name and password handed over on a pipe (never on the command
// line); its log lines tell the progress and its exit status the error.
// Entry properties are the peer file's device line and the number its
// chat script dials (ATDT).
#include <zep3/platform/LastError.h>
#include <zep3/platform/detail/Posix.h>
#include <zep3/system/detail/RasBackend.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zep3::detail {

namespace {

const char* const kPeers = "/etc/ppp/peers/";
const char* const kPppd = "/usr/sbin/pppd";

std::vector<std::string> Folder(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.' && e->d_name[strlen(e->d_name) - 1] != '~') names.push_back(e->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// pppd's exit status as a dial-up error.
DWORD ExitError(int status) {
    switch (status) {
    case 0:
        return 0;
    case 4:
        return ERROR_RASMAN_CANNOT_INITIALIZE; // no kernel support
    case 6:
    case 7:
        return ERROR_PORT_NOT_AVAILABLE; // lock or open of the line failed
    case 8:
        return ERROR_NO_ANSWER; // the connect script failed
    case 10:
        return ERROR_PPP_NO_RESPONSE;
    case 11:
    case 19:
        return ERROR_AUTHENTICATION_FAILURE;
    case 15:
        return ERROR_PPP_TIMEOUT;
    case 16:
        return ERROR_PORT_DISCONNECTED; // the modem hung up
    case 17:
        return ERROR_PPP_LOOPBACK_DETECTED;
    case 5:
        return ERROR_USER_DISCONNECTION;
    default:
        return ERROR_FROM_DEVICE;
    }
}

// The state a log line of pppd tells, or -1.
int LogState(const std::string& line) {
    if (line.find("Serial connection established") != std::string::npos) return RASCS_DeviceConnected;
    if (line.find("Connect: ") == 0) return RASCS_Authenticate;
    if (line.find("authentication succeeded") != std::string::npos) return RASCS_Authenticated;
    if (line.find("local  IP address") == 0) return RASCS_Connected;
    return -1;
}

// pppd's option quoting: backslash before a quote or backslash.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct PppDial {
    std::string entry;
    pid_t pid = -1;
    std::mutex lock;
    std::condition_variable changed;
    RASCONNSTATE state = RASCS_OpenPort;
    DWORD error = 0;
    bool ended = false;
    bool hungUp = false;
};

class Pppd : public RasBackend {
public:
    DWORD Entries(std::vector<std::string>& names) override {
        names = Folder(kPeers);
        return 0;
    }

    // Modems: tty devices whose driver drives modems (USB ACM and the mobile
    // broadband serial drivers); other serial lines are "serial".
    DWORD Devices(std::vector<RasDevice>& devices) override {
        static const char* const modemDrivers[] = {"cdc_acm", "option", "qcserial", "sierra", "hso"};
        for (const std::string& tty : Folder("/sys/class/tty")) {
            char target[256];
            const ssize_t n =
                readlink(("/sys/class/tty/" + tty + "/device/driver").c_str(), target, sizeof target - 1);
            if (n <= 0) continue;
            const std::string driver =
                std::string(target, size_t(n)).substr(std::string(target, size_t(n)).rfind('/') + 1);
            const bool modem =
                std::find(std::begin(modemDrivers), std::end(modemDrivers), driver) != std::end(modemDrivers);
            devices.push_back({"/dev/" + tty, modem ? RASDT_Modem : "serial"});
        }
        return 0;
    }

    DWORD Connections(std::vector<RasConnection>& connections) override {
        std::lock_guard<std::mutex> hold(m_lock);
        for (const auto& d : m_dials) {
            std::lock_guard<std::mutex> dial(d.second->lock);
            if (!d.second->ended && d.second->state == RASCS_Connected)
                connections.push_back({MakeRasHandle(d.first), d.second->entry});
        }
        return 0;
    }

    DWORD Dial(const std::string& entry, const std::string& user, const std::string& password,
               const RasNotifier& notifier, HRASCONN* connection) override {
        if (entry.find('/') != std::string::npos || access((kPeers + entry).c_str(), R_OK) != 0)
            return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        if (access(kPppd, X_OK) != 0) return ERROR_RASMAN_CANNOT_INITIALIZE;
        int log[2], secrets[2];
        if (pipe2(log, O_CLOEXEC) != 0) return ERROR_RASMAN_CANNOT_INITIALIZE;
        UniqueFd logRead(log[0]), logWrite(log[1]);
        if (pipe2(secrets, O_CLOEXEC) != 0) return ERROR_RASMAN_CANNOT_INITIALIZE;
        UniqueFd secretRead(secrets[0]), secretWrite(secrets[1]);
        const std::string options = "user " + Quoted(user) + "\npassword " + Quoted(password) + "\n";
        if (!WriteAll(secretWrite.Get(), options.data(), options.size()))
            return ERROR_RASMAN_CANNOT_INITIALIZE;
        secretWrite.Reset();

        const std::string peer = kPeers + entry;
        const char* argv[] = {kPppd,      "file",        peer.c_str(), "file", "/dev/fd/4", "nodetach",
                              "linkname", entry.c_str(), "logfd",      "3",    nullptr};
        auto dial = std::make_shared<PppDial>();
        dial->entry = entry;
        dial->pid = fork();
        if (dial->pid == 0) { // only async-signal-safe calls until exec
            dup2(logWrite.Get(), 3);
            dup2(secretRead.Get(), 4);
            execv(kPppd, const_cast<char* const*>(argv));
            _exit(127);
        }
        if (dial->pid < 0) return ERROR_RASMAN_CANNOT_INITIALIZE;
        logWrite.Reset();
        uint64_t number;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            number = ++m_lastNumber;
            m_dials[number] = dial;
        }
        *connection = MakeRasHandle(number);
        const HRASCONN handle = *connection;
        std::thread(Follow, dial, handle, notifier, std::make_shared<UniqueFd>(std::move(logRead))).detach();
        if (notifier) return 0;
        std::unique_lock<std::mutex> hold(dial->lock);
        dial->changed.wait(hold, [&] { return dial->ended || dial->state == RASCS_Connected; });
        return dial->state == RASCS_Connected && !dial->ended ? 0 : dial->error;
    }

    DWORD HangUp(HRASCONN connection) override {
        std::shared_ptr<PppDial> dial = FindDial(connection);
        if (!dial) return ERROR_INVALID_HANDLE;
        std::lock_guard<std::mutex> hold(dial->lock);
        dial->hungUp = true;
        if (!dial->ended) kill(dial->pid, SIGTERM);
        return 0;
    }

    DWORD Status(HRASCONN connection, RASCONNSTATE* state, DWORD* error) override {
        std::shared_ptr<PppDial> dial = FindDial(connection);
        if (!dial) return ERROR_INVALID_HANDLE;
        std::lock_guard<std::mutex> hold(dial->lock);
        if (dial->ended && (dial->hungUp || dial->state == RASCS_Disconnected)) {
            std::lock_guard<std::mutex> table(m_lock);
            m_dials.erase(uint64_t(reinterpret_cast<uintptr_t>(connection)));
            return ERROR_INVALID_HANDLE;
        }
        *state = dial->state;
        *error = dial->error;
        return 0;
    }

    DWORD Remove(const std::string& entry) override {
        return unlink((kPeers + entry).c_str()) == 0 ? 0 : DWORD(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    }

    DWORD Rename(const std::string& from, const std::string& to) override {
        if (access((kPeers + from).c_str(), F_OK) != 0) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        return MoveNoReplace(kPeers + from, kPeers + to) ? 0 : DWORD(ERROR_CANNOT_WRITE_PHONEBOOK);
    }

    DWORD GetProperties(const std::string& entry, RASENTRY& properties) override {
        std::string text;
        if (!ReadWholeFile(kPeers + entry, text)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (line.compare(0, 5, "/dev/") == 0)
                CopyText(properties.szDeviceName, sizeof properties.szDeviceName, line.c_str());
            const size_t dial = line.find("ATDT");
            if (dial != std::string::npos)
                CopyText(properties.szLocalPhoneNumber, sizeof properties.szLocalPhoneNumber,
                         line.substr(dial + 4, line.find_first_of(" '\"", dial) - dial - 4).c_str());
        }
        CopyText(properties.szDeviceType, sizeof properties.szDeviceType, RASDT_Modem);
        return 0;
    }

    DWORD SetProperties(const std::string& entry, const RASENTRY& p) override {
        const std::string text = std::string("# dial-up entry\n") + p.szDeviceName +
                                 "\n115200\ncrtscts\nlock\nnoauth\ndefaultroute\nusepeerdns\n"
                                 "connect \"/usr/sbin/chat -v ABORT BUSY ABORT 'NO CARRIER' '' ATZ OK ATDT" +
                                 p.szLocalPhoneNumber + " CONNECT ''\"\n";
        const std::string path = kPeers + entry;
        return ReplaceFileDurably(path, path + ".new", text.data(), text.size(), 0640)
                   ? DWORD(0)
                   : DWORD(ERROR_CANNOT_WRITE_PHONEBOOK);
    }

private:
    std::shared_ptr<PppDial> FindDial(HRASCONN connection) {
        std::lock_guard<std::mutex> hold(m_lock);
        auto at = m_dials.find(uint64_t(reinterpret_cast<uintptr_t>(connection)));
        return at == m_dials.end() ? nullptr : at->second;
    }

    // The dial's own thread: pppd's log lines become states; its end an
    // error (before it connected) or the disconnection.
    static void Follow(std::shared_ptr<PppDial> dial, HRASCONN handle, RasNotifier notifier,
                       std::shared_ptr<UniqueFd> log) {
        auto report = [&](RASCONNSTATE state, DWORD error) {
            {
                std::lock_guard<std::mutex> hold(dial->lock);
                dial->state = state;
                dial->error = error;
            }
            dial->changed.notify_all();
            if (notifier) notifier(handle, state, error);
        };
        report(RASCS_OpenPort, 0);
        std::string pending;
        char buffer[512];
        for (ssize_t n; (n = read(log->Get(), buffer, sizeof buffer)) != 0;) {
            if (n < 0) {
                if (errno == EINTR) continue;
                break;
            }
            pending.append(buffer, size_t(n));
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                const int state = LogState(pending.substr(0, end));
                if (state >= 0) report(RASCONNSTATE(state), 0);
            }
        }
        int status = 0;
        while (waitpid(dial->pid, &status, 0) < 0 && errno == EINTR) {
        }
        bool connected;
        {
            std::lock_guard<std::mutex> hold(dial->lock);
            connected = dial->state == RASCS_Connected;
        }
        const DWORD error =
            WIFEXITED(status) ? ExitError(WEXITSTATUS(status)) : DWORD(ERROR_USER_DISCONNECTION);
        if (!connected && error) report(dial->state, error);
        {
            std::lock_guard<std::mutex> hold(dial->lock);
            dial->ended = true;
            if (connected || !error) dial->state = RASCS_Disconnected;
        }
        dial->changed.notify_all();
        if (connected || !error) report(RASCS_Disconnected, 0);
    }

    std::mutex m_lock;
    std::map<uint64_t, std::shared_ptr<PppDial>> m_dials;
    uint64_t m_lastNumber = 0;
};

} // namespace

std::unique_ptr<RasBackend> MakePppdBackend() { return std::make_unique<Pppd>(); }

} // namespace zep3::detail
