#include "FrameStore.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

FrameStore::FrameStore(std::string folder) : m_Folder(std::move(folder)) {
    std::error_code ec;
    std::filesystem::create_directories(m_Folder, ec);
    m_Open = std::filesystem::is_directory(m_Folder, ec);
}

bool FrameStore::report(const std::string& path, bool ok) {
    std::error_code ec;
    if (ok) {
        ++m_Files;
        std::printf("  wrote %-44s %8ju bytes\n", path.c_str(),
                    std::uintmax_t(std::filesystem::file_size(path, ec)));
    } else {
        std::printf("  FAILED %s\n", path.c_str());
    }
    return ok;
}

bool FrameStore::SaveBmp(const std::string& name, const CImageBuffer& image) {
    const std::string path = m_Folder + "/" + name;
    return report(path, CBmpFile::WriteImage(path.c_str(), &image));
}

bool FrameStore::SaveSurface(const std::string& name, const CPixelSurface& surface) {
    const std::string path = m_Folder + "/" + name;
    return report(path, surface.SaveBMP(path.c_str()));
}

bool FrameStore::SaveJpeg(const std::string& name, const CImageBuffer& image, int quality) {
    const std::string path = m_Folder + "/" + name;
    CJpegFile jpeg;
    return report(path, jpeg.SaveJpegToFile(path.c_str(), image.GetPixelBuffer(), image.GetSize(),
                                            image.GetBitCount() == 24, nullptr, quality));
}

bool FrameStore::SaveBitmapJpeg(const std::string& name, const CImageBuffer& image, int quality) {
    const std::string path = m_Folder + "/" + name;
    // CJpeg takes a display bitmap: rows padded to 4 bytes, bottom row first.
    const int width = image.GetSize().cx, height = image.GetSize().cy, channels = image.GetPixelSize();
    const int row = width * channels, stride = (row + 3) & ~3;
    std::vector<BYTE> bitmap(size_t(stride) * height, 0);
    for (int y = 0; y < height; ++y)
        std::memcpy(&bitmap[size_t(height - 1 - y) * stride], image.GetPixelBuffer() + size_t(y) * row, row);
    int size = 0;
    void* jpeg = CJpeg::Compress(bitmap.data(), width, height, channels, size, quality);
    bool ok = jpeg != nullptr;
    if (ok) ok = bool(std::ofstream(path, std::ios::binary).write(static_cast<char*>(jpeg), size));
    delete[] static_cast<unsigned char*>(jpeg);
    return report(path, ok);
}
