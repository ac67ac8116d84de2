#pragma once
/// @file
/// Message boxes without a screen: the text goes to standard error and to the
/// message-box hook, and the answer is IDOK unless the hook gives another.
/// An application routes the texts to its log and a test scripts answers by
/// setting the hook. Callable from any thread.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_ICONERROR 0x00000010u
#define MB_ICONSTOP MB_ICONERROR
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONEXCLAMATION MB_ICONWARNING
#define MB_ICONINFORMATION 0x00000040u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

/// Sees every message box: its text, caption (may be empty) and MB_* style.
/// Returns the answer, or 0 to answer IDOK.
typedef int (*ZEP3MessageBoxHook)(const char* text, const char* caption, UINT type, void* context);

/// Installs the hook (null: none) with a context passed back to it; returns
/// the previous hook.
ZEP3_API ZEP3MessageBoxHook ZEP3SetMessageBoxHook(ZEP3MessageBoxHook hook, void* context);

/// The window is not used. Returns the answer (IDOK without a hook).
ZEP3_API int MessageBox(HWND window, LPCSTR text, LPCSTR caption, UINT type);
/// A message box with the application's caption (empty here).
ZEP3_API int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
/// A message box with string id of the string tables (CString::LoadString).
ZEP3_API int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = (UINT)-1);
