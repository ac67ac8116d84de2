#include <zep3/controls/WaveGraphCtrl.h>
#include <zep3/controls/detail/ControlPaint.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {

const char kClassName[] = "MFCWaveGraphCtrl";
const unsigned char kZeroLine = 128;
const int kMinZoomSelection = 50; // samples

// A sample as a byte: 8-bit samples as they are, 16-bit ones (signed,
// little-endian) shifted to 0..255.
inline unsigned char SampleByte(const unsigned char* data, int bytesPerSample, long long i) {
    if (bytesPerSample == 1) return data[i];
    const auto s = static_cast<int16_t>(data[2 * i] | data[2 * i + 1] << 8);
    return static_cast<unsigned char>((s + 32768) / 256);
}

// The smallest and largest byte of samples [from, to); the sample at `from`
// starts both, so an empty range gives that one sample.
void SampleRange(const unsigned char* data, int bytesPerSample, long long from, long long to, unsigned char& lo,
                 unsigned char& hi) {
    lo = hi = SampleByte(data, bytesPerSample, from);
    for (long long i = from + 1; i < to; ++i) {
        const unsigned char v = SampleByte(data, bytesPerSample, i);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
}

int ClampToInt(double v) { return static_cast<int>(std::clamp(v, double(INT_MIN), double(INT_MAX))); }

} // namespace

CWaveGraphCtrl::CWaveGraphCtrl()
    : m_crBackground(0x464646), m_crWave(0x0AE60A), m_crSelection(0xE6F0F0), m_crSelectedWave(0x8C3232),
      m_crZeroLine(0x506E6E), m_crPosition(0x64C8C8), m_crSelectionLine(0x648C8C), m_bDragging(false),
      m_bPost(false) {
    Clear(false); // the rest
    zep3::detail::RegisterControlClass(kClassName, nullptr);
}

CWaveGraphCtrl::~CWaveGraphCtrl() {
    if (m_hWnd) DestroyWindow();
}

BOOL CWaveGraphCtrl::Create(CWnd* parent, const RECT& rect, UINT id, DWORD style) {
    return CWnd::Create(kClassName, nullptr, style, rect, parent, id);
}

bool CWaveGraphCtrl::Init(int totalSamples, int bytesPerSample, int sampleRate, bool post) {
    Clear(true);
    if (totalSamples < 1 || bytesPerSample < 1 || bytesPerSample > 2) return false;
    m_nTotal = totalSamples;
    m_nBytesPerSample = bytesPerSample;
    m_nSampleRate = sampleRate;
    m_nFirst = 0;
    m_nEnd = totalSamples;
    m_dSamplesPerColumn = totalSamples * 0.0004;
    m_bPost = post;
    NotifySelection();
    return true;
}

void CWaveGraphCtrl::Clear(bool redraw) {
    if (m_bDragging && m_hWnd && ::GetCapture() == m_hWnd) ReleaseCapture();
    m_PixelMin.clear();
    m_PixelMax.clear();
    m_PixelMin.shrink_to_fit();
    m_PixelMax.shrink_to_fit();
    m_nTotal = m_nBytesPerSample = m_nSampleRate = m_nFilled = 0;
    m_nFirst = m_nEnd = 0;
    m_dSamplesPerColumn = 0;
    m_nPosition = m_nSelStart = m_nSelEnd = -1;
    m_bDragging = m_bZoomed = false;
    std::memset(m_OverviewMin, kZeroLine, sizeof(m_OverviewMin));
    std::memset(m_OverviewMax, kZeroLine, sizeof(m_OverviewMax));
    if (redraw && m_hWnd) Invalidate();
}

int CWaveGraphCtrl::AddWaveData(void* samples, int count) {
    if (m_dSamplesPerColumn <= 0 || !samples || count < 1) return 0;
    const auto* data = static_cast<const unsigned char*>(samples);
    // A column holds total / 2500 samples. Counting in integers keeps whole
    // columns whole: total * 0.0004 in floating point can leave a recording
    // one column short.
    const long long total = m_nTotal;
    const int old = m_nFilled;
    const int filled = static_cast<int>(std::min<long long>(kColumns, old + static_cast<long long>(count) * kColumns / total));
    for (int c = old; c < filled; ++c) {
        const long long from = (c - old) * total / kColumns;
        const long long to = std::min<long long>(count, (c - old + 1) * total / kColumns);
        if (from < to) SampleRange(data, m_nBytesPerSample, from, to, m_OverviewMin[c], m_OverviewMax[c]);
        else if (c > 0) {
            m_OverviewMin[c] = m_OverviewMin[c - 1];
            m_OverviewMax[c] = m_OverviewMax[c - 1];
        }
    }
    m_nFilled = filled;
    PrepareDrawData();
    if (m_hWnd) Invalidate();
    return 0;
}

void CWaveGraphCtrl::PrepareDrawData() {
    const int width = ClientWidth();
    if (width < 1 || m_dSamplesPerColumn < 1) return;
    m_PixelMin.assign(static_cast<size_t>(width), kZeroLine);
    m_PixelMax.assign(static_cast<size_t>(width), kZeroLine);
    if (!PrepareFromSamples(width)) PrepareFromOverview(width);
}

bool CWaveGraphCtrl::PrepareFromSamples(int width) {
    // Only while fewer overview columns than pixels are visible.
    const long long span = m_nEnd - m_nFirst;
    if (span < 1 || span * kColumns >= static_cast<long long>(width) * m_nTotal) return false;
    const long long offset = static_cast<long long>(m_nFirst) * m_nBytesPerSample;
    const long long count = span * m_nBytesPerSample;
    CWnd* parent = GetParent();
    if (!parent || offset > INT_MAX || count > INT_MAX) return false;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[static_cast<size_t>(count)]());
    if (!buffer) return false;
    WAVEGRAPHDATAREQUEST request{buffer.get(), static_cast<int>(offset), static_cast<int>(count)};
    if (parent->SendMessage(WM_WAVEGRAPH_DATAREQUEST, reinterpret_cast<WPARAM>(&request), 0) <= 0) return false;
    for (int x = 0; x < width; ++x)
        SampleRange(buffer.get(), m_nBytesPerSample, x * span / width, (x + 1) * span / width, m_PixelMin[x],
                    m_PixelMax[x]);
    return true;
}

void CWaveGraphCtrl::PrepareFromOverview(int width) {
    // The overview column under the left edge of pixel x, in integers as in AddWaveData.
    const long long span = m_nEnd - m_nFirst;
    auto column = [&](int x) {
        return (x * span + static_cast<long long>(m_nFirst) * width) * kColumns / (static_cast<long long>(width) * m_nTotal);
    };
    for (int x = 0; x < width; ++x) {
        const long long from = std::clamp<long long>(column(x), 0, kColumns - 1);
        const long long to = std::min<long long>(column(x + 1), kColumns);
        unsigned char lo = m_OverviewMin[from], hi = m_OverviewMax[from];
        for (long long c = from + 1; c < to; ++c) {
            lo = std::min(lo, m_OverviewMin[c]);
            hi = std::max(hi, m_OverviewMax[c]);
        }
        m_PixelMin[x] = lo;
        m_PixelMax[x] = hi;
    }
}

int CWaveGraphCtrl::SamplesToMS(int samples) const {
    if (m_nSampleRate < 1) return 0;
    return static_cast<int>(std::clamp<long long>(static_cast<long long>(samples) * 1000 / m_nSampleRate, INT_MIN, INT_MAX));
}

int CWaveGraphCtrl::MSToSamples(int ms) const { return ClampToInt(double(m_nSampleRate) * ms * 0.001); }

int CWaveGraphCtrl::PercentToSample(double fraction) const {
    const double sample = std::trunc(m_nFirst + (m_nEnd - m_nFirst) * fraction);
    return static_cast<int>(std::clamp(sample, 0.0, double(m_nEnd)));
}

void CWaveGraphCtrl::ZoomMS(int fromMs, int toMs) {
    const int first = std::clamp(MSToSamples(fromMs), 0, m_nTotal);
    const int end = std::clamp(MSToSamples(toMs), 0, m_nTotal);
    if (end <= first) return;
    m_nFirst = first;
    m_nEnd = end;
    m_nPosition = m_nSelStart = m_nSelEnd = first;
    m_bZoomed = true;
    PrepareDrawData();
    if (m_hWnd) Invalidate();
    NotifySelection();
}

void CWaveGraphCtrl::ZoomOff() {
    m_nFirst = 0;
    m_nEnd = m_nTotal;
    m_bZoomed = false;
    PrepareDrawData();
    if (m_hWnd) Invalidate();
    NotifySelection();
}

bool CWaveGraphCtrl::CanZoom() const { return m_dSamplesPerColumn > 0 && ClientWidth() < m_nEnd - m_nFirst; }

bool CWaveGraphCtrl::CanZoomSelection() const {
    return CanZoom() && static_cast<long long>(m_nSelEnd) - m_nSelStart > kMinZoomSelection;
}

void CWaveGraphCtrl::GetVisible(int& first, int& end, int& total) const {
    first = m_nFirst;
    end = m_nEnd;
    total = m_nTotal;
}

void CWaveGraphCtrl::SetPositionMS(int ms) {
    if (m_nTotal < 1 || m_nSampleRate < 1) return;
    m_nPosition = std::clamp(MSToSamples(ms), 0, m_nTotal - 1);
    if (m_hWnd) Invalidate();
}

void CWaveGraphCtrl::SetSelection(int start, int end) {
    m_nSelStart = start;
    m_nSelEnd = end;
    m_nPosition = start;
    if (m_hWnd) Invalidate();
}

void CWaveGraphCtrl::SetSelectionMS(int startMs, int endMs) { SetSelection(MSToSamples(startMs), MSToSamples(endMs)); }

bool CWaveGraphCtrl::GetSelection(int& start, int& end) const {
    start = m_nSelStart;
    end = m_nSelEnd;
    return m_nSampleRate >= 1 && m_nSelEnd >= 1;
}

bool CWaveGraphCtrl::GetSelectionMS(int& startMs, int& endMs) const {
    startMs = SamplesToMS(m_nSelStart);
    endMs = SamplesToMS(m_nSelEnd);
    return m_nSampleRate >= 1 && m_nSelEnd >= 1;
}

// --- window ------------------------------------------------------------------

void CWaveGraphCtrl::Notify(UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* parent = m_hWnd ? GetParent() : nullptr;
    if (!parent) return;
    if (m_bPost) parent->PostMessage(message, wParam, lParam);
    else parent->SendMessage(message, wParam, lParam);
}

void CWaveGraphCtrl::NotifySelection() {
    Notify(WM_WAVEGRAPH_SELCHANGE, static_cast<WPARAM>(SamplesToMS(m_nSelStart)), SamplesToMS(m_nSelEnd));
}

int CWaveGraphCtrl::ClientWidth() const {
    if (!m_hWnd) return 0;
    CRect client;
    GetClientRect(&client);
    return client.Width();
}

int CWaveGraphCtrl::SampleToX(int sample, int width) const {
    const long long span = std::max(1, m_nEnd - m_nFirst);
    return static_cast<int>(std::clamp<long long>((sample - static_cast<long long>(m_nFirst)) * width / span, -1, width));
}

int CWaveGraphCtrl::PointToSample(CPoint point) const {
    return PercentToSample(static_cast<double>(point.x) / ClientWidth());
}

void CWaveGraphCtrl::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    PrepareDrawData();
}

void CWaveGraphCtrl::OnLButtonDown(UINT, CPoint point) {
    if (m_nTotal < 1 || ClientWidth() < 1) return;
    m_nSelStart = m_nSelEnd = PointToSample(point);
    SetCapture();
    m_bDragging = true;
    Invalidate();
    Notify(WM_WAVEGRAPH_SELSTART, static_cast<WPARAM>(SamplesToMS(m_nSelStart)), 0);
}

void CWaveGraphCtrl::OnMouseMove(UINT, CPoint point) {
    if (!m_bDragging || ClientWidth() < 1) return;
    m_nSelEnd = PointToSample(point);
    Invalidate();
}

void CWaveGraphCtrl::OnLButtonUp(UINT, CPoint) {
    if (!m_bDragging) return;
    m_bDragging = false;
    ReleaseCapture();
    if (m_nSelStart > m_nSelEnd) std::swap(m_nSelStart, m_nSelEnd);
    Invalidate();
    NotifySelection();
}

void CWaveGraphCtrl::OnLButtonDblClk(UINT, CPoint) { Notify(WM_WAVEGRAPH_DBLCLK, 0, 0); }

void CWaveGraphCtrl::OnRButtonDown(UINT, CPoint) {
    m_nPosition = m_nSelStart = m_nSelEnd = -1;
    Invalidate();
    Notify(WM_WAVEGRAPH_SELCLEAR, 0, 0);
}

BOOL CWaveGraphCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CWaveGraphCtrl::OnPaint() {
    zep3::detail::OffscreenPaint paint(this);
    CDC& dc = paint.Dc();
    const int width = paint.Client().Width(), height = paint.Client().Height();
    dc.FillSolidRect(&paint.Client(), m_crBackground);

    int selLeft = 0, selRight = 0;
    if (m_nSelStart >= 0 && m_nSelEnd >= 0) {
        selLeft = SampleToX(std::min(m_nSelStart, m_nSelEnd), width);
        selRight = SampleToX(std::max(m_nSelStart, m_nSelEnd), width);
        dc.FillSolidRect(selLeft, 0, selRight - selLeft, height, m_crSelection);
    }

    CPen wave(PS_SOLID, 1, m_crWave), selectedWave(PS_SOLID, 1, m_crSelectedWave);
    CPen zero(PS_SOLID, 1, m_crZeroLine), position(PS_SOLID, 1, m_crPosition), onePoint(PS_SOLID, 1, m_crSelectionLine);
    CPen* oldPen = dc.SelectObject(&zero);
    auto vertical = [&](int x, int top, int bottom) {
        dc.MoveTo(x, top);
        dc.LineTo(x, bottom);
    };
    if (m_nFilled > 0 && m_PixelMin.size() == static_cast<size_t>(width)) {
        dc.MoveTo(0, height / 2);
        dc.LineTo(width, height / 2);
        for (int x = 0; x < width; ++x) {
            dc.SelectObject(x >= selLeft && x < selRight ? &selectedWave : &wave);
            // Byte v lies at (255 - v) * height / 256; both ends are drawn.
            vertical(x, (255 - m_PixelMax[x]) * height / 256, (255 - m_PixelMin[x]) * height / 256 + 1);
        }
    }
    if (m_nPosition >= 1) {
        if (m_nSelStart == m_nSelEnd && m_nSelStart >= 1) {
            dc.SelectObject(&onePoint);
            vertical(SampleToX(m_nSelStart, width), 0, height);
        }
        dc.SelectObject(&position);
        vertical(SampleToX(m_nPosition, width), 0, height);
    }
    dc.SelectObject(oldPen);
}
