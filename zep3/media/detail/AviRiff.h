#pragma once
// The AVI file layer of CAVIEdit and CAVIFile: our own RIFF reader and writer
// of one video stream (what the platform's AVI file library did).
//
// The writer lays a file out as
//   RIFF 'AVI ' { LIST 'hdrl' { avih, LIST 'strl' { strh, strf, [strn], indx },
//                               LIST 'odml' { dmlh } }
//                 LIST 'movi' { 00dc|00db ..., ix00 }, idx1 }
//   RIFF 'AVIX' { LIST 'movi' { 00dc|00db ..., ix00 } } ...
// The headers go out before the first frame with provisional sizes and are
// written again on Close; each frame is in the file when Write returns, so a
// recorder that dies leaves every whole frame behind. A RIFF list is closed
// near 1 GB (OpenDML), so a recording may grow past 4 GB.
//
// The reader takes the OpenDML index (indx/ix##) when there is one, else idx1,
// else it walks the movi lists up to the last whole chunk (a recording that
// was cut short). Results are AVIERR_* codes; bad input never crashes.
#include <zep3/media/Vfw.h>
#include <zep3/platform/detail/Posix.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zep3::detail {

// One frame in the file: where its data starts, its size, whether it is a key frame.
struct AviIndexEntry {
    uint64_t offset;
    uint32_t size;
    bool key;
};

class ZEP3_TEST_API AviReader {
public:
    AviReader();
    ~AviReader();
    AviReader(const AviReader&) = delete;
    AviReader& operator=(const AviReader&) = delete;

    // Opens the first video stream of the file; with denyWrite a shared lock
    // keeps writers (who lock exclusively) out.
    HRESULT Open(const std::string& path, bool denyWrite);
    void Close();
    bool IsOpen() const { return m_fd.IsOpen(); }

    // The stream header; its length is the number of frames the index holds.
    const AVISTREAMINFO& Info() const { return m_info; }
    // The stream format as stored (strf).
    const std::vector<BYTE>& Format() const { return m_format; }
    LONG Start() const { return static_cast<LONG>(m_info.dwStart); }
    LONG Length() const { return static_cast<LONG>(m_index.size()); }
    // The key frame at or before position; -1 when there is none.
    LONG PrevKeyFrame(LONG position) const;
    // Reads the frame at position (Start() based) into buffer; a null buffer
    // only reports the size. AVIERR_BUFFERTOOSMALL when it does not fit.
    HRESULT Read(LONG position, void* buffer, LONG bufferSize, LONG* bytesRead) const;
    // How the index was found, for tests: 'indx', 'idx1' or 'walk'.
    DWORD IndexSource() const { return m_indexSource; }

private:
    struct Chunk;
    struct MoviList {
        uint64_t begin, end; // the list's contents
    };
    HRESULT ParseTopLevel(uint64_t fileSize);
    HRESULT ParseHeaderList(uint64_t begin, uint64_t end);
    HRESULT ParseStreamList(uint64_t begin, uint64_t end, int streamNumber);
    bool ReadChunk(uint64_t at, uint64_t end, Chunk& chunk) const;
    DWORD ListType(const Chunk& chunk) const;
    bool LoadSuperIndex();
    bool LoadIdx1();
    void WalkMovi(size_t firstList);
    bool MatchesStream(DWORD ckid) const;

    UniqueFd m_fd;
    uint64_t m_fileSize = 0;
    AVISTREAMINFO m_info{};
    std::vector<BYTE> m_format;
    std::vector<BYTE> m_superIndex; // the indx chunk's contents
    int m_streamNumber = -1;
    std::vector<MoviList> m_movi;
    uint64_t m_firstMoviFourcc = 0; // idx1 offsets count from here
    uint64_t m_idx1Offset = 0, m_idx1Size = 0;
    std::vector<AviIndexEntry> m_index;
    DWORD m_indexSource = 0;
};

class ZEP3_TEST_API AviWriter {
public:
    AviWriter();
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates the file (emptied, locked exclusively).
    HRESULT Create(const std::string& path);
    // The stream header (AVIFileCreateStream); its length is only a start value.
    HRESULT CreateStream(const AVISTREAMINFO& info);
    // The 40-byte frame format; the headers go out now.
    HRESULT SetFormat(const BITMAPINFOHEADER& format);
    // Appends the frame at position; positions skipped are written as empty
    // (dropped) frames. Writing before the end is refused.
    HRESULT Write(LONG position, const void* data, LONG size, DWORD flags, LONG* bytesWritten);
    // Writes the indexes and the final headers and closes the file.
    HRESULT Close();
    bool IsOpen() const { return m_fd.IsOpen(); }
    // Frames written so far (dropped ones included).
    LONG Frames() const { return static_cast<LONG>(m_frames); }

    // Size at which a RIFF list is closed and the next begun (tests make it
    // small to cover the OpenDML lists without writing gigabytes).
    static void SetRiffLimit(uint64_t bytes);

private:
    struct StdEntry {
        uint32_t offset; // data offset from the segment's movi list
        uint32_t size;   // bit 31 set: not a key frame
    };
    struct SuperEntry {
        uint64_t offset;
        uint32_t size, duration;
    };
    // The headers up to the first movi list: provisional, or final on closing.
    std::vector<BYTE> BuildHeaders(bool final) const;
    HRESULT WriteChunk(const void* data, uint32_t size, bool key);
    HRESULT CloseSegment();
    HRESULT BeginSegment();
    bool Put(const void* data, size_t size);

    UniqueFd m_fd;
    bool m_failed = false;
    AVISTREAMINFO m_info{};
    BITMAPINFOHEADER m_format{};
    bool m_haveFormat = false;
    DWORD m_chunkId = 0;
    uint64_t m_pos = 0;        // end of the file
    uint64_t m_riffStart = 0;  // the current RIFF chunk
    uint64_t m_moviStart = 0;  // the current movi LIST chunk
    uint32_t m_firstRiffSize = 0, m_firstMoviSize = 0;
    uint32_t m_frames = 0, m_firstRiffFrames = 0, m_maxChunk = 0;
    bool m_firstSegment = true;
    std::vector<BYTE> m_idx1;
    std::vector<StdEntry> m_segment;
    std::vector<SuperEntry> m_super;
};

} // namespace zep3::detail
