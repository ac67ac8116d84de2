#include <zep3/media/DXSurface.h>
#include <zep3/media/detail/DXObjects.h>
#include <zep3/platform/DC.h>
#include <zep3/platform/PixelSurface.h>

#include <cstring>

namespace {

using zep3::detail::AddRef;
using zep3::detail::Release;

SDL_Surface* PixelsOf(CDXSurface* surface) {
    IDirectDrawSurface7* s = surface ? surface->GetDDrawSurface() : nullptr;
    return s ? s->pixels : nullptr;
}

// Both surfaces locked for a conversion, unlocked again when it ends.
class LockedPair {
public:
    LockedPair(SDL_Surface* a, SDL_Surface* b) : m_a(a), m_b(b) {
        m_result = SDL_LockSurface(a) == 0 ? 0 : E_FAIL;
        if (m_result) return;
        if (SDL_LockSurface(b) != 0) {
            SDL_UnlockSurface(a);
            m_result = E_FAIL;
        }
    }
    ~LockedPair() {
        if (m_result) return;
        SDL_UnlockSurface(m_b);
        SDL_UnlockSurface(m_a);
    }
    long Result() const { return m_result; }

private:
    SDL_Surface *m_a, *m_b;
    long m_result;
};

// Checks a conversion's two surfaces: 0 when they fit, else -1 (or the
// lock's failure); rows of the pair are then converted by `row`.
template <typename Row>
long Convert(SDL_Surface* to, SDL_Surface* from, int toBytes, int fromBytes, Row row) {
    if (!to || !from) return E_POINTER;
    LockedPair locked(to, from);
    if (locked.Result()) return locked.Result();
    if (to->w != from->w || to->h != from->h || to->format->BytesPerPixel != toBytes ||
        from->format->BytesPerPixel != fromBytes)
        return -1;
    const auto* src = static_cast<const BYTE*>(from->pixels);
    auto* dst = static_cast<BYTE*>(to->pixels);
    for (int y = 0; y < to->h; ++y) row(dst + ptrdiff_t(y) * to->pitch, src + ptrdiff_t(y) * from->pitch, to->w);
    return 0;
}

} // namespace

CDXSurface::CDXSurface() : m_pSurface(nullptr), m_SurfaceDesc(zep3::detail::Describe(nullptr)) {}

CDXSurface::~CDXSurface() { Release(m_pSurface); }

CDXSurface::CDXSurface(const CDXSurface& other) : m_pSurface(other.m_pSurface), m_SurfaceDesc(other.m_SurfaceDesc) {
    AddRef(m_pSurface);
}

CDXSurface& CDXSurface::operator=(const CDXSurface& other) {
    AddRef(other.m_pSurface);
    Release(m_pSurface);
    m_pSurface = other.m_pSurface;
    m_SurfaceDesc = other.m_SurfaceDesc;
    return *this;
}

long CDXSurface::Create(IDirectDraw7* ddraw, DDSURFACEDESC2* description) {
    if (!ddraw) return E_POINTER;
    if (!description) return E_INVALIDARG;
    long result = 0;
    IDirectDrawSurface7* made = zep3::detail::CreateSurface(ddraw, *description, &result);
    if (!made) return result;
    Release(m_pSurface);
    m_pSurface = made;
    m_SurfaceDesc = zep3::detail::Describe(made);
    return 0;
}

long CDXSurface::Create(IDirectDrawSurface7* surface) {
    if (!surface) return E_POINTER;
    AddRef(surface);
    Release(m_pSurface);
    m_pSurface = surface;
    m_SurfaceDesc = zep3::detail::Describe(surface);
    return 0;
}

long CDXSurface::DrawTextA(HFONT font, char* text, DWORD x, DWORD y, COLORREF background, COLORREF foreground) {
    SDL_Surface* s = PixelsOf(this);
    if (!s || !text) return E_INVALIDARG;
    // The device context draws 32-bit pixels: other formats are drawn on a
    // 32-bit copy that is converted back.
    const bool direct = s->format->format == SDL_PIXELFORMAT_RGB888;
    SDL_Surface* canvas = direct ? s : SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB888, 0);
    if (!canvas) return DDERR_CANTCREATEDC;
    {
        CPixelSurface pixels;
        pixels.Attach(canvas->pixels, canvas->w, canvas->h, canvas->pitch);
        CDC dc;
        dc.AttachSurface(&pixels);
        dc.SetBkColor(background);
        dc.SetTextColor(foreground);
        if (font) dc.SelectObject(HGDIOBJ(font));
        dc.TextOut(int(x), int(y), text, int(std::strlen(text)));
    }
    if (!direct) {
        SDL_SetSurfaceBlendMode(canvas, SDL_BLENDMODE_NONE);
        SDL_BlitSurface(canvas, nullptr, s, nullptr);
        SDL_FreeSurface(canvas);
    }
    return 0;
}

long CDXSurface::BltFrom(CDXSurface* source) {
    SDL_Surface *to = PixelsOf(this), *from = PixelsOf(source);
    if (!to || !from) return E_POINTER;
    if (to->format->format == from->format->format) return -1;
    SDL_Rect area{0, 0, to->w, to->h};
    return SDL_BlitSurface(from, &area, to, nullptr) == 0 ? 0 : E_FAIL;
}

long CDXSurface::BltFrom16To32(CDXSurface* source) {
    return Convert(PixelsOf(this), PixelsOf(source), 4, 2, [](BYTE* d, const BYTE* s, int w) {
        for (int x = 0; x < w; ++x, s += 2, d += 4) {
            const unsigned word = unsigned(s[0]) | unsigned(s[1]) << 8;
            d[0] = BYTE((word & 0x1F) << 3);
            d[1] = BYTE((word >> 5 & 0x1F) << 3);
            d[2] = BYTE((word >> 10 & 0x1F) << 3);
        }
    });
}

long CDXSurface::BltFrom24To32(CDXSurface* source) {
    return Convert(PixelsOf(this), PixelsOf(source), 4, 3, [](BYTE* d, const BYTE* s, int w) {
        // Four bytes read for each pixel but the last, which must not be read past.
        int x = 0;
        for (; x + 1 < w; ++x) {
            uint32_t v;
            std::memcpy(&v, s + 3 * x, 4);
            v &= 0xFFFFFF;
            std::memcpy(d + 4 * x, &v, 4);
        }
        const uint32_t last = uint32_t(s[3 * x]) | uint32_t(s[3 * x + 1]) << 8 | uint32_t(s[3 * x + 2]) << 16;
        std::memcpy(d + 4 * x, &last, 4);
    });
}

long CDXSurface::BltFrom8To8(CDXSurface* source) {
    return Convert(PixelsOf(this), PixelsOf(source), 1, 1,
                   [](BYTE* d, const BYTE* s, int w) { std::memcpy(d, s, size_t(w)); });
}

CSize CDXSurface::GetSize() {
    if (!m_pSurface) return CSize(0, 0);
    return CSize(int(m_SurfaceDesc.dwWidth), int(m_SurfaceDesc.dwHeight));
}

int CDXSurface::GetBitsPerPixel() {
    if (!m_pSurface || !(m_SurfaceDesc.dwFlags & DDSD_PIXELFORMAT)) return 0;
    return int(m_SurfaceDesc.ddpfPixelFormat.dwRGBBitCount);
}
