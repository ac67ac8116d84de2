// The AVI reader on any bytes: CAVIEdit opens the file and decodes a few
// frames (through whatever codec the file names), CAVIFile reads raw frames.
#include "FuzzSupport.h"

#include <zep3/media/detail/AviRiff.h>
#include <zep3/zep3.h>

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = zep3fuzz::scratchFile("input.avi");
    zep3fuzz::writeFile(path, data, size);
    zep3::detail::AviReader reader;
    if (reader.Open(path, false) != AVIERR_OK) return 0;
    zep3fuzz::check(reader.Length() >= 0 && reader.Format().size() > 0, "an open stream has a format");
    BITMAPINFOHEADER format{};
    std::memcpy(&format, reader.Format().data(), std::min(sizeof format, reader.Format().size()));
    // Frames are decoded whole: keep them small for the fuzzer's pace.
    if (int64_t(format.biWidth) * format.biHeight > (1 << 20) || int64_t(format.biWidth) * format.biHeight < -(1 << 20))
        return 0;

    CAVIEdit avi;
    int bitCount = 0;
    if (avi.OpenFile(path.c_str(), &bitCount)) {
        zep3fuzz::check(avi.GetFrameCount() == int(reader.Info().dwStart) + reader.Length(),
                        "the frame count is what the index holds");
        CImageBuffer image(avi.GetFrameSize(), bitCount);
        const int last = avi.GetFrameCount() - 1;
        for (int frame : {last, 0, last / 2, last})
            if (image.GetPixelBuffer()) avi.ReadFrame(&image, frame);
    }
    CAVIFile file;
    if (file.Open(path.c_str())) {
        std::vector<char> buffer(4096);
        for (int frame = 0; frame < file.GetFramesCount() && frame < 8; ++frame)
            file.ReadFrame(frame, buffer.data(), int(buffer.size()));
    }
    return 0;
}
