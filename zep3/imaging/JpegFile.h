#pragma once
/// @class CJpegFile
/// JPEG files and in-memory JPEG data through libjpeg.
///
/// Pixels are 24-bit blue, green, red, rows top to bottom without padding
/// (colour), or one grey byte per pixel (grey input to the writers). Decoded
/// pictures are kept by the object until the next decode or its destruction;
/// their width is rounded up to a multiple of 4 pixels, the added columns
/// black. An empty path shows a file dialog (see CFileDialog); cancelling it
/// gives false. A damaged stream gives false, never a partly grey picture.
///
/// Failures are false results; the error-text parameters are accepted for
/// compatibility and left unchanged. One thread uses an object at a time.
#include <zep3/platform/Export.h>
#include <zep3/platform/Size.h>
#include <zep3/platform/String.h>

class ZEP3_API CJpegFile {
public:
    CJpegFile() = default;
    /// Copies the decoded picture.
    CJpegFile(const CJpegFile& other);
    CJpegFile& operator=(const CJpegFile& other);
    virtual ~CJpegFile();

    /// Decodes the JPEG file at `path` (empty: ask with an open dialog).
    /// `*pixels` (may be null) receives the object's buffer, `size` the rounded
    /// width and the height. False for an unreadable, empty or damaged file,
    /// or a picture that is neither grey nor colour (CMYK); the previous
    /// picture is then kept.
    bool LoadFromFile(CString path, unsigned char** pixels, CSize& size, CString* errorText = nullptr);
    /// Writes `pixels` (BGR when `colour`, else grey) as a baseline JPEG of
    /// `quality` (0..100) to `path` (empty: ask with a save dialog), creating
    /// or truncating the file. False for null pixels, a non-positive size or a
    /// file that cannot be written.
    bool SaveJpegToFile(CString path, unsigned char* pixels, CSize size, bool colour, CString* errorText = nullptr,
                        int quality = 75);
    /// The same encoding into memory: `*data` receives a block from malloc
    /// (the caller frees it with free) and `size` its length.
    bool Compress(void** data, int& size, unsigned char* pixels, CSize imageSize, bool colour,
                  CString* errorText = nullptr, int quality = 75);
    /// LoadFromFile for `length` bytes of JPEG data at `data`.
    bool Decompress(void* data, int length, unsigned char** pixels, CSize& size, CString* errorText = nullptr);

private:
    bool Keep(unsigned char* picture, CSize pictureSize, unsigned char** pixels, CSize& size);

    unsigned char* m_pPixels = nullptr; // owned, from malloc
    int m_Width = 0;
    int m_Height = 0;
};
