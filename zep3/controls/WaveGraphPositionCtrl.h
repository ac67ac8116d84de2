#pragma once
/// @class CWaveGraphPositionCtrl
/// The bar under a CWaveGraphCtrl that shows which
/// part of the recording is visible (the thumb) and lets the operator move it:
/// dragging the thumb moves it, a click beside it pages by its length. Each
/// move tells the parent WM_WAVEGRAPH_WINDOWMOVED (window start, window end,
/// in samples), sent.
///
/// Use it on its window's thread. Failures are results; nothing throws.
#include <zep3/platform/Wnd.h>

#define WM_WAVEGRAPH_WINDOWMOVED (WM_USER + 51) // 1075

class ZEP3_API CWaveGraphPositionCtrl : public CWnd {
public:
    /// Empty; registers the window class.
    CWaveGraphPositionCtrl();
    ~CWaveGraphPositionCtrl() override;

    using CWnd::Create;
    /// Creates the bar as a child of `parent` (WS_CHILD is added) in the
    /// window class "MFCWaveGraphPositionCtrl". FALSE without a parent.
    BOOL Create(CWnd* parent, const RECT& rect, UINT id, DWORD style);

    /// A recording of `total` samples, all of it in the window.
    void Init(int total);
    /// No recording, no window.
    void Clear();
    /// The visible window [start, end); an end of -1 means the total.
    void SetSelection(int start, int end);

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;

private:
    // Moves the window, keeping its length, to `start` (at least 0, and so
    // that its end stays within the total); true when it moved.
    bool MoveSelection(int start);
    // The thumb's pixels [left, right) for the client width.
    void GetThumb(int width, int& left, int& right) const;
    // Moves the window's start to the pointer less the grab offset.
    void DragTo(int x);
    // Repaints and tells the parent where the window is now.
    void TellMoved();

    int m_nTotal;
    int m_nWindowEnd;
    int m_nWindowStart;
    bool m_bDragging;
    int m_nGrabOffset;
};
