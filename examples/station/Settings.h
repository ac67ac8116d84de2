#pragma once
// The station's settings: every value has a default compiled in. The INI
// (zep3-station.ini in the output folder) is created with the defaults on
// the first run; keys missing later are added. A value that is not valid is
// named on standard error and the default is used for this run; the file
// keeps what the user wrote, so that nothing typed by hand is lost.
#include <zep3/zep3.h>

#include <string>
#include <vector>

struct StationSettings {
    CString grabber = "TestPatternGrabber.dll"; // "VfW" for a V4L2 camera
    int width = 640;
    int height = 480;
    int rate = 10; // frames per second
    int objects = 3; // moving objects of the test pattern
    int segmentSeconds = 10;
    int limitMB = 200; // the recording folder's size limit
    int minFreeMB = 50; // recording pauses below this much free space
    int quality = 80; // JPEG quality of segments and snapshots
    int snapshotLimit = 100; // the newest snapshots kept
    int sensitivity = 50; // 1..100: how faint an object may be
    int minimumMass = 200; // pixels an object needs to count
    int remotePort = 7010; // 0: any free port
    int webPort = 7080; // 0: any free port
    CString user = "admin"; // for the remote port and the web pages
    CString password = "zep3"; // kept obscured in the INI
};

class SettingsFile {
public:
    explicit SettingsFile(std::string path) : m_Path(std::move(path)) {}
    const std::string& Path() const { return m_Path; }

    // Reads the settings (creating the file or adding missing keys with the
    // defaults) and lets `analysis` read its trackers from the same file.
    // Problems go to `problems`, one line each. False when the file cannot
    // be read or written at all (the defaults are then in effect).
    bool Load(StationSettings& settings, CModule& analysis, std::vector<std::string>& problems);
    // Writes the sensitivity and the trackers back, keeping everything else.
    bool SaveAnalysis(const StationSettings& settings, CModule& analysis);
    // Stores a new password, obscured, keeping everything else. False for an
    // empty password or when the file cannot be written.
    bool SetPassword(const CString& password);
    // Key = value lines of the settings in effect, with the default of each.
    static std::vector<std::string> Describe(const StationSettings& settings);

    // The key the password is obscured with.
    static const char* const kPasswordKey;

private:
    std::string m_Path;
};

// A whole decimal number within [low, high]; white space around it is allowed.
bool ParseWholeNumber(const CString& text, int low, int high, int& out);
