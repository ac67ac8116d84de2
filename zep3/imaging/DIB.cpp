#include <zep3/imaging/DIB.h>

#include <zep3/platform/DC.h>
#include <zep3/platform/DrawDib.h>
#include <zep3/platform/GdiFunctions.h>
#include <zep3/platform/Resource.h>

#include <cstring>
#include <vector>

const CRuntimeClass CDIB::classCDIB = {"CDIB", sizeof(CDIB), 0xFFFF, nullptr};

CRuntimeClass* CDIB::GetRuntimeClass() const { return RUNTIME_CLASS(CDIB); }

CDIB::CDIB() : m_bm{}, m_hdd(nullptr) {}

CDIB::~CDIB() { DeleteObject(); }

BOOL CDIB::Load(LPCSTR lpszPathName) {
    return Attach(::LoadImage(nullptr, lpszPathName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADFROMFILE));
}

BOOL CDIB::Load(HINSTANCE hInst, LPCSTR lpResourceName) {
    return Attach(::LoadImage(hInst, lpResourceName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

BOOL CDIB::Load(HINSTANCE hInst, UINT uID) { return Load(hInst, MAKEINTRESOURCE(uID)); }

BOOL CDIB::Attach(HGDIOBJ hbm) {
    BITMAP bm;
    if (::GetObjectType(hbm) != OBJ_BITMAP || ::GetObject(hbm, sizeof bm, &bm) != int(sizeof bm)) return FALSE;
    DeleteObject();
    if (!CGdiObject::Attach(hbm)) return FALSE;
    m_bm = bm;
    CreatePalette(m_pal);
    return TRUE;
}

UINT CDIB::GetColorTable(RGBQUAD* colorTab, UINT nColors) {
    CDC dc;
    if (!m_hObject || !colorTab || !dc.CreateCompatibleDC(nullptr)) return 0;
    CBitmap* previous = dc.SelectObject(this);
    const UINT n = ::GetDIBColorTable(dc.GetSafeHdc(), 0, nColors, colorTab);
    dc.SelectObject(previous);
    return n;
}

BOOL CDIB::CreatePalette(CPalette& pal) {
    RGBQUAD table[256];
    const UINT n = GetColorTable(table, 256);
    if (n == 0) return pal.CreateHalftonePalette(nullptr);
    std::vector<BYTE> block(sizeof(LOGPALETTE) + (n - 1) * sizeof(PALETTEENTRY));
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(block.data());
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = WORD(n);
    for (UINT i = 0; i < n; ++i)
        logPalette->palPalEntry[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    return pal.CreatePalette(logPalette);
}

BOOL CDIB::Draw(CDC& dc, const CRect* rcDst, const CRect* rcSrc, BOOL bUseDrawDib, CPalette* pPal, BOOL bForeground) {
    if (!m_hObject) return FALSE;
    CPalette* palette = pPal ? pPal : &m_pal;
    CPalette* previousPalette = dc.SelectPalette(palette, !bForeground);
    dc.RealizePalette();
    const CRect whole(0, 0, m_bm.bmWidth, m_bm.bmHeight);
    const CRect dst = rcDst ? *rcDst : whole;
    const CRect src = rcSrc ? *rcSrc : whole;
    BOOL done = FALSE;
    DIBSECTION ds;
    if (bUseDrawDib && ::GetObject(m_hObject, sizeof ds, &ds) == int(sizeof ds)) {
        if (!m_hdd) m_hdd = DrawDibOpen();
        // The header with its masks or colour table, as DrawDib reads it.
        std::vector<DWORD> info((sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)) / 4, 0);
        auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
        *header = ds.dsBmih;
        if (header->biCompression == BI_BITFIELDS) std::memcpy(header + 1, ds.dsBitfields, sizeof ds.dsBitfields);
        else GetColorTable(reinterpret_cast<RGBQUAD*>(header + 1), 256);
        done = DrawDibDraw(m_hdd, dc.GetSafeHdc(), dst.left, dst.top, dst.Width(), dst.Height(), header,
                           ds.dsBm.bmBits, src.left, src.top, src.Width(), src.Height(),
                           bForeground ? 0 : DDF_BACKGROUNDPAL);
    } else {
        CDC memory;
        if (memory.CreateCompatibleDC(&dc)) {
            CBitmap* previous = memory.SelectObject(this);
            if (dst.Size() == src.Size()) {
                done = dc.BitBlt(dst.left, dst.top, dst.Width(), dst.Height(), &memory, src.left, src.top, SRCCOPY);
            } else {
                const int mode = dc.SetStretchBltMode(COLORONCOLOR);
                done = dc.StretchBlt(dst.left, dst.top, dst.Width(), dst.Height(), &memory, src.left, src.top,
                                     src.Width(), src.Height(), SRCCOPY);
                dc.SetStretchBltMode(mode);
            }
            memory.SelectObject(previous);
        }
    }
    if (previousPalette) dc.SelectPalette(previousPalette, FALSE);
    return done;
}

BOOL CDIB::DeleteObject() {
    m_pal.DeleteObject();
    if (m_hdd) DrawDibClose(m_hdd);
    m_hdd = nullptr;
    m_bm = BITMAP{};
    return CGdiObject::DeleteObject();
}
