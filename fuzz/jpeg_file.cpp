// CJpegFile::Decompress: JPEG data in memory into the object's BGR picture.
// A failure keeps the picture of the previous success.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7FFFFFFF || zep3fuzz::jpegMayBeHuge(data, size)) return 0;
    static CJpegFile jpeg; // kept across inputs, as an application keeps it
    std::string copy(reinterpret_cast<const char*>(data), size);
    unsigned char* pixels = nullptr;
    CSize pictureSize(0, 0);
    if (!jpeg.Decompress(copy.empty() ? nullptr : &copy[0], static_cast<int>(size), &pixels, pictureSize)) return 0;
    zep3fuzz::check(pixels && pictureSize.cx > 0 && pictureSize.cx % 4 == 0 && pictureSize.cy > 0,
                    "a decoded picture has a width rounded to 4 pixels");
    unsigned sum = 0;
    for (long i = 0; i < long(pictureSize.cx) * pictureSize.cy * 3; ++i) sum += pixels[i];
    (void)sum;
    return 0;
}
