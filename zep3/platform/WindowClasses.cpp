// The registry of window classes, by name without regard to case.
#include <zep3/platform/Wnd.h>
#include <zep3/platform/detail/WindowClasses.h>

#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

struct ClassEntry {
    WNDCLASS wc;
    std::string name;
    std::string menu;
};

struct ClassTable {
    std::mutex lock;
    std::map<std::string, std::unique_ptr<ClassEntry>> byName;
};

ClassTable& Classes() {
    static ClassTable* classes = new ClassTable;
    return *classes;
}

std::string ClassKey(LPCSTR name) {
    std::string key = name ? name : "";
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

} // namespace

HCURSOR zep3::detail::ClassCursor(const std::string& className) {
    ClassTable& classes = Classes();
    std::lock_guard<std::mutex> hold(classes.lock);
    auto it = classes.byName.find(ClassKey(className.c_str()));
    return it == classes.byName.end() ? LoadCursor(nullptr, IDC_ARROW) : it->second->wc.hCursor;
}

ATOM RegisterClass(const WNDCLASS* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !*windowClass->lpszClassName) return 0;
    ClassTable& classes = Classes();
    std::lock_guard<std::mutex> hold(classes.lock);
    std::string key = ClassKey(windowClass->lpszClassName);
    if (classes.byName.count(key)) return 0;
    auto entry = std::make_unique<ClassEntry>();
    entry->wc = *windowClass;
    entry->name = windowClass->lpszClassName;
    entry->menu = windowClass->lpszMenuName && !IS_INTRESOURCE(windowClass->lpszMenuName) ? windowClass->lpszMenuName : "";
    entry->wc.lpszClassName = entry->name.c_str();
    if (!entry->menu.empty()) entry->wc.lpszMenuName = entry->menu.c_str();
    classes.byName.emplace(key, std::move(entry));
    // Atoms of registered classes, as on Windows, lie from 0xC000 on.
    return static_cast<ATOM>(0xC000 + classes.byName.size());
}

BOOL AfxRegisterClass(WNDCLASS* windowClass) {
    if (!windowClass) return FALSE;
    WNDCLASS existing;
    if (GetClassInfo(windowClass->hInstance, windowClass->lpszClassName, &existing)) return TRUE;
    return RegisterClass(windowClass) != 0;
}

BOOL GetClassInfo(HINSTANCE, LPCSTR className, LPWNDCLASS windowClass) {
    if (!className || !windowClass) return FALSE;
    ClassTable& classes = Classes();
    std::lock_guard<std::mutex> hold(classes.lock);
    auto it = classes.byName.find(ClassKey(className));
    if (it == classes.byName.end()) return FALSE;
    *windowClass = it->second->wc;
    return TRUE;
}

