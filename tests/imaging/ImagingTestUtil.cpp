#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <unistd.h>

namespace imgtest {

std::string tool(const char* name) {
    const std::string path = std::string("/usr/bin/") + name;
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

CImageBuffer greyImage(int width, int height, BYTE value, int padding) {
    CImageBuffer image(CSize(width, height), 8, padding);
    std::fill_n(image.GetPixelBuffer(), size_t(width + padding) * height, value);
    return image;
}

CImageBuffer makeFrame(int width, int height) {
    CImageBuffer frame(CSize(width, height), 24);
    BYTE* p = frame.GetPixelBuffer();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, p += 3) {
            const bool disc = (x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2) < height * height / 9;
            p[0] = BYTE(disc ? 30 : 255 * x / width);
            p[1] = BYTE(disc ? 30 : 255 * y / height);
            p[2] = BYTE(disc ? 220 : 128 + 100 * std::sin((x + y) / 40.0));
        }
    return frame;
}

void fillRandom(CImageBuffer& image, unsigned seed) {
    std::mt19937 rng(seed);
    const CSize s = image.GetSize();
    for (int i = 0; i < (s.cx * image.GetPixelSize() + image.GetPaddingBytes()) * s.cy; ++i)
        image.GetPixelBuffer()[i] = BYTE(rng());
}

Picture decodeWith(const std::string& commandLine) {
    std::string out;
    if (zep3test::runCommand(commandLine + " 2>/dev/null", &out) != 0) return Picture();
    Picture p;
    std::istringstream in(out);
    std::string magic;
    int maxval = 0;
    in >> magic >> p.width >> p.height >> maxval;
    p.channels = magic == "P6" ? 3 : magic == "P5" ? 1 : 0;
    if (!p.channels || maxval != 255 || in.get() == EOF) return Picture();
    p.pixels = out.substr(size_t(in.tellg()));
    return p.pixels.size() == size_t(p.width) * p.height * p.channels ? p : Picture();
}

Picture fromBgr(const BYTE* pixels, int width, int height, int channels, ptrdiff_t stride) {
    Picture p{width, height, channels, std::string()};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = channels - 1; c >= 0; --c) p.pixels += char(pixels[y * stride + x * channels + c]);
    return p;
}

double psnr(const Picture& a, const Picture& b) {
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) sum += std::pow(BYTE(a.pixels[i]) - BYTE(b.pixels[i]), 2);
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * a.pixels.size() / sum);
}

} // namespace imgtest
