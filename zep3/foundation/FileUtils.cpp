#include <zep3/foundation/FileUtils.h>
#include <zep3/foundation/ShutdownBackend.h>
#include <zep3/platform/FileFind.h>
#include <zep3/platform/FileSystem.h>
#include <zep3/platform/Module.h>
#include <zep3/platform/Registry.h>
#include <zep3/platform/Resource.h>

#include <cstring>
#include <sys/stat.h>

namespace {

CString AsFolder(const CString& folder) {
    return folder.IsEmpty() || folder[folder.GetLength() - 1] == '/' ? folder : folder + "/";
}

} // namespace

bool FileExists(const CString& path) {
    struct stat st;
    return stat(path, &st) == 0;
}

CString GetModulePath() {
    char path[4096];
    DWORD n = GetModuleFileName(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return CString();
    CString full(path, static_cast<int>(n));
    return full.Left(full.ReverseFind('/') + 1);
}

void* LoadFromResources(int& size, unsigned short id, const char* type, HINSTANCE module) {
    if (!type) return nullptr;
    HINSTANCE chain[] = {module, nullptr, nullptr};
    if (!module) {
        chain[0] = AfxGetResourceHandle();
        chain[1] = AfxGetInstanceHandle();
        chain[2] = ZEP3GetInstanceHandle();
    }
    for (HINSTANCE h : chain) {
        if (!h) continue;
        HRSRC found = FindResource(h, MAKEINTRESOURCE(id), type);
        HGLOBAL block = found ? LoadResource(h, found) : nullptr;
        void* data = block ? LockResource(block) : nullptr;
        if (!data) continue;
        size = static_cast<int>(SizeofResource(h, found));
        return data;
    }
    return nullptr;
}

bool ReadRegKey(HKEY root, const CString& subkey, const CString& name, unsigned long& value) {
    HKEY key;
    if (RegOpenKeyEx(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD data = 0, size = sizeof data;
    bool ok = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&data), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (ok) value = data;
    return ok;
}

bool WriteRegKey(HKEY root, const CString& subkey, const CString& name, unsigned long value) {
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyEx(root, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, &disposition) !=
        ERROR_SUCCESS)
        return false;
    DWORD data = static_cast<DWORD>(value);
    bool ok = RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

unsigned int GetFolderFreeSpaceKB(const CString& path) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceEx(path, &available, nullptr, nullptr)) return 0;
    return static_cast<unsigned int>(available.QuadPart / 1024);
}

unsigned int GetFolderSize(const CString& folder, const CString& mask) {
    CString root = AsFolder(folder);
    unsigned int total = 0;
    CFileFind finder;
    BOOL more = finder.FindFile(root + mask);
    while (more) {
        more = finder.FindNextFile();
        if (!finder.IsDirectory()) total += static_cast<unsigned int>(finder.GetLength());
        else if (!finder.IsDots() && !finder.IsSymbolicLink()) total += GetFolderSize(finder.GetFilePath() + "/", mask);
    }
    return total;
}

void CreateDirectoryPath(const CString& path) {
    if (CreateDirectory(path, nullptr)) return;
    for (int slash = path.Find('/'); slash >= 0; slash = path.Find('/', slash + 1))
        CreateDirectory(path.Left(slash), nullptr);
}

bool RemoveDirectoryEx(const CString& folder) {
    if (folder.IsEmpty()) return false;
    CString root = AsFolder(folder);
    CFileFind finder;
    BOOL more = finder.FindFile(root + "*.*");
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots()) continue;
        if (finder.IsDirectory() && !finder.IsSymbolicLink()) RemoveDirectoryEx(finder.GetFilePath() + "/");
        else DeleteFile(finder.GetFilePath());
    }
    return RemoveDirectory(root) != FALSE;
}

char* StrNCpyZ(char* dst, const char* src, int n) {
    if (n < 1 || !dst) return nullptr;
    std::strncpy(dst, src ? src : "", static_cast<size_t>(n));
    dst[n - 1] = '\0';
    return dst;
}

bool SystemShutDown() {
    CShutdownBackend* backend = CShutdownBackend::GetCurrent();
    return backend && backend->Restart();
}
