#include <zep3/imaging/Jpeg.h>
#include <zep3/imaging/detail/JpegCodec.h>
#include <zep3/platform/WinTypes.h>

#include <cstring>
#include <new>

using zep3::detail::JpegDecoder;
using zep3::detail::JpegOutput;
using zep3::detail::JpegPixels;
using zep3::detail::JpegRows;

namespace {

// The comment is stored with its terminating zero.
const char kComment[] = "Dravolin JPEG Data";
static_assert(sizeof kComment == 19, "comment of 18 characters and a zero");

constexpr BYTE kMarkerPrefix = 0xFF;
constexpr BYTE kStartOfImage = 0xD8;
constexpr BYTE kBaselineFrame = 0xC0;

// Bytes of a bitmap row: pixels padded to a multiple of 4. -1 when too large.
int64_t BitmapStride(int width, int channels) { return (int64_t(width) * channels + 3) & ~int64_t(3); }

BYTE* Allocate(int64_t stride, int height) {
    const int64_t bytes = stride * height;
    return bytes > 0 ? new (std::nothrow) BYTE[size_t(bytes)] : nullptr;
}

} // namespace

void* CJpeg::Compress(const void* pixels, int width, int height, int channels, int& size, int quality) {
    if (!pixels || width <= 0 || height <= 0 || (channels != 1 && channels != 3)) return nullptr;
    const int64_t stride = BitmapStride(width, channels);
    BYTE* block = Allocate(stride, height);
    if (!block) return nullptr;
    JpegOutput out;
    out.data = block;
    out.capacity = size_t(stride) * height;
    const BYTE* bottomRow = static_cast<const BYTE*>(pixels) + (height - 1) * stride;
    const JpegRows rows{bottomRow, -ptrdiff_t(stride), width, height,
                        channels == 3 ? JpegPixels::Bgr : JpegPixels::Grey};
    if (!zep3::detail::JpegEncode(rows, quality, kComment, sizeof kComment, out)) {
        delete[] block;
        return nullptr;
    }
    size = static_cast<int>(out.size);
    return block;
}

void* CJpeg::Decompress(int& width, int& height, int& channels, const void* data, int length, bool sizeKnown,
                        int* padding) {
    if (!data || length <= 0) return nullptr;
    JpegDecoder decoder;
    if (!decoder.ReadHeader(data, size_t(length))) return nullptr;
    if (!sizeKnown && !ReadHeader(data, length, width, height, channels)) {
        width = decoder.Width();
        height = decoder.Height();
        channels = decoder.Components();
    }
    if (width != decoder.Width() || height != decoder.Height() || channels < 1 || channels > 4) return nullptr;

    const int rowBytes = width * channels;
    const int64_t stride = BitmapStride(width, channels);
    const int pad = int(stride - rowBytes);
    if (padding) *padding = pad;
    BYTE* block = Allocate(stride, height);
    if (!block) return nullptr;
    BYTE* bottomRow = block + (height - 1) * stride;
    const JpegPixels pixels = channels == 3 ? JpegPixels::Bgr : JpegPixels::Grey;
    if (!decoder.Decode(pixels, bottomRow, -ptrdiff_t(stride), channels)) {
        delete[] block;
        return nullptr;
    }
    for (int y = 0; pad && y < height; ++y) std::memset(block + y * stride + rowBytes, 0, size_t(pad));
    return block;
}

bool CJpeg::ReadHeader(const void* data, int length, int& width, int& height, int& channels) {
    const auto* p = static_cast<const BYTE*>(data);
    if (!p || length < 2 || p[0] != kMarkerPrefix || p[1] != kStartOfImage) return false;
    const int64_t end = length;
    int64_t pos = 2;
    while (pos < end) {
        if (pos + 4 > end || p[pos] != kMarkerPrefix) return false;
        const BYTE code = p[pos + 1];
        const int segment = (p[pos + 2] << 8) | p[pos + 3];
        pos += 4;
        if (code != kBaselineFrame) {
            if (segment < 2) return false;
            pos += segment - 2;
            continue;
        }
        // Precision, height, width, component count, then 3 bytes per component.
        if (pos + 6 > end || p[pos] != 8) return false;
        const int h = (p[pos + 1] << 8) | p[pos + 2];
        const int w = (p[pos + 3] << 8) | p[pos + 4];
        const int n = p[pos + 5];
        if (w == 0 || h == 0 || pos + 6 + 3 * n > end) return false;
        width = w;
        height = h;
        channels = n;
        return true;
    }
    return false;
}
