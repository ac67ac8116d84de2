#pragma once
// What the window controls share: their window class and double-buffered painting.
#include <zep3/platform/Bitmap.h>
#include <zep3/platform/PaintDC.h>
#include <zep3/platform/Wnd.h>

namespace zep3::detail {

// Registers a control's window class once per process: double clicks,
// redraw on either resize, the arrow cursor, the given background.
bool RegisterControlClass(LPCSTR className, HBRUSH background);

// A paint into an off-screen bitmap of the client size, copied to the window
// when the object goes away, so that the control never shows half a frame.
class OffscreenPaint {
public:
    explicit OffscreenPaint(CWnd* wnd);
    ~OffscreenPaint();
    OffscreenPaint(const OffscreenPaint&) = delete;
    OffscreenPaint& operator=(const OffscreenPaint&) = delete;

    // Draw here; `Client()` is the area to cover.
    CDC& Dc() { return m_memory; }
    const CRect& Client() const { return m_client; }

private:
    CPaintDC m_window;
    CDC m_memory;
    CBitmap m_bitmap;
    CBitmap* m_oldBitmap = nullptr;
    CRect m_client;
};

} // namespace zep3::detail
