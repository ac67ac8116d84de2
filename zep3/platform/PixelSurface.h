#pragma once
/// @class CPixelSurface
/// A rectangle of 32-bit pixels, the memory every device context
/// draws into. A pixel is four bytes blue, green, red, X (the COLORREF 0x00BBGGRR
/// read as a little-endian word gives 0x00RRGGBB in memory order B, G, R, X);
/// the X byte carries no meaning and is written as 0.
///
/// A surface either owns its pixels (Create) or views memory that belongs to
/// someone else (Attach), for example the bits of a 32-bit DIB section. A view
/// may run bottom-up: its pitch is then negative and row 0 is the top row all
/// the same. Not thread-safe: one thread draws into a surface at a time.
#include <zep3/platform/Export.h>
#include <zep3/platform/GdiTypes.h>

#include <vector>

class ZEP3_API CPixelSurface {
public:
    CPixelSurface() = default;
    ///@{
    /// Makes an owned surface of width x height filled with black; see Create.
    CPixelSurface(int width, int height);
    CPixelSurface(const CPixelSurface& other);
    ///@}
    CPixelSurface& operator=(const CPixelSurface& other);
    ~CPixelSurface() = default;

    /// Allocates owned pixels, all black (0). False (and an empty surface) when
    /// a side is negative or the size would exceed 2^31 bytes; 0 x 0 is valid.
    bool Create(int width, int height);
    /// Views foreign pixels: top points to row 0, pitch is the byte distance
    /// from one row to the next (negative for bottom-up memory; its magnitude at
    /// least width x 4). The memory must outlive the view. False for null bits
    /// or bad sizes.
    bool Attach(void* top, int width, int height, int pitch);
    /// Back to an empty 0 x 0 surface; owned pixels are freed.
    void Destroy();

    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    int GetPitch() const { return m_pitch; }
    bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
    bool OwnsPixels() const { return !m_pixels.empty(); }
    ///@{
    /// Row y (0 = top); no range check.
    DWORD* GetRow(int y) { return reinterpret_cast<DWORD*>(m_top + static_cast<ptrdiff_t>(y) * m_pitch); }
    const DWORD* GetRow(int y) const {
        return reinterpret_cast<const DWORD*>(m_top + static_cast<ptrdiff_t>(y) * m_pitch);
    }
    ///@}

    /// The pixel as COLORREF; CLR_INVALID (0xFFFFFFFF) outside the surface.
    COLORREF GetPixel(int x, int y) const;
    /// Writes one pixel; ignored outside the surface.
    void SetPixel(int x, int y, COLORREF colour);
    /// Fills the whole surface with one colour.
    void Fill(COLORREF colour);
    /// True when both surfaces have the same size and the same colours
    /// (the X byte is not compared).
    bool IsEqual(const CPixelSurface& other) const;

    /// Writes the surface as an uncompressed 24-bit bottom-up BMP file (to look
    /// at, or to hand to other tools). False when the file cannot be written.
    bool SaveBMP(const char* path) const;

    /// Pixel word <-> COLORREF (red and blue change places).
    static DWORD ToPixel(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
    static COLORREF ToColor(DWORD p) { return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF); }

private:
    std::vector<DWORD> m_pixels;
    BYTE* m_top = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_pitch = 0;
};
