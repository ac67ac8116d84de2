#pragma once
/// @class CJpeg
/// In-memory JPEG images of device-independent bitmaps.
///
/// The bitmaps are bottom-up, as the display's DIBs are: the first row in
/// memory is the picture's bottom row. Rows are width × channels bytes padded
/// to a multiple of 4 bytes; 3 channels are blue, green, red, 1 channel grey.
/// Colour is coded as YCbCr with the chroma halved in both directions, and
/// every compressed image carries the comment "Dravolin JPEG Data" (with its
/// terminating zero). Both functions are thread-safe; failures give null.
#include <zep3/platform/Export.h>

class ZEP3_API CJpeg {
public:
    /// Compresses a bitmap of 1 or 3 channels at `quality` (0..100). Returns a
    /// block from new[] (free it with delete[] static_cast<unsigned char*>)
    /// holding `size` bytes of JPEG. The block is the size of the bitmap, so a
    /// JPEG that would not fit in it fails. Null for other channel counts,
    /// null pixels, a non-positive size or a failure of the codec.
    static void* Compress(const void* pixels, int width, int height, int channels, int& size, int quality = 75);
    /// Decompresses `length` bytes of JPEG into a new bitmap (from new[]),
    /// rows padded to 4 bytes; `*padding` (may be null) receives the bytes
    /// after each row's pixels. With `sizeKnown` the caller gives width,
    /// height and channels, and the JPEG must have that size; otherwise they
    /// come from ReadHeader, or from the codec when ReadHeader fails (as for
    /// progressive JPEGs). 3 channels decode as BGR; 1, 2 or 4 as grey,
    /// repeated over the channels of each pixel. Null for a damaged stream, a
    /// size that does not match, another channel count, or a picture without
    /// a grey or colour conversion (CMYK).
    static void* Decompress(int& width, int& height, int& channels, const void* data, int length,
                            bool sizeKnown = false, int* padding = nullptr);
    /// Finds the baseline frame header (SOF0) by walking the marker segments,
    /// without decoding: width, height and component count. False for data
    /// that does not start with a JPEG start marker, a broken segment, a
    /// sample precision other than 8, a zero size, or no SOF0 (progressive
    /// and other frame types are not recognised).
    static bool ReadHeader(const void* data, int length, int& width, int& height, int& channels);
};
