// LoadImage for bitmaps: BMP files and RT_BITMAP resources into DIB
// sections or device bitmaps.
#include <zep3/platform/Bitmap.h>
#include <zep3/platform/DC.h>
#include <zep3/platform/GdiFunctions.h>
#include <zep3/platform/Resource.h>
#include <zep3/platform/detail/Posix.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A packed DIB: the info bytes (header, masks, colours) and the rows.
struct PackedDib {
    std::vector<DWORD> info; // DWORD-aligned copy of the header and its colours
    const BYTE* bits = nullptr;
    size_t bitsSize = 0;
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};

// Checks the header at `data` and splits the DIB. When bitsOffset is 0 the
// rows follow the colour table (a resource); otherwise they start there (a
// file, counted from `data`).
bool Split(const BYTE* data, size_t size, size_t bitsOffset, PackedDib& dib) {
    BITMAPINFOHEADER h;
    if (!data || size < sizeof h) return false;
    std::memcpy(&h, data, sizeof h);
    if (h.biSize < sizeof h || h.biSize > 124 || h.biSize > size || h.biPlanes != 1 || h.biWidth <= 0 ||
        h.biHeight == 0 || h.biWidth > 65535 || h.biHeight > 65535 || h.biHeight < -65535)
        return false;
    const int bits = h.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const bool fields = h.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32);
    if (h.biCompression != BI_RGB && !fields) return false;
    // The three masks sit at bytes 40-51 of the info: after a 40-byte header,
    // inside a larger one. A header of 41 to 51 bytes cuts into them, and
    // they must still be there.
    size_t infoSize = fields ? std::max<size_t>(h.biSize, sizeof h + 12) : h.biSize;
    if (bits <= 8) infoSize += 4 * size_t(h.biClrUsed && h.biClrUsed < (1u << bits) ? h.biClrUsed : 1u << bits);
    if (infoSize > size) return false;
    const size_t start = bitsOffset ? bitsOffset : infoSize;
    const size_t height = size_t(h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight);
    const size_t needed = (size_t(h.biWidth) * bits + 31) / 32 * 4 * height;
    if (start < infoSize || start > size || size - start < needed) return false;
    dib.info.assign((infoSize + 3) / 4, 0);
    std::memcpy(dib.info.data(), data, infoSize);
    dib.bits = data + start;
    dib.bitsSize = needed;
    return true;
}

HBITMAP Make(const PackedDib& dib, bool dibSection) {
    const BITMAPINFOHEADER& h = dib.Info()->bmiHeader;
    if (dibSection) {
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, dib.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap) std::memcpy(bits, dib.bits, dib.bitsSize);
        return bitmap;
    }
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    CBitmap bitmap;
    CDC dc;
    if (!bitmap.CreateBitmap(h.biWidth, height, 1, 32, nullptr) || !dc.CreateCompatibleDC(nullptr)) return nullptr;
    CBitmap* previous = dc.SelectObject(&bitmap);
    dc.StretchDIBits(0, 0, h.biWidth, height, 0, 0, h.biWidth, height, dib.bits, dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    dc.SelectObject(previous);
    return static_cast<HBITMAP>(bitmap.Detach());
}

} // namespace

HANDLE LoadImage(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
    if (type != IMAGE_BITMAP || !name) return nullptr;
    PackedDib dib;
    std::string file;
    if (flags & LR_LOADFROMFILE) {
        BITMAPFILEHEADER fh;
        if (!zep3::detail::ReadWholeFile(name, file) || file.size() < sizeof fh) return nullptr;
        std::memcpy(&fh, file.data(), sizeof fh);
        if (fh.bfType != 0x4D42 || fh.bfOffBits < sizeof fh) return nullptr;
        const auto* bytes = reinterpret_cast<const BYTE*>(file.data());
        if (!Split(bytes + sizeof fh, file.size() - sizeof fh, fh.bfOffBits - sizeof fh, dib)) return nullptr;
    } else {
        HRSRC resource = FindResource(instance, name, RT_BITMAP);
        const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, resource)));
        if (!Split(data, SizeofResource(instance, resource), 0, dib)) return nullptr;
    }
    const BITMAPINFOHEADER& h = dib.Info()->bmiHeader;
    if ((cx && cx != h.biWidth) || (cy && cy != (h.biHeight < 0 ? -h.biHeight : h.biHeight))) return nullptr;
    return Make(dib, (flags & LR_CREATEDIBSECTION) != 0);
}
