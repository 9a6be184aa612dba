// CUIRender: plain text, text with inline mark-up (fonts, colours, links, images, line breaks) and text
// measuring, all drawn and measured through the wide calls.
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIPlatformText.h"
#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Core/UIRenderPlatform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace SkinUI {

namespace {

bool IsTagOpen(char ch)
{
    return ch == '<' || ch == '{';
}

bool IsTagClose(char ch)
{
    return ch == '>' || ch == '}';
}

bool IsLowerLetter(char ch)
{
    return ch >= 'a' && ch <= 'z';
}

bool IsAsciiLetter(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

const char* SkipSpaces(const char* p)
{
    while (*p == ' ')
        ++p;
    return p;
}

// The end of a tag's text: its closing '>' or '}', or the end of the text.
const char* TagEnd(const char* p)
{
    while (*p != '\0' && !IsTagClose(*p))
        p += DbcsCharSize(p);
    return p;
}

bool IsRawEnd(const char* p)
{
    return std::strncmp(p, "</r>", 4) == 0 || std::strncmp(p, "{/r}", 4) == 0;
}

// The value of key='...' inside an inline image tag, or empty.
CUIString ImageItem(const char* pBegin, const char* pEnd, const char* pstrKey)
{
    const CUIString sTag(pBegin, static_cast<int>(pEnd - pBegin));
    CUIString sKey(pstrKey);
    sKey += "='";
    int iPos = 0;
    while ((iPos = sTag.FindText(sKey, iPos)) >= 0) {
        // A whole key only: "res='" must not match inside "xres='".
        if (iPos == 0 || sTag[iPos - 1] == ' ')
            break;
        ++iPos;
    }
    if (iPos < 0)
        return CUIString();
    const int iValue = iPos + sKey.GetLength();
    const int iQuote = sTag.FindChar('\'', iValue);
    if (iQuote < 0)
        return CUIString();
    return sTag.Substring(iValue, iQuote - iValue);
}

// Everything a line pass changes; saved at the start of a line so that the drawing pass can lay the same
// line out again with the height the measuring pass found.
struct MarkupState
{
    const char* p = nullptr;
    CUIPtrArray aFonts{10};
    CUIPtrArray aColors{10};
    CUIPtrArray aSpacings{10};
    int x = 0;
    int cyLine = 0;
    int iLinkIndex = 0;
    POINT ptLinkStart = {};
    CUIString sLinkText;
    bool bInLink = false;
    bool bInRaw = false;
    bool bInSelected = false;
};

class MarkupPainter
{
public:
    MarkupPainter(HDC hDC, CPaintManagerUI* pManager, const RECT& rc, DWORD dwTextColor, RECT* prcLinks,
                  CUIString* psLinks, int nLinkCapacity, UINT uStyle)
        : m_hDC(hDC),
          m_pManager(pManager),
          m_rc(rc),
          m_dwTextColor(dwTextColor),
          m_prcLinks(prcLinks),
          m_psLinks(psLinks),
          m_nLinkCapacity(prcLinks != nullptr && psLinks != nullptr ? nLinkCapacity : 0),
          m_uStyle(uStyle),
          m_bDraw((uStyle & DT_CALCRECT) == 0)
    {
    }

    void FindHoveredLink(int nPreviousLinks)
    {
        const POINT pt = m_pManager->GetLastMousePoint();
        for (int i = 0; i < std::min(nPreviousLinks, m_nLinkCapacity); ++i) {
            if (::PtInRect(&m_prcLinks[i], pt)) {
                m_sHoverLink = m_psLinks[i];
                return;
            }
        }
    }

    // Lays out (and draws) the whole text; returns the number of links recorded.
    int Run(const char* pstrText)
    {
        m_s.p = pstrText;
        m_s.x = m_rc.left;
        m_y = m_rc.top;
        SelectCurrentFont();
        const TEXTMETRICW& tm = Metrics(CurrentFont());
        m_s.cyLine = tm.tmHeight + tm.tmExternalLeading;
        m_cxMax = m_rc.left;
        m_cyMinHeight = m_rc.top;
        while (*m_s.p != '\0') {
            const MarkupState lineStart = m_s;
            const bool bStop = LayoutLine(false);
            if (m_bDraw) {
                const int cyLine = m_s.cyLine;
                AlignLine(lineStart.iLinkIndex);
                m_s = lineStart;
                m_s.cyLine = cyLine;
                SelectCurrentFont();
                LayoutLine(true);
                m_s.cyLine = cyLine;
                m_xShift = 0;
            }
            // The line is done: move to the next one.
            m_y += m_s.cyLine;
            m_s.x = m_rc.left;
            m_s.ptLinkStart = POINT{m_s.x, m_y};
            const TEXTMETRICW& tmNext = Metrics(CurrentFont());
            m_s.cyLine = tmNext.tmHeight + tmNext.tmExternalLeading + CurrentSpacing();
            if (bStop || (m_uStyle & DT_SINGLELINE) != 0)
                break;
            if (m_bDraw && m_y >= m_rc.bottom)
                break;
        }
        return m_nLinksRecorded;
    }

    // The text's extent after a measuring run.
    RECT MeasuredRect() const
    {
        RECT rc = m_rc;
        rc.bottom = std::max(m_y, m_cyMinHeight);
        rc.right = std::min<LONG>(m_rc.right, m_cxMax);
        return rc;
    }

private:
    FontInfoUI* CurrentFont() const
    {
        if (!m_s.aFonts.IsEmpty())
            return static_cast<FontInfoUI*>(m_s.aFonts[m_s.aFonts.Count() - 1]);
        return m_pManager->GetBaseFont();
    }

    // Fonts of a manager without a window have not been measured yet: measure them here.
    const TEXTMETRICW& Metrics(FontInfoUI* pFont) const
    {
        if (pFont->metrics.tmHeight == 0 && pFont->handle != nullptr) {
            const HGDIOBJ hOld = ::SelectObject(m_hDC, pFont->handle);
            ::GetTextMetricsW(m_hDC, &pFont->metrics);
            ::SelectObject(m_hDC, hOld);
        }
        return pFont->metrics;
    }

    int CurrentSpacing() const
    {
        if (m_s.aSpacings.IsEmpty())
            return 0;
        return static_cast<int>(reinterpret_cast<INT_PTR>(m_s.aSpacings[m_s.aSpacings.Count() - 1]));
    }

    DWORD CurrentColor() const
    {
        if (m_s.aColors.IsEmpty())
            return m_dwTextColor;
        return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(m_s.aColors[m_s.aColors.Count() - 1]));
    }

    void SelectCurrentFont()
    {
        FontInfoUI* pFont = CurrentFont();
        if (pFont->handle != nullptr)
            ::SelectObject(m_hDC, pFont->handle);
        const TEXTMETRICW& tm = Metrics(pFont);
        if (!m_bLinePassDraws)
            m_s.cyLine = std::max<int>(m_s.cyLine, tm.tmHeight + tm.tmExternalLeading + CurrentSpacing());
    }

    // Selects a new top font; leaving an italic font for an upright one leaves room for the slant.
    void ChangeFont(bool bPush, FontInfoUI* pFont)
    {
        // The slant of an italic font reaches past its last character by about half a space's C width.
        int cxSlant = 0;
        if (CurrentFont()->italic) {
            ABC abc = {};
            if (::GetCharABCWidthsW(m_hDC, L' ', L' ', &abc))
                cxSlant = abc.abcC / 2;
        }
        if (bPush) {
            m_s.aFonts.Push(pFont);
        } else if (!m_s.aFonts.IsEmpty()) {
            m_s.aFonts.Erase(m_s.aFonts.Count() - 1);
        }
        SelectCurrentFont();
        if (cxSlant != 0 && !CurrentFont()->italic)
            m_s.x += cxSlant;
    }

    // The manager's font of the given face, size and style, registered when missing.
    FontInfoUI* LookupFont(const char* pstrFace, int nSize, bool bBold, bool bUnderline, bool bItalic)
    {
        HFONT hFont = m_pManager->FindFontHandle(pstrFace, nSize, bBold, bUnderline, bItalic);
        if (hFont == nullptr)
            hFont = m_pManager->RegisterFont(pstrFace, nSize, bBold, bUnderline, bItalic);
        if (hFont == nullptr)
            return nullptr;
        return m_pManager->FontInfoOf(hFont);
    }

    // A variant of the current font with one more property. The current font itself is pushed again when
    // it already has the property, so that every start tag is matched by one pop at its end tag.
    void PushVariant(bool bBold, bool bUnderline, bool bItalic)
    {
        FontInfoUI* pCur = CurrentFont();
        FontInfoUI* pFont = pCur;
        if ((bBold && !pCur->bold) || (bUnderline && !pCur->underline) || (bItalic && !pCur->italic)) {
            pFont = LookupFont(pCur->faceName, pCur->size, pCur->bold || bBold, pCur->underline || bUnderline,
                               pCur->italic || bItalic);
            if (pFont == nullptr)
                pFont = pCur;
        }
        ChangeFont(true, pFont);
    }

    void PushColor(DWORD dwColor) { m_s.aColors.Push(reinterpret_cast<void*>(static_cast<UINT_PTR>(dwColor))); }

    void PopColor()
    {
        if (!m_s.aColors.IsEmpty())
            m_s.aColors.Erase(m_s.aColors.Count() - 1);
    }

    void RecordLink(bool bMeasuring)
    {
        if (m_s.iLinkIndex < m_nLinkCapacity && bMeasuring) {
            const TEXTMETRICW& tm = Metrics(CurrentFont());
            RECT& rcLink = m_prcLinks[m_s.iLinkIndex];
            rcLink.left = m_s.ptLinkStart.x;
            rcLink.top = m_s.ptLinkStart.y;
            rcLink.right = std::min<LONG>(m_s.x, m_rc.right);
            rcLink.bottom = m_s.ptLinkStart.y + tm.tmHeight + tm.tmExternalLeading;
            m_psLinks[m_s.iLinkIndex] = m_s.sLinkText;
            m_nLinksRecorded = std::max(m_nLinksRecorded, m_s.iLinkIndex + 1);
        }
        if (m_s.iLinkIndex < m_nLinkCapacity)
            ++m_s.iLinkIndex;
    }

    int TextTop() const
    {
        const TEXTMETRICW& tm = CurrentFont()->metrics;
        return m_y + m_s.cyLine - tm.tmHeight - tm.tmExternalLeading;
    }

    // Centred or right-aligned lines of wrapping text move as a whole: the measuring pass has just found
    // the line's width, so the drawing pass shifts every run and image of the line (and its links) by the
    // same amount. Shifting each run on its own would pile the words of one line on top of each other.
    void AlignLine(int iFirstLink)
    {
        m_xShift = 0;
        if ((m_uStyle & DT_SINGLELINE) != 0 || (m_uStyle & (DT_CENTER | DT_RIGHT)) == 0)
            return;
        const int cxFree = m_rc.right - std::min<int>(m_s.x, m_rc.right);
        m_xShift = (m_uStyle & DT_CENTER) != 0 ? cxFree / 2 : cxFree;
        for (int i = iFirstLink; i < m_s.iLinkIndex && i < m_nLinkCapacity; ++i)
            ::OffsetRect(&m_prcLinks[i], m_xShift, 0);
    }

    void DrawRun(const char* pRun, int cch)
    {
        ::SetTextColor(m_hDC, RenderPlatform::ToColorRef(CurrentColor()));
        ::SetBkMode(m_hDC, m_s.bInSelected ? OPAQUE : TRANSPARENT);
        GbkTextOut(m_hDC, m_s.x + m_xShift, TextTop(), pRun, cch);
    }

    int Extent(const char* pRun, int cch) const { return GbkTextExtent(m_hDC, pRun, cch).cx; }

    // A break may come before the byte at i when that character is not part of a word: a space, digit,
    // punctuation or any double-byte character.
    static bool IsBreakBefore(const char* pRun, int i) { return !IsAsciiLetter(pRun[i]); }

    // Lays out one run of text (at most cchRun bytes); true when it ends the line.
    bool TextRun(const char* pRun, int cchRun, bool bDraw)
    {
        const int cxAvail = m_rc.right - m_s.x;
        const TEXTMETRICW& tm = Metrics(CurrentFont());
        const bool bAtLineStart = m_s.x <= m_rc.left;
        // Grow the run character by character; measure exactly only once the estimate reaches the edge.
        int cch = 0;
        int cxRun = 0;
        bool bOverflow = false;
        while (cch < cchRun) {
            const int cchNext = cch + DbcsCharSize(pRun + cch);
            if (tm.tmMaxCharWidth * cchNext >= cxAvail || cchNext == cchRun) {
                const int cxNext = Extent(pRun, cchNext);
                if (cxNext > cxAvail) {
                    bOverflow = true;
                    break;
                }
                cxRun = cxNext;
            }
            cch = cchNext;
        }
        if (!bOverflow) {
            cxRun = Extent(pRun, cch);
            if (bDraw)
                DrawRun(pRun, cch);
            m_s.x += cxRun;
            m_cxMax = std::max(m_cxMax, m_s.x);
            m_s.p = pRun + cch;
            return m_s.x >= m_rc.right;
        }

        // The character at cch does not fit: cut the run there, at a word break, or before an ellipsis.
        // Wrapping text wraps; text that keeps to its line ends in an ellipsis when asked to.
        const bool bEllipsis =
            (m_uStyle & DT_END_ELLIPSIS) != 0 && ((m_uStyle & DT_SINGLELINE) != 0 || (m_uStyle & DT_WORDBREAK) == 0);
        if (bEllipsis) {
            const int cxDots = Extent("...", 3);
            while (cch > 0 && Extent(pRun, cch) + cxDots > cxAvail)
                cch = PreviousCharStart(pRun, cch);
        } else if ((m_uStyle & DT_SINGLELINE) != 0) {
            // The only line is clipped at the edge: a character cut by it is still drawn.
            if (bAtLineStart)
                cch += DbcsCharSize(pRun + cch);
        } else if ((m_uStyle & DT_WORDBREAK) != 0) {
            int iBreak = -1;
            for (int i = cch; i > 0; i = PreviousCharStart(pRun, i)) {
                if (IsBreakBefore(pRun, i)) {
                    iBreak = i;
                    break;
                }
            }
            if (iBreak > 0)
                cch = iBreak;
            else if (!bAtLineStart)
                cch = 0; // the whole word moves to the next line
        }
        // Every line takes at least one character, or the text would never end.
        if (cch == 0 && bAtLineStart && !bEllipsis)
            cch = DbcsCharSize(pRun);
        cxRun = cch > 0 ? Extent(pRun, cch) : 0;
        if (bDraw && cch > 0)
            DrawRun(pRun, cch);
        m_s.x += cxRun;
        m_s.p = pRun + cch;
        if (bEllipsis) {
            if (bDraw)
                DrawRun("...", 3);
            m_s.x = m_rc.right;
        }
        m_cxMax = std::max(m_cxMax, m_s.x);
        return true;
    }

    static int PreviousCharStart(const char* pRun, int iPos)
    {
        int iPrev = 0;
        for (int i = 0; i < iPos; i += DbcsCharSize(pRun + i))
            iPrev = i;
        return iPrev;
    }

    // An inline image "<i name [count [index]]>" or "<i file='name' restype='type'>". False when the
    // image does not fit on this line (the tag is then read again on the next one).
    bool InlineImage(const char* pArgs, const char* pEnd, bool bDraw)
    {
        CUIString sName;
        CUIString sType;
        int nCount = 1;
        int iIndex = 0;
        const CUIString sArgs(pArgs, static_cast<int>(pEnd - pArgs));
        if (sArgs.FindText("file='") >= 0 || sArgs.FindText("res='") >= 0) {
            sName = ImageItem(pArgs, pEnd, "file");
            if (sName.IsEmpty())
                sName = ImageItem(pArgs, pEnd, "res");
            sType = ImageItem(pArgs, pEnd, "restype");
        } else {
            const char* p = pArgs;
            while (p < pEnd && *p != ' ')
                p += DbcsCharSize(p);
            sName = CUIString(pArgs, static_cast<int>(p - pArgs));
            const CUIString sRest(p, static_cast<int>(pEnd - p));
            char* pNext = nullptr;
            nCount = static_cast<int>(std::strtol(sRest, &pNext, 10));
            iIndex = static_cast<int>(std::strtol(pNext, nullptr, 10));
        }
        if (nCount < 1)
            nCount = 1;
        if (iIndex < 0 || iIndex >= nCount)
            iIndex = 0;
        const ImageInfoUI* pImage = m_pManager->FindOrLoadImage(sName, sType.IsEmpty() ? nullptr : sType.Chars(), 0);
        if (pImage == nullptr || pImage->width <= 0)
            return true;
        const int cxCell = pImage->width / nCount;
        const bool bAtLineStart = m_s.x <= m_rc.left;
        if (m_s.x + cxCell > m_rc.right && !bAtLineStart && (m_uStyle & DT_SINGLELINE) == 0)
            return false;
        if (!bDraw)
            m_s.cyLine = std::max(m_s.cyLine, pImage->height);
        const int yImage =
            pImage->height < m_s.cyLine ? m_y + (m_s.cyLine - pImage->height) / 2 : m_y + m_s.cyLine - pImage->height;
        if (bDraw) {
            const RECT rcDest = {m_s.x + m_xShift, yImage, m_s.x + m_xShift + cxCell, yImage + pImage->height};
            const RECT rcSource = {cxCell * iIndex, 0, cxCell * (iIndex + 1), pImage->height};
            const RECT rcNoCorners = {};
            CUIRender::BlitImage(m_hDC, pImage->bitmap, rcDest, rcDest, rcSource, rcNoCorners, pImage->hasAlpha);
        }
        m_s.x += cxCell;
        m_cxMax = std::max(m_cxMax, m_s.x);
        m_cyMinHeight = std::max(m_cyMinHeight, yImage + pImage->height);
        return true;
    }

    enum class TagResult
    {
        Continue,
        LineEnd,     // the tag was consumed and ends the line
        LineEndRetry // the line ends before the tag, which is read again on the next line
    };

    TagResult StartTag(const char* pTag, bool bDraw)
    {
        const char chTag = pTag[1];
        const char* pArgs = SkipSpaces(pTag + 2);
        const char* pEnd = TagEnd(pArgs);
        const char* pAfter = *pEnd != '\0' ? pEnd + 1 : pEnd;
        TagResult result = TagResult::Continue;
        switch (chTag) {
        case 'a': {
            m_s.sLinkText = CUIString(pArgs, static_cast<int>(pEnd - pArgs));
            m_s.bInLink = true;
            m_s.ptLinkStart = POINT{m_s.x, m_y};
            const bool bHover = !m_sHoverLink.IsEmpty() && m_sHoverLink == m_s.sLinkText;
            PushColor(bHover ? m_pManager->GetLinkHoverFontColor() : m_pManager->GetLinkFontColor());
            PushVariant(false, true, false);
            break;
        }
        case 'b':
            PushVariant(true, false, false);
            break;
        case 'c': {
            const char* p = *pArgs == '#' ? pArgs + 1 : pArgs;
            PushColor(static_cast<DWORD>(std::strtoul(CUIString(p, static_cast<int>(pEnd - p)), nullptr, 16)));
            break;
        }
        case 'f':
            FontTag(pArgs, pEnd);
            break;
        case 'i':
            if (pArgs == pEnd) {
                PushVariant(false, false, true);
            } else if (!InlineImage(pArgs, pEnd, bDraw)) {
                return TagResult::LineEndRetry;
            }
            break;
        case 'n':
            if ((m_uStyle & DT_SINGLELINE) == 0)
                result = TagResult::LineEnd;
            break;
        case 'p':
            if (m_s.x > m_rc.left)
                return TagResult::LineEndRetry;
            m_s.aSpacings.Push(reinterpret_cast<void*>(static_cast<INT_PTR>(m_pManager->ScaleLength(std::atoi(pArgs)))));
            SelectCurrentFont();
            break;
        case 'r':
            m_s.bInRaw = true;
            break;
        case 's':
            m_s.bInSelected = !m_s.bInSelected;
            break;
        case 'u':
            PushVariant(false, true, false);
            break;
        case 'x':
            m_s.x += m_pManager->ScaleLength(std::atoi(pArgs));
            m_cxMax = std::max(m_cxMax, m_s.x);
            if (m_s.x >= m_rc.right)
                result = TagResult::LineEnd;
            break;
        case 'y':
            if (!bDraw)
                m_s.cyLine = m_pManager->ScaleLength(std::atoi(pArgs));
            break;
        default:
            break;
        }
        m_s.p = pAfter;
        return result;
    }

    void FontTag(const char* pArgs, const char* pEnd)
    {
        FontInfoUI* pFont = nullptr;
        if (*pArgs >= '0' && *pArgs <= '9') {
            pFont = m_pManager->FontInfoByIndex(std::atoi(pArgs));
        } else {
            const char* p = pArgs;
            while (p < pEnd && *p != ' ')
                p += DbcsCharSize(p);
            const CUIString sFace(pArgs, static_cast<int>(p - pArgs));
            CUIString sRest(p, static_cast<int>(pEnd - p));
            const char* pSize = SkipSpaces(sRest);
            const int nSize = (*pSize >= '0' && *pSize <= '9') ? std::atoi(pSize) : 10;
            sRest.ToLower();
            pFont = LookupFont(sFace, nSize, sRest.FindText("bold") >= 0, sRest.FindText("underline") >= 0,
                               sRest.FindText("italic") >= 0);
        }
        ChangeFont(true, pFont != nullptr ? pFont : CurrentFont());
    }

    TagResult EndTag(const char* pTag, bool bDraw)
    {
        const char chTag = pTag[2];
        const char* pEnd = TagEnd(pTag + 2);
        m_s.p = *pEnd != '\0' ? pEnd + 1 : pEnd;
        switch (chTag) {
        case 'a':
            if (m_s.bInLink) {
                RecordLink(!bDraw);
                m_s.bInLink = false;
                PopColor();
                ChangeFont(false, nullptr);
            }
            break;
        case 'b':
        case 'f':
        case 'i':
        case 'u':
            ChangeFont(false, nullptr);
            break;
        case 'c':
            PopColor();
            break;
        case 'p':
            if (!m_s.aSpacings.IsEmpty())
                m_s.aSpacings.Erase(m_s.aSpacings.Count() - 1);
            if (m_s.x > m_rc.left)
                return TagResult::LineEnd;
            break;
        case 's':
            m_s.bInSelected = !m_s.bInSelected;
            break;
        default:
            break;
        }
        return TagResult::Continue;
    }

    // Lays out one line from the current position. True when the layout should stop after this line.
    bool LayoutLine(bool bDraw)
    {
        m_bLinePassDraws = bDraw;
        const bool bSingleLine = (m_uStyle & DT_SINGLELINE) != 0;
        bool bLineEnd = false;
        while (!bLineEnd) {
            const char* p = m_s.p;
            if (*p == '\0')
                break;
            if (m_s.bInRaw) {
                if (IsRawEnd(p)) {
                    m_s.bInRaw = false;
                    m_s.p = p + 4;
                    continue;
                }
            } else if (IsTagOpen(p[0]) && IsLowerLetter(p[1]) && (p[2] == ' ' || IsTagClose(p[2]))) {
                const TagResult result = StartTag(p, bDraw);
                if (result == TagResult::LineEndRetry && m_s.x <= m_rc.left)
                    m_s.p = TagEnd(p) + (*TagEnd(p) != '\0' ? 1 : 0); // nothing more fits: drop the tag
                else if (result != TagResult::Continue)
                    bLineEnd = true;
                continue;
            } else if (IsTagOpen(p[0]) && p[1] == '/') {
                bLineEnd = EndTag(p, bDraw) != TagResult::Continue;
                continue;
            } else if (p[0] == '<' && (p[1] == '{' || p[1] == '}') && p[2] == '>') {
                bLineEnd = TextRun(p + 1, 1, bDraw);
                m_s.p = p + 3;
                continue;
            } else if (p[0] == '{' && (p[1] == '<' || p[1] == '>') && p[2] == '}') {
                bLineEnd = TextRun(p + 1, 1, bDraw);
                m_s.p = p + 3;
                continue;
            }
            if (*p == '\n') {
                m_s.p = p + 1;
                if (!bSingleLine)
                    bLineEnd = true;
                continue;
            }
            if (*p == '\r') {
                m_s.p = p + 1;
                continue;
            }
            // A run: a lone space, or characters up to the next space, tag start, line feed or end.
            int cch = DbcsCharSize(p);
            if (*p != ' ') {
                while (p[cch] != '\0' && p[cch] != ' ' && p[cch] != '\n' && p[cch] != '\r' && !IsTagOpen(p[cch]))
                    cch += DbcsCharSize(p + cch);
            }
            bLineEnd = TextRun(p, cch, bDraw);
        }
        // An open link ends on this line and goes on as a new link on the next.
        if (m_s.bInLink)
            RecordLink(!bDraw);
        return *m_s.p == '\0';
    }

    HDC m_hDC;
    CPaintManagerUI* m_pManager;
    RECT m_rc;
    DWORD m_dwTextColor;
    RECT* m_prcLinks;
    CUIString* m_psLinks;
    int m_nLinkCapacity;
    UINT m_uStyle;
    bool m_bDraw;
    bool m_bLinePassDraws = false;
    MarkupState m_s;
    CUIString m_sHoverLink;
    int m_y = 0;
    int m_xShift = 0;
    int m_cxMax = 0;
    int m_cyMinHeight = 0;
    int m_nLinksRecorded = 0;
};

} // namespace

void CUIRender::DrawPlainText(HDC hDC, CPaintManagerUI* pManager, const RECT& rc, const char* pstrText,
                              DWORD dwTextColor, int iFont, UINT uStyle)
{
    if (hDC == nullptr || pManager == nullptr || pstrText == nullptr)
        return;
    const int nOldMode = ::SetBkMode(hDC, TRANSPARENT);
    const COLORREF crOld = ::SetTextColor(hDC, RenderPlatform::ToColorRef(dwTextColor));
    const HGDIOBJ hOldFont = ::SelectObject(hDC, pManager->FontByIndex(iFont));
    RECT rcText = rc;
    DrawGbkText(hDC, pstrText, -1, &rcText, uStyle | DT_NOPREFIX);
    ::SelectObject(hDC, hOldFont);
    ::SetTextColor(hDC, crOld);
    ::SetBkMode(hDC, nOldMode);
}

void CUIRender::PaintMarkupText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, const char* pstrText, DWORD dwTextColor,
                                RECT* prcLinks, CUIString* psLinks, int& nLinkRects, UINT uStyle)
{
    const int nPreviousLinks = nLinkRects;
    nLinkRects = 0;
    if (hDC == nullptr || pManager == nullptr || pstrText == nullptr || *pstrText == '\0' || ::IsRectEmpty(&rc))
        return;
    const bool bDraw = (uStyle & DT_CALCRECT) == 0;

    RECT rcClip = {};
    ::GetClipBox(hDC, &rcClip);
    const HRGN hOldRgn = ::CreateRectRgnIndirect(&rcClip);
    const HRGN hRgn = ::CreateRectRgnIndirect(&rc);
    if (bDraw && hRgn != nullptr)
        ::ExtSelectClipRgn(hDC, hRgn, RGN_AND);
    const HGDIOBJ hOldFont = ::SelectObject(hDC, pManager->GetBaseFont()->handle);
    const int nOldMode = ::SetBkMode(hDC, TRANSPARENT);
    const COLORREF crOldText = ::SetTextColor(hDC, RenderPlatform::ToColorRef(dwTextColor));
    const COLORREF crOldBack = ::SetBkColor(hDC, RenderPlatform::ToColorRef(pManager->GetSelectedColor()));

    const UINT uAlign = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;
    if (bDraw && (uStyle & uAlign) != 0) {
        // Wrapped text is measured at its own width so that its height is the height it will have.
        const bool bWrapped = (uStyle & DT_SINGLELINE) == 0 && (uStyle & DT_WORDBREAK) != 0;
        RECT rcText = {0, 0, bWrapped ? rc.right - rc.left : 9999, 100};
        int nNoLinks = 0;
        PaintMarkupText(hDC, pManager, rcText, pstrText, dwTextColor, nullptr, nullptr, nNoLinks, uStyle | DT_CALCRECT);
        const int cxText = rcText.right - rcText.left;
        const int cyText = rcText.bottom - rcText.top;
        if ((uStyle & DT_SINGLELINE) != 0) {
            if ((uStyle & DT_CENTER) != 0) {
                rc.left = rc.left + (rc.right - rc.left) / 2 - cxText / 2;
                rc.right = rc.left + cxText;
            }
            if ((uStyle & DT_RIGHT) != 0)
                rc.left = rc.right - cxText;
        }
        if ((uStyle & DT_VCENTER) != 0) {
            rc.top = rc.top + (rc.bottom - rc.top) / 2 - cyText / 2;
            rc.bottom = rc.top + cyText;
        }
        if ((uStyle & DT_BOTTOM) != 0)
            rc.top = rc.bottom - cyText;
    }

    MarkupPainter painter(hDC, pManager, rc, dwTextColor, prcLinks, psLinks, nPreviousLinks > 0 ? nPreviousLinks : 0,
                          uStyle);
    if (bDraw)
        painter.FindHoveredLink(nPreviousLinks);
    nLinkRects = painter.Run(pstrText);
    if (!bDraw)
        rc = painter.MeasuredRect();

    ::SetBkColor(hDC, crOldBack);
    ::SetTextColor(hDC, crOldText);
    ::SetBkMode(hDC, nOldMode);
    ::SelectObject(hDC, hOldFont);
    if (bDraw && hOldRgn != nullptr)
        ::SelectClipRgn(hDC, hOldRgn);
    if (hRgn != nullptr)
        ::DeleteObject(hRgn);
    if (hOldRgn != nullptr)
        ::DeleteObject(hOldRgn);
}

SIZE CUIRender::MeasureText(HDC hDC, CPaintManagerUI* pManager, const char* pstrText, int iFont)
{
    SIZE sz = {};
    if (hDC == nullptr || pManager == nullptr || pstrText == nullptr)
        return sz;
    const HGDIOBJ hOldFont = ::SelectObject(hDC, pManager->FontByIndex(iFont));
    sz = GbkTextExtent(hDC, pstrText, -1);
    ::SelectObject(hDC, hOldFont);
    return sz;
}

} // namespace SkinUI
