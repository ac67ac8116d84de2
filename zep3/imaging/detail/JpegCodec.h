#pragma once
// libjpeg behind a small interface for the JPEG classes. Only JpegCodec.cpp
// sees libjpeg: its setjmp/longjmp error handling stays there, and every
// failure - a damaged stream included - comes out as false. libjpeg's own
// messages are silenced.
#include <zep3/platform/WinTypes.h>

#include <cstddef>
#include <cstdio>
#include <memory>

namespace zep3::detail {

enum class JpegPixels { Grey, Bgr };

// Rows of an image, row y at firstRow + y * rowStep (a negative step walks a
// bottom-up image).
struct JpegRows {
    const BYTE* firstRow;
    ptrdiff_t rowStep;
    int width;
    int height;
    JpegPixels pixels;
};

// Where the compressed bytes go: a file, a block grown with realloc (the
// caller frees `data` with free, also after a failure), or a fixed block of
// `capacity` bytes; a stream that does not fit the fixed block fails.
struct JpegOutput {
    FILE* file = nullptr;
    BYTE* data = nullptr;
    size_t capacity = 0;
    bool growable = false;
    size_t size = 0; // bytes written
};

// Baseline JPEG at `quality` (0..100): grey, or YCbCr with 2×2 chroma
// subsampling from BGR rows; `comment` (may be null) becomes a COM marker.
bool JpegEncode(const JpegRows& rows, int quality, const void* comment, unsigned commentLength, JpegOutput& out);

// Decodes one JPEG: first the header, then the pixels.
class JpegDecoder {
public:
    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // False when the data or file does not start with a complete JPEG header.
    // The memory or file must stay until decoding ends.
    bool ReadHeader(const void* data, size_t length);
    bool ReadHeader(FILE* file);
    int Width() const;
    int Height() const;
    int Components() const;
    // Writes row y of the picture to firstRow + y * rowStep, as BGR or grey
    // bytes; grey with pixelBytes above 1 repeats each grey byte over a pixel
    // of that many bytes. False for a damaged stream or a picture that
    // cannot be shown in that format (rows written so far stay written).
    bool Decode(JpegPixels pixels, BYTE* firstRow, ptrdiff_t rowStep, int pixelBytes = 1);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace zep3::detail
