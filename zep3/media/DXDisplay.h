#pragma once
/// @class CDXDisplay
/// Puts images on the screen. A windowed display shows its back
/// surface in a window of the application's (the window's own surface and
/// display: an X server, or nothing when headless); a full-screen display
/// takes a screen in a mode of its own and flips its back surface onto it.
/// Surfaces are made here and blitted onto the back surface; Present shows it.
///
/// The display machinery is SDL2 (private). Without a screen (no DISPLAY)
/// its offscreen video driver serves, so everything but full screen works
/// headless; full screen then fails with E_FAIL and GetError says why.
/// Surfaces are never lost and never busy here, so Present never returns
/// DDERR_SURFACELOST or repeats for DDERR_WASSTILLDRAWING.
/// Results: 0 on success, the codes of DDraw.h otherwise.
#include <zep3/media/DDraw.h>
#include <zep3/media/DXSurface.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/String.h>

class CImageBuffer;

class ZEP3_API CDXDisplay {
public:
    CDXDisplay();
    virtual ~CDXDisplay();
    /// Copies share the display objects, each holding a reference of its own.
    CDXDisplay(const CDXDisplay& other);
    CDXDisplay& operator=(const CDXDisplay& other);

    /// A display in `window` (a window of this process) with a 32-bit back
    /// surface of width x height, stretched over the client area by Present.
    long CreateWindowedDisplay(HWND window, DWORD width, DWORD height);
    /// The screen chosen by GetFirstScreen in a width x height x bitsPerPixel
    /// mode (8, 16, 24 or 32; 8 shows through the grey palette) with a back
    /// buffer of that format. `window` is the focus window, `sourceWindow` is
    /// only kept.
    long CreateFullScreenDisplay(HWND window, DWORD width, DWORD height, DWORD bitsPerPixel, HWND sourceWindow);
    long DestroyObjects();

    /// An off-screen surface of the display's format.
    long CreateSurface(CDXSurface** surface, DWORD width, DWORD height);
    /// A surface over the image's own pixels (pitch = width x pixel size; the
    /// image must outlive it): 16-bit 5-5-5, 24-bit, 32-bit; an 8-bit image
    /// gives an 8-bit surface shown through the grey palette.
    long CreateClientSurface(CDXSurface** surface, CImageBuffer* image);
    /// A surface of exactly the text's size with the text drawn in it.
    long CreateSurfaceFromText(CDXSurface** surface, HFONT font, char* text, COLORREF background,
                               COLORREF foreground);

    ///@{
    /// Stretch blits onto the back surface (null rectangles: whole surfaces).
    long Blt(RECT* dest, CDXSurface* source, RECT* sourceRect);
    long Blt(DWORD x, DWORD y, CDXSurface* source, RECT* sourceRect);
    long Blt(RECT* dest, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags);
    ///@}
    ///@{
    /// Unstretched blits onto the back surface at (x, y).
    long BltFast(DWORD x, DWORD y, CDXSurface* source, RECT* sourceRect);
    long BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags);
    ///@}
    /// Fills the back surface with a pixel value of its format.
    long Clear(DWORD colour);
    /// Shows the back surface.
    long Present();
    long UpdateBounds();

    IDirectDraw7* GetDirectDraw() { return m_pDD; }
    IDirectDrawSurface7* GetFrontBufferSurface() { return m_pddsFrontBuffer; }
    IDirectDrawSurface7* GetBackBufferSurface() { return m_pddsBackBuffer; }
    bool IsWindowed() { return m_bWindowed; }
    bool IsFullScreen() { return m_bFullScreen; }
    HWND GetSourceWnd() { return m_hWndSource; }
    void SetSourceWnd(HWND window) { m_hWndSource = window; }
    /// Why the last display creation failed; empty after a success.
    CString GetError() const { return m_Error; }

protected:
    /// The first screen's identifier; zero when there is none.
    GUID GetFirstScreen();

    IDirectDraw7* m_pDD;
    IDirectDrawSurface7* m_pddsFrontBuffer;
    IDirectDrawSurface7* m_pddsBackBuffer;
    HWND m_hWnd;
    HWND m_hWndSource;
    CRect m_rcBounds;
    bool m_bWindowed;
    bool m_bFullScreen;
    CString m_Error;

private:
    long Fail(const char* why);
    void Share();
};
