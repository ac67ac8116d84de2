#include <zep3/platform/MessageBox.h>
#include <zep3/platform/String.h>

#include <cstdio>
#include <mutex>

namespace {

std::mutex g_lock;
ZEP3MessageBoxHook g_hook = nullptr;
void* g_context = nullptr;

} // namespace

ZEP3MessageBoxHook ZEP3SetMessageBoxHook(ZEP3MessageBoxHook hook, void* context) {
    std::lock_guard<std::mutex> guard(g_lock);
    ZEP3MessageBoxHook previous = g_hook;
    g_hook = hook;
    g_context = context;
    return previous;
}

int MessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    text = text ? text : "";
    caption = caption ? caption : "";
    if (*caption) std::fprintf(stderr, "[%s] %s\n", caption, text);
    else std::fprintf(stderr, "%s\n", text);
    ZEP3MessageBoxHook hook;
    void* context;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        hook = g_hook;
        context = g_context;
    }
    int answer = hook ? hook(text, caption, type, context) : 0;
    return answer ? answer : IDOK;
}

int AfxMessageBox(LPCSTR text, UINT type, UINT) { return MessageBox(nullptr, text, "", type); }

int AfxMessageBox(UINT promptId, UINT type, UINT) {
    CString text;
    text.LoadString(promptId);
    return MessageBox(nullptr, text, "", type);
}
