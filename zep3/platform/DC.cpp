// CDC: creation, object selection, attributes, coordinates and clipping.
#include <zep3/platform/detail/DCImpl.h>

#include <algorithm>
#include <unordered_set>

using namespace zep3::detail;

namespace {

std::mutex g_dcLock;
std::unordered_set<const CDC::Impl*>& LiveDCs() {
    static auto* table = new std::unordered_set<const CDC::Impl*>;
    return *table;
}

// The bitmap a fresh memory DC has selected: one monochrome pixel, shared.
BitmapData* DefaultBitmap() {
    static BitmapData* bitmap = [] {
        auto* b = new BitmapData;
        b->stock = true;
        b->declaredBits = 1;
        b->surface.Create(1, 1);
        Register(b);
        return b;
    }();
    return bitmap;
}

}  // namespace

namespace zep3::detail {
CDC::Impl* DCFromHandle(HDC hdc) {
    if (!hdc) return nullptr;
    std::lock_guard<std::mutex> lock(g_dcLock);
    auto* impl = reinterpret_cast<CDC::Impl*>(hdc);
    return LiveDCs().count(impl) ? impl : nullptr;
}

void SetDeviceArea(CDC* dc, POINT origin, const RECT& bounds) {
    CDC::Impl* impl = dc ? DCFromHandle(dc->GetSafeHdc()) : nullptr;
    if (!impl) return;
    impl->origin = origin;
    impl->bounds = bounds;
    impl->bounded = true;
}
}  // namespace zep3::detail

CPixelSurface* CDC::Impl::Surface() const {
    if (state.bitmap) return state.bitmap->Drawable() ? &state.bitmap->surface : nullptr;
    return attached;
}

Target CDC::Impl::GetTarget() const {
    Target t;
    CPixelSurface* s = created ? Surface() : nullptr;
    if (!s || s->IsEmpty()) return t;
    t.surface = s;
    t.clip = RECT{0, 0, s->GetWidth(), s->GetHeight()};
    if (bounded) {
        t.clip.left = std::max(t.clip.left, bounds.left);
        t.clip.top = std::max(t.clip.top, bounds.top);
        t.clip.right = std::min(t.clip.right, bounds.right);
        t.clip.bottom = std::min(t.clip.bottom, bounds.bottom);
    }
    if (state.clipped) {
        t.clip.left = std::max(t.clip.left, state.clip.left);
        t.clip.top = std::max(t.clip.top, state.clip.top);
        t.clip.right = std::min(t.clip.right, state.clip.right);
        t.clip.bottom = std::min(t.clip.bottom, state.clip.bottom);
        if (t.clip.right < t.clip.left) t.clip.right = t.clip.left;
        if (t.clip.bottom < t.clip.top) t.clip.bottom = t.clip.top;
    }
    return t;
}

// ---------------------------------------------------------------- lifetime

CDC::CDC() : m_impl(std::make_unique<Impl>()) { m_impl->owner = this; }

CDC::~CDC() {
    DeleteDC();
}

CDC* CDC::FromHandle(HDC hDC) {
    Impl* impl = DCFromHandle(hDC);
    return impl ? impl->owner : nullptr;
}

namespace {
void Begin(CDC::Impl* impl, HDC& handle) {
    impl->created = true;
    impl->state = CDC::Impl::State();
    impl->state.pen = Ref<PenData>(static_cast<PenData*>(Stock(BLACK_PEN)));
    impl->state.brush = Ref<BrushData>(static_cast<BrushData*>(Stock(WHITE_BRUSH)));
    impl->state.font = Ref<FontData>(static_cast<FontData*>(Stock(SYSTEM_FONT)));
    impl->state.palette = Ref<PaletteData>(static_cast<PaletteData*>(Stock(DEFAULT_PALETTE)));
    impl->styleStep = 0;
    std::lock_guard<std::mutex> lock(g_dcLock);
    LiveDCs().insert(impl);
    handle = reinterpret_cast<HDC>(impl);
}
}  // namespace

BOOL CDC::CreateCompatibleDC(CDC*) {
    if (m_impl->created) return FALSE;
    Begin(m_impl.get(), m_hDC);
    m_impl->state.bitmap = Ref<BitmapData>(DefaultBitmap());
    return TRUE;
}

BOOL CDC::AttachSurface(CPixelSurface* pSurface) {
    if (m_impl->created || !pSurface) return FALSE;
    Begin(m_impl.get(), m_hDC);
    m_impl->attached = pSurface;
    return TRUE;
}

BOOL CDC::DeleteDC() {
    if (!m_impl->created) return FALSE;
    {
        std::lock_guard<std::mutex> lock(g_dcLock);
        LiveDCs().erase(m_impl.get());
    }
    m_impl->created = false;
    m_impl->attached = nullptr;
    m_impl->origin = POINT{0, 0};
    m_impl->bounded = false;
    m_impl->state = Impl::State();
    m_impl->saved.clear();
    m_hDC = nullptr;
    return TRUE;
}

CPixelSurface* CDC::GetSurface() const { return m_impl->created ? m_impl->Surface() : nullptr; }

int CDC::SaveDC() {
    if (!m_impl->created) return 0;
    m_impl->saved.push_back(m_impl->state);
    return int(m_impl->saved.size());
}

BOOL CDC::RestoreDC(int nSavedDC) {
    const int count = int(m_impl->saved.size());
    const int level = nSavedDC < 0 ? count + 1 + nSavedDC : nSavedDC;
    if (!m_impl->created || level < 1 || level > count) return FALSE;
    m_impl->state = m_impl->saved[size_t(level - 1)];
    m_impl->saved.resize(size_t(level - 1));
    return TRUE;
}

// ---------------------------------------------------------------- selection

namespace {
template <class T>
Ref<ObjectData> Swap(Ref<T>& slot, ObjectData* data) {
    Ref<ObjectData> previous(slot.get());
    slot = Ref<T>(static_cast<T*>(data));
    return previous;
}
}  // namespace

// Selects the data and returns the previous object of its kind, or null when
// there was none or it was deleted while selected (it is freed now).
static ObjectData* SelectData(CDC* dc, CDC::Impl* impl, ObjectData* d) {
    if (!d || !impl->created) return nullptr;
    CDC::Impl::State& s = impl->state;
    Ref<ObjectData> previous;
    switch (d->kind) {
    case Kind::Pen: previous = Swap(s.pen, d); break;
    case Kind::Brush: previous = Swap(s.brush, d); break;
    case Kind::Font: previous = Swap(s.font, d); break;
    case Kind::Bitmap: previous = Swap(s.bitmap, d); break;
    case Kind::Region: dc->SelectClipRgn(static_cast<CRgn*>(WrapperOf(d))); return nullptr;
    case Kind::Palette: return nullptr;  // palettes go through SelectPalette
    }
    ObjectData* p = previous.get();
    if (!p || (!p->stock && p->refs.load() == 1)) return nullptr;
    return p;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) {
    ObjectData* d = Lookup(hObject);
    if (d && d->kind == Kind::Region) return SelectClipRgn(static_cast<CRgn*>(WrapperOf(d))) == RGN_ERROR ? nullptr : hObject;
    ObjectData* previous = SelectData(this, m_impl.get(), d);
    return previous ? HandleOf(previous) : nullptr;
}

namespace {
template <class T>
T* SelectTyped(CDC* dc, CDC::Impl* impl, CGdiObject* object, Kind kind) {
    ObjectData* d = object ? Lookup(object->m_hObject) : nullptr;
    if (!d || d->kind != kind) return nullptr;
    return static_cast<T*>(WrapperOf(SelectData(dc, impl, d)));
}
}  // namespace

CPen* CDC::SelectObject(CPen* pPen) { return SelectTyped<CPen>(this, m_impl.get(), pPen, Kind::Pen); }
CBrush* CDC::SelectObject(CBrush* pBrush) { return SelectTyped<CBrush>(this, m_impl.get(), pBrush, Kind::Brush); }
CFont* CDC::SelectObject(CFont* pFont) { return SelectTyped<CFont>(this, m_impl.get(), pFont, Kind::Font); }
CBitmap* CDC::SelectObject(CBitmap* pBitmap) { return SelectTyped<CBitmap>(this, m_impl.get(), pBitmap, Kind::Bitmap); }

int CDC::SelectObject(CRgn* pRgn) { return pRgn ? SelectClipRgn(pRgn) : RGN_ERROR; }

CGdiObject* CDC::SelectObject(CGdiObject* pObject) {
    ObjectData* d = pObject ? Lookup(pObject->m_hObject) : nullptr;
    if (d && d->kind == Kind::Region) {
        SelectClipRgn(static_cast<CRgn*>(pObject));
        return nullptr;
    }
    return WrapperOf(SelectData(this, m_impl.get(), d));
}

CGdiObject* CDC::SelectStockObject(int nIndex) { return WrapperOf(SelectData(this, m_impl.get(), Stock(nIndex))); }

CPen* CDC::GetCurrentPen() const { return static_cast<CPen*>(WrapperOf(m_impl->state.pen.get())); }
CBrush* CDC::GetCurrentBrush() const { return static_cast<CBrush*>(WrapperOf(m_impl->state.brush.get())); }
CFont* CDC::GetCurrentFont() const { return static_cast<CFont*>(WrapperOf(m_impl->state.font.get())); }
CBitmap* CDC::GetCurrentBitmap() const { return static_cast<CBitmap*>(WrapperOf(m_impl->state.bitmap.get())); }
CPalette* CDC::GetCurrentPalette() const { return static_cast<CPalette*>(WrapperOf(m_impl->state.palette.get())); }

CPalette* CDC::SelectPalette(CPalette* pPalette, BOOL) {
    auto* d = pPalette ? LookupAs<PaletteData>(pPalette->m_hObject, Kind::Palette) : nullptr;
    if (!d || !m_impl->created) return nullptr;
    Ref<ObjectData> previous = Swap(m_impl->state.palette, d);
    ObjectData* p = previous.get();
    if (!p || (!p->stock && p->refs.load() == 1)) return nullptr;
    return static_cast<CPalette*>(WrapperOf(p));
}

UINT CDC::RealizePalette() {
    return m_impl->created && m_impl->state.palette ? UINT(m_impl->state.palette->entries.size()) : 0;
}

int CDC::GetDeviceCaps(int nIndex) const {
    const CPixelSurface* s = GetSurface();
    const int w = s ? s->GetWidth() : 0, h = s ? s->GetHeight() : 0;
    switch (nIndex) {
    case DRIVERVERSION: return 0x4000;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZSIZE: return w * 254 / 960;
    case VERTSIZE: return h * 254 / 960;
    case HORZRES: return w;
    case VERTRES: return h;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMBRUSHES:
    case NUMPENS:
    case NUMCOLORS: return -1;
    case NUMFONTS: return 0;
    case RASTERCAPS: return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE: return 0;
    case NUMRESERVED: return 20;
    case COLORRES: return 24;
    default: return 0;
    }
}

// ---------------------------------------------------------------- attributes

namespace {
template <class T>
T Exchange(T& slot, T value) {
    T previous = slot;
    slot = value;
    return previous;
}
}  // namespace

COLORREF CDC::SetTextColor(COLORREF c) { return Exchange(m_impl->state.textColor, c & 0xFFFFFF); }
COLORREF CDC::GetTextColor() const { return m_impl->state.textColor; }
COLORREF CDC::SetBkColor(COLORREF c) { return Exchange(m_impl->state.bkColor, c & 0xFFFFFF); }
COLORREF CDC::GetBkColor() const { return m_impl->state.bkColor; }

int CDC::SetBkMode(int nBkMode) {
    if (nBkMode != TRANSPARENT && nBkMode != OPAQUE) return 0;
    return Exchange(m_impl->state.bkMode, nBkMode);
}
int CDC::GetBkMode() const { return m_impl->state.bkMode; }

int CDC::SetROP2(int nDrawMode) {
    if (nDrawMode < R2_BLACK || nDrawMode > R2_WHITE) return 0;
    return Exchange(m_impl->state.rop2, nDrawMode);
}
int CDC::GetROP2() const { return m_impl->state.rop2; }

int CDC::SetPolyFillMode(int nPolyFillMode) {
    if (nPolyFillMode != ALTERNATE && nPolyFillMode != WINDING) return 0;
    return Exchange(m_impl->state.polyFillMode, nPolyFillMode);
}
int CDC::GetPolyFillMode() const { return m_impl->state.polyFillMode; }

int CDC::SetStretchBltMode(int nStretchMode) {
    if (nStretchMode < BLACKONWHITE || nStretchMode > HALFTONE) return 0;
    return Exchange(m_impl->state.stretchMode, nStretchMode);
}
int CDC::GetStretchBltMode() const { return m_impl->state.stretchMode; }

BOOL CDC::SetColorAdjustment(const COLORADJUSTMENT* lpColorAdjust) {
    if (!lpColorAdjust) return FALSE;
    m_impl->state.colorAdjust = *lpColorAdjust;
    return TRUE;
}

BOOL CDC::GetColorAdjustment(LPCOLORADJUSTMENT lpColorAdjust) const {
    if (!lpColorAdjust) return FALSE;
    *lpColorAdjust = m_impl->state.colorAdjust;
    return TRUE;
}

UINT CDC::SetTextAlign(UINT nFlags) { return Exchange(m_impl->state.textAlign, nFlags); }
UINT CDC::GetTextAlign() const { return m_impl->state.textAlign; }

// ---------------------------------------------------------------- coordinates

CPoint CDC::SetViewportOrg(int x, int y) { return Exchange(m_impl->state.viewportOrg, POINT{x, y}); }
CPoint CDC::OffsetViewportOrg(int nWidth, int nHeight) {
    const POINT o = m_impl->state.viewportOrg;
    return SetViewportOrg(o.x + nWidth, o.y + nHeight);
}
CPoint CDC::GetViewportOrg() const { return m_impl->state.viewportOrg; }
CPoint CDC::SetWindowOrg(int x, int y) { return Exchange(m_impl->state.windowOrg, POINT{x, y}); }
CPoint CDC::OffsetWindowOrg(int nWidth, int nHeight) {
    const POINT o = m_impl->state.windowOrg;
    return SetWindowOrg(o.x + nWidth, o.y + nHeight);
}
CPoint CDC::GetWindowOrg() const { return m_impl->state.windowOrg; }

void CDC::LPtoDP(LPPOINT lpPoints, int nCount) const {
    const Impl::State& s = m_impl->state;
    for (int i = 0; lpPoints && i < nCount; ++i) {
        lpPoints[i].x += s.viewportOrg.x - s.windowOrg.x;
        lpPoints[i].y += s.viewportOrg.y - s.windowOrg.y;
    }
}

void CDC::DPtoLP(LPPOINT lpPoints, int nCount) const {
    const Impl::State& s = m_impl->state;
    for (int i = 0; lpPoints && i < nCount; ++i) {
        lpPoints[i].x += s.windowOrg.x - s.viewportOrg.x;
        lpPoints[i].y += s.windowOrg.y - s.viewportOrg.y;
    }
}

// ---------------------------------------------------------------- clipping

int CDC::IntersectClipRect(int x1, int y1, int x2, int y2) {
    if (!m_impl->created) return RGN_ERROR;
    Impl::State& s = m_impl->state;
    CRect r(m_impl->DX(x1), m_impl->DY(y1), m_impl->DX(x2), m_impl->DY(y2));
    r.NormalizeRect();
    if (s.clipped) {
        CRect both;
        both.IntersectRect(r, s.clip);
        r = both;
    }
    s.clip = r;
    s.clipped = true;
    return r.IsRectEmpty() ? NULLREGION : SIMPLEREGION;
}

int CDC::IntersectClipRect(LPCRECT lpRect) {
    return lpRect ? IntersectClipRect(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom) : RGN_ERROR;
}

int CDC::SelectClipRgn(CRgn* pRgn) {
    if (!m_impl->created) return RGN_ERROR;
    Impl::State& s = m_impl->state;
    if (!pRgn) {
        s.clipped = false;
        return SIMPLEREGION;
    }
    RECT box;
    if (pRgn->GetRgnBox(&box) == RGN_ERROR) return RGN_ERROR;
    box.left += m_impl->origin.x;
    box.right += m_impl->origin.x;
    box.top += m_impl->origin.y;
    box.bottom += m_impl->origin.y;
    s.clip = box;
    s.clipped = true;
    return CRect(box).IsRectEmpty() ? NULLREGION : SIMPLEREGION;
}

int CDC::GetClipBox(LPRECT lpRect) const {
    if (!lpRect) return RGN_ERROR;
    const Target t = m_impl->GetTarget();
    if (!t.surface) {
        *lpRect = RECT{0, 0, 0, 0};
        return RGN_ERROR;
    }
    const POINT o = m_impl->origin;
    POINT corners[2] = {{t.clip.left - o.x, t.clip.top - o.y}, {t.clip.right - o.x, t.clip.bottom - o.y}};
    DPtoLP(corners, 2);
    *lpRect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    return CRect(t.clip).IsRectEmpty() ? NULLREGION : SIMPLEREGION;
}

BOOL CDC::PtVisible(int x, int y) const { return m_impl->GetTarget().Inside(m_impl->DX(x), m_impl->DY(y)); }
