// Thresholding and labelling a 1920 × 1080 grey frame with thousands of
// blobs of both colours (bright discs, some with dark holes), measured next
// to OpenCV (one thread) in the same run:
//   CRLC::Make + Segment + ObjectExtraction (both colours, with mass, box and
//   centre per component) against cv::threshold + connectedComponentsWithStats
//   (4-connectivity) on the mask and on its inverse;
//   CRLC::Make alone against cv::threshold.
// After the table, one line per pair gives peer time / our time in CPU time
// (above 1: ours is faster), and the component counts of both sides.
#include <zep3/zep3.h>

#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int W = 1920, H = 1080, kThreshold = 128;

const CImageBuffer& frame() {
    static const CImageBuffer image = [] {
        CImageBuffer f(CSize(W, H), 8);
        BYTE* p = f.GetPixelBuffer();
        std::fill_n(p, size_t(W) * H, BYTE(60));
        std::mt19937 rng(1);
        auto disc = [&](int r0, int r1, BYTE value) {
            const int r = r0 + int(rng() % unsigned(r1 - r0)), cx = int(rng() % W), cy = int(rng() % H);
            for (int y = std::max(0, cy - r); y < std::min(H, cy + r + 1); ++y)
                for (int x = std::max(0, cx - r); x < std::min(W, cx + r + 1); ++x)
                    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) p[size_t(y) * W + x] = value;
        };
        for (int i = 0; i < 4000; ++i) disc(4, 18, 190); // bright blobs
        for (int i = 0; i < 6000; ++i) disc(2, 7, 40); // dark blobs, holes where they fall inside bright ones
        for (size_t i = 0; i < size_t(W) * H; ++i)
            p[i] = BYTE(std::clamp(int(p[i]) + int(rng() % 41) - 20, 0, 255));
        return f;
    }();
    return image;
}

cv::Mat frameMat() { return cv::Mat(H, W, CV_8UC1, frame().GetPixelBuffer()); }

int oursCount = 0, peerCount = 0;

void oursSegmentation(benchmark::State& state) {
    CRLC rlc;
    CArrayEx<CSegObject, const CSegObject&> objects;
    CImageBuffer& image = const_cast<CImageBuffer&>(frame());
    for (auto _ : state) {
        rlc.Make(&image, kThreshold, CRect(0, 0, W, H), false);
        rlc.Segment();
        oursCount = rlc.ObjectExtraction(objects, 0);
    }
}

void opencvSegmentation(benchmark::State& state) {
    const cv::Mat grey = frameMat();
    cv::Mat mask, inverse, labels, stats, centroids;
    for (auto _ : state) {
        cv::threshold(grey, mask, kThreshold, 255, cv::THRESH_BINARY);
        cv::bitwise_not(mask, inverse);
        const int bright = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 4, CV_32S);
        const int dark = cv::connectedComponentsWithStats(inverse, labels, stats, centroids, 4, CV_32S);
        peerCount = bright - 1 + dark - 1; // label 0 is the other colour each time
    }
}

void oursMake(benchmark::State& state) {
    CRLC rlc;
    CImageBuffer& image = const_cast<CImageBuffer&>(frame());
    for (auto _ : state) rlc.Make(&image, kThreshold, CRect(0, 0, W, H), false);
}

void opencvThreshold(benchmark::State& state) {
    const cv::Mat grey = frameMat();
    cv::Mat mask;
    for (auto _ : state) cv::threshold(grey, mask, kThreshold, 255, cv::THRESH_BINARY);
}

} // namespace

int main(int argc, char** argv) {
    cv::setNumThreads(1);
    frame();
    benchsupport::RunPairs(argc, argv, {
        {"Make+Segment+ObjectExtraction", oursSegmentation, "threshold+2x connectedComponentsWithStats",
         opencvSegmentation},
        {"Make", oursMake, "cv::threshold", opencvThreshold},
    });
    std::printf("Components of both colours: ours %d, OpenCV %d\n", oursCount, peerCount);
    return 0;
}
