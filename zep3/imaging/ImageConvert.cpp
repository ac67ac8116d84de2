// Pixel format conversions and ScaleDown. These run on every frame, so each
// is a single pass over plain loops shaped for the compiler's vectoriser:
// no intermediate buffers, no per-pixel branches, and a whole unpadded,
// unflipped image runs as one long row. The kernels are built for AVX-512
// and AVX2 as well as for the baseline, and picked once at load time.
#include <zep3/imaging/ImageBuffer.h>

#include <cstdint>
#include <cstring>

// ThreadSanitizer's runtime is not ready when the loader runs the clones'
// resolvers, and clang does not clone templates: those builds keep the
// baseline kernels only.
#if defined(__SANITIZE_THREAD__) || defined(__clang__)
#define ZEP3_KERNEL
#else
#define ZEP3_KERNEL __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "16-bit pixels are little-endian words");

namespace {

// x / 3 for x in 0..765 as a 16-bit multiply-high: exact there, and it maps
// onto the vector units' 16-bit multiplies.
inline BYTE Div3(unsigned x) { return static_cast<BYTE>((x * 21846u) >> 16); }

// 16-bit little-endian words at any address; whole-word moves vectorise far
// better than byte pairs.
inline unsigned Load16(const BYTE* p) {
    uint16_t w;
    std::memcpy(&w, p, 2);
    return w;
}
inline void Store16(BYTE* p, unsigned w) {
    const uint16_t v = static_cast<uint16_t>(w);
    std::memcpy(p, &v, 2);
}

ZEP3_KERNEL void BgrToGrey(BYTE* __restrict d, const BYTE* __restrict s, size_t n) {
    for (size_t i = 0; i < n; ++i) d[i] = Div3(s[3 * i] + s[3 * i + 1] + s[3 * i + 2]);
}

ZEP3_KERNEL void BgrxToGrey(BYTE* __restrict d, const BYTE* __restrict s, size_t n) {
    for (size_t i = 0; i < n; ++i)
        d[i] = static_cast<BYTE>((s[4 * i] + s[4 * i + 1] + s[4 * i + 2] + s[4 * i + 3]) >> 2);
}

ZEP3_KERNEL void Rgb555ToGrey(BYTE* __restrict d, const BYTE* __restrict s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const unsigned w = Load16(s + 2 * i);
        d[i] = Div3(((w & 0x1F) + ((w >> 5) & 0x1F) + ((w >> 10) & 0x1F)) << 3);
    }
}

ZEP3_KERNEL void Rgb555ToBgr(BYTE* __restrict d, const BYTE* __restrict s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const unsigned w = Load16(s + 2 * i);
        d[3 * i] = static_cast<BYTE>(w << 3);
        d[3 * i + 1] = static_cast<BYTE>((w >> 2) & 0xF8);
        d[3 * i + 2] = static_cast<BYTE>((w >> 7) & 0xF8);
    }
}

ZEP3_KERNEL void GreyToRgb555(BYTE* __restrict d, const BYTE* __restrict s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const unsigned g5 = s[i] >> 3;
        Store16(d + 2 * i, (g5 << 10) | (g5 << 5) | g5);
    }
}

ZEP3_KERNEL void GreyToBgr(BYTE* __restrict d, const BYTE* __restrict s, size_t n) {
    for (size_t i = 0; i < n; ++i) d[3 * i] = d[3 * i + 1] = d[3 * i + 2] = s[i];
}

using RowConverter = void (*)(BYTE*, const BYTE*, size_t);

// Converts n pixels; null for a pair without a conversion.
RowConverter ConverterFor(int destinationPixelSize, int sourcePixelSize) {
    switch (sourcePixelSize * 10 + destinationPixelSize) {
    case 12: return GreyToRgb555;
    case 13: return GreyToBgr;
    case 21: return Rgb555ToGrey;
    case 23: return Rgb555ToBgr;
    case 31: return BgrToGrey;
    case 41: return BgrxToGrey;
    default: return nullptr;
    }
}

// Keeps every `step`-th pixel of a row. A constant STEP lets the common
// halving compile to vector shuffles; STEP 0 takes the step at run time.
template <int PS, int STEP>
ZEP3_KERNEL void PickRow(BYTE* __restrict d, const BYTE* __restrict s, size_t n, size_t step) {
    if (STEP) step = STEP;
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < PS; ++c) d[PS * i + c] = s[PS * i * step + c];
}

using RowPicker = void (*)(BYTE*, const BYTE*, size_t, size_t);

RowPicker PickerFor(int pixelSize, int step) {
    const bool halve = step == 2;
    switch (pixelSize) {
    case 1: return halve ? PickRow<1, 2> : PickRow<1, 0>;
    case 2: return halve ? PickRow<2, 2> : PickRow<2, 0>;
    case 3: return halve ? PickRow<3, 2> : PickRow<3, 0>;
    default: return nullptr;
    }
}

} // namespace

bool ConvertImageBuffer(void* destination, int destinationPixelSize, const void* source, int sourcePixelSize,
                        const CSize& size, int sourceRowPixels, bool flip) {
    const bool same = destinationPixelSize == sourcePixelSize && sourcePixelSize > 0;
    const RowConverter convert = same ? nullptr : ConverterFor(destinationPixelSize, sourcePixelSize);
    if (!same && !convert) return false;
    if (size.cx <= 0 || size.cy <= 0) return true;
    if (!destination || !source) return false;

    const size_t width = static_cast<size_t>(size.cx), height = static_cast<size_t>(size.cy);
    const ptrdiff_t sourceStride = ptrdiff_t(sourceRowPixels) * sourcePixelSize;
    const size_t destinationStride = width * destinationPixelSize;
    auto* d = static_cast<BYTE*>(destination);
    const auto* s = static_cast<const BYTE*>(source);
    if (flip) {
        s += ptrdiff_t(height - 1) * sourceStride;
    } else if (sourceRowPixels == size.cx) {
        // Contiguous rows on both sides: one long row.
        if (same) {
            if (d != s) std::memmove(d, s, destinationStride * height);
        } else {
            convert(d, s, width * height);
        }
        return true;
    }
    const ptrdiff_t step = flip ? -sourceStride : sourceStride;
    for (size_t y = 0; y < height; ++y, d += destinationStride, s += step) {
        if (same)
            std::memmove(d, s, destinationStride);
        else
            convert(d, s, width);
    }
    return true;
}

bool ScaleDown(void* destination, const void* source, const CSize& destinationSize, int sourceWidth, int pixelSize,
               int skip) {
    if (skip < 0 || pixelSize < 1) return false;
    const RowPicker pick = skip > 0 ? PickerFor(pixelSize, skip + 1) : nullptr;
    if (skip > 0 && !pick) return false;
    if (destinationSize.cx <= 0 || destinationSize.cy <= 0) return true;
    if (!destination || !source) return false;

    const size_t width = static_cast<size_t>(destinationSize.cx);
    const size_t rowBytes = width * pixelSize;
    const size_t step = size_t(skip) + 1;
    const size_t sourceStep = step * size_t(sourceWidth) * pixelSize;
    auto* d = static_cast<BYTE*>(destination);
    const auto* s = static_cast<const BYTE*>(source);
    for (int y = 0; y < destinationSize.cy; ++y, d += rowBytes, s += sourceStep) {
        if (skip == 0)
            std::memcpy(d, s, rowBytes);
        else
            pick(d, s, width, step);
    }
    return true;
}
