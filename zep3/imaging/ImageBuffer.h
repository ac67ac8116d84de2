#pragma once
/// @class CImageBuffer
/// The library's one image container, and the free functions
/// that convert pixel formats and shrink images.
///
/// Pixels: rows stored top row first; a row is width × pixel size bytes
/// followed by exactly the padding the creator asked for (the buffer never
/// aligns rows itself). Pixel size = (bit count + 7) / 8. Colour modes:
///   0: 8-bit grey, 0 black .. 255 white
///   1: 24-bit, bytes blue, green, red
///   2: 16-bit little-endian word, 5-5-5 (bits 0-4 blue, 5-9 green, 10-14 red)
/// 32-bit pixels (blue, green, red, fourth byte) are only read, by the
/// 32-to-8 conversion.
///
/// A buffer is empty, owns its memory, or is a view (after Assign) on memory
/// that its owner must keep alive; a view's memory is never freed. Creating,
/// copying or destroying a view only forgets the foreign memory.
///
/// Every frame carries a time stamp and an integer image tag: operations that
/// take the time stamp from another buffer take its tag too; operations that
/// reset the stamp set the tag to -1. Failures are false results; nothing
/// throws. No locking: one thread uses a buffer at a time.
#include <zep3/imaging/SystemTime.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/Size.h>

class CDC;
class CDravolinBitmap;
struct COLORADJUSTMENT;

class ZEP3_API CImageBuffer {
public:
    /// Empty: no pixels, 24 bits, no padding, unset time stamp, tag -1.
    CImageBuffer();
    /// Same size, bit count, padding, time stamp and tag as `other` (may be
    /// null); the pixels are allocated, not copied.
    CImageBuffer(const CImageBuffer* other);
    /// Create1 with these values.
    CImageBuffer(CSize size, int bitCount, int paddingBytes = 0);
    /// Deep copy, as operator=.
    CImageBuffer(const CImageBuffer& other);
    /// Frees owned pixels; a view's memory is left alone.
    ~CImageBuffer();
    /// Deep copy of pixels, time stamp and tag (CreateCopy of the whole
    /// image). An image without pixels leaves this buffer unchanged.
    CImageBuffer& operator=(const CImageBuffer& other);

    /// Makes this buffer own (width × pixel size + padding) × height bytes of
    /// uninitialised memory. Bit count -1 keeps the current one; below 1 means
    /// 24. When size, bit count and padding are unchanged the memory (and its
    /// contents) is kept, so a grabber can refill the same buffer. A zero or
    /// negative size, or negative padding, leaves no memory (width and height
    /// 0). Always resets the time stamp. False only when the memory cannot be
    /// had (the buffer is then empty).
    bool Create1(CSize size, int bitCount, int paddingBytes = 0);
    /// Create1 with the type of `other`, then its time stamp and tag; no
    /// pixels copied. False for a null `other`.
    bool Create1(const CImageBuffer* other);
    /// Copies `rect` of `other` (empty rect: the whole image) with the other's
    /// bit count, padding, time stamp and tag. Each row takes
    /// min(source stride, destination stride) bytes, so the padding holds the
    /// source bytes after the copied pixels. False, buffer untouched, when
    /// `other` is null, has no pixels, or `rect` is not inside it.
    bool CreateCopy(const CImageBuffer* other, CRect rect = CRect());
    /// The same from raw memory laid out with `size`, `bitCount` (-1: this
    /// buffer's current bit count) and `paddingBytes`; resets the time stamp.
    /// False, buffer untouched, for null pixels, a non-positive size or a rect
    /// outside the image.
    bool CreateCopy(const void* pixels, CSize size, int bitCount, CRect rect = CRect(), int paddingBytes = 0);
    /// Copies width × height × pixel size bytes from the start of `other`'s
    /// memory into this buffer's memory (padding plays no part), with its time
    /// stamp and tag. False, nothing changed, unless both have the same pixel
    /// size, width and height and this buffer has memory.
    bool Copy(const CImageBuffer* other);
    /// Makes this buffer a view on `pixels` (not owned), stamped with a copy
    /// of `*time` (unset when null) and tag -1. Frees owned memory first.
    /// False, buffer left empty, for null pixels, a bit count below 1 or a
    /// negative size or padding.
    bool Assign(void* pixels, CSize size, int bitCount, CSystemTime* time = nullptr, int paddingBytes = 0);
    /// A view on `other`'s memory with an unset time stamp.
    bool Assign(const CImageBuffer* other);
    /// Frees owned memory (a view's is only forgotten); width and height 0,
    /// bit count and padding kept, time stamp reset.
    void Destroy();

    /// True when the width or the height is 0.
    bool IsEmpty() const { return m_Width == 0 || m_Height == 0; }
    /// Width and height in pixels.
    CSize GetSize() const { return CSize(m_Width, m_Height); }
    /// Bits per pixel.
    int GetBitCount() const { return m_BitCount; }
    /// Bytes per pixel, rounded up.
    int GetPixelSize() const { return static_cast<int>((m_BitCount + 7LL) / 8); }
    /// Bytes after each row's pixels.
    int GetPaddingBytes() const { return m_PaddingBytes; }
    /// First byte of the top row; null when empty. Owned by the buffer (or by
    /// the viewed memory's owner).
    BYTE* GetPixelBuffer() const { return m_pPixelBuffer; }
    ///@{
    /// The frame's time stamp and tag, as SetTime left them.
    const CSystemTime& GetTime() const { return m_Time; }
    int GetImageTag() const { return m_ImageTag; }
    ///@}
    /// Stamps the frame, as a grabber does when it fills the buffer.
    void SetTime(const CSystemTime& time, int imageTag = -1) {
        m_Time = time;
        m_ImageTag = imageTag;
    }
    /// True when the buffer owns its pixel memory, false when it views another's.
    bool IsOwnBuffer() const { return m_bOwnBuffer; }
    /// Same bit count, width, height and padding.
    bool IsSameType(const CImageBuffer& other) const;

    ///@{
    /// Display bitmap (CDravolinBitmap): CreateBitmap replaces any previous
    /// one with a description of this buffer's pixels for `dc` (may be null)
    /// and returns true (false only without memory). The bitmap may point
    /// straight into the pixels: make it again after they move (Create1 to
    /// another type, CreateCopy, Assign). Destroy, Assign and destruction
    /// delete it.
    bool CreateBitmap(CDC* dc);
    void DestroyBitmap();
    bool IsBitmapValid() const { return m_pBitmap != nullptr; }
    ///@}
    /// The bitmap's StretchBitmap: draws the image at (x, y) zoomed (percent;
    /// zoomY 0 means zoomX), limited to `clip` when the zoomed image does
    /// not fit in it. False without a bitmap or a DC, and when the bitmap
    /// points at pixels the buffer no longer has (it was not made again).
    bool StretchBitmap(CDC* dc, int x, int y, double zoomX, double zoomY, CRect clip,
                       COLORADJUSTMENT* adjustment) const;

protected:
    /// Every member to its default, nothing freed.
    void Init();
    int GetValidBitCount(int bitCount) const { return bitCount > 0 ? bitCount : 24; }

private:
    void ResetTime();
    void CopyTime(const CImageBuffer& other);
    void ReleaseMemory();
    void swap(CImageBuffer& other);

    CSystemTime m_Time;
    int m_ImageTag;
    int m_Width;
    int m_Height;
    int m_BitCount;
    bool m_bOwnBuffer;
    BYTE* m_pPixelBuffer;
    int m_PaddingBytes;
    CDravolinBitmap* m_pBitmap;
};

/// @relates CImageBuffer Colour mode to bit count: 0 → 8, 1 → 24, 2 → 16, others → -1.
ZEP3_API int GetBitCount(int colorMode);
/// @relates CImageBuffer Bit count to colour mode: 8 → 0, 16 → 2, 24 → 1, others → -1.
ZEP3_API int GetColorMode(int bitCount);

/// @relates CImageBuffer Converts `source` into `destination`, whose bit count names the target
/// format: the destination is re-created at the source size without padding
/// and takes the source's time stamp and tag; source rows are read as
/// width × pixel size bytes (source padding is not skipped). False for null
/// arguments, an empty source or an unsupported pair of formats (the
/// destination has then already been re-created).
ZEP3_API bool ConvertImageBuffer(CImageBuffer* destination, const CImageBuffer* source);
/// @relates CImageBuffer Raw conversion of size.cx × size.cy pixels into unpadded destination rows;
/// source rows are sourceRowPixels pixels long, read bottom row first when
/// `flip` is set. Supported (source → destination pixel size): equal sizes
/// (copy), 1 → 2, 1 → 3, 2 → 1, 2 → 3, 3 → 1, 4 → 1; other pairs give false.
/// 24 and 16 to 8 bits average the channels (a 32-bit pixel's fourth byte
/// counts); 8 to 16 bits keeps the top five bits. A zero size does nothing.
ZEP3_API bool ConvertImageBuffer(void* destination, int destinationPixelSize, const void* source,
                                 int sourcePixelSize, const CSize& size, int sourceRowPixels, bool flip);

/// @relates CImageBuffer Shrinks `source` into `destination`, which keeps its size (the caller sizes
/// it first): see the raw form. False for null arguments, an empty
/// destination, different pixel sizes, or a source smaller than
/// (skip + 1) × the destination size.
ZEP3_API bool ScaleDown(CImageBuffer* destination, const CImageBuffer* source, int skip);
/// @relates CImageBuffer Skip 0 copies the top-left destination-size block; skip n keeps one pixel
/// of every n + 1 in both directions, without averaging (pixel sizes 1 to 3
/// only). Rows are unpadded. False for a negative skip or an unsupported
/// pixel size.
ZEP3_API bool ScaleDown(void* destination, const void* source, const CSize& destinationSize, int sourceWidth,
                        int pixelSize, int skip);
