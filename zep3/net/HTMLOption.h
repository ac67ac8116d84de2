#pragma once
/// @class CHTMLOption
/// One entry of a list box or one button of a radio group: the
/// value sent by the browser, the text shown, extra attribute text (radio
/// buttons only) and whether it is shown at all.
#include <zep3/platform/String.h>

class ZEP3_API CHTMLOption {
public:
    CHTMLOption() = default;
    CHTMLOption(const CString& value, const CString& text, const CString& extra = CString(), bool visible = true)
        : m_Value(value), m_Text(text), m_Extra(extra), m_bVisible(visible) {}

    CString m_Value;
    CString m_Text;
    CString m_Extra;
    bool m_bVisible = true;
};
