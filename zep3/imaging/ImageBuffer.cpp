#include <zep3/imaging/ImageBuffer.h>

#include <zep3/imaging/DravolinBitmap.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <utility>

namespace {

// Row stride in bytes, or -1 when it does not fit the int-sized rows the
// buffer's interface speaks of.
int64_t RowStride(int width, int bitCount, int paddingBytes) {
    const int64_t stride = (bitCount + 7LL) / 8 * width + paddingBytes;
    return stride > INT_MAX ? -1 : stride;
}

// Bytes of memory behind an image of that type.
size_t BlockBytes(int width, int height, int bitCount, int paddingBytes) {
    return static_cast<size_t>(RowStride(width, bitCount, paddingBytes)) * static_cast<size_t>(height);
}

// True when [p, p + n) overlaps [block, block + size).
bool Overlaps(const void* p, size_t n, const void* block, size_t size) {
    if (!p || !block) return false;
    const std::less<const void*> lt;
    const auto* a = static_cast<const BYTE*>(p);
    const auto* b = static_cast<const BYTE*>(block);
    return lt(a, b + size) && lt(b, a + n);
}

} // namespace

CImageBuffer::CImageBuffer() { Init(); }

CImageBuffer::CImageBuffer(const CImageBuffer* other) {
    Init();
    Create1(other);
}

CImageBuffer::CImageBuffer(CSize size, int bitCount, int paddingBytes) {
    Init();
    Create1(size, bitCount, paddingBytes);
}

CImageBuffer::CImageBuffer(const CImageBuffer& other) {
    Init();
    CreateCopy(&other);
}

CImageBuffer::~CImageBuffer() {
    DestroyBitmap();
    ReleaseMemory();
}

CImageBuffer& CImageBuffer::operator=(const CImageBuffer& other) {
    if (this != &other) CreateCopy(&other);
    return *this;
}

void CImageBuffer::Init() {
    ResetTime();
    m_Width = 0;
    m_Height = 0;
    m_BitCount = 24;
    m_bOwnBuffer = true;
    m_pPixelBuffer = nullptr;
    m_PaddingBytes = 0;
    m_pBitmap = nullptr;
}

void CImageBuffer::ResetTime() {
    m_Time = CSystemTime();
    m_ImageTag = -1;
}

void CImageBuffer::CopyTime(const CImageBuffer& other) {
    m_Time = other.m_Time;
    m_ImageTag = other.m_ImageTag;
}

void CImageBuffer::ReleaseMemory() {
    if (m_bOwnBuffer) std::free(m_pPixelBuffer);
    m_pPixelBuffer = nullptr;
    m_bOwnBuffer = true;
    m_Width = 0;
    m_Height = 0;
}

// Exchanges everything but the display bitmap, which stays with its object.
void CImageBuffer::swap(CImageBuffer& other) {
    std::swap(m_Time, other.m_Time);
    std::swap(m_ImageTag, other.m_ImageTag);
    std::swap(m_Width, other.m_Width);
    std::swap(m_Height, other.m_Height);
    std::swap(m_BitCount, other.m_BitCount);
    std::swap(m_bOwnBuffer, other.m_bOwnBuffer);
    std::swap(m_pPixelBuffer, other.m_pPixelBuffer);
    std::swap(m_PaddingBytes, other.m_PaddingBytes);
}

bool CImageBuffer::Create1(CSize size, int bitCount, int paddingBytes) {
    if (!m_bOwnBuffer) ReleaseMemory();
    ResetTime();
    bitCount = GetValidBitCount(bitCount == -1 ? m_BitCount : bitCount);
    int width = size.cx, height = size.cy;
    if (width <= 0 || height <= 0 || paddingBytes < 0) width = height = 0;
    if (paddingBytes < 0) paddingBytes = 0;
    if (width == m_Width && height == m_Height && bitCount == m_BitCount && paddingBytes == m_PaddingBytes)
        return true;

    ReleaseMemory();
    m_BitCount = bitCount;
    m_PaddingBytes = paddingBytes;
    if (width == 0) return true;
    if (RowStride(width, bitCount, paddingBytes) < 0) return false;
    m_pPixelBuffer = static_cast<BYTE*>(std::malloc(BlockBytes(width, height, bitCount, paddingBytes)));
    if (!m_pPixelBuffer) return false;
    m_Width = width;
    m_Height = height;
    return true;
}

bool CImageBuffer::Create1(const CImageBuffer* other) {
    if (!other) return false;
    // Read everything before Create1 touches this object (other may be this).
    const CImageBuffer& o = *other;
    const CSystemTime time = o.m_Time;
    const int tag = o.m_ImageTag;
    if (!Create1(o.GetSize(), o.m_BitCount, o.m_PaddingBytes)) return false;
    m_Time = time;
    m_ImageTag = tag;
    return true;
}

// A crop rectangle must lie inside the image; one that does not is refused.
static bool RectInside(const CRect& rect, CSize size) {
    return rect.left >= 0 && rect.top >= 0 && rect.right <= size.cx && rect.bottom <= size.cy &&
           !rect.IsRectEmpty();
}

bool CImageBuffer::CreateCopy(const CImageBuffer* other, CRect rect) {
    if (!other || !other->m_pPixelBuffer) return false;
    if (rect.IsRectEmpty()) rect = CRect(CPoint(0, 0), other->GetSize());
    if (!RectInside(rect, other->GetSize())) return false;
    if (other == this) {
        CImageBuffer part;
        if (!part.CreateCopy(other, rect)) return false;
        swap(part);
        return true;
    }
    if (!CreateCopy(other->m_pPixelBuffer, other->GetSize(), other->m_BitCount, rect, other->m_PaddingBytes))
        return false;
    CopyTime(*other);
    return true;
}

bool CImageBuffer::CreateCopy(const void* pixels, CSize size, int bitCount, CRect rect, int paddingBytes) {
    if (!pixels || size.cx <= 0 || size.cy <= 0 || paddingBytes < 0) return false;
    bitCount = GetValidBitCount(bitCount == -1 ? m_BitCount : bitCount);
    if (rect.IsRectEmpty()) rect = CRect(CPoint(0, 0), size);
    if (!RectInside(rect, size)) return false;
    const int64_t srcStride = RowStride(size.cx, bitCount, paddingBytes);
    const int64_t dstStride = RowStride(rect.Width(), bitCount, paddingBytes);
    if (srcStride < 0 || dstStride < 0) return false;

    // Copying from this buffer's own memory: build the copy aside.
    const size_t own = BlockBytes(m_Width, m_Height, m_BitCount, m_PaddingBytes);
    if (Overlaps(pixels, static_cast<size_t>(srcStride) * size.cy, m_pPixelBuffer, own)) {
        CImageBuffer part;
        if (!part.CreateCopy(pixels, size, bitCount, rect, paddingBytes)) return false;
        swap(part);
        return true;
    }

    if (!Create1(rect.Size(), bitCount, paddingBytes)) return false;
    const int pixelSize = GetPixelSize();
    const auto* src = static_cast<const BYTE*>(pixels) + rect.top * srcStride + int64_t(rect.left) * pixelSize;
    const size_t rowBytes = static_cast<size_t>(srcStride < dstStride ? srcStride : dstStride);
    BYTE* dst = m_pPixelBuffer;
    for (int y = 0; y < m_Height; ++y, src += srcStride, dst += dstStride) std::memcpy(dst, src, rowBytes);
    return true;
}

bool CImageBuffer::Copy(const CImageBuffer* other) {
    if (!other || !m_pPixelBuffer || other->GetPixelSize() != GetPixelSize() || other->m_Width != m_Width ||
        other->m_Height != m_Height || !other->m_pPixelBuffer)
        return false;
    std::memmove(m_pPixelBuffer, other->m_pPixelBuffer, size_t(m_Width) * m_Height * GetPixelSize());
    CopyTime(*other);
    return true;
}

bool CImageBuffer::Assign(void* pixels, CSize size, int bitCount, CSystemTime* time, int paddingBytes) {
    // A view on our own memory would outlive the memory by the next line.
    if (m_bOwnBuffer && Overlaps(pixels, 1, m_pPixelBuffer, BlockBytes(m_Width, m_Height, m_BitCount, m_PaddingBytes)))
        return false;
    DestroyBitmap();
    Create1(CSize(0, 0), m_BitCount, m_PaddingBytes);
    if (!pixels || bitCount < 1 || size.cx < 0 || size.cy < 0 || paddingBytes < 0) return false;
    m_pPixelBuffer = static_cast<BYTE*>(pixels);
    m_bOwnBuffer = false;
    m_BitCount = bitCount;
    m_Width = size.cx;
    m_Height = size.cy;
    m_PaddingBytes = paddingBytes;
    m_Time = time ? *time : CSystemTime();
    m_ImageTag = -1;
    return true;
}

bool CImageBuffer::Assign(const CImageBuffer* other) {
    if (!other) return Assign(nullptr, CSize(), m_BitCount);
    return Assign(other->m_pPixelBuffer, other->GetSize(), other->m_BitCount, nullptr, other->m_PaddingBytes);
}

void CImageBuffer::Destroy() {
    DestroyBitmap();
    ReleaseMemory();
    ResetTime();
}

bool CImageBuffer::IsSameType(const CImageBuffer& other) const {
    return m_BitCount == other.m_BitCount && m_Width == other.m_Width && m_Height == other.m_Height &&
           m_PaddingBytes == other.m_PaddingBytes;
}

bool CImageBuffer::CreateBitmap(CDC* dc) {
    DestroyBitmap();
    m_pBitmap = new (std::nothrow) CDravolinBitmap;
    if (!m_pBitmap) return false;
    m_pBitmap->CreateBitmap(this, dc);
    return true;
}

void CImageBuffer::DestroyBitmap() {
    delete m_pBitmap;
    m_pBitmap = nullptr;
}

bool CImageBuffer::StretchBitmap(CDC* dc, int x, int y, double zoomX, double zoomY, CRect clip,
                                 COLORADJUSTMENT* adjustment) const {
    if (!m_pBitmap) return false;
    // A bitmap left pointing at pixels this buffer no longer has is not drawn.
    if (m_pBitmap->GetBitmapInfo() && !m_pBitmap->HasPrivateCopy() && m_pBitmap->GetBits() != m_pPixelBuffer)
        return false;
    return m_pBitmap->StretchBitmap(dc, x, y, zoomX, zoomY, clip, adjustment);
}

int GetBitCount(int colorMode) {
    switch (colorMode) {
    case 0: return 8;
    case 1: return 24;
    case 2: return 16;
    default: return -1;
    }
}

int GetColorMode(int bitCount) {
    switch (bitCount) {
    case 8: return 0;
    case 16: return 2;
    case 24: return 1;
    default: return -1;
    }
}

bool ConvertImageBuffer(CImageBuffer* destination, const CImageBuffer* source) {
    if (!destination || !source || source->IsEmpty()) return false;
    // Re-creating the destination may free memory that the source views.
    const CSize d = destination->GetSize();
    if (destination == source ||
        Overlaps(source->GetPixelBuffer(), 1, destination->GetPixelBuffer(),
                 BlockBytes(d.cx, d.cy, destination->GetBitCount(), destination->GetPaddingBytes()))) {
        const CImageBuffer copy(*source);
        return ConvertImageBuffer(destination, &copy);
    }
    if (!destination->Create1(source->GetSize(), -1, 0)) return false;
    destination->SetTime(source->GetTime(), source->GetImageTag());
    return ConvertImageBuffer(destination->GetPixelBuffer(), destination->GetPixelSize(), source->GetPixelBuffer(),
                              source->GetPixelSize(), source->GetSize(), source->GetSize().cx, false);
}

bool ScaleDown(CImageBuffer* destination, const CImageBuffer* source, int skip) {
    if (!destination || !source || destination->IsEmpty() || skip < 0) return false;
    const CSize d = destination->GetSize(), s = source->GetSize();
    const int64_t step = int64_t(skip) + 1;
    if (destination->GetPixelSize() != source->GetPixelSize() || !source->GetPixelBuffer() ||
        s.cx < step * d.cx || s.cy < step * d.cy)
        return false;
    return ScaleDown(destination->GetPixelBuffer(), source->GetPixelBuffer(), d, s.cx, source->GetPixelSize(), skip);
}
