#pragma once
// Finds the bright objects of a grey frame as an analysis module does:
// thresholds it into a run-length region, labels the components of both
// colours, and draws the foreground objects' outlines, boxes and centres
// over the frame.
#include <zep3/zep3.h>

class ObjectFinder {
public:
    explicit ObjectFinder(unsigned char threshold) : m_Threshold(threshold) {}
    // Segments `grey` (8 bits) and draws the result into `picture`, which
    // takes the frame's size. False for a frame that is not 8-bit.
    bool Find(CImageBuffer& grey, CPixelSurface& picture);
    const CArrayEx<CSegObject, const CSegObject&>& Objects() const { return m_Objects; }
    int ForegroundCount() const;

private:
    void draw(const CImageBuffer& grey, CPixelSurface& picture);

    unsigned char m_Threshold;
    CRLC m_Region; // kept between frames: its buffers are reused
    CArrayEx<CSegObject, const CSegObject&> m_Objects;
};
