#include <zep3/imaging/BmpFile.h>
#include <zep3/platform/GdiTypes.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "bitmap headers are read and written in place");

namespace {

constexpr WORD kBitmapType = 0x4D42; // "BM"
constexpr DWORD kFileHeaderSize = sizeof(BITMAPFILEHEADER);
constexpr DWORD kInfoHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr DWORD kColorTableSize = 256 * sizeof(RGBQUAD);

int64_t PaddedRow(int64_t rowBytes) { return (rowBytes + 3) & ~int64_t(3); }

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

CBmpFile::CBmpFile(const char* fileName) {
    if (fileName && !ReadImageHeader(fileName, nullptr, nullptr)) Init();
}

CBmpFile::~CBmpFile() { Init(); }

void CBmpFile::Init() {
    std::free(m_pData);
    m_pData = nullptr;
    m_bHeaderLoaded = false;
}

bool CBmpFile::ReadImageHeader(const char* fileName, CSize* size, int* bitCount, CString*) {
    Init();
    if (!fileName) return false;
    FILE* file = std::fopen(fileName, "rb");
    if (!file) return false;
    std::unique_ptr<FILE, FileCloser> closer(file);
    struct stat st;
    BITMAPFILEHEADER fileHeader;
    if (fstat(fileno(file), &st) != 0 || st.st_size < off_t(kFileHeaderSize + kInfoHeaderSize) ||
        std::fread(&fileHeader, kFileHeaderSize, 1, file) != 1)
        return false;
    const size_t dataSize = static_cast<size_t>(st.st_size) - kFileHeaderSize;
    m_pData = static_cast<BYTE*>(std::malloc(dataSize));
    if (!m_pData || std::fread(m_pData, 1, dataSize, file) != dataSize) {
        Init();
        return false;
    }

    BITMAPINFOHEADER info;
    std::memcpy(&info, m_pData, kInfoHeaderSize);
    if (fileHeader.bfType != kBitmapType || info.biSize != kInfoHeaderSize) {
        Init();
        return false;
    }
    m_InfoHeaderSize = info.biSize;
    m_Width = info.biWidth;
    m_Height = info.biHeight;
    m_BitCount = info.biBitCount;
    if (bitCount) *bitCount = m_BitCount;
    if (info.biCompression != BI_RGB || (m_BitCount != 8 && m_BitCount != 16 && m_BitCount != 24) ||
        m_Width <= 0 || m_Height <= 0) {
        Init();
        return false;
    }
    const int64_t rowBytes = int64_t(m_Width) * (m_BitCount / 8);
    const int64_t stride = PaddedRow(rowBytes);
    m_Padding = static_cast<int>(stride - rowBytes);
    // The rows must lie inside the file, after the info header.
    const int64_t offset = int64_t(fileHeader.bfOffBits) - kFileHeaderSize;
    const int64_t available = int64_t(dataSize) - offset;
    if (offset < kInfoHeaderSize || offset > INT_MAX || available < rowBytes ||
        (available - rowBytes) / stride < m_Height - 1) {
        Init();
        return false;
    }
    m_DataOffset = static_cast<int>(offset);
    if (size) *size = CSize(m_Width, m_Height);
    m_bHeaderLoaded = true;
    return true;
}

bool CBmpFile::ReadImageBuffer(CImageBuffer* target, CString*) const {
    if (!m_bHeaderLoaded || !target || !target->GetPixelBuffer() || target->GetSize() != CSize(m_Width, m_Height))
        return false;
    const int filePixelSize = m_BitCount / 8;
    const int targetPixelSize = target->GetPixelSize();
    const size_t fileStride = size_t(m_Width) * filePixelSize + m_Padding;
    const size_t targetStride = size_t(m_Width) * targetPixelSize + target->GetPaddingBytes();
    const BYTE* fileRow = m_pData + m_DataOffset + fileStride * (m_Height - 1);
    BYTE* targetRow = target->GetPixelBuffer();
    for (int y = 0; y < m_Height; ++y, fileRow -= fileStride, targetRow += targetStride) {
        if (!ConvertImageBuffer(targetRow, targetPixelSize, fileRow, filePixelSize, CSize(m_Width, 1), m_Width, false))
            return false;
    }
    return true;
}

bool CBmpFile::WriteImage(const char* fileName, const CImageBuffer* image, CString*) {
    if (!fileName || !image || image->IsEmpty() || !image->GetPixelBuffer()) return false;
    const int pixelSize = image->GetPixelSize();
    if (pixelSize < 1 || pixelSize > 4) return false;

    const int width = image->GetSize().cx, height = image->GetSize().cy;
    const size_t rowBytes = size_t(width) * pixelSize;
    const size_t stride = static_cast<size_t>(PaddedRow(int64_t(rowBytes)));
    const DWORD colorTable = pixelSize == 1 ? kColorTableSize : 0;
    const size_t headers = kFileHeaderSize + kInfoHeaderSize + colorTable;
    const size_t total = headers + stride * height;
    if (total > 0xFFFFFFFFu) return false;

    BYTE* block = static_cast<BYTE*>(std::calloc(total, 1));
    if (!block) return false;
    std::unique_ptr<BYTE, decltype(&std::free)> owner(block, &std::free);

    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = kBitmapType;
    fileHeader.bfSize = static_cast<DWORD>(total);
    fileHeader.bfOffBits = static_cast<DWORD>(headers);
    BITMAPINFOHEADER info = {};
    info.biSize = kInfoHeaderSize;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = static_cast<WORD>(pixelSize * 8);
    info.biCompression = BI_RGB;
    info.biXPelsPerMeter = 1;
    info.biYPelsPerMeter = 1;
    info.biClrUsed = info.biClrImportant = pixelSize == 1 ? 256 : 0;
    std::memcpy(block, &fileHeader, kFileHeaderSize);
    std::memcpy(block + kFileHeaderSize, &info, kInfoHeaderSize);
    RGBQUAD* colors = reinterpret_cast<RGBQUAD*>(block + kFileHeaderSize + kInfoHeaderSize);
    for (DWORD i = 0; colorTable && i < 256; ++i) colors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};

    // Bottom row first; the padding stays zero from calloc.
    const BYTE* src = image->GetPixelBuffer() + rowBytes * (height - 1);
    BYTE* dst = block + headers;
    for (int y = 0; y < height; ++y, src -= rowBytes, dst += stride) std::memcpy(dst, src, rowBytes);

    FILE* file = std::fopen(fileName, "wb");
    if (!file) return false;
    const bool written = std::fwrite(block, 1, total, file) == total;
    return std::fclose(file) == 0 && written;
}
