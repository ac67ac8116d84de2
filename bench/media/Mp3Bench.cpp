// MP3 encoding of ten minutes of stereo sound at 44.1 kHz: CLameMP3 through
// libzep3mp3.so, fed in pieces of 50 ms as an application records them,
// against the lame command-line encoder on the same samples in a WAV file.
// Both run libmp3lame with the same settings: 128 kbit/s CBR, joint stereo,
// no bit reservoir, no VBR/Info tag, no ReplayGain analysis (their files are
// byte for byte the same). Wall-clock time is compared; cpu_s gives the CPU
// seconds each used, which tells more on a loaded machine.
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

const int kRate = 44100;
const int kSeconds = 600;

std::string g_folder;
std::vector<short> g_samples; // interleaved stereo

// Chords that move every few seconds, with a little noise: work for the
// psychoacoustic model that pure tones would not give.
void MakeSamples() {
    const size_t frames = size_t(kRate) * kSeconds;
    g_samples.resize(frames * 2);
    uint32_t noise = 12345;
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / kRate, base = 110.0 * (1 + int(t / 3) % 5);
        for (int c = 0; c < 2; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double v = 6000 * std::sin(2 * M_PI * base * (1 + c * 0.01) * t) +
                             3000 * std::sin(2 * M_PI * base * 1.5 * t) + 1500 * std::sin(2 * M_PI * base * 2.52 * t) +
                             double(int(noise >> 20) - 2048);
            g_samples[2 * i + c] = short(v);
        }
    }
}

bool WriteWave(const std::string& path) {
    CWaveFileHeader header;
    const DWORD bytes = DWORD(g_samples.size() * sizeof(short));
    std::memcpy(header.m_RiffTag, "RIFF", 4);
    header.m_RiffSize = 36 + bytes;
    std::memcpy(header.m_WaveTag, "WAVE", 4);
    std::memcpy(header.m_FmtTag, "fmt ", 4);
    header.m_FmtSize = 16;
    header.m_FormatTag = WAVE_FORMAT_PCM;
    header.m_Channels = 2;
    header.m_SamplesPerSec = kRate;
    header.m_AvgBytesPerSec = kRate * 4;
    header.m_BlockAlign = 4;
    header.m_BitsPerSample = 16;
    std::memcpy(header.m_DataTag, "data", 4);
    header.m_DataSize = bytes;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(&header, sizeof header, 1, f) == 1 &&
                    std::fwrite(g_samples.data(), sizeof(short), g_samples.size(), f) == g_samples.size();
    return std::fclose(f) == 0 && ok;
}

// CPU seconds used so far by this process (who = RUSAGE_SELF) or by its
// finished children (RUSAGE_CHILDREN): the fair measure on a loaded machine.
double CpuSeconds(int who) {
    rusage usage;
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Ours(benchmark::State& state) {
    const std::string out = g_folder + "/ours.mp3";
    const size_t piece = kRate / 20 * 2;
    const double cpu = CpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        CLameMP3 mp3;
        if (!mp3.LoadLibraryA(ZEP3_MP3_MODULE) ||
            !mp3.InitStream(out.c_str(), kRate, true, LQP_NOPRESET, 128, 0, MPEG1)) {
            state.SkipWithError("the encoder module did not start");
            return;
        }
        for (size_t at = 0; at < g_samples.size(); at += piece)
            mp3.EncodeChunk(&g_samples[at], int(std::min(piece, g_samples.size() - at)));
        mp3.CloseStream();
    }
    state.counters["cpu_s"] = benchmark::Counter(CpuSeconds(RUSAGE_SELF) - cpu, benchmark::Counter::kAvgIterations);
}

void LameCommand(benchmark::State& state) {
    const std::string command = "lame --quiet -b 128 -m j --nores -t --noreplaygain '" + g_folder + "/in.wav' '" +
                                g_folder + "/peer.mp3'";
    const double cpu = CpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("lame failed");
    state.counters["cpu_s"] =
        benchmark::Counter(CpuSeconds(RUSAGE_CHILDREN) - cpu, benchmark::Counter::kAvgIterations);
}

} // namespace

int main(int argc, char** argv) {
    g_folder = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/zep3-mp3bench-XXXXXX";
    if (!mkdtemp(&g_folder[0])) return 1;
    MakeSamples();
    if (!WriteWave(g_folder + "/in.wav")) return 1;
    benchsupport::RunPairs(argc, argv,
                           {{"MP3 encode 10 min stereo", Ours, "lame command line", LameCommand, benchsupport::Timing::Real}});
    for (const char* name : {"in.wav", "ours.mp3", "peer.mp3"}) unlink((g_folder + "/" + name).c_str());
    rmdir(g_folder.c_str());
    return 0;
}
