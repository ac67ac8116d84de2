#include <zep3/platform/Dialog.h>
#include <zep3/platform/MessageBox.h>

CDialog::CDialog() : m_nIDTemplate(0), m_pParentWnd(nullptr) {}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    if (m_hWnd) return FALSE;
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    BOOL created;
    if (parent && parent->GetSafeHwnd()) {
        CRect client;
        parent->GetClientRect(&client);
        created = CWnd::Create(nullptr, nullptr, WS_VISIBLE, client, parent, templateId);
    } else {
        created = CreateEx(0, nullptr, nullptr, WS_POPUP, CRect(0, 0, 200, 100), nullptr, templateId);
    }
    return created && OnInitDialog();
}

INT_PTR CDialog::DoModal() { return IDCANCEL; }

BOOL CDialog::OnInitDialog() { return TRUE; }
