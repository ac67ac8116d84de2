#include "StationProcess.h"

#include "support/TestSupport.h"

#include <zep3/zep3.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <regex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace stationtest {

std::string StationBinary() { return ZEP3_STATION_BINARY; }
std::string ClientBinary() { return ZEP3_STATION_CLIENT_BINARY; }

StationProcess::StationProcess(std::string folder, std::vector<std::string> arguments) : m_Folder(std::move(folder)) {
    std::vector<std::string> argv{StationBinary(), m_Folder};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const std::string out = m_Folder + "/stdout.txt", err = m_Folder + "/stderr.txt";
    m_Pid = fork();
    if (m_Pid == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(o, 1);
        dup2(e, 2);
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
}

StationProcess::~StationProcess() {
    if (m_Pid > 0 && m_Status < 0) {
        kill(m_Pid, SIGKILL);
        waitpid(m_Pid, nullptr, 0);
    }
}

std::string StationProcess::Output() const { return zep3test::readFile(m_Folder + "/stdout.txt"); }
std::string StationProcess::Errors() const { return zep3test::readFile(m_Folder + "/stderr.txt"); }

std::string StationProcess::Log() const {
    std::string text;
    for (int i = 0; i < 10; ++i) text += zep3test::readFile(m_Folder + "/zep3-station0" + std::to_string(i) + ".log");
    return text;
}

void StationProcess::Signal(int signal) {
    if (m_Pid > 0 && m_Status < 0) kill(m_Pid, signal);
}

int StationProcess::Wait(int timeoutMs) {
    WaitUntil(
        [this] {
            int status = 0;
            if (m_Status >= 0 || waitpid(m_Pid, &status, WNOHANG) != m_Pid) return m_Status >= 0;
            m_Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        },
        timeoutMs);
    return m_Status;
}

int StationProcess::WaitForPort(int timeoutMs) {
    static const std::regex line("remote control on 127\\.0\\.0\\.1:([0-9]+)");
    int port = 0;
    WaitUntil(
        [&] {
            std::smatch m;
            const std::string out = Output();
            if (std::regex_search(out, m, line)) port = std::stoi(m[1]);
            return port > 0;
        },
        timeoutMs);
    return port;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= limit) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void WriteSettings(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& settings) {
    CIniFile ini((folder + "/zep3-station.ini").c_str(), true);
    for (const auto& [key, value] : settings) {
        CString text = value.c_str();
        ExchangeObject(&ini, 1, ("Station\\" + key).c_str(), &text);
    }
    ini.WriteIniFile(false);
}

FrameTally Tally(const std::string& log) {
    static const std::regex line("frames: ([0-9]+) grabbed \\(last number (-?[0-9]+)\\), ([0-9]+) missed, ([0-9]+) "
                                 "recorded, ([0-9]+) not recorded");
    FrameTally t;
    std::smatch m;
    if (std::regex_search(log, m, line))
        t = {std::stol(m[1]), std::stol(m[2]), std::stol(m[3]), std::stol(m[4]), std::stol(m[5])};
    return t;
}

std::vector<std::pair<std::string, int>> ClosedSegments(const std::string& log) {
    static const std::regex line("segment closed: (segment-[0-9]+\\.avi), ([0-9]+) frames");
    std::vector<std::pair<std::string, int>> found;
    for (std::sregex_iterator i(log.begin(), log.end(), line), end; i != end; ++i)
        found.emplace_back((*i)[1], std::stoi((*i)[2]));
    return found;
}

Probe ProbeVideo(const std::string& path) {
    std::string out;
    Probe probe;
    if (zep3test::runCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                             "stream=codec_name,r_frame_rate,nb_read_frames -of default=nw=1 '" +
                                 path + "'",
                             &out) != 0)
        return probe;
    std::smatch m;
    if (std::regex_search(out, m, std::regex("nb_read_frames=([0-9]+)"))) probe.frames = std::stoi(m[1]);
    if (std::regex_search(out, m, std::regex("r_frame_rate=([0-9/]+)"))) probe.rate = m[1];
    if (std::regex_search(out, m, std::regex("codec_name=([a-z0-9]+)"))) probe.codec = m[1];
    return probe;
}

bool DecodesAsJpeg(const std::string& path, int width, int height) {
    CJpegFile jpeg;
    unsigned char* pixels = nullptr;
    CSize size;
    return jpeg.LoadFromFile(path.c_str(), &pixels, size) && size.cx >= width && size.cx < width + 4 &&
           size.cy == height;
}

} // namespace stationtest
