#pragma once
/// @class CHTMLInputPassword
/// A password field,
/// `<input type='password' name='NAME' value='VALUE' ATTRIBUTES>`.
#include <zep3/net/HTMLInput.h>

class ZEP3_API CHTMLInputPassword : public CHTMLInput {
public:
    using CHTMLInput::CHTMLInput;
    CString HTML() override;
};
