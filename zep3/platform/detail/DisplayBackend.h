#pragma once
// Where windows are shown. Every top-level window paints into a surface of
// its own (WindowPaint.cpp); when a display back end is there, a visible
// top-level window is also shown through it: the painting opens a display
// window of the same size, presents what each paint changed, and turns the
// display window's input into window messages on the window's own thread.
// The painting is written against this interface alone, the way the message
// loop is written against LoopBackend.
//
// Back ends: X11 (DisplayX11.cpp, chosen when DISPLAY names a server that
// answers and ZEP3_HEADLESS is not set) and HeadlessDisplay, which keeps what
// was presented in memory and takes input from tests. How another one (an
// SDL2 display, full screen) plugs in: docs/platform-drawing.md.
#include <zep3/platform/Export.h>
#include <zep3/platform/Rect.h>

#include <memory>

class CPixelSurface;

namespace zep3::detail {

// Something that happened to a display window, in window terms.
struct DisplayEvent {
    enum Type { NoEvent, ButtonDown, ButtonUp, Motion, Resized, CloseRequest };
    Type type = NoEvent;
    int x = 0, y = 0;          // pointer position, client pixels
    int width = 0, height = 0; // the new client size (Resized)
    int button = 0;            // 1 left, 2 middle, 3 right
    UINT keys = 0;             // MK_* flags as the mouse message carries them (after the event)
    DWORD time = 0;            // milliseconds on the display's clock, for double clicks
};

// One shown top-level window; used on the thread of the window it shows.
class DisplayWindow {
public:
    virtual ~DisplayWindow() = default;
    // 8-bit text in the system code page.
    virtual void SetTitle(const char* title) = 0;
    // The window's client size changed.
    virtual void Resize(int width, int height) = 0;
    // Shows `area` of the surface (all of it when null or when the size
    // changed since the last present). The back end copies what it keeps:
    // the surface may change as soon as this returns.
    virtual bool Present(const CPixelSurface& surface, const RECT* area) = 0;
    // Readable while events wait; the message loop watches it.
    virtual int EventDescriptor() const = 0;
    // The next waiting event, without blocking; false when there is none.
    // What the back end handles itself (repainting an exposed part from its
    // copy) does not come out.
    virtual bool NextEvent(DisplayEvent* event) = 0;
};

class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;
    virtual bool GetScreenSize(int* width, int* height) = 0;
    // A shown window of that client size; null when none can be shown.
    virtual std::unique_ptr<DisplayWindow> OpenWindow(int width, int height, const char* title) = 0;
};

// The back end windows are shown through from now on: the installed one,
// else X11 when a server answers, else none (the windows stay headless).
DisplayBackend* CurrentDisplay();
// Installs a back end (null: back to the default choice); the caller keeps
// it alive while it is installed.
ZEP3_TEST_API void SetDisplayBackend(DisplayBackend* backend);
// The X11 back end; null unless DISPLAY names a server. A server that could
// not be opened is not asked again until DISPLAY changes.
DisplayBackend* X11Display();

// Brings a back end's copy of the shown pixels up to date: `area` of `from`
// (clipped), or all of it when area is null or the sizes differ. The part
// copied; empty when nothing was.
CRect CopyPresented(CPixelSurface& kept, const CPixelSurface& from, const RECT* area);

} // namespace zep3::detail
