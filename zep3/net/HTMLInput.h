#pragma once
/// @class CHTMLInput
/// The base of the form inputs of a web page (CHTMLPage). An input
/// remembers a name, a current value and extra attribute text printed inside
/// its tag (a style, an event handler), and prints itself as an HTML element.
/// Nothing is escaped: names, values and attributes are printed as they are.
///
/// The destructor is not virtual (pages point to inputs that the derived page
/// owns; nothing deletes an input through this class), so it is protected.
/// An input is used by one thread at a time; the web server fills and prints
/// inputs under its page manager's lock.
#include <zep3/platform/Map.h>
#include <zep3/platform/String.h>

// The parameters of a web request, name to value.
typedef CMap<CString, const char*, CString, const CString&> CHTMLVariables;

class ZEP3_API CHTMLInput {
public:
    ///@{
    /// All texts empty.
    CHTMLInput();
    CHTMLInput(const CString& name, const CString& value, const CString& attributes);
    CHTMLInput(const CHTMLInput& other) = default;
    ///@}
    CHTMLInput& operator=(const CHTMLInput& other) = default;

    /// Sets the three texts.
    void Create(const CString& name, const CString& value, const CString& attributes);
    CString GetValue() { return m_Value; }
    /// Takes the value of this input's name (exact match) from the request's
    /// parameters: found, SetValue with it and true; not found, false, and on
    /// a POST the value becomes empty (a check box the browser did not send
    /// is unchecked), otherwise it stays.
    bool RetreveValue(const CHTMLVariables& variables, bool post);

    /// The element's markup.
    virtual CString HTML() = 0;
    virtual void SetValue(const CString& value);

    CString m_Name;
    CString m_Value;
    CString m_Attributes;

protected:
    ~CHTMLInput() = default;
};
