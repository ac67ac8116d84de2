#include <zep3/imaging/ImageBuffer.h>
#include <zep3/media/DXDisplay.h>
#include <zep3/media/detail/DXObjects.h>
#include <zep3/platform/ClientDC.h>
#include <zep3/platform/PixelSurface.h>
#include <zep3/platform/Wnd.h>

#include <cstring>

using zep3::detail::AddRef;
using zep3::detail::Release;

namespace {

// Display index i is told by the identifier {i + 1, 'SD', 'L2'}; zero is the
// default device.
GUID ScreenId(int index) { return GUID{DWORD(index + 1), 0x5344, 0x4C32, {}}; }
int ScreenIndex(const GUID& id) { return id.Data1 ? int(id.Data1) - 1 : 0; }

Uint32 ScreenFormat(DWORD bitsPerPixel) {
    switch (bitsPerPixel) {
    case 8: return SDL_PIXELFORMAT_INDEX8;
    case 16: return SDL_PIXELFORMAT_RGB565;
    case 24: return SDL_PIXELFORMAT_BGR24;
    case 32: return SDL_PIXELFORMAT_RGB888;
    default: return SDL_PIXELFORMAT_UNKNOWN;
    }
}

DDSURFACEDESC2 Description(DWORD width, DWORD height, DWORD caps) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = width;
    d.dwHeight = height;
    d.ddsCaps.dwCaps = caps;
    return d;
}

// The rectangle, or all of the surface when null; false when it does not
// lie inside the surface or is empty.
bool Area(const RECT* r, const SDL_Surface* s, SDL_Rect* out) {
    if (!r) {
        *out = SDL_Rect{0, 0, s->w, s->h};
        return true;
    }
    if (r->left < 0 || r->top < 0 || r->right > s->w || r->bottom > s->h || r->left >= r->right ||
        r->top >= r->bottom)
        return false;
    *out = SDL_Rect{r->left, r->top, r->right - r->left, r->bottom - r->top};
    return true;
}

// *surface = a new surface as described; on failure the object is deleted again.
long NewSurface(CDXSurface** surface, IDirectDraw7* ddraw, DDSURFACEDESC2& d) {
    auto* made = new CDXSurface;
    const long result = made->Create(ddraw, &d);
    if (result) {
        delete made;
        return result;
    }
    *surface = made;
    return 0;
}

long Blit(SDL_Surface* from, SDL_Rect source, SDL_Surface* to, SDL_Rect dest) {
    if (source.w == dest.w && source.h == dest.h) return SDL_BlitSurface(from, &source, to, &dest) ? E_FAIL : 0;
    if (!from->format->palette) return SDL_BlitScaled(from, &source, to, &dest) ? E_FAIL : 0;
    // SDL stretches no indexed pixels: through the palette first.
    SDL_Surface* converted = SDL_ConvertSurface(from, to->format, 0);
    if (!converted) return E_OUTOFMEMORY;
    SDL_SetSurfaceBlendMode(converted, SDL_BLENDMODE_NONE);
    const int failed = SDL_BlitScaled(converted, &source, to, &dest);
    SDL_FreeSurface(converted);
    return failed ? E_FAIL : 0;
}

} // namespace

CDXDisplay::CDXDisplay()
    : m_pDD(nullptr), m_pddsFrontBuffer(nullptr), m_pddsBackBuffer(nullptr), m_hWnd(nullptr), m_hWndSource(nullptr),
      m_bWindowed(false), m_bFullScreen(false) {}

CDXDisplay::~CDXDisplay() { DestroyObjects(); }

CDXDisplay::CDXDisplay(const CDXDisplay& other)
    : m_pDD(other.m_pDD), m_pddsFrontBuffer(other.m_pddsFrontBuffer), m_pddsBackBuffer(other.m_pddsBackBuffer),
      m_hWnd(other.m_hWnd), m_hWndSource(other.m_hWndSource), m_rcBounds(other.m_rcBounds),
      m_bWindowed(other.m_bWindowed), m_bFullScreen(other.m_bFullScreen), m_Error(other.m_Error) {
    Share();
}

CDXDisplay& CDXDisplay::operator=(const CDXDisplay& other) {
    if (this == &other) return *this;
    DestroyObjects();
    m_pDD = other.m_pDD;
    m_pddsFrontBuffer = other.m_pddsFrontBuffer;
    m_pddsBackBuffer = other.m_pddsBackBuffer;
    m_hWnd = other.m_hWnd;
    m_hWndSource = other.m_hWndSource;
    m_rcBounds = other.m_rcBounds;
    m_bWindowed = other.m_bWindowed;
    m_bFullScreen = other.m_bFullScreen;
    m_Error = other.m_Error;
    Share();
    return *this;
}

void CDXDisplay::Share() {
    AddRef(m_pDD);
    AddRef(m_pddsFrontBuffer);
    AddRef(m_pddsBackBuffer);
}

long CDXDisplay::Fail(const char* why) {
    m_Error = why;
    return E_FAIL;
}

long CDXDisplay::CreateWindowedDisplay(HWND window, DWORD width, DWORD height) {
    DestroyObjects();
    m_Error.Empty();
    if (!::IsWindow(window)) return Fail("The display window is not a window");
    const char* why = nullptr;
    m_pDD = zep3::detail::CreateDirectDraw(&why);
    if (!m_pDD) return Fail(why);
    m_pDD->window = window;
    m_pddsFrontBuffer = zep3::detail::WrapSurface(m_pDD, nullptr, DDSCAPS_PRIMARYSURFACE);
    long result = 0;
    m_pddsBackBuffer = zep3::detail::CreateSurface(
        m_pDD, Description(width, height, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE), &result);
    if (!m_pddsBackBuffer) return Fail("The back surface could not be made");
    m_hWnd = window;
    m_bWindowed = true;
    UpdateBounds();
    return 0;
}

long CDXDisplay::CreateFullScreenDisplay(HWND window, DWORD width, DWORD height, DWORD bitsPerPixel,
                                         HWND sourceWindow) {
    DestroyObjects();
    m_Error.Empty();
    const Uint32 format = ScreenFormat(bitsPerPixel);
    if (format == SDL_PIXELFORMAT_UNKNOWN) return Fail("Full screen takes 8, 16, 24 or 32 bits per pixel");
    const char* why = nullptr;
    m_pDD = zep3::detail::CreateDirectDraw(&why);
    if (!m_pDD) return Fail(why);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy")) {
        m_Error.Format("Full screen needs a screen; there is none (video driver %s)", driver ? driver : "none");
        return E_FAIL;
    }
    // The mode: width x height on the chosen screen. The screen keeps its own
    // depth; a back buffer of another depth is converted as it is flipped.
    const int screen = ScreenIndex(GetFirstScreen());
    SDL_DisplayMode mode{};
    bool found = false;
    for (int i = 0, n = SDL_GetNumDisplayModes(screen); i < n && !found; ++i)
        found = SDL_GetDisplayMode(screen, i, &mode) == 0 && mode.w == int(width) && mode.h == int(height);
    if (!found) {
        m_Error.Format("The screen has no %u x %u mode", unsigned(width), unsigned(height));
        return E_FAIL;
    }
    m_pDD->window = window;
    m_pDD->format = format;
    m_pDD->screen = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED_DISPLAY(screen), SDL_WINDOWPOS_UNDEFINED_DISPLAY(screen),
                                     int(width), int(height), SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (!m_pDD->screen || SDL_SetWindowDisplayMode(m_pDD->screen, &mode) != 0 ||
        SDL_SetWindowFullscreen(m_pDD->screen, SDL_WINDOW_FULLSCREEN) != 0)
        return Fail(SDL_GetError());
    SDL_ShowWindow(m_pDD->screen);
    const DWORD chain = DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_3DDEVICE;
    m_pddsFrontBuffer = zep3::detail::WrapSurface(m_pDD, nullptr, DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | chain);
    long result = 0;
    m_pddsBackBuffer =
        zep3::detail::CreateSurface(m_pDD, Description(width, height, DDSCAPS_BACKBUFFER | chain), &result);
    if (!m_pddsBackBuffer) return Fail("The back buffer could not be made");
    m_hWnd = window;
    m_hWndSource = sourceWindow;
    m_bFullScreen = true;
    UpdateBounds();
    return 0;
}

long CDXDisplay::DestroyObjects() {
    Release(m_pddsBackBuffer);
    Release(m_pddsFrontBuffer);
    Release(m_pDD);
    m_pddsBackBuffer = nullptr;
    m_pddsFrontBuffer = nullptr;
    m_pDD = nullptr;
    m_bWindowed = false;
    m_bFullScreen = false;
    return 0;
}

long CDXDisplay::CreateSurface(CDXSurface** surface, DWORD width, DWORD height) {
    if (!surface) return E_INVALIDARG;
    delete *surface;
    *surface = nullptr;
    if (!m_pDD) return E_POINTER;
    DDSURFACEDESC2 d = Description(width, height, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    return NewSurface(surface, m_pDD, d);
}

long CDXDisplay::CreateClientSurface(CDXSurface** surface, CImageBuffer* image) {
    if (!surface) return E_INVALIDARG;
    delete *surface;
    *surface = nullptr;
    if (!m_pDD) return E_POINTER;
    if (!image || image->IsEmpty() || !image->GetPixelBuffer()) return E_INVALIDARG;
    const int pixelSize = image->GetPixelSize();
    DDSURFACEDESC2 d = Description(DWORD(image->GetSize().cx), DWORD(image->GetSize().cy),
                                   DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
    d.dwFlags |= DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
    d.lPitch = LONG(image->GetSize().cx * pixelSize); // the image's padding is not part of a row
    d.lpSurface = image->GetPixelBuffer();
    DDPIXELFORMAT& pf = d.ddpfPixelFormat;
    pf.dwSize = sizeof pf;
    pf.dwFlags = DDPF_RGB;
    pf.dwRGBBitCount = DWORD(pixelSize * 8);
    switch (pixelSize) {
    case 1: pf.dwFlags |= DDPF_PALETTEINDEXED8; break;
    case 2: pf.dwRBitMask = 0x7C00, pf.dwGBitMask = 0x03E0, pf.dwBBitMask = 0x001F; break;
    case 3: pf.dwRBitMask = 0xFF0000, pf.dwGBitMask = 0x00FF00, pf.dwBBitMask = 0x0000FF; break;
    case 4: break;
    default: return DDERR_INVALIDPIXELFORMAT;
    }
    return NewSurface(surface, m_pDD, d);
}

long CDXDisplay::CreateSurfaceFromText(CDXSurface** surface, HFONT font, char* text, COLORREF background,
                                       COLORREF foreground) {
    if (!m_pDD || !text || !surface) return E_INVALIDARG;
    *surface = nullptr;
    CSize size;
    {
        CClientDC screen(nullptr);
        if (font) screen.SelectObject(HGDIOBJ(font));
        size = screen.GetTextExtent(text, int(std::strlen(text)));
    }
    const long result = CreateSurface(surface, DWORD(size.cx), DWORD(size.cy));
    if (result) return result;
    return (*surface)->DrawTextA(font, text, 0, 0, background, foreground);
}

long CDXDisplay::Blt(RECT* dest, CDXSurface* source, RECT* sourceRect) {
    if (!source) return E_INVALIDARG;
    return Blt(dest, source->GetDDrawSurface(), sourceRect, DDBLT_WAIT);
}

long CDXDisplay::Blt(DWORD x, DWORD y, CDXSurface* source, RECT* sourceRect) {
    if (!source) return E_INVALIDARG;
    const CSize size = source->GetSize();
    RECT dest{LONG(x), LONG(y), LONG(x) + size.cx, LONG(y) + size.cy};
    return Blt(&dest, source->GetDDrawSurface(), sourceRect, DDBLT_WAIT);
}

long CDXDisplay::Blt(RECT* dest, IDirectDrawSurface7* source, RECT* sourceRect, DWORD) {
    if (!source) return E_INVALIDARG;
    if (!m_pddsBackBuffer) return E_POINTER;
    if (!source->pixels) return DDERR_INVALIDPARAMS;
    SDL_Surface* back = m_pddsBackBuffer->pixels;
    SDL_Rect from, to;
    if (!Area(sourceRect, source->pixels, &from) || !Area(dest, back, &to)) return DDERR_INVALIDRECT;
    return Blit(source->pixels, from, back, to);
}

long CDXDisplay::BltFast(DWORD x, DWORD y, CDXSurface* source, RECT* sourceRect) {
    if (!source) return E_INVALIDARG;
    return BltFast(x, y, source->GetDDrawSurface(), sourceRect, DDBLTFAST_WAIT);
}

long CDXDisplay::BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, RECT* sourceRect, DWORD) {
    if (!source) return E_INVALIDARG;
    if (!m_pddsBackBuffer) return E_POINTER;
    if (!source->pixels) return DDERR_INVALIDPARAMS;
    SDL_Surface* back = m_pddsBackBuffer->pixels;
    SDL_Rect from;
    if (!Area(sourceRect, source->pixels, &from)) return DDERR_INVALIDRECT;
    const RECT dest{LONG(x), LONG(y), LONG(x) + from.w, LONG(y) + from.h};
    SDL_Rect to;
    if (x > DWORD(back->w) || y > DWORD(back->h) || !Area(&dest, back, &to)) return DDERR_INVALIDRECT;
    return Blit(source->pixels, from, back, to);
}

long CDXDisplay::Clear(DWORD colour) {
    if (!m_pddsBackBuffer) return E_POINTER;
    return SDL_FillRect(m_pddsBackBuffer->pixels, nullptr, colour) == 0 ? 0 : E_FAIL;
}

long CDXDisplay::Present() {
    if (!m_pddsFrontBuffer || !m_pddsBackBuffer) return E_POINTER;
    SDL_Surface* back = m_pddsBackBuffer->pixels;
    if (m_bFullScreen) {
        // The window's events are not passed on, but taken, so that the
        // window manager sees it answer.
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        // The flip: the back buffer onto the screen's window, in the screen's format.
        SDL_Surface* screen = SDL_GetWindowSurface(m_pDD->screen);
        if (!screen) return E_FAIL;
        const long result = Blit(back, SDL_Rect{0, 0, back->w, back->h}, screen, SDL_Rect{0, 0, screen->w, screen->h});
        return result ? result : (SDL_UpdateWindowSurface(m_pDD->screen) == 0 ? 0 : E_FAIL);
    }
    // Windowed: the whole back surface over the window's client area, through
    // the window's own surface and display.
    HDC hdc = ::GetDC(m_hWnd);
    CDC* dc = CDC::FromHandle(hdc);
    if (!dc) return E_FAIL;
    CPixelSurface pixels;
    pixels.Attach(back->pixels, back->w, back->h, back->pitch);
    CDC source;
    source.AttachSurface(&pixels);
    CRect client;
    ::GetClientRect(m_hWnd, &client);
    if (client.Width() == back->w && client.Height() == back->h) {
        dc->BitBlt(0, 0, back->w, back->h, &source, 0, 0, SRCCOPY);
    } else {
        dc->SetStretchBltMode(COLORONCOLOR);
        dc->StretchBlt(0, 0, client.Width(), client.Height(), &source, 0, 0, back->w, back->h, SRCCOPY);
    }
    ::ReleaseDC(m_hWnd, hdc);
    return 0;
}

long CDXDisplay::UpdateBounds() {
    if (m_bFullScreen && m_pDD && m_pDD->screen) {
        SDL_DisplayMode mode{};
        if (SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(m_pDD->screen), &mode) == 0)
            m_rcBounds.SetRect(0, 0, mode.w, mode.h);
    } else if (CWnd* window = CWnd::FromHandle(m_hWnd)) {
        window->GetWindowRect(&m_rcBounds);
    }
    return 0;
}

GUID CDXDisplay::GetFirstScreen() {
    const int screens = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetNumVideoDisplays() : 0;
    return screens > 0 ? ScreenId(0) : GUID{};
}
