#pragma once
// What stands behind the display pointers of CDXDisplay and CDXSurface: the
// display object (an SDL video session, and the full-screen window) and the
// surfaces (SDL surfaces, or the window a windowed display shows in). Only
// the display sources include this header: SDL stays out of the public ones.
#include <zep3/media/DDraw.h>

#include <SDL.h>

#include <atomic>

struct IDirectDraw7 {
    std::atomic<int> refs{1};
    HWND window = nullptr;            // the windowed display's window (or the focus window)
    SDL_Window* screen = nullptr;     // the full-screen window
    Uint32 format = SDL_PIXELFORMAT_RGB888; // the pixel format of the display's surfaces
    SDL_Palette* grey = nullptr;      // entry i = (i, i, i), for 8-bit surfaces
};

struct IDirectDrawSurface7 {
    std::atomic<int> refs{1};
    IDirectDraw7* ddraw = nullptr; // a reference, so that the palette and the screen live on
    SDL_Surface* pixels = nullptr; // null for the windowed display's front surface
    DWORD caps = 0;                // DDSCAPS_* it was created with
};

namespace zep3::detail {

// Starts the SDL video subsystem on the driver chosen for this machine (the
// one SDL_VIDEODRIVER names; else x11 when DISPLAY names a server and
// ZEP3_HEADLESS is not set; else offscreen, else dummy) and makes a display
// object. Null, with the reason in *why, when no driver starts.
IDirectDraw7* CreateDirectDraw(const char** why);
void AddRef(IDirectDraw7* ddraw);
void Release(IDirectDraw7* ddraw);
void AddRef(IDirectDrawSurface7* surface);
void Release(IDirectDrawSurface7* surface);

// A surface over an SDL surface (taken over) of that display.
IDirectDrawSurface7* WrapSurface(IDirectDraw7* ddraw, SDL_Surface* pixels, DWORD caps);
// A surface as described; null with the result in *result when it cannot be made.
IDirectDrawSurface7* CreateSurface(IDirectDraw7* ddraw, const DDSURFACEDESC2& description, long* result);
// The description of a surface (its size, pitch, memory, format and caps).
DDSURFACEDESC2 Describe(const IDirectDrawSurface7* surface);

} // namespace zep3::detail
