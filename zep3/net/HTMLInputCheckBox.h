#pragma once
/// @class CHTMLInputCheckBox
/// A check box, checked while its value is "on" (any
/// case), as browsers send it: `<input type='checkbox' name='NAME' checked ATTRIBUTES>`.
/// Filled from a POST that does not carry its name, it becomes unchecked.
#include <zep3/net/HTMLInput.h>

class ZEP3_API CHTMLInputCheckBox : public CHTMLInput {
public:
    using CHTMLInput::CHTMLInput;
    /// True when the value is "on", ignoring case.
    bool GetValue();
    CString HTML() override;
};
