#pragma once
/// @class CWaveGraphCtrl
/// The waveform of a recorded sound (8-bit unsigned or 16-bit
/// signed little-endian samples) with a selection, zoom and a play position.
///
/// Init gives the length of the recording; AddWaveData then feeds its samples
/// in order, as they arrive, into a fixed overview of 2500 columns, each the
/// smallest and largest sample byte (0..255, 128 on the zero line) of its
/// stretch. The view draws from the overview; once it is zoomed in so far that
/// fewer overview columns than pixels are visible, it asks the parent for the
/// raw samples of the visible range instead (WM_WAVEGRAPH_DATAREQUEST). A
/// recording shorter than 2500 samples is not drawn.
///
/// The operator selects with the left button (a drag, released anywhere: the
/// mouse is captured), clears the selection with the right button, and
/// double-clicks; the control tells its parent through the messages below,
/// sent, or posted when Init asked for it (the data request is always sent:
/// it needs the answer). Times in messages are milliseconds.
///
/// Use it on its window's thread. Failures are results; nothing throws.
#include <zep3/platform/Wnd.h>

#include <vector>

// Messages to the parent: (wParam, lParam).
#define WM_WAVEGRAPH_SELSTART (WM_USER + 44)   // 1068: selection started (start ms, 0)
#define WM_WAVEGRAPH_SELCHANGE (WM_USER + 45)  // 1069: selection or view changed (start ms, end ms)
#define WM_WAVEGRAPH_SELCLEAR (WM_USER + 46)   // 1070: selection cleared (0, 0)
#define WM_WAVEGRAPH_DBLCLK (WM_USER + 47)     // 1071: double click (0, 0)
#define WM_WAVEGRAPH_DATAREQUEST (WM_USER + 48) // 1072: (WAVEGRAPHDATAREQUEST*, 0)

/// What WM_WAVEGRAPH_DATAREQUEST asks for: the parent copies `count` bytes of
/// the recording's samples from byte `offset` on into `buffer` and answers
/// above 0; any other answer means it has none.
struct WAVEGRAPHDATAREQUEST {
    void* buffer;
    int offset;
    int count;
};

class ZEP3_API CWaveGraphCtrl : public CWnd {
public:
    /// Empty (Clear's state), messages sent; registers the window class.
    CWaveGraphCtrl();
    ~CWaveGraphCtrl() override;

    using CWnd::Create;
    /// Creates the control as a child of `parent` (WS_CHILD is added) in the
    /// window class "MFCWaveGraphCtrl". FALSE without a parent.
    BOOL Create(CWnd* parent, const RECT& rect, UINT id, DWORD style);

    /// Clears, then takes a recording of totalSamples samples of
    /// bytesPerSample bytes (1 or 2) at sampleRate samples per second: all of
    /// it visible, nothing loaded yet. Tells the parent WM_WAVEGRAPH_SELCHANGE,
    /// posted when `post` is true and sent otherwise, and keeps that choice
    /// for every later message. False, still cleared, for fewer than 1 sample
    /// or a sample size other than 1 or 2.
    bool Init(int totalSamples, int bytesPerSample, int sampleRate, bool post);
    /// Forgets the recording: no samples, rate 0, no position or selection
    /// (-1), not zoomed, the overview on the zero line. Repaints when asked.
    void Clear(bool redraw);
    /// Adds the next `count` samples to the overview: each whole stretch of
    /// samples-per-column samples of this chunk fills the next column (a
    /// remainder is dropped; a column that gets no sample repeats the one
    /// before), then repaints. Nothing before Init. Returns 0.
    int AddWaveData(void* samples, int count);
    /// Rebuilds the picture's columns for the client width: from the
    /// overview, or from the parent's raw samples when zoomed in past it.
    void PrepareDrawData();

    /// Conversions at the sample rate (0 without one); truncated.
    int SamplesToMS(int samples) const;
    int MSToSamples(int ms) const;
    /// The sample at a fraction of the visible range, within 0..end.
    int PercentToSample(double fraction) const;

    /// Shows the range [fromMs, toMs) (limited to the recording; an empty
    /// range is ignored); position and selection move to its first sample.
    void ZoomMS(int fromMs, int toMs);
    /// Shows the whole recording.
    void ZoomOff();
    /// True when the visible range has more samples than the view has pixels.
    bool CanZoom() const;
    /// CanZoom, and the selection is longer than 50 samples.
    bool CanZoomSelection() const;
    void GetVisible(int& first, int& end, int& total) const;

    /// The play position, limited to the recording; needs a length and a rate.
    void SetPositionMS(int ms);
    /// The selection in samples or milliseconds; the position moves to its start.
    void SetSelection(int start, int end);
    void SetSelectionMS(int startMs, int endMs);
    /// The selection; false (values still filled) without a rate or while
    /// its end is below 1.
    bool GetSelection(int& start, int& end) const;
    bool GetSelectionMS(int& startMs, int& endMs) const;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    void OnRButtonDown(UINT flags, CPoint point) override;

private:
    static const int kColumns = 2500;

    // Sends or posts to the parent as Init chose.
    void Notify(UINT message, WPARAM wParam, LPARAM lParam);
    void NotifySelection();
    int ClientWidth() const;
    int SampleToX(int sample, int width) const;
    int PointToSample(CPoint point) const;
    // The per-pixel columns from the parent's samples; false without them.
    bool PrepareFromSamples(int width);
    void PrepareFromOverview(int width);

    COLORREF m_crBackground;
    COLORREF m_crWave;          // waveform outside the selection
    COLORREF m_crSelection;     // selection fill
    COLORREF m_crSelectedWave;  // waveform inside the selection
    COLORREF m_crZeroLine;
    COLORREF m_crPosition;      // play position line
    COLORREF m_crSelectionLine; // a selection of one point

    bool m_bDragging;
    bool m_bZoomed;
    bool m_bPost;
    int m_nFirst; // visible range [m_nFirst, m_nEnd)
    int m_nEnd;
    int m_nPosition;
    int m_nSelStart;
    int m_nSelEnd;
    int m_nSampleRate;
    int m_nTotal;
    int m_nBytesPerSample;
    double m_dSamplesPerColumn;
    int m_nFilled; // overview columns filled so far
    unsigned char m_OverviewMin[kColumns];
    unsigned char m_OverviewMax[kColumns];
    std::vector<unsigned char> m_PixelMin; // one per pixel column of the client width
    std::vector<unsigned char> m_PixelMax;
};
