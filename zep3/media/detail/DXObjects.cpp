#include <zep3/media/detail/DXObjects.h>
#include <zep3/media/detail/DXVideo.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace zep3::detail {
namespace {

std::mutex g_videoLock;
int g_videoUsers = 0;
std::string g_driver;

bool WantX11() {
    const char* display = std::getenv("DISPLAY");
    const char* headless = std::getenv("ZEP3_HEADLESS");
    return display && *display && !(headless && *headless && std::strcmp(headless, "0") != 0);
}

// One SDL video session for every display object of the process.
bool StartVideo(const char** why) {
    std::lock_guard<std::mutex> hold(g_videoLock);
    if (g_videoUsers > 0) {
        ++g_videoUsers;
        return true;
    }
    // The application owns its signals; a screen saver is not ours to stop.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // Window surfaces as plain memory put to the screen: no OpenGL is loaded
    // just to find out whether it would be faster.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    std::vector<const char*> drivers;
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if (asked && *asked) {
        drivers.push_back(nullptr); // SDL takes the variable itself
    } else {
        if (WantX11()) drivers.push_back("x11");
        drivers.push_back("offscreen");
        drivers.push_back("dummy");
    }
    for (const char* driver : drivers) {
        if (driver) SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            g_driver = SDL_GetCurrentVideoDriver();
            ++g_videoUsers;
            return true;
        }
    }
    *why = "no video driver could be started";
    return false;
}

void StopVideo() {
    std::lock_guard<std::mutex> hold(g_videoLock);
    if (g_videoUsers > 0 && --g_videoUsers == 0) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        g_driver.clear();
    }
}

// SDL's pixel format for a described one; 0 when there is none like it.
Uint32 FormatOf(const IDirectDraw7* ddraw, const DDSURFACEDESC2& d) {
    if (!(d.dwFlags & DDSD_PIXELFORMAT)) return ddraw->format;
    const DDPIXELFORMAT& pf = d.ddpfPixelFormat;
    if (pf.dwFlags & DDPF_PALETTEINDEXED8) return SDL_PIXELFORMAT_INDEX8;
    if (!(pf.dwFlags & DDPF_RGB)) return SDL_PIXELFORMAT_UNKNOWN;
    if (pf.dwRGBBitCount == 32 && !pf.dwRBitMask && !pf.dwGBitMask && !pf.dwBBitMask) return SDL_PIXELFORMAT_RGB888;
    return SDL_MasksToPixelFormatEnum(int(pf.dwRGBBitCount), pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask,
                                      pf.dwRGBAlphaBitMask);
}

} // namespace

const char* DXVideoDriver() {
    std::lock_guard<std::mutex> hold(g_videoLock);
    static thread_local std::string copy;
    copy = g_driver;
    return copy.c_str();
}

IDirectDraw7* CreateDirectDraw(const char** why) {
    if (!StartVideo(why)) return nullptr;
    auto* ddraw = new IDirectDraw7;
    ddraw->grey = SDL_AllocPalette(256);
    if (ddraw->grey) {
        SDL_Color colours[256];
        for (int i = 0; i < 256; ++i) colours[i] = SDL_Color{Uint8(i), Uint8(i), Uint8(i), 255};
        SDL_SetPaletteColors(ddraw->grey, colours, 0, 256);
    }
    return ddraw;
}

void AddRef(IDirectDraw7* ddraw) {
    if (ddraw) ddraw->refs.fetch_add(1, std::memory_order_relaxed);
}

void Release(IDirectDraw7* ddraw) {
    if (!ddraw || ddraw->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (ddraw->screen) SDL_DestroyWindow(ddraw->screen); // gives the screen its own mode back
    if (ddraw->grey) SDL_FreePalette(ddraw->grey);
    delete ddraw;
    StopVideo();
}

void AddRef(IDirectDrawSurface7* surface) {
    if (surface) surface->refs.fetch_add(1, std::memory_order_relaxed);
}

void Release(IDirectDrawSurface7* surface) {
    if (!surface || surface->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (surface->pixels) SDL_FreeSurface(surface->pixels);
    Release(surface->ddraw);
    delete surface;
}

IDirectDrawSurface7* WrapSurface(IDirectDraw7* ddraw, SDL_Surface* pixels, DWORD caps) {
    if (pixels && pixels->format->palette && ddraw->grey) SDL_SetSurfacePalette(pixels, ddraw->grey);
    // Blits copy: no blending, whatever alpha a format carries.
    if (pixels) SDL_SetSurfaceBlendMode(pixels, SDL_BLENDMODE_NONE);
    auto* surface = new IDirectDrawSurface7;
    AddRef(ddraw);
    surface->ddraw = ddraw;
    surface->pixels = pixels;
    surface->caps = caps;
    return surface;
}

IDirectDrawSurface7* CreateSurface(IDirectDraw7* ddraw, const DDSURFACEDESC2& d, long* result) {
    *result = DDERR_INVALIDPARAMS;
    if (!ddraw || !(d.dwFlags & DDSD_WIDTH) || !(d.dwFlags & DDSD_HEIGHT) || d.dwWidth == 0 || d.dwHeight == 0 ||
        d.dwWidth > 32768 || d.dwHeight > 32768)
        return nullptr;
    const Uint32 format = FormatOf(ddraw, d);
    if (format == SDL_PIXELFORMAT_UNKNOWN) {
        *result = DDERR_INVALIDPIXELFORMAT;
        return nullptr;
    }
    const int w = int(d.dwWidth), h = int(d.dwHeight);
    const int depth = int(SDL_BYTESPERPIXEL(format)) * 8;
    SDL_Surface* pixels = nullptr;
    if (d.dwFlags & DDSD_LPSURFACE) {
        const int minimum = w * int(SDL_BYTESPERPIXEL(format));
        if (!d.lpSurface || !(d.dwFlags & DDSD_PITCH) || d.lPitch < minimum) return nullptr;
        pixels = SDL_CreateRGBSurfaceWithFormatFrom(d.lpSurface, w, h, depth, int(d.lPitch), format);
    } else {
        pixels = SDL_CreateRGBSurfaceWithFormat(0, w, h, depth, format);
    }
    if (!pixels) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    *result = 0;
    const DWORD caps = d.dwFlags & DDSD_CAPS ? d.ddsCaps.dwCaps : DWORD(DDSCAPS_OFFSCREENPLAIN);
    return WrapSurface(ddraw, pixels, caps);
}

DDSURFACEDESC2 Describe(const IDirectDrawSurface7* surface) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.ddpfPixelFormat.dwSize = sizeof d.ddpfPixelFormat;
    if (!surface) return d;
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = surface->caps;
    const SDL_Surface* s = surface->pixels;
    if (!s) return d; // the window: no pixels of its own to describe
    d.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
    d.dwWidth = DWORD(s->w);
    d.dwHeight = DWORD(s->h);
    d.lPitch = LONG(s->pitch);
    d.lpSurface = s->pixels;
    DDPIXELFORMAT& pf = d.ddpfPixelFormat;
    pf.dwFlags = DDPF_RGB;
    // Bytes, not SDL's significant bits: a 32-bit pixel with a spare byte counts 32.
    pf.dwRGBBitCount = DWORD(s->format->BytesPerPixel) * 8;
    if (s->format->palette) {
        pf.dwFlags |= DDPF_PALETTEINDEXED8;
    } else {
        pf.dwRBitMask = s->format->Rmask;
        pf.dwGBitMask = s->format->Gmask;
        pf.dwBBitMask = s->format->Bmask;
        pf.dwRGBAlphaBitMask = s->format->Amask;
    }
    return d;
}

} // namespace zep3::detail
