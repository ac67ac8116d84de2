// The codec registry, the codec settings blocks and the choice dialog.
#include <zep3/media/detail/CodecRegistry.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace zep3::detail {

namespace {

constexpr int kStateSize = 256;

DWORD Lower(DWORD fourcc) {
    DWORD out = 0;
    for (int i = 0; i < 4; ++i)
        out |= DWORD(std::tolower(int((fourcc >> 8 * i) & 0xFF))) << 8 * i;
    return out;
}

enum class Family { Raw, Mjpeg, Lavc };

struct Entry {
    CodecDescription codec;
    Family family;
};

// Compressors in the order the choice lists them.
const Entry kCompressors[] = {
    {{mmioFOURCC('D', 'I', 'B', ' '), BI_RGB, "DIB", "Full Frames (Uncompressed)"}, Family::Raw},
    {{mmioFOURCC('m', 'j', 'p', 'g'), mmioFOURCC('M', 'J', 'P', 'G'), "MJPG", "Motion JPEG (libjpeg-turbo)"},
     Family::Mjpeg},
    {{mmioFOURCC('f', 'm', 'p', '4'), mmioFOURCC('F', 'M', 'P', '4'), "FMP4", "MPEG-4 part 2 (libavcodec)"},
     Family::Lavc},
    {{mmioFOURCC('x', 'v', 'i', 'd'), mmioFOURCC('X', 'V', 'I', 'D'), "XVID", "MPEG-4 part 2, Xvid (libavcodec)"},
     Family::Lavc},
    {{mmioFOURCC('h', '2', '6', '4'), mmioFOURCC('H', '2', '6', '4'), "H264", "H.264 (x264)"}, Family::Lavc},
    {{mmioFOURCC('f', 'f', 'v', '1'), mmioFOURCC('F', 'F', 'V', '1'), "FFV1", "FFV1 lossless (libavcodec)"},
     Family::Lavc},
};

// Data formats that only decoders take.
const DWORD kLavcDecodeOnly[] = {mmioFOURCC('D', 'I', 'V', 'X'), mmioFOURCC('D', 'X', '5', '0'),
                                 mmioFOURCC('M', 'P', '4', 'V'), mmioFOURCC('X', '2', '6', '4'),
                                 mmioFOURCC('A', 'V', 'C', '1')};

std::unique_ptr<VideoCodec> Make(Family family, DWORD compression, bool compressing) {
    switch (family) {
    case Family::Raw: return MakeRawCodec();
    case Family::Mjpeg: return MakeMjpegCodec();
    case Family::Lavc: return MakeLavcCodec(compression, compressing);
    }
    return nullptr;
}

std::mutex g_hookLock;
CompressorChooseHook g_chooseHook;

} // namespace

bool SameFourCC(DWORD a, DWORD b) { return Lower(a) == Lower(b); }

ptrdiff_t RowBytes(const BITMAPINFOHEADER& format) {
    return ptrdiff_t(std::abs(format.biWidth)) * ((format.biBitCount + 7) / 8);
}

Picture PictureOf(const BITMAPINFOHEADER& format, const void* bits) {
    BYTE* first = static_cast<BYTE*>(const_cast<void*>(bits));
    const ptrdiff_t row = RowBytes(format);
    if (format.biHeight < 0) return {first, row};
    return {first + (format.biHeight - 1) * row, -row};
}

BITMAPINFOHEADER UncompressedFormat(LONG width, LONG height, int bitCount) {
    BITMAPINFOHEADER f{};
    f.biSize = sizeof f;
    f.biWidth = width;
    f.biHeight = height;
    f.biPlanes = 1;
    f.biBitCount = WORD(bitCount);
    f.biSizeImage = DWORD(std::abs(int64_t(bitCount) * width * height) / 8);
    return f;
}

BITMAPINFOHEADER CompressedFormat(const BITMAPINFOHEADER& in, DWORD compression, DWORD maxSize) {
    BITMAPINFOHEADER out = UncompressedFormat(in.biWidth, std::abs(in.biHeight), in.biBitCount);
    out.biCompression = compression;
    out.biSizeImage = maxSize;
    return out;
}

bool SameSize(const BITMAPINFOHEADER& a, const BITMAPINFOHEADER& b) {
    return a.biWidth == b.biWidth && std::abs(a.biHeight) == std::abs(b.biHeight);
}

void FillInfo(ICINFO& info, DWORD handler, DWORD flags, const char* name, const char* description,
              const char* driver) {
    info = ICINFO{};
    info.dwSize = sizeof info;
    info.fccType = ICTYPE_VIDEO;
    info.fccHandler = handler;
    info.dwFlags = flags;
    info.dwVersion = 1;
    info.dwVersionICM = 0x0104;
    auto copy = [](WORD* to, size_t n, const char* from) {
        for (size_t i = 0; i + 1 < n && from[i]; ++i) to[i] = BYTE(from[i]);
    };
    copy(info.szName, 16, name);
    copy(info.szDescription, 128, description);
    copy(info.szDriver, 128, driver);
}

std::string InfoText(const WORD* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length && text[i]; ++i) out += char(text[i] < 0x80 ? text[i] : '?');
    return out;
}

// ---- settings ----

int VideoCodec::Option(const char* name) const {
    for (const CodecOption& o : m_options)
        if (std::strcmp(o.name, name) == 0) return o.value;
    return 0;
}

int VideoCodec::StateSize() const { return m_options.empty() ? 0 : kStateSize; }

int VideoCodec::GetState(void* data, int size) const {
    if (!data) return StateSize();
    if (m_options.empty() || size < kStateSize) return 0;
    std::string text;
    for (const CodecOption& o : m_options) text += std::string(o.name) + "=" + std::to_string(o.value) + "\n";
    std::memset(data, 0, kStateSize);
    std::memcpy(data, text.data(), std::min<size_t>(text.size(), kStateSize - 1));
    return kStateSize;
}

bool VideoCodec::SetState(const void* data, int size) {
    if (!data || m_options.empty() || size != kStateSize) return false;
    const char* bytes = static_cast<const char*>(data);
    std::vector<CodecOption> options = m_options;
    std::string text(bytes, strnlen(bytes, kStateSize));
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return false;
        const std::string name = line.substr(0, eq), value = line.substr(eq + 1);
        char* stop = nullptr;
        const long v = std::strtol(value.c_str(), &stop, 10);
        auto o = std::find_if(options.begin(), options.end(), [&](const CodecOption& c) { return name == c.name; });
        if (o == options.end() || value.empty() || *stop || v < o->minimum || v > o->maximum) return false;
        o->value = int(v);
    }
    m_options = options;
    return true;
}

// ---- registry ----

std::vector<CodecDescription> ListCompressors() {
    std::vector<CodecDescription> list;
    for (const Entry& e : kCompressors)
        if (Make(e.family, e.codec.compression, true)) list.push_back(e.codec);
    return list;
}

std::unique_ptr<VideoCodec> OpenCodec(DWORD handler, int mode) {
    const bool compressing = mode == ICMODE_COMPRESS || mode == ICMODE_FASTCOMPRESS || mode == ICMODE_QUERY;
    for (const Entry& e : kCompressors)
        if (SameFourCC(handler, e.codec.handler) || (e.codec.compression && SameFourCC(handler, e.codec.compression)))
            return Make(e.family, e.codec.compression, compressing);
    for (DWORD c : kLavcDecodeOnly)
        if (!compressing && SameFourCC(handler, c)) return MakeLavcCodec(c, false);
    return nullptr;
}

std::unique_ptr<VideoCodec> LocateDecompressor(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER* out) {
    std::unique_ptr<VideoCodec> codec =
        in.biCompression == BI_RGB ? MakeRawCodec() : OpenCodec(in.biCompression, ICMODE_DECOMPRESS);
    if (!codec || codec->DecompressQuery(in, out) != ICERR_OK) return nullptr;
    return codec;
}

bool IsIntraOnlyCompression(DWORD compression) {
    return compression == BI_RGB || SameFourCC(compression, mmioFOURCC('M', 'J', 'P', 'G'));
}

bool RunCompressorChoose(COMPVARS& choice, const BITMAPINFOHEADER* input) {
    CompressorChooseHook hook;
    {
        std::lock_guard<std::mutex> lock(g_hookLock);
        hook = g_chooseHook;
    }
    return hook && hook(choice, input);
}

} // namespace zep3::detail

void SetCompressorChooseHook(CompressorChooseHook hook) {
    std::lock_guard<std::mutex> lock(zep3::detail::g_hookLock);
    zep3::detail::g_chooseHook = std::move(hook);
}
