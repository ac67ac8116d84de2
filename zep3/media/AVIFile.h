#pragma once
/// @class CAVIFile
/// A thin reader and writer of raw, already-encoded frames of the
/// first video stream of an AVI file (no codec work).
///
/// Open denies write sharing (other writers, who lock the file exclusively,
/// are kept out; see docs/media-avi.md). Create writes an OpenDML file: idx1
/// for the first gigabyte and the indx/ix00 indexes for all of it. Copies
/// share the open file, which is closed when the last copy closes it.
#include <zep3/media/Vfw.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

#include <memory>

namespace zep3::detail {
class AviReader;
class AviWriter;
} // namespace zep3::detail

class ZEP3_API CAVIFile {
public:
    CAVIFile();
    ~CAVIFile();
    CAVIFile(const CAVIFile&) = default;
    CAVIFile& operator=(const CAVIFile&) = default;

    /// Opens the first video stream for reading; its format must be exactly
    /// 40 bytes. Any failure leaves the object closed.
    bool Open(CString const& name);
    /// Finishes a created file (indexes and headers) and closes.
    void Close();
    /// Creates the file with one video stream: handler, framesPerSecond
    /// (stored as rate = × 1000, truncated, over scale 1000) and format.
    bool Create(CString const& name, DWORD handler, double framesPerSecond, BITMAPINFOHEADER* format);
    /// Reads one frame's bytes; false for a frame outside the stream or one
    /// larger than bufferSize.
    bool ReadFrame(int frame, void* buffer, int bufferSize);
    /// Appends a frame at position `frame` (skipped positions become empty
    /// frames), flagged as a key frame (0x10) when keyFrame.
    bool WriteFrame(int frame, void* data, int size, bool keyFrame);
    /// rate / scale; 1.0 when the scale is 0.
    double GetFramesPerSecond() const;
    /// Stream start + length (frames written so far while creating).
    int GetFramesCount() const;
    /// The frame format; null when no file is open.
    BITMAPINFOHEADER* GetBitmapInfoHeader();

private:
    std::shared_ptr<zep3::detail::AviReader> m_pReader;
    std::shared_ptr<zep3::detail::AviWriter> m_pWriter;
    AVISTREAMINFO m_StreamInfo{};
    BITMAPINFOHEADER m_Format{};
};
