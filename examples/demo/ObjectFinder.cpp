#include "ObjectFinder.h"

#include <algorithm>

namespace {

const COLORREF kOutline = 0x00FFFF; // yellow
const COLORREF kBox = 0x00FF00;     // green
const COLORREF kCentre = 0x0000FF;  // red
const int kSmallest = 20;           // objects of fewer pixels are not drawn

} // namespace

bool ObjectFinder::Find(CImageBuffer& grey, CPixelSurface& picture) {
    const CSize size = grey.GetSize();
    if (!m_Region.Make(&grey, m_Threshold, CRect(0, 0, size.cx, size.cy), false)) return false;
    m_Region.Segment();
    m_Region.ObjectExtraction(m_Objects, 0);
    if (!picture.Create(size.cx, size.cy)) return false;
    draw(grey, picture);
    return true;
}

int ObjectFinder::ForegroundCount() const {
    return int(
        std::count_if(m_Objects.begin(), m_Objects.end(), [](const CSegObject& o) { return o.GetColor(); }));
}

void ObjectFinder::draw(const CImageBuffer& grey, CPixelSurface& picture) {
    const CSize size = grey.GetSize();
    for (int y = 0; y < size.cy; ++y) {
        const BYTE* row = grey.GetPixelBuffer() + size_t(y) * (size.cx + grey.GetPaddingBytes());
        for (int x = 0; x < size.cx; ++x) picture.GetRow(y)[x] = row[x] * 0x010101u;
    }
    CDC dc;
    dc.AttachSurface(&picture);
    CBrush box(kBox);
    for (const CSegObject& object : m_Objects) {
        if (!object.GetColor() || object.GetMass() < kSmallest) continue;
        CContour outline;
        if (m_Region.GetContour(outline, object.GetID(), true, -1))
            CRLC::DrawContour(&dc, outline, kOutline, 1.0);
        CRect rect = object.GetRect();
        rect.InflateRect(2, 2);
        dc.FrameRect(&rect, &box);
        const CMPoint c = object.GetGravity();
        const int cx = int(c.x + 0.5), cy = int(c.y + 0.5);
        for (int d = -3; d <= 3; ++d) {
            dc.SetPixel(cx + d, cy, kCentre);
            dc.SetPixel(cx, cy + d, kCentre);
        }
    }
}
