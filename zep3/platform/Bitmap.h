#pragma once
/// @class CBitmap
/// A device bitmap of 32-bit pixels (whatever bit count it was asked
/// for, which its BITMAP description keeps), or a DIB section (see
/// CreateDIBSection in GdiFunctions.h) attached to it. Select it into a memory
/// device context to draw into it or copy from it.
#include <zep3/platform/GdiObject.h>

class CDC;
class CPixelSurface;

class ZEP3_API CBitmap : public CGdiObject {
public:
    /// A nWidth x nHeight bitmap; lpBits, when given, holds the initial rows
    /// top-down in the declared format (1, 16 (5-5-5), 24 or 32 bits; other
    /// counts start black), each row padded to an even number of bytes. False
    /// for non-positive sizes, nPlanes other than 1, or when this object
    /// already holds a handle. Colour bitmaps of every count are stored as
    /// 32-bit pixels.
    BOOL CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits);
    BOOL CreateBitmapIndirect(const BITMAP* lpBitmap);
    /// A black 32-bit bitmap; pDC is accepted for compatibility (every device
    /// is 32-bit here).
    BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
    /// The BITMAP description (bmBits set for DIB sections only); 0 without a bitmap.
    int GetBitmap(BITMAP* pBitMap) const;
    /// The drawable pixels of a device bitmap or 32-bit DIB section; null for
    /// other DIB sections or without a bitmap. Valid while the bitmap lives.
    CPixelSurface* GetSurface() const;
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    static CBitmap* FromHandle(HBITMAP hBitmap);
};
