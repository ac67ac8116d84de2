#include "Station.h"

#include "NumberedFiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

#ifndef ZEP3_STATION_PLUGIN_DIR
#define ZEP3_STATION_PLUGIN_DIR "../lib/zep3"
#endif

namespace {

const char* const kAppName = "zep3-station";
const char* const kSnapshotPrefix = "snapshot-";
const char* const kSnapshotSuffix = ".jpg";
const int kGrabTimeoutMs = 1000;
const int kLogSize = 256 * 1024;
const int kLogFiles = 4;

// Installed for the whole run, as applications do it: a fault writes
// zep3-station.RPT beside the executable.
CCrashHandler g_crashHandler;

std::string ExecutableFolder() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

// A plug-in named without a folder is looked for beside the station, in
// the build tree's grabber folder and in the installed plug-in folder.
CString FindPlugin(const CString& name) {
    const std::string text = static_cast<const char*>(name);
    if (text == "VfW" || text.find('/') != std::string::npos) return name;
    std::string file = text;
    if (file.size() > 4 && file.compare(file.size() - 4, 4, ".dll") == 0) file.replace(file.size() - 4, 4, ".so");
    const std::string here = ExecutableFolder();
    for (const std::string& folder : {here, here + "/../grabber", here + "/" + ZEP3_STATION_PLUGIN_DIR}) {
        std::error_code ec;
        if (fs::exists(folder + "/" + file, ec)) return (fs::weakly_canonical(folder + "/" + file, ec)).c_str();
    }
    return name;
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out.flush());
}

} // namespace

Station::Station(std::string folder) : m_Folder(std::move(folder)) {}

Station::~Station() {
    Stop();
    if (m_nLockFd >= 0) close(m_nLockFd);
}

void Station::Log(const std::string& text) {
    if (m_Log) m_Log->Add(text.c_str());
}

bool Station::OpenFolder() {
    std::error_code ec;
    fs::create_directories(m_Folder, ec);
    m_Folder = fs::absolute(m_Folder, ec).lexically_normal().string();
    if (!fs::is_directory(m_Folder, ec)) {
        std::fprintf(stderr, "%s: cannot create the folder %s\n", kAppName, m_Folder.c_str());
        return false;
    }
    // One station per folder: two would number their files over each other.
    m_nLockFd = open((m_Folder + "/zep3-station.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_nLockFd < 0 || flock(m_nLockFd, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "%s: another station is using %s\n", kAppName, m_Folder.c_str());
        return false;
    }
    return true;
}

bool Station::SetPassword(const CString& password) {
    if (!OpenFolder()) return false;
    SettingsFile file(m_Folder + "/zep3-station.ini");
    if (file.SetPassword(password)) return true;
    std::fprintf(stderr, "%s: %s\n", kAppName,
                 password.IsEmpty() ? "the password is empty" : ("cannot write " + file.Path()).c_str());
    return false;
}

bool Station::Start() {
    if (!OpenFolder()) return false;
    CCrashHandler::SetVersion("0.1.0", "station " __DATE__);
    CThreadManager::Register(GetCurrentThreadId(), "Main", kAppName);
    m_Log = std::make_unique<CLogFile>();
    m_Log->Init((m_Folder + "/zep3-station.log").c_str(), kLogSize, kLogFiles);

    SettingsFile file(m_Folder + "/zep3-station.ini");
    m_Analysis = std::make_unique<ZoneAnalysis>(CSize(m_Settings.width, m_Settings.height));
    std::vector<std::string> problems;
    bool loaded = file.Load(m_Settings, *m_Analysis, problems);
    if (m_Settings.width != StationSettings().width || m_Settings.height != StationSettings().height) {
        // The shapes' defaults depend on the picture's size: read them again for it.
        m_Analysis = std::make_unique<ZoneAnalysis>(CSize(m_Settings.width, m_Settings.height));
        std::vector<std::string> again;
        StationSettings same;
        loaded = file.Load(same, *m_Analysis, again) && loaded;
    }
    std::printf("%s: settings from %s\n", kAppName, file.Path().c_str());
    for (const std::string& line : SettingsFile::Describe(m_Settings)) std::printf("  %s\n", line.c_str());
    for (const std::string& problem : problems) {
        std::fprintf(stderr, "%s: %s\n", kAppName, problem.c_str());
        Log(problem);
    }
    if (!loaded) std::fprintf(stderr, "%s: cannot write %s; running with the settings above\n", kAppName,
                              file.Path().c_str());

    m_Analysis->SetSensitivity(m_Settings.sensitivity);
    m_Analysis->SetMinimumMass(m_Settings.minimumMass);
    m_Analysis->MarkForInit();
    if (m_Analysis->Initialize()) {
        m_Analysis->MarkInitialized();
    } else {
        Log("the ground rectangle is not a convex quadrilateral: no ground view");
    }
    if (!OpenGrabber()) return false;

    SegmentRecorder::Options options;
    options.folder = m_Folder;
    options.size = CSize(m_Settings.width, m_Settings.height);
    options.rate = m_Settings.rate;
    options.framesPerSegment = m_Settings.segmentSeconds * m_Settings.rate;
    options.quality = m_Settings.quality;
    options.limitBytes = uint64_t(m_Settings.limitMB) * 1024 * 1024;
    options.minFreeBytes = uint64_t(m_Settings.minFreeMB) * 1024 * 1024;
    m_Recorder = std::make_unique<SegmentRecorder>(options, [this](const std::string& line) { Log(line); });
    m_nNextSnapshot = NextNumber(ListNumbered(m_Folder, kSnapshotPrefix, kSnapshotSuffix, false), kSnapshotPrefix,
                                 kSnapshotSuffix);

    m_bRunning = true;
    m_pThread = CThreadManager::CreateThread(&Station::CaptureThread, this, THREAD_PRIORITY_NORMAL, 0,
                                             CREATE_SUSPENDED, "Capture");
    if (!m_pThread) {
        std::fprintf(stderr, "%s: cannot start the capture thread\n", kAppName);
        return false;
    }
    m_pThread->m_bAutoDelete = FALSE;
    m_pThread->ResumeThread();
    Log("station started: " + std::to_string(m_Settings.width) + " x " + std::to_string(m_Settings.height) + " at " +
        std::to_string(m_Settings.rate) + " frames per second");
    std::printf("%s: recording into %s\n", kAppName, m_Folder.c_str());
    std::fflush(stdout);
    return true;
}

bool Station::OpenGrabber() {
    const CString plugin = FindPlugin(m_Settings.grabber);
    m_pGrabber = CreateGrabber(plugin);
    if (!m_pGrabber || !m_pGrabber->Init(0, m_Settings.width, m_Settings.height, m_Settings.rate,
                                         m_Settings.objects, 0, 0)) {
        std::fprintf(stderr, "%s: cannot open the grabber %s\n", kAppName, static_cast<const char*>(plugin));
        Log(std::string("cannot open the grabber ") + static_cast<const char*>(plugin));
        return false;
    }
    const CSize size = m_pGrabber->GetFrameSize(0);
    if (size.cx != m_Settings.width || size.cy != m_Settings.height || m_pGrabber->GetBitCount(0) != 24) {
        std::fprintf(stderr, "%s: the grabber delivers %d x %d, %d bits, not %d x %d, 24 bits\n", kAppName,
                     int(size.cx), int(size.cy), m_pGrabber->GetBitCount(0), m_Settings.width, m_Settings.height);
        return false;
    }
    Log(std::string("grabber opened: ") + static_cast<const char*>(plugin));
    return true;
}

UINT Station::CaptureThread(void* self) {
    static_cast<Station*>(self)->Capture();
    return 0;
}

void Station::Capture() {
    CImageBuffer frame;
    long previous = -1;
    while (m_bRunning) {
        unsigned char fresh = 0;
        if (!m_pGrabber->Grab(0, &fresh, kGrabTimeoutMs) || !fresh) {
            Log("no frame from the grabber within " + std::to_string(kGrabTimeoutMs) + " ms");
            continue;
        }
        const long index = m_pGrabber->GetLastFrameIndex(0);
        if (index > previous + 1) {
            const long missed = index - previous - 1;
            Log("frames " + std::to_string(previous + 1) + " to " + std::to_string(index - 1) +
                " missed: the station fell behind the camera");
            std::lock_guard<std::mutex> lock(m_Lock);
            m_Status.missed += uint64_t(missed);
        }
        previous = index;
        CSystemTime time = m_pGrabber->GetFrameTime(0);
        frame.Assign(m_pGrabber->GetFrameBuffer(0), CSize(m_Settings.width, m_Settings.height), 24, &time);
        frame.SetTime(time, static_cast<int>(index));
        HandleFrame(frame);
    }
    m_Recorder->Close();
}

void Station::HandleFrame(CImageBuffer& frame) {
    std::unique_lock<std::mutex> analysis(m_AnalysisLock);
    m_Analysis->Process(&frame, 0);
    const auto& objects = m_Analysis->Objects();
    if (objects.GetSize() > m_nPreviousObjects) TakeSnapshot(frame);
    m_nPreviousObjects = static_cast<int>(objects.GetSize());
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Status.objects.clear();
        for (const CSegObject& o : objects) m_Status.objects.push_back({o.GetRect(), o.GetMass()});
    }
    analysis.unlock();
    const bool recorded = m_Recorder->Write(frame);
    std::lock_guard<std::mutex> lock(m_Lock);
    ++m_Status.grabbed;
    ++(recorded ? m_Status.recorded : m_Status.notRecorded);
    m_Status.lastFrame = frame.GetImageTag();
    m_Status.segment = m_Recorder->CurrentName();
}

void Station::TakeSnapshot(const CImageBuffer& frame) {
    CJpegFile jpeg;
    void* data = nullptr;
    int size = 0;
    // The snapshot shows what the analysis saw: the shapes and the objects' boxes.
    if (!m_Analysis->DrawOverlay(frame, m_Overlay) ||
        !jpeg.Compress(&data, size, m_Overlay.GetPixelBuffer(), frame.GetSize(), true, nullptr, m_Settings.quality)) {
        Log("snapshot of frame " + std::to_string(frame.GetImageTag()) + " not taken: the JPEG coder failed");
        return;
    }
    Snapshot shot;
    shot.number = m_nNextSnapshot++;
    shot.frame = frame.GetImageTag();
    shot.size = frame.GetSize();
    shot.time = frame.GetTime();
    shot.jpeg.assign(static_cast<BYTE*>(data), static_cast<BYTE*>(data) + size);
    std::free(data);

    const std::string name = NumberedName(kSnapshotPrefix, shot.number, kSnapshotSuffix);
    bool saved = WriteFile(m_Folder + "/" + name, shot.jpeg.data(), shot.jpeg.size());
    if (m_Analysis->HasGroundView()) {
        const CImageBuffer& ground = m_Analysis->GroundView();
        saved = jpeg.SaveJpegToFile((m_Folder + "/" + NumberedName(kSnapshotPrefix, shot.number, "-ground.jpg")).c_str(),
                                    const_cast<CImageBuffer&>(ground).GetPixelBuffer(), ground.GetSize(), false,
                                    nullptr, m_Settings.quality) &&
                saved;
    }
    Log("object entered the zone in frame " + std::to_string(shot.frame) + ": " +
        std::to_string(m_Analysis->Objects().GetSize()) + " in the zone, snapshot " + name +
        (saved ? "" : " NOT saved"));

    // Only the newest snapshots are kept.
    const std::vector<std::string> all = ListNumbered(m_Folder, kSnapshotPrefix, kSnapshotSuffix, false);
    for (size_t i = 0; i + size_t(m_Settings.snapshotLimit) < all.size(); ++i) {
        std::error_code ec;
        fs::remove(m_Folder + "/" + all[i], ec);
        fs::remove(m_Folder + "/" + all[i].substr(0, all[i].size() - 4) + "-ground.jpg", ec);
    }
    std::lock_guard<std::mutex> lock(m_Lock);
    ++m_Status.snapshots;
    m_Latest = std::move(shot);
}

StationStatus Station::Status() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    StationStatus status = m_Status;
    status.sensitivity = m_Settings.sensitivity;
    return status;
}

bool Station::SetSensitivity(int sensitivity) {
    // The save reads the trackers the capture thread draws with.
    std::lock_guard<std::mutex> analysis(m_AnalysisLock);
    m_Analysis->SetSensitivity(sensitivity);
    StationSettings settings;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Settings.sensitivity = sensitivity;
        settings = m_Settings;
    }
    const bool saved = SettingsFile(m_Folder + "/zep3-station.ini").SaveAnalysis(settings, *m_Analysis);
    Log("sensitivity set to " + std::to_string(sensitivity) + (saved ? ", saved" : "; the INI could not be written"));
    return saved;
}

bool Station::LatestSnapshot(Snapshot& out) const {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_Latest.jpeg.empty()) return false;
    out = m_Latest;
    return true;
}

void Station::Stop() {
    if (m_bStopped) return;
    m_bStopped = true;
    const bool ran = m_pThread != nullptr;
    if (ran) {
        m_bRunning = false;
        WaitForSingleObject(*m_pThread, INFINITE);
        delete m_pThread;
        m_pThread = nullptr;
    }
    DestroyGrabber(m_pGrabber);
    m_pGrabber = nullptr;
    if (!m_Log) return;
    const StationStatus s = Status();
    Log("frames: " + std::to_string(s.grabbed) + " grabbed (last number " + std::to_string(s.lastFrame) + "), " +
        std::to_string(s.missed) + " missed, " + std::to_string(s.recorded) + " recorded, " +
        std::to_string(s.notRecorded) + " not recorded; " + std::to_string(s.snapshots) + " snapshots");
    m_Log.reset(); // writes "*** Stop ***"
    CThreadManager::UnRegister(GetCurrentThreadId());
    if (ran) PrintFiles();
}

void Station::PrintFiles() const {
    const StationStatus s = Status();
    std::printf("%s: stopped after %llu frames (%llu recorded, %llu missed, %llu not recorded)\n", kAppName,
                static_cast<unsigned long long>(s.grabbed), static_cast<unsigned long long>(s.recorded),
                static_cast<unsigned long long>(s.missed), static_cast<unsigned long long>(s.notRecorded));
    std::printf("%s: files in %s\n", kAppName, m_Folder.c_str());
    std::printf("  settings   zep3-station.ini\n");
    std::printf("  log        zep3-station00.log ... zep3-station%02d.log\n", kLogFiles - 1);
    const auto segments = SegmentRecorder::ListSegments(m_Folder, false);
    std::printf("  segments   %zu (%s ... %s)\n", segments.size(), segments.empty() ? "-" : segments.front().c_str(),
                segments.empty() ? "-" : segments.back().c_str());
    const auto shots = ListNumbered(m_Folder, kSnapshotPrefix, kSnapshotSuffix, false);
    std::printf("  snapshots  %zu (%s ... %s)\n", shots.size(), shots.empty() ? "-" : shots.front().c_str(),
                shots.empty() ? "-" : shots.back().c_str());
    std::printf("  crash report, if any: %s\n", CCrashHandler::m_LogFileName);
    std::fflush(stdout);
}
