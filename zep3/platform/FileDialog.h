#pragma once
/// @class CFileDialog
/// The framework's open and save file dialog.
///
/// The library runs without a user interface, so a dialog answers IDCANCEL
/// unless the application (or a test) installs a hook with SetFileDialogHook
/// that answers in the user's place. A hook that answers IDOK sets the chosen
/// path; an open dialog with OFN_FILEMUSTEXIST still cancels when that path
/// does not exist, as the real dialog would not close on it.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

#include <functional>

#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif

#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000

class CWnd;

class ZEP3_API CFileDialog {
public:
    /// `filter` is in the framework's form, "Description|*.ext||".
    CFileDialog(bool openFileDialog, const char* defaultExtension = nullptr, const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);
    virtual ~CFileDialog() = default;

    /// IDOK with a chosen path, or IDCANCEL. Any thread may call it.
    virtual INT_PTR DoModal();
    /// The chosen path; before DoModal, the initial file name.
    CString GetPathName() const { return m_PathName; }

    bool IsOpenFileDialog() const { return m_bOpenFileDialog; }
    const CString& GetDefaultExtension() const { return m_DefaultExtension; }
    const CString& GetFilter() const { return m_Filter; }
    DWORD GetFlags() const { return m_Flags; }

private:
    bool m_bOpenFileDialog;
    CString m_DefaultExtension;
    CString m_Filter;
    DWORD m_Flags;
    CString m_PathName;
};

// Answers every file dialog in the user's place: gets the dialog, returns
// IDOK or IDCANCEL and, with IDOK, sets the path. An empty hook restores the
// default answer, IDCANCEL. Any thread may set it; the hook runs on the
// thread that shows the dialog.
using FileDialogHook = std::function<INT_PTR(const CFileDialog& dialog, CString& path)>;
ZEP3_API void SetFileDialogHook(FileDialogHook hook);
