#pragma once
/// @file
/// Mouse cursors. Without a display the current cursor is only remembered, so
/// that code which sets cursor shapes runs unchanged and tests can read it
/// back; the standard shapes have fixed handles.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

struct HCURSOR__;
typedef HCURSOR__* HCURSOR;
typedef uintptr_t ULONG_PTR;

#ifndef MAKEINTRESOURCE
#define MAKEINTRESOURCE(i) ((LPSTR)(ULONG_PTR)(WORD)(i))
#endif
#ifndef IS_INTRESOURCE
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#endif
#define IDC_ARROW MAKEINTRESOURCE(32512)
#define IDC_IBEAM MAKEINTRESOURCE(32513)
#define IDC_WAIT MAKEINTRESOURCE(32514)
#define IDC_CROSS MAKEINTRESOURCE(32515)
#define IDC_UPARROW MAKEINTRESOURCE(32516)
#define IDC_SIZENWSE MAKEINTRESOURCE(32642)
#define IDC_SIZENESW MAKEINTRESOURCE(32643)
#define IDC_SIZEWE MAKEINTRESOURCE(32644)
#define IDC_SIZENS MAKEINTRESOURCE(32645)
#define IDC_SIZEALL MAKEINTRESOURCE(32646)
#define IDC_NO MAKEINTRESOURCE(32648)
#define IDC_HAND MAKEINTRESOURCE(32649)
#define IDC_APPSTARTING MAKEINTRESOURCE(32650)

/// The handle of a standard cursor (IDC_*, with a null instance). Cursors of
/// application resources are not supported: null.
ZEP3_API HCURSOR LoadCursor(HINSTANCE instance, LPCSTR name);
/// Makes cursor the current one (null hides it); returns the previous one. Any thread.
ZEP3_API HCURSOR SetCursor(HCURSOR cursor);
ZEP3_API HCURSOR GetCursor();
/// Screen position of the last mouse input delivered to a window.
ZEP3_API BOOL GetCursorPos(LPPOINT point);
