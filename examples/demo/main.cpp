// The ZEP3 demo station. For now it runs a synthetic 16-bit camera, turns
// each frame into the other colour modes and stores it as BMP and JPEG files.
//   zep3-demo [output folder]     (default ./zep3-demo-out)
#include "FrameStore.h"
#include "RunLog.h"
#include "SyntheticCamera.h"

#include <cstdio>

namespace {

const int kFrames = 3;
const int kQuality = 75;

void printStamp(const CImageBuffer& frame) {
    const SYSTEMTIME& t = frame.GetTime().m_Time;
    std::printf("frame %d taken %04u-%02u-%02u %02u:%02u:%02u.%03u%03u\n", frame.GetImageTag(), t.wYear, t.wMonth,
                t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, unsigned(frame.GetTime().m_MicroSeconds));
}

// One frame as the grabber delivered it (16 bits) and converted to 24 and 8 bits.
bool storeFrame(FrameStore& store, const CImageBuffer& words) {
    CImageBuffer colour(CSize(1, 1), GetBitCount(1)), grey(CSize(1, 1), GetBitCount(0));
    if (!ConvertImageBuffer(&colour, &words) || !ConvertImageBuffer(&grey, &words)) return false;
    const std::string base = "frame" + std::to_string(words.GetImageTag());
    bool ok = store.SaveBmp(base + "-rgb555.bmp", words);
    ok = store.SaveBmp(base + "-bgr24.bmp", colour) && ok;
    ok = store.SaveBmp(base + "-grey8.bmp", grey) && ok;
    ok = store.SaveJpeg(base + ".jpg", colour, kQuality) && ok;
    ok = store.SaveJpeg(base + "-grey.jpg", grey, kQuality) && ok;
    return store.SaveBitmapJpeg(base + "-bitmap.jpg", colour, kQuality) && ok;
}

} // namespace

int main(int argc, char** argv) {
    FrameStore store(argc > 1 ? argv[1] : "./zep3-demo-out");
    if (!store.IsOpen()) {
        std::fprintf(stderr, "zep3-demo: cannot create the folder %s\n", store.Folder().c_str());
        return 1;
    }
    RunLog log(store.Folder());
    SyntheticCamera camera(640, 480, 2);
    CImageBuffer frame;
    bool ok = true;
    for (int i = 0; i < kFrames; ++i) {
        if (!camera.Grab(frame)) return 1;
        printStamp(frame);
        ok = storeFrame(store, frame) && ok;
        log.Add(CString("stored frame ") + std::to_string(frame.GetImageTag()).c_str());
    }
    CrashIfAsked(log);
    std::printf("%d files in %s\n", store.FilesWritten(), store.Folder().c_str());
    return ok ? 0 : 1;
}
