#pragma once
/// @class CHTMLInputRadioButton
/// A group of radio buttons sharing one name. The page
/// prints each button where it wants it with HTML(index), so a group can be
/// spread over a table; HTML() without an index prints nothing. The button
/// whose value equals the input's value exactly is checked.
#include <zep3/net/HTMLInput.h>
#include <zep3/net/HTMLOption.h>
#include <zep3/platform/Array.h>

class ZEP3_API CHTMLInputRadioButton : public CHTMLInput {
public:
    CHTMLInputRadioButton() = default;
    /// Sets the texts and removes all options.
    void Create(const CString& name, const CString& value, const CString& attributes);
    /// Appends a visible button; its index.
    int AddOption(const CString& value, const CString& text, const CString& extra);
    int GetCount() const { return static_cast<int>(m_Options.GetSize()); }
    const CString& GetValue() { return m_Value; }
    /// A button's visible flag; an index that is not a button's gives false
    /// (and is ignored by SetVisible).
    bool IsVisible(int index);
    void SetVisible(int index, bool visible);

    /// The empty text.
    CString HTML() override;
    void SetValue(const CString& value) override;
    /// Button index: "<input type='radio' name='N' value='V' checked ATTRIBUTES EXTRA>TEXT",
    /// or, hidden, the same tag with style='display:none' in place of the
    /// extra text and without the text. An index outside the buttons gives
    /// the empty text.
    virtual CString HTML(int index);

    CArray<CHTMLOption, const CHTMLOption&> m_Options;
};
