#pragma once
// CSurfacePresenter: shows a CPixelSurface in a top-level X11 window.
//
// It is the display end of the drawing layer: a window paints into its
// surface headless, and when an X display is there (DISPLAY set and
// reachable) a presenter shows that surface. The window integration is meant
// to use it like this:
//   - Open(width, height, title) when a top-level window is shown;
//   - Present(surface) after each paint (the presenter keeps a copy, so it
//     can repaint exposed parts by itself);
//   - watch GetConnectionFd() in the message loop and call PollEvent until it
//     returns false whenever the descriptor is readable; exposures are handled
//     inside, the other events come out as PresenterEvent records (mouse
//     coordinates are client pixels);
//   - Resize, SetTitle, Close as the window changes.
// Without a display Open returns false and everything else does nothing.
// A presenter belongs to one thread; it has its own X connection.
#include <zep3/platform/Export.h>
#include <zep3/platform/PixelSurface.h>

// One input or window event of the presenter's window.
struct PresenterEvent {
    enum Type { NoEvent, Exposed, ButtonDown, ButtonUp, Motion, KeyDown, KeyUp, Resized, CloseRequest };
    Type type = NoEvent;
    int x = 0, y = 0;            // pointer position (client pixels) or the exposed area's corner
    int width = 0, height = 0;   // new size (Resized) or exposed area (Exposed)
    int button = 0;              // 1 left, 2 middle, 3 right, 4/5 wheel
    unsigned state = 0;          // X modifier and button mask at the event
    unsigned long keysym = 0;    // X key symbol (KeyDown, KeyUp)
    unsigned long time = 0;      // server time in ms (input events)
};

class ZEP3_API CSurfacePresenter {
public:
    CSurfacePresenter();
    ~CSurfacePresenter();
    CSurfacePresenter(const CSurfacePresenter&) = delete;
    CSurfacePresenter& operator=(const CSurfacePresenter&) = delete;

    // True when an X display can be opened (DISPLAY set and answering).
    static bool IsDisplayAvailable();
    // The default screen's size in pixels; false without a display.
    static bool GetScreenSize(int* width, int* height);

    // Opens the display and maps a window of that client size and title
    // (8-bit text in the system code page). Waits up to two seconds for the
    // window to be mapped. False without a display, for non-positive sizes,
    // or when already open.
    bool Open(int width, int height, const char* title);
    bool IsOpen() const;
    // Unmaps and destroys the window and closes the connection.
    void Close();
    bool SetTitle(const char* title);
    bool Resize(int width, int height);

    // Copies the surface to the window (at its top-left corner) and flushes.
    // The copy is kept for repainting exposed parts. With `area`, only that
    // rectangle is copied and sent, when the size is the one presented last
    // (otherwise the whole surface). False when not open.
    bool Present(const CPixelSurface& surface, const RECT* area = nullptr);
    // Reads the next pending event without waiting; false when there is none.
    bool PollEvent(PresenterEvent* event);
    // Waits up to timeoutMs for an event (PollEvent's rules).
    bool WaitEvent(PresenterEvent* event, int timeoutMs);

    // The X connection's file descriptor (-1 when not open), for a loop to watch.
    int GetConnectionFd() const;
    // The X window id (0 when not open), e.g. to grab the window's contents.
    unsigned long GetWindowId() const;

private:
    struct Impl;
    Impl* m_impl;
};
