#pragma once
/// @class CMarkup
/// An XML document kept as one text plus an index of where each
/// element's tags lie in it. Reading an element's data or attributes cuts them
/// out of the text when asked; every edit splices the text and shifts the
/// recorded offsets of the elements after it, so nothing is parsed twice and
/// there is no tree of strings.
///
/// The index is one array of fixed-size records (offsets and record numbers,
/// never pointers). Record 0 stands for the document; its first child is the
/// root element. Records are taken in order and never reused within one
/// document, so a record number stays valid across edits.
///
/// Navigation is a three-level cursor: the parent element, the main element
/// (one of the parent's children) and the child element (one of the main
/// element's children). A position of 0 means none; a parent of 0 is the
/// document level.
///
/// Only elements, their attributes and their text data (or one CDATA section)
/// are modelled. Prolog, comments, CDATA sections and document types are
/// skipped by the parser and left in the text as they are.
///
/// Text is 8-bit in the system code page. Double-byte code pages (932, 936,
/// 949, 950) are stepped a character at a time; the one in force when the
/// document was set (constructor or SetDoc) applies to it.
///
/// Failures are results: false, or an empty text. A failed parse keeps the
/// text, has no root element and leaves its message in GetError. Documents are
/// limited to 2 GiB (offsets are 32-bit): a longer text is refused by SetDoc,
/// and an edit that would grow the text past it returns false.
///
/// Signatures: names and data are `const char*` and may be omitted where a
/// caller would (FindElem(), AddChildElem(name)); reads are const.
///
/// A single-owner object without locks.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class ZEP3_API CMarkup {
public:
    /// An empty document.
    CMarkup();
    /// SetDoc(doc).
    CMarkup(const char* doc);
    ///@{
    /// The text, the records and the cursor; the error text is not copied.
    CMarkup(const CMarkup& markup);
    CMarkup& operator=(const CMarkup& markup);
    ///@}
    virtual ~CMarkup();

    /// Replaces the document (null means empty), resets the cursor and parses
    /// it. True when a root element was parsed; text after it is not examined.
    /// An empty text gives false and leaves the error text as it was.
    bool SetDoc(const char* doc);
    /// The document text, with every edit made so far.
    CString GetDoc() const { return m_Doc; }
    /// The message of the last failed parse (never cleared by a good one).
    CString GetError() const { return m_Error; }
    /// True when the document has a root element.
    bool IsWellFormed() const;

    /// Moves the main position to the next element of the current level whose
    /// name matches (any when name is null or empty) and clears the child
    /// position. A name matches when it begins with the element's name and
    /// ends there or goes on with a space, '=', '/' or '[' ("item[2]" finds
    /// item). False, and nothing moves, when there is none.
    bool FindElem(const char* name = nullptr);
    /// The same for the child position among the main element's children;
    /// first finds a main element when there is none.
    bool FindChildElem(const char* name = nullptr);
    /// The first matching element of the current level.
    bool GetElement(const char* name = nullptr);
    /// The main element becomes the parent and the child the main element.
    bool IntoElem();
    /// The parent becomes the main element and the main element the child.
    bool OutOfElem();
    /// Back to before the root element: no parent, main or child position.
    void ResetPos();
    /// Back to before the first element of the current level (no main or child
    /// position).
    void ResetMainPos();
    /// Back to before the main element's first child.
    void ResetChildPos();

    ///@{
    /// Empty when there is no such element.
    CString GetTagName() const;
    CString GetChildTagName() const;
    ///@}
    ///@{
    /// Decoded text data; empty for elements with child elements. A CDATA
    /// section comes back raw.
    CString GetData() const;
    CString GetChildData() const;
    ///@}
    ///@{
    /// Decoded value of the attribute; empty when it is absent.
    CString GetAttrib(const char* name) const;
    CString GetChildAttrib(const char* name) const;
    ///@}
    /// Name of the main element's attribute number n (from 0); empty past the last.
    CString GetAttribName(int n) const;

    /// Adds an element after the main element, at its level, and makes it the
    /// main element. At the document level only a first (root) element may be
    /// added. The data (null or empty for none) is encoded. False for a name
    /// that could not be read back as one (empty, white space, markup characters).
    bool AddElem(const char* name, const char* data = nullptr);
    /// Adds an element after the child element, inside the main element, and
    /// makes it the child element.
    bool AddChildElem(const char* name, const char* data = nullptr);
    ///@{
    /// Sets an attribute of the main element: the value of an existing one is
    /// replaced, a new one is appended after the others. The two are the same
    /// operation. A null value is empty.
    bool AddAttrib(const char* name, const char* value);
    bool SetAttrib(const char* name, const char* value);
    bool AddChildAttrib(const char* name, const char* value);
    bool SetChildAttrib(const char* name, const char* value);
    ///@}

    /// A re-indented copy of the elements, attributes and data (no prolog or
    /// comments), values and data encoded again. Leaves the cursor where its
    /// walk ended: on the root element with its last child as child element.
    CString FormatXML();

protected:
    /// Where one element lies in the text. For an empty element written `<a/>`
    /// nEndLeft is its '/' and nEndRight its start tag's '>'.
    struct ElemPos {
        int32_t nStartLeft;   ///< '<' of the start tag
        int32_t nStartRight;  ///< '>' of the start tag
        int32_t nEndLeft;     ///< '<' of the end tag
        int32_t nEndRight;    ///< '>' of the end tag
        int32_t iParent;      ///< 0 for the root element
        int32_t iFirstChild;  ///< 0 when none
        int32_t iNextSibling; ///< 0 when none
    };
    static_assert(sizeof(ElemPos) == 28 && offsetof(ElemPos, nEndLeft) == 8 && offsetof(ElemPos, iParent) == 16 &&
                      offsetof(ElemPos, iNextSibling) == 24,
                  "seven 32-bit fields");

    /// A scanning position: the token found last [nLeft, nRight) and where the
    /// next scan starts. Scans never pass nLimit.
    struct TokenPos {
        const char* szDoc;
        int nLimit;
        const unsigned char* pCharClass;
        int nLeft;
        int nRight;
        int nNext;
        bool bIsString; ///< a quoted string; the quotes are not part of it
    };

    /// One attribute of a start tag; nValueLeft is -1 when it has no quoted value.
    struct AttribPos {
        int nNameLeft;
        int nNameRight;
        int nValueLeft;
        int nValueRight;
    };

    /// Parsing. x_ParseElem returns the new record, 0 when the parent's end
    /// tag came instead, -1 on error.
    int x_ParseElem(int iPosParent);
    int x_ParseEndTag(int iPos);
    int x_ParseNode(int nLeft) const;
    int x_ParseError(const char* szError, int iPosName = 0);

    /// Scanning.
    TokenPos x_Token(int nFrom, int nLimit = -1) const;
    bool x_FindToken(TokenPos& token) const;
    int x_FindChar(int nFrom, char ch) const;
    int x_FindAny(int nFrom) const;
    int x_FindText(int nFrom, int nLimit, const char* szText) const;
    CString x_GetToken(const TokenPos& token) const;
    bool x_TokenIs(const TokenPos& token, char ch) const;

    /// Reading.
    int x_FindElem(int iPosParent, int iPos, const char* szName) const;
    TokenPos x_TagName(int iPos) const;
    CString x_GetTagName(int iPos) const;
    bool x_NextAttrib(TokenPos& token, AttribPos& attrib) const;
    bool x_FindAttrib(int iPos, const char* szName, AttribPos& attrib) const;
    CString x_GetAttrib(int iPos, const char* szName) const;
    CString x_GetData(int iPos) const;
    CString x_TextFromDoc(int nLeft, int nRight) const;
    static CString x_TextToDoc(const char* szText, bool bAttrib);
    bool x_IsName(const char* szName) const;

    /// Editing.
    bool x_SetAttrib(int iPos, const char* szName, const char* szValue);
    bool x_AddElem(const char* szName, const char* szData, bool bChild);
    int x_LocateNew(int iPosParent, int iPosRef) const;
    bool x_DocChange(int nLeft, int nReplace, const CString& csInsert);
    void x_Adjust(int iPos, int nShift, bool bAfterPos);
    int x_NextInSubtree(int iPos, int iPosTop) const;

    /// Records and cursor.
    int x_GetFreePos();
    void x_ReleasePos();
    void x_SetPos(int iPosParent, int iPos, int iPosChild);

    CString m_Doc;
    CString m_Error;
    std::vector<ElemPos> m_Records;
    int m_iPosParent = 0;
    int m_iPos = 0;
    int m_iPosChild = 0;
    int m_iPosFree = 1;
    bool m_bMainPosValid = false;
    /// Character classes of the document's code page (white space,
    /// delimiters, quotes, double-byte lead bytes).
    const unsigned char* m_pCharClass = nullptr;
};
