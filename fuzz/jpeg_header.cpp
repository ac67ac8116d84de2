// CJpeg::ReadHeader: the marker walk that finds the baseline frame header.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7FFFFFFF) return 0;
    int width = -1, height = -1, channels = -1;
    if (CJpeg::ReadHeader(data, static_cast<int>(size), width, height, channels))
        zep3fuzz::check(width > 0 && height > 0 && channels >= 0, "a found frame header has a size");
    return 0;
}
