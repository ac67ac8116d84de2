// The robust averages against references written the slow way (every search
// and removal done literally on plain vectors), on random inputs, and the
// worked examples; CLineDDA checked as a digital line.
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

long long roundedMean(long long sum, long long count) { return std::llround(double(sum) / double(count)); }

// GetBestHisto literally: k - 3 rounds, each searching both ends afresh.
bool refBestHisto(int* result, std::vector<int> h) {
    const int size = int(h.size());
    long long n = 0, s = 0, k = 0;
    for (int i = 0; i < size; ++i)
        if (h[i] > 0) n += h[i], s += (long long)h[i] * i, ++k;
    if (k == 0) return false;
    for (long long round = 0; round < k - 3; ++round) {
        if (n == 0) return false;
        const long long m = roundedMean(s, n);
        long long lo = 0, hi = 255;
        for (int b = 0; b < 256 && b < size && b < m; ++b)
            if (h[b] != 0) {
                lo = b;
                break;
            }
        for (int b = 255; b > m; --b)
            if (b < size && h[b] != 0) {
                hi = b;
                break;
            }
        const long long drop = m - lo > hi - m ? lo : hi;
        if (drop < size) n -= h[drop], s -= (long long)h[drop] * drop, h[drop] = 0;
    }
    if (n == 0) return false;
    *result = int(roundedMean(s, n));
    return true;
}

// The outlier-group loop literally: groups as index lists, removal by erase.
template <class T, class Limit>
bool refBestMean(std::vector<T> active, Limit tolerance, bool roundMean, size_t minRemaining, double* mean) {
    if (active.size() < std::max<size_t>(minRemaining, 1)) return false;
    double sum = 0;
    for (T v : active) sum += v;
    while (active.size() > 1) {
        double m = sum / double(active.size());
        if (roundMean) m = std::round(m);
        Limit d = tolerance;
        std::vector<size_t> group;
        for (size_t i = 0; i < active.size(); ++i) {
            const double deviation = std::fabs(double(active[i]) - m);
            if (deviation > d + tolerance) {
                group = {i};
                d = Limit(deviation);
            } else if (deviation >= d) {
                group.push_back(i);
            }
        }
        if (group.empty() || group.size() == active.size()) break;
        for (size_t g = group.size(); g-- > 0;) {
            sum -= double(active[group[g]]);
            active.erase(active.begin() + long(group[g]));
        }
    }
    if (active.size() < minRemaining) return false;
    *mean = roundMean ? double(roundedMean((long long)sum, (long long)active.size()))
                      : double(float(sum) / float(active.size()));
    return true;
}

std::vector<int> withoutZeros(const std::vector<int>& v, bool ignoreZero) {
    std::vector<int> out;
    for (int x : v)
        if (!ignoreZero || x != 0) out.push_back(x);
    return out;
}

// Clusters with outliers: a few centres, spread, some far values and zeros.
std::vector<int> randomSamples(std::mt19937& rng) {
    std::vector<int> v(1 + rng() % 40);
    const int centre = int(rng() % 2000) - 500, spread = 1 + int(rng() % 30);
    for (int& x : v) {
        const unsigned kind = rng() % 10;
        x = kind == 0   ? 0
            : kind == 1 ? int(rng() % 4000) - 2000
                        : centre + int(rng() % unsigned(2 * spread)) - spread;
    }
    return v;
}

TEST(RobustAverage, WorkedExamplesAndRefusals) {
    int histo[256] = {};
    histo[10] = 3, histo[11] = 5, histo[12] = 2, histo[200] = 1;
    int result = -1;
    ASSERT_TRUE(GetBestHisto(&result, histo, 256));
    EXPECT_EQ(result, 11); // bin 200 goes first, then (30 + 55 + 24) / 10 = 10.9
    EXPECT_EQ(histo[200], 1) << "the caller's histogram is not changed";
    int values[] = {10, 10, 10, 50}, zeros[] = {0, 0, 7};
    ASSERT_TRUE(GetBestInt(&result, 5, values, 4, false));
    EXPECT_EQ(result, 10);
    ASSERT_TRUE(GetBestInt(&result, 5, zeros, 3, true));
    EXPECT_EQ(result, 7);
    double best = -1;
    EXPECT_FALSE(GetBestInt(&best, 5, 4, values, 4, false));
    EXPECT_EQ(best, 0);
    int bins[] = {4, 6};
    EXPECT_TRUE(NormalizeHisto(5, bins, 2));
    EXPECT_TRUE(bins[0] == 2 && bins[1] == 3);

    result = 42;
    EXPECT_FALSE(GetBestHisto(&result, histo, 0) || GetBestHisto(&result, nullptr, 4));
    EXPECT_FALSE(GetBestInt(&result, 5, zeros, 2, true) || GetBestInt(&result, 5, zeros, 0, false));
    EXPECT_EQ(result, 42);
    float negative[] = {-1, -2, NAN}, fresult = 3;
    EXPECT_FALSE(GetBestFloat(&fresult, 1, negative, 3));
    EXPECT_EQ(fresult, 3);
    EXPECT_FALSE(NormalizeHisto(5, nullptr, 3));
    int in[] = {1, 2, 3}, out[] = {9, 9, 9};
    AverageInt(out, in, 3, 2); // shorter than one window
    AverageInt(out, in, 3, -1);
    EXPECT_EQ(out[0], 9);
}

TEST(RobustAverage, HistogramsMatchTheLiteralSearch) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 3000; ++trial) {
        // Mostly grey-level histograms; some shorter or longer than 256
        // bins, some with negative counts, which the outlier search still sees.
        const int size = trial % 5 == 0 ? 1 + int(rng() % 400) : 256;
        std::vector<int> h(size_t(size), 0);
        const int occupied = 1 + int(rng() % 40), centre = int(rng() % unsigned(size));
        for (int i = 0; i < occupied; ++i) {
            const int bin = rng() % 3 ? std::clamp(centre + int(rng() % 21) - 10, 0, size - 1)
                                      : int(rng() % unsigned(size));
            h[size_t(bin)] = trial % 7 == 0 && rng() % 4 == 0 ? -int(rng() % 50) : int(rng() % 1000);
        }
        int ours = -1, expected = -1;
        std::vector<int> copy = h;
        const bool ok = GetBestHisto(&ours, copy.data(), size);
        ASSERT_EQ(ok, refBestHisto(&expected, h)) << "trial " << trial;
        EXPECT_EQ(copy, h);
        if (ok) {
            ASSERT_EQ(ours, expected) << "trial " << trial;
        }
    }
}

TEST(RobustAverage, IntegerAndFloatMeansMatchTheLiteralLoop) {
    std::mt19937 rng(9);
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<int> v = randomSamples(rng);
        const int tolerance = int(rng() % 60), minRemaining = 1 + int(rng() % 6);
        const bool ignoreZero = rng() % 2;
        double expected = 0;
        const bool ok = refBestMean(withoutZeros(v, ignoreZero), int64_t(tolerance), true, 1, &expected);
        int ours = 0;
        ASSERT_EQ(GetBestInt(&ours, tolerance, v.data(), int(v.size()), ignoreZero), ok) << "trial " << trial;
        if (ok) {
            ASSERT_EQ(ours, expected) << "trial " << trial;
        }

        const bool okMin = refBestMean(withoutZeros(v, ignoreZero), int64_t(tolerance), true,
                                       size_t(minRemaining), &expected);
        double oursDouble = -1;
        ASSERT_EQ(GetBestInt(&oursDouble, tolerance, minRemaining, v.data(), int(v.size()), ignoreZero),
                  okMin);
        ASSERT_EQ(oursDouble, okMin ? expected : 0) << "trial " << trial;

        std::vector<float> f, active;
        for (int x : v) f.push_back(float(x) / 8);
        for (float x : f)
            if (x >= 0) active.push_back(x);
        const float ftolerance = float(tolerance) / 8;
        const bool okFloat = refBestMean(active, ftolerance, false, 1, &expected);
        float oursFloat = -1;
        ASSERT_EQ(GetBestFloat(&oursFloat, ftolerance, f.data(), int(f.size())), okFloat);
        if (okFloat) {
            ASSERT_EQ(oursFloat, float(expected)) << "trial " << trial;
        }
    }
}

TEST(RobustAverage, SlidingMeanAndNormalisationMatchDirectSums) {
    std::mt19937 rng(3);
    for (int trial = 0; trial < 500; ++trial) {
        const int radius = int(rng() % 6), size = 2 * radius + 1 + int(rng() % 30);
        std::vector<int> in(static_cast<size_t>(size)), out(static_cast<size_t>(size), 12345);
        for (int& x : in) x = int(rng() % 2001) - 1000;
        AverageInt(out.data(), in.data(), size, radius);
        for (int i = 0; i < size; ++i) {
            const int centre = std::clamp(i, radius, size - 1 - radius);
            long long sum = 0;
            for (int j = centre - radius; j <= centre + radius; ++j) sum += in[size_t(j)];
            ASSERT_EQ(out[size_t(i)], sum / (2 * radius + 1)) << "trial " << trial << " at " << i;
        }
        AverageInt(in.data(), in.data(), size, radius); // in place
        ASSERT_EQ(in, out);

        std::vector<int> h(1 + rng() % 256);
        long long sum = 0;
        for (int& x : h) sum += x = int(rng() % 500);
        const int total = int(rng() % 60000);
        std::vector<int> scaled = h;
        ASSERT_EQ(NormalizeHisto(total, scaled.data(), int(h.size())), sum > total);
        for (size_t i = 0; i < h.size(); ++i)
            ASSERT_EQ(scaled[i], sum > total ? int(h[i] * (double(total) / double(sum))) : h[i]);
    }
}

// The stepping itself is the platform's LineDDA, checked with the drawing.
TEST(LineDDA, ListsTheLineWithoutItsEnd) {
    CLineDDA line(CPoint(0, 0), CPoint(-3, 6));
    ASSERT_EQ(line.GetSize(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(line.GetPoint(i), CPoint(-(i + 1) / 2, i)) << i;
    EXPECT_EQ(line.GetPoint(6), CPoint(0, 0)) << "past the end";
    EXPECT_EQ(line.GetEndPoint(), CPoint(-3, 6));
    EXPECT_EQ(line.Create(CPoint(5, 5), CPoint(5, 5)), 0);
}

} // namespace
