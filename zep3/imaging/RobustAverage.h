#pragma once
/// @file
/// Robust averages: one value out of noisy per-frame measurements, by
/// discarding the outermost histogram bins or the groups of samples that lie
/// farthest from the mean, plus a histogram scaler and a sliding mean.
///
/// Means are rounded half away from zero. The arrays are only read unless a
/// function says otherwise (the pointer types are the ones applications
/// pass); a null array or a non-positive size gives false (or, for
/// AverageInt, leaves the output untouched). A failed call leaves *result
/// as it was, except for the double form of GetBestInt, which then stores 0.
#include <zep3/platform/Export.h>

/// The robust mean bin of a grey-level histogram of size bins: while more than
/// three bins are occupied, the occupied bin farthest from the current mean on
/// its side (the upper one on a tie) is dropped, until three remain; then
/// the mean bin. Only bins 0 to 255 are ever dropped; bins above take part in
/// the mean. False when no bin has a positive count.
ZEP3_API bool GetBestHisto(int* result, int* histo, int size);

/// Scales every bin by total / sum (truncating toward zero) when the
/// histogram's sum exceeds total; true then, false (bins unchanged) otherwise.
ZEP3_API bool NormalizeHisto(int total, int* histo, int size);

/// Sliding mean over windows of 2 x radius + 1 samples (truncated toward
/// zero), size outputs for size inputs; the first and last radius outputs
/// repeat the nearest full window's mean. Nothing is written when the input
/// is shorter than one window or radius is negative. out may be in.
ZEP3_API void AverageInt(int* out, int* in, int size, int radius);

/// The robust mean of count integers (zeros left out when ignoreZero): while
/// more than one value is left, the mean is taken and the values are walked
/// in order; a value farther than the current limit + tolerance from the mean
/// starts a new group (and sets the limit to its distance), a value at least
/// the limit away joins the group. The last group is dropped unless it is
/// empty or holds every value left. False when no value takes part.
ZEP3_API bool GetBestInt(int* result, int tolerance, int* values, int count, bool ignoreZero);
/// The same, false (and *result 0) when fewer than minRemaining values are
/// left at the end, or when count is 0 or minRemaining below 1. The result is
/// the rounded mean stored as a double.
ZEP3_API bool GetBestInt(double* result, int tolerance, int minRemaining, int* values, int count,
                         bool ignoreZero);
/// The robust mean of the non-negative values among count floats, with the
/// group limit kept in single precision; a single value is its own mean.
ZEP3_API bool GetBestFloat(float* result, float tolerance, float* values, int count);
