// MJPG recording and playback of 1080p frames: CAVIEdit (TurboJPEG) against
// FFmpeg's MJPEG encoder and decoder through libavcodec, each with the
// colour conversion between BGR rows and the codec's YUV planes.
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const int kWidth = 1920, kHeight = 1080, kFrames = 8;
const DWORD kMJPG = mmioFOURCC('M', 'J', 'P', 'G');

// A camera-like scene: soft gradients, edges and fine texture, moving.
CImageBuffer Scene(int frame) {
    CImageBuffer image(CSize(kWidth, kHeight), 24);
    uint32_t noise = 12345u + frame;
    for (int y = 0; y < kHeight; ++y) {
        BYTE* p = image.GetPixelBuffer() + size_t(y) * kWidth * 3;
        for (int x = 0; x < kWidth; ++x, p += 3) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28) - 8;
            const bool block = ((x + frame * 16) / 120 + y / 90) % 2 == 0;
            const int base = int(96 + 60 * std::sin((x + frame * 9) / 85.0) * std::cos(y / 60.0)) + (block ? 40 : 0);
            p[0] = BYTE(std::min(255, std::max(0, base + grain)));
            p[1] = BYTE(std::min(255, std::max(0, base - 20 + x * 60 / kWidth + grain)));
            p[2] = BYTE(std::min(255, std::max(0, base + 10 + y * 50 / kHeight + grain)));
        }
    }
    return image;
}

const std::vector<CImageBuffer>& Frames() {
    static const std::vector<CImageBuffer> frames = [] {
        std::vector<CImageBuffer> v;
        for (int f = 0; f < kFrames; ++f) v.push_back(Scene(f));
        return v;
    }();
    return frames;
}

// A recording of the frames, made once, for the playback benchmarks.
const std::string& Recording() {
    static const std::string path = [] {
        const std::string name = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                 std::string("/zep3-avibench-") + std::to_string(getpid()) + ".avi";
        CAVIEdit avi;
        avi.SetCompressorParam(15, 300, 9000);
        avi.InitCompressor(CSize(kWidth, kHeight), 3, nullptr, kMJPG, kMJPG);
        avi.OpenFileWrite(name.c_str(), 25000, true);
        for (int f = 0; f < kFrames; ++f) avi.WriteFrame(&Frames()[f], f);
        avi.CloseWriteFile();
        return name;
    }();
    return path;
}

void OursRecord(benchmark::State& state) {
    CAVIEdit avi;
    avi.SetCompressorParam(15, 300, 9000); // JPEG quality 90
    avi.InitCompressor(CSize(kWidth, kHeight), 3, nullptr, kMJPG, kMJPG);
    int frame = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        unsigned char* data = nullptr;
        int size = 0;
        avi.CompressFrame(&data, &Frames()[frame % kFrames], frame, nullptr, &size);
        bytes += size_t(size);
        ++frame;
    }
    state.counters["frames/s"] = benchmark::Counter(double(frame), benchmark::Counter::kIsRate);
    state.counters["KB/frame"] = double(bytes) / frame / 1024;
}

void FfmpegRecord(benchmark::State& state) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->width = kWidth;
    c->height = kHeight;
    c->pix_fmt = AV_PIX_FMT_YUVJ420P;
    c->time_base = {1, 25};
    c->thread_count = 1;
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = 2 * FF_QP2LAMBDA; // its best quantiser scale
    avcodec_open2(c, codec, nullptr);
    AVFrame* yuv = av_frame_alloc();
    yuv->format = c->pix_fmt;
    yuv->width = kWidth;
    yuv->height = kHeight;
    av_frame_get_buffer(yuv, 0);
    SwsContext* sws = sws_getContext(kWidth, kHeight, AV_PIX_FMT_BGR24, kWidth, kHeight, AV_PIX_FMT_YUVJ420P,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr);
    AVPacket* packet = av_packet_alloc();
    int frame = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        const BYTE* planes[1] = {Frames()[frame % kFrames].GetPixelBuffer()};
        const int steps[1] = {kWidth * 3};
        av_frame_make_writable(yuv);
        sws_scale(sws, planes, steps, 0, kHeight, yuv->data, yuv->linesize);
        yuv->pts = frame++;
        yuv->quality = c->global_quality;
        avcodec_send_frame(c, yuv);
        avcodec_receive_packet(c, packet);
        bytes += size_t(packet->size);
        av_packet_unref(packet);
    }
    state.counters["frames/s"] = benchmark::Counter(double(frame), benchmark::Counter::kIsRate);
    state.counters["KB/frame"] = double(bytes) / frame / 1024;
    av_packet_free(&packet);
    sws_freeContext(sws);
    av_frame_free(&yuv);
    avcodec_free_context(&c);
}

void OursPlay(benchmark::State& state) {
    CAVIEdit avi;
    avi.OpenFile(Recording().c_str());
    CImageBuffer image(CSize(kWidth, kHeight), 24);
    int frame = 0;
    for (auto _ : state) avi.ReadFrame(&image, frame++ % kFrames);
    state.counters["frames/s"] = benchmark::Counter(double(frame), benchmark::Counter::kIsRate);
}

void FfmpegPlay(benchmark::State& state) {
    // The same compressed frames, read from the same file.
    CAVIFile file;
    file.Open(Recording().c_str());
    std::vector<std::vector<BYTE>> jpegs;
    std::vector<BYTE> buffer(kWidth * kHeight * 4);
    for (int f = 0; f < kFrames; ++f) {
        file.ReadFrame(f, buffer.data(), int(buffer.size()));
        jpegs.emplace_back(buffer);
    }
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->thread_count = 1;
    avcodec_open2(c, codec, nullptr);
    AVFrame* yuv = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    SwsContext* sws = nullptr;
    CImageBuffer image(CSize(kWidth, kHeight), 24);
    CAVIEdit sizes; // frame sizes as stored
    sizes.OpenFile(Recording().c_str());
    std::vector<int> lengths;
    for (int f = 0; f < kFrames; ++f) {
        int read = 0;
        sizes.ReadFrame(&image, f, &read);
        lengths.push_back(read);
    }
    int frame = 0;
    for (auto _ : state) {
        const int f = frame++ % kFrames;
        av_new_packet(packet, lengths[f]);
        std::copy(jpegs[f].begin(), jpegs[f].begin() + lengths[f], packet->data);
        avcodec_send_packet(c, packet);
        av_packet_unref(packet);
        avcodec_receive_frame(c, yuv);
        sws = sws_getCachedContext(sws, kWidth, kHeight, AVPixelFormat(yuv->format), kWidth, kHeight,
                                   AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
        BYTE* planes[1] = {image.GetPixelBuffer()};
        const int steps[1] = {kWidth * 3};
        sws_scale(sws, yuv->data, yuv->linesize, 0, kHeight, planes, steps);
        av_frame_unref(yuv);
    }
    state.counters["frames/s"] = benchmark::Counter(double(frame), benchmark::Counter::kIsRate);
    sws_freeContext(sws);
    av_packet_free(&packet);
    av_frame_free(&yuv);
    avcodec_free_context(&c);
}

} // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR); // swscale warns of the full-range YUV format on every frame
    benchsupport::RunPairs(argc, argv,
                           {{"MJPG record 1080p", OursRecord, "FFmpeg mjpeg + swscale", FfmpegRecord},
                            {"MJPG play 1080p", OursPlay, "FFmpeg mjpeg + swscale", FfmpegPlay}});
    std::remove(Recording().c_str());
}
