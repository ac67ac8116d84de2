#include <zep3/net/HTMLPage.h>

CHTMLPage::CHTMLPage() : m_bProtected(false), m_nRights(-1) {}

bool CHTMLPage::IsProtected() { return m_bProtected; }
void CHTMLPage::OnUpdateVariables() {}
void CHTMLPage::CreateHTMLPage() {}

int CHTMLPage::AddInputElement(CHTMLInput* input) { return static_cast<int>(m_InputArray.Add(input)); }

void CHTMLPage::FillVariables(CHTMLVariables* variables, bool post) {
    if (variables)
        for (INT_PTR i = 0; i < m_InputArray.GetSize(); ++i)
            if (m_InputArray[i]) m_InputArray[i]->RetreveValue(*variables, post);
    OnUpdateVariables();
}

CString CHTMLPage::GenerateHTMLPageHeader(const CString& extra) {
    return "<head><meta http-equiv='Content-Type' content='text/html; charset=windows-1250'><title>" + m_PageTitle +
           "</title>" + extra + "</head>";
}
