#pragma once
/// @class CDialog
/// A modeless dialog as a child or top-level window. There are no
/// dialog resources here: the template id names the dialog (it becomes the
/// window's control id) and the derived class makes its own controls in
/// OnInitDialog. DoModal has no user to ask and answers IDCANCEL.
#include <zep3/platform/Wnd.h>

class ZEP3_API CDialog : public CWnd {
public:
    CDialog();
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    /// Creates the dialog window: a visible child filling `parent`'s client
    /// area, or a top-level window of 200 x 100 pixels without a parent; then
    /// OnInitDialog. FALSE when the window exists already or cannot be made.
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
    /// Headless: IDCANCEL, nothing is shown.
    virtual INT_PTR DoModal();
    /// Called once the window exists; TRUE by default.
    virtual BOOL OnInitDialog();
    UINT GetTemplateID() const { return m_nIDTemplate; }

protected:
    /// The window-level Create stays reachable for derived dialogs; callers
    /// of a dialog use the template form above.
    using CWnd::Create;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};
