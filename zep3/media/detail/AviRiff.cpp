// RIFF AVI reading and writing with the OpenDML extension.
#include <zep3/media/detail/AviRiff.h>
#include <zep3/media/detail/CodecRegistry.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zep3::detail {

namespace {

constexpr DWORD FourCC(const char (&s)[5]) { return mmioFOURCC(s[0], s[1], s[2], s[3]); }

constexpr DWORD kRIFF = FourCC("RIFF"), kLIST = FourCC("LIST"), kAVI = FourCC("AVI "), kAVIX = FourCC("AVIX");
constexpr DWORD kHdrl = FourCC("hdrl"), kStrl = FourCC("strl"), kMovi = FourCC("movi"), kOdml = FourCC("odml");
constexpr DWORD kAvih = FourCC("avih"), kStrh = FourCC("strh"), kStrf = FourCC("strf"), kStrn = FourCC("strn");
constexpr DWORD kIndx = FourCC("indx"), kIdx1 = FourCC("idx1"), kDmlh = FourCC("dmlh"), kRec = FourCC("rec ");
constexpr DWORD kWalk = FourCC("walk"), kIx00 = FourCC("ix00");

constexpr uint32_t kAvihSize = 56, kStrhSize = 56, kDmlhSize = 248;
constexpr uint32_t kIndexHeaderSize = 24;   // indx and ix## after the chunk header
constexpr uint32_t kSuperEntries = 256;     // room for 256 RIFF lists of up to 1 GB
constexpr uint32_t kAvifHasIndex = 0x10;
constexpr BYTE kIndexOfIndexes = 0, kIndexOfChunks = 1;
constexpr uint32_t kNotKeyFrame = 0x80000000u;
constexpr size_t kMaxFormat = 1 << 16;      // larger strf chunks are not formats

std::atomic<uint64_t> g_riffLimit{1u << 30};

uint32_t Get32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Get16(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint64_t Get64(const BYTE* p) { return Get32(p) | uint64_t(Get32(p + 4)) << 32; }

// Little-endian chunk building with sizes filled in when a chunk ends.
class ByteWriter {
public:
    void U8(BYTE v) { m_bytes.push_back(v); }
    void U16(uint16_t v) { U8(BYTE(v)), U8(BYTE(v >> 8)); }
    void U32(uint32_t v) { U16(uint16_t(v)), U16(uint16_t(v >> 16)); }
    void U64(uint64_t v) { U32(uint32_t(v)), U32(uint32_t(v >> 32)); }
    void Zeros(size_t n) { m_bytes.insert(m_bytes.end(), n, 0); }
    void Bytes(const void* p, size_t n) { m_bytes.insert(m_bytes.end(), (const BYTE*)p, (const BYTE*)p + n); }
    // A chunk header whose size is patched by End (or kept as given with fixed).
    size_t Begin(DWORD id) {
        U32(id);
        U32(0);
        return m_bytes.size();
    }
    size_t BeginList(DWORD kind, DWORD type) {
        const size_t at = Begin(kind);
        U32(type);
        return at;
    }
    void End(size_t at) {
        const uint32_t size = uint32_t(m_bytes.size() - at);
        Patch32(at - 4, size);
        if (size & 1) U8(0);
    }
    void Patch32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes[at + i] = BYTE(v >> 8 * i);
    }
    std::vector<BYTE>& bytes() { return m_bytes; }

private:
    std::vector<BYTE> m_bytes;
};

DWORD StreamChunkId(int stream, const char type[2]) {
    return mmioFOURCC('0' + stream / 10, '0' + stream % 10, type[0], type[1]);
}

} // namespace

struct AviReader::Chunk {
    DWORD id = 0;
    uint64_t size = 0; // as read, or cut to the enclosing list
    uint64_t data = 0; // where the contents begin
    uint64_t next = 0; // the following chunk
};

// ---- reading ----

AviReader::AviReader() = default;
AviReader::~AviReader() = default;

HRESULT AviReader::Open(const std::string& path, bool denyWrite) {
    Close();
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!fd.IsOpen() || (denyWrite && flock(fd.Get(), LOCK_SH | LOCK_NB) != 0) || fstat(fd.Get(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return AVIERR_FILEOPEN;
    m_fd = std::move(fd);
    m_fileSize = static_cast<uint64_t>(st.st_size);
    HRESULT hr = ParseTopLevel(m_fileSize);
    if (hr == AVIERR_OK && m_streamNumber < 0) hr = AVIERR_NODATA;
    if (hr == AVIERR_OK) {
        if (LoadSuperIndex())
            m_indexSource = kIndx;
        else if (LoadIdx1()) {
            m_indexSource = kIdx1;
            WalkMovi(1); // idx1 covers the first RIFF list only
        } else {
            WalkMovi(0);
            m_indexSource = kWalk;
        }
        // An index that points past the end of the file was cut short.
        auto past = std::find_if(m_index.begin(), m_index.end(),
                                 [&](const AviIndexEntry& e) { return e.offset + e.size > m_fileSize; });
        m_index.erase(past, m_index.end());
        m_info.dwLength = static_cast<DWORD>(m_index.size());
        if (m_info.dwStart > 0x7FFFFFFFu - m_info.dwLength) m_info.dwStart = 0;
    }
    if (hr != AVIERR_OK) Close();
    return hr;
}

void AviReader::Close() {
    m_fd.Reset();
    m_info = AVISTREAMINFO{};
    m_format.clear();
    m_superIndex.clear();
    m_streamNumber = -1;
    m_movi.clear();
    m_firstMoviFourcc = m_idx1Offset = m_idx1Size = 0;
    m_index.clear();
    m_indexSource = 0;
}

// A chunk header at `at`, whose contents must end by `end`. A list whose
// size runs past `end` (or is 0, as a recorder leaves it until it closes the
// file) is taken to reach `end`.
bool AviReader::ReadChunk(uint64_t at, uint64_t end, Chunk& chunk) const {
    BYTE h[8];
    if (at + 8 > end || ReadAllAt(m_fd.Get(), h, 8, static_cast<off_t>(at)) != 8) return false;
    chunk.id = Get32(h);
    chunk.size = Get32(h + 4);
    chunk.data = at + 8;
    if ((chunk.id == kLIST || chunk.id == kRIFF) && (chunk.size == 0 || chunk.data + chunk.size > end))
        chunk.size = end - chunk.data;
    if (chunk.data + chunk.size > end) return false;
    chunk.next = chunk.data + chunk.size + (chunk.size & 1);
    return true;
}

// The four bytes that name a list's kind; 0 for other chunks.
DWORD AviReader::ListType(const Chunk& chunk) const {
    BYTE type[4];
    if ((chunk.id != kLIST && chunk.id != kRIFF) || chunk.size < 4 ||
        ReadAllAt(m_fd.Get(), type, 4, static_cast<off_t>(chunk.data)) != 4)
        return 0;
    return Get32(type);
}

HRESULT AviReader::ParseTopLevel(uint64_t fileSize) {
    Chunk riff;
    if (!ReadChunk(0, fileSize, riff) || riff.id != kRIFF || ListType(riff) != kAVI) return AVIERR_BADFORMAT;
    for (bool first = true;; first = false) {
        for (uint64_t at = riff.data + 4; at < riff.data + riff.size;) {
            Chunk c;
            if (!ReadChunk(at, riff.data + riff.size, c)) break;
            const DWORD type = ListType(c);
            if (first && c.id == kLIST && type == kHdrl) {
                const HRESULT hr = ParseHeaderList(c.data + 4, c.data + c.size);
                if (hr != AVIERR_OK) return hr;
            } else if (c.id == kLIST && type == kMovi) {
                if (first && m_movi.empty()) m_firstMoviFourcc = c.data;
                m_movi.push_back({c.data + 4, c.data + c.size});
            } else if (first && c.id == kIdx1) {
                m_idx1Offset = c.data;
                m_idx1Size = c.size;
            }
            at = c.next;
        }
        if (first && m_streamNumber < 0) return AVIERR_NODATA;
        // OpenDML: further RIFF 'AVIX' lists follow the first.
        if (!ReadChunk(riff.next, fileSize, riff) || riff.id != kRIFF || ListType(riff) != kAVIX) break;
    }
    return AVIERR_OK;
}

HRESULT AviReader::ParseHeaderList(uint64_t begin, uint64_t end) {
    int stream = 0; // only stream lists count
    for (uint64_t at = begin; at < end;) {
        Chunk c;
        if (!ReadChunk(at, end, c)) return AVIERR_BADFORMAT;
        if (c.id == kLIST && ListType(c) == kStrl) {
            if (m_streamNumber < 0 && stream < 100) {
                const HRESULT hr = ParseStreamList(c.data + 4, c.data + c.size, stream);
                if (hr != AVIERR_OK) return hr;
            }
            ++stream;
        }
        at = c.next;
    }
    return AVIERR_OK;
}

HRESULT AviReader::ParseStreamList(uint64_t begin, uint64_t end, int streamNumber) {
    AVISTREAMINFO info{};
    std::vector<BYTE> format, super;
    bool haveHeader = false;
    for (uint64_t at = begin; at < end;) {
        Chunk c;
        if (!ReadChunk(at, end, c)) return AVIERR_BADFORMAT;
        if (c.id == kStrh) {
            BYTE h[kStrhSize] = {};
            if (c.size < 48 || ReadAllAt(m_fd.Get(), h, size_t(std::min<uint64_t>(c.size, kStrhSize)), off_t(c.data)) < 48)
                return AVIERR_BADFORMAT;
            info.fccType = Get32(h);
            info.fccHandler = Get32(h + 4);
            info.dwFlags = Get32(h + 8);
            info.wPriority = Get16(h + 12);
            info.wLanguage = Get16(h + 14);
            info.dwInitialFrames = Get32(h + 16);
            info.dwScale = Get32(h + 20);
            info.dwRate = Get32(h + 24);
            info.dwStart = Get32(h + 28);
            info.dwLength = Get32(h + 32);
            info.dwSuggestedBufferSize = Get32(h + 36);
            info.dwQuality = Get32(h + 40);
            info.dwSampleSize = Get32(h + 44);
            info.rcFrame = {int16_t(Get16(h + 48)), int16_t(Get16(h + 50)), int16_t(Get16(h + 52)),
                            int16_t(Get16(h + 54))};
            haveHeader = true;
        } else if (c.id == kStrf || c.id == kIndx || c.id == kStrn) {
            std::vector<BYTE> bytes(std::min<size_t>(c.size, kMaxFormat));
            if (ReadAllAt(m_fd.Get(), bytes.data(), bytes.size(), off_t(c.data)) != ssize_t(bytes.size()))
                return AVIERR_FILEREAD;
            if (c.id == kStrf)
                format.swap(bytes);
            else if (c.id == kIndx)
                super.swap(bytes);
            else if (!bytes.empty())
                std::memcpy(info.szName, bytes.data(), std::min(bytes.size(), sizeof info.szName - 1));
        }
        at = c.next;
    }
    if (!haveHeader || info.fccType != streamtypeVIDEO) return AVIERR_OK; // not a video stream: skip it
    if (format.empty()) return AVIERR_BADFORMAT;
    m_info = info;
    m_format.swap(format);
    m_superIndex.swap(super);
    m_streamNumber = streamNumber;
    return AVIERR_OK;
}

bool AviReader::MatchesStream(DWORD ckid) const {
    return ckid == StreamChunkId(m_streamNumber, "dc") || ckid == StreamChunkId(m_streamNumber, "db");
}

bool AviReader::LoadSuperIndex() {
    const std::vector<BYTE>& s = m_superIndex;
    if (s.size() < kIndexHeaderSize || Get16(s.data()) != 4 || s[3] != kIndexOfIndexes) return false;
    const uint32_t entries = std::min<uint32_t>(Get32(s.data() + 4), (s.size() - kIndexHeaderSize) / 16);
    if (entries == 0) return false;
    std::vector<AviIndexEntry> index;
    std::vector<BYTE> ix;
    for (uint32_t i = 0; i < entries; ++i) {
        const BYTE* e = s.data() + kIndexHeaderSize + 16 * i;
        Chunk c;
        if (!ReadChunk(Get64(e), m_fileSize, c) || c.size < kIndexHeaderSize) return false;
        ix.resize(c.size);
        if (ReadAllAt(m_fd.Get(), ix.data(), ix.size(), off_t(c.data)) != ssize_t(ix.size())) return false;
        if (Get16(ix.data()) != 2 || ix[3] != kIndexOfChunks || !MatchesStream(Get32(ix.data() + 8))) return false;
        const uint64_t base = Get64(ix.data() + 12);
        const uint64_t n = std::min<uint64_t>(Get32(ix.data() + 4), (c.size - kIndexHeaderSize) / 8);
        for (uint64_t k = 0; k < n; ++k) {
            const BYTE* p = ix.data() + kIndexHeaderSize + 8 * k;
            const uint32_t size = Get32(p + 4);
            index.push_back({base + Get32(p), size & ~kNotKeyFrame, !(size & kNotKeyFrame)});
        }
        if (index.size() > m_fileSize / 8) return false; // more frames than the file can hold
    }
    m_index.swap(index);
    return true;
}

bool AviReader::LoadIdx1() {
    if (m_idx1Size < 16) return false;
    std::vector<BYTE> idx(m_idx1Size - m_idx1Size % 16);
    if (ReadAllAt(m_fd.Get(), idx.data(), idx.size(), off_t(m_idx1Offset)) != ssize_t(idx.size())) return false;
    // Offsets count from the 'movi' fourcc, or (in some writers' files) from
    // the start of the file: the first entry's chunk header tells which.
    uint64_t base = 0;
    bool baseKnown = false;
    std::vector<AviIndexEntry> index;
    for (size_t i = 0; i < idx.size(); i += 16) {
        const BYTE* e = idx.data() + i;
        if (!MatchesStream(Get32(e))) continue;
        const uint32_t offset = Get32(e + 8), size = Get32(e + 12);
        if (!baseKnown) {
            for (uint64_t candidate : {m_firstMoviFourcc, uint64_t(0)}) {
                BYTE h[4];
                if (ReadAllAt(m_fd.Get(), h, 4, off_t(candidate + offset)) == 4 && Get32(h) == Get32(e)) {
                    base = candidate;
                    baseKnown = true;
                    break;
                }
            }
            if (!baseKnown) return false;
        }
        index.push_back({base + offset + 8, size, (Get32(e + 4) & AVIIF_KEYFRAME) != 0});
    }
    if (index.empty()) return false;
    m_index.swap(index);
    return true;
}

// Rebuilds the index from the frames themselves, up to the last whole chunk.
// Without flags, only codecs whose every frame stands alone have key frames
// after the first.
void AviReader::WalkMovi(size_t firstList) {
    const DWORD compression = m_format.size() >= 20 ? Get32(m_format.data() + 16) : 0;
    const bool allKey = IsIntraOnlyCompression(compression);
    for (size_t l = firstList; l < m_movi.size(); ++l) {
        const MoviList& list = m_movi[l];
        for (uint64_t at = list.begin; at < list.end;) {
            Chunk c;
            if (!ReadChunk(at, list.end, c)) return;
            if (MatchesStream(c.id)) m_index.push_back({c.data, uint32_t(c.size), allKey || m_index.empty()});
            // 'rec ' lists group the chunks of one moment: step into them.
            at = c.id == kLIST && ListType(c) == kRec ? c.data + 4 : c.next;
        }
    }
}

LONG AviReader::PrevKeyFrame(LONG position) const {
    LONG i = position - Start();
    if (i >= Length()) i = Length() - 1;
    for (; i >= 0; --i)
        if (m_index[size_t(i)].key) return i + Start();
    return -1;
}

HRESULT AviReader::Read(LONG position, void* buffer, LONG bufferSize, LONG* bytesRead) const {
    if (bytesRead) *bytesRead = 0;
    const LONG i = position - Start();
    if (!IsOpen() || position < Start() || i >= Length()) return AVIERR_BADPARAM;
    const AviIndexEntry& e = m_index[size_t(i)];
    if (!buffer) {
        if (bytesRead) *bytesRead = LONG(e.size);
        return AVIERR_OK;
    }
    if (bufferSize < 0 || e.size > uint32_t(bufferSize)) return AVIERR_BUFFERTOOSMALL;
    if (ReadAllAt(m_fd.Get(), buffer, e.size, off_t(e.offset)) != ssize_t(e.size)) return AVIERR_FILEREAD;
    if (bytesRead) *bytesRead = LONG(e.size);
    return AVIERR_OK;
}

// ---- writing ----

AviWriter::AviWriter() = default;
AviWriter::~AviWriter() { Close(); }

void AviWriter::SetRiffLimit(uint64_t bytes) { g_riffLimit = bytes; }

HRESULT AviWriter::Create(const std::string& path) {
    Close();
    // Locked before emptying, so that another recorder's file survives.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!fd.IsOpen() || flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || ftruncate(fd.Get(), 0) != 0)
        return AVIERR_FILEOPEN;
    m_fd = std::move(fd);
    m_failed = m_haveFormat = false;
    m_info = AVISTREAMINFO{};
    m_pos = m_riffStart = m_moviStart = 0;
    m_firstRiffSize = m_firstMoviSize = m_frames = m_firstRiffFrames = m_maxChunk = 0;
    m_firstSegment = true;
    m_idx1.clear();
    m_segment.clear();
    m_super.clear();
    return AVIERR_OK;
}

HRESULT AviWriter::CreateStream(const AVISTREAMINFO& info) {
    if (!IsOpen() || m_haveFormat) return AVIERR_BADHANDLE;
    if (info.fccType != streamtypeVIDEO || info.dwScale == 0 || info.dwRate == 0) return AVIERR_BADPARAM;
    m_info = info;
    m_info.szName[sizeof m_info.szName - 1] = 0;
    return AVIERR_OK;
}

HRESULT AviWriter::SetFormat(const BITMAPINFOHEADER& format) {
    if (!IsOpen() || m_info.fccType != streamtypeVIDEO || m_haveFormat) return AVIERR_BADHANDLE;
    m_format = format;
    m_chunkId = StreamChunkId(0, format.biCompression == BI_RGB ? "db" : "dc");
    m_haveFormat = true;
    const std::vector<BYTE> headers = BuildHeaders(false);
    if (!Put(headers.data(), headers.size())) return AVIERR_FILEWRITE;
    m_riffStart = 0;
    m_moviStart = headers.size() - 12;
    return AVIERR_OK;
}

bool AviWriter::Put(const void* data, size_t size) {
    if (m_failed || !WriteAll(m_fd.Get(), data, size)) {
        m_failed = true;
        return false;
    }
    m_pos += size;
    return true;
}

std::vector<BYTE> AviWriter::BuildHeaders(bool final) const {
    const uint32_t width = uint32_t(std::abs(m_format.biWidth)), height = uint32_t(std::abs(m_format.biHeight));
    const uint32_t maxChunk = std::max(m_maxChunk, m_info.dwSuggestedBufferSize);
    const double framesPerSecond = double(m_info.dwRate) / m_info.dwScale;
    ByteWriter w;
    w.U32(kRIFF);
    w.U32(m_firstRiffSize);
    w.U32(kAVI);
    const size_t hdrl = w.BeginList(kLIST, kHdrl);
    w.U32(kAvih);
    w.U32(kAvihSize);
    w.U32(uint32_t(1e6 * m_info.dwScale / m_info.dwRate + 0.5));
    w.U32(uint32_t(std::min(maxChunk * framesPerSecond, 4e9)));
    w.U32(0); // padding granularity
    w.U32(kAvifHasIndex);
    w.U32(m_firstSegment ? m_frames : m_firstRiffFrames);
    w.U32(0); // initial frames
    w.U32(1); // streams
    w.U32(maxChunk);
    w.U32(width);
    w.U32(height);
    w.Zeros(16);
    const size_t strl = w.BeginList(kLIST, kStrl);
    w.U32(kStrh);
    w.U32(kStrhSize);
    w.U32(m_info.fccType);
    w.U32(m_info.fccHandler);
    w.U32(m_info.dwFlags);
    w.U16(m_info.wPriority);
    w.U16(m_info.wLanguage);
    w.U32(m_info.dwInitialFrames);
    w.U32(m_info.dwScale);
    w.U32(m_info.dwRate);
    w.U32(m_info.dwStart);
    w.U32(final ? m_frames : m_info.dwLength);
    w.U32(maxChunk);
    w.U32(m_info.dwQuality);
    w.U32(m_info.dwSampleSize);
    w.U16(uint16_t(m_info.rcFrame.left));
    w.U16(uint16_t(m_info.rcFrame.top));
    w.U16(uint16_t(m_info.rcFrame.right));
    w.U16(uint16_t(m_info.rcFrame.bottom));
    const size_t strf = w.Begin(kStrf);
    w.Bytes(&m_format, sizeof m_format);
    w.End(strf);
    if (m_info.szName[0]) {
        const size_t strn = w.Begin(kStrn);
        w.Bytes(m_info.szName, std::strlen(m_info.szName) + 1);
        w.End(strn);
    }
    const size_t indx = w.Begin(kIndx);
    w.U16(4);
    w.U8(0);
    w.U8(kIndexOfIndexes);
    w.U32(uint32_t(m_super.size()));
    w.U32(m_chunkId);
    w.Zeros(12);
    for (const SuperEntry& e : m_super) {
        w.U64(e.offset);
        w.U32(e.size);
        w.U32(e.duration);
    }
    w.Zeros(16 * (kSuperEntries - m_super.size()));
    w.End(indx);
    w.End(strl);
    const size_t odml = w.BeginList(kLIST, kOdml);
    w.U32(kDmlh);
    w.U32(kDmlhSize);
    w.U32(m_frames);
    w.Zeros(kDmlhSize - 4);
    w.End(odml);
    w.End(hdrl);
    w.U32(kLIST);
    w.U32(m_firstMoviSize);
    w.U32(kMovi);
    return std::move(w.bytes());
}

HRESULT AviWriter::Write(LONG position, const void* data, LONG size, DWORD flags, LONG* bytesWritten) {
    if (bytesWritten) *bytesWritten = 0;
    if (!IsOpen() || !m_haveFormat) return AVIERR_BADHANDLE;
    if (position < 0 || uint32_t(position) < m_frames || size < 0 || (size > 0 && !data)) return AVIERR_BADPARAM;
    while (m_frames < uint32_t(position)) { // dropped frames
        const HRESULT hr = WriteChunk(nullptr, 0, false);
        if (hr != AVIERR_OK) return hr;
    }
    const HRESULT hr = WriteChunk(data, uint32_t(size), (flags & AVIIF_KEYFRAME) != 0);
    if (hr == AVIERR_OK && bytesWritten) *bytesWritten = size;
    return hr;
}

HRESULT AviWriter::WriteChunk(const void* data, uint32_t size, bool key) {
    if (m_failed) return AVIERR_FILEWRITE;
    // What the segment will hold with this frame and its index entries.
    const uint64_t indexes = 32 + 8 * (m_segment.size() + 1) + (m_firstSegment ? 8 + m_idx1.size() + 16 : 0);
    const uint64_t grown = m_pos + 8 + size + (size & 1) + indexes - m_riffStart;
    if (grown > g_riffLimit && !m_segment.empty()) {
        if (m_super.size() + 1 >= kSuperEntries) return AVIERR_FILEWRITE;
        HRESULT hr = CloseSegment();
        if (hr == AVIERR_OK) hr = BeginSegment();
        if (hr != AVIERR_OK) return hr;
    }
    BYTE header[8];
    ByteWriter h;
    h.U32(m_chunkId);
    h.U32(size);
    std::memcpy(header, h.bytes().data(), 8);
    const uint64_t at = m_pos;
    static const BYTE pad = 0;
    if (!Put(header, 8) || (size && !Put(data, size)) || ((size & 1) && !Put(&pad, 1))) return AVIERR_FILEWRITE;
    m_segment.push_back({uint32_t(at + 8 - m_moviStart), size | (key ? 0 : kNotKeyFrame)});
    if (m_firstSegment) {
        ByteWriter e;
        e.U32(m_chunkId);
        e.U32(key ? AVIIF_KEYFRAME : 0);
        e.U32(uint32_t(at - (m_moviStart + 8)));
        e.U32(size);
        m_idx1.insert(m_idx1.end(), e.bytes().begin(), e.bytes().end());
    }
    m_maxChunk = std::max(m_maxChunk, size);
    ++m_frames;
    return AVIERR_OK;
}

// Ends the current RIFF list: its standard index closes the movi list, the
// first list also gets idx1, and the sizes are filled in.
HRESULT AviWriter::CloseSegment() {
    ByteWriter ix;
    const size_t chunk = ix.Begin(kIx00);
    ix.U16(2);
    ix.U8(0);
    ix.U8(kIndexOfChunks);
    ix.U32(uint32_t(m_segment.size()));
    ix.U32(m_chunkId);
    ix.U64(m_moviStart);
    ix.U32(0);
    for (const StdEntry& e : m_segment) {
        ix.U32(e.offset);
        ix.U32(e.size);
    }
    ix.End(chunk);
    const uint64_t ixAt = m_pos;
    if (!Put(ix.bytes().data(), ix.bytes().size())) return AVIERR_FILEWRITE;
    m_super.push_back({ixAt, uint32_t(ix.bytes().size()), uint32_t(m_segment.size())});
    const uint32_t moviSize = uint32_t(m_pos - (m_moviStart + 8));
    if (m_firstSegment) {
        m_firstMoviSize = moviSize;
        ByteWriter h;
        h.U32(kIdx1);
        h.U32(uint32_t(m_idx1.size()));
        if (!Put(h.bytes().data(), 8) || !Put(m_idx1.data(), m_idx1.size())) return AVIERR_FILEWRITE;
        m_firstRiffSize = uint32_t(m_pos - 8);
        m_firstRiffFrames = m_frames;
        m_firstSegment = false;
        std::vector<BYTE>().swap(m_idx1);
    } else {
        ByteWriter sizes;
        sizes.U32(uint32_t(m_pos - (m_riffStart + 8)));
        sizes.U32(kAVIX);
        sizes.U32(kLIST);
        sizes.U32(moviSize);
        if (!WriteAllAt(m_fd.Get(), sizes.bytes().data(), 16, off_t(m_riffStart + 4))) return AVIERR_FILEWRITE;
    }
    m_segment.clear();
    return AVIERR_OK;
}

HRESULT AviWriter::BeginSegment() {
    ByteWriter w;
    w.U32(kRIFF);
    w.U32(0);
    w.U32(kAVIX);
    w.U32(kLIST);
    w.U32(0);
    w.U32(kMovi);
    m_riffStart = m_pos;
    m_moviStart = m_pos + 12;
    return Put(w.bytes().data(), w.bytes().size()) ? AVIERR_OK : AVIERR_FILEWRITE;
}

HRESULT AviWriter::Close() {
    if (!IsOpen()) return AVIERR_OK;
    HRESULT hr = m_failed ? AVIERR_FILEWRITE : AVIERR_OK;
    if (m_haveFormat && hr == AVIERR_OK) {
        hr = CloseSegment();
        if (hr == AVIERR_OK) {
            const std::vector<BYTE> headers = BuildHeaders(true);
            if (!WriteAllAt(m_fd.Get(), headers.data(), headers.size(), 0)) hr = AVIERR_FILEWRITE;
        }
    }
    m_fd.Reset();
    m_haveFormat = false;
    return hr;
}

} // namespace zep3::detail
