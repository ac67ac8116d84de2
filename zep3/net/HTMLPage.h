#pragma once
/// @class CHTMLPage
/// A page that the web server (CHTTPServer) serves. An application
/// derives from it, sets m_PageName (the request path without its leading
/// "/", matched case-sensitively) and m_PageTitle, adds the inputs it owns
/// with AddInputElement, and registers the page with the server's
/// CHTMLPageManager. For every request of the page the server fills the
/// inputs from the request's parameters (FillVariables, which then calls
/// OnUpdateVariables) and sends what GenerateContent returns.
///
/// The server calls a page only under its page manager's lock, so one page
/// never runs for two requests at once; those calls come from the
/// server's worker threads. An application that changes a page's inputs from its
/// own thread takes the manager's m_CriticalSection while it does.
///
/// The destructor is not virtual: neither the manager nor the server deletes
/// pages. It is protected, so no page is deleted through this class.
#include <zep3/foundation/Memory.h>
#include <zep3/net/HTMLInput.h>
#include <zep3/platform/Array.h>

class ZEP3_API CHTMLPage {
public:
    ///@{
    /// Empty name and title, no inputs, not protected, rights -1.
    CHTMLPage();
    CHTMLPage(const CHTMLPage& other) = default;
    ///@}
    CHTMLPage& operator=(const CHTMLPage& other) = default;

    /// A protected page is served only to a logged-in browser.
    virtual bool IsProtected();
    /// Called after every filling of the inputs; does nothing here.
    virtual void OnUpdateVariables();
    /// Called once for every registered page when the server starts; does
    /// nothing here.
    virtual void CreateHTMLPage();
    /// The page's body bytes. header holds the response header lines the
    /// server will send (each ended by CR LF); the page may append lines
    /// (a "Set-Cookie: ...", say) or replace them.
    virtual CMemory GenerateContent(CString& header) = 0;

    void Protect(bool protect) { m_bProtected = protect; }
    const CString& GetPageName() const { return m_PageName; }
    /// Adds an input the derived page owns (the page only points to it); its
    /// index.
    int AddInputElement(CHTMLInput* input);
    /// RetreveValue(*variables, post) on every input in the order added, then
    /// OnUpdateVariables().
    void FillVariables(CHTMLVariables* variables, bool post);
    /// "<head><meta http-equiv='Content-Type' content='text/html;
    /// charset=windows-1250'><title>" + title + "</title>" + extra + "</head>".
    CString GenerateHTMLPageHeader(const CString& extra);

    CString m_PageName;
    CString m_PageTitle;
    CArray<CHTMLInput*, CHTMLInput*> m_InputArray;
    /// Free for the derived page: the library neither reads nor writes it.
    CString m_PageData;
    bool m_bProtected;
    /// The rights of the user who asks for the page (from the user table of
    /// the server), -1 when the request has no validated session; set before
    /// the inputs are filled.
    int m_nRights;

protected:
    ~CHTMLPage() = default;
};
