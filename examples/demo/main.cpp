// The ZEP3 demo station. For now it runs a synthetic 16-bit camera, turns
// each frame into the other colour modes and stores it as BMP and JPEG files,
// then finds the bright objects of the grey frame and stores a picture of
// them (outlines, boxes and centres). Its analysis module lists the objects
// inside a zone set in analysis.ini and draws its shapes over the frame.
//   zep3-demo [output folder]     (default ./zep3-demo-out)
#include "AnalysisModule.h"
#include "FrameStore.h"
#include "ObjectFinder.h"
#include "RunLog.h"
#include "SyntheticCamera.h"

#include <cstdio>

namespace {

const int kFrames = 3;
const int kQuality = 75;
const unsigned char kThreshold = 170;

void printStamp(const CImageBuffer& frame) {
    const SYSTEMTIME& t = frame.GetTime().m_Time;
    std::printf("frame %d taken %04u-%02u-%02u %02u:%02u:%02u.%03u%03u\n", frame.GetImageTag(), t.wYear,
                t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                unsigned(frame.GetTime().m_MicroSeconds));
}

bool storeObjects(FrameStore& store, ObjectFinder& finder, CImageBuffer& grey, const std::string& base) {
    CPixelSurface picture;
    if (!finder.Find(grey, picture)) return false;
    std::printf("frame %d: %d objects (%d bright, %d dark)\n", grey.GetImageTag(),
                int(finder.Objects().GetSize()), finder.ForegroundCount(),
                int(finder.Objects().GetSize()) - finder.ForegroundCount());
    return store.SaveSurface(base + "-objects.bmp", picture);
}

// One frame as the grabber delivered it (16 bits) and converted to 24 and 8
// bits, and the objects found in it.
bool storeFrame(FrameStore& store, ObjectFinder& finder, const CImageBuffer& words) {
    CImageBuffer colour(CSize(1, 1), GetBitCount(1)), grey(CSize(1, 1), GetBitCount(0));
    if (!ConvertImageBuffer(&colour, &words) || !ConvertImageBuffer(&grey, &words)) return false;
    const std::string base = "frame" + std::to_string(words.GetImageTag());
    bool ok = store.SaveBmp(base + "-rgb555.bmp", words);
    ok = store.SaveBmp(base + "-bgr24.bmp", colour) && ok;
    ok = store.SaveBmp(base + "-grey8.bmp", grey) && ok;
    ok = store.SaveJpeg(base + ".jpg", colour, kQuality) && ok;
    ok = store.SaveJpeg(base + "-grey.jpg", grey, kQuality) && ok;
    ok = storeObjects(store, finder, grey, base) && ok;
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
    ObjectFinder finder(kThreshold);
    AnalysisModule analysis(store.Folder());
    bool ok = analysis.Load();
    for (int i = 0; i < kFrames; ++i) {
        if (!camera.Grab(frame)) return 1;
        printStamp(frame);
        ok = storeFrame(store, finder, frame) && ok;
        ok = analysis.AnalyseFrame(store, frame) && ok;
        log.Add(CString("stored frame ") + std::to_string(frame.GetImageTag()).c_str());
    }
    ok = analysis.Save() && ok;
    CrashIfAsked(log);
    std::printf("%d files in %s\n", store.FilesWritten(), store.Folder().c_str());
    return ok ? 0 : 1;
}
