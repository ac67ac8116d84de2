#include "AviTestUtil.h"

#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace avitest {

CImageBuffer Pattern(int width, int height, int frame, int bitCount) {
    CImageBuffer image(CSize(width, height), bitCount);
    const int pixel = image.GetPixelSize();
    for (int y = 0; y < height; ++y) {
        BYTE* row = image.GetPixelBuffer() + size_t(y) * width * pixel;
        for (int x = 0; x < width; ++x) {
            const int b = x * 200 / width + frame * 2 % 50, g = y * 220 / height + 16,
                      r = (x + y) * 180 / (width + height) + frame * 3 % 70;
            BYTE* p = row + size_t(x) * pixel;
            if (pixel == 1)
                p[0] = BYTE((b + g + r) / 3);
            else
                for (int c = 0; c < pixel; ++c) p[c] = BYTE(c == 0 ? b : c == 1 ? g : c == 2 ? r : 0);
        }
    }
    // A white square that jumps from frame to frame: neighbours differ clearly.
    const int side = std::min(16, std::min(width, height) / 2), left = frame * 23 % (width - side + 1),
              top = frame * 11 % (height - side + 1);
    for (int y = top; y < top + side; ++y)
        std::memset(image.GetPixelBuffer() + (size_t(y) * width + left) * pixel, 0xFF, size_t(side) * pixel);
    return image;
}

bool Ffmpeg(const std::string& arguments) {
    return zep3test::runCommand("ffmpeg -nostdin -v error -y " + arguments + " 2>&1") == 0;
}

std::map<std::string, std::string> FfProbeEntries(const std::string& path, const std::string& options) {
    std::string out;
    std::map<std::string, std::string> entries;
    if (zep3test::runCommand("ffprobe -v error " + options + " -of default=nw=1 '" + path + "'", &out) != 0) return entries;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.find('=') != std::string::npos) entries[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    return entries;
}

Probe FfProbe(const std::string& path) {
    auto e = FfProbeEntries(path, "-select_streams v:0 -count_frames -show_entries "
                                  "stream=codec_name,width,height,nb_read_frames,r_frame_rate");
    Probe p;
    p.codec = e["codec_name"], p.rate = e["r_frame_rate"];
    p.width = std::atoi(e["width"].c_str()), p.height = std::atoi(e["height"].c_str());
    p.frames = std::atoi(e["nb_read_frames"].c_str());
    return p;
}

std::string FfDecode(const std::string& path) {
    zep3test::TempDir dir;
    const std::string raw = dir.file("frames.bgr");
    if (!Ffmpeg("-i '" + path + "' -f rawvideo -pix_fmt bgr24 '" + raw + "'")) return std::string();
    return zep3test::readFile(raw);
}

double Psnr(const void* a, const void* b, size_t size) {
    const BYTE* p = static_cast<const BYTE*>(a);
    const BYTE* q = static_cast<const BYTE*>(b);
    double sum = 0;
    for (size_t i = 0; i < size; ++i) sum += double(p[i] - q[i]) * (p[i] - q[i]);
    if (sum == 0) return 99.0;
    return 10 * std::log10(255.0 * 255.0 * double(size) / sum);
}

CImageBuffer Flipped(const CImageBuffer& image) {
    CImageBuffer out(&image);
    const size_t row = size_t(image.GetSize().cx) * image.GetPixelSize();
    const int rows = image.GetSize().cy;
    for (int y = 0; y < rows; ++y)
        std::memcpy(out.GetPixelBuffer() + (rows - 1 - y) * row, image.GetPixelBuffer() + y * row, row);
    return out;
}

std::string Bytes(const CImageBuffer& image) {
    return std::string(reinterpret_cast<const char*>(image.GetPixelBuffer()),
                       size_t(image.GetSize().cx) * image.GetPixelSize() * image.GetSize().cy);
}

bool Record(const std::string& path, DWORD handler, DWORD compression, int width, int height, int frames, int rate,
            LONG quality, bool keepUnflipped) {
    const int bitCount = 24;
    CAVIEdit avi;
    avi.SetKeepCompressedUnflipped(keepUnflipped);
    avi.SetCompressorParam(15, 300, quality);
    if (!avi.InitCompressor(CSize(width, height), bitCount / 8, nullptr, handler, compression) ||
        !avi.OpenFileWrite(path.c_str(), rate, true))
        return false;
    for (int f = 0; f < frames; ++f) {
        CImageBuffer image = Pattern(width, height, f, bitCount);
        if (!avi.WriteFrame(&image, f)) return false;
    }
    avi.CloseWriteFile();
    return true;
}

} // namespace avitest
