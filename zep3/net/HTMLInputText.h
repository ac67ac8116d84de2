#pragma once
/// @class CHTMLInputText
/// A one-line text field,
/// `<input type='text' name='NAME' value='VALUE' ATTRIBUTES>`.
#include <zep3/net/HTMLInput.h>

class ZEP3_API CHTMLInputText : public CHTMLInput {
public:
    using CHTMLInput::CHTMLInput;
    CString HTML() override;
};
