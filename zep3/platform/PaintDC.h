#pragma once
/// @class CPaintDC
/// The device context of a WM_PAINT handler, as BeginPaint and
/// EndPaint give it. Construction takes the window's update region and
/// validates it, sends WM_ERASEBKGND (wParam: this DC) when the region was
/// invalidated with erasing, and limits drawing to the update region's part
/// of the window that its parents leave visible. Destruction hands the
/// painted area to the window's display. Use it on the window's thread.
#include <zep3/platform/DC.h>

#include <memory>

class CWnd;

/// What BeginPaint reports.
struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;    ///< TRUE when WM_ERASEBKGND did not erase: the handler should
    RECT rcPaint;   ///< the update region's bounding rectangle, client coordinates
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

class ZEP3_API CPaintDC : public CDC {
public:
    /// A null or destroyed window gives a DC that draws nothing.
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

protected:
    HWND m_hWnd;

private:
    std::shared_ptr<void> m_display; // keeps the window's surface while drawing
};
