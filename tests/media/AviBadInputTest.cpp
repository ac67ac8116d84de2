// Damaged and cut-short files: the reader opens what can be read and refuses
// the rest; a recorder killed while writing leaves every whole frame.
#include "AviTestUtil.h"

#include "support/TestSupport.h"

#include <zep3/media/detail/AviRiff.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const DWORD kMJPG = mmioFOURCC('M', 'J', 'P', 'G');
const int kWidth = 64, kHeight = 48;

// Opens the file and checks that every frame it offers is the pattern frame
// of its number; returns the frame count (-1 when it does not open).
int ReadableFrames(const std::string& path) {
    CAVIEdit avi;
    if (!avi.OpenFile(path.c_str())) return -1;
    CImageBuffer image(CSize(kWidth, kHeight), 24);
    for (int f = 0; f < avi.GetFrameCount(); ++f) {
        EXPECT_TRUE(avi.ReadFrame(&image, f)) << path << " frame " << f;
        const CImageBuffer expected = avitest::Pattern(kWidth, kHeight, f);
        EXPECT_GE(avitest::Psnr(image.GetPixelBuffer(), expected.GetPixelBuffer(), kWidth * kHeight * 3), 30)
            << path << " frame " << f;
    }
    return avi.GetFrameCount();
}

// Where the data of a frame (counted in the first movi list) ends.
size_t FrameEnd(const std::string& bytes, int frame) {
    size_t at = bytes.find("movi");
    for (int f = 0; f <= frame; ++f) at = bytes.find("00dc", at + 1);
    const uint32_t size = uint8_t(bytes[at + 4]) | uint8_t(bytes[at + 5]) << 8 | uint8_t(bytes[at + 6]) << 16;
    return at + 8 + size;
}

TEST(AviBadInput, TruncatedFilesKeepTheirWholeFrames) {
    zep3test::TempDir dir;
    const std::string path = dir.file("rec.avi");
    ASSERT_TRUE(avitest::Record(path, kMJPG, kMJPG, kWidth, kHeight, 10));
    const std::string bytes = zep3test::readFile(path);
    ASSERT_EQ(10, ReadableFrames(path));
    const std::string cut = dir.file("cut.avi");
    // Inside the headers: nothing to read.
    for (size_t length : {size_t(0), size_t(11), size_t(100), size_t(300)}) {
        ASSERT_TRUE(zep3test::writeFile(cut, bytes.substr(0, length)));
        EXPECT_EQ(-1, ReadableFrames(cut)) << length;
    }
    // Inside frame 6, at its end, and with only the idx1 index cut away.
    ASSERT_TRUE(zep3test::writeFile(cut, bytes.substr(0, FrameEnd(bytes, 6) - 10)));
    EXPECT_EQ(6, ReadableFrames(cut));
    ASSERT_TRUE(zep3test::writeFile(cut, bytes.substr(0, FrameEnd(bytes, 6))));
    EXPECT_EQ(7, ReadableFrames(cut));
    ASSERT_TRUE(zep3test::writeFile(cut, bytes.substr(0, bytes.rfind("idx1") + 20)));
    EXPECT_EQ(10, ReadableFrames(cut));
}

TEST(AviBadInput, WrongChunkSizesAndMissingIndexes) {
    zep3test::TempDir dir;
    const std::string path = dir.file("rec.avi");
    ASSERT_TRUE(avitest::Record(path, kMJPG, kMJPG, kWidth, kHeight, 10));
    const std::string bytes = zep3test::readFile(path);
    const std::string damaged = dir.file("damaged.avi");
    auto patch = [&](size_t at, const char* with, size_t n) {
        std::string copy = bytes;
        copy.replace(at, n, with, n);
        ASSERT_TRUE(zep3test::writeFile(damaged, copy));
    };
    // A format chunk running past its list: the headers are refused.
    patch(bytes.find("strf") + 4, "\xFF\xFF\x00\x00", 4);
    EXPECT_EQ(-1, ReadableFrames(damaged));
    // No video stream header at all.
    patch(bytes.find("strh") + 8, "auds", 4);
    EXPECT_EQ(-1, ReadableFrames(damaged));
    // Not an AVI file.
    patch(8, "WAVE", 4);
    EXPECT_EQ(-1, ReadableFrames(damaged));
    // Without the OpenDML index and idx1 the frames are found by walking.
    std::string noIndex = bytes;
    noIndex.replace(noIndex.find("indx"), 4, "JUNK");
    noIndex.replace(noIndex.rfind("idx1"), 4, "JUNK");
    ASSERT_TRUE(zep3test::writeFile(damaged, noIndex));
    EXPECT_EQ(10, ReadableFrames(damaged));
    // A frame whose size runs past the file ends the walk before it.
    const size_t fourth = FrameEnd(noIndex, 3) - 4;
    noIndex.replace(noIndex.rfind("00dc", fourth) + 4, 4, "\x00\x00\x00\x7F", 4);
    ASSERT_TRUE(zep3test::writeFile(damaged, noIndex));
    EXPECT_EQ(3, ReadableFrames(damaged));
    // An index entry that points past the end of the file ends the index there.
    std::string badIndex = bytes;
    badIndex.replace(badIndex.find("indx"), 4, "JUNK");
    const size_t entry5 = badIndex.rfind("idx1") + 8 + 5 * 16;
    badIndex.replace(entry5 + 12, 4, "\x00\x00\x00\x10", 4);
    ASSERT_TRUE(zep3test::writeFile(damaged, badIndex));
    EXPECT_EQ(5, ReadableFrames(damaged));
}

// Formats longer than 40 bytes (here with a palette) are not supported.
TEST(AviBadInput, FormatWithAPalette) {
    zep3test::TempDir dir;
    ASSERT_TRUE(avitest::Ffmpeg("-f lavfi -i testsrc=size=64x48:rate=5 -frames:v 2 -pix_fmt pal8 -c:v rawvideo '" +
                                dir.file("pal.avi") + "'"));
    CAVIEdit avi;
    CAVIFile file;
    EXPECT_FALSE(avi.OpenFile(dir.file("pal.avi").c_str()) || file.Open(dir.file("pal.avi").c_str()));
}

// A recorder killed in the middle of a recording: the file opens with every
// frame that was written, whatever the kill interrupted.
TEST(AviBadInput, RecorderKilledWhileWriting) {
    zep3test::TempDir dir;
    const std::string path = dir.file("killed.avi");
    int pipeFds[2];
    ASSERT_EQ(0, pipe(pipeFds));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        CAVIEdit avi;
        avi.SetCompressorParam(15, 300, 9000);
        if (!avi.InitCompressor(CSize(kWidth, kHeight), 3, nullptr, kMJPG, kMJPG) ||
            !avi.OpenFileWrite(path.c_str(), 25000, true))
            _exit(1);
        for (int f = 0;; ++f) {
            CImageBuffer image = avitest::Pattern(kWidth, kHeight, f);
            if (!avi.WriteFrame(&image, f)) _exit(2);
            if (write(pipeFds[1], &f, sizeof f) != sizeof f) _exit(3);
        }
    }
    close(pipeFds[1]);
    int written = -1;
    while (written < 40 && read(pipeFds[0], &written, sizeof written) == sizeof written) {
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(pipeFds[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the recorder stopped by itself: " << status;
    ASSERT_GE(written, 40);
    const int frames = ReadableFrames(path);
    EXPECT_GE(frames, written + 1); // every frame the recorder reported
    zep3::detail::AviReader reader;
    ASSERT_EQ(AVIERR_OK, reader.Open(path, false));
    EXPECT_EQ(mmioFOURCC('w', 'a', 'l', 'k'), reader.IndexSource());
}

TEST(AviFile, RawFramesSharingAndBounds) {
    zep3test::TempDir dir;
    const std::string path = dir.file("raw.avi");
    BITMAPINFOHEADER format = {};
    CAVIEdit::PrepareWriteDecompBi(&format, CSize(8, 4), 3);
    format.biCompression = kMJPG;
    CAVIFile file;
    EXPECT_FALSE(file.Create(path.c_str(), kMJPG, 12.5, nullptr));
    ASSERT_TRUE(file.Create(path.c_str(), mmioFOURCC('m', 'j', 'p', 'g'), 12.5, &format));
    char data[] = "frame one";
    EXPECT_TRUE(file.WriteFrame(0, data, 9, true) && file.WriteFrame(2, data, 5, false));
    EXPECT_FALSE(file.WriteFrame(3, nullptr, 5, false));
    // Readers are kept out while the file is written.
    CAVIFile reader;
    EXPECT_FALSE(reader.Open(path.c_str()));
    file.Close();
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_TRUE(reader.GetFramesPerSecond() == 12.5 && reader.GetFramesCount() == 3);
    char back[16] = {};
    EXPECT_TRUE(reader.ReadFrame(0, back, sizeof back));
    EXPECT_STREQ("frame one", back);
    EXPECT_TRUE(reader.ReadFrame(1, back, sizeof back)); // the dropped frame is empty
    EXPECT_FALSE(reader.ReadFrame(0, back, 4) || reader.ReadFrame(3, back, sizeof back) ||
                 reader.ReadFrame(-1, back, sizeof back)); // too small, beyond the ends
    // A copy shares the open file with the original.
    CAVIFile copy(reader);
    reader.Close();
    EXPECT_TRUE(copy.ReadFrame(2, back, sizeof back));
    EXPECT_EQ(0, std::memcmp(back, "frame", 5));
}

} // namespace
