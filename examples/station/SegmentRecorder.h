#pragma once
// Records frames into AVI (MJPG) segments of a set number of frames in one
// folder: segment-000001.avi, segment-000002.avi, ... A segment is written
// under the name with ".part" added and renamed when it is closed with its
// index, so every *.avi is complete; a *.part left by a killed run stays as
// it is. Numbering goes on after the highest segment already there. After
// each segment the oldest segments are removed until the folder's segments
// fit the size limit, and before each one the free space is checked.
#include <zep3/zep3.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class SegmentRecorder {
public:
    struct Options {
        std::string folder;
        CSize size;
        int rate = 10;            // frames per second
        int framesPerSegment = 100;
        int quality = 80;         // JPEG quality
        uint64_t limitBytes = 0;  // the segments' total size limit
        uint64_t minFreeBytes = 0;
    };
    // Receives one line for the log for each event (segment opened,
    // closed, removed, paused for space).
    using Reporter = std::function<void(const std::string&)>;

    SegmentRecorder(Options options, Reporter report);
    ~SegmentRecorder();

    // Appends a frame, opening a segment when none is open. False when the
    // frame was not recorded (no space, a codec or file error), which the
    // reporter has been told.
    bool Write(const CImageBuffer& frame);
    // Closes the open segment with its index.
    void Close();

    uint64_t FramesRecorded() const { return m_nRecorded; }
    std::string CurrentName() const { return m_Open ? m_CurrentName : std::string(); }

    // The segment files of a folder, oldest (lowest number) first, with
    // unfinished ones (".part") included when asked.
    static std::vector<std::string> ListSegments(const std::string& folder, bool withUnfinished);
    // Whether a bare file name is a finished segment's (no folder, no ".part").
    static bool IsFinishedSegment(const std::string& name);

private:
    bool Open();
    void KeepUnderLimit();

    Options m_Options;
    Reporter m_Report;
    CAVIEdit m_Avi;
    bool m_Open = false;
    bool m_Paused = false;
    int m_nNextNumber = 1;
    int m_nFrameInSegment = 0;
    uint64_t m_nRecorded = 0;
    std::string m_CurrentName;
};
