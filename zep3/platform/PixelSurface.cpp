#include <zep3/platform/PixelSurface.h>

#include <cstdio>
#include <cstring>

CPixelSurface::CPixelSurface(int width, int height) { Create(width, height); }

// A copy always owns its pixels, whatever the original was.
CPixelSurface::CPixelSurface(const CPixelSurface& other) { *this = other; }

CPixelSurface& CPixelSurface::operator=(const CPixelSurface& other) {
    if (this == &other) return *this;
    if (!Create(other.m_width, other.m_height)) return *this;
    for (int y = 0; y < m_height; ++y)
        std::memcpy(GetRow(y), other.GetRow(y), static_cast<size_t>(m_width) * 4);
    return *this;
}

bool CPixelSurface::Create(int width, int height) {
    Destroy();
    if (width < 0 || height < 0 || static_cast<int64_t>(width) * height * 4 > INT32_MAX) return false;
    m_pixels.assign(static_cast<size_t>(width) * height + 1, 0);  // never empty: marks ownership
    m_top = reinterpret_cast<BYTE*>(m_pixels.data());
    m_width = width;
    m_height = height;
    m_pitch = width * 4;
    return true;
}

bool CPixelSurface::Attach(void* top, int width, int height, int pitch) {
    Destroy();
    if (!top || width < 0 || height < 0 || (pitch < 0 ? -static_cast<int64_t>(pitch) : pitch) < width * 4LL)
        return false;
    m_top = static_cast<BYTE*>(top);
    m_width = width;
    m_height = height;
    m_pitch = pitch;
    return true;
}

void CPixelSurface::Destroy() {
    std::vector<DWORD>().swap(m_pixels);
    m_top = nullptr;
    m_width = m_height = m_pitch = 0;
}

COLORREF CPixelSurface::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return 0xFFFFFFFFu;
    return ToColor(GetRow(y)[x]);
}

void CPixelSurface::SetPixel(int x, int y, COLORREF colour) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    GetRow(y)[x] = ToPixel(colour);
}

void CPixelSurface::Fill(COLORREF colour) {
    const DWORD p = ToPixel(colour);
    for (int y = 0; y < m_height; ++y) {
        DWORD* row = GetRow(y);
        for (int x = 0; x < m_width; ++x) row[x] = p;
    }
}

bool CPixelSurface::IsEqual(const CPixelSurface& other) const {
    if (m_width != other.m_width || m_height != other.m_height) return false;
    for (int y = 0; y < m_height; ++y) {
        const DWORD* a = GetRow(y);
        const DWORD* b = other.GetRow(y);
        for (int x = 0; x < m_width; ++x)
            if ((a[x] ^ b[x]) & 0xFFFFFF) return false;
    }
    return true;
}

namespace {
void Put16(BYTE* p, unsigned v) { p[0] = BYTE(v); p[1] = BYTE(v >> 8); }
void Put32(BYTE* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = BYTE(v >> (8 * i)); }
}  // namespace

bool CPixelSurface::SaveBMP(const char* path) const {
    if (!path) return false;
    const uint32_t rowBytes = (static_cast<uint32_t>(m_width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(m_height);
    BYTE header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, 54 + imageBytes);
    Put32(header + 10, 54);
    Put32(header + 14, 40);
    Put32(header + 18, static_cast<uint32_t>(m_width));
    Put32(header + 22, static_cast<uint32_t>(m_height));
    Put16(header + 26, 1);
    Put16(header + 28, 24);
    Put32(header + 34, imageBytes);
    Put32(header + 38, 3780);  // 96 dpi
    Put32(header + 42, 3780);
    std::vector<BYTE> body(imageBytes, 0);
    for (int y = 0; y < m_height; ++y) {
        const DWORD* src = GetRow(m_height - 1 - y);
        BYTE* dst = body.data() + static_cast<size_t>(y) * rowBytes;
        for (int x = 0; x < m_width; ++x) {
            dst[3 * x] = BYTE(src[x]);
            dst[3 * x + 1] = BYTE(src[x] >> 8);
            dst[3 * x + 2] = BYTE(src[x] >> 16);
        }
    }
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header &&
              std::fwrite(body.data(), 1, body.size(), f) == body.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}
