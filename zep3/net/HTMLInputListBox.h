#pragma once
/// @class CHTMLInputListBox
/// A `<select>` list of options, single or multiple choice.
/// The option whose value equals the input's value exactly is selected;
/// hidden options are left out of the markup.
#include <zep3/net/HTMLInput.h>
#include <zep3/net/HTMLOption.h>
#include <zep3/platform/Array.h>

class ZEP3_API CHTMLInputListBox : public CHTMLInput {
public:
    /// No options, single choice.
    CHTMLInputListBox() = default;
    /// Sets the texts and the multiple-choice flag and removes all options.
    void Create(const CString& name, bool multiple, const CString& value, const CString& attributes);
    /// Appends a visible option; its index.
    int AddOption(const CString& value, const CString& text);
    void ResetOptions() { m_Options.RemoveAll(); }
    /// An option's visible flag; an index that is not an option's gives false
    /// (and is ignored by SetVisible).
    bool IsVisible(int index);
    void SetVisible(int index, bool visible);

    /// "<select name='NAME' MULTIPLE ATTRIBUTES>" CR LF, one
    /// "<option value='V' selected>TEXT" CR LF per visible option, "</select>".
    CString HTML() override;

    CArray<CHTMLOption, const CHTMLOption&> m_Options;
    bool m_bMultiple = false;
};
