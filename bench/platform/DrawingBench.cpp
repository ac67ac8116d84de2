// The software device context's bulk paths on a 1920 x 1080 surface against
// the plain memory operations they reduce to: FillSolidRect vs std::fill,
// BitBlt vs memcpy of the rows, and StretchDIBits of a 24-bit image at 100 %
// vs memcpy of the whole surface (the floor of any copy onto it) and vs a
// hand-written 24-to-32-bit row conversion.
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const int W = 1920, H = 1080;
const int64_t kSurfaceBytes = int64_t(W) * H * 4;

struct Fixture {
    CPixelSurface target{W, H}, source{W, H};
    CDC dst, src;
    std::vector<BYTE> dib = std::vector<BYTE>(size_t(W) * 3 * H, 0x5A); // rows of 5760 bytes, no padding
    BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), W, -H, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    Fixture() {
        dst.AttachSurface(&target);
        src.AttachSurface(&source);
        source.Fill(RGB(1, 2, 3));
    }
};

Fixture& Get() {
    static Fixture f;
    return f;
}

// Runs `step` once per iteration and counts one surface of bytes.
template <class Step>
void Surfaces(benchmark::State& s, Step step) {
    for (auto _ : s) {
        step(Get());
        benchmark::ClobberMemory();
    }
    s.SetBytesProcessed(s.iterations() * kSurfaceBytes);
}

void FillSolidRect(benchmark::State& s) {
    Surfaces(s, [](Fixture& f) { f.dst.FillSolidRect(0, 0, W, H, RGB(10, 20, 30)); });
}
void Fill(benchmark::State& s) {
    Surfaces(s, [](Fixture& f) {
        for (int y = 0; y < H; ++y) std::fill(f.target.GetRow(y), f.target.GetRow(y) + W, 0x0A141Eu);
    });
}
void BitBlt(benchmark::State& s) {
    Surfaces(s, [](Fixture& f) { f.dst.BitBlt(0, 0, W, H, &f.src, 0, 0, SRCCOPY); });
}
void CopyRows(benchmark::State& s) {
    Surfaces(s, [](Fixture& f) {
        for (int y = 0; y < H; ++y) std::memcpy(f.target.GetRow(y), f.source.GetRow(y), size_t(W) * 4);
    });
}
void StretchDIBits(benchmark::State& s) {
    Surfaces(s, [](Fixture& f) {
        f.dst.StretchDIBits(0, 0, W, H, 0, 0, W, H, f.dib.data(), reinterpret_cast<BITMAPINFO*>(&f.header),
                            DIB_RGB_COLORS, SRCCOPY);
    });
}
void CopySurface(benchmark::State& s) {
    Surfaces(s, [](Fixture& f) { std::memcpy(f.target.GetRow(0), f.source.GetRow(0), size_t(kSurfaceBytes)); });
}
void ConvertRows(benchmark::State& s) {
    Surfaces(s, [](Fixture& f) {
        for (int y = 0; y < H; ++y) {
            const BYTE* in = &f.dib[size_t(y) * W * 3];
            DWORD* out = f.target.GetRow(y);
            for (int x = 0; x < W; ++x)
                out[x] = DWORD(in[3 * x]) | DWORD(in[3 * x + 1]) << 8 | DWORD(in[3 * x + 2]) << 16;
        }
    });
}

} // namespace

int main(int argc, char** argv) {
    benchsupport::RunPairs(argc, argv,
                           {{"FillSolidRect 1920x1080", FillSolidRect, "std::fill rows", Fill},
                            {"BitBlt 1920x1080", BitBlt, "memcpy rows", CopyRows},
                            {"StretchDIBits 24-bit 1:1", StretchDIBits, "memcpy of the surface", CopySurface},
                            {"StretchDIBits 24-bit 1:1", StretchDIBits, "24-to-32 row conversion", ConvertRows}});
    return 0;
}
