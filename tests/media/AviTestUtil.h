#pragma once
// Shared by the AVI and codec tests: test pictures, and ffprobe/ffmpeg as
// the independent reader and writer of AVI files.
#include <zep3/zep3.h>

#include <map>
#include <string>

namespace avitest {

// A smooth picture that moves with `frame` (codecs see real motion).
CImageBuffer Pattern(int width, int height, int frame, int bitCount = 24);

struct Probe {
    std::string codec, rate;
    int width = 0, height = 0, frames = 0;
};
// The first video stream as ffprobe sees it, frames counted by decoding.
Probe FfProbe(const std::string& path);
// ffprobe's "key=value" lines for these options; empty when it fails.
std::map<std::string, std::string> FfProbeEntries(const std::string& path, const std::string& options);
// Every frame as ffmpeg decodes it: top-down BGR24 rows, one frame after another.
std::string FfDecode(const std::string& path);
// Runs ffmpeg with these arguments (quiet, overwriting); true on success.
bool Ffmpeg(const std::string& arguments);

double Psnr(const void* a, const void* b, size_t size);
// Rows of `image` in the opposite order.
CImageBuffer Flipped(const CImageBuffer& image);
std::string Bytes(const CImageBuffer& image);

// Writes `frames` pattern frames with the codec into path; false on any failure.
bool Record(const std::string& path, DWORD handler, DWORD compression, int width, int height, int frames,
            int rate = 25000, LONG quality = 9000, bool keepUnflipped = false);

} // namespace avitest
