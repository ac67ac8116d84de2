// CPerspectiveCorrection::Correction on a 1920 × 1080 grey frame, next to
// OpenCV's cv::remap (one thread, nearest neighbour) on the same map: once
// with the map as two float planes, once converted to OpenCV's fastest
// fixed-point form (CV_16SC2). After the table, one line per peer gives the
// speed ratio peer time / our time (above 1: ours is faster), in CPU time.
#include <zep3/zep3.h>

#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int W = 1920, H = 1080;

struct Setup {
    CImageBuffer source{CSize(W, H), 8};
    CImageBuffer destination{CSize(W, H), 8};
    CPerspectiveCorrection correction;
    cv::Mat mapX, mapY, fixedXY, fixedFraction;
    bool ok = false;

    Setup() {
        unsigned noise = 1;
        for (int i = 0; i < W * H; ++i) {
            noise = noise * 1103515245u + 12345u;
            source.GetPixelBuffer()[i] = BYTE((i % W) / 8 + (i / W) / 8 + (noise >> 29));
        }
        // A ground plane seen obliquely, both vanishing points in play.
        ok = correction.Init(CPoint(600, 250), CPoint(1350, 300), CPoint(1850, 1050), CPoint(80, 980)) &&
             correction.Prepare(CMPoint(600, 250), CMPoint(1850, 1050), &source, &destination, CRect(0, 0, W, H)) &&
             correction.Correction(&source, &destination);
        if (!ok) return;
        // The same map for OpenCV: each destination pixel's source pixel,
        // offset 0 (pixel (0, 0)) where it falls outside the frame.
        mapX.create(H, W, CV_32FC1);
        mapY.create(H, W, CV_32FC1);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                CMPoint p;
                correction.TransformPoint(CMPoint(x, y), p);
                const bool inside = p.x > -1 && p.x < W && p.y > -1 && p.y < H;
                mapX.at<float>(y, x) = inside ? float(int(p.x)) : 0.f;
                mapY.at<float>(y, x) = inside ? float(int(p.y)) : 0.f;
            }
        cv::convertMaps(mapX, mapY, fixedXY, fixedFraction, CV_16SC2, true);
        // The peer must produce the very same picture.
        cv::Mat peer;
        cv::remap(Mat(source), peer, mapX, mapY, cv::INTER_NEAREST);
        ok = std::memcmp(peer.data, destination.GetPixelBuffer(), size_t(W) * H) == 0;
    }
    static cv::Mat Mat(const CImageBuffer& image) {
        return cv::Mat(image.GetSize().cy, image.GetSize().cx, CV_8UC1, image.GetPixelBuffer());
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

void ours(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state)
        if (!s.correction.Correction(&s.source, &s.destination)) state.SkipWithError("Correction");
    benchmark::DoNotOptimize(s.destination.GetPixelBuffer()[0]);
}

void remapFloat(benchmark::State& state) {
    Setup& s = setup();
    cv::Mat out(H, W, CV_8UC1);
    const cv::Mat in = Setup::Mat(s.source);
    for (auto _ : state) cv::remap(in, out, s.mapX, s.mapY, cv::INTER_NEAREST);
    benchmark::DoNotOptimize(out.data[0]);
}

void remapFixed(benchmark::State& state) {
    Setup& s = setup();
    cv::Mat out(H, W, CV_8UC1);
    const cv::Mat in = Setup::Mat(s.source);
    for (auto _ : state) cv::remap(in, out, s.fixedXY, cv::Mat(), cv::INTER_NEAREST);
    benchmark::DoNotOptimize(out.data[0]);
}

} // namespace

int main(int argc, char** argv) {
    cv::setNumThreads(1);
    if (!setup().ok) {
        std::fprintf(stderr, "setup failed: the correction or the peer's picture differs\n");
        return 1;
    }
    benchsupport::RunPairs(argc, argv, {
        {"Correction 1920x1080", ours, "cv::remap nearest, float map", remapFloat},
        {"Correction 1920x1080", ours, "cv::remap nearest, CV_16SC2 map", remapFixed},
    });
    return 0;
}
