#pragma once
/// @class CHTMLInputHidden
/// A hidden field,
/// `<input type='hidden' name='NAME' value='VALUE' ATTRIBUTES>`.
#include <zep3/net/HTMLInput.h>

class ZEP3_API CHTMLInputHidden : public CHTMLInput {
public:
    using CHTMLInput::CHTMLInput;
    CString HTML() override;
};
