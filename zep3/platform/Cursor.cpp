#include <zep3/platform/Cursor.h>
#include <zep3/platform/detail/MessageQueue.h>

#include <atomic>

namespace {

std::atomic<HCURSOR> g_cursor{nullptr};

bool IsStandardCursor(uintptr_t id) { return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651); }

} // namespace

HCURSOR LoadCursor(HINSTANCE instance, LPCSTR name) {
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if (instance || !IS_INTRESOURCE(name) || !IsStandardCursor(id)) return nullptr;
    // Standard cursors are named by their resource number, above 64K so
    // that they cannot be mistaken for it.
    return reinterpret_cast<HCURSOR>(0x10000 + id);
}

HCURSOR SetCursor(HCURSOR cursor) { return g_cursor.exchange(cursor); }

HCURSOR GetCursor() { return g_cursor.load(); }

BOOL GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    *point = zep3::detail::LastMousePosition();
    return TRUE;
}
