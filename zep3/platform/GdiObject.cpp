// GDI objects: the handle table, stock objects, the object classes and the
// plain functions on handles.
#include <zep3/platform/Bitmap.h>
#include <zep3/platform/Brush.h>
#include <zep3/platform/Font.h>
#include <zep3/platform/GdiFunctions.h>
#include <zep3/platform/Palette.h>
#include <zep3/platform/Pen.h>
#include <zep3/platform/Rgn.h>
#include <zep3/platform/detail/DCImpl.h>
#include <zep3/platform/detail/FontEngine.h>
#include <zep3/platform/detail/Posix.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_set>

namespace zep3::detail {

namespace {
std::mutex g_tableLock;
std::unordered_set<const ObjectData*>& LiveTable() {
    static auto* table = new std::unordered_set<const ObjectData*>;  // outlives static destructors
    return *table;
}
}  // namespace

ObjectData::~ObjectData() {
    if (wrapper) {
        wrapper->m_hObject = nullptr;  // the wrapper never frees the object
        delete wrapper;
    }
}

std::shared_ptr<FontFace> FontData::Face() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_face) m_face = FontFace::Realize(lf);
    return m_face;
}

void AddRef(ObjectData* d) {
    if (!d->stock) d->refs.fetch_add(1, std::memory_order_relaxed);
}

void Release(ObjectData* d) {
    if (!d->stock && d->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete d;
}

HGDIOBJ Register(ObjectData* d) {
    std::lock_guard<std::mutex> lock(g_tableLock);
    LiveTable().insert(d);
    return HandleOf(d);
}

ObjectData* Lookup(HGDIOBJ h) {
    if (!h) return nullptr;
    std::lock_guard<std::mutex> lock(g_tableLock);
    auto* d = static_cast<ObjectData*>(h);
    return LiveTable().count(d) ? d : nullptr;
}

bool Unregister(HGDIOBJ h) {
    ObjectData* d = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_tableLock);
        auto* p = static_cast<ObjectData*>(h);
        if (!h || !LiveTable().count(p) || p->stock) return false;
        LiveTable().erase(p);
        d = p;
    }
    d->owner = nullptr;
    Release(d);
    return true;
}

namespace {

PenData* MakePen(int style, int width, COLORREF c) {
    auto* p = new PenData;
    p->style = style;
    p->width = std::max(width, 0);
    p->color = c & 0xFFFFFF;
    return p;
}

BrushData* MakeBrush(int style, COLORREF c) {
    auto* b = new BrushData;
    b->style = style;
    b->color = c & 0xFFFFFF;
    return b;
}

FontData* MakeFont(const char* face, int height, int weight) {
    auto* f = new FontData;
    f->lf.lfHeight = height;
    f->lf.lfWeight = weight;
    f->lf.lfCharSet = DEFAULT_CHARSET;
    CopyText(f->lf.lfFaceName, LF_FACESIZE, face);
    return f;
}

// The 20 static colours of the default palette.
const PALETTEENTRY kStaticColors[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

ObjectData* MakeStock(int index) {
    ObjectData* d = nullptr;
    switch (index) {
    case WHITE_BRUSH: d = MakeBrush(BS_SOLID, RGB(255, 255, 255)); break;
    case LTGRAY_BRUSH: d = MakeBrush(BS_SOLID, RGB(192, 192, 192)); break;
    case GRAY_BRUSH: d = MakeBrush(BS_SOLID, RGB(128, 128, 128)); break;
    case DKGRAY_BRUSH: d = MakeBrush(BS_SOLID, RGB(64, 64, 64)); break;
    case BLACK_BRUSH: d = MakeBrush(BS_SOLID, 0); break;
    case NULL_BRUSH: d = MakeBrush(BS_NULL, 0); break;
    case WHITE_PEN: d = MakePen(PS_SOLID, 0, RGB(255, 255, 255)); break;
    case BLACK_PEN: d = MakePen(PS_SOLID, 0, 0); break;
    case NULL_PEN: d = MakePen(PS_NULL, 0, 0); break;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT: d = MakeFont("Courier New", 13, FW_NORMAL); break;
    case ANSI_VAR_FONT: d = MakeFont("MS Sans Serif", 13, FW_NORMAL); break;
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT: d = MakeFont("System", 16, FW_BOLD); break;
    case DEFAULT_GUI_FONT: d = MakeFont("MS Shell Dlg", -11, FW_NORMAL); break;
    case DEFAULT_PALETTE: {
        auto* p = new PaletteData;
        p->entries.assign(kStaticColors, kStaticColors + 20);
        d = p;
        break;
    }
    default: return nullptr;
    }
    d->stock = true;
    return d;
}

}  // namespace

ObjectData* Stock(int index) {
    static ObjectData* stock[DEFAULT_GUI_FONT + 1] = {};
    static std::once_flag once;
    std::call_once(once, [] {
        for (int i = 0; i <= DEFAULT_GUI_FONT; ++i) {
            stock[i] = MakeStock(i);
            if (stock[i]) Register(stock[i]);
        }
    });
    return index >= 0 && index <= DEFAULT_GUI_FONT ? stock[index] : nullptr;
}

// Indexed by COLOR_*: the classic Windows scheme.
COLORREF SysColor(int index) {
    static const COLORREF kColors[31] = {
        RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(212, 208, 200),
        RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
        RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255),
        RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
        RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225),
        RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240), RGB(192, 192, 192), RGB(10, 36, 106),
        RGB(212, 208, 200),
    };
    return index >= 0 && index < 31 ? kColors[index] : 0;
}

CGdiObject* WrapperOf(ObjectData* d) {
    if (!d) return nullptr;
    std::lock_guard<std::mutex> lock(g_tableLock);  // stock objects are shared by all threads
    if (d->owner) return d->owner;
    if (!d->wrapper) {
        switch (d->kind) {
        case Kind::Pen: d->wrapper = new CPen; break;
        case Kind::Brush: d->wrapper = new CBrush; break;
        case Kind::Font: d->wrapper = new CFont; break;
        case Kind::Bitmap: d->wrapper = new CBitmap; break;
        case Kind::Palette: d->wrapper = new CPalette; break;
        case Kind::Region: d->wrapper = new CRgn; break;
        }
        d->wrapper->m_hObject = HandleOf(d);
    }
    return d->wrapper;
}

}  // namespace zep3::detail

using namespace zep3::detail;

// ---------------------------------------------------------------- CGdiObject

CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
    if (m_hObject) return FALSE;
    ObjectData* d = Lookup(hObject);
    if (!d) return FALSE;
    if (!d->stock) d->owner = this;
    m_hObject = hObject;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    if (ObjectData* d = Lookup(h))
        if (d->owner == this) d->owner = nullptr;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject) return FALSE;
    HGDIOBJ h = Detach();
    ObjectData* d = Lookup(h);
    if (d && !d->stock) Unregister(h);
    return TRUE;
}

UINT CGdiObject::GetObjectType() const { return ::GetObjectType(m_hObject); }

int CGdiObject::GetObject(int nCount, LPVOID lpObject) const { return ::GetObject(m_hObject, nCount, lpObject); }

BOOL CGdiObject::CreateStockObject(int nIndex) {
    ObjectData* d = Stock(nIndex);
    return d && Attach(HandleOf(d));
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject) { return WrapperOf(Lookup(hObject)); }

namespace {
template <class T>
T* FromHandleAs(HGDIOBJ h, Kind k) {
    ObjectData* d = Lookup(h);
    return d && d->kind == k ? static_cast<T*>(WrapperOf(d)) : nullptr;
}

// Registers fresh data for an object that holds no handle yet.
BOOL AttachNew(CGdiObject* object, ObjectData* d) {
    if (object->m_hObject || !d) {
        delete d;
        return FALSE;
    }
    return object->Attach(Register(d));
}
}  // namespace

// ---------------------------------------------------------------- CPen

BOOL CPen::CreatePen(int nPenStyle, int nWidth, COLORREF crColor) {
    const int style = nPenStyle & PS_STYLE_MASK;
    if (style > PS_INSIDEFRAME) return FALSE;
    return AttachNew(this, MakePen(style, nWidth, crColor));
}

BOOL CPen::CreatePenIndirect(const LOGPEN* lpLogPen) {
    return lpLogPen && CreatePen(int(lpLogPen->lopnStyle), lpLogPen->lopnWidth.x, lpLogPen->lopnColor);
}

int CPen::GetLogPen(LOGPEN* pLogPen) const { return pLogPen ? GetObject(sizeof(LOGPEN), pLogPen) : 0; }

CPen* CPen::FromHandle(HPEN hPen) { return FromHandleAs<CPen>(hPen, Kind::Pen); }

// ---------------------------------------------------------------- CBrush

BOOL CBrush::CreateSolidBrush(COLORREF crColor) { return AttachNew(this, MakeBrush(BS_SOLID, crColor)); }

BOOL CBrush::CreateSysColorBrush(int nIndex) {
    if (nIndex < 0 || nIndex > COLOR_GRADIENTINACTIVECAPTION + 2) return FALSE;
    return CreateSolidBrush(SysColor(nIndex));
}

BOOL CBrush::CreateBrushIndirect(const LOGBRUSH* lpLogBrush) {
    if (!lpLogBrush || (lpLogBrush->lbStyle != BS_SOLID && lpLogBrush->lbStyle != BS_NULL)) return FALSE;
    return AttachNew(this, MakeBrush(int(lpLogBrush->lbStyle), lpLogBrush->lbColor));
}

int CBrush::GetLogBrush(LOGBRUSH* pLogBrush) const { return pLogBrush ? GetObject(sizeof(LOGBRUSH), pLogBrush) : 0; }

CBrush* CBrush::FromHandle(HBRUSH hBrush) { return FromHandleAs<CBrush>(hBrush, Kind::Brush); }

// ---------------------------------------------------------------- CFont

BOOL CFont::CreateFontIndirect(const LOGFONT* lpLogFont) {
    if (!lpLogFont || m_hObject) return FALSE;
    auto* f = new FontData;
    f->lf = *lpLogFont;
    f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    return AttachNew(this, f);
}

BOOL CFont::CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                       BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                       BYTE nQuality, BYTE nPitchAndFamily, LPCTSTR lpszFacename) {
    LOGFONT lf{nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic, bUnderline, cStrikeOut, nCharSet,
               nOutPrecision, nClipPrecision, nQuality, nPitchAndFamily, {}};
    CopyText(lf.lfFaceName, LF_FACESIZE, lpszFacename);
    return CreateFontIndirect(&lf);
}

BOOL CFont::CreatePointFont(int nPointSize, LPCTSTR lpszFaceName, CDC* pDC) {
    LOGFONT lf{};
    lf.lfHeight = nPointSize;
    lf.lfCharSet = DEFAULT_CHARSET;
    CopyText(lf.lfFaceName, LF_FACESIZE, lpszFaceName);
    return CreatePointFontIndirect(&lf, pDC);
}

BOOL CFont::CreatePointFontIndirect(const LOGFONT* lpLogFont, CDC*) {
    if (!lpLogFont) return FALSE;
    LOGFONT lf = *lpLogFont;
    lf.lfHeight = -LONG(std::lround(std::abs(lf.lfHeight) * 96.0 / 720.0));
    return CreateFontIndirect(&lf);
}

int CFont::GetLogFont(LOGFONT* pLogFont) const { return pLogFont ? GetObject(sizeof(LOGFONT), pLogFont) : 0; }

CFont* CFont::FromHandle(HFONT hFont) { return FromHandleAs<CFont>(hFont, Kind::Font); }

// ---------------------------------------------------------------- CPalette

namespace {
UINT Nearest(const std::vector<PALETTEENTRY>& entries, COLORREF c) {
    if (entries.empty()) return CLR_INVALID;
    UINT best = 0;
    int bestDistance = INT32_MAX;
    for (size_t i = 0; i < entries.size(); ++i) {
        const int dr = entries[i].peRed - GetRValue(c), dg = entries[i].peGreen - GetGValue(c),
                  db = entries[i].peBlue - GetBValue(c);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) { bestDistance = distance; best = UINT(i); }
    }
    return best;
}
}  // namespace

BOOL CPalette::CreatePalette(LPLOGPALETTE lpLogPalette) {
    if (!lpLogPalette || lpLogPalette->palNumEntries < 1 || lpLogPalette->palNumEntries > 1024 || m_hObject)
        return FALSE;
    auto* p = new PaletteData;
    p->entries.assign(lpLogPalette->palPalEntry, lpLogPalette->palPalEntry + lpLogPalette->palNumEntries);
    return AttachNew(this, p);
}

BOOL CPalette::CreateHalftonePalette(CDC*) {
    if (m_hObject) return FALSE;
    auto* p = new PaletteData;
    p->entries.assign(kStaticColors, kStaticColors + 20);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) p->entries.push_back(PALETTEENTRY{BYTE(r * 51), BYTE(g * 51), BYTE(b * 51), 0});
    for (int i = 1; p->entries.size() < 256; ++i) {
        const BYTE v = BYTE(i * 255 / 21);
        p->entries.push_back(PALETTEENTRY{v, v, v, 0});
    }
    return AttachNew(this, p);
}

int CPalette::GetEntryCount() const {
    auto* p = LookupAs<PaletteData>(m_hObject, Kind::Palette);
    return p ? int(p->entries.size()) : 0;
}

UINT CPalette::GetPaletteEntries(UINT nStartIndex, UINT nNumEntries, PALETTEENTRY* lpPaletteColors) const {
    auto* p = LookupAs<PaletteData>(m_hObject, Kind::Palette);
    if (!p || !lpPaletteColors || nStartIndex >= p->entries.size()) return 0;
    const UINT n = std::min<UINT>(nNumEntries, UINT(p->entries.size()) - nStartIndex);
    std::copy_n(p->entries.begin() + nStartIndex, n, lpPaletteColors);
    return n;
}

UINT CPalette::SetPaletteEntries(UINT nStartIndex, UINT nNumEntries, const PALETTEENTRY* lpPaletteColors) {
    auto* p = LookupAs<PaletteData>(m_hObject, Kind::Palette);
    if (!p || p->stock || !lpPaletteColors || nStartIndex >= p->entries.size()) return 0;
    const UINT n = std::min<UINT>(nNumEntries, UINT(p->entries.size()) - nStartIndex);
    std::copy_n(lpPaletteColors, n, p->entries.begin() + nStartIndex);
    return n;
}

UINT CPalette::GetNearestPaletteIndex(COLORREF crColor) const { return ::GetNearestPaletteIndex(static_cast<HPALETTE>(m_hObject), crColor); }

BOOL CPalette::ResizePalette(UINT nNumEntries) {
    auto* p = LookupAs<PaletteData>(m_hObject, Kind::Palette);
    if (!p || p->stock || nNumEntries < 1 || nNumEntries > 1024) return FALSE;
    p->entries.resize(nNumEntries, PALETTEENTRY{0, 0, 0, 0});
    return TRUE;
}

CPalette* CPalette::FromHandle(HPALETTE hPalette) { return FromHandleAs<CPalette>(hPalette, Kind::Palette); }

// ---------------------------------------------------------------- CRgn

BOOL CRgn::CreateRectRgn(int x1, int y1, int x2, int y2) {
    auto* r = new RegionData;
    r->rect = RECT{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    return AttachNew(this, r);
}

BOOL CRgn::CreateRectRgnIndirect(LPCRECT lpRect) {
    return lpRect && CreateRectRgn(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom);
}

void CRgn::SetRectRgn(int x1, int y1, int x2, int y2) {
    if (auto* r = LookupAs<RegionData>(m_hObject, Kind::Region))
        r->rect = RECT{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

int CRgn::GetRgnBox(LPRECT lpRect) const {
    auto* r = LookupAs<RegionData>(m_hObject, Kind::Region);
    if (!r || !lpRect) return RGN_ERROR;
    *lpRect = r->rect;
    return CRect(r->rect).IsRectEmpty() ? NULLREGION : SIMPLEREGION;
}

BOOL CRgn::PtInRegion(int x, int y) const {
    auto* r = LookupAs<RegionData>(m_hObject, Kind::Region);
    return r && CRect(r->rect).PtInRect(CPoint(x, y));
}

CRgn* CRgn::FromHandle(HRGN hRgn) { return FromHandleAs<CRgn>(hRgn, Kind::Region); }

// ---------------------------------------------------------------- CBitmap

namespace {

// Reads the initial rows of a device bitmap (rows padded to 16 bits).
void LoadDeviceBits(CPixelSurface& s, int bits, const BYTE* src) {
    const int stride = ((s.GetWidth() * bits + 15) / 16) * 2;
    for (int y = 0; y < s.GetHeight(); ++y) {
        const BYTE* row = src + size_t(y) * stride;
        DWORD* out = s.GetRow(y);
        for (int x = 0; x < s.GetWidth(); ++x) {
            DWORD p = 0;
            switch (bits) {
            case 1: p = (row[x >> 3] >> (7 - (x & 7)) & 1) ? 0xFFFFFF : 0; break;
            case 16: {
                const unsigned w = row[2 * x] | row[2 * x + 1] << 8;
                p = ((w >> 10 & 31) * 255 / 31) << 16 | ((w >> 5 & 31) * 255 / 31) << 8 | (w & 31) * 255 / 31;
                break;
            }
            case 24: p = DWORD(row[3 * x]) | DWORD(row[3 * x + 1]) << 8 | DWORD(row[3 * x + 2]) << 16; break;
            case 32: p = (DWORD(row[4 * x]) | DWORD(row[4 * x + 1]) << 8 | DWORD(row[4 * x + 2]) << 16); break;
            default: break;
            }
            out[x] = p;
        }
    }
}

}  // namespace

BOOL CBitmap::CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits) {
    if (m_hObject || nWidth <= 0 || nHeight <= 0 || nPlanes != 1 || nBitcount < 1 || nBitcount > 32) return FALSE;
    auto* b = new BitmapData;
    b->declaredBits = int(nBitcount);
    if (!b->surface.Create(nWidth, nHeight)) {
        delete b;
        return FALSE;
    }
    if (lpBits) LoadDeviceBits(b->surface, int(nBitcount), static_cast<const BYTE*>(lpBits));
    return AttachNew(this, b);
}

BOOL CBitmap::CreateBitmapIndirect(const BITMAP* lpBitmap) {
    return lpBitmap && CreateBitmap(lpBitmap->bmWidth, lpBitmap->bmHeight, lpBitmap->bmPlanes, lpBitmap->bmBitsPixel,
                                    lpBitmap->bmBits);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC*, int nWidth, int nHeight) {
    return CreateBitmap(nWidth, nHeight, 1, 32, nullptr);
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const { return pBitMap ? GetObject(sizeof(BITMAP), pBitMap) : 0; }

CPixelSurface* CBitmap::GetSurface() const {
    auto* b = LookupAs<BitmapData>(m_hObject, Kind::Bitmap);
    return b && b->Drawable() ? &b->surface : nullptr;
}

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) {
    return FromHandleAs<CBitmap>(hBitmap, Kind::Bitmap);
}

// ---------------------------------------------------------------- functions

HGDIOBJ GetStockObject(int nIndex) {
    ObjectData* d = Stock(nIndex);
    return d ? HandleOf(d) : nullptr;
}

BOOL DeleteObject(HGDIOBJ hObject) {
    ObjectData* d = Lookup(hObject);
    if (!d || d->stock) return FALSE;
    if (d->owner) return d->owner->DeleteObject();
    return Unregister(hObject);
}

DWORD GetObjectType(HGDIOBJ hObject) {
    ObjectData* d = Lookup(hObject);
    return d ? DWORD(d->kind) : 0;
}

int GetObject(HGDIOBJ hObject, int nCount, LPVOID lpObject) {
    ObjectData* d = Lookup(hObject);
    if (!d || nCount < 0) return 0;
    auto copyOut = [&](const void* src, int size) {
        if (!lpObject) return size;
        const int n = std::min(nCount, size);
        std::memcpy(lpObject, src, size_t(n));
        return n;
    };
    switch (d->kind) {
    case Kind::Pen: {
        auto* p = static_cast<PenData*>(d);
        LOGPEN lp{UINT(p->style), POINT{p->width, 0}, p->color};
        return copyOut(&lp, sizeof lp);
    }
    case Kind::Brush: {
        auto* b = static_cast<BrushData*>(d);
        LOGBRUSH lb{UINT(b->style), b->color, 0};
        return copyOut(&lb, sizeof lb);
    }
    case Kind::Font: return copyOut(&static_cast<FontData*>(d)->lf, sizeof(LOGFONT));
    case Kind::Palette: {
        const WORD n = WORD(static_cast<PaletteData*>(d)->entries.size());
        return copyOut(&n, sizeof n);
    }
    case Kind::Bitmap: {
        auto* b = static_cast<BitmapData*>(d);
        BITMAP bm{};
        bm.bmWidth = b->Width();
        bm.bmHeight = b->Height();
        bm.bmPlanes = 1;
        if (b->dibSection) {
            bm.bmBitsPixel = b->header.biBitCount;
            bm.bmWidthBytes = ((bm.bmWidth * bm.bmBitsPixel + 31) / 32) * 4;
            bm.bmBits = b->bits.data();
        } else {
            bm.bmBitsPixel = WORD(b->declaredBits);
            bm.bmWidthBytes = ((bm.bmWidth * bm.bmBitsPixel + 15) / 16) * 2;
        }
        if (b->dibSection && lpObject && nCount >= int(sizeof(DIBSECTION))) {
            DIBSECTION ds{};
            ds.dsBm = bm;
            ds.dsBmih = b->header;
            std::copy(b->masks, b->masks + 3, ds.dsBitfields);
            return copyOut(&ds, sizeof ds);
        }
        return copyOut(&bm, sizeof bm);
    }
    case Kind::Region: return 0;
    }
    return 0;
}

COLORREF GetSysColor(int nIndex) { return SysColor(nIndex); }

HBRUSH GetSysColorBrush(int nIndex) {
    static BrushData* brushes[31] = {};
    static std::once_flag once;
    if (nIndex < 0 || nIndex >= 31) return nullptr;
    std::call_once(once, [] {
        for (int i = 0; i < 31; ++i) {
            brushes[i] = MakeBrush(BS_SOLID, SysColor(i));
            brushes[i]->stock = true;
            Register(brushes[i]);
        }
    });
    return static_cast<HBRUSH>(HandleOf(brushes[nIndex]));
}

BOOL LineDDA(int nXStart, int nYStart, int nXEnd, int nYEnd, LINEDDAPROC lpLineFunc, LPARAM lpData) {
    if (!lpLineFunc) return FALSE;
    StepLine(nXStart, nYStart, nXEnd, nYEnd, [&](int x, int y, int64_t) { lpLineFunc(x, y, lpData); });
    return TRUE;
}

UINT GetSystemPaletteEntries(HDC, UINT, UINT, PALETTEENTRY*) { return 0; }

UINT GetNearestPaletteIndex(HPALETTE hpal, COLORREF crColor) {
    auto* p = LookupAs<PaletteData>(hpal, Kind::Palette);
    return p ? Nearest(p->entries, crColor) : CLR_INVALID;
}
