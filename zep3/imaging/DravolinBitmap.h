#pragma once
/// @class CDravolinBitmap
/// Describes a CImageBuffer as a top-down device-independent
/// bitmap and stretches it onto a device context. CImageBuffer::CreateBitmap
/// and StretchBitmap use it.
///
/// The bitmap points straight at the image's pixels when the image's rows are
/// 4-byte aligned (its padding is the DIB padding); otherwise it keeps a
/// private copy with aligned rows. Either way it must be remade whenever the
/// image's pixels change place, and the private copy is not refreshed when
/// the image's pixels change: remake the bitmap then too.
///
/// 8-bit images are drawn through a 256-entry grey palette: on a palette
/// device the colour table holds palette indices (the device's reserved
/// colours kept at both ends), otherwise the grey ramp itself. The drawing
/// surfaces here are true-colour, so the second way is the one that runs.
/// Not copyable. Use one bitmap from one thread at a time.
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiTypes.h>
#include <zep3/platform/Rect.h>

class CDC;
class CImageBuffer;
class CPalette;
struct COLORADJUSTMENT;

class ZEP3_API CDravolinBitmap {
public:
    CDravolinBitmap();
    virtual ~CDravolinBitmap();
    CDravolinBitmap(const CDravolinBitmap&) = delete;
    CDravolinBitmap& operator=(const CDravolinBitmap&) = delete;

    /// Forgets the previous description and describes `image` (nothing for a
    /// null or empty image). `dc`, when given, chooses the palette rules for
    /// 8-bit images; without it they are applied at the first StretchBitmap.
    /// False only when memory for the header or the copy cannot be had.
    bool CreateBitmap(const CImageBuffer* image, CDC* dc);
    /// Draws the image at (x, y) scaled by zoomX and zoomY percent (zoomY 0:
    /// zoomX) with StretchDIBits. A non-empty clip (in the scaled image's
    /// coordinates) that the scaled image does not fit in limits the drawing
    /// to the part of the image under it, with a margin. An adjustment makes
    /// the stretch halftone, otherwise colour-on-colour. False without a DC,
    /// without a description, or for zooms that are not positive.
    bool StretchBitmap(CDC* dc, int x, int y, double zoomX, double zoomY, CRect clip,
                       COLORADJUSTMENT* adjustment);
    /// Frees the palette, the header and the copy.
    void Destroy();
    CSize GetSize() const { return CSize(m_Width, m_Height); }

    /// The description handed to the drawing call: the header (with its
    /// colour table), its colour usage (DIB_RGB_COLORS or DIB_PAL_COLORS) and
    /// the rows. Null / 0 before CreateBitmap.
    const BITMAPINFO* GetBitmapInfo() const { return m_pBitmapInfo; }
    int GetColorUsage() const { return m_ColorUsage; }
    const void* GetBits() const { return m_pBits; }
    /// True when the rows are a private copy rather than the image's own.
    bool HasPrivateCopy() const { return m_pCopy != nullptr; }

protected:
    /// Makes the 256-entry palette of 8-bit images and sets the colour table
    /// and colour usage for the device.
    void SetupPalette(CDC* dc);

private:
    CPalette* m_pPalette;
    int m_ColorUsage;
    BITMAPINFO* m_pBitmapInfo;
    int m_Width;
    int m_Height;
    const void* m_pBits;
    BYTE* m_pCopy;
};
