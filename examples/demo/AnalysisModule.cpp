#include "AnalysisModule.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

const COLORREF kObjectColor = RGB(255, 255, 0);
const char* const kSection = "Camera0\\Analysis";

} // namespace

AnalysisModule::AnalysisModule(const std::string& folder) : m_IniPath(folder + "/analysis.ini") {
    // Defaults: the zone covers the right part of the picture, where the
    // bright bar of the test scene passes; the window a little more.
    const CPoint zone[] = {{440, 60}, {639, 60}, {639, 220}, {540, 260}, {440, 200}};
    m_Zone.SetPoints(zone, 5);
    m_Zone.SetName("Zone");
    m_Zone.SetColor(RGB(0, 255, 0), 0);
    m_Window.SetRect(CRect(400, 40, 640, 280));
    m_Window.SetName("Window");
    m_Window.SetColor(RGB(0, 160, 255), 0);
    for (CHandleTracker* t : {static_cast<CHandleTracker*>(&m_Zone), static_cast<CHandleTracker*>(&m_Window)}) {
        t->SetViewIndex(0);
        ControlTracker(t);
    }
    AddFeature(FEATURE_LIST_OBJECTS, "ListObjects", 2);
}

void AnalysisModule::Zone::SetPoints(const CPoint* points, int count) {
    InitHandles(count);
    for (int i = 0; i < count; ++i) SetHandlePosition(i, points[i]);
    UpdateShape();
}

bool AnalysisModule::Load() {
    struct stat st;
    const bool fresh = stat(m_IniPath.c_str(), &st) != 0;
    CIniFile ini(m_IniPath.c_str(), true);
    CIniFile view(&ini, kSection);
    if (fresh) {
        bool list = true;
        ExchangeObject(&view, 1, "ListObjects", &list);
        Exchange(&view, 1);
    }
    MarkForInit();
    const bool ok = Exchange(&view, 0) && Initialize();
    if (ok) MarkInitialized();
    return ini.WriteIniFile(false) && ok;
}

bool AnalysisModule::Save() {
    CIniFile ini(m_IniPath.c_str(), true);
    CIniFile view(&ini, kSection);
    return Exchange(&view, 1) && ini.WriteIniFile(false);
}

bool AnalysisModule::Initialize() { return m_Zone.GetRLC().GetImageSize().cx > 0; }

bool AnalysisModule::Exchange(CIniFile* ini, int mode) {
    bool ok = CModule::Exchange(ini, mode);
    ok = ExchangeObject(ini, mode, "Threshold", &m_nThreshold) && ok;
    return ExchangeObject(ini, mode, "MinimumMass", &m_nMinimumMass) && ok;
}

bool AnalysisModule::Process(CImageBuffer* frame, int view) {
    m_Objects.RemoveAll();
    if (!frame || view != 0 || !ConvertImageBuffer(&m_Grey, frame)) return false;
    if (!m_Bright.Make(&m_Grey, static_cast<unsigned char>(m_nThreshold), m_Window.GetRect(), false)) return true;
    // Bright pixels inside the zone, then their connected components.
    m_Bright &= m_Zone.GetRLC();
    m_Bright.Segment();
    CArrayEx<CSegObject, const CSegObject&> components;
    m_Bright.ObjectExtraction(components);
    for (INT_PTR i = 0; i < components.GetSize(); ++i)
        if (components[i].GetColor() && components[i].GetMass() >= m_nMinimumMass) m_Objects.Add(components[i]);
    if (IsFeature(FEATURE_LIST_OBJECTS)) {
        std::printf("frame %d: %d object(s) in the zone\n", frame->GetImageTag(), ObjectCount());
        for (INT_PTR i = 0; i < m_Objects.GetSize(); ++i) {
            const CSegObject& o = m_Objects[i];
            const CMPoint c = o.GetGravity();
            const CRect& r = o.GetRect();
            std::printf("  object %d: mass %d, centre (%.1f, %.1f), box (%d, %d)-(%d, %d)\n", o.GetID(), o.GetMass(),
                        c.x, c.y, int(r.left), int(r.top), int(r.right), int(r.bottom));
        }
    }
    return true;
}

bool AnalysisModule::AnalyseFrame(FrameStore& store, CImageBuffer& frame) {
    CPixelSurface picture;
    return Process(&frame, 0) && DrawOverlay(picture) &&
           store.SaveSurface("frame" + std::to_string(frame.GetImageTag()) + "-analysis.bmp", picture);
}

bool AnalysisModule::DrawOverlay(CPixelSurface& picture) {
    const CSize size = m_Grey.GetSize();
    if (!picture.Create(size.cx, size.cy)) return false;
    for (int y = 0; y < size.cy; ++y) {
        const BYTE* row = m_Grey.GetPixelBuffer() + size_t(y) * size.cx;
        for (int x = 0; x < size.cx; ++x) picture.GetRow(y)[x] = row[x] * 0x010101u;
    }
    CDC dc;
    dc.AttachSurface(&picture);
    Draw(&dc, 0, 1.0, CRect(0, 0, size.cx, size.cy));
    CBrush brush(kObjectColor);
    for (INT_PTR i = 0; i < m_Objects.GetSize(); ++i) {
        CRect box = m_Objects[i].GetRect();
        box.InflateRect(2, 2);
        dc.FrameRect(&box, &brush);
    }
    return true;
}
