// Recordings written by CAVIEdit, checked by ffprobe and ffmpeg and read back.
#include "AviTestUtil.h"

#include "support/TestSupport.h"

#include <zep3/media/detail/AviRiff.h>

#include <gtest/gtest.h>

#include <cstring>

using avitest::Pattern;

namespace {

const DWORD kMJPG = mmioFOURCC('M', 'J', 'P', 'G');

struct CodecCase {
    const char* label;
    DWORD handler, compression;
    const char* ffmpegName;
    double minimumPsnr; // 99: identical
};
void PrintTo(const CodecCase& c, std::ostream* os) { *os << c.label; }

const CodecCase kCases[] = {
    {"uncompressed", 0, 0, "rawvideo", 99},
    {"MJPG", mmioFOURCC('m', 'j', 'p', 'g'), kMJPG, "mjpeg", 35},
    {"FMP4", mmioFOURCC('f', 'm', 'p', '4'), mmioFOURCC('F', 'M', 'P', '4'), "mpeg4", 30},
    {"XVID", mmioFOURCC('x', 'v', 'i', 'd'), mmioFOURCC('X', 'V', 'I', 'D'), "mpeg4", 30},
    {"H264", mmioFOURCC('h', '2', '6', '4'), mmioFOURCC('H', '2', '6', '4'), "h264", 30},
    {"FFV1", mmioFOURCC('f', 'f', 'v', '1'), mmioFOURCC('F', 'F', 'V', '1'), "ffv1", 99},
};

class Recording : public testing::TestWithParam<CodecCase> {};

// The same file through ffmpeg and through our reader: size, count, rate,
// codec, and pixels equal (lossless) or close (lossy).
TEST_P(Recording, ReadByFfmpegAndBackByTheLibrary) {
    const CodecCase& c = GetParam();
    zep3test::TempDir dir;
    const std::string path = dir.file("rec.avi");
    const int width = 320, height = 240, frames = 20;
    ASSERT_TRUE(avitest::Record(path, c.handler, c.compression, width, height, frames));

    const avitest::Probe probe = avitest::FfProbe(path);
    EXPECT_EQ(c.ffmpegName, probe.codec);
    EXPECT_TRUE(probe.width == width && probe.height == height && probe.frames == frames && probe.rate == "25/1");
    const std::string decoded = avitest::FfDecode(path);
    const size_t frameBytes = size_t(width) * height * 3;
    ASSERT_EQ(frameBytes * frames, decoded.size());

    CAVIEdit reader;
    int bitCount = 0;
    ASSERT_TRUE(reader.OpenFile(path.c_str(), &bitCount));
    EXPECT_TRUE(bitCount == 24 && reader.GetFrameCount() == frames && reader.GetFrameSize() == CSize(width, height));
    EXPECT_EQ(int(c.compression), reader.GetDecompressor());
    CImageBuffer image(CSize(width, height), 24);
    for (int f = 0; f < frames; ++f) {
        const CImageBuffer original = Pattern(width, height, f);
        const double ffmpegPsnr = avitest::Psnr(decoded.data() + f * frameBytes, original.GetPixelBuffer(), frameBytes);
        ASSERT_TRUE(reader.ReadFrame(&image, f)) << f;
        const double ourPsnr = avitest::Psnr(image.GetPixelBuffer(), original.GetPixelBuffer(), frameBytes);
        EXPECT_GE(ffmpegPsnr, c.minimumPsnr) << c.label << " frame " << f << " (ffmpeg)";
        EXPECT_GE(ourPsnr, c.minimumPsnr) << c.label << " frame " << f << " (ours)";
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, Recording, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CodecCase>& info) { return info.param.label; });

std::string StreamName(const std::string& path, LONG* height) {
    zep3::detail::AviReader reader;
    if (reader.Open(path, false) != AVIERR_OK) return "(unreadable)";
    BITMAPINFOHEADER format;
    std::memcpy(&format, reader.Format().data(), sizeof format);
    *height = format.biHeight;
    return reader.Info().szName;
}

// The stream name and the sign of the stored height tell later readers the
// row order; ffmpeg, which knows neither name, shows what is really stored.
TEST(AviRowOrder, NamesAndHeightsMarkTheRowOrder) {
    zep3test::TempDir dir;
    const int width = 64, height = 48;
    LONG stored = 0;
    const CImageBuffer first = Pattern(width, height, 0);
    CImageBuffer image(CSize(width, height), 24);

    ASSERT_TRUE(avitest::Record(dir.file("raw.avi"), 0, 0, width, height, 2));
    EXPECT_EQ("Dravolin", StreamName(dir.file("raw.avi"), &stored));
    EXPECT_EQ(-height, stored);

    ASSERT_TRUE(avitest::Record(dir.file("mjpg.avi"), kMJPG, kMJPG, width, height, 2, 25000, 10000));
    EXPECT_EQ("Dravolin", StreamName(dir.file("mjpg.avi"), &stored));
    EXPECT_EQ(height, stored);

    ASSERT_TRUE(avitest::Record(dir.file("nf.avi"), kMJPG, kMJPG, width, height, 2, 25000, 10000, true));
    EXPECT_EQ("Dravolin-NF", StreamName(dir.file("nf.avi"), &stored));
    EXPECT_EQ(height, stored);
    // Stored as it came: other readers see it upside down, we do not.
    const std::string upsideDown = avitest::FfDecode(dir.file("nf.avi"));
    EXPECT_GE(avitest::Psnr(upsideDown.data(), avitest::Flipped(first).GetPixelBuffer(), width * height * 3), 35);
    for (const char* name : {"raw.avi", "mjpg.avi", "nf.avi"}) {
        CAVIEdit reader;
        ASSERT_TRUE(reader.OpenFile(dir.file(name).c_str()));
        ASSERT_TRUE(reader.ReadFrame(&image, 0));
        EXPECT_GE(avitest::Psnr(image.GetPixelBuffer(), first.GetPixelBuffer(), width * height * 3), 35) << name;
    }
}

// An uncompressed frame stored bottom-up (positive height) by another
// writer is read as stored; ffmpeg's top-down files are read by the reader tests.
TEST(AviRowOrder, UncompressedBottomUpFramesAreReadAsStored) {
    zep3test::TempDir dir;
    BITMAPINFOHEADER bottomUp{};
    CAVIEdit::PrepareWriteDecompBi(&bottomUp, CSize(64, 48), 3);
    CAVIFile file;
    ASSERT_TRUE(file.Create(dir.file("up.avi").c_str(), 0, 10.0, &bottomUp));
    std::string bytes = avitest::Bytes(Pattern(64, 48, 0));
    ASSERT_TRUE(file.WriteFrame(0, &bytes[0], int(bytes.size()), true));
    file.Close();
    CAVIEdit reader;
    CImageBuffer image(CSize(64, 48), 24);
    ASSERT_TRUE(reader.OpenFile(dir.file("up.avi").c_str()));
    ASSERT_TRUE(reader.ReadFrame(&image, 0));
    EXPECT_TRUE(bytes == avitest::Bytes(image));
}

TEST(AviWrite, RatesCountersAndFirstFrameTime) {
    zep3test::TempDir dir;
    CAVIEdit avi;
    ASSERT_TRUE(avi.InitCompressor(CSize(32, 16), 3, nullptr, 0, 0));
    ASSERT_TRUE(avi.OpenFileWrite(dir.file("a.avi").c_str(), -1, true));
    EXPECT_EQ(5.0, avi.GetFramePerSecond()) << "the default rate";
    ASSERT_TRUE(avi.OpenFileWrite(dir.file("b.avi").c_str(), 12500, true));
    EXPECT_EQ(12.0, avi.GetFramePerSecond()) << "whole frames per second";

    const CImageBuffer image = Pattern(32, 16, 0);
    ASSERT_TRUE(avi.WriteFrame(&image, 0));
    ASSERT_TRUE(avi.WriteFrame(&image, 3)); // frames 1 and 2 are dropped (empty)
    EXPECT_EQ(2 * 32 * 16 * 3, avi.GetTotalBytesWritten());
    EXPECT_GT(avi.GetFirstFrameTime().m_Time.wYear, 2000);
    EXPECT_FALSE(avi.WriteFrame(&image, 3)); // no rewriting
    EXPECT_EQ("CAVIEdit::WriteFrame: AVIStreamWrite returned -2147205014. [Frame: 3, Size: 1536]",
              avi.GetErrorInfo().str());
    avi.CloseWriteFile();
    CAVIEdit reader;
    ASSERT_TRUE(reader.OpenFile(dir.file("b.avi").c_str()));
    EXPECT_TRUE(reader.GetFrameCount() == 4 && reader.GetFramePerSecond() == 12.0);
    CImageBuffer back(CSize(32, 16), 24);
    int bytes = -1;
    EXPECT_TRUE(reader.ReadFrame(&back, 2, &bytes));
    EXPECT_EQ(0, bytes);
    EXPECT_TRUE(reader.ReadFrame(&back, 3, &bytes));
    EXPECT_EQ(avitest::Bytes(image), avitest::Bytes(back));
}

TEST(AviWrite, FailuresGiveTheirTexts) {
    zep3test::TempDir dir;
    CAVIEdit avi;
    ASSERT_TRUE(avi.InitCompressor(CSize(32, 16), 3, nullptr, 0, 0));
    EXPECT_FALSE(avi.OpenFileWrite(dir.file("missing/a.avi").c_str(), 25000, false));
    EXPECT_EQ("CAVIEdit::OpenFileWrite: AVIFileOpen error: -2147205009", avi.GetErrorInfo().str());
    // A second recorder of the same file is kept out; the first one's file survives.
    ASSERT_TRUE(avi.OpenFileWrite(dir.file("a.avi").c_str(), 25000, false));
    const CImageBuffer image = Pattern(32, 16, 0);
    ASSERT_TRUE(avi.WriteFrame(&image, 0));
    CAVIEdit other;
    ASSERT_TRUE(other.InitCompressor(CSize(32, 16), 3, nullptr, 0, 0));
    EXPECT_FALSE(other.OpenFileWrite(dir.file("a.avi").c_str(), 25000, false));
    EXPECT_EQ("CAVIEdit::OpenFileWrite: AVIFileOpen error: -2147205009", other.GetErrorInfo().str());
    avi.CloseWriteFile();
    EXPECT_EQ(1, avitest::FfProbe(dir.file("a.avi")).frames);
    // The wrong frame size is refused before anything is written.
    const CImageBuffer wrong = Pattern(16, 16, 0);
    ASSERT_TRUE(other.OpenFileWrite(dir.file("b.avi").c_str(), 25000, true));
    EXPECT_FALSE(other.WriteFrame(&wrong, 0) || other.WriteFrame(nullptr, 0));
    // No handler and no dialog allowed: no compressor.
    EXPECT_FALSE(CAVIEdit().InitCompressor(CSize(32, 16), 3, nullptr, 0, kMJPG));
}

// A frame smaller than the JPEG headers: the codec's worst case, not the
// frame's size, bounds the compressed frame.
TEST(AviWrite, TinyMjpegFrames) {
    zep3test::TempDir dir;
    ASSERT_TRUE(avitest::Record(dir.file("tiny.avi"), kMJPG, kMJPG, 8, 4, 3));
    EXPECT_EQ(3, avitest::FfProbe(dir.file("tiny.avi")).frames);
}

// Frames of another depth are converted first (8-bit grey into a 24-bit
// recording); CompressFrame hands out its data or a copy.
TEST(AviWrite, CompressFrameConvertsAndCopies) {
    CAVIEdit avi;
    ASSERT_TRUE(avi.InitCompressor(CSize(16, 8), 3, nullptr, 0, 0));
    const CImageBuffer grey = Pattern(16, 8, 0, 8);
    unsigned char* data = nullptr;
    DWORD flags = 0;
    int size = 0;
    ASSERT_TRUE(avi.CompressFrame(&data, &grey, 0, &flags, &size));
    ASSERT_TRUE(flags == DWORD(AVIIF_KEYFRAME) && size == 16 * 8 * 3);
    EXPECT_TRUE(data[0] == grey.GetPixelBuffer()[0] && data[2] == grey.GetPixelBuffer()[0]);
    std::string copy(size, '\0');
    unsigned char* into = reinterpret_cast<unsigned char*>(&copy[0]);
    ASSERT_TRUE(avi.CompressFrame(&into, &grey, 1, &flags, &size));
    EXPECT_EQ(0, std::memcmp(copy.data(), data, size));
}

} // namespace
