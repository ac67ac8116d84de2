// CCodec and the codec settings of CAVIEdit: names, frames in memory, key
// frames, settings blocks, dialogs without a user, shared copies.
#include "AviTestUtil.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const DWORD kMJPG = mmioFOURCC('M', 'J', 'P', 'G');
const DWORD kFMP4 = mmioFOURCC('F', 'M', 'P', '4');

// Answers the compressor choice with a codec, for as long as it lives.
class ChooseHook {
public:
    explicit ChooseHook(DWORD handler) {
        SetCompressorChooseHook([handler, this](COMPVARS& choice, const BITMAPINFOHEADER*) {
            offered = choice;
            choice.fccHandler = handler;
            return true;
        });
    }
    ~ChooseHook() { SetCompressorChooseHook(nullptr); }
    COMPVARS offered{};
};

TEST(Codec, ClosedCodec) {
    CCodec codec;
    EXPECT_EQ("[Not initialized]", codec.GetCodecName().str());
    EXPECT_FALSE(codec.OpenCompressor(mmioFOURCC('n', 'o', 'n', 'e')));
    int maxSize = 0;
    BITMAPINFOHEADER format{};
    EXPECT_FALSE(codec.CompressBegin(&format, maxSize) || codec.DecompressBegin());
}

// Compress and decompress frames in memory; the frames are bottom-up DIBs,
// so the bytes come back in the order they went in.
TEST(Codec, MjpegFramesInMemory) {
    CCodec compressor;
    ASSERT_TRUE(compressor.OpenCompressor(kMJPG)); // a compression FOURCC names its codec too
    EXPECT_EQ(mmioFOURCC('m', 'j', 'p', 'g'), compressor.GetHandler());
    EXPECT_FALSE(compressor.OpenConfigureDialogBox(nullptr)); // nobody to press OK

    BITMAPINFOHEADER in{};
    CAVIEdit::PrepareWriteDecompBi(&in, CSize(96, 64), 3);
    int maxSize = 0;
    ASSERT_TRUE(compressor.CompressBegin(&in, maxSize));
    EXPECT_GT(maxSize, 96 * 64 * 3);
    EXPECT_EQ(kMJPG, compressor.GetCompression());
    CImageBuffer frame = avitest::Pattern(96, 64, 3);
    std::vector<BYTE> jpeg(maxSize);
    bool key = false;
    int size = 0;
    ASSERT_TRUE(compressor.CompressFrame(frame.GetPixelBuffer(), jpeg.data(), 0, key, size));
    EXPECT_TRUE(key && DWORD(size) == compressor.GetOutputBitmapInfoHeader()->biSizeImage);

    CCodec decompressor;
    BITMAPINFOHEADER stored = *compressor.GetOutputBitmapInfoHeader();
    ASSERT_TRUE(decompressor.OpenDecompressor(&stored));
    const BITMAPINFOHEADER* out = decompressor.GetOutputBitmapInfoHeader();
    EXPECT_TRUE(out->biBitCount == 24 && out->biHeight == 64 && out->biSizeImage == DWORD(96 * 64 * 3));
    ASSERT_TRUE(decompressor.DecompressBegin());
    CImageBuffer back(CSize(96, 64), 24);
    ASSERT_TRUE(decompressor.DecompressFrame(jpeg.data(), back.GetPixelBuffer()));
    EXPECT_GE(avitest::Psnr(back.GetPixelBuffer(), frame.GetPixelBuffer(), 96 * 64 * 3), 35);
    // Damaged data fails instead of writing a wrong picture.
    jpeg[200] ^= 0xFF, jpeg[2] = 0;
    EXPECT_FALSE(decompressor.DecompressFrame(jpeg.data(), back.GetPixelBuffer()));

    // CAVIEdit takes the same data as a frame from elsewhere, rows reversed.
    CAVIEdit avi;
    ASSERT_TRUE(avi.InitDecompressor(mmioFOURCC('m', 'j', 'p', 'g'), kMJPG, CSize(96, 64), 3));
    CImageBuffer upright(CSize(96, 64), 24);
    ASSERT_TRUE(compressor.CompressFrame(frame.GetPixelBuffer(), jpeg.data(), 1, key, size));
    ASSERT_TRUE(avi.DecompressFrame(upright.GetPixelBuffer(), jpeg.data(), size, 3));
    EXPECT_GE(avitest::Psnr(upright.GetPixelBuffer(), avitest::Flipped(frame).GetPixelBuffer(), 96 * 64 * 3), 35);
}

// The codec decides on key frames, except where one is asked for.
TEST(Codec, Mpeg4KeyFrames) {
    CCodec codec;
    ASSERT_TRUE(codec.OpenCompressor(mmioFOURCC('f', 'm', 'p', '4')));
    BITMAPINFOHEADER in{};
    CAVIEdit::PrepareWriteDecompBi(&in, CSize(64, 48), 3);
    int maxSize = 0;
    ASSERT_TRUE(codec.CompressBegin(&in, maxSize));
    std::vector<BYTE> out(maxSize);
    std::string keys;
    for (int f = 0; f < 23; ++f) {
        CImageBuffer frame = avitest::Pattern(64, 48, f);
        bool key = f == 0 || f == 7;
        int size = 0;
        ASSERT_TRUE(codec.CompressFrame(frame.GetPixelBuffer(), out.data(), f, key, size));
        keys += key ? 'K' : '.';
    }
    EXPECT_EQ("K......K..............K", keys); // the interval counts from the last key frame
    // Odd sizes cannot be 4:2:0 pictures.
    CAVIEdit::PrepareWriteDecompBi(&in, CSize(63, 48), 3);
    EXPECT_FALSE(codec.CompressBegin(&in, maxSize));
}

// The settings block: fixed size, read, changed, refused when wrong, and
// loaded by InitCompressor when its size matches.
TEST(Codec, SettingsBlockRoundTrips) {
    CAVIEdit avi;
    ASSERT_TRUE(avi.InitCompressor(CSize(64, 48), 3, nullptr, mmioFOURCC('h', '2', '6', '4'),
                                   mmioFOURCC('H', '2', '6', '4')));
    ASSERT_EQ(256, avi.GetWriteStateSize());
    char state[256];
    ASSERT_EQ(256, avi.GetWriteState(state, sizeof state));
    EXPECT_STREQ("crf=23\nkeyint=15\npreset=2\n", state);
    std::memset(state, 0, sizeof state);
    std::strcpy(state, "keyint=5\ncrf=30\n");
    EXPECT_EQ(256, avi.SetWriteState(state, sizeof state));
    char back[256];
    avi.GetWriteState(back, sizeof back);
    EXPECT_STREQ("crf=30\nkeyint=5\npreset=2\n", back);
    for (const char* wrong : {"crf=52\n", "speed=1\n", "crf=\n", "crf=2x\n"}) {
        std::memset(state, 0, sizeof state);
        std::strcpy(state, wrong);
        EXPECT_EQ(0, avi.SetWriteState(state, sizeof state)) << wrong;
    }
    EXPECT_EQ(0, avi.SetWriteState(state, 100));
    avi.GetWriteState(back, sizeof back); // the refusals changed nothing
    EXPECT_STREQ("crf=30\nkeyint=5\npreset=2\n", back);

    // The settings given to InitCompressor shape the recording: a smaller
    // quality makes smaller frames.
    auto frameSize = [](const char* settings) {
        char block[256] = {};
        std::strcpy(block, settings);
        CAVIEdit recorder;
        recorder.SetCompressorParam(15, 300, ICQUALITY_DEFAULT);
        EXPECT_TRUE(recorder.InitCompressor(CSize(96, 64), 3, nullptr, kMJPG, kMJPG, block, sizeof block));
        const CImageBuffer frame = avitest::Pattern(96, 64, 0);
        unsigned char* data = nullptr;
        int size = 0;
        EXPECT_TRUE(recorder.CompressFrame(&data, &frame, 0, nullptr, &size));
        return size;
    };
    EXPECT_LT(frameSize("quality=20\n"), frameSize("quality=95\n"));
}

// Without a user the choice is cancelled; a hook answers in the user's place.
TEST(Codec, ChoiceDialog) {
    COMPVARS choice{};
    BITMAPINFOHEADER out{};
    CMemory state;
    EXPECT_FALSE(CAVIEdit::ChooseCompressor(CSize(64, 48), 3, &choice, nullptr, &out, &state));
    CCodec codec;
    EXPECT_FALSE(codec.CompressorChoose(nullptr, nullptr, nullptr));
    CAVIEdit avi;
    EXPECT_FALSE(avi.InitCompressor(CSize(64, 48), 3, nullptr, 0, kMJPG, nullptr, 0, true));
    {
        ChooseHook hook(mmioFOURCC('m', 'j', 'p', 'g'));
        ASSERT_TRUE(CAVIEdit::ChooseCompressor(CSize(64, 48), 3, &choice, nullptr, &out, &state));
        EXPECT_TRUE(out.biCompression == kMJPG && state.GetSize() == 256 && choice.hic == nullptr);
        ASSERT_TRUE(avi.InitCompressor(CSize(64, 48), 3, nullptr, 0, kFMP4, nullptr, 0, true));
        EXPECT_EQ(kMJPG, avi.GetWriteCompression());
        // The open codec is offered first.
        ASSERT_TRUE(codec.OpenCompressor(mmioFOURCC('f', 'm', 'p', '4')));
        ASSERT_TRUE(codec.CompressorChoose(nullptr, nullptr, nullptr));
        EXPECT_TRUE(hook.offered.fccHandler == mmioFOURCC('f', 'm', 'p', '4') && hook.offered.lKey == 15 &&
                    hook.offered.lQ == 7500);
        EXPECT_EQ(mmioFOURCC('m', 'j', 'p', 'g'), codec.GetHandler());
    }
    // A handler used before is used again when none is given.
    EXPECT_TRUE(avi.InitCompressor(CSize(64, 48), 3, nullptr, 0, kMJPG));
    EXPECT_EQ(mmioFOURCC('m', 'j', 'p', 'g'), avi.GetWriteHandler());
    EXPECT_FALSE(avi.ConfigureCompressor(nullptr));
}

// Copies share the codec: closing the original leaves the copy working.
TEST(Codec, CopiesShareTheCodec) {
    CCodec original;
    ASSERT_TRUE(original.OpenCompressor(kMJPG));
    BITMAPINFOHEADER in{};
    CAVIEdit::PrepareWriteDecompBi(&in, CSize(32, 16), 3);
    int maxSize = 0;
    ASSERT_TRUE(original.CompressBegin(&in, maxSize));
    CCodec copy(original);
    original.Close();
    const CImageBuffer frame = avitest::Pattern(32, 16, 0);
    std::vector<BYTE> out(maxSize);
    bool key = true;
    int size = 0;
    EXPECT_TRUE(copy.CompressFrame(frame.GetPixelBuffer(), out.data(), 0, key, size) && size > 0);
}

// One thread records while others play finished files.
TEST(AviThreads, RecordingWhileAnotherThreadPlays) {
    zep3test::TempDir dir;
    ASSERT_TRUE(avitest::Record(dir.file("done.avi"), mmioFOURCC('f', 'm', 'p', '4'), kFMP4, 64, 48, 30));
    std::atomic<bool> recorded{false};
    std::thread recorder([&] {
        recorded = avitest::Record(dir.file("new.avi"), mmioFOURCC('m', 'j', 'p', 'g'), kMJPG, 64, 48, 60);
    });
    bool played = true;
    for (int round = 0; round < 3; ++round) {
        CAVIEdit player;
        CImageBuffer image(CSize(64, 48), 24);
        played = played && player.OpenFile(dir.file("done.avi").c_str());
        for (int f = 29; f >= 0 && played; f -= 7) played = player.ReadFrame(&image, f);
    }
    recorder.join();
    EXPECT_TRUE(played && recorded);
    EXPECT_EQ(60, avitest::FfProbe(dir.file("new.avi")).frames);
}

} // namespace
