#pragma once
// The station's analysis module for camera 0: a detection zone (a polygon)
// and a measuring window (a rectangle) laid over the picture. Each frame is
// thresholded inside the window; what is bright and lies inside the zone is
// segmented into objects and listed. The shapes, the threshold and the
// options live in analysis.ini in the output folder, written with defaults
// on the first run.
#include "FrameStore.h"

#include <zep3/zep3.h>

#include <string>

class AnalysisModule : public CModule {
public:
    explicit AnalysisModule(const std::string& folder);

    // Reads the settings file, creating it with the defaults when it is new.
    bool Load();
    bool Save();

    CString GetModuleName() override { return "Analysis"; }
    bool Initialize() override;
    // Finds the objects of the frame (any colour mode) and prints them when
    // the option "ListObjects" is on. False when the frame cannot be read.
    bool Process(CImageBuffer* frame, int view) override;
    // Trackers and settings ("Threshold", "MinimumMass") under `ini`.
    bool Exchange(CIniFile* ini, int mode) override;

    // Processes a frame (any colour mode) and stores the picture of the
    // trackers and the objects' boxes over it as frame<tag>-analysis.bmp.
    bool AnalyseFrame(FrameStore& store, CImageBuffer& frame);
    // The grey frame with the trackers and the objects' boxes drawn.
    bool DrawOverlay(CPixelSurface& picture);
    int ObjectCount() const { return static_cast<int>(m_Objects.GetSize()); }

private:
    enum { FEATURE_LIST_OBJECTS = 0 };

    // A polygon whose corners the module lays out itself.
    class Zone : public CPolygonTracker {
    public:
        void SetPoints(const CPoint* points, int count);
    };

    std::string m_IniPath;
    Zone m_Zone;
    CRectangleTracker m_Window;
    int m_nThreshold = 230;
    int m_nMinimumMass = 20;
    CImageBuffer m_Grey{CSize(1, 1), 8};
    CRLC m_Bright;
    CArrayEx<CSegObject, const CSegObject&> m_Objects;
};
