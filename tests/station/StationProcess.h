#pragma once
// The built station as a child process of a test: its standard output and
// error go to files in its output folder, every wait is bounded and checks
// a condition, and a station still running when the object goes away is
// killed.
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace stationtest {

class StationProcess {
public:
    StationProcess(std::string folder, std::vector<std::string> arguments);
    ~StationProcess();
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    pid_t Pid() const { return m_Pid; }
    std::string Output() const;
    std::string Errors() const;
    // The log's text, every file of the ring (binary headers included).
    std::string Log() const;
    // Sends a signal.
    void Signal(int signal);
    // Waits for the process to end; its exit status (or 128 + signal), -1
    // when it is still running after timeoutMs.
    int Wait(int timeoutMs);
    // The port from "remote control on 127.0.0.1:N", once printed; 0 if not
    // within timeoutMs.
    int WaitForPort(int timeoutMs);

private:
    std::string m_Folder;
    pid_t m_Pid = -1;
    int m_Status = -1;
};

// Polls `condition` every 20 ms until it holds or timeoutMs has passed.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

// Writes settings (key under Station\, value) into the folder's INI, the
// way a user would before the first start.
void WriteSettings(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& settings);

// The log's last "frames: ..." line; -1 in every field when there is none.
struct FrameTally {
    long grabbed = -1, last = -1, missed = -1, recorded = -1, notRecorded = -1;
};
FrameTally Tally(const std::string& log);

// "segment closed: NAME, N frames" lines of a log, in order.
std::vector<std::pair<std::string, int>> ClosedSegments(const std::string& log);

// ffprobe's frame count (frames actually read) and rate of an AVI's first
// video stream; count -1 when ffprobe cannot read it.
struct Probe {
    int frames = -1;
    std::string rate;
    std::string codec;
};
Probe ProbeVideo(const std::string& path);

// Whether the file is a JPEG that decodes to width x height.
bool DecodesAsJpeg(const std::string& path, int width, int height);

std::string StationBinary();
std::string ClientBinary();

} // namespace stationtest
