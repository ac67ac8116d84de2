// CMmioWaveFile's RIFF walk and CWaveFile's header read on any bytes: what
// opens must describe a readable data part no longer than the file.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

namespace {
template <class File> long long ReadAll(File& file) {
    char piece[512];
    long long total = 0;
    for (int n; (n = file.ReadData(piece, sizeof piece)) > 0;) total += n;
    return total;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = zep3fuzz::scratchFile("input.wav");
    zep3fuzz::writeFile(path, data, size);

    CMmioWaveFile mmio;
    if (mmio.Open(path.c_str())) {
        zep3fuzz::check(mmio.GetHeader() != nullptr, "an open file has a format");
        const int length = mmio.GetDataLength();
        zep3fuzz::check(length > 0 && size_t(length) <= size, "the data lies inside the file");
        zep3fuzz::check(ReadAll(mmio) == length, "the whole data part reads");
    } else {
        zep3fuzz::check(mmio.GetHeader() == nullptr && mmio.GetDataLength() == -1, "a refused file leaves nothing open");
    }

    CWaveFile wave;
    if (wave.Open(path.c_str())) {
        zep3fuzz::check(wave.GetHeader().IsValid(), "an open file has the four tags");
        zep3fuzz::check(ReadAll(wave) <= (long long)wave.GetHeader().m_DataSize, "reading stops at the data's end");
    } else {
        zep3fuzz::check(!wave.IsOpened(), "a refused file is closed");
    }
    return 0;
}
