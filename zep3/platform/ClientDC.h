#pragma once
/// @class CClientDC
/// A device context on a window's client area outside WM_PAINT
/// (GetDC / ReleaseDC). It draws into the window's surface wherever the
/// window's parents leave it visible; what it drew is shown when it is
/// destroyed. Use it on the window's thread, or serialise with its painting.
#include <zep3/platform/DC.h>

#include <memory>

class CWnd;

class ZEP3_API CClientDC : public CDC {
public:
    /// A null window gives the screen's DC (as GetDC(NULL)); a destroyed one
    /// a DC that draws nothing.
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

protected:
    HWND m_hWnd;

private:
    std::shared_ptr<void> m_display;
};
