#pragma once
/// @class CDIB
/// A GDI bitmap loaded as a DIB section from a BMP file or a bitmap
/// resource, with a palette made from its colour table, drawn with or without
/// the DrawDib functions. Registered with the run-time class information
/// under the name "CDIB" (its base, CBitmap, carries none here, so the record
/// has no base class).
///
/// The object owns its bitmap handle, its palette and its DrawDib handle;
/// DeleteObject or destruction frees them. Failures are 0 / FALSE results.
/// One thread uses an object at a time.
#include <zep3/platform/Bitmap.h>
#include <zep3/platform/Palette.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/RuntimeClass.h>

class CDC;

class ZEP3_API CDIB : public CBitmap {
public:
    CDIB();
    ~CDIB() override;

    static const CRuntimeClass classCDIB;
    virtual CRuntimeClass* GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass* pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }

    ///@{
    /// Loads a BMP file / the RT_BITMAP resource of a module (null: the
    /// executable) by name or id as a DIB section, replacing what the object
    /// held. FALSE when it cannot be loaded; the object keeps what it held.
    BOOL Load(LPCSTR lpszPathName);
    BOOL Load(HINSTANCE hInst, LPCSTR lpResourceName);
    BOOL Load(HINSTANCE hInst, UINT uID);
    ///@}
    /// Takes ownership of a bitmap handle in place of what the object held,
    /// reads its description and rebuilds the palette. FALSE, nothing
    /// changed, when the handle is no live bitmap.
    BOOL Attach(HGDIOBJ hbm);

    /// Makes `pal` (which must hold no palette yet) from the colour table:
    /// exactly its entries, or the halftone palette when there are none.
    BOOL CreatePalette(CPalette& pal);
    /// Copies up to nColors entries of the colour table; returns how many.
    UINT GetColorTable(RGBQUAD* colorTab, UINT nColors);

    /// Draws the source rectangle (null: the whole bitmap) into the
    /// destination rectangle (null: the bitmap's size at (0, 0)) of dc,
    /// through `pPal` or the object's palette (selected in the background when
    /// bForeground is FALSE). With bUseDrawDib the DrawDib functions stretch
    /// (the handle is opened on first use); otherwise equal sizes are a block
    /// copy and different sizes a colour-on-colour stretch. The DC's palette
    /// and stretch mode are restored. FALSE without a bitmap.
    BOOL Draw(CDC& dc, const CRect* rcDst = nullptr, const CRect* rcSrc = nullptr, BOOL bUseDrawDib = TRUE,
              CPalette* pPal = nullptr, BOOL bForeground = TRUE);

    /// Frees the palette, the DrawDib handle and the bitmap, and clears the description.
    BOOL DeleteObject();
    /// Width and height; 0 x 0 when empty.
    CSize GetSize() const { return CSize(m_bm.bmWidth, m_bm.bmHeight); }
    /// The object's palette (holds no handle when nothing is loaded).
    CPalette* GetPalette() { return &m_pal; }

protected:
    BITMAP m_bm;
    CPalette m_pal;
    HANDLE m_hdd; ///< the DrawDib handle, opened on first use
};
