#include "ZoneAnalysis.h"

#include <algorithm>

namespace {

const CSize kGroundViewSize(320, 240);

// A point laid out for 640 x 480, moved to a picture of `size`.
CPoint Scaled(CSize size, int x, int y) { return CPoint(x * size.cx / 640, y * size.cy / 480); }

} // namespace

ZoneAnalysis::ZoneAnalysis(CSize size)
    : m_Size(size), m_Grey(size, 8), m_Strength(size, 8), m_GroundView(kGroundViewSize, 8) {
    const CPoint zone[] = {Scaled(size, 320, 120), Scaled(size, 600, 100), Scaled(size, 620, 380),
                           Scaled(size, 400, 420), Scaled(size, 300, 300)};
    m_Zone.SetPoints(zone, 5);
    m_Zone.SetName("Zone");
    m_Zone.SetColor(RGB(0, 255, 0), 0);
    // A floor seen from above and in front: its far edge is the shorter one.
    const CPoint ground[] = {Scaled(size, 160, 240), Scaled(size, 480, 240), Scaled(size, 620, 460),
                             Scaled(size, 20, 460)};
    m_Ground.SetPoints(ground, 4);
    m_Ground.SetName("Ground");
    m_Ground.SetColor(RGB(255, 160, 0), 0);
    m_Ground.UsePerspective(&m_Perspective);
    for (CHandleTracker* t : {static_cast<CHandleTracker*>(&m_Zone), static_cast<CHandleTracker*>(&m_Ground)}) {
        t->SetViewIndex(0);
        ControlTracker(t);
    }
}

bool ZoneAnalysis::Initialize() {
    const CPoint p0 = m_Ground.GetHandle(0), p2 = m_Ground.GetHandle(2);
    return m_Perspective.Init(p0, m_Ground.GetHandle(1), p2, m_Ground.GetHandle(3)) &&
           m_Perspective.Prepare(CMPoint(p0.x, p0.y), CMPoint(p2.x, p2.y), &m_Grey, &m_GroundView,
                                 CRect(CPoint(0, 0), kGroundViewSize));
}

void ZoneAnalysis::SetSensitivity(int sensitivity) {
    m_nThreshold = static_cast<unsigned char>(255 - 2 * std::clamp(sensitivity, 1, 100));
}

bool ZoneAnalysis::Process(CImageBuffer* frame, int view) {
    m_Objects.RemoveAll();
    if (!frame || view != 0 || frame->GetBitCount() != 24 || frame->GetSize() != m_Size) return false;
    // Colour strength: the spread of a pixel's channels, 0 for any grey.
    const int rowBytes = m_Size.cx * 3 + frame->GetPaddingBytes();
    for (int y = 0; y < m_Size.cy; ++y) {
        const BYTE* p = frame->GetPixelBuffer() + size_t(y) * rowBytes;
        BYTE* out = m_Strength.GetPixelBuffer() + size_t(y) * m_Size.cx;
        for (int x = 0; x < m_Size.cx; ++x, p += 3)
            out[x] = static_cast<BYTE>(std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}));
    }
    if (HasGroundView() && ConvertImageBuffer(&m_Grey, frame)) m_Perspective.Correction(&m_Grey, &m_GroundView);
    if (!m_Found.Make(&m_Strength, m_nThreshold, m_Zone.GetBoundRect(), false)) return true;
    m_Found &= m_Zone.GetRLC();
    m_Found.Segment();
    m_Found.ObjectExtraction(m_Components);
    for (const CSegObject& o : m_Components)
        if (o.GetColor() && o.GetMass() >= m_nMinimumMass) m_Objects.Add(o);
    return true;
}

bool ZoneAnalysis::DrawOverlay(const CImageBuffer& frame, CImageBuffer& picture) {
    const CSize size = frame.GetSize();
    if (frame.GetBitCount() != 24 || !m_Surface.Create(size.cx, size.cy)) return false;
    if (picture.GetSize() != size || picture.GetBitCount() != 24) picture = CImageBuffer(size, 24);
    const BYTE* in = const_cast<CImageBuffer&>(frame).GetPixelBuffer();
    for (int y = 0; y < size.cy; ++y, in += size_t(size.cx) * 3 + frame.GetPaddingBytes()) {
        DWORD* row = m_Surface.GetRow(y);
        for (int x = 0; x < size.cx; ++x) row[x] = in[3 * x] | in[3 * x + 1] << 8 | uint32_t(in[3 * x + 2]) << 16;
    }
    CDC dc;
    dc.AttachSurface(&m_Surface);
    Draw(&dc, 0, 1.0, CRect(CPoint(0, 0), size));
    CBrush box(RGB(255, 255, 0));
    for (const CSegObject& o : m_Objects) {
        CRect r = o.GetRect();
        r.InflateRect(2, 2);
        dc.FrameRect(&r, &box);
    }
    BYTE* out = picture.GetPixelBuffer();
    for (int y = 0; y < size.cy; ++y, out += size_t(size.cx) * 3 + picture.GetPaddingBytes()) {
        const DWORD* row = m_Surface.GetRow(y);
        for (int x = 0; x < size.cx; ++x) {
            out[3 * x] = BYTE(row[x]);
            out[3 * x + 1] = BYTE(row[x] >> 8);
            out[3 * x + 2] = BYTE(row[x] >> 16);
        }
    }
    return true;
}
