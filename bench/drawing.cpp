// Throughput of the software device context's bulk paths against the plain
// memory operations they reduce to: FillSolidRect vs std::fill, BitBlt vs
// memcpy of the rows, StretchDIBits (24-bit DIB at 100 %) vs a hand-written
// row conversion. Each pair runs in the same process; the summary prints the
// ratio (library time / peer time).
#include <zep3/zep3.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const int W = 1024, H = 768;

struct Fixture {
    CPixelSurface target{W, H}, source{W, H};
    CDC dst, src;
    std::vector<BYTE> dib = std::vector<BYTE>(size_t(W) * 3 * H, 0x5A);
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

void FillSolidRect(benchmark::State& s) {
    for (auto _ : s) Get().dst.FillSolidRect(0, 0, W, H, RGB(10, 20, 30));
    s.SetBytesProcessed(s.iterations() * int64_t(W) * H * 4);
}
void FillPeer(benchmark::State& s) {
    for (auto _ : s) {
        for (int y = 0; y < H; ++y) std::fill(Get().target.GetRow(y), Get().target.GetRow(y) + W, 0x0A141Eu);
        benchmark::ClobberMemory();
    }
    s.SetBytesProcessed(s.iterations() * int64_t(W) * H * 4);
}
void BitBlt(benchmark::State& s) {
    for (auto _ : s) Get().dst.BitBlt(0, 0, W, H, &Get().src, 0, 0, SRCCOPY);
    s.SetBytesProcessed(s.iterations() * int64_t(W) * H * 4);
}
void BitBltPeer(benchmark::State& s) {
    for (auto _ : s) {
        for (int y = 0; y < H; ++y) std::memcpy(Get().target.GetRow(y), Get().source.GetRow(y), size_t(W) * 4);
        benchmark::ClobberMemory();
    }
    s.SetBytesProcessed(s.iterations() * int64_t(W) * H * 4);
}
void StretchDIBits(benchmark::State& s) {
    Fixture& f = Get();
    for (auto _ : s)
        f.dst.StretchDIBits(0, 0, W, H, 0, 0, W, H, f.dib.data(), reinterpret_cast<BITMAPINFO*>(&f.header),
                            DIB_RGB_COLORS, SRCCOPY);
    s.SetBytesProcessed(s.iterations() * int64_t(W) * H * 4);
}
void StretchDIBitsPeer(benchmark::State& s) {
    Fixture& f = Get();
    for (auto _ : s) {
        for (int y = 0; y < H; ++y) {
            const BYTE* in = &f.dib[size_t(y) * W * 3];
            DWORD* out = f.target.GetRow(y);
            for (int x = 0; x < W; ++x) out[x] = DWORD(in[3 * x]) | DWORD(in[3 * x + 1]) << 8 | DWORD(in[3 * x + 2]) << 16;
        }
        benchmark::ClobberMemory();
    }
    s.SetBytesProcessed(s.iterations() * int64_t(W) * H * 4);
}

BENCHMARK(FillSolidRect);
BENCHMARK(FillPeer);
BENCHMARK(BitBlt);
BENCHMARK(BitBltPeer);
BENCHMARK(StretchDIBits);
BENCHMARK(StretchDIBitsPeer);

// Mean time of one call over a fixed number of runs.
double Time(const std::function<void()>& f) {
    const int runs = 50;
    f();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Fixture& f = Get();
    const double fill = Time([&] { f.dst.FillSolidRect(0, 0, W, H, 7); });
    const double fillPeer = Time([&] { for (int y = 0; y < H; ++y) std::fill(f.target.GetRow(y), f.target.GetRow(y) + W, 7u); });
    const double blt = Time([&] { f.dst.BitBlt(0, 0, W, H, &f.src, 0, 0, SRCCOPY); });
    const double bltPeer = Time([&] { for (int y = 0; y < H; ++y) std::memcpy(f.target.GetRow(y), f.source.GetRow(y), size_t(W) * 4); });
    const double dib = Time([&] {
        f.dst.StretchDIBits(0, 0, W, H, 0, 0, W, H, f.dib.data(), reinterpret_cast<BITMAPINFO*>(&f.header), DIB_RGB_COLORS, SRCCOPY);
    });
    const double dibPeer = Time([&] {
        for (int y = 0; y < H; ++y) {
            const BYTE* in = &f.dib[size_t(y) * W * 3];
            DWORD* out = f.target.GetRow(y);
            for (int x = 0; x < W; ++x) out[x] = DWORD(in[3 * x]) | DWORD(in[3 * x + 1]) << 8 | DWORD(in[3 * x + 2]) << 16;
        }
    });
    std::printf("ratio FillSolidRect/std::fill %.2f\nratio BitBlt/memcpy %.2f\nratio StretchDIBits(24-bit)/row conversion %.2f\n",
                fill / fillPeer, blt / bltPeer, dib / dibPeer);
    benchmark::Shutdown();
    return 0;
}
