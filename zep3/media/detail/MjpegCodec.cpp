// Motion JPEG through TurboJPEG: libjpeg-turbo's SIMD colour conversion and
// DCT, straight from and into the caller's rows in either order.
#include <zep3/media/detail/CodecRegistry.h>

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zep3::detail {

namespace {

const DWORD kMJPG = mmioFOURCC('M', 'J', 'P', 'G');

int PixelFormat(int bitCount) {
    switch (bitCount) {
    case 8: return TJPF_GRAY;
    case 24: return TJPF_BGR;
    case 32: return TJPF_BGRX;
    default: return -1;
    }
}

bool PlainFrame(const BITMAPINFOHEADER& f) {
    return f.biSize == sizeof f && f.biWidth > 0 && f.biHeight != 0 && f.biCompression == BI_RGB &&
           PixelFormat(f.biBitCount) >= 0 && f.biWidth <= 65500 && std::abs(f.biHeight) <= 65500;
}

// TurboJPEG takes rows top-down with a positive pitch, or bottom-up.
struct Rows {
    BYTE* buffer;
    int pitch;
    int flags;
};
Rows TurboRows(const Picture& p, int height) {
    if (p.step >= 0) return {p.top, int(p.step), 0};
    return {p.top + (height - 1) * p.step, int(-p.step), TJFLAG_BOTTOMUP};
}

class MjpegCodec : public VideoCodec {
public:
    MjpegCodec() {
        FillInfo(m_info, mmioFOURCC('m', 'j', 'p', 'g'), VIDCF_QUALITY | VIDCF_CRUNCH, "MJPG",
                 "Motion JPEG (libjpeg-turbo)", "libturbojpeg");
        m_options = {{"quality", 90, 1, 100}};
    }
    ~MjpegCodec() override {
        CompressEnd();
        DecompressEnd();
    }

    LONG DefaultQuality() const override { return Option("quality") * 100; }

    LRESULT CompressQuery(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER* out) const override {
        if (!PlainFrame(in)) return ICERR_BADFORMAT;
        if (out && (!SameFourCC(out->biCompression, kMJPG) || !SameSize(in, *out))) return ICERR_BADFORMAT;
        return ICERR_OK;
    }
    BITMAPINFOHEADER CompressFormat(const BITMAPINFOHEADER& in) const override {
        return CompressedFormat(in, kMJPG, CompressMaxSize(in));
    }
    DWORD CompressMaxSize(const BITMAPINFOHEADER& in) const override {
        const unsigned long size = tjBufSize(in.biWidth, std::abs(in.biHeight), TJSAMP_444);
        return size == (unsigned long)-1 ? 0 : DWORD(std::min<unsigned long>(size, 0x7FFFFFFF));
    }
    LRESULT CompressBegin(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out) override {
        const LRESULT query = CompressQuery(in, &out);
        if (query != ICERR_OK) return query;
        if (!m_compressor && !(m_compressor = tjInitCompress())) return ICERR_MEMORY;
        m_in = in;
        return ICERR_OK;
    }
    LRESULT Compress(const Picture& in, LONG quality, BYTE* out, DWORD capacity, DWORD& size,
                     bool& key) override {
        if (!m_compressor) return ICERR_BADHANDLE;
        const int height = std::abs(m_in.biHeight);
        const int q = quality < 0 ? Option("quality") : std::clamp(int((quality + 50) / 100), 1, 100);
        const int format = PixelFormat(m_in.biBitCount);
        const Rows rows = TurboRows(in, height);
        // TurboJPEG writes into a fixed buffer only up to its worst case, so a
        // smaller destination gets the frame through a buffer of that size.
        const DWORD worst = CompressMaxSize(m_in);
        BYTE* target = out;
        if (capacity < worst) {
            m_spare.resize(worst);
            target = m_spare.data();
        }
        unsigned long jpegSize = worst;
        if (tjCompress2(m_compressor, rows.buffer, m_in.biWidth, rows.pitch, height, format, &target, &jpegSize,
                        format == TJPF_GRAY ? TJSAMP_GRAY : TJSAMP_420, q, rows.flags | TJFLAG_NOREALLOC) != 0)
            return ICERR_ERROR;
        if (jpegSize > capacity) return ICERR_BADSIZE;
        if (target != out) std::memcpy(out, target, jpegSize);
        size = DWORD(jpegSize);
        key = true;
        return ICERR_OK;
    }
    void CompressEnd() override {
        if (m_compressor) tjDestroy(m_compressor);
        m_compressor = nullptr;
    }

    LRESULT DecompressQuery(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER* out) const override {
        if (in.biSize != sizeof in || !SameFourCC(in.biCompression, kMJPG) || in.biWidth <= 0 || in.biHeight == 0)
            return ICERR_BADFORMAT;
        if (out && (!PlainFrame(*out) || !SameSize(in, *out))) return ICERR_BADFORMAT;
        return ICERR_OK;
    }
    LRESULT DecompressBegin(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out) override {
        const LRESULT query = DecompressQuery(in, &out);
        if (query != ICERR_OK) return query;
        if (!m_decompressor && !(m_decompressor = tjInitDecompress())) return ICERR_MEMORY;
        m_out = out;
        return ICERR_OK;
    }
    LRESULT Decompress(const BYTE* data, DWORD size, const Picture& out) override {
        if (!m_decompressor) return ICERR_BADHANDLE;
        if (size == 0) return ICERR_OK;
        const int height = std::abs(m_out.biHeight);
        int width = 0, jpegHeight = 0, subsampling = 0, colourspace = 0;
        // A picture of another size would not fill (or would overrun) the frame.
        if (tjDecompressHeader3(m_decompressor, data, size, &width, &jpegHeight, &subsampling, &colourspace) != 0 ||
            width != m_out.biWidth || jpegHeight != height)
            return ICERR_BADFORMAT;
        const Rows rows = TurboRows(out, height);
        if (tjDecompress2(m_decompressor, data, size, rows.buffer, width, rows.pitch, height,
                          PixelFormat(m_out.biBitCount), rows.flags) != 0 &&
            tjGetErrorCode(m_decompressor) != TJERR_WARNING)
            return ICERR_ERROR;
        return ICERR_OK;
    }
    void DecompressEnd() override {
        if (m_decompressor) tjDestroy(m_decompressor);
        m_decompressor = nullptr;
    }

private:
    tjhandle m_compressor = nullptr;
    tjhandle m_decompressor = nullptr;
    BITMAPINFOHEADER m_in{}, m_out{};
    std::vector<BYTE> m_spare;
};

} // namespace

std::unique_ptr<VideoCodec> MakeMjpegCodec() { return std::make_unique<MjpegCodec>(); }

} // namespace zep3::detail
