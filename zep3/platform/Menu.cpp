#include <zep3/platform/Menu.h>

namespace {

constexpr UINT kNotFound = UINT(-1);

} // namespace

CMenu::CMenu() : m_hMenu(nullptr) {}

CMenu::~CMenu() = default;

BOOL CMenu::CreateMenu() {
    if (m_hMenu) return FALSE;
    // The handle only tells that the menu exists; it names this object.
    m_hMenu = reinterpret_cast<HMENU>(this);
    m_Items.clear();
    return TRUE;
}

BOOL CMenu::CreatePopupMenu() { return CreateMenu(); }

BOOL CMenu::DestroyMenu() {
    if (!m_hMenu) return FALSE;
    m_hMenu = nullptr;
    m_Items.clear();
    return TRUE;
}

int CMenu::Find(UINT item, UINT flags) const {
    if (flags & MF_BYPOSITION) return item < m_Items.size() ? int(item) : -1;
    for (size_t i = 0; i < m_Items.size(); ++i)
        if (!(m_Items[i].flags & MF_SEPARATOR) && m_Items[i].id == item) return int(i);
    return -1;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, LPCSTR text) {
    if (!m_hMenu) return FALSE;
    m_Items.push_back(Item{flags & ~MF_BYPOSITION, flags & MF_SEPARATOR ? 0 : id, text ? text : ""});
    return TRUE;
}

UINT CMenu::GetMenuItemCount() const { return m_hMenu ? UINT(m_Items.size()) : kNotFound; }

UINT CMenu::GetMenuItemID(int position) const {
    if (position < 0 || size_t(position) >= m_Items.size()) return kNotFound;
    return UINT(m_Items[size_t(position)].id);
}

int CMenu::GetMenuString(UINT item, CString& text, UINT flags) const {
    const int at = Find(item, flags);
    text = at < 0 ? CString() : m_Items[size_t(at)].text;
    return text.GetLength();
}

UINT CMenu::GetMenuState(UINT item, UINT flags) const {
    const int at = Find(item, flags);
    return at < 0 ? kNotFound : m_Items[size_t(at)].flags;
}

BOOL CMenu::TrackPopupMenu(UINT, int, int, CWnd*, LPCRECT) { return 0; }
