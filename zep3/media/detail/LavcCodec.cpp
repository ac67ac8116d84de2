// The libavcodec codecs (MPEG-4 part 2, H.264 through libx264, FFV1) and the
// uncompressed one, with libswscale converting between the frame's pixels
// and the codec's.
#include <zep3/media/detail/CodecRegistry.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

namespace zep3::detail {

namespace {

AVPixelFormat FrameFormat(int bitCount) {
    switch (bitCount) {
    case 8: return AV_PIX_FMT_GRAY8;
    case 16: return AV_PIX_FMT_RGB555LE;
    case 24: return AV_PIX_FMT_BGR24;
    case 32: return AV_PIX_FMT_BGR0;
    default: return AV_PIX_FMT_NONE;
    }
}

bool PlainFrame(const BITMAPINFOHEADER& f) {
    return f.biSize == sizeof f && f.biWidth > 0 && f.biHeight != 0 && f.biCompression == BI_RGB &&
           FrameFormat(f.biBitCount) != AV_PIX_FMT_NONE && f.biWidth <= 16384 && std::abs(f.biHeight) <= 16384;
}

// libav* report through av_log; the library keeps quiet.
void Quiet() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// One libswscale conversion kept across frames.
class PixelConverter {
public:
    ~PixelConverter() { sws_freeContext(m_context); }
    bool Convert(AVPixelFormat from, const BYTE* const* fromPlanes, const int* fromSteps, AVPixelFormat to,
                 BYTE* const* toPlanes, const int* toSteps, int width, int height) {
        m_context = sws_getCachedContext(m_context, width, height, from, width, height, to, SWS_BILINEAR, nullptr,
                                         nullptr, nullptr);
        return m_context && sws_scale(m_context, fromPlanes, fromSteps, 0, height, toPlanes, toSteps) == height;
    }
    bool Convert(const Picture& from, int fromBits, const Picture& to, int toBits, int width, int height) {
        if (fromBits == toBits) { // a row copy needs no conversion
            const size_t row = size_t(width) * ((fromBits + 7) / 8);
            for (int y = 0; y < height; ++y) std::memcpy(to.top + y * to.step, from.top + y * from.step, row);
            return true;
        }
        const BYTE* fromPlanes[4] = {from.top};
        BYTE* toPlanes[4] = {to.top};
        const int fromSteps[4] = {int(from.step)}, toSteps[4] = {int(to.step)};
        return Convert(FrameFormat(fromBits), fromPlanes, fromSteps, FrameFormat(toBits), toPlanes, toSteps, width,
                       height);
    }

private:
    SwsContext* m_context = nullptr;
};

// Uncompressed frames: a copy, or a conversion to another depth.
class RawCodec : public VideoCodec {
public:
    RawCodec() { FillInfo(m_info, mmioFOURCC('D', 'I', 'B', ' '), 0, "DIB", "Full Frames (Uncompressed)", "zep3"); }

    LRESULT CompressQuery(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER* out) const override {
        if (!PlainFrame(in) || (out && (!PlainFrame(*out) || !SameSize(in, *out) || out->biBitCount != in.biBitCount)))
            return ICERR_BADFORMAT;
        return ICERR_OK;
    }
    BITMAPINFOHEADER CompressFormat(const BITMAPINFOHEADER& in) const override {
        return UncompressedFormat(in.biWidth, in.biHeight, in.biBitCount);
    }
    DWORD CompressMaxSize(const BITMAPINFOHEADER& in) const override {
        return DWORD(RowBytes(in) * std::abs(in.biHeight));
    }
    LRESULT CompressBegin(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out) override {
        const LRESULT query = CompressQuery(in, &out);
        if (query == ICERR_OK) m_in = in, m_out = out;
        return query;
    }
    LRESULT Compress(const Picture& in, LONG, BYTE* out, DWORD capacity, DWORD& size, bool& key) override {
        size = CompressMaxSize(m_out);
        if (size > capacity) return ICERR_BADSIZE;
        m_converter.Convert(in, m_in.biBitCount, PictureOf(m_out, out), m_out.biBitCount, m_in.biWidth,
                            std::abs(m_in.biHeight));
        key = true;
        return ICERR_OK;
    }
    void CompressEnd() override {}

    LRESULT DecompressQuery(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER* out) const override {
        if (!PlainFrame(in) || (out && (!PlainFrame(*out) || !SameSize(in, *out)))) return ICERR_BADFORMAT;
        return ICERR_OK;
    }
    LRESULT DecompressBegin(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out) override {
        const LRESULT query = DecompressQuery(in, &out);
        if (query == ICERR_OK) m_in = in, m_out = out;
        return query;
    }
    LRESULT Decompress(const BYTE* data, DWORD size, const Picture& out) override {
        if (size == 0) return ICERR_OK;
        if (size < CompressMaxSize(m_in)) return ICERR_BADSIZE;
        return m_converter.Convert(PictureOf(m_in, data), m_in.biBitCount, out, m_out.biBitCount, m_in.biWidth,
                                   std::abs(m_in.biHeight))
                   ? ICERR_OK
                   : ICERR_ERROR;
    }
    void DecompressEnd() override {}

private:
    BITMAPINFOHEADER m_in{}, m_out{};
    PixelConverter m_converter;
};

// What one libavcodec family needs.
struct Family {
    const char* name;
    AVCodecID id;
    const char* encoder; // by name (libx264), or null for libavcodec's own
    DWORD flags;
    std::vector<DWORD> compressions;
};

const Family kFamilies[] = {
    {"MPEG-4 part 2",
     AV_CODEC_ID_MPEG4,
     nullptr,
     VIDCF_QUALITY | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC,
     {mmioFOURCC('F', 'M', 'P', '4'), mmioFOURCC('X', 'V', 'I', 'D'), mmioFOURCC('D', 'I', 'V', 'X'),
      mmioFOURCC('D', 'X', '5', '0'), mmioFOURCC('M', 'P', '4', 'V')}},
    {"H.264",
     AV_CODEC_ID_H264,
     "libx264",
     VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC,
     {mmioFOURCC('H', '2', '6', '4'), mmioFOURCC('X', '2', '6', '4'), mmioFOURCC('A', 'V', 'C', '1')}},
    {"FFV1 lossless", AV_CODEC_ID_FFV1, nullptr, 0, {mmioFOURCC('F', 'F', 'V', '1')}},
};

const char* const kX264Presets[] = {"ultrafast", "superfast", "veryfast", "faster",  "fast",
                                    "medium",    "slow",      "slower",   "veryslow"};

class LavcCodec : public VideoCodec {
public:
    LavcCodec(const Family& family, DWORD compression, const AVCodec* encoder, const AVCodec* decoder)
        : m_family(family), m_compression(compression), m_encoder(encoder), m_decoder(decoder) {
        char name[5] = {char(compression), char(compression >> 8), char(compression >> 16), char(compression >> 24)};
        const std::string description = std::string(family.name) + " (" + (encoder ? encoder : decoder)->name + ")";
        FillInfo(m_info, compression | 0x20202020u, family.flags, name, description.c_str(), "libavcodec");
        if (family.id == AV_CODEC_ID_MPEG4)
            m_options = {{"quality", 75, 1, 100}, {"keyint", 15, 1, 3000}};
        else if (family.id == AV_CODEC_ID_H264)
            m_options = {{"crf", 23, 0, 51}, {"keyint", 15, 1, 3000}, {"preset", 2, 0, 8}};
        else
            m_options = {{"keyint", 1, 1, 3000}};
    }
    ~LavcCodec() override {
        CompressEnd();
        DecompressEnd();
    }

    LONG DefaultQuality() const override {
        return m_family.id == AV_CODEC_ID_MPEG4 ? Option("quality") * 100 : ICQUALITY_DEFAULT;
    }
    LONG DefaultKeyFrameRate() const override { return Option("keyint"); }

    LRESULT CompressQuery(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER* out) const override {
        if (!m_encoder || !PlainFrame(in)) return ICERR_BADFORMAT;
        // 4:2:0 pictures have even sides.
        if (m_family.id != AV_CODEC_ID_FFV1 && (in.biWidth % 2 || in.biHeight % 2)) return ICERR_BADFORMAT;
        if (out && (!Accepts(out->biCompression) || !SameSize(in, *out))) return ICERR_BADFORMAT;
        return ICERR_OK;
    }
    BITMAPINFOHEADER CompressFormat(const BITMAPINFOHEADER& in) const override {
        return CompressedFormat(in, m_compression, CompressMaxSize(in));
    }
    DWORD CompressMaxSize(const BITMAPINFOHEADER& in) const override {
        return DWORD(std::min<int64_t>(int64_t(RowBytes(in)) * std::abs(in.biHeight) * 2 + 65536, 0x7FFFFFFF));
    }
    LRESULT CompressBegin(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out) override {
        const LRESULT query = CompressQuery(in, &out);
        if (query != ICERR_OK) return query;
        CompressEnd();
        Quiet();
        AVCodecContext* c = m_encode = avcodec_alloc_context3(m_encoder);
        m_frame = av_frame_alloc();
        m_packet = av_packet_alloc();
        if (!c || !m_frame || !m_packet) return CompressEnd(), ICERR_MEMORY;
        c->width = in.biWidth;
        c->height = std::abs(in.biHeight);
        c->time_base = {1, 25};
        c->framerate = {25, 1};
        c->gop_size = Option("keyint");
        c->max_b_frames = 0; // one frame out for every frame in
        c->thread_count = 1; // the calling thread does the work
        c->codec_tag = out.biCompression;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        if (m_family.id == AV_CODEC_ID_MPEG4) {
            c->flags |= AV_CODEC_FLAG_QSCALE;
            c->global_quality = Lambda(ICQUALITY_DEFAULT);
        } else if (m_family.id == AV_CODEC_ID_H264) {
            av_opt_set(c->priv_data, "preset", kX264Presets[Option("preset")], 0);
            av_opt_set(c->priv_data, "tune", "zerolatency", 0);
            av_opt_set_double(c->priv_data, "crf", Option("crf"), 0);
            av_opt_set_int(c->priv_data, "forced-idr", 1, 0);
        } else {
            c->pix_fmt = in.biBitCount == 8 ? AV_PIX_FMT_GRAY8 : AV_PIX_FMT_BGR0;
        }
        m_frame->format = c->pix_fmt;
        m_frame->width = c->width;
        m_frame->height = c->height;
        if (avcodec_open2(c, m_encoder, nullptr) < 0 || av_frame_get_buffer(m_frame, 0) < 0)
            return CompressEnd(), ICERR_BADFORMAT;
        m_in = in;
        m_pts = 0;
        return ICERR_OK;
    }
    LRESULT Compress(const Picture& in, LONG quality, BYTE* out, DWORD capacity, DWORD& size,
                     bool& key) override {
        if (!m_encode) return ICERR_BADHANDLE;
        if (av_frame_make_writable(m_frame) < 0) return ICERR_MEMORY;
        const BYTE* planes[4] = {in.top};
        const int steps[4] = {int(in.step)};
        if (!m_toCodec.Convert(FrameFormat(m_in.biBitCount), planes, steps, AVPixelFormat(m_frame->format),
                               m_frame->data, m_frame->linesize, m_frame->width, m_frame->height))
            return ICERR_ERROR;
        m_frame->pts = m_pts++;
        m_frame->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        m_frame->quality = Lambda(quality);
        if (avcodec_send_frame(m_encode, m_frame) < 0 || avcodec_receive_packet(m_encode, m_packet) < 0)
            return ICERR_ERROR;
        LRESULT result = ICERR_BADSIZE;
        if (DWORD(m_packet->size) <= capacity) {
            std::memcpy(out, m_packet->data, size_t(m_packet->size));
            size = DWORD(m_packet->size);
            key = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
            result = ICERR_OK;
        }
        av_packet_unref(m_packet);
        return result;
    }
    void CompressEnd() override {
        avcodec_free_context(&m_encode);
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
    }

    LRESULT DecompressQuery(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER* out) const override {
        if (!m_decoder || in.biSize != sizeof in || !Accepts(in.biCompression) || in.biWidth <= 0 ||
            in.biHeight == 0 || in.biWidth > 16384 || std::abs(in.biHeight) > 16384)
            return ICERR_BADFORMAT;
        if (out && (!PlainFrame(*out) || !SameSize(in, *out))) return ICERR_BADFORMAT;
        return ICERR_OK;
    }
    LRESULT DecompressBegin(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out) override {
        const LRESULT query = DecompressQuery(in, &out);
        if (query != ICERR_OK) return query;
        DecompressEnd();
        Quiet();
        AVCodecContext* c = m_decode = avcodec_alloc_context3(m_decoder);
        m_picture = av_frame_alloc();
        m_input = av_packet_alloc();
        if (!c || !m_picture || !m_input) return DecompressEnd(), ICERR_MEMORY;
        c->width = in.biWidth;
        c->height = std::abs(in.biHeight);
        c->codec_tag = in.biCompression;
        c->bits_per_coded_sample = in.biBitCount;
        c->thread_count = 1;
        c->flags |= AV_CODEC_FLAG_LOW_DELAY;
        if (avcodec_open2(c, m_decoder, nullptr) < 0) return DecompressEnd(), ICERR_BADFORMAT;
        m_out = out;
        return ICERR_OK;
    }
    LRESULT Decompress(const BYTE* data, DWORD size, const Picture& out) override {
        if (!m_decode) return ICERR_BADHANDLE;
        if (size == 0) return ICERR_OK;
        // libavcodec reads a little past the data: the packet is padded.
        if (size > 0x7FFFFFFF - AV_INPUT_BUFFER_PADDING_SIZE || av_new_packet(m_input, int(size)) < 0)
            return ICERR_MEMORY;
        std::memcpy(m_input->data, data, size);
        const int sent = avcodec_send_packet(m_decode, m_input);
        av_packet_unref(m_input);
        if (sent < 0) return ICERR_ERROR;
        const int got = avcodec_receive_frame(m_decode, m_picture);
        if (got == AVERROR(EAGAIN)) return ICERR_OK; // held back: nothing to show yet
        if (got < 0) return ICERR_ERROR;
        LRESULT result = ICERR_BADFORMAT;
        const int height = std::abs(m_out.biHeight);
        if (m_picture->width == m_out.biWidth && m_picture->height == height) {
            BYTE* planes[4] = {out.top};
            const int steps[4] = {int(out.step)};
            result = m_fromCodec.Convert(AVPixelFormat(m_picture->format), m_picture->data, m_picture->linesize,
                                         FrameFormat(m_out.biBitCount), planes, steps, m_out.biWidth, height)
                         ? ICERR_OK
                         : ICERR_ERROR;
        }
        av_frame_unref(m_picture);
        return result;
    }
    void DecompressEnd() override {
        avcodec_free_context(&m_decode);
        av_frame_free(&m_picture);
        av_packet_free(&m_input);
    }

private:
    bool Accepts(DWORD compression) const {
        return std::any_of(m_family.compressions.begin(), m_family.compressions.end(),
                           [&](DWORD c) { return SameFourCC(c, compression); });
    }
    // Quality 0..10000 as the quantiser's lambda (MPEG-4): 2 at best, 31 at worst.
    int Lambda(LONG quality) const {
        if (quality < 0 || quality > ICQUALITY_HIGH) quality = Option("quality") * 100;
        return (2 + (ICQUALITY_HIGH - quality) * 29 / ICQUALITY_HIGH) * FF_QP2LAMBDA;
    }

    const Family& m_family;
    DWORD m_compression;
    const AVCodec* m_encoder;
    const AVCodec* m_decoder;
    AVCodecContext* m_encode = nullptr;
    AVCodecContext* m_decode = nullptr;
    AVFrame* m_frame = nullptr;
    AVFrame* m_picture = nullptr;
    AVPacket* m_packet = nullptr;
    AVPacket* m_input = nullptr;
    BITMAPINFOHEADER m_in{}, m_out{};
    int64_t m_pts = 0;
    PixelConverter m_toCodec, m_fromCodec;
};

} // namespace

std::unique_ptr<VideoCodec> MakeRawCodec() { return std::make_unique<RawCodec>(); }

std::unique_ptr<VideoCodec> MakeLavcCodec(DWORD compression, bool compressing) {
    for (const Family& family : kFamilies) {
        if (std::none_of(family.compressions.begin(), family.compressions.end(),
                         [&](DWORD c) { return SameFourCC(c, compression); }))
            continue;
        const AVCodec* encoder =
            family.encoder ? avcodec_find_encoder_by_name(family.encoder) : avcodec_find_encoder(family.id);
        const AVCodec* decoder = avcodec_find_decoder(family.id);
        if ((compressing && !encoder) || !decoder) return nullptr;
        DWORD upper = 0;
        for (int i = 0; i < 4; ++i) upper |= DWORD(std::toupper(int((compression >> 8 * i) & 0xFF))) << 8 * i;
        return std::make_unique<LavcCodec>(family, upper, compressing ? encoder : nullptr, decoder);
    }
    return nullptr;
}

} // namespace zep3::detail
