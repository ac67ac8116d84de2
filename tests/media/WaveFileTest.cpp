// CWaveFile, CMmioWaveFile and CWaveFileHeader on files made by sox and by
// python3's wave module, and on files built here chunk by chunk.
#include "support/TestSupport.h"

#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/stat.h>

using zep3test::TempDir;

namespace {

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
    return s;
}

// A chunk with its pad byte when the size is odd.
std::string Chunk(const char* id, const std::string& data) {
    return std::string(id, 4) + Le(uint32_t(data.size()), 4) + data + (data.size() % 2 ? std::string(1, '\0') : "");
}

// A PCM format chunk's data; extra (when given) follows a cbSize field.
std::string Format(int channels, int rate, int bits, const std::string* extra = nullptr, int tag = 1) {
    const int align = channels * bits / 8;
    std::string f = Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * align, 4) + Le(align, 2) + Le(bits, 2);
    if (extra) f += Le(uint32_t(extra->size()), 2) + *extra;
    return f;
}

std::string Riff(const std::string& body) { return "RIFF" + Le(uint32_t(4 + body.size()), 4) + "WAVE" + body; }

std::string Bytes(size_t count) {
    std::string s(count, '\0');
    for (size_t i = 0; i < count; ++i) s[i] = char(i * 7 + 3);
    return s;
}

// Everything ReadData gives, read in pieces of 1000 bytes.
template <class File> std::string ReadAll(File& file) {
    std::string all;
    char piece[1000];
    for (int n; (n = file.ReadData(piece, sizeof piece)) > 0;) all.append(piece, size_t(n));
    return all;
}

struct Files {
    TempDir dir;
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(zep3test::writeFile(path, bytes));
        return path;
    }
};

} // namespace

TEST(WaveFile, FilesFromSoxAndPythonAreRead) {
    Files files;
    const std::string sox = files.dir.file("sox.wav"), py = files.dir.file("py.wav");
    ASSERT_EQ(0, zep3test::runCommand("sox -n -r 8000 -c 1 -b 16 " + sox + " synth 0.25 sine 440"));
    ASSERT_EQ(0, zep3test::runCommand("python3 -c \"import wave; w = wave.open('" + py +
                                      "', 'wb'); w.setnchannels(2); w.setsampwidth(2); w.setframerate(22050); "
                                      "w.writeframes(bytes(range(256)) * 40); w.close()\""));
    struct Expected {
        std::string path;
        int bytes;
    };
    for (const Expected& e : {Expected{sox, 4000}, Expected{py, 10240}}) {
        SCOPED_TRACE(e.path);
        const std::string file = zep3test::readFile(e.path);
        CWaveFile wave;
        ASSERT_TRUE(wave.Open(e.path.c_str()));
        EXPECT_EQ(0, std::memcmp(&wave.GetHeader(), file.data(), 44));
        EXPECT_FALSE(wave.IsCompressed());
        EXPECT_EQ(e.bytes, wave.GetDataLength());
        EXPECT_TRUE(ReadAll(wave) == file.substr(44));
        CMmioWaveFile mmio;
        ASSERT_TRUE(mmio.Open(e.path.c_str()));
        EXPECT_EQ(0, std::memcmp(mmio.GetHeader(), file.data() + 20, 16));
        EXPECT_EQ(e.bytes, mmio.GetDataLength());
        EXPECT_TRUE(ReadAll(mmio) == file.substr(44));
    }
}

TEST(WaveFile, ExtensibleFormatWithFactChunkNeedsTheChunkReader) {
    Files files;
    const std::string path = files.dir.file("24bit.wav");
    ASSERT_EQ(0, zep3test::runCommand("sox -n -r 44100 -c 2 -b 24 " + path + " synth 0.1 sine 440"));
    CWaveFile wave;
    EXPECT_FALSE(wave.Open(path.c_str())) << "a \"fact\" chunk lies between \"fmt \" and \"data\"";
    CMmioWaveFile mmio;
    ASSERT_TRUE(mmio.Open(path.c_str()));
    EXPECT_TRUE(mmio.GetHeader()->wFormatTag == 0xFFFE && mmio.GetHeader()->cbSize == 22 && mmio.IsCompressed());
    EXPECT_EQ(4410 * 6, mmio.GetDataLength());
    EXPECT_EQ(size_t(4410 * 6), ReadAll(mmio).size());
}

TEST(WaveFile, ChunksBeforeBetweenAndAfterAreSkippedByTheChunkReader) {
    Files files;
    const std::string samples = Bytes(3001), info("INFOISFT\x05\0\0\0zep3\0", 17); // odd sizes throughout
    const std::string path = files.Write("chunks.wav", Riff(Chunk("junk", "abc") + Chunk("fmt ", Format(1, 8000, 8)) +
                                                            Chunk("LIST", info) + Chunk("data", samples) +
                                                            Chunk("LIST", info)));
    CWaveFile wave;
    EXPECT_FALSE(wave.Open(path.c_str()));
    CMmioWaveFile mmio;
    ASSERT_TRUE(mmio.Open(path.c_str()));
    EXPECT_EQ(3001, mmio.GetDataLength());
    EXPECT_TRUE(ReadAll(mmio) == samples) << "reading stops at the end of the data chunk";
}

TEST(WaveFile, LongerFormatChunksAreSkippedOrKeptWhole) {
    Files files;
    const std::string none, extra = Bytes(998), samples = Bytes(800);
    for (const std::string* cb : {&none, &extra}) {
        const std::string path = files.Write("fmt.wav", Riff(Chunk("fmt ", Format(2, 11025, 16, cb)) +
                                                             Chunk("data", samples) + Chunk("LIST", "INFO")));
        SCOPED_TRACE(cb->size());
        CWaveFile wave;
        ASSERT_TRUE(wave.Open(path.c_str()));
        EXPECT_EQ(DWORD(18 + cb->size()), wave.GetHeader().m_FmtSize);
        EXPECT_TRUE(ReadAll(wave) == samples);
        CMmioWaveFile mmio;
        ASSERT_TRUE(mmio.Open(path.c_str()));
        EXPECT_EQ(0, std::memcmp(reinterpret_cast<const char*>(mmio.GetHeader()) + 18, cb->data(), cb->size()));
        EXPECT_TRUE(ReadAll(mmio) == samples);
    }
}

TEST(WaveFile, BadInputIsRefusedAndLeavesTheObjectsClosed) {
    Files files;
    const std::string fmt = Chunk("fmt ", Format(1, 8000, 16)), data = Chunk("data", Bytes(100));
    const std::string canonical = Riff(fmt + data);
    std::string rifx = canonical, hugeFormat = canonical;
    rifx[3] = 'X';
    hugeFormat[19] = '\x7F'; // the format chunk claims 2 GB
    // The plain reader takes an empty data chunk: only the chunk reader wants samples.
    const struct {
        const char* name;
        std::string bytes;
        int plainOpens; // -1: not asked
    } bad[] = {
        {"empty", "", false},
        {"truncated", canonical.substr(0, 30), false},
        {"rifx", rifx, false},
        {"not-wave", "RIFF" + Le(4 + uint32_t(fmt.size() + data.size()), 4) + "AVI " + fmt + data, false},
        {"no-data", Riff(fmt), false},
        {"no-fmt", Riff(data), false},
        {"short-fmt", Riff(Chunk("fmt ", Format(1, 8000, 16).substr(0, 10)) + data), -1},
        {"huge-fmt", hugeFormat, false},
        {"empty-data", Riff(fmt + Chunk("data", "")), true},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.name);
        const std::string path = files.Write(c.name, c.bytes);
        CMmioWaveFile mmio;
        char buffer[16];
        EXPECT_FALSE(mmio.Open(path.c_str()));
        EXPECT_TRUE(mmio.GetDataLength() == -1 && mmio.GetHeader() == nullptr && !mmio.IsCompressed());
        EXPECT_EQ(-1, mmio.ReadData(buffer, sizeof buffer));
        CWaveFile wave;
        if (c.plainOpens < 0) continue;
        EXPECT_EQ(c.plainOpens == 1, wave.Open(path.c_str()));
        EXPECT_EQ(c.plainOpens == 1, bool(wave.GetHeader().IsValid()));
    }
    CMmioWaveFile mmio;
    EXPECT_FALSE(mmio.Open(files.dir.file("missing.wav").c_str()) || mmio.Open(files.dir.path().c_str()) ||
                 mmio.Open(nullptr));
}

TEST(WaveFile, DataCutShortByTheFileEndIsReadAsFarAsItGoes) {
    Files files;
    std::string bytes = Riff(Chunk("fmt ", Format(1, 8000, 16)) + Chunk("data", Bytes(1000)));
    bytes.resize(bytes.size() - 400);
    const std::string path = files.Write("cut.wav", bytes);
    CMmioWaveFile mmio;
    ASSERT_TRUE(mmio.Open(path.c_str()));
    EXPECT_EQ(600, mmio.GetDataLength());
    EXPECT_TRUE(ReadAll(mmio) == Bytes(600));
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(path.c_str()));
    EXPECT_EQ(1000, wave.GetDataLength()) << "the header's own figure";
    EXPECT_TRUE(ReadAll(wave) == Bytes(600));
}

TEST(WaveFile, ReadDataAnswersZeroOrMinusOneForNothingToDo) {
    Files files;
    const std::string path = files.Write("a.wav", Riff(Chunk("fmt ", Format(1, 8000, 16)) + Chunk("data", Bytes(10))));
    char buffer[4];
    CWaveFile wave;
    EXPECT_EQ(0, wave.ReadData(buffer, sizeof buffer)) << "closed";
    ASSERT_TRUE(wave.Open(path.c_str()));
    EXPECT_TRUE(wave.ReadData(buffer, 0) == 0 && wave.ReadData(nullptr, 4) == 0);
    CMmioWaveFile mmio;
    ASSERT_TRUE(mmio.Open(path.c_str()));
    EXPECT_EQ(0, mmio.ReadData(buffer, 0));
    EXPECT_TRUE(mmio.ReadData(nullptr, 4) == -1 && mmio.ReadData(buffer, -1) == -1);
    // A name beyond 127 characters is cut, as the chunk reader's open does.
    const std::string longName = files.Write(std::string(140, 'w') + ".wav", zep3test::readFile(path));
    EXPECT_TRUE(wave.Open(longName.c_str()));
    EXPECT_FALSE(mmio.Open(longName.c_str()));
}

TEST(WaveFileHeader, IsTheFileStartByteForByte) {
    CWaveFileHeader header;
    const std::string zeros(44, '\0');
    EXPECT_FALSE(header.IsValid());
    const std::string start = Riff(Chunk("fmt ", Format(2, 44100, 16)) + Chunk("data", "")).substr(0, 44);
    std::memcpy(&header, start.data(), 44);
    EXPECT_TRUE(header.IsValid());
    EXPECT_TRUE(header.m_Channels == 2 && header.m_AvgBytesPerSec == 176400u);
    header.m_DataTag[0] = 'D';
    EXPECT_FALSE(header.IsValid());
    header.Clear();
    EXPECT_EQ(0, std::memcmp(&header, zeros.data(), 44));
}
