#pragma once
// The camera station: a grabber thread ("Capture") takes each frame from the
// grabber plug-in, runs the zone analysis on it, records it into the AVI
// segments and takes a JPEG snapshot (with the ground view beside it) when
// an object enters the zone. Everything goes to the ring log. The remote
// port (RemoteServer) and the web pages (WebServer) ask Status and
// LatestSnapshot from other threads.
#include "SegmentRecorder.h"
#include "Settings.h"
#include "ZoneAnalysis.h"

#include <zep3/zep3.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct FoundObject {
    CRect box;
    int mass = 0; // pixels
};

struct StationStatus {
    uint64_t grabbed = 0;      // frames taken from the grabber
    uint64_t missed = 0;       // frames the grabber skipped while the station was busy
    uint64_t recorded = 0;     // frames written to segments
    uint64_t notRecorded = 0;  // frames grabbed but not written (no space, codec or file error)
    uint64_t snapshots = 0;
    std::vector<FoundObject> objects; // in the zone, after the latest analysis
    int sensitivity = 0;
    long lastFrame = -1;
    std::string segment;       // the segment being written, empty when paused
};

struct Snapshot {
    int number = 0;
    long frame = -1;
    CSize size;
    CSystemTime time;
    std::vector<BYTE> jpeg;
};

class Station {
public:
    // folder: the output folder (created when missing).
    explicit Station(std::string folder);
    ~Station();

    // Creates the folder, opens the log, reads the settings (printing them
    // and any problem), opens the grabber and starts the capture thread.
    // False, with the reason on standard error, when the station cannot run.
    bool Start();
    // Stores a new password (obscured) in the folder's INI for the next
    // start; false, with the reason on standard error, when it cannot.
    bool SetPassword(const CString& password);
    // Stops the capture thread, closes the segment and the log ("*** Stop
    // ***") and prints where the files are. Safe to call twice.
    void Stop();

    const StationSettings& Settings() const { return m_Settings; }
    const std::string& Folder() const { return m_Folder; }
    StationStatus Status() const;
    // False while no snapshot has been taken.
    bool LatestSnapshot(Snapshot& out) const;
    void Log(const std::string& text);
    // Applies a sensitivity (1..100) to the running analysis and writes it
    // to the INI; false when the INI could not be written.
    bool SetSensitivity(int sensitivity);

private:
    bool OpenFolder();
    static UINT CaptureThread(void* self);
    void Capture();
    void HandleFrame(CImageBuffer& frame);
    void TakeSnapshot(const CImageBuffer& frame);
    bool OpenGrabber();
    void PrintFiles() const;

    std::string m_Folder;
    StationSettings m_Settings;
    std::unique_ptr<CLogFile> m_Log;
    std::unique_ptr<ZoneAnalysis> m_Analysis;
    std::unique_ptr<SegmentRecorder> m_Recorder;
    CGrabber* m_pGrabber = nullptr;
    CWinThread* m_pThread = nullptr;
    std::atomic<bool> m_bRunning{false};
    CImageBuffer m_Overlay; // the snapshot being made
    int m_nPreviousObjects = 0;
    int m_nNextSnapshot = 1;
    std::mutex m_AnalysisLock; // the capture thread's analysis against SetSensitivity
    mutable std::mutex m_Lock; // guards m_Status, m_Latest and m_Settings.sensitivity
    StationStatus m_Status;
    Snapshot m_Latest;
    bool m_bStopped = false;
    int m_nLockFd = -1; // zep3-station.lock, locked while the station runs
};
