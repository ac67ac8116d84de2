#include <zep3/platform/FileDialog.h>

#include <mutex>
#include <sys/stat.h>

namespace {

std::mutex& HookLock() {
    static std::mutex lock;
    return lock;
}

FileDialogHook& InstalledHook() {
    static FileDialogHook h;
    return h;
}

} // namespace

CFileDialog::CFileDialog(bool openFileDialog, const char* defaultExtension, const char* fileName, DWORD flags,
                         const char* filter, CWnd*)
    : m_bOpenFileDialog(openFileDialog), m_DefaultExtension(defaultExtension), m_Filter(filter), m_Flags(flags),
      m_PathName(fileName) {}

INT_PTR CFileDialog::DoModal() {
    FileDialogHook answer;
    {
        std::lock_guard<std::mutex> guard(HookLock());
        answer = InstalledHook();
    }
    CString path = m_PathName;
    if (!answer || answer(*this, path) != IDOK) return IDCANCEL;
    struct stat st;
    if (m_bOpenFileDialog && (m_Flags & OFN_FILEMUSTEXIST) && stat(path, &st) != 0) return IDCANCEL;
    m_PathName = path;
    return IDOK;
}

void SetFileDialogHook(FileDialogHook hook) {
    std::lock_guard<std::mutex> guard(HookLock());
    InstalledHook() = std::move(hook);
}
