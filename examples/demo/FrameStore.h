#pragma once
// Writes frames into one output folder as BMP and JPEG files and tells what
// it wrote on standard output.
#include <zep3/zep3.h>

#include <string>

class FrameStore {
public:
    // Creates the folder when it is missing.
    explicit FrameStore(std::string folder);
    bool IsOpen() const { return m_Open; }
    const std::string& Folder() const { return m_Folder; }

    bool SaveBmp(const std::string& name, const CImageBuffer& image);
    // A 24-bit or grey frame through CJpegFile (top-down rows).
    bool SaveJpeg(const std::string& name, const CImageBuffer& image, int quality);
    // A 24-bit frame through CJpeg's in-memory coder (bottom-up bitmap rows).
    bool SaveBitmapJpeg(const std::string& name, const CImageBuffer& image, int quality);
    // A drawing surface as a 24-bit BMP.
    bool SaveSurface(const std::string& name, const CPixelSurface& surface);
    int FilesWritten() const { return m_Files; }

private:
    bool report(const std::string& path, bool ok);

    std::string m_Folder;
    bool m_Open = false;
    int m_Files = 0;
};
