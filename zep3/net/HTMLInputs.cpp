// The form inputs of a web page: filling from a request and their markup.
#include <zep3/net/HTMLInputCheckBox.h>
#include <zep3/net/HTMLInputHidden.h>
#include <zep3/net/HTMLInputListBox.h>
#include <zep3/net/HTMLInputPassword.h>
#include <zep3/net/HTMLInputRadioButton.h>
#include <zep3/net/HTMLInputText.h>

namespace {

// The three field types that print name, value and attributes alike.
CString FieldMarkup(const char* type, const CHTMLInput& input) {
    CString markup;
    markup.Format("<input type='%s' name='%s' value='%s' %s>", type, (const char*)input.m_Name,
                  (const char*)input.m_Value, (const char*)input.m_Attributes);
    return markup;
}

bool IsOption(const CArray<CHTMLOption, const CHTMLOption&>& options, int index) {
    return index >= 0 && index < options.GetSize();
}

} // namespace

CHTMLInput::CHTMLInput() = default;

CHTMLInput::CHTMLInput(const CString& name, const CString& value, const CString& attributes)
    : m_Name(name), m_Value(value), m_Attributes(attributes) {}

void CHTMLInput::Create(const CString& name, const CString& value, const CString& attributes) {
    m_Name = name;
    m_Value = value;
    m_Attributes = attributes;
}

bool CHTMLInput::RetreveValue(const CHTMLVariables& variables, bool post) {
    if (const CString* found = variables.PLookup(m_Name)) {
        SetValue(*found);
        return true;
    }
    if (post) SetValue(CString());
    return false;
}

void CHTMLInput::SetValue(const CString& value) { m_Value = value; }

CString CHTMLInputText::HTML() { return FieldMarkup("text", *this); }
CString CHTMLInputHidden::HTML() { return FieldMarkup("hidden", *this); }
CString CHTMLInputPassword::HTML() { return FieldMarkup("password", *this); }

bool CHTMLInputCheckBox::GetValue() { return m_Value.CompareNoCase("on") == 0; }

CString CHTMLInputCheckBox::HTML() {
    CString markup;
    markup.Format("<input type='checkbox' name='%s' %s %s>", (const char*)m_Name, GetValue() ? "checked" : "",
                  (const char*)m_Attributes);
    return markup;
}

void CHTMLInputListBox::Create(const CString& name, bool multiple, const CString& value, const CString& attributes) {
    CHTMLInput::Create(name, value, attributes);
    m_bMultiple = multiple;
    m_Options.RemoveAll();
}

int CHTMLInputListBox::AddOption(const CString& value, const CString& text) {
    return static_cast<int>(m_Options.Add(CHTMLOption(value, text)));
}

bool CHTMLInputListBox::IsVisible(int index) { return IsOption(m_Options, index) && m_Options[index].m_bVisible; }

void CHTMLInputListBox::SetVisible(int index, bool visible) {
    if (IsOption(m_Options, index)) m_Options[index].m_bVisible = visible;
}

CString CHTMLInputListBox::HTML() {
    CString markup;
    markup.Format("<select name='%s' %s %s>\r\n", (const char*)m_Name, m_bMultiple ? "MULTIPLE" : "",
                  (const char*)m_Attributes);
    for (INT_PTR i = 0; i < m_Options.GetSize(); ++i) {
        const CHTMLOption& option = m_Options[i];
        if (option.m_bVisible)
            markup.AppendFormat("<option value='%s' %s>%s\r\n", (const char*)option.m_Value,
                                option.m_Value == m_Value ? "selected" : "", (const char*)option.m_Text);
    }
    markup += "</select>";
    return markup;
}

void CHTMLInputRadioButton::Create(const CString& name, const CString& value, const CString& attributes) {
    CHTMLInput::Create(name, value, attributes);
    m_Options.RemoveAll();
}

int CHTMLInputRadioButton::AddOption(const CString& value, const CString& text, const CString& extra) {
    return static_cast<int>(m_Options.Add(CHTMLOption(value, text, extra)));
}

bool CHTMLInputRadioButton::IsVisible(int index) {
    return IsOption(m_Options, index) && m_Options[index].m_bVisible;
}

void CHTMLInputRadioButton::SetVisible(int index, bool visible) {
    if (IsOption(m_Options, index)) m_Options[index].m_bVisible = visible;
}

CString CHTMLInputRadioButton::HTML() { return CString(); }

void CHTMLInputRadioButton::SetValue(const CString& value) { m_Value = value; }

CString CHTMLInputRadioButton::HTML(int index) {
    CString markup;
    if (!IsOption(m_Options, index)) return markup;
    const CHTMLOption& option = m_Options[index];
    const char* checked = option.m_Value == m_Value ? "checked" : "";
    if (option.m_bVisible)
        markup.Format("<input type='radio' name='%s' value='%s' %s %s %s>%s", (const char*)m_Name,
                      (const char*)option.m_Value, checked, (const char*)m_Attributes, (const char*)option.m_Extra,
                      (const char*)option.m_Text);
    else
        markup.Format("<input type='radio' name='%s' value='%s' %s %s style='display:none'>", (const char*)m_Name,
                      (const char*)option.m_Value, checked, (const char*)m_Attributes);
    return markup;
}
