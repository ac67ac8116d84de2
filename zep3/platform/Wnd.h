#pragma once
/// @class CWnd
/// A window, named by an HWND and owned by the thread that created it.
///
/// Each window is a rectangle in its parent's client area (a top-level
/// window's rectangle is in screen coordinates), with no frame, so the client
/// area is the whole window. Windows keep the state the applications rely on
/// -- parent and children, geometry, visibility, enabled state, an update
/// region, timers, mouse capture -- and receive their messages through the
/// owning thread's queue exactly as on Windows.
///
/// Pixels: a top-level window owns a 32-bit surface of its size; its child
/// windows paint into their part of it (CPaintDC, CClientDC), parents under
/// their children. Headless, that is all. When a display is there, a visible
/// top-level window is also shown on it: what each paint changed is sent
/// there, and the display's mouse, resize and close input arrives as WM_
/// messages through the owning thread's loop (see docs/platform-drawing.md).
///
/// The framework's message maps are replaced by virtual functions: WindowProc
/// decodes the messages below and calls the matching On... handler, whose base
/// version does the default processing (Default). Other messages, user
/// messages included, reach WindowProc, which an application overrides and
/// ends with a call to the base class for what it does not handle. The
/// update region is kept as its bounding rectangle.
///
/// Operations that change a window (create, destroy, timers, capture) belong
/// to its thread; the ones that only read it, invalidate it or send and post to
/// it may be called from any thread.
#include <zep3/platform/Cursor.h>
#include <zep3/platform/Messages.h>
#include <zep3/platform/Point.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/String.h>

class CDC;
class CFont;
class CPixelSurface;
class CRgn;
struct CCreateContext;

struct HMENU__;
typedef HMENU__* HMENU;
struct HBRUSH__;
typedef HBRUSH__* HBRUSH;
typedef WORD ATOM;
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9

#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u

#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)(intptr_t)-1)
#define HWND_NOTOPMOST ((HWND)(intptr_t)-2)

#define RDW_INVALIDATE 0x0001u
#define RDW_INTERNALPAINT 0x0002u
#define RDW_ERASE 0x0004u
#define RDW_VALIDATE 0x0008u
#define RDW_NOINTERNALPAINT 0x0010u
#define RDW_NOERASE 0x0020u
#define RDW_NOCHILDREN 0x0040u
#define RDW_ALLCHILDREN 0x0080u
#define RDW_UPDATENOW 0x0100u
#define RDW_ERASENOW 0x0200u
#define RDW_FRAME 0x0400u
#define RDW_NOFRAME 0x0800u

/// The creation parameters a window receives with WM_CREATE (lParam):
/// parent, position, size, style and the caller's lpCreateParams.
struct CREATESTRUCT {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};
typedef CREATESTRUCT* LPCREATESTRUCT;

/// A window class registered with RegisterClass or AfxRegisterClass: the
/// style, the window procedure and the cursor and background to use.
struct WNDCLASS {
    UINT style;
    WNDPROC lpfnWndProc; // not called: CWnd::WindowProc handles every window
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;      // set by the default WM_SETCURSOR handling
    HBRUSH hbrBackground; // for the drawing layer's background erase
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};
typedef WNDCLASS* LPWNDCLASS;

class ZEP3_API CWnd {
public:
    CWnd();
    /// Destroys the window if it still exists (on its thread; from another
    /// thread the handle is only dropped).
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    /// The window's handle; null before creation and after destruction.
    HWND m_hWnd;

    /// The object of a window handle; null when it is not a window.
    static CWnd* FromHandle(HWND window);
    /// The object created for a window handle; null when the handle has none.
    static CWnd* FromHandlePermanent(HWND window);
    /// m_hWnd, or null when called through a null pointer.
    HWND GetSafeHwnd() const;
    /// m_hWnd.
    operator HWND() const { return m_hWnd; }

    /// Creates a child window (WS_CHILD is added) of `parent` with control id
    /// `id`; the rectangle is in the parent's client coordinates. The class
    /// name may be null (a plain window), registered, or any other name.
    /// Sends WM_CREATE, then WM_SIZE. FALSE without a parent, when already
    /// created, or when PreCreateWindow or OnCreate refuses. Owner = caller.
    virtual BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                        CCreateContext* context = nullptr);
    ///@{
    /// Creates a top-level window (no parent, rectangle in screen coordinates)
    /// or, with WS_CHILD, a child window.
    virtual BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                          CWnd* parent, UINT id, LPVOID param = nullptr);
    BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                  int height, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
    ///@}
    /// Sends WM_DESTROY to the window and then to its children (all of them
    /// still exist then), then destroys the children before the window itself
    /// (WM_NCDESTROY, handle gone, PostNcDestroy). FALSE from another thread
    /// or when it is not a window. Destroying the main window quits the loop.
    virtual BOOL DestroyWindow();

    /// Calls the window procedure and returns its answer, as the free
    /// SendMessage does (also from other threads).
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    /// Queues the message for the window's thread and returns at once; FALSE
    /// when the handle is not a window.
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    /// The parent window; null for a top-level window.
    CWnd* GetParent() const;
    ///@{
    /// The WS_* and WS_EX_* style bits given at creation.
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    ///@}
    /// The control id given at creation.
    int GetDlgCtrlID() const;
    /// Sets the window's text (caption or control text).
    void SetWindowText(LPCSTR text);
    ///@{
    /// The window's text, cut to size - 1 characters in a buffer; returns the
    /// number of characters copied.
    int GetWindowText(LPSTR buffer, int size) const;
    void GetWindowText(CString& text) const;
    ///@}
    /// The font a window's text is drawn with (WM_SETFONT/WM_GETFONT), as
    /// dialogs and controls keep it; the window does not own it. GetFont is
    /// null when none was set or the font has been deleted.
    void SetFont(CFont* font, BOOL redraw = TRUE);
    CFont* GetFont() const;

    /// (0, 0, width, height).
    void GetClientRect(LPRECT rect) const;
    /// The window's rectangle in screen coordinates.
    void GetWindowRect(LPRECT rect) const;
    ///@{
    /// Converts between the window's client coordinates and screen coordinates.
    void ClientToScreen(LPPOINT point) const;
    void ClientToScreen(LPRECT rect) const;
    void ScreenToClient(LPPOINT point) const;
    void ScreenToClient(LPRECT rect) const;
    ///@}
    ///@{
    /// Moves and sizes in the parent's client coordinates; WM_SIZE when the
    /// size changes; repaints the window and the uncovered parent area.
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
    ///@}
    /// SWP_* flags; insertAfter is &wndTop, &wndBottom or a sibling (child windows).
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    /// Returns whether it was visible before. Showing invalidates the window.
    BOOL ShowWindow(int command);
    /// Visible, and so are all its parents.
    BOOL IsWindowVisible() const;
    /// Sends WM_ENABLE on a change; returns non-zero when it was disabled before.
    BOOL EnableWindow(BOOL enable = TRUE);
    /// True while the window accepts mouse input.
    BOOL IsWindowEnabled() const;

    /// Adds the client rectangle (null: all of it) to the update region; the
    /// thread gets one WM_PAINT once nothing is posted. Any thread.
    void Invalidate(BOOL erase = TRUE);
    /// Adds the rectangle (null: the whole client area) to the update region,
    /// as Invalidate does.
    void InvalidateRect(LPCRECT rect, BOOL erase = TRUE);
    /// Removes the rectangle (null: all) from the update region where the
    /// rest stays a rectangle.
    void ValidateRect(LPCRECT rect);
    /// The update region's bounding rectangle; FALSE when it is empty. The
    /// erase flag is left to the drawing layer.
    BOOL GetUpdateRect(LPRECT rect, BOOL erase = FALSE);
    /// Sends WM_PAINT now when the update region is not empty.
    void UpdateWindow();
    /// RDW_INVALIDATE / RDW_VALIDATE / RDW_ERASE / RDW_UPDATENOW, with
    /// RDW_ALLCHILDREN for the children too. A region counts as the whole window.
    BOOL RedrawWindow(LPCRECT rect = nullptr, CRgn* region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);

    /// A DC on the client area (as the free function GetDC gives); give it back with ReleaseDC.
    CDC* GetDC();
    /// A DC on the whole window; give it back with ReleaseDC.
    CDC* GetWindowDC();
    /// 1 when released, 0 for a DC that did not come from GetDC.
    int ReleaseDC(CDC* dc);

    /// Starts (or restarts) timer id of the window: every elapse milliseconds
    /// it gets WM_TIMER, or proc is called when given (see the free SetTimer).
    /// Returns the timer's id, 0 on failure.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr);
    /// Stops the window's timer; FALSE when there is no such timer.
    BOOL KillTimer(UINT_PTR id);
    /// Captures the mouse of this thread for the window; returns the window
    /// that had it (which receives WM_CAPTURECHANGED).
    CWnd* SetCapture();
    /// The window that has this thread's mouse capture; null for none.
    static CWnd* GetCapture();

    /// Called by the loop for messages addressed to this window or its
    /// children before dispatch; TRUE keeps the message from being dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);

    ///@{
    /// Insert-after markers for SetWindowPos.
    static const CWnd wndTop;
    static const CWnd wndBottom;
    static const CWnd wndTopMost;
    static const CWnd wndNoTopMost;
    ///@}

protected:
    /// Decodes the message and calls its handler; unknown messages go to DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    /// Default processing: WM_CLOSE destroys, WM_SETCURSOR asks the parent and
    /// then sets the class cursor, WM_PAINT begins and ends a paint (erasing
    /// the background), WM_ERASEBKGND fills with the class background brush,
    /// WM_SETFONT keeps the font (repainting when lParam asks) and WM_GETFONT
    /// answers it; 0 otherwise.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    /// DefWindowProc of the message being handled.
    LRESULT Default();

    /// Called before creation with the parameters, which it may change; FALSE
    /// refuses creation. The base version accepts.
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    /// Called once the handle is attached, before WM_CREATE.
    virtual void PreSubclassWindow();
    /// Called after the handle is gone; override with `delete this` for windows
    /// that own themselves.
    virtual void PostNcDestroy();

    /// Return -1 to refuse creation.
    virtual int OnCreate(LPCREATESTRUCT cs);
    ///@{
    /// Message handlers, called by WindowProc; the base versions pass the message
    /// to Default.
    virtual void OnDestroy();
    virtual void OnNcDestroy();
    virtual void OnClose();
    virtual void OnPaint();
    /// The DC comes from the drawing layer (wParam of WM_ERASEBKGND); TRUE when erased.
    virtual BOOL OnEraseBkgnd(CDC* dc);
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnEnable(BOOL enable);
    virtual void OnTimer(UINT_PTR id);
    ///@}
    ///@{
    /// flags: MK_* keys and buttons; point: client coordinates.
    virtual void OnMouseMove(UINT flags, CPoint point);
    virtual void OnLButtonDown(UINT flags, CPoint point);
    virtual void OnLButtonUp(UINT flags, CPoint point);
    virtual void OnLButtonDblClk(UINT flags, CPoint point);
    virtual void OnRButtonDown(UINT flags, CPoint point);
    virtual void OnRButtonUp(UINT flags, CPoint point);
    virtual void OnRButtonDblClk(UINT flags, CPoint point);
    ///@}
    /// `wnd` is the window gaining the capture (null when released).
    virtual void OnCaptureChanged(CWnd* wnd);
    /// WM_SETCURSOR: return TRUE after setting the cursor to stop the default
    /// processing.
    virtual BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);

private:
    explicit CWnd(HWND marker);
    friend struct CWndAccess; // the window table and the message loop
};

/// @relates CWnd Free forms of the window calls, on handles.
ZEP3_API BOOL IsWindow(HWND window);
ZEP3_API BOOL DestroyWindow(HWND window);
ZEP3_API HWND GetParent(HWND window);
ZEP3_API BOOL GetClientRect(HWND window, LPRECT rect);
ZEP3_API BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
ZEP3_API BOOL UpdateWindow(HWND window);
/// @relates CWnd Device contexts outside painting. GetDC(window) draws into the window's
/// client area (clipped to what its parents leave visible); GetDC(NULL) is the
/// screen's DC: a surface of the X screen's size when windows are shown on a
/// display, of 1024 x 768 otherwise, which shows nothing by itself. Null for a
/// window that does not exist. ReleaseDC shows what was drawn and frees the
/// DC; it answers 1, or 0 for a DC that GetDC did not give for that window.
ZEP3_API HDC GetDC(HWND window);
ZEP3_API HDC GetWindowDC(HWND window);
ZEP3_API int ReleaseDC(HWND window, HDC dc);

/// @relates CWnd The pixels a window paints into: the surface of its top-level window
/// (child windows paint into their part of it), with the window's client
/// origin on that surface in *clientOrigin. Null when it is not a window.
/// Valid until the top-level window is destroyed; read it on the window's
/// thread. Tests and screenshots use it (CPixelSurface::SaveBMP).
ZEP3_API CPixelSurface* GetWindowSurface(HWND window, LPPOINT clientOrigin = nullptr);

/// @relates CWnd Two clicks within this many milliseconds (and 4 x 4 pixels) make a double click.
ZEP3_API UINT GetDoubleClickTime();

/// @relates CWnd The id of the window's thread (and 0 as process id through processId); 0 for a bad handle.
ZEP3_API DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);

/// @relates CWnd Mouse capture of the calling thread; SetCapture accepts only its own windows.
ZEP3_API HWND SetCapture(HWND window);
ZEP3_API BOOL ReleaseCapture();
ZEP3_API HWND GetCapture();

/// @relates CWnd Window classes, by case-insensitive name. RegisterClass fails (0) for a
/// name already registered; AfxRegisterClass answers TRUE for it.
ZEP3_API ATOM RegisterClass(const WNDCLASS* windowClass);
ZEP3_API BOOL AfxRegisterClass(WNDCLASS* windowClass);
ZEP3_API BOOL GetClassInfo(HINSTANCE instance, LPCSTR className, LPWNDCLASS windowClass);
ZEP3_API int GetClassName(HWND window, LPSTR buffer, int size);

/// @relates CWnd The application's main window: the calling CWinThread's m_pMainWnd when
/// set, otherwise the window registered with AfxSetMainWnd (null when none).
ZEP3_API CWnd* AfxGetMainWnd();
/// @relates CWnd Registers the application's main window for every thread; its thread
/// quits its loop when the window is destroyed. Null clears it.
ZEP3_API void AfxSetMainWnd(CWnd* window);
