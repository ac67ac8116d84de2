#include <zep3/controls/detail/ControlPaint.h>
#include <zep3/platform/Cursor.h>

namespace zep3::detail {

bool RegisterControlClass(LPCSTR className, HBRUSH background) {
    WNDCLASS wc = {};
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return AfxRegisterClass(&wc) != FALSE;
}

OffscreenPaint::OffscreenPaint(CWnd* wnd) : m_window(wnd) {
    wnd->GetClientRect(&m_client);
    m_memory.CreateCompatibleDC(&m_window);
    if (m_bitmap.CreateCompatibleBitmap(&m_window, m_client.Width(), m_client.Height()))
        m_oldBitmap = m_memory.SelectObject(&m_bitmap);
}

OffscreenPaint::~OffscreenPaint() {
    if (m_oldBitmap) {
        m_window.BitBlt(0, 0, m_client.Width(), m_client.Height(), &m_memory, 0, 0, SRCCOPY);
        m_memory.SelectObject(m_oldBitmap);
    }
}

} // namespace zep3::detail
