#include <zep3/imaging/JpegFile.h>
#include <zep3/imaging/detail/JpegCodec.h>
#include <zep3/platform/FileDialog.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

using zep3::detail::JpegDecoder;
using zep3::detail::JpegOutput;
using zep3::detail::JpegPixels;
using zep3::detail::JpegRows;

namespace {

const char kFilter[] = "JPEG Files (*.jpg)|*.jpg||";

// Asks for a path when none is given; false when the user cancels.
bool ChoosePath(CString& path, bool open) {
    if (!path.IsEmpty()) return true;
    CFileDialog dialog(open, "jpg", nullptr,
                       OFN_HIDEREADONLY | (open ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT), kFilter);
    if (dialog.DoModal() != IDOK) return false;
    path = dialog.GetPathName();
    return !path.IsEmpty();
}

// Decodes the picture behind a decoder whose header is read into a new
// malloc'ed BGR block, rows rounded up to a multiple of 4 pixels with the
// added columns black. Null on failure.
unsigned char* DecodePicture(JpegDecoder& decoder, CSize& size) {
    if (decoder.Components() != 1 && decoder.Components() != 3) return nullptr;
    const int width = decoder.Width(), height = decoder.Height();
    const int rounded = (width + 3) & ~3;
    const size_t stride = size_t(rounded) * 3;
    auto* picture = static_cast<unsigned char*>(std::malloc(stride * height));
    if (!picture) return nullptr;
    if (!decoder.Decode(JpegPixels::Bgr, picture, ptrdiff_t(stride))) {
        std::free(picture);
        return nullptr;
    }
    for (int y = 0; rounded != width && y < height; ++y)
        std::memset(picture + y * stride + size_t(width) * 3, 0, size_t(rounded - width) * 3);
    size = CSize(rounded, height);
    return picture;
}

bool ValidImage(const unsigned char* pixels, CSize size) { return pixels && size.cx > 0 && size.cy > 0; }

JpegRows RowsOf(const unsigned char* pixels, CSize size, bool colour) {
    return JpegRows{pixels, ptrdiff_t(size.cx) * (colour ? 3 : 1), size.cx, size.cy,
                    colour ? JpegPixels::Bgr : JpegPixels::Grey};
}

} // namespace

CJpegFile::CJpegFile(const CJpegFile& other) { *this = other; }

CJpegFile& CJpegFile::operator=(const CJpegFile& other) {
    if (this == &other) return *this;
    const size_t bytes = size_t(other.m_Width) * other.m_Height * 3;
    unsigned char* copy = other.m_pPixels ? static_cast<unsigned char*>(std::malloc(bytes)) : nullptr;
    if (copy) std::memcpy(copy, other.m_pPixels, bytes);
    std::free(m_pPixels);
    m_pPixels = copy;
    m_Width = copy ? other.m_Width : 0;
    m_Height = copy ? other.m_Height : 0;
    return *this;
}

CJpegFile::~CJpegFile() { std::free(m_pPixels); }

bool CJpegFile::Keep(unsigned char* picture, CSize pictureSize, unsigned char** pixels, CSize& size) {
    if (!picture) return false;
    std::free(m_pPixels);
    m_pPixels = picture;
    m_Width = pictureSize.cx;
    m_Height = pictureSize.cy;
    if (pixels) *pixels = m_pPixels;
    size = pictureSize;
    return true;
}

bool CJpegFile::LoadFromFile(CString path, unsigned char** pixels, CSize& size, CString*) {
    if (!ChoosePath(path, true)) return false;
    struct stat st;
    if (stat(path, &st) != 0 || st.st_size == 0) return false;
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    CSize pictureSize;
    unsigned char* picture = nullptr;
    {
        JpegDecoder decoder;
        if (decoder.ReadHeader(file)) picture = DecodePicture(decoder, pictureSize);
    }
    std::fclose(file);
    return Keep(picture, pictureSize, pixels, size);
}

bool CJpegFile::SaveJpegToFile(CString path, unsigned char* pixels, CSize size, bool colour, CString*,
                               int quality) {
    if (!ValidImage(pixels, size) || !ChoosePath(path, false)) return false;
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    JpegOutput out;
    out.file = file;
    const bool encoded = zep3::detail::JpegEncode(RowsOf(pixels, size, colour), quality, nullptr, 0, out);
    return std::fclose(file) == 0 && encoded;
}

bool CJpegFile::Compress(void** data, int& size, unsigned char* pixels, CSize imageSize, bool colour, CString*,
                         int quality) {
    if (!data || !ValidImage(pixels, imageSize)) return false;
    JpegOutput out;
    out.growable = true;
    // A first guess that most frames fit; the block grows when they don't.
    out.capacity = size_t(imageSize.cx) * imageSize.cy * (colour ? 3 : 1) / 4 + 4096;
    out.data = static_cast<BYTE*>(std::malloc(out.capacity));
    if (!out.data) out.capacity = 0;
    if (!zep3::detail::JpegEncode(RowsOf(pixels, imageSize, colour), quality, nullptr, 0, out) ||
        out.size > INT_MAX) {
        std::free(out.data);
        return false;
    }
    void* fitted = std::realloc(out.data, out.size);
    *data = fitted ? fitted : out.data;
    size = static_cast<int>(out.size);
    return true;
}

bool CJpegFile::Decompress(void* data, int length, unsigned char** pixels, CSize& size, CString*) {
    if (!data || length <= 0) return false;
    CSize pictureSize;
    unsigned char* picture = nullptr;
    JpegDecoder decoder;
    if (decoder.ReadHeader(data, size_t(length))) picture = DecodePicture(decoder, pictureSize);
    return Keep(picture, pictureSize, pixels, size);
}
