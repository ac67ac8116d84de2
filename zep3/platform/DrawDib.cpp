#include <zep3/platform/DC.h>
#include <zep3/platform/DrawDib.h>

#include <mutex>
#include <set>

namespace {

std::mutex g_lock;
std::set<HDRAWDIB>& Handles() {
    static auto* handles = new std::set<HDRAWDIB>;
    return *handles;
}

bool Known(HDRAWDIB hdd) {
    std::lock_guard<std::mutex> hold(g_lock);
    return Handles().count(hdd) != 0;
}

} // namespace

HDRAWDIB DrawDibOpen() {
    // The handle is the address of a byte kept until DrawDibClose.
    HDRAWDIB hdd = new char;
    std::lock_guard<std::mutex> hold(g_lock);
    Handles().insert(hdd);
    return hdd;
}

BOOL DrawDibClose(HDRAWDIB hdd) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (!Handles().erase(hdd)) return FALSE;
    }
    delete static_cast<char*>(hdd);
    return TRUE;
}

BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, LPBITMAPINFOHEADER lpbi,
                 LPVOID lpBits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT) {
    CDC* dc = CDC::FromHandle(hdc);
    if (!Known(hdd) || !dc || !lpbi || !lpBits) return FALSE;
    const int height = lpbi->biHeight < 0 ? -lpbi->biHeight : lpbi->biHeight;
    if (dxSrc == -1) dxSrc = lpbi->biWidth;
    if (dySrc == -1) dySrc = height;
    if (dxDst == -1) dxDst = dxSrc;
    if (dyDst == -1) dyDst = dySrc;
    const int mode = dc->SetStretchBltMode(COLORONCOLOR);
    // StretchDIBits counts the source top from the bitmap's bottom row.
    const int rows = dc->StretchDIBits(xDst, yDst, dxDst, dyDst, xSrc, height - ySrc - dySrc, dxSrc, dySrc, lpBits,
                                       reinterpret_cast<const BITMAPINFO*>(lpbi), DIB_RGB_COLORS, SRCCOPY);
    dc->SetStretchBltMode(mode);
    return rows != 0;
}
