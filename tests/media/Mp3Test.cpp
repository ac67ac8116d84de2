// CLameMP3 with the project's encoder module: the files it writes are
// decoded by ffprobe and mpg123; stub modules give the failure cases.
#include "AviTestUtil.h"
#include "support/TestSupport.h"

#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using zep3test::TempDir;

namespace {

class Encoder : public CLameMP3 {
public:
    const BE_CONFIG& Config() const { return m_Config; }
    DWORD ChunkSize() const { return m_ChunkSize; }
};

// Interleaved 16-bit samples: 440 Hz on the left, 660 Hz on the right.
std::vector<short> Tone(int frames, int channels, int rate) {
    std::vector<short> samples;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(short(12000 * std::sin(2 * M_PI * (440 + 220 * c) * i / rate)));
    return samples;
}

// Pushes the samples in pieces of `piece`.
bool Encode(CLameMP3& mp3, std::vector<short>& samples, size_t piece) {
    for (size_t at = 0; at < samples.size(); at += piece)
        if (!mp3.EncodeChunk(&samples[at], int(std::min(piece, samples.size() - at)))) return false;
    return true;
}

struct Decoded {
    int rate = 0, channels = 0;
    double seconds = 0;
};

// What ffprobe reads from the file's headers and frames.
Decoded FfProbe(const std::string& path) {
    auto e = avitest::FfProbeEntries(path, "-select_streams a:0 -show_entries stream=sample_rate,channels:format=duration");
    Decoded d;
    d.rate = std::atoi(e["sample_rate"].c_str()), d.channels = std::atoi(e["channels"].c_str());
    d.seconds = std::atof(e["duration"].c_str());
    return d;
}

// What mpg123 decodes, read back as a wave file.
Decoded Mpg123(const std::string& path, const std::string& wav) {
    Decoded d;
    CMmioWaveFile decoded;
    if (zep3test::runCommand("mpg123 -q -w '" + wav + "' '" + path + "'") != 0 || !decoded.Open(wav.c_str())) return d;
    d.rate = int(decoded.GetHeader()->nSamplesPerSec);
    d.channels = decoded.GetHeader()->nChannels;
    d.seconds = double(decoded.GetDataLength()) / decoded.GetHeader()->nBlockAlign / d.rate;
    return d;
}

template <class T> void Put(std::vector<unsigned char>& record, size_t offset, T value) {
    std::memcpy(record.data() + offset, &value, sizeof value);
}

} // namespace

TEST(LameMP3, FilesDecodeWithTheConfiguredRateChannelsAndLength) {
    TempDir dir;
    struct Case {
        int rate;
        bool stereo;
        int bitrate, resample, version, expectedRate;
    };
    for (const Case& c : {Case{44100, true, 128, 0, MPEG1, 44100}, Case{22050, false, 48, 0, MPEG2, 22050},
                          Case{44100, true, 96, 32000, MPEG1, 32000}}) {
        SCOPED_TRACE(std::to_string(c.rate) + (c.stereo ? " stereo" : " mono") + " -> " +
                     std::to_string(c.expectedRate));
        const std::string path = dir.file("out.mp3");
        Encoder mp3;
        ASSERT_TRUE(mp3.LoadLibraryA(ZEP3_MP3_MODULE));
        ASSERT_TRUE(mp3.InitStream(path.c_str(), c.rate, c.stereo, LQP_NOPRESET, c.bitrate, c.resample, c.version));
        std::vector<short> samples = Tone(5 * c.rate, c.stereo ? 2 : 1, c.rate);
        ASSERT_TRUE(Encode(mp3, samples, 1001));
        ASSERT_TRUE(mp3.CloseStream());
        for (const Decoded& d : {FfProbe(path), Mpg123(path, dir.file("decoded.wav"))}) {
            EXPECT_EQ(c.expectedRate, d.rate);
            EXPECT_EQ(c.stereo ? 2 : 1, d.channels);
            EXPECT_NEAR(5.0, d.seconds, 5.0 * 0.02);
        }
    }
}

TEST(LameMP3, PiecesOfAnySizeMakeTheSameFile) {
    TempDir dir;
    std::vector<short> samples = Tone(44100, 2, 44100);
    std::string files[2];
    for (size_t piece : {samples.size(), size_t(1)}) {
        const std::string path = dir.file("piece" + std::to_string(piece) + ".mp3");
        CLameMP3 mp3;
        ASSERT_TRUE(mp3.LoadLibraryA(ZEP3_MP3_MODULE));
        ASSERT_TRUE(mp3.InitStream(path.c_str(), 44100, true, LQP_NOPRESET, 128, 0, MPEG1));
        ASSERT_TRUE(Encode(mp3, samples, piece));
        ASSERT_TRUE(mp3.CloseStream());
        files[piece == 1] = zep3test::readFile(path);
    }
    EXPECT_GT(files[0].size(), 10000u);
    EXPECT_TRUE(files[0] == files[1]);
}

TEST(LameMP3, LessThanOneChunkIsWrittenByCloseStream) {
    TempDir dir;
    const std::string path = dir.file("short.mp3");
    Encoder mp3;
    ASSERT_TRUE(mp3.LoadLibraryA(ZEP3_MP3_MODULE));
    ASSERT_TRUE(mp3.InitStream(path.c_str(), 44100, false, LQP_NOPRESET, 64, 0, MPEG1));
    EXPECT_EQ(1152u, mp3.ChunkSize());
    std::vector<short> samples = Tone(1000, 1, 44100);
    ASSERT_TRUE(mp3.EncodeChunk(samples.data(), 1000));
    EXPECT_TRUE(zep3test::readFile(path).empty());
    EXPECT_TRUE(mp3.CloseStream() && !zep3test::readFile(path).empty());
    EXPECT_FALSE(mp3.EncodeChunk(samples.data(), 10)) << "the stream is closed";
}

TEST(LameMP3, TheConfigurationRecordIsFilledByteForByte) {
    TempDir dir;
    Encoder mp3;
    ASSERT_TRUE(mp3.LoadLibraryA(ZEP3_MP3_MODULE));
    ASSERT_TRUE(mp3.InitStream(dir.file("a.mp3").c_str(), 48000, true, LQP_HIGH_QUALITY, 192, 0, MPEG1));
    EXPECT_EQ(2304u, mp3.ChunkSize());
    std::vector<unsigned char> expected(331, 0);
    Put<DWORD>(expected, 0, 256);   // the LAME kind
    Put<DWORD>(expected, 4, 1);     // structure version
    Put<DWORD>(expected, 8, 331);   // structure size
    Put<DWORD>(expected, 12, 48000);
    Put<LONG>(expected, 20, 1);     // joint stereo
    Put<DWORD>(expected, 24, 192);
    Put<LONG>(expected, 32, LQP_HIGH_QUALITY);
    Put<DWORD>(expected, 36, MPEG1);
    Put<BOOL>(expected, 60, 1);     // original
    Put<INT>(expected, 80, -1);     // no VBR method
    Put<BOOL>(expected, 84, 1);     // no bit reservoir
    EXPECT_EQ(0, std::memcmp(expected.data(), &mp3.Config(), 331));
    ASSERT_TRUE(mp3.InitStream(dir.file("b.mp3").c_str(), 16000, false, LQP_NOPRESET, 32, 0, MPEG2));
    EXPECT_EQ(3, mp3.Config().format.LHV1.nMode);
    EXPECT_EQ(576u, mp3.ChunkSize()) << "one MPEG-2 frame of mono samples";
}

TEST(LameMP3, NothingHappensWithoutAModule) {
    TempDir dir;
    CLameMP3 mp3;
    short samples[4] = {};
    EXPECT_FALSE(mp3.EncodeChunk(samples, 4) || mp3.CloseStream() ||
                 mp3.InitStream(dir.file("a.mp3").c_str(), 44100, true, LQP_NOPRESET, 128, 0, MPEG1));
    EXPECT_TRUE(zep3test::readFile(dir.file("a.mp3")).empty());
    EXPECT_FALSE(mp3.LoadLibraryA(dir.file("missing.so").c_str()));
    EXPECT_FALSE(mp3.LoadLibraryA(ZEP3_MP3_INCOMPLETE)) << "beWriteVBRHeader is missing";
    EXPECT_FALSE(mp3.InitStream(dir.file("a.mp3").c_str(), 44100, true, LQP_NOPRESET, 128, 0, MPEG1));
    EXPECT_TRUE(mp3.LoadLibraryA("libzep3mp3.so")) << "found beside the library";
    EXPECT_FALSE(mp3.LoadLibraryA(ZEP3_MP3_INCOMPLETE)) << "the good module is released first";
    EXPECT_FALSE(mp3.EncodeChunk(samples, 4));
}

TEST(LameMP3, TheEncoderRefusingOrFailingEndsTheStream) {
    TempDir dir;
    CLameMP3 mp3;
    ASSERT_TRUE(mp3.LoadLibraryA(ZEP3_MP3_MODULE));
    EXPECT_FALSE(mp3.InitStream(dir.file("refused.mp3").c_str(), 0, true, LQP_NOPRESET, 128, 0, MPEG1));
    CFileStatus status;
    EXPECT_TRUE(CFile::GetStatus(dir.file("refused.mp3").c_str(), status)) << "created before the encoder refused";
    EXPECT_FALSE(mp3.InitStream((dir.path() + "/no/such/folder.mp3").c_str(), 44100, true, LQP_NOPRESET, 128, 0, MPEG1));

    ASSERT_TRUE(mp3.LoadLibraryA(ZEP3_MP3_FAILING));
    const std::string path = dir.file("failing.mp3");
    ASSERT_TRUE(mp3.InitStream(path.c_str(), 8000, false, LQP_NOPRESET, 8, 0, MPEG2));
    short samples[10] = {};
    EXPECT_FALSE(mp3.EncodeChunk(samples, 10)) << "the second chunk fails";
    EXPECT_EQ("abcZ", zep3test::readFile(path)) << "the stream was flushed and the file closed";
    auto closed = reinterpret_cast<int (*)()>(GetProcAddress(GetModuleHandle(ZEP3_MP3_FAILING), "stubStreamsClosed"));
    ASSERT_TRUE(closed && closed() == 1);
    EXPECT_FALSE(mp3.EncodeChunk(samples, 10));
}
