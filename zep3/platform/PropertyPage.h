#pragma once
/// @class CPropertyPage
/// A page of a property sheet, a dialog named by its template
/// id with an optional caption. Modules hand such pages to their host, which
/// places them in its sheet.
#include <zep3/platform/Dialog.h>

class ZEP3_API CPropertyPage : public CDialog {
public:
    CPropertyPage() : m_nIDCaption(0) {}
    /// captionId is kept for the host; 0 means the page's own caption.
    explicit CPropertyPage(UINT templateId, UINT captionId = 0) : CDialog(templateId), m_nIDCaption(captionId) {}
    UINT GetCaptionID() const { return m_nIDCaption; }

protected:
    UINT m_nIDCaption;
};
