#include "TestPatternScene.h"

#include <algorithm>
#include <cstring>

namespace testpattern {

namespace {

// Position along a path of length `range` that goes back and forth.
int Bounce(long long travelled, int range) {
    if (range <= 0) return 0;
    const long long p = travelled % (2LL * range);
    return static_cast<int>(p <= range ? p : 2LL * range - p);
}

void FillRect(BYTE* pixels, int width, const CRect& r, const BYTE bgr[3]) {
    for (int y = r.top; y < r.bottom; ++y) {
        BYTE* p = pixels + (size_t(y) * width + r.left) * 3;
        for (int x = r.left; x < r.right; ++x, p += 3) std::memcpy(p, bgr, 3);
    }
}

} // namespace

void ObjectColor(int k, BYTE bgr[3]) {
    static const BYTE colors[kMaxObjects][3] = {{0, 0, 255},   {0, 255, 0},   {255, 0, 0},   {0, 255, 255},
                                                {255, 255, 0}, {255, 0, 255}, {0, 128, 255}, {255, 128, 0}};
    std::memcpy(bgr, colors[k % kMaxObjects], 3);
}

CRect ObjectRect(int width, int height, int k, long index) {
    const int w = std::max(1, width / 8), h = std::max(1, height / 8);
    const long long vx = 2 + 3 * k, vy = 1 + 2 * k; // pixels per frame
    const int x = Bounce(k * 37LL + vx * index, width - w);
    const int y = Bounce(k * 23LL + vy * index, height - h);
    return CRect(x, y, x + w, y + h);
}

void RenderFrame(BYTE* pixels, int width, int height, int objectCount, long index) {
    for (int y = 0; y < height; ++y) {
        BYTE* row = pixels + size_t(y) * width * 3;
        for (int x = 0; x < width; x += kSquare)
            std::memset(row + size_t(x) * 3, BackgroundLevel(x, y), size_t(std::min(kSquare, width - x)) * 3);
    }
    for (int k = 0; k < objectCount; ++k) {
        BYTE bgr[3];
        ObjectColor(k, bgr);
        FillRect(pixels, width, ObjectRect(width, height, k, index), bgr);
    }
    for (int bit = 0; bit < std::min(kIndexBits, width); ++bit)
        std::memset(pixels + size_t(bit) * 3, (static_cast<unsigned long>(index) >> bit) & 1 ? 255 : 0, 3);
}

} // namespace testpattern
