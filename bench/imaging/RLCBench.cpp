// Thresholding and labelling a 1920 × 1080 grey frame, measured next to
// OpenCV (one thread) in the same run:
//   CRLC::Make + Segment + ObjectExtraction (both colours, with mass, box and
//   centre per component) against cv::threshold + connectedComponentsWithStats
//   (4-connectivity) on the mask and on its inverse, on three frames:
//     discs  thousands of bright discs, some with dark holes, light noise
//     noise  a camera picture with sensor noise strong enough around the
//            threshold to break it into about 30 000 components
//     plain  one colour: a single component
//   CRLC::Make alone against cv::threshold, on the discs and the noise.
// Both sides' component counts are printed after the table; they must agree.
#include <zep3/zep3.h>

#include "support/BenchSupport.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int W = 1920, H = 1080, kThreshold = 128;

CImageBuffer blank(BYTE value) {
    CImageBuffer f(CSize(W, H), 8);
    std::fill_n(f.GetPixelBuffer(), size_t(W) * H, value);
    return f;
}

const CImageBuffer& discs() {
    static const CImageBuffer image = [] {
        CImageBuffer f = blank(60);
        BYTE* p = f.GetPixelBuffer();
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

// Smooth shading that crosses the threshold along long bands, with noise
// that splits the bands' edges into many small pieces.
const CImageBuffer& noisy() {
    static const CImageBuffer image = [] {
        CImageBuffer f = blank(0);
        BYTE* p = f.GetPixelBuffer();
        std::mt19937 rng(2);
        std::normal_distribution<double> noise(0, 4);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const double shade =
                    128 + 60 * std::sin(x / 97.0) * std::cos(y / 61.0) + 20 * std::sin((x + 2 * y) / 23.0);
                p[size_t(y) * W + x] = BYTE(std::clamp(int(shade + noise(rng)), 0, 255));
            }
        return f;
    }();
    return image;
}

const CImageBuffer& plain() {
    static const CImageBuffer image = blank(60);
    return image;
}

cv::Mat matOf(const CImageBuffer& image) { return cv::Mat(H, W, CV_8UC1, image.GetPixelBuffer()); }

struct Counts {
    int ours = 0, peer = 0;
};
Counts discCount, noiseCount, plainCount;

void oursSegmentation(benchmark::State& state, const CImageBuffer& image, int& count) {
    CRLC rlc;
    CArrayEx<CSegObject, const CSegObject&> objects;
    for (auto _ : state) {
        rlc.Make(const_cast<CImageBuffer*>(&image), kThreshold, CRect(0, 0, W, H), false);
        rlc.Segment();
        count = rlc.ObjectExtraction(objects, 0);
    }
}

void opencvSegmentation(benchmark::State& state, const CImageBuffer& image, int& count) {
    const cv::Mat grey = matOf(image);
    cv::Mat mask, inverse, labels, stats, centroids;
    for (auto _ : state) {
        cv::threshold(grey, mask, kThreshold, 255, cv::THRESH_BINARY);
        cv::bitwise_not(mask, inverse);
        const int bright = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 4, CV_32S);
        const int dark = cv::connectedComponentsWithStats(inverse, labels, stats, centroids, 4, CV_32S);
        count = bright - 1 + dark - 1; // label 0 is the other colour each time
    }
}

void oursMake(benchmark::State& state, const CImageBuffer& image) {
    CRLC rlc;
    for (auto _ : state) rlc.Make(const_cast<CImageBuffer*>(&image), kThreshold, CRect(0, 0, W, H), false);
}

void opencvThreshold(benchmark::State& state, const CImageBuffer& image) {
    const cv::Mat grey = matOf(image);
    cv::Mat mask;
    for (auto _ : state) cv::threshold(grey, mask, kThreshold, 255, cv::THRESH_BINARY);
}

benchsupport::Pair segmentation(const std::string& frame, const CImageBuffer& image, Counts& counts) {
    return {"Make+Segment+ObjectExtraction, " + frame,
            [&](benchmark::State& s) { oursSegmentation(s, image, counts.ours); },
            "threshold + 2x connectedComponentsWithStats",
            [&](benchmark::State& s) { opencvSegmentation(s, image, counts.peer); }};
}

benchsupport::Pair make(const std::string& frame, const CImageBuffer& image) {
    return {"Make, " + frame, [&](benchmark::State& s) { oursMake(s, image); }, "cv::threshold",
            [&](benchmark::State& s) { opencvThreshold(s, image); }};
}

} // namespace

int main(int argc, char** argv) {
    cv::setNumThreads(1);
    discs(), noisy(), plain();
    benchsupport::RunPairs(
        argc, argv,
        {segmentation("discs", discs(), discCount), segmentation("noise", noisy(), noiseCount),
         segmentation("one colour", plain(), plainCount), make("discs", discs()), make("noise", noisy())});
    std::printf(
        "Components of both colours, ours / OpenCV: discs %d / %d, noise %d / %d, one colour %d / %d\n",
        discCount.ours, discCount.peer, noiseCount.ours, noiseCount.peer, plainCount.ours, plainCount.peer);
    return 0;
}
