// Image conversions and JPEG coding of a 1920 × 1080 camera frame, each
// measured next to a peer in the same run: OpenCV (one thread) for the
// conversions, a memcpy of the output bytes for ScaleDown, TurboJPEG with the
// same settings (quality 75, 2×2 chroma subsampling, BGR, the accurate
// integer DCT that libjpeg uses by default) for the codecs; before timing,
// the program checks that both codecs make the same bytes. CPU time, which a
// machine shared with other work disturbs less than wall time.
#include <zep3/zep3.h>

#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int W = 1920, H = 1080, Q = 75;

// A frame with smooth areas, edges and a little noise, like a camera's.
const CImageBuffer& frame() {
    static const CImageBuffer image = [] {
        CImageBuffer f(CSize(W, H), 24);
        unsigned noise = 1;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                BYTE* p = f.GetPixelBuffer() + (size_t(y) * W + x) * 3;
                noise = noise * 1103515245u + 12345u;
                const int n = int(noise >> 28) - 8;
                const bool disc = (x - 700) * (x - 700) + (y - 500) * (y - 500) < 200 * 200;
                p[0] = BYTE(disc ? 40 : std::clamp(x * 255 / W + n, 0, 255));
                p[1] = BYTE(disc ? 60 : std::clamp(y * 255 / H + n, 0, 255));
                p[2] = BYTE(std::clamp(int(128 + 100 * std::sin((x + y) / 90.0)) + n, 0, 255));
            }
        return f;
    }();
    return image;
}

const CImageBuffer& frame555() {
    static const CImageBuffer image = [] {
        CImageBuffer f(CSize(W, H), 16);
        const BYTE* s = frame().GetPixelBuffer();
        for (size_t i = 0; i < size_t(W) * H; ++i, s += 3) {
            const unsigned w = (s[2] >> 3) << 10 | (s[1] >> 3) << 5 | s[0] >> 3;
            f.GetPixelBuffer()[2 * i] = BYTE(w), f.GetPixelBuffer()[2 * i + 1] = BYTE(w >> 8);
        }
        return f;
    }();
    return image;
}

cv::Mat matOf(const CImageBuffer& image, int type) {
    return cv::Mat(image.GetSize().cy, image.GetSize().cx, type, image.GetPixelBuffer());
}

void fail(benchmark::State& state, const char* what) { state.SkipWithError(what); }

// --- conversions -----------------------------------------------------------

void oursBgrToGrey(benchmark::State& state) {
    CImageBuffer grey(CSize(1, 1), 8);
    for (auto _ : state) ConvertImageBuffer(&grey, &frame());
    benchmark::DoNotOptimize(grey.GetPixelBuffer()[0]);
}

void opencvBgrToGrey(benchmark::State& state) {
    cv::Mat grey;
    const cv::Mat bgr = matOf(frame(), CV_8UC3);
    for (auto _ : state) cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    benchmark::DoNotOptimize(grey.data[0]);
}

void oursRgb555ToBgr(benchmark::State& state) {
    CImageBuffer bgr(CSize(1, 1), 24);
    for (auto _ : state) ConvertImageBuffer(&bgr, &frame555());
    benchmark::DoNotOptimize(bgr.GetPixelBuffer()[0]);
}

void opencvRgb555ToBgr(benchmark::State& state) {
    cv::Mat bgr;
    const cv::Mat words = matOf(frame555(), CV_8UC2);
    for (auto _ : state) cv::cvtColor(words, bgr, cv::COLOR_BGR5552BGR);
    benchmark::DoNotOptimize(bgr.data[0]);
}

void oursScaleDown(benchmark::State& state) {
    CImageBuffer half(CSize(W / 2, H / 2), 24);
    for (auto _ : state) ScaleDown(&half, &frame(), 1);
    benchmark::DoNotOptimize(half.GetPixelBuffer()[0]);
}

void memcpyHalf(benchmark::State& state) {
    std::vector<BYTE> half(size_t(W / 2) * (H / 2) * 3);
    for (auto _ : state) {
        std::memcpy(half.data(), frame().GetPixelBuffer(), half.size());
        benchmark::ClobberMemory();
    }
}

// --- JPEG --------------------------------------------------------------------

// The frame as a bottom-up bitmap (1920 × 3 bytes is already a multiple of 4).
const std::vector<BYTE>& bitmap() {
    static const std::vector<BYTE> b = [] {
        std::vector<BYTE> out(size_t(W) * H * 3);
        for (int y = 0; y < H; ++y)
            std::memcpy(&out[size_t(H - 1 - y) * W * 3], frame().GetPixelBuffer() + size_t(y) * W * 3,
                        size_t(W) * 3);
        return out;
    }();
    return b;
}

// TurboJPEG picks its fast, less exact DCT unless told otherwise; libjpeg's
// default (ours) is the accurate one.
const int kAccurate = TJFLAG_ACCURATEDCT;

std::vector<BYTE> turboCompress(int flags) {
    flags |= kAccurate;
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const BYTE* src = flags & TJFLAG_BOTTOMUP ? bitmap().data() : frame().GetPixelBuffer();
    tjCompress2(tj, src, W, 0, H, TJPF_BGR, &jpeg, &size, TJSAMP_420, Q, flags);
    std::vector<BYTE> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

void oursJpegFileCompress(benchmark::State& state) {
    CJpegFile jpeg;
    for (auto _ : state) {
        void* data = nullptr;
        int size = 0;
        if (!jpeg.Compress(&data, size, frame().GetPixelBuffer(), CSize(W, H), true, nullptr, Q))
            fail(state, "Compress");
        std::free(data);
    }
}

void oursJpegFileDecompress(benchmark::State& state) {
    std::vector<BYTE> data = turboCompress(0);
    CJpegFile jpeg;
    for (auto _ : state) {
        unsigned char* pixels = nullptr;
        CSize size;
        if (!jpeg.Decompress(data.data(), int(data.size()), &pixels, size)) fail(state, "Decompress");
    }
}

void oursJpegCompress(benchmark::State& state) {
    for (auto _ : state) {
        int size = 0;
        void* data = CJpeg::Compress(bitmap().data(), W, H, 3, size, Q);
        if (!data) fail(state, "CJpeg::Compress");
        delete[] static_cast<unsigned char*>(data);
    }
}

void oursJpegDecompress(benchmark::State& state) {
    std::vector<BYTE> data = turboCompress(TJFLAG_BOTTOMUP);
    for (auto _ : state) {
        int w = W, h = H, c = 3;
        void* pixels = CJpeg::Decompress(w, h, c, data.data(), int(data.size()), true);
        if (!pixels) fail(state, "CJpeg::Decompress");
        delete[] static_cast<unsigned char*>(pixels);
    }
}

// The peers allocate like ours: a fresh output block per frame.
void turboCompressBench(benchmark::State& state, int flags) {
    flags |= kAccurate;
    tjhandle tj = tjInitCompress();
    const BYTE* src = flags & TJFLAG_BOTTOMUP ? bitmap().data() : frame().GetPixelBuffer();
    for (auto _ : state) {
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(tj, src, W, 0, H, TJPF_BGR, &jpeg, &size, TJSAMP_420, Q, flags) != 0)
            fail(state, "tj");
        tjFree(jpeg);
    }
    tjDestroy(tj);
}

void turboDecompressBench(benchmark::State& state, int flags) {
    std::vector<BYTE> data = turboCompress(flags);
    flags |= kAccurate;
    tjhandle tj = tjInitDecompress();
    for (auto _ : state) {
        std::unique_ptr<BYTE[]> pixels(new BYTE[size_t(W) * H * 3]);
        if (tjDecompress2(tj, data.data(), data.size(), pixels.get(), W, 0, H, TJPF_BGR, flags) != 0)
            fail(state, "tj");
        benchmark::DoNotOptimize(pixels[0]);
    }
    tjDestroy(tj);
}

// Whether ours and TurboJPEG make the same bytes: the compressed stream of
// CJpegFile, and the decoded pixels of both classes.
bool sameOutput() {
    const std::vector<BYTE> peer = turboCompress(0);
    void* data = nullptr;
    int size = 0;
    CJpegFile jpeg;
    bool same = jpeg.Compress(&data, size, frame().GetPixelBuffer(), CSize(W, H), true, nullptr, Q) &&
                size_t(size) == peer.size() && std::memcmp(data, peer.data(), peer.size()) == 0;
    std::free(data);
    std::printf("CJpegFile::Compress and tjCompress2 make the same stream: %s\n", same ? "yes" : "NO");

    tjhandle tj = tjInitDecompress();
    std::vector<BYTE> pixels(size_t(W) * H * 3);
    unsigned char* ours = nullptr;
    CSize decoded;
    bool sameDecoded =
        jpeg.Decompress(const_cast<BYTE*>(peer.data()), int(peer.size()), &ours, decoded) &&
        tjDecompress2(tj, peer.data(), peer.size(), pixels.data(), W, 0, H, TJPF_BGR, kAccurate) == 0 &&
        decoded == CSize(W, H) && std::memcmp(ours, pixels.data(), pixels.size()) == 0;
    const std::vector<BYTE> bottomUp = turboCompress(TJFLAG_BOTTOMUP);
    int w = W, h = H, c = 3;
    auto* bitmapOurs =
        static_cast<unsigned char*>(CJpeg::Decompress(w, h, c, bottomUp.data(), int(bottomUp.size()), true));
    sameDecoded = sameDecoded && bitmapOurs &&
                  tjDecompress2(tj, bottomUp.data(), bottomUp.size(), pixels.data(), W, 0, H, TJPF_BGR,
                                kAccurate | TJFLAG_BOTTOMUP) == 0 &&
                  std::memcmp(bitmapOurs, pixels.data(), pixels.size()) == 0;
    delete[] bitmapOurs;
    tjDestroy(tj);
    std::printf("CJpegFile and CJpeg decode to the same pixels as tjDecompress2: %s\n",
                sameDecoded ? "yes" : "NO");
    return same && sameDecoded;
}

} // namespace

int main(int argc, char** argv) {
    cv::setNumThreads(1);
    frame();
    frame555();
    bitmap();
    if (!sameOutput()) return 1;
    benchsupport::RunPairs(
        argc, argv,
        {
            {"ConvertImageBuffer 24->8", oursBgrToGrey, "OpenCV cvtColor BGR2GRAY", opencvBgrToGrey},
            {"ConvertImageBuffer 16->24", oursRgb555ToBgr, "OpenCV cvtColor BGR5552BGR", opencvRgb555ToBgr},
            {"ScaleDown skip 1", oursScaleDown, "memcpy of the output", memcpyHalf},
            {"CJpegFile::Compress", oursJpegFileCompress, "tjCompress2",
             [](benchmark::State& s) { turboCompressBench(s, 0); }},
            {"CJpegFile::Decompress", oursJpegFileDecompress, "tjDecompress2",
             [](benchmark::State& s) { turboDecompressBench(s, 0); }},
            {"CJpeg::Compress", oursJpegCompress, "tjCompress2 bottom-up",
             [](benchmark::State& s) { turboCompressBench(s, TJFLAG_BOTTOMUP); }},
            {"CJpeg::Decompress", oursJpegDecompress, "tjDecompress2 bottom-up",
             [](benchmark::State& s) { turboDecompressBench(s, TJFLAG_BOTTOMUP); }},
        });
    return 0;
}
