#include <zep3/imaging/DravolinBitmap.h>

#include <zep3/imaging/ImageBuffer.h>
#include <zep3/platform/DC.h>
#include <zep3/platform/GdiFunctions.h>
#include <zep3/platform/Palette.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

// The header and, for 8-bit images, 256 colour entries and 4 spare bytes.
size_t HeaderBytes(int pixelSize) { return sizeof(BITMAPINFOHEADER) + (pixelSize == 1 ? 256 * 4 + 4 : 0); }

int Trunc(double v) { return static_cast<int>(v); }
int Round(double v) { return static_cast<int>(std::round(v)); } // half away from zero

} // namespace

CDravolinBitmap::CDravolinBitmap()
    : m_pPalette(nullptr), m_ColorUsage(DIB_RGB_COLORS), m_pBitmapInfo(nullptr), m_Width(0), m_Height(0),
      m_pBits(nullptr), m_pCopy(nullptr) {}

CDravolinBitmap::~CDravolinBitmap() { Destroy(); }

void CDravolinBitmap::Destroy() {
    delete m_pPalette;
    m_pPalette = nullptr;
    std::free(m_pBitmapInfo);
    m_pBitmapInfo = nullptr;
    delete[] m_pCopy;
    m_pCopy = nullptr;
    m_Width = m_Height = 0;
    m_pBits = nullptr;
    m_ColorUsage = DIB_RGB_COLORS;
}

bool CDravolinBitmap::CreateBitmap(const CImageBuffer* image, CDC* dc) {
    Destroy();
    if (!image || image->IsEmpty() || !image->GetPixelBuffer()) return true;
    const int width = image->GetSize().cx, height = image->GetSize().cy;
    const int pixelSize = image->GetPixelSize();
    const size_t headerBytes = HeaderBytes(pixelSize);
    m_pBitmapInfo = static_cast<BITMAPINFO*>(std::calloc(1, headerBytes));
    if (!m_pBitmapInfo) return false;
    BITMAPINFOHEADER& h = m_pBitmapInfo->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = -height; // top-down rows, as the image keeps them
    h.biPlanes = 1;
    h.biBitCount = WORD(pixelSize * 8);
    h.biCompression = BI_RGB;
    h.biXPelsPerMeter = 1;
    h.biYPelsPerMeter = 1;
    m_Width = width;
    m_Height = height;
    m_pBits = image->GetPixelBuffer();

    // DIB rows are 4-byte aligned; an image padded otherwise is copied.
    const size_t rowBytes = size_t(width) * pixelSize;
    const int dibPadding = int((4 - rowBytes % 4) % 4);
    if (dibPadding != image->GetPaddingBytes()) {
        const size_t stride = rowBytes + size_t(image->GetPaddingBytes());
        m_pCopy = new (std::nothrow) BYTE[(rowBytes + dibPadding) * size_t(height)];
        if (!m_pCopy) {
            Destroy();
            return false;
        }
        const BYTE* src = image->GetPixelBuffer();
        BYTE* dst = m_pCopy;
        for (int y = 0; y < height; ++y, src += stride, dst += rowBytes + dibPadding) {
            std::memcpy(dst, src, rowBytes);
            std::memset(dst + rowBytes, 0, size_t(dibPadding));
        }
        m_pBits = m_pCopy;
    }
    if (pixelSize == 1 && dc) SetupPalette(dc);
    else m_ColorUsage = DIB_RGB_COLORS;
    return true;
}

void CDravolinBitmap::SetupPalette(CDC* dc) {
    delete m_pPalette;
    m_pPalette = nullptr;
    if (!dc || !m_pBitmapInfo) return;
    std::vector<BYTE> block(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(block.data());
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = 256;
    PALETTEENTRY* entries = logPalette->palPalEntry;

    const bool paletteDevice = (dc->GetDeviceCaps(RASTERCAPS) & RC_PALETTE) != 0;
    const int paletteSize = dc->GetDeviceCaps(SIZEPALETTE);
    const bool palettedColours = paletteDevice && paletteSize == 256;
    // Half of the device's reserved entries stay system colours at each end.
    int r = 0;
    if (palettedColours) {
        r = dc->GetDeviceCaps(NUMRESERVED) / 2;
        GetSystemPaletteEntries(dc->GetSafeHdc(), 0, UINT(r), entries);
        GetSystemPaletteEntries(dc->GetSafeHdc(), UINT(256 - r), UINT(r), entries + 256 - r);
        for (int i = 0; i < r; ++i) entries[i].peFlags = entries[255 - i].peFlags = 0;
    }
    for (int i = r; i <= 255 - r; ++i) entries[i] = PALETTEENTRY{BYTE(i - r), BYTE(i - r), BYTE(i - r), PC_RESERVED};
    m_pPalette = new CPalette;
    m_pPalette->CreatePalette(logPalette);

    BYTE* table = reinterpret_cast<BYTE*>(m_pBitmapInfo) + sizeof(BITMAPINFOHEADER);
    if (palettedColours) {
        // Palette indices: the grey levels spread over the ramp.
        auto* indices = reinterpret_cast<WORD*>(table);
        for (int i = 0; i < 256; ++i) indices[i] = WORD(Trunc(i * (128.0 - r) * 2 / 256 + r));
        m_ColorUsage = DIB_PAL_COLORS;
    } else if (!paletteDevice || paletteSize > 256) {
        auto* colours = reinterpret_cast<RGBQUAD*>(table);
        for (int i = 0; i < 256; ++i) colours[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
        m_ColorUsage = DIB_RGB_COLORS;
    }
    // A palette device of fewer entries keeps the colour table as it is.
}

bool CDravolinBitmap::StretchBitmap(CDC* dc, int x, int y, double zoomX, double zoomY, CRect clip,
                                    COLORADJUSTMENT* adjustment) {
    if (!dc || !m_pBitmapInfo) return false;
    if (zoomY == 0) zoomY = zoomX;
    if (!(zoomX > 0) || !(zoomY > 0)) return false;
    CPalette* previous = nullptr;
    if (m_pBitmapInfo->bmiHeader.biBitCount == 8) {
        if (!m_pPalette) SetupPalette(dc);
        previous = dc->SelectPalette(m_pPalette, FALSE);
        dc->RealizePalette();
    }
    if (adjustment) {
        dc->SetColorAdjustment(adjustment);
        dc->SetStretchBltMode(HALFTONE);
    } else {
        dc->SetStretchBltMode(COLORONCOLOR);
    }

    int left = 0, top = 0, width = m_Width, height = m_Height;
    const int scaledWidth = Trunc(m_Width * zoomX / 100), scaledHeight = Trunc(m_Height * zoomY / 100);
    if (!clip.IsRectEmpty() && (scaledWidth > clip.Width() || scaledHeight > clip.Height())) {
        // Only the part under the clip, one pixel more on each side.
        left = Round(clip.left * 100 / zoomX) - 1;
        top = Round(clip.top * 100 / zoomY) - 1;
        width = std::min(std::max(Round(clip.Width() * 100 / zoomX) + 2, 4), m_Width);
        height = std::min(std::max(Round(clip.Height() * 100 / zoomY) + 2, 4), m_Height);
        left = std::max(0, std::min(left, m_Width - width));
        top = std::max(0, std::min(top, m_Height - height));
    }
    const int destX = x + Trunc(left * zoomX / 100), destY = y + Trunc(top * zoomY / 100);
    const int destWidth = Trunc(width * zoomX / 100), destHeight = Trunc(height * zoomY / 100);
    // The drawing call counts the source top from the bottom of the bitmap.
    int sourceY = top;
    if (height < m_Height) {
        sourceY = m_Height - top - height;
        if (sourceY == 0) sourceY = 1;
    }
    dc->StretchDIBits(destX, destY, destWidth, destHeight, left, sourceY, width, height, m_pBits, m_pBitmapInfo,
                      UINT(m_ColorUsage), SRCCOPY);
    if (previous) dc->SelectPalette(previous, FALSE);
    return true;
}
