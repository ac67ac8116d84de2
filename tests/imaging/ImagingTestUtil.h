#pragma once
// Helpers of the imaging tests: the external peers (ImageMagick, libjpeg's
// tools), synthetic frames and picture comparison.
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <string>

namespace imgtest {

// Full path of a Debian tool, or empty. The `convert` on PATH may be a
// stand-in, so only the packages' own paths count.
std::string tool(const char* name);

#define REQUIRE_TOOL(var, name, package)     \
    const std::string var = imgtest::tool(name); \
    if (var.empty()) GTEST_SKIP() << name << " is missing: install the Debian package " package

// An 8-bit image of one value, `padding` bytes after each row.
CImageBuffer greyImage(int width, int height, BYTE value = 0, int padding = 0);
// A camera-like 24-bit frame: gradients with a disc.
CImageBuffer makeFrame(int width, int height);
// Pseudo-random bytes over the whole memory of the buffer.
void fillRandom(CImageBuffer& image, unsigned seed);

// RGB or grey rows, top-down, unpadded: what the tools print.
struct Picture {
    int width = 0, height = 0, channels = 0;
    std::string pixels;
};
// Runs a command line that prints a binary PNM (P5 or P6); empty on failure.
Picture decodeWith(const std::string& commandLine);
// BGR or grey rows at `stride` (negative: bottom-up) as a picture.
Picture fromBgr(const BYTE* pixels, int width, int height, int channels, ptrdiff_t stride);
double psnr(const Picture& a, const Picture& b);

} // namespace imgtest
