#pragma once
/// @class CDC
/// A software device context. It draws into a CPixelSurface: the bitmap
/// selected into a memory DC (CreateCompatibleDC + SelectObject(CBitmap*)), or
/// a surface attached with AttachSurface (a window's surface). Logical
/// coordinates are pixels, moved by the window and viewport origins.
///
/// Rasterisation follows GDI's rules:
/// - a line from A to B lights every pixel of its Bresenham path except B; the
///   path is the same whichever end it starts from (ties between two pixels go
///   to the smaller coordinate), so A->B and B->A light the same pixels apart
///   from their ends;
/// - rectangles and ellipses cover [left, right) x [top, bottom): the pen
///   outline lies inside those bounds and the brush fills what it encloses;
///   with a null pen the fill covers one pixel less on the right and bottom;
/// - FillRect, FillSolidRect and the block transfers cover [left, right) x
///   [top, bottom); FrameRect draws one pixel wide inside that rectangle;
/// - polygons fill the pixels whose centres lie inside (alternate or winding
///   rule; edges on the left and top are inside, on the right and bottom
///   outside), then the pen draws the closed outline.
/// The mix mode (SetROP2) applies to pen and brush drawing; FillRect,
/// FillSolidRect, SetPixel and text ignore it, as on Windows.
///
/// Every member returns a failure value (FALSE, 0, CLR_INVALID, ...) when the
/// DC has nothing to draw into; nothing throws. A CDC is used by one thread at
/// a time. Text is 8-bit in the system code page (CodePage.h).
#include <zep3/platform/Bitmap.h>
#include <zep3/platform/Brush.h>
#include <zep3/platform/Font.h>
#include <zep3/platform/Palette.h>
#include <zep3/platform/Pen.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/Rgn.h>
#include <zep3/platform/String.h>

#include <memory>

class CPixelSurface;

class ZEP3_API CDC {
public:
    /// An empty context: draws nothing until CreateCompatibleDC or AttachSurface.
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    /// The handle of a created context, null otherwise.
    HDC m_hDC = nullptr;
    /// The handle, or null; safe on an empty context.
    HDC GetSafeHdc() const { return m_hDC; }
    /// The handle, for the free drawing functions.
    operator HDC() const { return m_hDC; }
    /// The CDC of a handle; null for a handle no live CDC owns.
    static CDC* FromHandle(HDC hDC);

    /// A memory context with a 1 x 1 bitmap selected: select a CBitmap to draw
    /// into it. pDC is accepted for compatibility (every device is 32-bit).
    /// False when this context is already created.
    BOOL CreateCompatibleDC(CDC* pDC);
    /// A context that draws into surface, which must stay alive while it is
    /// attached. Selecting a bitmap later draws into the bitmap instead.
    /// False for a null surface or an already created context.
    BOOL AttachSurface(CPixelSurface* pSurface);
    /// Ends the context: deselects everything and returns to the empty state.
    BOOL DeleteDC();
    /// The surface that drawing goes to now (selected bitmap or attached
    /// surface); null when there is none.
    CPixelSurface* GetSurface() const;

    /// Saves the drawing state (objects, colours, modes, origins, clipping,
    /// current position); returns its level (from 1), 0 on failure.
    int SaveDC();
    /// Restores a saved level (negative: relative to the latest) and drops it
    /// and the levels above it.
    BOOL RestoreDC(int nSavedDC);

    ///@{
    /// Object selection: each returns the previously selected object of the
    /// same kind (a temporary wrapper, valid while that object lives, when it
    /// was not selected through a C++ object), or null on failure.
    CPen* SelectObject(CPen* pPen);
    CBrush* SelectObject(CBrush* pBrush);
    CFont* SelectObject(CFont* pFont);
    CBitmap* SelectObject(CBitmap* pBitmap);
    ///@}
    ///@{
    /// Sets the clipping rectangle to the region's box (logical coordinates
    /// taken as device ones, as Windows does); returns the region type.
    int SelectObject(CRgn* pRgn);
    CGdiObject* SelectObject(CGdiObject* pObject);
    HGDIOBJ SelectObject(HGDIOBJ hObject);
    ///@}
    /// Selects a stock object (WHITE_BRUSH, NULL_PEN, ...).
    CGdiObject* SelectStockObject(int nIndex);
    ///@{
    /// The object of each kind selected now (a temporary wrapper when it was not
    /// selected through a C++ object).
    CPen* GetCurrentPen() const;
    CBrush* GetCurrentBrush() const;
    CFont* GetCurrentFont() const;
    CBitmap* GetCurrentBitmap() const;
    CPalette* GetCurrentPalette() const;
    ///@}

    ///@{
    /// Palettes: the surfaces are true-colour; the selected palette gives the
    /// colours of DIB_PAL_COLORS bitmaps. RealizePalette returns the number of
    /// entries of the selected palette.
    CPalette* SelectPalette(CPalette* pPalette, BOOL bForceBackground);
    UINT RealizePalette();
    ///@}
    /// HORZRES/VERTRES (the surface size), BITSPIXEL 32, PLANES 1,
    /// LOGPIXELSX/Y 96, RASTERCAPS without RC_PALETTE, SIZEPALETTE 0,
    /// NUMRESERVED 20, NUMCOLORS -1, COLORRES 24, TECHNOLOGY DT_RASDISPLAY.
    int GetDeviceCaps(int nIndex) const;

    ///@{
    /// Attributes; each setter returns the previous value.
    COLORREF SetTextColor(COLORREF crColor);
    COLORREF GetTextColor() const;
    COLORREF SetBkColor(COLORREF crColor);
    COLORREF GetBkColor() const;
    int SetBkMode(int nBkMode);
    int GetBkMode() const;
    int SetROP2(int nDrawMode);
    int GetROP2() const;
    int SetPolyFillMode(int nPolyFillMode);
    int GetPolyFillMode() const;
    ///@}
    ///@{
    /// COLORONCOLOR (and BLACKONWHITE, WHITEONBLACK) take the nearest source
    /// pixel; HALFTONE averages the source pixels under each destination pixel
    /// when shrinking.
    int SetStretchBltMode(int nStretchMode);
    int GetStretchBltMode() const;
    ///@}
    ///@{
    /// Kept and returned; not applied to the pixels.
    BOOL SetColorAdjustment(const COLORADJUSTMENT* lpColorAdjust);
    BOOL GetColorAdjustment(LPCOLORADJUSTMENT lpColorAdjust) const;
    ///@}
    ///@{
    /// TA_LEFT/TA_CENTER/TA_RIGHT with TA_TOP/TA_BASELINE/TA_BOTTOM, TA_UPDATECP.
    UINT SetTextAlign(UINT nFlags);
    UINT GetTextAlign() const;
    ///@}

    ///@{
    /// Coordinates: device = logical - window origin + viewport origin.
    CPoint SetViewportOrg(int x, int y);
    CPoint SetViewportOrg(POINT point) { return SetViewportOrg(point.x, point.y); }
    CPoint OffsetViewportOrg(int nWidth, int nHeight);
    CPoint GetViewportOrg() const;
    CPoint SetWindowOrg(int x, int y);
    CPoint SetWindowOrg(POINT point) { return SetWindowOrg(point.x, point.y); }
    CPoint OffsetWindowOrg(int nWidth, int nHeight);
    CPoint GetWindowOrg() const;
    void LPtoDP(LPPOINT lpPoints, int nCount = 1) const;
    void DPtoLP(LPPOINT lpPoints, int nCount = 1) const;
    ///@}

    ///@{
    /// Clipping (rectangles only). Return the region type: NULLREGION,
    /// SIMPLEREGION or RGN_ERROR.
    int IntersectClipRect(int x1, int y1, int x2, int y2);
    int IntersectClipRect(LPCRECT lpRect);
    ///@}
    /// A null region removes the clipping.
    int SelectClipRgn(CRgn* pRgn);
    /// The visible part of the surface in logical coordinates.
    int GetClipBox(LPRECT lpRect) const;
    /// True when the logical point lies inside the clipping area.
    BOOL PtVisible(int x, int y) const;

    ///@{
    /// Lines with the selected pen; the current position moves to the end.
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT point) { return MoveTo(point.x, point.y); }
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT point) { return LineTo(point.x, point.y); }
    CPoint GetCurrentPosition() const;
    BOOL Polyline(const POINT* lpPoints, int nCount);
    ///@}

    ///@{
    /// Pixels. SetPixel returns the colour written, CLR_INVALID (-1) outside
    /// the clipping area; GetPixel returns CLR_INVALID outside it.
    COLORREF SetPixel(int x, int y, COLORREF crColor);
    COLORREF SetPixel(POINT point, COLORREF crColor) { return SetPixel(point.x, point.y, crColor); }
    BOOL SetPixelV(int x, int y, COLORREF crColor);
    COLORREF GetPixel(int x, int y) const;
    COLORREF GetPixel(POINT point) const { return GetPixel(point.x, point.y); }
    ///@}

    ///@{
    /// Filled figures: pen outline, brush inside.
    BOOL Rectangle(int x1, int y1, int x2, int y2);
    BOOL Rectangle(LPCRECT lpRect) { return lpRect && Rectangle(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom); }
    BOOL Ellipse(int x1, int y1, int x2, int y2);
    BOOL Ellipse(LPCRECT lpRect) { return lpRect && Ellipse(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom); }
    BOOL Polygon(const POINT* lpPoints, int nCount);
    ///@}

    ///@{
    /// Rectangle helpers; they ignore the pen and the mix mode.
    void FillRect(LPCRECT lpRect, CBrush* pBrush);
    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
    void FrameRect(LPCRECT lpRect, CBrush* pBrush);
    void InvertRect(LPCRECT lpRect);
    ///@}
    ///@{
    /// A one-pixel frame: top and left in clrTopLeft, right and bottom in
    /// clrBottomRight (inside the rectangle).
    void Draw3dRect(LPCRECT lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight);
    ///@}
    /// The classic two-pixel 3-D edges (BDR_* / EDGE_*) on the BF_* sides,
    /// with the system colours; BF_MIDDLE fills the inside with the button
    /// face and BF_ADJUST shrinks *lpRect by the edge.
    BOOL DrawEdge(LPRECT lpRect, UINT nEdge, UINT nFlags);
    /// The dotted focus frame, drawn with XOR (drawing it twice removes it).
    void DrawFocusRect(LPCRECT lpRect);

    ///@{
    /// Block transfers. dwRop is a ternary raster operation (SRCCOPY,
    /// SRCINVERT, NOTSRCCOPY, DSTINVERT, PATCOPY, ...); the pattern is the
    /// selected brush's colour. Negative sizes mirror in StretchBlt.
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop);
    BOOL StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                    int nSrcHeight, DWORD dwRop);
    BOOL PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop);
    ///@}
    /// Copies a device-independent bitmap (1, 4, 8, 16, 24 or 32 bits; BI_RGB,
    /// or BI_BITFIELDS for 16 and 32 bits; bottom-up or top-down). The source
    /// rectangle's y is counted from the bottom row of the image for either
    /// row order: it covers image rows (top = 0) from height - ySrc - nSrcHeight
    /// down. Source pixels outside the bitmap leave the destination alone.
    /// nUsage DIB_RGB_COLORS or DIB_PAL_COLORS (WORD indices into the selected
    /// palette). Returns the number of source rows, 0 on failure.
    int StretchDIBits(int xDest, int yDest, int nDestWidth, int nDestHeight, int xSrc, int ySrc, int nSrcWidth,
                      int nSrcHeight, const void* lpBits, const BITMAPINFO* lpBitsInfo, UINT nUsage, DWORD dwRop);

    ///@{
    /// Text. TextOut places the string by the text alignment; OPAQUE mode
    /// fills the text cell with the background colour first.
    BOOL TextOut(int x, int y, LPCTSTR lpszString, int nCount);
    BOOL TextOut(int x, int y, const CString& str) { return TextOut(x, y, str, str.GetLength()); }
    ///@}
    /// ETO_OPAQUE fills lpRect with the background colour, ETO_CLIPPED clips
    /// to it; lpDxWidths, when given, are the distances between characters.
    BOOL ExtTextOut(int x, int y, UINT nOptions, LPCRECT lpRect, LPCTSTR lpszString, UINT nCount, LPINT lpDxWidths);
    ///@{
    /// DT_LEFT/CENTER/RIGHT, DT_TOP/VCENTER/BOTTOM, DT_SINGLELINE, DT_NOCLIP,
    /// DT_CALCRECT, DT_END_ELLIPSIS, DT_WORDBREAK, DT_EXPANDTABS, DT_NOPREFIX
    /// ('&' marks an underlined mnemonic unless DT_NOPREFIX; "&&" is '&').
    /// nCount -1 means zero-terminated. Returns the height of the text (from
    /// the top of the rectangle when DT_VCENTER or DT_BOTTOM moved it), 0 on
    /// failure. DT_CALCRECT only sets the rectangle's right and bottom.
    int DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat);
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat) { return DrawText(str, str.GetLength(), lpRect, nFormat); }
    ///@}
    ///@{
    /// Width and height (the font's cell height) of a line of text.
    CSize GetTextExtent(LPCTSTR lpszString, int nCount) const;
    CSize GetTextExtent(const CString& str) const { return GetTextExtent(str, str.GetLength()); }
    ///@}
    ///@{
    /// The same as GetTextExtent: the context has no separate output device.
    CSize GetOutputTextExtent(LPCTSTR lpszString, int nCount) const { return GetTextExtent(lpszString, nCount); }
    CSize GetOutputTextExtent(const CString& str) const { return GetTextExtent(str); }
    ///@}
    /// Fills in the measures of the selected font; FALSE for a null pointer or
    /// when no font face could be loaded.
    BOOL GetTextMetrics(LPTEXTMETRIC lpMetrics) const;
    /// The face name of the selected font; returns its length.
    int GetTextFace(int nCount, LPTSTR lpszFacename) const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
