// The ZEP3 camera station: frames from a grabber plug-in (the test-pattern
// camera unless the INI names another, "VfW" for a V4L2 camera) go through an
// analysis module with a polygon zone and a ground rectangle seen in
// perspective, into AVI (MJPG) segments kept under a size limit, with a
// JPEG snapshot whenever an object enters the zone. The remote-control port
// answers the command-line client (zep3-station-client); the web pages show
// the status to a browser after a login.
//
//   zep3-station [output folder] [--seconds N]
//   zep3-station [output folder] --set-password   (reads it from standard input)
//
// The output folder (default ./zep3-station) holds zep3-station.ini, created
// with the defaults on the first run, the ring log, the segments and the
// snapshots. The station runs until Ctrl-C or SIGTERM, or for N seconds.
// With ZEP3_STATION_CRASH=1 it faults on purpose once running, to show the
// crash report.
#include "RemoteServer.h"
#include "Station.h"
#include "WebServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int signal) { g_stopSignal = signal; }

struct Arguments {
    std::string folder = "./zep3-station";
    long seconds = 0; // 0: until a signal
    bool setPassword = false;
};

bool ParseArguments(int argc, char** argv, Arguments& args) {
    bool folderGiven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            char* end = nullptr;
            args.seconds = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || args.seconds <= 0) return false;
        } else if (std::strcmp(argv[i], "--set-password") == 0) {
            args.setPassword = true;
        } else if (argv[i][0] != '-' && !folderGiven) {
            args.folder = argv[i];
            folderGiven = true;
        } else {
            return false;
        }
    }
    return true;
}

void InstallSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Serves the remote port on this thread until a signal or the time is up.
void Serve(RemoteServer& server, long seconds) {
    CCounter clock;
    clock.Start();
    auto done = [&] { return g_stopSignal != 0 || (seconds > 0 && clock.GetCountsDouble() >= seconds * 1000.0); };
    while (!done()) {
        PumpMessagesUntil(done, 200);
        server.Sweep();
    }
}

// One line from standard input, not echoed when typed at a terminal.
CString ReadPassword() {
    termios before{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &before) == 0;
    if (terminal) {
        std::fprintf(stderr, "new password: ");
        termios quiet = before;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        std::fprintf(stderr, "\n");
    }
    return line.c_str();
}

int SetPassword(const std::string& folder) {
    Station station(folder);
    if (!station.SetPassword(ReadPassword())) return 1;
    std::printf("zep3-station: password stored, obscured, in %s/zep3-station.ini; it counts from the next start\n",
                station.Folder().c_str());
    return 0;
}

int CannotListen(Station& station, int port) {
    station.Log("cannot listen on 127.0.0.1:" + std::to_string(port));
    std::fprintf(stderr, "zep3-station: cannot listen on 127.0.0.1:%d\n", port);
    return 1;
}

void CrashIfAsked(Station& station) {
    const char* ask = std::getenv("ZEP3_STATION_CRASH");
    if (!ask || std::strcmp(ask, "1") != 0) return;
    station.Log("crashing on purpose (ZEP3_STATION_CRASH=1)");
    std::printf("zep3-station: crashing on purpose; the report goes to %s\n", CCrashHandler::m_LogFileName);
    std::fflush(stdout);
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments(argc, argv, args)) {
        std::fprintf(stderr, "usage: zep3-station [output folder] [--seconds N]\n"
                             "       zep3-station [output folder] --set-password   (reads it from standard input)\n");
        return 2;
    }
    if (args.setPassword) return SetPassword(args.folder);
    InstallSignals();
    Station station(args.folder);
    if (!station.Start()) return 1;
    {
        // The servers end before the station stops: their pages use it.
        RemoteServer server(station);
        WebServer web(station);
        const StationSettings& settings = station.Settings();
        if (!server.Start(UINT(settings.remotePort))) return CannotListen(station, settings.remotePort);
        if (!web.Start(settings.webPort)) return CannotListen(station, settings.webPort);
        station.Log("remote control on 127.0.0.1:" + std::to_string(server.Port()) + ", web pages on http://127.0.0.1:" +
                    std::to_string(web.Port()) + "/");
        std::printf("zep3-station: remote control on 127.0.0.1:%u\n", server.Port());
        std::printf("zep3-station: web pages on http://127.0.0.1:%u/ (user %s)\n", web.Port(),
                    static_cast<const char*>(settings.user));
        std::printf("zep3-station: running %s; Ctrl-C stops\n",
                    args.seconds > 0 ? ("for " + std::to_string(args.seconds) + " seconds").c_str() : "until stopped");
        std::fflush(stdout);
        CrashIfAsked(station);
        Serve(server, args.seconds);
    }
    if (g_stopSignal) station.Log(g_stopSignal == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM");
    station.Stop();
    return 0;
}
