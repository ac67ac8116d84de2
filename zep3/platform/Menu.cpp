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

int CMenu::find(UINT item, UINT flags) const {
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

BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
    if (!m_hMenu) return FALSE;
    int at = find(position, flags);
    if (at < 0) {
        if (!(flags & MF_BYPOSITION)) return FALSE;
        at = int(m_Items.size());
    }
    m_Items.insert(m_Items.begin() + at, Item{flags & ~MF_BYPOSITION, flags & MF_SEPARATOR ? 0 : id, text ? text : ""});
    return TRUE;
}

BOOL CMenu::DeleteMenu(UINT position, UINT flags) {
    const int at = find(position, flags);
    if (!m_hMenu || at < 0) return FALSE;
    m_Items.erase(m_Items.begin() + at);
    return TRUE;
}

UINT CMenu::GetMenuItemCount() const { return m_hMenu ? UINT(m_Items.size()) : kNotFound; }

UINT CMenu::GetMenuItemID(int position) const {
    if (position < 0 || size_t(position) >= m_Items.size()) return kNotFound;
    return UINT(m_Items[size_t(position)].id);
}

int CMenu::GetMenuString(UINT item, CString& text, UINT flags) const {
    const int at = find(item, flags);
    text = at < 0 ? CString() : m_Items[size_t(at)].text;
    return text.GetLength();
}

UINT CMenu::GetMenuState(UINT item, UINT flags) const {
    const int at = find(item, flags);
    return at < 0 ? kNotFound : m_Items[size_t(at)].flags;
}

UINT CMenu::CheckMenuItem(UINT item, UINT check) {
    const int at = find(item, check);
    if (at < 0) return kNotFound;
    UINT& f = m_Items[size_t(at)].flags;
    const UINT previous = f & MF_CHECKED;
    f = (f & ~MF_CHECKED) | (check & MF_CHECKED);
    return previous;
}

UINT CMenu::EnableMenuItem(UINT item, UINT enable) {
    const int at = find(item, enable);
    if (at < 0) return kNotFound;
    UINT& f = m_Items[size_t(at)].flags;
    const UINT previous = f & (MF_GRAYED | MF_DISABLED);
    f = (f & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return previous;
}

BOOL CMenu::TrackPopupMenu(UINT, int, int, CWnd*, LPCRECT) { return 0; }
