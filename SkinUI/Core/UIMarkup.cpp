// The skin markup reader. Grammar: elements, attributes with double-quoted values, text before the first
// child element, the five standard entities, skipped declarations ("<?...?>") and comments ("<!...->").
// Documents in UTF-8 or UTF-16 are converted to the program's GBK first. The whole text is parsed once;
// names, values and texts are terminated where they stand, so the start tag of an element stays a walkable
// run of terminated pieces from which its attributes are found on demand.
#include "SkinUI/Core/UIMarkup.h"

#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Utils/UIString.h"
#include "SkinUI/Utils/UITextConvert.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace SkinUI {

namespace {

// Deeper nesting than any skin needs; it bounds the reader's recursion on damaged input.
constexpr int kMaxDepth = 256;
// A buffer larger than this is refused before conversion (the converters count in int).
constexpr DWORD kMaxBufferSize = 64u * 1024u * 1024u;

bool IsSpace(char ch)
{
    const auto u = static_cast<unsigned char>(ch);
    return u >= 1 && u <= 32;
}

// ASCII letters and digits, '_' and ':'; bytes of 0x80 and above end a name.
bool IsNameChar(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' || ch == ':';
}

void SkipSpace(char*& p)
{
    while (IsSpace(*p))
        ++p;
}

void SkipSpace(const char*& p)
{
    while (IsSpace(*p))
        ++p;
}

void SkipName(char*& p)
{
    while (IsNameChar(*p))
        ++p;
}

// Copies at most nMax bytes without splitting a double-byte character and terminates.
void CopyCut(char* pstrDest, int nSize, const char* pstrSource)
{
    if (pstrDest == nullptr || nSize <= 0)
        return;
    const int n = DbcsSafeLength(pstrSource, nSize - 1);
    std::memcpy(pstrDest, pstrSource, n);
    pstrDest[n] = '\0';
}

// Wide characters as a new terminated GBK text (characters GBK lacks become '?'), or null without memory.
char* WideToText(const wchar_t* pwsz, int nChars)
{
    const CUIString sText = WideToGbk(pwsz, nChars);
    const size_t cb = static_cast<size_t>(sText.GetLength()) + 1;
    auto* pstr = static_cast<char*>(std::malloc(cb));
    if (pstr != nullptr)
        std::memcpy(pstr, sText.Chars(), cb);
    return pstr;
}

} // namespace

// ---- CSkinMarkup ----

CSkinMarkup::CSkinMarkup(const char* pstrText)
{
    if (pstrText != nullptr)
        LoadText(pstrText);
}

CSkinMarkup::~CSkinMarkup()
{
    Release();
}

void CSkinMarkup::Release()
{
    std::free(m_pstrText);
    std::free(m_pElements);
    m_pstrText = nullptr;
    m_pElements = nullptr;
    m_nElements = 0;
    m_nReserved = 0;
}

bool CSkinMarkup::LoadText(const char* pstrText)
{
    Release();
    const char* pstrSafe = pstrText != nullptr ? pstrText : "";
    const size_t cb = std::strlen(pstrSafe) + 1;
    auto* pstrCopy = static_cast<char*>(std::malloc(cb));
    if (pstrCopy == nullptr)
        return Fail("Out of memory", nullptr);
    std::memcpy(pstrCopy, pstrSafe, cb);
    return TakeText(pstrCopy);
}

bool CSkinMarkup::LoadBuffer(const BYTE* pBytes, DWORD dwSize, MarkupEncoding encoding)
{
    UIASSERT(m_pstrText == nullptr);
    Release();
    if (pBytes == nullptr && dwSize > 0)
        return Fail("Could not read file", nullptr);
    if (dwSize > kMaxBufferSize)
        return Fail("File too large", nullptr);
    const int nSize = static_cast<int>(dwSize);
    char* pstrText = nullptr;
    if (encoding == MarkupEncoding::Utf8) {
        const BYTE* pSource = pBytes;
        int nSource = nSize;
        if (nSource > 2 && pSource[0] == 0xEF && pSource[1] == 0xBB && pSource[2] == 0xBF) {
            pSource += 3;
            nSource -= 3;
        }
        const std::wstring strWide = Utf8ToWideReplacing(reinterpret_cast<const char*>(pSource), nSource);
        pstrText = WideToText(strWide.c_str(), static_cast<int>(strWide.size()));
    } else if (encoding == MarkupEncoding::Utf16) {
        // Only a byte-order mark tells the byte order; without one nothing is parsed.
        const bool bLittle = nSize >= 2 && pBytes[0] == 0xFF && pBytes[1] == 0xFE;
        const bool bBig = nSize >= 2 && pBytes[0] == 0xFE && pBytes[1] == 0xFF;
        if (!bLittle && !bBig)
            return Fail("Missing byte-order mark", nullptr);
        const int nWide = nSize / 2 - 1;
        // Assembled in a private copy: the caller's buffer may be read-only (a resource).
        std::wstring strWide(static_cast<size_t>(nWide), L'\0');
        for (int i = 0; i < nWide; ++i) {
            const BYTE b0 = pBytes[2 + 2 * i];
            const BYTE b1 = pBytes[3 + 2 * i];
            strWide[static_cast<size_t>(i)] = static_cast<wchar_t>(bLittle ? (b0 | (b1 << 8)) : ((b0 << 8) | b1));
        }
        pstrText = WideToText(strWide.c_str(), nWide);
    } else {
        pstrText = static_cast<char*>(std::malloc(static_cast<size_t>(nSize) + 1));
        if (pstrText != nullptr) {
            if (nSize > 0)
                std::memcpy(pstrText, pBytes, static_cast<size_t>(nSize));
            pstrText[nSize] = '\0';
        }
    }
    if (pstrText == nullptr)
        return Fail("Out of memory", nullptr);
    return TakeText(pstrText);
}

bool CSkinMarkup::LoadFile(const char* pstrFileName, MarkupEncoding encoding)
{
    Release();
    using RR = CPaintManagerUI::ResourceRead;
    CPaintManagerUI::ResourceData data;
    switch (CPaintManagerUI::ReadResourceData(pstrFileName, kMaxFileSize, data)) {
    case RR::Ok:
        break;
    case RR::FileOpenFailed:
        return Fail("Error opening file", nullptr);
    case RR::FileEmpty:
        return Fail("File is empty", nullptr);
    case RR::FileTooLarge:
        return Fail("File too large", nullptr);
    case RR::FileReadFailed:
        return Fail("Could not read file", nullptr);
    case RR::ArchiveOpenFailed:
        return Fail("Error opening zip file", nullptr);
    case RR::ItemNotFound:
        return Fail("Could not find ziped file", nullptr);
    case RR::UnzipFailed:
    default:
        return Fail("Could not unzip file", nullptr);
    }
    return LoadBuffer(data.pBytes.get(), data.dwSize, encoding);
}

bool CSkinMarkup::TakeText(char* pstrText)
{
    m_pstrText = pstrText;
    if (Parse())
        return true;
    Release();
    return false;
}

CSkinMarkupNode CSkinMarkup::Root() const
{
    if (m_nElements < 2)
        return CSkinMarkupNode();
    return CSkinMarkupNode(this, 1);
}

void CSkinMarkup::CopyLastError(char* pstrMessage, int nSize) const
{
    CopyCut(pstrMessage, nSize, m_szErrorMessage);
}

void CSkinMarkup::CopyLastErrorLocation(char* pstrSource, int nSize) const
{
    CopyCut(pstrSource, nSize, m_szErrorLocation);
}

bool CSkinMarkup::Fail(const char* pstrMessage, const char* pstrLocation)
{
    CopyCut(m_szErrorMessage, sizeof(m_szErrorMessage), pstrMessage);
    CopyCut(m_szErrorLocation, sizeof(m_szErrorLocation), pstrLocation != nullptr ? pstrLocation : "");
    return false;
}

int CSkinMarkup::AddElement()
{
    if (m_nElements >= m_nReserved) {
        const int nReserve = m_nReserved + m_nReserved / 2 + 500;
        void* pGrown = std::realloc(m_pElements, sizeof(Element) * static_cast<size_t>(nReserve));
        if (pGrown == nullptr)
            return -1;
        m_pElements = static_cast<Element*>(pGrown);
        m_nReserved = nReserve;
    }
    m_pElements[m_nElements] = Element{0, 0, 0, 0, 0};
    return m_nElements++;
}

bool CSkinMarkup::Parse()
{
    m_szErrorMessage[0] = '\0';
    m_szErrorLocation[0] = '\0';
    if (AddElement() != 0) // entry 0: the placeholder that makes index 0 mean "none"
        return Fail("Out of memory", nullptr);
    char* p = m_pstrText;
    return ParseElements(p, 0, 0);
}

bool CSkinMarkup::ParseElements(char*& p, int iParent, int nDepth)
{
    int iPrevious = 0;
    for (;;) {
        SkipSpace(p);
        if (*p == '\0') {
            // Only the root may be left open at the end of the text; a deeper element still open when the
            // text ends between elements misses the next tag (its children's or its own end tag).
            if (iParent <= 1)
                return true;
            return Fail("Expected start tag", p);
        }
        if (*p != '<')
            return Fail("Expected start tag", p);
        if (p[1] == '/') {
            if (iParent == 0)
                return Fail("Unmatched closing tag", p);
            return true; // the parent's end tag
        }
        *p++ = '\0'; // ends the previous text run
        SkipSpace(p);
        if (*p == '!' || *p == '?') {
            const char chClose = *p == '!' ? '-' : '?';
            const char* pStart = p;
            while (*p != '\0' && !(p[0] == chClose && p[1] == '>'))
                p += DbcsCharSize(p);
            if (*p == '\0')
                return Fail("Expected start-tag closing", pStart);
            p += 2;
            continue;
        }
        if (nDepth >= kMaxDepth)
            return Fail("Elements nested too deeply", p);

        const int iElement = AddElement();
        if (iElement < 0)
            return Fail("Out of memory", p);
        {
            Element& element = m_pElements[iElement];
            element.iName = static_cast<int>(p - m_pstrText);
            element.iParent = iParent;
        }
        if (iPrevious != 0)
            m_pElements[iPrevious].iNext = iElement;
        else if (iParent != 0)
            m_pElements[iParent].iChild = iElement;
        iPrevious = iElement;

        char* const pstrName = p;
        SkipName(p);
        // A name cut off by the end of the text has no text left to show as the location.
        if (*p == '\0')
            return Fail("Error parsing element name", p);
        if (p == pstrName)
            return Fail("Error parsing element name", pstrName);
        char* const pNameEnd = p;
        const size_t cchName = static_cast<size_t>(p - pstrName);
        if (!ParseAttributes(p))
            return false;
        SkipSpace(p);
        if (p[0] == '/' && p[1] == '>') {
            m_pElements[iElement].iText = static_cast<int>(p - m_pstrText);
            *p = '\0';
            p += 2;
        } else {
            if (*p != '>')
                return Fail("Expected start-tag closing", p);
            ++p;
            m_pElements[iElement].iText = static_cast<int>(p - m_pstrText);
            char* pTextEnd = nullptr;
            if (!ParseText(p, pTextEnd, '<')) {
                if (iElement != 1)
                    return Fail("Expected end-tag start", p);
            } else {
                if (p[1] != '/' && !ParseElements(p, iElement, nDepth + 1))
                    return false;
                if (p[0] == '<' && p[1] == '/') {
                    *pTextEnd = '\0';
                    *p = '\0';
                    p += 2;
                    SkipSpace(p);
                    char* const pClosing = p;
                    if (std::strncmp(p, pstrName, cchName) != 0)
                        return Fail("Unmatched closing tag", pClosing);
                    p += cchName;
                    SkipSpace(p);
                    if (*p != '>')
                        return Fail("Unmatched closing tag", pClosing);
                    ++p;
                } else if (*p != '\0' || iElement != 1) {
                    return Fail("Expected end-tag start", p);
                }
            }
        }
        *pNameEnd = '\0';
    }
}

bool CSkinMarkup::ParseAttributes(char*& p)
{
    if (*p == '>' || *p == '/')
        return true;
    *p = '\0'; // terminates the element name
    for (;;) {
        ++p;
        SkipSpace(p);
        if (*p == '\0' || *p == '>' || *p == '/')
            return true;
        char* const pstrAttr = p;
        SkipName(p);
        if (p == pstrAttr)
            return Fail("Error while parsing attributes", p);
        char* const pAttrEnd = p;
        SkipSpace(p);
        if (*p != '=')
            return Fail("Error while parsing attributes", p);
        *p = ' ';
        *pAttrEnd = '\0';
        ++p; // past the '=': a value may follow it directly
        SkipSpace(p);
        if (*p != '"')
            return Fail("Expected attribute value", p);
        ++p;
        char* pValueEnd = nullptr;
        if (!ParseText(p, pValueEnd, '"'))
            return Fail("Error while parsing attribute string", p);
        // The closing quote terminates the value unless decoding shortened it (then it was terminated
        // where it ends and the quote is filler).
        *p = pValueEnd < p ? ' ' : '\0';
    }
}

bool CSkinMarkup::ParseText(char*& p, char*& pDecodedEnd, char chEnd)
{
    static const struct
    {
        const char* pstrEntity;
        size_t cch;
        char ch;
    } kEntities[] = {{"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}};
    char* w = p;
    while (*p != '\0' && *p != chEnd) {
        if (*p == '&') {
            while (*p == '&') {
                bool bEntity = false;
                for (const auto& e : kEntities) {
                    if (std::strncmp(p, e.pstrEntity, e.cch) == 0) {
                        *w++ = e.ch;
                        p += e.cch;
                        bEntity = true;
                        break;
                    }
                }
                if (!bEntity) {
                    *w++ = *p++; // a literal '&'
                    break;
                }
            }
            continue;
        }
        if (*p == ' ') {
            *w++ = *p++;
            if (!m_bKeepSpaces)
                SkipSpace(p);
            continue;
        }
        const int n = DbcsCharSize(p);
        for (int i = 0; i < n; ++i)
            *w++ = *p++;
    }
    // Decoding left a gap: the text ends where it was decoded, the rest becomes filler so that the start
    // tag stays walkable.
    if (w < p) {
        *w = '\0';
        for (char* q = w + 1; q < p; ++q)
            *q = ' ';
    }
    pDecodedEnd = w;
    return *p == chEnd;
}

// ---- CSkinMarkupNode ----

CSkinMarkupNode CSkinMarkupNode::Parent() const
{
    if (m_pOwner == nullptr)
        return CSkinMarkupNode();
    const int i = m_pOwner->m_pElements[m_iElement].iParent;
    return i != 0 ? CSkinMarkupNode(m_pOwner, i) : CSkinMarkupNode();
}

CSkinMarkupNode CSkinMarkupNode::NextSibling() const
{
    if (m_pOwner == nullptr)
        return CSkinMarkupNode();
    const int i = m_pOwner->m_pElements[m_iElement].iNext;
    return i != 0 ? CSkinMarkupNode(m_pOwner, i) : CSkinMarkupNode();
}

CSkinMarkupNode CSkinMarkupNode::FirstChild() const
{
    if (m_pOwner == nullptr)
        return CSkinMarkupNode();
    const int i = m_pOwner->m_pElements[m_iElement].iChild;
    return i != 0 ? CSkinMarkupNode(m_pOwner, i) : CSkinMarkupNode();
}

CSkinMarkupNode CSkinMarkupNode::FindChild(const char* pstrName) const
{
    if (pstrName == nullptr)
        return CSkinMarkupNode();
    for (CSkinMarkupNode node = FirstChild(); node.Valid(); node = node.NextSibling()) {
        if (std::strcmp(node.Name(), pstrName) == 0)
            return node;
    }
    return CSkinMarkupNode();
}

bool CSkinMarkupNode::HasNext() const
{
    return m_pOwner != nullptr && m_pOwner->m_pElements[m_iElement].iNext != 0;
}

bool CSkinMarkupNode::HasChild() const
{
    return m_pOwner != nullptr && m_pOwner->m_pElements[m_iElement].iChild != 0;
}

const char* CSkinMarkupNode::Name() const
{
    return m_pOwner != nullptr ? m_pOwner->TextAt(m_pOwner->m_pElements[m_iElement].iName) : nullptr;
}

const char* CSkinMarkupNode::InnerText() const
{
    return m_pOwner != nullptr ? m_pOwner->TextAt(m_pOwner->m_pElements[m_iElement].iText) : nullptr;
}

void CSkinMarkupNode::MapAttributes() const
{
    m_nAttributes = 0;
    if (m_pOwner == nullptr)
        return;
    const CSkinMarkup::Element& element = m_pOwner->m_pElements[m_iElement];
    const char* const pstrBase = m_pOwner->m_pstrText;
    const char* p = pstrBase + element.iName;
    const char* const pEnd = pstrBase + element.iText; // the start tag ends where the element's text begins
    while (m_nAttributes < kMaxAttributes) {
        p += std::strlen(p) + 1; // past the name, later past the previous value
        if (p >= pEnd)
            return;
        SkipSpace(p);
        if (p >= pEnd || *p == '>' || *p == '/' || *p == '\0')
            return;
        const char* const pstrName = p;
        p += std::strlen(p) + 1;
        SkipSpace(p); // the '=' was turned into a space
        if (p >= pEnd || *p != '"')
            return;
        ++p;
        m_aAttributes[m_nAttributes].iName = static_cast<int>(pstrName - pstrBase);
        m_aAttributes[m_nAttributes].iValue = static_cast<int>(p - pstrBase);
        ++m_nAttributes;
    }
}

int CSkinMarkupNode::AttrCount() const
{
    if (m_nAttributes == 0)
        MapAttributes();
    return m_nAttributes;
}

bool CSkinMarkupNode::HasAttrs() const
{
    return AttrCount() > 0;
}

int CSkinMarkupNode::IndexOf(const char* pstrName) const
{
    if (pstrName == nullptr)
        return -1;
    const int nCount = AttrCount();
    for (int i = 0; i < nCount; ++i) {
        if (std::strcmp(m_pOwner->TextAt(m_aAttributes[i].iName), pstrName) == 0)
            return i;
    }
    return -1;
}

bool CSkinMarkupNode::HasAttr(const char* pstrName) const
{
    return IndexOf(pstrName) >= 0;
}

const char* CSkinMarkupNode::AttrName(int iIndex) const
{
    if (m_pOwner == nullptr)
        return nullptr;
    if (iIndex < 0 || iIndex >= AttrCount())
        return "";
    return m_pOwner->TextAt(m_aAttributes[iIndex].iName);
}

const char* CSkinMarkupNode::AttrValue(int iIndex) const
{
    if (m_pOwner == nullptr)
        return nullptr;
    if (iIndex < 0 || iIndex >= AttrCount())
        return "";
    return m_pOwner->TextAt(m_aAttributes[iIndex].iValue);
}

const char* CSkinMarkupNode::AttrValue(const char* pstrName) const
{
    const int i = IndexOf(pstrName);
    return i >= 0 ? m_pOwner->TextAt(m_aAttributes[i].iValue) : "";
}

bool CSkinMarkupNode::CopyAttrValue(int iIndex, char* pstrValue, int nSize) const
{
    if (m_pOwner == nullptr || iIndex < 0 || iIndex >= AttrCount() || pstrValue == nullptr || nSize < 0)
        return false;
    const char* pstrSource = m_pOwner->TextAt(m_aAttributes[iIndex].iValue);
    const int n = DbcsSafeLength(pstrSource, nSize);
    std::memcpy(pstrValue, pstrSource, static_cast<size_t>(n));
    if (n < nSize)
        pstrValue[n] = '\0';
    return true;
}

bool CSkinMarkupNode::CopyAttrValue(const char* pstrName, char* pstrValue, int nSize) const
{
    return CopyAttrValue(IndexOf(pstrName), pstrValue, nSize);
}

} // namespace SkinUI
