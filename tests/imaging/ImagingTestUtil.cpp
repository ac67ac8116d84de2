#include "ImagingTestUtil.h"
#include "support/TestSupport.h"

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <unistd.h>

namespace imgtest {

std::string tool(const char* name) {
    const std::string path = std::string("/usr/bin/") + name;
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

CImageBuffer makeFrame(int width, int height, int t) {
    CImageBuffer frame(CSize(width, height), 24);
    const int cx = (width / 4 + 3 * t) % width, cy = height / 2, r = height / 5 + 1;
    for (int y = 0; y < height; ++y) {
        BYTE* p = frame.GetPixelBuffer() + y * width * 3;
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = BYTE(255 * x / width);
            p[1] = BYTE(255 * y / height);
            p[2] = BYTE(128 + 100 * std::sin((x + y + 5 * t) / 40.0));
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r) p[0] = 30, p[1] = 30, p[2] = 220;
            if (std::abs(x - (width - 1 - cx)) < width / 10 && y > height / 5 && y < height / 3)
                p[0] = 240, p[1] = 240, p[2] = 240;
        }
    }
    return frame;
}

void fillRandom(CImageBuffer& image, unsigned seed) {
    std::mt19937 rng(seed);
    const size_t bytes = size_t(image.GetSize().cx * image.GetPixelSize() + image.GetPaddingBytes()) *
                         image.GetSize().cy;
    for (size_t i = 0; i < bytes; ++i) image.GetPixelBuffer()[i] = BYTE(rng());
}

Picture parsePnm(const std::string& bytes) {
    Picture p;
    std::istringstream in(bytes);
    std::string magic;
    int maxval = 0;
    in >> magic >> p.width >> p.height >> maxval;
    in.get();
    if ((magic != "P5" && magic != "P6") || maxval != 255) return Picture();
    p.channels = magic == "P6" ? 3 : 1;
    p.pixels = bytes.substr(size_t(in.tellg()));
    if (p.pixels.size() != size_t(p.width) * p.height * p.channels) return Picture();
    return p;
}

Picture decodeWith(const std::string& commandLine) {
    std::string out;
    if (zep3test::runCommand(commandLine + " 2>/dev/null", &out) != 0) return Picture();
    return parsePnm(out);
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
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const double d = BYTE(a.pixels[i]) - BYTE(b.pixels[i]);
        sum += d * d;
    }
    const double mse = sum / a.pixels.size();
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace imgtest
