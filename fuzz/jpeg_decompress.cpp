// CJpeg::Decompress with the size taken from the stream, then with the size
// the header scanner found and each channel count from 0 to 4.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7FFFFFFF || zep3fuzz::jpegMayBeHuge(data, size)) return 0;
    const int length = static_cast<int>(size);

    int width = 0, height = 0, channels = 0, padding = -1;
    auto* picture = static_cast<unsigned char*>(CJpeg::Decompress(width, height, channels, data, length, false, &padding));
    if (picture) {
        // Read the whole bitmap: every row must lie inside the block.
        zep3fuzz::check(padding >= 0 && padding < 4, "rows are padded to 4 bytes");
        const long stride = long(width) * channels + padding;
        unsigned sum = 0;
        for (long i = 0; i < stride * height; ++i) sum += picture[i];
        (void)sum;
        delete[] picture;
    }

    int headerWidth = 0, headerHeight = 0, headerChannels = 0;
    if (!CJpeg::ReadHeader(data, length, headerWidth, headerHeight, headerChannels)) return 0;
    for (int wanted = 0; wanted <= 4; ++wanted) {
        width = headerWidth;
        height = headerHeight;
        channels = wanted;
        delete[] static_cast<unsigned char*>(CJpeg::Decompress(width, height, channels, data, length, true));
    }
    return 0;
}
