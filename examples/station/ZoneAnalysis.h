#pragma once
// The station's analysis module: a polygon zone and a four-corner ground
// rectangle (kept as a rectangle of the ground seen in perspective) over
// the camera picture. Each frame it finds the coloured objects inside the
// zone -- a pixel belongs to an object when its colour is strong enough for
// the sensitivity -- and renders the ground rectangle as seen from above.
// Both shapes are stored with the station's settings.
#include <zep3/zep3.h>

class ZoneAnalysis : public CModule {
public:
    // The shapes' defaults are laid out for a picture of `size`.
    explicit ZoneAnalysis(CSize size);

    CString GetModuleName() override { return "Zone"; }
    // Sets up the perspective of the ground rectangle. False when its
    // corners do not make a convex quadrilateral inside the picture.
    bool Initialize() override;
    // Finds the objects in the zone of a 24-bit frame of the module's size.
    bool Process(CImageBuffer* frame, int view) override;

    // 1..100; a higher sensitivity finds fainter objects.
    void SetSensitivity(int sensitivity);
    void SetMinimumMass(int mass) { m_nMinimumMass = mass; }

    const CArrayEx<CSegObject, const CSegObject&>& Objects() const { return m_Objects; }
    // `frame` (24-bit) with the shapes and the boxes of the last Process's
    // objects drawn over it, into `picture` (24-bit, made to fit).
    bool DrawOverlay(const CImageBuffer& frame, CImageBuffer& picture);
    // The ground rectangle seen from above (8-bit), after the last Process.
    const CImageBuffer& GroundView() const { return m_GroundView; }
    bool HasGroundView() const { return m_Perspective.IsPrepared(); }

private:
    // A polygon whose corners the module lays out itself.
    template <class Polygon> class Laid : public Polygon {
    public:
        void SetPoints(const CPoint* points, int count) {
            this->InitHandles(count);
            for (int i = 0; i < count; ++i) this->SetHandlePosition(i, points[i]);
            this->UpdateShape();
        }
    };

    CSize m_Size;
    Laid<CPolygonTracker> m_Zone;
    Laid<CPerspectiveTracker> m_Ground;
    CPerspectiveCorrection m_Perspective;
    unsigned char m_nThreshold = 155;
    int m_nMinimumMass = 200;
    CImageBuffer m_Grey;
    CImageBuffer m_Strength;
    CImageBuffer m_GroundView;
    CPixelSurface m_Surface;
    CRLC m_Found;
    CArrayEx<CSegObject, const CSegObject&> m_Components;
    CArrayEx<CSegObject, const CSegObject&> m_Objects;
};
