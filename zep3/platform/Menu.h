#pragma once
/// @class CMenu
/// A menu as a list of items (flags, command id, text). There is no
/// menu bar or popup window here: a menu is built and read back, which is
/// what the hooks that fill popup menus for their host need. Showing a popup
/// (TrackPopupMenu) answers 0, as when the user dismisses it.
#include <zep3/platform/Export.h>
#include <zep3/platform/Point.h>
#include <zep3/platform/String.h>
#include <zep3/platform/Wnd.h>

#include <vector>

#define MF_STRING 0x0000u
#define MF_ENABLED 0x0000u
#define MF_UNCHECKED 0x0000u
#define MF_BYCOMMAND 0x0000u
#define MF_GRAYED 0x0001u
#define MF_DISABLED 0x0002u
#define MF_CHECKED 0x0008u
#define MF_POPUP 0x0010u
#define MF_BYPOSITION 0x0400u
#define MF_SEPARATOR 0x0800u

#define TPM_LEFTALIGN 0x0000u
#define TPM_RIGHTBUTTON 0x0002u
#define TPM_RETURNCMD 0x0100u

class ZEP3_API CMenu {
public:
    CMenu();
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    /// Null until CreateMenu or CreatePopupMenu, and after DestroyMenu.
    HMENU m_hMenu;
    HMENU GetSafeHmenu() const { return m_hMenu; }

    /// An empty menu; FALSE when this object already has one.
    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    /// Drops the items; FALSE without a menu.
    BOOL DestroyMenu();

    /// Adds an item at the end (MF_SEPARATOR items have no id or text).
    /// FALSE without a menu.
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr);
    /// Number of items; -1 (as UINT) without a menu.
    UINT GetMenuItemCount() const;
    /// The item's command id; 0 for a separator, -1 (as UINT) out of range.
    UINT GetMenuItemID(int position) const;
    /// The text of the item at `position` (MF_BYPOSITION) or of the item with
    /// that command id; its length, 0 when not found.
    int GetMenuString(UINT item, CString& text, UINT flags) const;
    /// The MF_ flags of the item; -1 (as UINT) when not found.
    UINT GetMenuState(UINT item, UINT flags) const;

    /// Headless: no popup is shown and the answer is 0 (nothing chosen).
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr);

private:
    struct Item {
        UINT flags;
        UINT_PTR id;
        CString text;
    };
    // Index of the item, by position or by command id; -1 when not found.
    int Find(UINT item, UINT flags) const;

    std::vector<Item> m_Items;
};
