#include <zep3/imaging/RobustAverage.h>

#include <zep3/imaging/detail/ClampToInt.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace {

using zep3::detail::ClampToInt;

using Wide = __int128; // histogram sums: count x index over any int histogram

// num / den rounded half away from zero, exactly; den is not 0.
template <class T> T RoundedQuotient(T num, T den) {
    T q = num / den, r = num % den;
    if (r < 0) r = -r;
    if (2 * r >= (den < 0 ? -den : den)) q += (num < 0) != (den < 0) ? -1 : 1;
    return q;
}

// The outlier-group loop shared by the integer and float means. `active`
// holds the values taking part in index order, `sum` their sum; the groups
// dropped leave `active` and the returned sum. meanOf gives the mean the
// deviations are measured from; Limit is the type of the running limit.
template <class Value, class Sum, class Limit, class MeanOf>
Sum DropOutlierGroups(std::vector<Value>& active, Sum sum, Limit tolerance, MeanOf meanOf) {
    std::vector<char> joined(active.size());
    while (active.size() > 1) {
        const auto mean = meanOf(sum, active.size());
        Limit limit = tolerance;
        size_t start = 0, size = 0; // the group: joined values from start on
        for (size_t i = 0; i < active.size(); ++i) {
            const auto deviation = mean > active[i] ? mean - active[i] : active[i] - mean;
            if (deviation > limit + tolerance) { // a new group of this value alone
                start = i, size = 0;
                limit = Limit(deviation);
                joined[i] = 1;
            } else {
                joined[i] = deviation >= limit;
            }
            size += joined[i];
        }
        if (size == 0 || size == active.size()) break;
        size_t kept = 0;
        for (size_t i = 0; i < active.size(); ++i) {
            if (i >= start && joined[i])
                sum -= active[i];
            else
                active[kept++] = active[i];
        }
        active.resize(kept);
    }
    return sum;
}

// The integer forms: the survivors' sum and count, the count -1 when no
// value takes part.
int64_t BestIntSum(int tolerance, const int* values, int count, bool ignoreZero, int64_t& remaining) {
    remaining = -1;
    if (!values || count < 1) return 0;
    std::vector<int> active;
    active.reserve(size_t(count));
    int64_t sum = 0;
    for (int i = 0; i < count; ++i)
        if (!ignoreZero || values[i] != 0) active.push_back(values[i]), sum += values[i];
    if (active.empty()) return 0;
    sum = DropOutlierGroups(active, sum, int64_t(tolerance),
                            [](int64_t s, size_t n) { return RoundedQuotient<int64_t>(s, int64_t(n)); });
    remaining = int64_t(active.size());
    return sum;
}

} // namespace

bool GetBestHisto(int* result, int* histo, int size) {
    if (!result || !histo || size < 1) return false;
    Wide n = 0, s = 0;
    int occupied = 0;
    for (int i = 0; i < size; ++i)
        if (histo[i] > 0) n += histo[i], s += Wide(histo[i]) * i, ++occupied;
    if (occupied == 0) return false;

    // Only bins 0..255 are searched and dropped: a grey-level histogram.
    const int searched = std::min(size, 256);
    int bins[256];
    std::copy(histo, histo + searched, bins);
    int first = 0, last = searched - 1; // the outermost non-empty bins
    auto settle = [&] {
        while (first < searched && bins[first] == 0) ++first;
        while (last >= 0 && bins[last] == 0) --last;
    };
    settle();
    for (int round = 3; round < occupied && n != 0; ++round) {
        const Wide m = RoundedQuotient(s, n);
        const Wide lo = first < m ? first : 0, hi = last > m ? last : 255;
        const int drop = int(m - lo > hi - m ? lo : hi);
        if (drop < searched) {
            n -= bins[drop], s -= Wide(bins[drop]) * drop;
            bins[drop] = 0;
            settle();
        }
    }
    if (n == 0) return false; // only reachable through negative counts
    *result = ClampToInt(RoundedQuotient(s, n));
    return true;
}

bool NormalizeHisto(int total, int* histo, int size) {
    if (!histo || size < 1) return false;
    int64_t sum = 0;
    for (int i = 0; i < size; ++i) sum += histo[i];
    if (sum <= total) return false;
    const double factor = double(total) / double(sum);
    for (int i = 0; i < size; ++i) histo[i] = ClampToInt(std::trunc(histo[i] * factor));
    return true;
}

void AverageInt(int* out, int* in, int size, int radius) {
    const int64_t window = 2 * int64_t(radius) + 1;
    if (!out || !in || radius < 0 || size < window) return;
    // The input is read behind the output, so an overlapping output needs a copy.
    std::vector<int> copy;
    const std::less<const int*> before;
    if (before(out, in + size) && before(in, out + size)) {
        copy.assign(in, in + size);
        in = copy.data();
    }
    int64_t sum = 0;
    for (int i = 0; i < window; ++i) sum += in[i];
    std::fill(out, out + radius + 1, int(sum / window));
    for (int i = int(window); i < size; ++i) {
        sum += in[i] - int64_t(in[i - window]);
        out[i - radius] = int(sum / window);
    }
    std::fill(out + size - radius, out + size, int(sum / window));
}

bool GetBestInt(int* result, int tolerance, int* values, int count, bool ignoreZero) {
    int64_t remaining;
    const int64_t sum = BestIntSum(tolerance, values, count, ignoreZero, remaining);
    if (!result || remaining < 1) return false;
    *result = int(RoundedQuotient(sum, remaining));
    return true;
}

bool GetBestInt(double* result, int tolerance, int minRemaining, int* values, int count, bool ignoreZero) {
    if (!result) return false;
    *result = 0;
    int64_t remaining = -1;
    const int64_t sum = minRemaining < 1 ? 0 : BestIntSum(tolerance, values, count, ignoreZero, remaining);
    if (remaining < minRemaining) return false;
    *result = double(RoundedQuotient(sum, remaining));
    return true;
}

bool GetBestFloat(float* result, float tolerance, float* values, int count) {
    if (!result || !values || count < 1) return false;
    std::vector<float> active;
    active.reserve(size_t(count));
    double sum = 0;
    for (int i = 0; i < count; ++i)
        if (values[i] >= 0) active.push_back(values[i]), sum += values[i]; // NaN takes no part either
    if (active.empty()) return false;
    sum = DropOutlierGroups(active, sum, tolerance, [](double s, size_t n) { return s / double(n); });
    *result = float(sum) / float(active.size());
    return true;
}
