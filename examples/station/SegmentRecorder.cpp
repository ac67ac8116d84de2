#include "SegmentRecorder.h"

#include "NumberedFiles.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const DWORD kMjpg = mmioFOURCC('M', 'J', 'P', 'G');
const char* const kPrefix = "segment-";
const char* const kSuffix = ".avi";

} // namespace

SegmentRecorder::SegmentRecorder(Options options, Reporter report)
    : m_Options(std::move(options)), m_Report(std::move(report)) {
    const std::vector<std::string> names = ListSegments(m_Options.folder, true);
    m_nNextNumber = NextNumber(names, kPrefix, kSuffix);
    for (const std::string& name : names) {
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0)
            m_Report("unfinished segment of an interrupted run kept: " + name);
    }
}

SegmentRecorder::~SegmentRecorder() { Close(); }

std::vector<std::string> SegmentRecorder::ListSegments(const std::string& folder, bool withUnfinished) {
    return ListNumbered(folder, kPrefix, kSuffix, withUnfinished);
}

bool SegmentRecorder::IsFinishedSegment(const std::string& name) { return NumberOf(name, kPrefix, kSuffix, false) >= 0; }

bool SegmentRecorder::Open() {
    std::error_code ec;
    const fs::space_info space = fs::space(m_Options.folder, ec);
    if (ec || space.available < m_Options.minFreeBytes) {
        if (!m_Paused)
            m_Report("recording paused: " + std::to_string(ec ? 0 : space.available / (1024 * 1024)) +
                     " MB free, " + std::to_string(m_Options.minFreeBytes / (1024 * 1024)) + " MB needed");
        m_Paused = true;
        return false;
    }
    if (m_Paused) m_Report("recording resumed");
    m_Paused = false;
    m_CurrentName = NumberedName(kPrefix, m_nNextNumber++, kSuffix);
    const CString path = (m_Options.folder + "/" + m_CurrentName + ".part").c_str();
    // The quality is on the 0..10000 scale of the codec interface.
    if (!m_Avi.InitCompressor(m_Options.size, 3, nullptr, kMjpg, kMjpg) ||
        !m_Avi.SetCompressorParam(15, 300, m_Options.quality * 100) ||
        !m_Avi.OpenFileWrite(path, m_Options.rate * 1000, true)) {
        m_Report("cannot start " + m_CurrentName + ": " + static_cast<const char*>(m_Avi.GetErrorInfo()));
        m_Avi.CloseWriteFile();
        return false;
    }
    m_Open = true;
    m_nFrameInSegment = 0;
    m_Report("segment started: " + m_CurrentName);
    return true;
}

bool SegmentRecorder::Write(const CImageBuffer& frame) {
    if (!m_Open && !Open()) return false;
    if (!m_Avi.WriteFrame(&frame, m_nFrameInSegment)) {
        m_Report("frame " + std::to_string(frame.GetImageTag()) + " not recorded in " + m_CurrentName + ": " +
                 static_cast<const char*>(m_Avi.GetErrorInfo()));
        return false;
    }
    ++m_nRecorded;
    if (++m_nFrameInSegment >= m_Options.framesPerSegment) Close();
    return true;
}

void SegmentRecorder::Close() {
    if (!m_Open) return;
    m_Avi.CloseWriteFile();
    m_Open = false;
    const std::string path = m_Options.folder + "/" + m_CurrentName;
    std::error_code ec;
    fs::rename(path + ".part", path, ec);
    if (ec) {
        m_Report("cannot finish " + m_CurrentName + ": " + ec.message());
        return;
    }
    m_Report("segment closed: " + m_CurrentName + ", " + std::to_string(m_nFrameInSegment) + " frames");
    KeepUnderLimit();
}

void SegmentRecorder::KeepUnderLimit() {
    std::vector<std::string> names = ListSegments(m_Options.folder, true);
    std::vector<uint64_t> sizes;
    uint64_t total = 0;
    for (const std::string& name : names) {
        std::error_code ec;
        sizes.push_back(fs::file_size(m_Options.folder + "/" + name, ec));
        if (ec) sizes.back() = 0;
        total += sizes.back();
    }
    // The newest segment stays, whatever its size.
    for (size_t i = 0; i + 1 < names.size() && total > m_Options.limitBytes; ++i) {
        std::error_code ec;
        if (!fs::remove(m_Options.folder + "/" + names[i], ec)) continue;
        total -= sizes[i];
        m_Report("segment removed to keep the folder under its limit: " + names[i]);
    }
}
