#pragma once
/// @class CDXSurface
/// One display surface and a copy of its description. Frames are
/// drawn into surfaces (a surface may lie over a CImageBuffer's own pixels,
/// see CDXDisplay::CreateClientSurface), converted into surfaces of the
/// display's format and blitted onto the display's back surface.
///
/// Surfaces are reference-counted: Create(IDirectDrawSurface7*) and a copy of
/// a CDXSurface take a reference of their own, the destructor gives it back,
/// so copies never free a surface that another object still uses.
/// Results: 0 on success, the codes of DDraw.h otherwise.
#include <zep3/media/DDraw.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiTypes.h>
#include <zep3/platform/Size.h>

class ZEP3_API CDXSurface {
public:
    CDXSurface();
    virtual ~CDXSurface();
    CDXSurface(const CDXSurface& other);
    CDXSurface& operator=(const CDXSurface& other);

    /// Creates a surface as described (size, pixel format, and caller memory
    /// with its pitch when DDSD_LPSURFACE is set) and copies its description.
    long Create(IDirectDraw7* ddraw, DDSURFACEDESC2* description);
    /// Attaches an existing surface, taking a reference; 0.
    long Create(IDirectDrawSurface7* surface);

    /// Writes text at (x, y) through the surface's device context with the
    /// given colours, and the font when one is given.
    long DrawTextA(HFONT font, char* text, DWORD x, DWORD y, COLORREF background, COLORREF foreground);
    /// Copies the source's top-left area of this surface's size through the
    /// device contexts (converting the format); -1 when both have the same
    /// pixel format.
    long BltFrom(CDXSurface* source);
    /// Conversions into this surface: 5-5-5 and 24-bit pixels into 32-bit
    /// ones, 8-bit rows copied. -1 when the sizes (or the formats) differ.
    long BltFrom16To32(CDXSurface* source);
    long BltFrom24To32(CDXSurface* source);
    long BltFrom8To8(CDXSurface* source);

    /// Width and height; 0 x 0 without surface.
    CSize GetSize();
    /// Bits per pixel; 0 without surface.
    int GetBitsPerPixel();
    IDirectDrawSurface7* GetDDrawSurface() { return m_pSurface; }
    DDSURFACEDESC2* GetSurfaceDesc() { return &m_SurfaceDesc; }

protected:
    IDirectDrawSurface7* m_pSurface;
    DDSURFACEDESC2 m_SurfaceDesc;
};
