#pragma once
/// @file
/// Window messages and the thread message queue.
///
/// Every thread has its own queue, made the first time it posts to itself,
/// reads, creates a window, sets a timer or registers a descriptor notifier
/// (threads started by CWinThread have one from birth, so that messages can be
/// posted to them at once). GetMessage and PeekMessage look, in this order, at:
/// messages sent from other threads (dispatched on the spot, never returned),
/// posted messages in arrival order, a pending quit, ready file descriptors
/// (their notifiers called on the spot), windows that need painting
/// (WM_PAINT), and due timers (WM_TIMER, earliest due first). WM_PAINT and
/// WM_TIMER are made only when nothing was posted, as on Windows, so a burst of
/// invalidations or timer periods yields one message.
///
/// SendMessage to a window of the calling thread calls its window procedure
/// directly. To a window of another thread it queues the message there and
/// blocks until that thread dispatches it, serving messages sent to the caller
/// in the meantime, so two threads sending to each other do not deadlock. A
/// thread that never reads its queue leaves its senders waiting, as on Windows.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#ifndef CALLBACK
#define CALLBACK
#endif

#ifndef LOWORD
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xFFFF))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xFFFF))
#endif
#ifndef MAKELONG
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xFFFF)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xFFFF))) << 16))
#endif
#ifndef MAKEWPARAM
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
#endif
// Signed client coordinates packed into a mouse message's lParam.
#ifndef GET_X_LPARAM
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#endif

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETCURSOR 0x0020
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSEWHEEL 0x020A
#define WM_MOUSELAST 0x020A
#define WM_CAPTURECHANGED 0x0215
#define WM_USER 0x0400
#define WM_APP 0x8000

///@{
/// Key and button state carried in a mouse message's wParam.
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
///@}

///@{
/// WM_SIZE kinds.
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
///@}

///@{
/// Hit-test codes of WM_SETCURSOR.
#define HTERROR (-2)
#define HTNOWHERE 0
#define HTCLIENT 1
///@}

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u

#define USER_TIMER_MINIMUM 0x0000000Au
#define USER_TIMER_MAXIMUM 0x7FFFFFFFu

/// One message of a thread's queue: the window, the message number, its
/// two parameters, the time it was posted and the cursor position.
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time; // GetTickCount() when posted or made
    POINT pt;   // screen position of the last mouse input delivered
};
typedef MSG* LPMSG;

typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

/// Waits for the next message of the calling thread (filtered by window and
/// message range; 0, 0 takes all; a window of (HWND)-1 takes thread messages
/// only). Returns 0 for WM_QUIT, -1 for a filter window that is not one of
/// the caller's, otherwise non-zero.
ZEP3_API BOOL GetMessage(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
/// GetMessage without the wait: FALSE when nothing is there. PM_REMOVE takes
/// the message; PM_NOREMOVE leaves it (a due timer keeps its period).
ZEP3_API BOOL PeekMessage(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
/// No keyboard translation on this platform; FALSE.
ZEP3_API BOOL TranslateMessage(const MSG* msg);
/// Calls the window procedure of msg->hwnd (or the TIMERPROC of a WM_TIMER
/// that has one) and returns its result; after WM_PAINT the window's update
/// region is validated unless the handler invalidated it again. 0 for thread
/// messages and windows that no longer exist.
ZEP3_API LRESULT DispatchMessage(const MSG* msg);

/// Queues a message for the window's thread; a null window posts a thread
/// message to the calling thread. FALSE when the window does not exist.
/// Any thread.
ZEP3_API BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Queues a thread message (hwnd null) for the thread with that id. FALSE
/// when the thread has no queue (never used one, or has ended). Any thread.
ZEP3_API BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
/// Calls the window procedure and returns its answer (see above for other
/// threads). 0 when the window does not exist or its thread ends first.
ZEP3_API LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Makes the calling thread's GetMessage return 0 (wParam exitCode) once
/// the messages already posted have been read.
ZEP3_API void PostQuitMessage(int exitCode);

/// Starts or restarts a timer of the calling thread. With a window (which
/// must be one of the caller's) the timer is (window, id) and the result is
/// id, or 1 when id is 0; without one it is a thread timer: an existing
/// thread timer of that id is restarted, otherwise a new id is chosen and
/// returned. elapse is clamped to USER_TIMER_MINIMUM..USER_TIMER_MAXIMUM ms.
/// With proc, DispatchMessage calls it instead of the window. 0 on failure.
ZEP3_API UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
/// Stops a timer of the calling thread; FALSE when there is no such timer.
ZEP3_API BOOL KillTimer(HWND window, UINT_PTR id);

/// Milliseconds since an arbitrary start (see Clock.h); the time of a message.
ZEP3_API DWORD GetMessageTime();
