#include <zep3/controls/WaveGraphPositionCtrl.h>
#include <zep3/controls/detail/ControlPaint.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const char kClassName[] = "MFCWaveGraphPositionCtrl";
// The bar in the wave graph's colours: its background, the thumb and its frame.
const COLORREF kBackground = 0x464646;
const COLORREF kThumb = 0x648C8C;
const COLORREF kThumbFrame = 0x64C8C8;

} // namespace

CWaveGraphPositionCtrl::CWaveGraphPositionCtrl()
    : m_nTotal(0), m_nWindowEnd(0), m_nWindowStart(0), m_bDragging(false), m_nGrabOffset(0) {
    zep3::detail::RegisterControlClass(kClassName, nullptr);
}

CWaveGraphPositionCtrl::~CWaveGraphPositionCtrl() {
    if (m_hWnd) DestroyWindow();
}

BOOL CWaveGraphPositionCtrl::Create(CWnd* parent, const RECT& rect, UINT id, DWORD style) {
    return CWnd::Create(kClassName, nullptr, style, rect, parent, id);
}

void CWaveGraphPositionCtrl::Init(int total) {
    Clear();
    m_nTotal = m_nWindowEnd = total;
    if (m_hWnd) Invalidate();
}

void CWaveGraphPositionCtrl::Clear() {
    if (m_bDragging && m_hWnd && ::GetCapture() == m_hWnd) ReleaseCapture();
    m_nTotal = m_nWindowEnd = m_nWindowStart = 0;
    m_bDragging = false;
    if (m_hWnd) Invalidate();
}

void CWaveGraphPositionCtrl::SetSelection(int start, int end) {
    m_nWindowStart = start;
    m_nWindowEnd = end == -1 ? m_nTotal : end;
    if (m_hWnd) Invalidate();
}

bool CWaveGraphPositionCtrl::MoveSelection(int start) {
    const long long length = static_cast<long long>(m_nWindowEnd) - m_nWindowStart;
    long long first = std::max(start, 0);
    if (first + length > m_nTotal) first = std::max(0LL, m_nTotal - length); // a window longer than all stays at 0
    const bool moved = first != m_nWindowStart;
    m_nWindowStart = static_cast<int>(first);
    m_nWindowEnd = static_cast<int>(first + length);
    return moved;
}

void CWaveGraphPositionCtrl::GetThumb(int width, int& left, int& right) const {
    left = right = 0;
    if (m_nTotal < 1) return;
    left = static_cast<int>(static_cast<long long>(m_nWindowStart) * width / m_nTotal);
    const double length = std::ceil((static_cast<double>(m_nWindowEnd) - m_nWindowStart) * width / m_nTotal);
    right = left + static_cast<int>(std::clamp(length, 0.0, double(width)));
}

void CWaveGraphPositionCtrl::OnLButtonDown(UINT, CPoint point) {
    CRect client;
    GetClientRect(&client);
    if (m_nTotal < 1 || client.Width() < 1) return;
    int left, right;
    GetThumb(client.Width(), left, right);
    bool moved = false;
    if (point.x >= left && point.x < right) {
        m_nGrabOffset = point.x - left;
        SetCapture();
        m_bDragging = true;
    } else if (point.x < left) {
        moved = MoveSelection(m_nWindowStart - (m_nWindowEnd - m_nWindowStart));
    } else {
        moved = MoveSelection(m_nWindowEnd);
    }
    if (moved) TellMoved();
}

void CWaveGraphPositionCtrl::DragTo(int x) {
    CRect client;
    GetClientRect(&client);
    if (client.Width() < 1) return;
    const auto start = static_cast<long long>(x - m_nGrabOffset) * m_nTotal / client.Width();
    if (MoveSelection(static_cast<int>(std::clamp<long long>(start, INT_MIN, INT_MAX)))) TellMoved();
}

void CWaveGraphPositionCtrl::TellMoved() {
    Invalidate();
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_WAVEGRAPH_WINDOWMOVED, static_cast<WPARAM>(m_nWindowStart), m_nWindowEnd);
}

void CWaveGraphPositionCtrl::OnMouseMove(UINT, CPoint point) {
    if (m_bDragging) DragTo(point.x);
}

void CWaveGraphPositionCtrl::OnLButtonUp(UINT, CPoint point) {
    if (!m_bDragging) return;
    DragTo(point.x);
    m_bDragging = false;
    ReleaseCapture();
}

BOOL CWaveGraphPositionCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CWaveGraphPositionCtrl::OnPaint() {
    zep3::detail::OffscreenPaint paint(this);
    CDC& dc = paint.Dc();
    const CRect& client = paint.Client();
    dc.FillSolidRect(&client, kBackground);
    int left, right;
    GetThumb(client.Width(), left, right);
    if (right <= left) return;
    const CRect thumb(left, client.top, right, client.bottom);
    dc.FillSolidRect(&thumb, kThumb);
    dc.Draw3dRect(&thumb, kThumbFrame, kThumbFrame);
}
