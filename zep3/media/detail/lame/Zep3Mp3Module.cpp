// libzep3mp3.so: the Blade-style MP3 encoder entry points over libmp3lame,
// loaded at run time by CLameMP3. Not part of libzep3.so.
//
// A stream handle is a number from a table of open encoders. The chunk a
// stream takes is one MPEG frame of input (1152 or 576 samples per channel,
// times the channels); beEncodeChunk refuses more than that, which keeps the
// output within the buffer size beInitStream reported. Nothing is printed:
// libmp3lame's messages are dropped.
#include <zep3/media/BladeMP3Enc.h>

#include <lame/lame.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#define ZEP3MP3_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Stream {
    lame_global_flags* lame;
    int channels;
    DWORD chunkSamples;
    DWORD bufferSize;
};

std::mutex g_lock;
std::map<HBE_STREAM, Stream> g_streams;
HBE_STREAM g_nextHandle = 1;
std::vector<unsigned char> g_lastTag; // the VBR header of the last stream that asked for one

bool FindStream(HBE_STREAM handle, Stream& stream) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_streams.find(handle);
    if (it == g_streams.end()) return false;
    stream = it->second;
    return true;
}

void Quiet(const char*, va_list) {}

// The settings both configuration kinds share.
struct Settings {
    DWORD sampleRate = 0, resampleRate = 0, bitrate = 0, maxBitrate = 0, mpegVersion = MPEG1, emphasis = 0;
    LONG mode = BE_MP3_MODE_JSTEREO, preset = LQP_NOPRESET;
    bool isPrivate = false, crc = false, copyright = false, original = true, vbrHeader = false, vbr = false,
         noReservoir = false, strictIso = false;
    int vbrQuality = 4, abrKbps = 0, quality = -1;
    VBRMETHOD vbrMethod = VBR_METHOD_NONE;
};

bool ReadConfig(const BE_CONFIG& config, Settings& s) {
    if (config.dwConfig == BE_CONFIG_MP3) {
        const auto& c = config.format.mp3;
        s.sampleRate = c.dwSampleRate;
        s.mode = c.byMode;
        s.bitrate = c.wBitrate;
        s.isPrivate = c.bPrivate, s.crc = c.bCRC, s.copyright = c.bCopyright, s.original = c.bOriginal;
        return true;
    }
    if (config.dwConfig != BE_CONFIG_LAME) return false;
    const auto& c = config.format.LHV1;
    if (c.dwStructVersion < 1 || c.dwStructSize < CURRENT_STRUCT_SIZE) return false;
    s.sampleRate = c.dwSampleRate, s.resampleRate = c.dwReSampleRate, s.mode = c.nMode;
    s.bitrate = c.dwBitrate, s.maxBitrate = c.dwMaxBitrate, s.preset = c.nPreset, s.mpegVersion = c.dwMpegVersion;
    s.emphasis = c.dwEmphasis;
    s.isPrivate = c.bPrivate, s.crc = c.bCRC, s.copyright = c.bCopyright, s.original = c.bOriginal;
    s.vbrHeader = c.bWriteVBRHeader, s.vbr = c.bEnableVBR, s.vbrQuality = c.nVBRQuality;
    s.abrKbps = static_cast<int>(c.dwVbrAbr_bps / 1000), s.vbrMethod = c.nVbrMethod;
    s.noReservoir = c.bNoRes, s.strictIso = c.bStrictIso;
    const int low = c.nQuality & 0xFF, high = c.nQuality >> 8;
    if (high == (~low & 0xFF)) s.quality = low;
    return true;
}

// The output rate that the MPEG version asks for when the caller leaves the
// choice to the encoder: the rate of that version in the input's family
// (32, 44.1 or 48 kHz and their halves and quarters); 0 lets libmp3lame choose.
int RateForVersion(DWORD inputRate, DWORD version) {
    static const int families[3][3] = {{32000, 16000, 8000}, {44100, 22050, 11025}, {48000, 24000, 12000}};
    for (const auto& family : families)
        for (int rate : family)
            if (static_cast<DWORD>(rate) == inputRate) return version == MPEG1 ? family[0] : version == MPEG2 ? family[1] : 0;
    return 0;
}

// The quality presets of the interface that name a libmp3lame preset; 0 for none.
int LamePreset(LONG preset, DWORD bitrate) {
    switch (preset) {
    case LQP_R3MIX: return R3MIX;
    case LQP_STANDARD: return STANDARD;
    case LQP_FAST_STANDARD: return STANDARD_FAST;
    case LQP_EXTREME: return EXTREME;
    case LQP_FAST_EXTREME: return EXTREME_FAST;
    case LQP_INSANE: return INSANE;
    case LQP_MEDIUM: return MEDIUM;
    case LQP_FAST_MEDIUM: return MEDIUM_FAST;
    case LQP_ABR: return bitrate >= 8 && bitrate <= 320 ? static_cast<int>(bitrate) : 0;
    default: return 0;
    }
}

int PresetQuality(LONG preset) {
    switch (preset) {
    case LQP_LOW_QUALITY: return 9;
    case LQP_HIGH_QUALITY: return 2;
    case LQP_VERYHIGH_QUALITY: return 0;
    default: return -1;
    }
}

bool Apply(lame_global_flags* lame, const Settings& s) {
    if (s.sampleRate == 0 || s.mode < 0 || s.mode > 3) return false;
    const bool mono = s.mode == BE_MP3_MODE_MONO;
    lame_set_num_channels(lame, mono ? 1 : 2);
    lame_set_in_samplerate(lame, static_cast<int>(s.sampleRate));
    const int preset = LamePreset(s.preset, s.bitrate);
    if (preset) lame_set_preset(lame, preset);
    const int outRate = s.resampleRate ? static_cast<int>(s.resampleRate) : RateForVersion(s.sampleRate, s.mpegVersion);
    if (outRate) lame_set_out_samplerate(lame, outRate);
    static const MPEG_mode modes[] = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
    lame_set_mode(lame, modes[s.mode]);
    if (!preset) {
        if (s.vbr) {
            switch (s.vbrMethod) {
            case VBR_METHOD_OLD: lame_set_VBR(lame, vbr_rh); break;
            case VBR_METHOD_ABR:
                lame_set_VBR(lame, vbr_abr);
                lame_set_VBR_mean_bitrate_kbps(lame, s.abrKbps);
                break;
            default: lame_set_VBR(lame, vbr_mtrh); break;
            }
            lame_set_VBR_q(lame, s.vbrQuality < 0 ? 0 : s.vbrQuality > 9 ? 9 : s.vbrQuality);
            if (s.bitrate) lame_set_VBR_min_bitrate_kbps(lame, static_cast<int>(s.bitrate));
            if (s.maxBitrate) lame_set_VBR_max_bitrate_kbps(lame, static_cast<int>(s.maxBitrate));
        } else {
            lame_set_VBR(lame, vbr_off);
            if (s.bitrate) lame_set_brate(lame, static_cast<int>(s.bitrate));
        }
    }
    const int quality = s.quality >= 0 ? s.quality : PresetQuality(s.preset);
    if (quality >= 0) lame_set_quality(lame, quality);
    lame_set_emphasis(lame, static_cast<int>(s.emphasis));
    lame_set_extension(lame, s.isPrivate);
    lame_set_error_protection(lame, s.crc);
    lame_set_copyright(lame, s.copyright);
    lame_set_original(lame, s.original);
    lame_set_bWriteVbrTag(lame, s.vbrHeader);
    lame_set_disable_reservoir(lame, s.noReservoir);
    lame_set_strict_ISO(lame, s.strictIso);
    return lame_init_params(lame) >= 0;
}

} // namespace

ZEP3MP3_EXPORT BE_ERR beInitStream(PBE_CONFIG config, DWORD* samples, DWORD* bufferSize, PHBE_STREAM handle) {
    if (!config || !samples || !bufferSize || !handle) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    Settings settings;
    if (!ReadConfig(*config, settings)) return BE_ERR_INVALID_FORMAT;
    lame_global_flags* lame = lame_init();
    if (!lame) return BE_ERR_NO_MORE_HANDLES;
    lame_set_errorf(lame, Quiet);
    lame_set_debugf(lame, Quiet);
    lame_set_msgf(lame, Quiet);
    if (!Apply(lame, settings)) {
        lame_close(lame);
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    Stream stream;
    stream.lame = lame;
    stream.channels = lame_get_num_channels(lame);
    const DWORD frames = static_cast<DWORD>(lame_get_framesize(lame));
    stream.chunkSamples = frames * static_cast<DWORD>(stream.channels);
    // libmp3lame's worst case for one call, counted in output samples.
    const DWORD outFrames = static_cast<DWORD>(
        uint64_t(frames) * lame_get_out_samplerate(lame) / static_cast<DWORD>(lame_get_in_samplerate(lame)) + 1);
    stream.bufferSize = outFrames * 5 / 4 + 7200;
    std::lock_guard<std::mutex> hold(g_lock);
    *handle = g_nextHandle++;
    g_streams[*handle] = stream;
    *samples = stream.chunkSamples;
    *bufferSize = stream.bufferSize;
    return BE_ERR_SUCCESSFUL;
}

ZEP3MP3_EXPORT BE_ERR beEncodeChunk(HBE_STREAM handle, DWORD samples, SHORT* pcm, BYTE* output, DWORD* outputSize) {
    Stream s;
    if (!FindStream(handle, s)) return BE_ERR_INVALID_HANDLE;
    if (!outputSize || !output || (!pcm && samples) || samples > s.chunkSamples)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *outputSize = 0;
    const int frames = static_cast<int>(samples) / s.channels;
    const int bytes = s.channels == 2
                          ? lame_encode_buffer_interleaved(s.lame, pcm, frames, output, static_cast<int>(s.bufferSize))
                          : lame_encode_buffer(s.lame, pcm, pcm, frames, output, static_cast<int>(s.bufferSize));
    if (bytes == -1) return BE_ERR_BUFFER_TOO_SMALL;
    if (bytes < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *outputSize = static_cast<DWORD>(bytes);
    return BE_ERR_SUCCESSFUL;
}

ZEP3MP3_EXPORT BE_ERR beDeinitStream(HBE_STREAM handle, BYTE* output, DWORD* outputSize) {
    Stream s;
    if (!FindStream(handle, s)) return BE_ERR_INVALID_HANDLE;
    if (!output || !outputSize) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *outputSize = 0;
    const int bytes = lame_encode_flush(s.lame, output, static_cast<int>(s.bufferSize));
    if (bytes < 0) return BE_ERR_BUFFER_TOO_SMALL;
    *outputSize = static_cast<DWORD>(bytes);
    if (lame_get_bWriteVbrTag(s.lame)) {
        std::vector<unsigned char> tag(lame_get_lametag_frame(s.lame, nullptr, 0));
        tag.resize(lame_get_lametag_frame(s.lame, tag.data(), tag.size()));
        std::lock_guard<std::mutex> hold(g_lock);
        g_lastTag.swap(tag);
    }
    return BE_ERR_SUCCESSFUL;
}

ZEP3MP3_EXPORT BE_ERR beCloseStream(HBE_STREAM handle) {
    Stream s;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        auto it = g_streams.find(handle);
        if (it == g_streams.end()) return BE_ERR_INVALID_HANDLE;
        s = it->second;
        g_streams.erase(it);
    }
    lame_close(s.lame);
    return BE_ERR_SUCCESSFUL;
}

ZEP3MP3_EXPORT void beVersion(PBE_VERSION version) {
    if (!version) return;
    std::memset(version, 0, sizeof *version);
    lame_version_t lame;
    get_lame_version_numerical(&lame);
    version->byDLLMajorVersion = 1;
    version->byMajorVersion = static_cast<BYTE>(lame.major);
    version->byMinorVersion = static_cast<BYTE>(lame.minor);
    version->byAlphaLevel = static_cast<BYTE>(lame.alpha);
    version->byBetaLevel = static_cast<BYTE>(lame.beta);
    std::snprintf(version->zHomepage, sizeof version->zHomepage, "%s", get_lame_url());
}

// Writes the VBR header of the last stream that asked for one over the
// first frame of fileName, which the encoder kept free for it.
ZEP3MP3_EXPORT BE_ERR beWriteVBRHeader(const char* fileName) {
    std::vector<unsigned char> tag;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        tag = g_lastTag;
    }
    if (!fileName || tag.empty()) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    FILE* file = std::fopen(fileName, "r+be");
    if (!file) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const bool written = std::fwrite(tag.data(), 1, tag.size(), file) == tag.size();
    return std::fclose(file) == 0 && written ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}
