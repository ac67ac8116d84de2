// CBmpFile: header checks of a file, then its pixels into 8-, 16- and
// 24-bit targets (with and without row padding).
#include "FuzzSupport.h"

#include <zep3/zep3.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = zep3fuzz::scratchFile("input.bmp");
    zep3fuzz::writeFile(path, data, size);
    CBmpFile bmp;
    CSize imageSize(0, 0);
    int bitCount = 0;
    if (!bmp.ReadImageHeader(path.c_str(), &imageSize, &bitCount)) return 0;
    zep3fuzz::check(imageSize.cx > 0 && imageSize.cy > 0, "a read header has a positive size");
    for (int bits : {8, 16, 24}) {
        for (int padding : {0, 3}) {
            CImageBuffer target(imageSize, bits, padding);
            if (!target.GetPixelBuffer()) continue;
            bmp.ReadImageBuffer(&target);
        }
    }
    CImageBuffer wrongSize(CSize(imageSize.cx + 1, imageSize.cy), 24);
    zep3fuzz::check(!bmp.ReadImageBuffer(&wrongSize), "a target of another size is refused");
    return 0;
}
