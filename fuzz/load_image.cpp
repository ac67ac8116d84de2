// LoadImage and CDIB::Load from a BMP file: as a device bitmap and as a DIB
// section, then drawn into a small memory bitmap through DrawDib, a block
// copy and a stretch.
#include "FuzzSupport.h"

#include <zep3/zep3.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = zep3fuzz::scratchFile("input.bmp");
    zep3fuzz::writeFile(path, data, size);

    if (HANDLE device = LoadImage(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE))
        DeleteObject(static_cast<HGDIOBJ>(device));

    CDIB dib;
    if (!dib.Load(path.c_str())) return 0;
    const CSize bitmapSize = dib.GetSize();
    zep3fuzz::check(bitmapSize.cx > 0 && bitmapSize.cy > 0, "a loaded bitmap has a size");
    CDC dc;
    CBitmap canvas;
    if (!dc.CreateCompatibleDC(nullptr) || !canvas.CreateBitmap(16, 16, 1, 32, nullptr)) return 0;
    CBitmap* previous = dc.SelectObject(&canvas);
    const CRect small(0, 0, 16, 16);
    const CRect whole(0, 0, bitmapSize.cx, bitmapSize.cy);
    dib.Draw(dc, &small, nullptr, TRUE);
    dib.Draw(dc, &whole, nullptr, FALSE);
    dib.Draw(dc, &small, nullptr, FALSE);
    dc.SelectObject(previous);
    return 0;
}
