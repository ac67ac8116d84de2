#pragma once
/// @class CBmpFile
/// Uncompressed Windows bitmap files.
///
/// Reading is two steps: ReadImageHeader loads the file and checks it;
/// ReadImageBuffer converts its pixels into an image buffer of the caller's
/// size and format, as often as wanted while the file stays loaded. Files
/// with a 40-byte info header, no compression and 8, 16 or 24 bits per pixel
/// are read; an 8-bit file's colour table is not applied (its values are grey
/// levels). WriteImage writes 8-bit files with a grey colour table, 16-, 24-
/// and 32-bit files without one, rows bottom-up, each padded with zero bytes
/// to a multiple of 4.
///
/// Failures are false results; the error-text parameters are accepted for
/// compatibility and left unchanged. One thread uses an object at a time.
#include <zep3/imaging/ImageBuffer.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CBmpFile {
public:
    /// With a file name, loads its header (ReadImageHeader); a file that
    /// fails leaves the object with nothing loaded.
    CBmpFile(const char* fileName = nullptr);
    virtual ~CBmpFile();
    CBmpFile(const CBmpFile&) = delete;
    CBmpFile& operator=(const CBmpFile&) = delete;

    /// Loads `fileName` and checks its headers, releasing any file loaded
    /// before. `bitCount` receives the file's bit count as soon as it is read
    /// (also when a later check fails); `size` receives width and height.
    /// Either may be null. False when the file cannot be read, is not a
    /// bitmap, has another info header size than 40, is compressed, has a bit
    /// count other than 8, 16 or 24, a non-positive size, or fewer pixel bytes
    /// than its size needs.
    bool ReadImageHeader(const char* fileName, CSize* size, int* bitCount, CString* errorText = nullptr);
    /// Converts the loaded pixels into `target`, top row first, with the
    /// conversion rules of ConvertImageBuffer from the file's pixel size to the
    /// target's (whose padding is respected). False without a loaded file, for
    /// a null target, a target of another width or height, or an unsupported
    /// pair of formats (such as a 24-bit file into a 16-bit target).
    bool ReadImageBuffer(CImageBuffer* target, CString* errorText = nullptr) const;
    /// Writes `image` (pixel size 1 to 4 bytes) as a bitmap file, creating or
    /// truncating it. The image's rows are read as width × pixel size bytes
    /// (its padding is not skipped). False for a null or empty image, another
    /// pixel size, or a file that cannot be written.
    static bool WriteImage(const char* fileName, const CImageBuffer* image, CString* errorText = nullptr);

protected:
    /// Frees the loaded file and clears the loaded flag.
    void Init();

private:
    bool m_bHeaderLoaded = false;
    BYTE* m_pData = nullptr; // the file from byte 14 on, owned
    DWORD m_InfoHeaderSize = 0;
    int m_DataOffset = 0; // pixel data, counted from the info header
    int m_Height = 0;
    int m_Width = 0;
    int m_BitCount = 0;
    int m_Padding = 0; // bytes after each row's pixels in the file
};
