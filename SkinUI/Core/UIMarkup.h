// CSkinMarkup reads a skin document (a small, non-validating XML subset) once, in place: it keeps one copy
// of the text converted to the system code page, terminates names, values and texts inside it and records
// the elements in a flat table. CSkinMarkupNode is a light handle to one element, copied by value.
#pragma once

#include <windows.h>

namespace SkinUI {

class CSkinMarkup;

// The encoding of a byte buffer given to CSkinMarkup.
enum class MarkupEncoding : int
{
    Utf8 = 0,
    Utf16 = 1, // with a byte-order mark, either byte order
    Ansi = 2,  // the system code page; any other value counts as this too
};

class CSkinMarkupNode
{
public:
    CSkinMarkupNode() = default;

    bool Valid() const { return m_pOwner != nullptr; }
    CSkinMarkupNode Parent() const;
    CSkinMarkupNode NextSibling() const;
    CSkinMarkupNode FirstChild() const;
    // The first child whose name equals pstrName byte for byte.
    CSkinMarkupNode FindChild(const char* pstrName) const;
    bool HasNext() const;
    bool HasChild() const;

    // Null from an invalid node.
    const char* Name() const;
    const char* InnerText() const;

    // At most kMaxAttributes attributes are visible, in document order.
    int AttrCount() const;
    bool HasAttrs() const;
    bool HasAttr(const char* pstrName) const;
    // Empty texts for an index out of range; null from an invalid node.
    const char* AttrName(int iIndex) const;
    const char* AttrValue(int iIndex) const;
    // The value of the first attribute of that name, else an empty text.
    const char* AttrValue(const char* pstrName) const;
    // Copy at most nSize bytes of the value; the terminator only if it fits. False for a missing attribute.
    bool CopyAttrValue(int iIndex, char* pstrValue, int nSize) const;
    bool CopyAttrValue(const char* pstrName, char* pstrValue, int nSize) const;

    static constexpr int kMaxAttributes = 64;

private:
    friend class CSkinMarkup;
    CSkinMarkupNode(const CSkinMarkup* pOwner, int iElement) : m_iElement(iElement), m_pOwner(pOwner) {}
    // Finds the attributes of the start tag on first use.
    void MapAttributes() const;
    int IndexOf(const char* pstrName) const;

    struct AttrSlot
    {
        int iName;
        int iValue;
    };
    int m_iElement = 0;
    mutable int m_nAttributes = 0;
    mutable AttrSlot m_aAttributes[kMaxAttributes] = {};
    const CSkinMarkup* m_pOwner = nullptr;
};

class CSkinMarkup
{
public:
    // A file or archive item larger than this is refused.
    static constexpr DWORD kMaxFileSize = 4194304;

    explicit CSkinMarkup(const char* pstrText = nullptr);
    ~CSkinMarkup();
    CSkinMarkup(const CSkinMarkup&) = delete;
    CSkinMarkup& operator=(const CSkinMarkup&) = delete;

    // Parses a copy of an 8-bit text as it is.
    bool LoadText(const char* pstrText);
    // Converts a buffer to the system code page and parses it. The caller's bytes are not changed.
    bool LoadBuffer(const BYTE* pBytes, DWORD dwSize, MarkupEncoding encoding = MarkupEncoding::Utf8);
    // Reads a file or archive item from the paint manager's resource location, then loads it as LoadBuffer.
    bool LoadFile(const char* pstrFileName, MarkupEncoding encoding = MarkupEncoding::Utf8);
    void Release();
    bool IsLoaded() const { return m_pElements != nullptr; }
    // The first element of the document, or an invalid node.
    CSkinMarkupNode Root() const;
    // False: a run of whitespace after a space in texts and values shrinks to that space.
    void SetKeepSpaces(bool bKeep) { m_bKeepSpaces = bKeep; }
    // Why the last load failed and the text where it failed (empty for file errors).
    void CopyLastError(char* pstrMessage, int nSize) const;
    void CopyLastErrorLocation(char* pstrSource, int nSize) const;

private:
    friend class CSkinMarkupNode;
    struct Element
    {
        int iName;
        int iChild;
        int iNext;
        int iParent;
        int iText;
    };

    bool TakeText(char* pstrText);
    bool Parse();
    bool ParseElements(char*& p, int iParent, int nDepth);
    bool ParseAttributes(char*& p);
    // Reads a text up to chEnd, decoding entities in place; false when the text ends first.
    bool ParseText(char*& p, char*& pDecodedEnd, char chEnd);
    int AddElement();
    bool Fail(const char* pstrMessage, const char* pstrLocation);
    const char* TextAt(int iOffset) const { return m_pstrText + iOffset; }

    char* m_pstrText = nullptr;
    Element* m_pElements = nullptr;
    int m_nElements = 0;
    int m_nReserved = 0;
    char m_szErrorMessage[100] = {};
    char m_szErrorLocation[50] = {};
    bool m_bKeepSpaces = true;
};

} // namespace SkinUI
