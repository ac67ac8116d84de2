#include <zep3/markup/Markup.h>

#include <zep3/platform/CodePage.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string>

namespace {

// Character classes of the token rules.
enum : unsigned char { kName, kSpace, kDelim, kQuote, kLead };

using ClassTable = std::array<unsigned char, 256>;

constexpr ClassTable MakeClasses(int leadFirst, int leadLast, int leadFirst2 = 1, int leadLast2 = 0) {
    ClassTable t{};
    for (int c = leadFirst; c <= leadLast; ++c) t[c] = kLead;
    for (int c = leadFirst2; c <= leadLast2; ++c) t[c] = kLead;
    for (unsigned char c : {' ', '\t', '\n', '\r'}) t[c] = kSpace;
    for (unsigned char c : {'<', '>', '=', '\\', '/', '?', '!'}) t[c] = kDelim;
    t['"'] = t['\''] = kQuote;
    return t;
}

constexpr ClassTable kSingleByte = MakeClasses(1, 0);
constexpr ClassTable kShiftJis = MakeClasses(0x81, 0x9F, 0xE0, 0xFC);
constexpr ClassTable kDoubleByte = MakeClasses(0x81, 0xFE); // GBK, UHC, Big5

// Bytes below 0x40 are never trail bytes in these code pages, so the markup
// characters ('<', '>', '&', quotes, '?', '-') are searched bytewise in every
// code page; only name runs (whose delimiter '\' is 0x5C) and the brackets of
// CDATA and document types step characters whole.
const unsigned char* ClassesOf(UINT codePage) {
    switch (codePage) {
    case 932: return kShiftJis.data();
    case 936:
    case 949:
    case 950: return kDoubleByte.data();
    default: return kSingleByte.data();
    }
}

// Offsets are 32-bit; a little room stays for the arithmetic around them.
constexpr int kMaxDocLength = INT_MAX - 16;

// A lead byte makes a character of two only with a trail byte after it; a
// byte below 0x40 after it stays a character of its own, so the markup
// characters are never swallowed by a broken one.
int CharLength(const unsigned char* cls, const char* text, int i, int limit) {
    return cls[static_cast<unsigned char>(text[i])] == kLead && i + 1 < limit &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x40
               ? 2
               : 1;
}

// A stored name matches a requested one that begins with it and ends there
// or goes on with a space, '=', '/' or '['.
bool NameMatches(const char* stored, size_t storedLength, const char* requested, size_t requestedLength) {
    if (storedLength > requestedLength || std::memcmp(stored, requested, storedLength) != 0) return false;
    if (storedLength == requestedLength) return true;
    const char next = requested[storedLength];
    return next == ' ' || next == '=' || next == '/' || next == '[';
}

struct Entity {
    char ch;
    const char* name; // after the '&'
    int length;
};
constexpr Entity kEntities[] = {{'<', "lt;", 3}, {'&', "amp;", 4}, {'>', "gt;", 3}, {'\'', "apos;", 5}, {'"', "quot;", 5}};

const char kCrLf[] = "\r\n";

} // namespace

CMarkup::CMarkup() { SetDoc(nullptr); }

CMarkup::CMarkup(const char* doc) { SetDoc(doc); }

CMarkup::CMarkup(const CMarkup& markup) { *this = markup; }

CMarkup& CMarkup::operator=(const CMarkup& markup) {
    m_Doc = markup.m_Doc;
    m_Records = markup.m_Records;
    m_iPosParent = markup.m_iPosParent;
    m_iPos = markup.m_iPos;
    m_iPosChild = markup.m_iPosChild;
    m_iPosFree = markup.m_iPosFree;
    m_bMainPosValid = markup.m_bMainPosValid;
    m_pCharClass = markup.m_pCharClass;
    return *this;
}

CMarkup::~CMarkup() = default;

bool CMarkup::SetDoc(const char* doc) {
    m_pCharClass = ClassesOf(GetACP());
    const size_t nLength = doc ? std::strlen(doc) : 0;
    if (nLength > static_cast<size_t>(kMaxDocLength)) {
        m_Doc.Empty();
        m_Error = "Document too large";
    } else {
        m_Doc = CString(doc, static_cast<int>(nLength));
    }
    m_iPosFree = 1;
    ResetPos();
    const size_t nRecords = static_cast<size_t>(m_Doc.GetLength()) / 64 + 8;
    if (m_Records.size() < nRecords) std::vector<ElemPos>(nRecords).swap(m_Records);
    m_Records[0] = ElemPos{};
    if (m_Doc.IsEmpty()) return false;

    const int iRoot = x_ParseElem(0);
    if (iRoot > 0) {
        m_Records[0].iFirstChild = iRoot;
        return true;
    }
    m_Records[0] = ElemPos{};
    m_iPosFree = 1;
    return false;
}

bool CMarkup::IsWellFormed() const { return m_Records[0].iFirstChild != 0; }

// ---------------------------------------------------------------- parsing

// Reads one element with everything inside it. The loop keeps no stack of
// its own: `iPos` is the record being read, its parent record tells where the
// scan resumes, and a finished element hands over to its parent. So nesting
// depth costs neither stack nor memory beyond the records.
int CMarkup::x_ParseElem(int iPosParent) {
    const char* szDoc = m_Doc.GetString();
    int iPos = x_GetFreePos();
    m_Records[iPos] = ElemPos{0, 0, 0, 0, iPosParent, 0, 0};
    for (;;) {
        const int iParent = m_Records[iPos].iParent;
        TokenPos token = x_Token(m_Records[iParent].nEndLeft);
        bool bParentEnd = false;
        for (;;) {
            const int nTag = x_FindChar(token.nNext, '<');
            if (nTag < 0)
                return iParent ? x_ParseError("End tag of %s element not found", iParent)
                               : x_ParseError("Element tag not found");
            m_Records[iParent].nEndLeft = nTag;
            m_Records[iPos].nStartLeft = nTag;
            token.nNext = nTag + 1;
            if (!x_FindToken(token)) return x_ParseError("Abrupt end within tag");
            if (token.bIsString) return x_ParseError("Tag starts with quote");
            if (!x_TokenIs(token, '?') && !x_TokenIs(token, '!')) {
                bParentEnd = x_TokenIs(token, '/');
                break;
            }
            token.nNext = x_ParseNode(nTag);
            if (token.nNext < 0) return x_ParseError("Invalid node");
        }

        int iDone = iPos;
        if (bParentEnd) {
            x_ReleasePos();
            if (iParent == iPosParent) return 0;
            if (x_ParseEndTag(iParent) < 0) return -1;
            iDone = iParent;
        } else {
            const int nRight = x_FindChar(token.nNext, '>');
            if (nRight < 0) return x_ParseError("End of tag not found");
            ElemPos& elem = m_Records[iPos];
            elem.nStartRight = nRight;
            if (szDoc[nRight - 1] != '/') {
                // Content follows: its children are read next, from after the start tag.
                elem.nEndLeft = nRight + 1;
                iPos = x_GetFreePos();
                m_Records[iPos] = ElemPos{0, 0, 0, 0, iDone, 0, 0};
                continue;
            }
            elem.nEndLeft = nRight - 1;
            elem.nEndRight = nRight;
        }

        // iDone is complete: it becomes its parent's last child, and the
        // parent's next child is looked for after it.
        const int iUp = m_Records[iDone].iParent;
        if (iUp == iPosParent) return iDone;
        if (!m_Records[iUp].iFirstChild) {
            m_Records[iUp].iFirstChild = iDone;
        } else {
            // Records are taken in document order, so the record before this
            // one lies inside the previous sibling.
            int iPrev = iDone - 1;
            while (m_Records[iPrev].iParent != iUp) iPrev = m_Records[iPrev].iParent;
            m_Records[iPrev].iNextSibling = iDone;
        }
        m_Records[iUp].nEndLeft = m_Records[iDone].nEndRight + 1;
        iPos = x_GetFreePos();
        m_Records[iPos] = ElemPos{0, 0, 0, 0, iUp, 0, 0};
    }
}

// Reads the end tag whose '<' is at the element's end-left offset.
int CMarkup::x_ParseEndTag(int iPos) {
    TokenPos token = x_Token(m_Records[iPos].nEndLeft + 1);
    if (!x_FindToken(token)) return x_ParseError("End tag not completed for element %s", iPos);
    if (!x_TokenIs(token, '/')) return x_ParseError("Expecting end tag of element %s", iPos);
    if (!x_FindToken(token)) return x_ParseError("End tag not completed for element %s", iPos);
    const TokenPos name = x_TagName(iPos);
    const int nName = name.nRight - name.nLeft;
    if (token.bIsString || token.nRight - token.nLeft != nName ||
        std::memcmp(token.szDoc + token.nLeft, name.szDoc + name.nLeft, static_cast<size_t>(nName)) != 0)
        return x_ParseError("End tag does not correspond to %s", iPos);
    do {
        if (!x_FindToken(token)) return x_ParseError("End tag not completed for element %s", iPos);
    } while (!x_TokenIs(token, '>'));
    m_Records[iPos].nEndRight = token.nLeft;
    return iPos;
}

// Skips a processing instruction, comment, CDATA section or declaration that
// starts with the '<' at nLeft; returns the offset after it, -1 when its end
// is missing.
int CMarkup::x_ParseNode(int nLeft) const {
    const int nLength = m_Doc.GetLength();
    const char* szDoc = m_Doc.GetString();
    const int nMark = x_FindAny(nLeft + 1);
    if (nMark + 1 >= nLength) return -1;
    auto after = [&](int nFrom, const char* szEnd) {
        const int nEnd = x_FindText(nFrom, nLength, szEnd);
        return nEnd < 0 ? -1 : nEnd + static_cast<int>(std::strlen(szEnd));
    };
    if (szDoc[nMark] == '?') return after(nMark + 1, "?>");
    if (szDoc[nMark] != '!') return -1;
    if (szDoc[nMark + 1] == '[') return after(nMark + 2, "]]>");
    if (szDoc[nMark + 1] == '-') return after(nMark + 2, "-->");

    // A declaration ends at the first '>' outside square brackets.
    TokenPos token = x_Token(nMark + 1);
    int nDepth = 0;
    while (x_FindToken(token)) {
        if (token.bIsString) continue;
        if (nDepth == 0 && x_TokenIs(token, '>')) return token.nNext;
        for (int i = token.nLeft; i < token.nRight; i += CharLength(m_pCharClass, szDoc, i, token.nRight)) {
            if (szDoc[i] == '[') ++nDepth;
            if (szDoc[i] == ']' && nDepth > 0) --nDepth;
        }
    }
    return -1;
}

int CMarkup::x_ParseError(const char* szError, int iPosName) {
    if (iPosName)
        m_Error.Format(szError, x_GetTagName(iPosName).GetString());
    else
        m_Error = szError;
    x_ReleasePos();
    return -1;
}

// --------------------------------------------------------------- scanning

CMarkup::TokenPos CMarkup::x_Token(int nFrom, int nLimit) const {
    const int nLength = m_Doc.GetLength();
    nFrom = std::max(nFrom, 0);
    return TokenPos{m_Doc.GetString(), nLimit < 0 ? nLength : std::min(nLimit, nLength), m_pCharClass,
                    nFrom, nFrom, nFrom, false};
}

bool CMarkup::x_FindToken(TokenPos& token) const {
    const char* szDoc = token.szDoc;
    const unsigned char* cls = token.pCharClass;
    const int nLimit = token.nLimit;
    int n = token.nNext;
    while (n < nLimit && cls[static_cast<unsigned char>(szDoc[n])] == kSpace) ++n;
    token.bIsString = false;
    if (n >= nLimit) {
        token.nLeft = token.nRight = token.nNext = std::max(n, token.nNext);
        return false;
    }
    switch (cls[static_cast<unsigned char>(szDoc[n])]) {
    case kQuote: {
        const void* close = std::memchr(szDoc + n + 1, szDoc[n], static_cast<size_t>(nLimit - n - 1));
        token.bIsString = true;
        token.nLeft = n + 1;
        token.nRight = close ? static_cast<int>(static_cast<const char*>(close) - szDoc) : nLimit;
        token.nNext = close ? token.nRight + 1 : nLimit;
        return true;
    }
    case kDelim:
        token.nLeft = n;
        token.nRight = token.nNext = n + 1;
        return true;
    default:
        token.nLeft = n;
        while (n < nLimit) {
            const unsigned char k = cls[static_cast<unsigned char>(szDoc[n])];
            if (k == kSpace || k == kDelim) break;
            n += k == kLead ? CharLength(cls, szDoc, n, nLimit) : 1;
        }
        token.nRight = token.nNext = n;
        return true;
    }
}

int CMarkup::x_FindChar(int nFrom, char ch) const {
    const int nLength = m_Doc.GetLength();
    nFrom = std::max(nFrom, 0);
    if (nFrom >= nLength) return -1;
    const char* szDoc = m_Doc.GetString();
    const void* found = std::memchr(szDoc + nFrom, ch, static_cast<size_t>(nLength - nFrom));
    return found ? static_cast<int>(static_cast<const char*>(found) - szDoc) : -1;
}

// The first offset at or after nFrom that is not white space (the length at the end).
int CMarkup::x_FindAny(int nFrom) const {
    const int nLength = m_Doc.GetLength();
    const char* szDoc = m_Doc.GetString();
    int n = std::max(nFrom, 0);
    while (n < nLength && m_pCharClass[static_cast<unsigned char>(szDoc[n])] == kSpace) ++n;
    return std::min(n, nLength);
}

// Where szText lies wholly inside [nFrom, nLimit), -1 when it does not.
int CMarkup::x_FindText(int nFrom, int nLimit, const char* szText) const {
    const int nText = static_cast<int>(std::strlen(szText));
    const char* szDoc = m_Doc.GetString();
    nFrom = std::max(nFrom, 0);
    nLimit = std::min(nLimit, m_Doc.GetLength());
    if (nLimit - nFrom < nText) return -1;
    if (m_pCharClass == kSingleByte.data()) {
        const void* found = memmem(szDoc + nFrom, static_cast<size_t>(nLimit - nFrom), szText, static_cast<size_t>(nText));
        return found ? static_cast<int>(static_cast<const char*>(found) - szDoc) : -1;
    }
    for (int i = nFrom; i + nText <= nLimit; i += CharLength(m_pCharClass, szDoc, i, nLimit))
        if (std::memcmp(szDoc + i, szText, static_cast<size_t>(nText)) == 0) return i;
    return -1;
}

CString CMarkup::x_GetToken(const TokenPos& token) const {
    return CString(token.szDoc + token.nLeft, token.nRight - token.nLeft);
}

bool CMarkup::x_TokenIs(const TokenPos& token, char ch) const {
    return !token.bIsString && token.nRight - token.nLeft == 1 && token.szDoc[token.nLeft] == ch;
}

// ---------------------------------------------------------------- reading

int CMarkup::x_FindElem(int iPosParent, int iPos, const char* szName) const {
    int iFound = iPos ? m_Records[iPos].iNextSibling : m_Records[iPosParent].iFirstChild;
    if (!szName || !*szName) return iFound;
    const size_t nName = std::strlen(szName);
    for (; iFound; iFound = m_Records[iFound].iNextSibling) {
        const TokenPos name = x_TagName(iFound);
        if (NameMatches(name.szDoc + name.nLeft, static_cast<size_t>(name.nRight - name.nLeft), szName, nName))
            return iFound;
    }
    return 0;
}

// The tag name token of an element; its nNext is where the attributes begin.
CMarkup::TokenPos CMarkup::x_TagName(int iPos) const {
    TokenPos token = x_Token(iPos > 0 ? m_Records[iPos].nStartLeft + 1 : m_Doc.GetLength());
    x_FindToken(token);
    return token;
}

CString CMarkup::x_GetTagName(int iPos) const { return iPos > 0 ? x_GetToken(x_TagName(iPos)) : CString(); }

// The next attribute of a start tag: a name, '=' and a quoted value. An
// unquoted or unclosed value is passed over and leaves the attribute without one.
bool CMarkup::x_NextAttrib(TokenPos& token, AttribPos& attrib) const {
    while (x_FindToken(token)) {
        if (token.bIsString || x_TokenIs(token, '=')) continue;
        if (x_TokenIs(token, '>') || x_TokenIs(token, '/') || x_TokenIs(token, '?')) return false;
        attrib = AttribPos{token.nLeft, token.nRight, -1, -1};
        TokenPos next = token;
        if (!x_FindToken(next) || !x_TokenIs(next, '=')) return true;
        token = next;
        if (!x_FindToken(next)) return true;
        if (!next.bIsString && token.pCharClass[static_cast<unsigned char>(token.szDoc[next.nLeft])] == kDelim)
            return true; // '>', '/' and the like end the tag, not this attribute
        token = next;
        if (next.bIsString && next.nNext > next.nRight) { // only a closed string is a value
            attrib.nValueLeft = next.nLeft;
            attrib.nValueRight = next.nRight;
        }
        return true;
    }
    return false;
}

// The first attribute with a quoted value whose name matches. The start tag
// is taken to end where the index says, at its first '>'.
bool CMarkup::x_FindAttrib(int iPos, const char* szName, AttribPos& attrib) const {
    if (iPos <= 0 || !szName) return false;
    TokenPos token = x_TagName(iPos);
    token.nLimit = std::min(token.nLimit, m_Records[iPos].nStartRight);
    const size_t nName = std::strlen(szName);
    while (x_NextAttrib(token, attrib))
        if (attrib.nValueLeft >= 0 &&
            NameMatches(token.szDoc + attrib.nNameLeft, static_cast<size_t>(attrib.nNameRight - attrib.nNameLeft),
                        szName, nName))
            return true;
    return false;
}

CString CMarkup::x_GetAttrib(int iPos, const char* szName) const {
    AttribPos attrib;
    return x_FindAttrib(iPos, szName, attrib) ? x_TextFromDoc(attrib.nValueLeft, attrib.nValueRight) : CString();
}

CString CMarkup::x_GetData(int iPos) const {
    if (iPos <= 0) return CString();
    const ElemPos& elem = m_Records[iPos];
    if (elem.iFirstChild || elem.nEndRight == elem.nStartRight) return CString();
    const int nContent = elem.nStartRight + 1, nEnd = elem.nEndLeft;
    static const char kCDataOpen[] = "<![CDATA[";
    const int nOpen = x_FindAny(nContent);
    if (nOpen + 12 <= nEnd && std::memcmp(m_Doc.GetString() + nOpen, kCDataOpen, 9) == 0) {
        const int nClose = x_FindText(nOpen + 9, nEnd, "]]>");
        if (nClose >= 0) return CString(m_Doc.GetString() + nOpen + 9, nClose - nOpen - 9);
    }
    return x_TextFromDoc(nContent, nEnd);
}

CString CMarkup::x_TextFromDoc(int nLeft, int nRight) const {
    nLeft = std::max(nLeft, 0);
    nRight = std::min(nRight, m_Doc.GetLength());
    if (nRight <= nLeft) return CString();
    const char* p = m_Doc.GetString() + nLeft;
    const char* const end = m_Doc.GetString() + nRight;
    if (!std::memchr(p, '&', static_cast<size_t>(end - p))) return CString(p, nRight - nLeft);

    CString text;
    char* const out = text.GetBufferSetLength(nRight - nLeft);
    char* w = out;
    while (p < end) {
        const char* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
        if (!amp) amp = end;
        std::memcpy(w, p, static_cast<size_t>(amp - p));
        w += amp - p;
        p = amp;
        if (p == end) break;
        char ch = '&';
        int nSkip = 1;
        for (const Entity& e : kEntities)
            if (end - p - 1 >= e.length && std::memcmp(p + 1, e.name, static_cast<size_t>(e.length)) == 0) {
                ch = e.ch;
                nSkip += e.length;
                break;
            }
        *w++ = ch;
        p += nSkip;
    }
    text.ReleaseBuffer(static_cast<int>(w - out));
    return text;
}

CString CMarkup::x_TextToDoc(const char* szText, bool bAttrib) {
    if (!szText) return CString();
    const char* const szSpecial = bAttrib ? "<&>'\"" : "<&>";
    if (!std::strpbrk(szText, szSpecial)) return CString(szText);
    std::string text;
    for (const char* p = szText; *p; ++p) {
        const Entity* entity = nullptr;
        if (std::strchr(szSpecial, *p))
            for (const Entity& e : kEntities)
                if (e.ch == *p) entity = &e;
        if (entity) {
            text += '&';
            text += entity->name;
        } else {
            text += *p;
        }
    }
    return CString(text);
}

// A name that reads back as itself: one token, not quoted.
bool CMarkup::x_IsName(const char* szName) const {
    if (!szName || !*szName || m_pCharClass[static_cast<unsigned char>(szName[0])] == kQuote) return false;
    const int nName = static_cast<int>(std::strlen(szName));
    for (int i = 0; i < nName;) {
        const unsigned char k = m_pCharClass[static_cast<unsigned char>(szName[i])];
        if (k == kSpace || k == kDelim) return false;
        i += CharLength(m_pCharClass, szName, i, nName);
    }
    return true;
}

CString CMarkup::GetTagName() const { return x_GetTagName(m_iPos); }
CString CMarkup::GetChildTagName() const { return x_GetTagName(m_iPosChild); }
CString CMarkup::GetData() const { return x_GetData(m_iPos); }
CString CMarkup::GetChildData() const { return x_GetData(m_iPosChild); }
CString CMarkup::GetAttrib(const char* name) const { return m_bMainPosValid ? x_GetAttrib(m_iPos, name) : CString(); }
CString CMarkup::GetChildAttrib(const char* name) const { return x_GetAttrib(m_iPosChild, name); }

CString CMarkup::GetAttribName(int n) const {
    if (!m_bMainPosValid || n < 0) return CString();
    TokenPos token = x_TagName(m_iPos);
    token.nLimit = std::min(token.nLimit, m_Records[m_iPos].nStartRight);
    AttribPos attrib;
    for (int i = 0; i <= n; ++i)
        if (!x_NextAttrib(token, attrib)) return CString();
    return x_TextFromDoc(attrib.nNameLeft, attrib.nNameRight);
}

// ------------------------------------------------------------- navigation

bool CMarkup::FindElem(const char* name) {
    const int iPos = x_FindElem(m_iPosParent, m_iPos, name);
    if (!iPos) return false;
    x_SetPos(m_iPosParent, iPos, 0);
    return true;
}

bool CMarkup::FindChildElem(const char* name) {
    if (!m_iPos && !FindElem()) return false;
    const int iPosChild = x_FindElem(m_iPos, m_iPosChild, name);
    if (!iPosChild) return false;
    x_SetPos(m_iPosParent, m_iPos, iPosChild);
    return true;
}

bool CMarkup::GetElement(const char* name) {
    ResetMainPos();
    return FindElem(name);
}

bool CMarkup::IntoElem() {
    if (!m_bMainPosValid) return false;
    x_SetPos(m_iPos, m_iPosChild, 0);
    return true;
}

bool CMarkup::OutOfElem() {
    if (!m_iPosParent) return false;
    x_SetPos(m_Records[m_iPosParent].iParent, m_iPosParent, m_iPos);
    return true;
}

void CMarkup::ResetPos() { x_SetPos(0, 0, 0); }
void CMarkup::ResetMainPos() { x_SetPos(m_iPosParent, 0, 0); }
void CMarkup::ResetChildPos() { x_SetPos(m_iPosParent, m_iPos, 0); }

void CMarkup::x_SetPos(int iPosParent, int iPos, int iPosChild) {
    m_iPosParent = iPosParent;
    m_iPos = iPos;
    m_iPosChild = iPosChild;
    m_bMainPosValid = iPos != 0;
}

int CMarkup::x_GetFreePos() {
    if (m_iPosFree >= static_cast<int>(m_Records.size())) {
        const size_t nRecords = m_Records.size() + m_Records.size() / 2;
        m_Records.reserve(nRecords);
        m_Records.resize(nRecords);
    }
    return m_iPosFree++;
}

void CMarkup::x_ReleasePos() { --m_iPosFree; }

// ---------------------------------------------------------------- editing

bool CMarkup::AddElem(const char* name, const char* data) { return x_AddElem(name, data, false); }
bool CMarkup::AddChildElem(const char* name, const char* data) { return x_AddElem(name, data, true); }
bool CMarkup::AddAttrib(const char* name, const char* value) { return SetAttrib(name, value); }
bool CMarkup::AddChildAttrib(const char* name, const char* value) { return SetChildAttrib(name, value); }

bool CMarkup::SetAttrib(const char* name, const char* value) {
    return m_bMainPosValid && x_SetAttrib(m_iPos, name, value);
}

bool CMarkup::SetChildAttrib(const char* name, const char* value) {
    return m_bMainPosValid && m_iPosChild && x_SetAttrib(m_iPosChild, name, value);
}

bool CMarkup::x_SetAttrib(int iPos, const char* szName, const char* szValue) {
    if (iPos <= 0 || !x_IsName(szName)) return false;
    const CString csValue = x_TextToDoc(szValue, true);
    AttribPos attrib;
    int nLeft = 0, nReplace = 0;
    CString csInsert;
    if (x_FindAttrib(iPos, szName, attrib)) {
        nLeft = attrib.nValueLeft;
        nReplace = attrib.nValueRight - attrib.nValueLeft;
        csInsert = csValue;
    } else {
        // Before the start tag's '>', or before the '/' of an empty element.
        const ElemPos& elem = m_Records[iPos];
        nLeft = elem.nEndRight == elem.nStartRight ? elem.nStartRight - 1 : elem.nStartRight;
        csInsert = " " + CString(szName) + "=\"" + csValue + "\"";
    }
    if (!x_DocChange(nLeft, nReplace, csInsert)) return false;
    const int nShift = csInsert.GetLength() - nReplace;
    ElemPos& elem = m_Records[iPos];
    elem.nStartRight += nShift;
    elem.nEndLeft += nShift;
    elem.nEndRight += nShift;
    x_Adjust(iPos, nShift, false);
    return true;
}

// Where a new element goes: after the reference element, else before the
// parent's end tag, else (document level) at the end of the text. White space
// there is stepped over when a tag or the end of the text follows it.
int CMarkup::x_LocateNew(int iPosParent, int iPosRef) const {
    int nInsert = iPosRef      ? m_Records[iPosRef].nEndRight + 1
                  : iPosParent ? m_Records[iPosParent].nEndLeft
                               : m_Doc.GetLength();
    const int nNext = x_FindAny(nInsert);
    if (nNext >= m_Doc.GetLength() || m_Doc[nNext] == '<') nInsert = nNext;
    return nInsert;
}

bool CMarkup::x_AddElem(const char* szName, const char* szData, bool bChild) {
    if (!x_IsName(szName)) return false;
    int iPosParent = m_iPosParent, iPosRef = m_iPos;
    if (bChild) {
        if (!m_iPos) return false;
        iPosParent = m_iPos;
        iPosRef = m_iPosChild;
    } else if (!iPosParent) {
        if (IsWellFormed()) return false;
        iPosRef = 0;
    }

    const CString csName(szName);
    const CString csData = x_TextToDoc(szData, false);
    const CString csElem = csData.IsEmpty() ? "<" + csName + "/>" + kCrLf
                                            : "<" + csName + ">" + csData + "</" + csName + ">" + kCrLf;
    int nLeft = x_LocateNew(iPosParent, iPosRef), nReplace = 0, nStart = nLeft;
    CString csInsert = csElem;
    const ElemPos parent = m_Records[iPosParent];
    const bool bParentEmpty = iPosParent && parent.nEndRight == parent.nStartRight;
    CString csParentName;
    if (bParentEmpty) {
        // <p/> becomes <p>, CR LF, the new element, </p>. A tag ending in
        // "//>" would still read as empty, so it takes no child.
        if (m_Doc[parent.nStartRight - 2] == '/') return false;
        csParentName = x_GetTagName(iPosParent);
        nLeft = parent.nStartRight - 1;
        nReplace = 1;
        csInsert = ">" + CString(kCrLf) + csElem + "</" + csParentName;
        nStart = nLeft + 3;
    } else if (iPosParent && parent.nEndLeft == parent.nStartRight + 1) {
        // <p></p>: the new element goes on a line of its own.
        nLeft = parent.nStartRight + 1;
        csInsert = kCrLf + csElem;
        nStart = nLeft + 2;
    }
    if (!x_DocChange(nLeft, nReplace, csInsert)) return false;
    const int nShift = csInsert.GetLength() - nReplace;

    const int iPos = x_GetFreePos();
    const int nName = csName.GetLength();
    ElemPos& elem = m_Records[iPos];
    elem = ElemPos{nStart, 0, 0, 0, iPosParent, 0, 0};
    if (csData.IsEmpty()) {
        elem.nStartRight = nStart + nName + 2;
        elem.nEndLeft = elem.nStartRight - 1;
        elem.nEndRight = elem.nStartRight;
    } else {
        elem.nStartRight = nStart + nName + 1;
        elem.nEndLeft = elem.nStartRight + 1 + csData.GetLength();
        elem.nEndRight = elem.nEndLeft + nName + 2;
    }

    if (iPosRef) {
        elem.iNextSibling = m_Records[iPosRef].iNextSibling;
        m_Records[iPosRef].iNextSibling = iPos;
    } else if (!m_Records[iPosParent].iFirstChild) {
        m_Records[iPosParent].iFirstChild = iPos;
    } else {
        int iLast = m_Records[iPosParent].iFirstChild;
        while (m_Records[iLast].iNextSibling) iLast = m_Records[iLast].iNextSibling;
        m_Records[iLast].iNextSibling = iPos;
    }

    if (bParentEmpty) {
        ElemPos& p = m_Records[iPosParent];
        p.nStartRight -= 1;
        p.nEndLeft = nStart + csElem.GetLength();
        p.nEndRight = p.nEndLeft + 2 + csParentName.GetLength();
        x_Adjust(iPosParent, nShift, true);
    } else {
        x_Adjust(iPos, nShift, true);
    }

    if (bChild)
        x_SetPos(m_iPosParent, m_iPos, iPos);
    else
        x_SetPos(iPosParent, iPos, 0);
    return true;
}

// Replaces nReplace bytes at nLeft (both clamped into the text) by csInsert;
// false, with nothing changed, when the text would grow past its limit.
bool CMarkup::x_DocChange(int nLeft, int nReplace, const CString& csInsert) {
    const int nLength = m_Doc.GetLength();
    nLeft = std::clamp(nLeft, 0, nLength);
    nReplace = std::clamp(nReplace, 0, nLength - nLeft);
    if (static_cast<long long>(nLength) - nReplace + csInsert.GetLength() > kMaxDocLength) return false;
    if (nReplace) m_Doc.Delete(nLeft, nReplace);
    m_Doc.Insert(nLeft, csInsert);
    return true;
}

// Moves the offsets of everything that follows a change of nShift bytes at
// element iPos: all offsets of the elements after it in document order (with
// its own descendants unless the change lies after the element), and the
// end-tag offsets of the elements that enclose it.
void CMarkup::x_Adjust(int iPos, int nShift, bool bAfterPos) {
    if (!nShift) return;
    auto shift = [&](int i) {
        ElemPos& e = m_Records[i];
        e.nStartLeft += nShift;
        e.nStartRight += nShift;
        e.nEndLeft += nShift;
        e.nEndRight += nShift;
    };
    if (!bAfterPos)
        for (int i = m_Records[iPos].iFirstChild; i; i = x_NextInSubtree(i, iPos)) shift(i);
    for (int i = iPos; i; i = m_Records[i].iParent) {
        for (int iSibling = m_Records[i].iNextSibling; iSibling; iSibling = m_Records[iSibling].iNextSibling)
            for (int j = iSibling; j; j = x_NextInSubtree(j, iSibling)) shift(j);
        if (const int iParent = m_Records[i].iParent) {
            m_Records[iParent].nEndLeft += nShift;
            m_Records[iParent].nEndRight += nShift;
        }
    }
}

// The element after iPos in document order within the subtree of iPosTop, 0 at its end.
int CMarkup::x_NextInSubtree(int iPos, int iPosTop) const {
    if (m_Records[iPos].iFirstChild) return m_Records[iPos].iFirstChild;
    for (; iPos != iPosTop; iPos = m_Records[iPos].iParent)
        if (m_Records[iPos].iNextSibling) return m_Records[iPos].iNextSibling;
    return 0;
}

// ------------------------------------------------------------ re-indenting

CString CMarkup::FormatXML() {
    ResetPos();
    if (!FindElem()) return CString();
    auto startTag = [this]() {
        CString tag = "<" + GetTagName();
        TokenPos token = x_TagName(m_iPos);
        token.nLimit = std::min(token.nLimit, m_Records[m_iPos].nStartRight);
        AttribPos attrib;
        while (x_NextAttrib(token, attrib)) {
            const CString value = attrib.nValueLeft < 0 ? CString() : x_TextFromDoc(attrib.nValueLeft, attrib.nValueRight);
            // The name as the text has it: decoded, "&gt;" would end the tag.
            tag += " " + CString(m_Doc.GetString() + attrib.nNameLeft, attrib.nNameRight - attrib.nNameLeft) + "=\"" +
                   x_TextToDoc(value, true) + "\"";
        }
        return tag + ">";
    };
    auto indent = [](int nDepth) { return CString(kCrLf) + CString(' ', 2 * nDepth); };

    CString xml = startTag();
    const CString csRoot = GetTagName();
    for (int nDepth = 0;;) {
        if (FindChildElem()) {
            IntoElem();
            ++nDepth;
            xml += indent(nDepth) + startTag() + x_TextToDoc(GetData(), false);
            continue;
        }
        if (!nDepth) break;
        if (GetData().IsEmpty()) xml += indent(nDepth);
        xml += "</" + GetTagName() + ">";
        OutOfElem();
        --nDepth;
    }
    return xml + kCrLf + "</" + csRoot + ">" + kCrLf;
}
