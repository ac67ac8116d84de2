#include <zep3/foundation/detail/LibraryResources.h>
#include <zep3/net/HTMLPageManager.h>
#include <zep3/platform/SingleLock.h>

CHTMLPageManager::CHTMLPageManager()
    : m_Sha1Page("sha1.js", IDR_HTML_SHA1_JS), m_Md5Page("md5.js", IDR_HTML_MD5_JS) {
    m_PageMap.InitHashTable(17);
    AddHTMLPage(&m_ErrorPage);
    AddHTMLPage(&m_LogoutPage);
    AddHTMLPage(&m_Md5Page);
    AddHTMLPage(&m_Sha1Page);
}

CHTMLPageManager::~CHTMLPageManager() = default;

void CHTMLPageManager::AddHTMLPage(CHTMLPage* page) {
    if (!page) return;
    CSingleLock lock(&m_CriticalSection, TRUE);
    m_PageMap[page->GetPageName()] = page;
}

bool CHTMLPageManager::IsHTMLPageProtected(const CString& name) {
    CSingleLock lock(&m_CriticalSection, TRUE);
    CHTMLPage* page = nullptr;
    return m_PageMap.Lookup(name, page) && page->IsProtected();
}

CMemory CHTMLPageManager::GenerateHTMLPage(const CString& name, CHTMLVariables* variables, bool post, int rights,
                                           CString& header) {
    CSingleLock lock(&m_CriticalSection, TRUE);
    CHTMLPage* page = nullptr;
    if (!m_PageMap.Lookup(name, page) && !m_PageMap.Lookup("__error", page)) return CMemory();
    page->m_nRights = rights;
    page->FillVariables(variables, post);
    return page->GenerateContent(header);
}

void CHTMLPageManager::CreateHTMLPages() {
    CSingleLock lock(&m_CriticalSection, TRUE);
    POSITION position = m_PageMap.GetStartPosition();
    while (position) {
        CString name;
        CHTMLPage* page = nullptr;
        m_PageMap.GetNextAssoc(position, name, page);
        page->CreateHTMLPage();
    }
}
