#include "SyntheticCamera.h"

#include <chrono>
#include <cmath>

namespace {

CSystemTime now() {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    return CSystemTime(LONGLONG(us / 1000), DWORD(us % 1000));
}

} // namespace

SyntheticCamera::SyntheticCamera(int width, int height, int colorMode)
    : m_Width(width), m_Height(height), m_ColorMode(colorMode) {}

bool SyntheticCamera::Grab(CImageBuffer& frame) {
    const int bits = GetBitCount(m_ColorMode);
    if (bits < 0 || !frame.Create1(CSize(m_Width, m_Height), bits, 0) || frame.IsEmpty()) return false;
    const int t = m_FrameCount++;
    const int discX = (m_Width / 5 + 40 * t) % m_Width, discY = m_Height / 2, radius = m_Height / 6;
    const int barX = m_Width - 1 - (30 * t) % m_Width;
    BYTE* p = frame.GetPixelBuffer();
    for (int y = 0; y < m_Height; ++y) {
        for (int x = 0; x < m_Width; ++x) {
            int b = 255 * x / m_Width, g = 255 * y / m_Height;
            int r = int(128 + 90 * std::sin((x + 2 * y + 25 * t) / 60.0));
            if ((x - discX) * (x - discX) + (y - discY) * (y - discY) < radius * radius) b = 40, g = 40, r = 230;
            if (std::abs(x - barX) < m_Width / 20 && y > m_Height / 6 && y < m_Height / 3) b = g = r = 245;
            switch (m_ColorMode) {
            case 0: *p++ = BYTE((b + g + r) / 3); break;
            case 1: *p++ = BYTE(b), *p++ = BYTE(g), *p++ = BYTE(r); break;
            default: {
                const unsigned w = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
                *p++ = BYTE(w), *p++ = BYTE(w >> 8);
            }
            }
        }
    }
    frame.SetTime(now(), t);
    return true;
}
