// The rich edit control over the platform's text services: the installer's agreement box and its scroll
// bars, text in the system code page, which window messages reach the text and which are held back
// (disabled control, Enter, Tab), and drawing into the off-screen surface.
#include "SkinUI/Control/UIRichEdit.h"
#include "SkinUI/Window/UIDlgBuilder.h"

#include "PaintCanvas.h"
#include "UITestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// The agreement page of the installer's skin, as far as the text box goes.
// The installer's agreement page with the installer's default font (the system's GUI font differs by locale).
const char kAgreementSkin[] =
    "<Window size=\"600,400\"><Font name=\"微软雅黑\" size=\"12\" default=\"true\" />"
    "<VerticalLayout name=\"page\">"
    "<RichEdit name=\"Txt_info\" float=\"true\" pos=\"20,30,0,0\" width=\"570\" height=\"320\" vscrollbar=\"true\" "
    "hscrollbar=\"true\" textpadding=\"2,0,2,0\" align=\"left\" textcolor=\"0xFFFFFFFF\" />"
    "</VerticalLayout></Window>";

std::string LongText(int nLines)
{
    std::string s;
    for (int i = 0; i < nLines; ++i)
        s += "\xe7\xac\xac " + std::to_string(i) + " line of the agreement\r\n"; // a GBK character first
    return s;
}

// A visible window whose manager holds a vertical layout with one rich edit (and a second tab stop).
struct EditHost
{
    CPaintManagerUI pm;
    HostWindow host{pm, HostWindow::VisiblePopup, 300, 200};
    EventLog log;
    NotifyRecorder notes{&log};
    CContainerUI* root = new CContainerUI;
    CRichEditUI* edit = new CRichEditUI;
    CRecordingControlUI* other = new CRecordingControlUI("other", nullptr, true);

    explicit EditHost(const char* pstrAttributes = "")
    {
        pm.RegisterNotifier(&notes);
        edit->SetName("edit");
        edit->ApplyAttributeList(pstrAttributes);
        edit->SetFloat(true);
        edit->SetFixedXY(CUISize(10, 10));
        edit->SetFixedWidth(200);
        edit->SetFixedHeight(100);
        other->SetFloat(true);
        other->SetFixedXY(CUISize(250, 10));
        other->SetFixedWidth(20);
        other->SetFixedHeight(20);
        root->AddItem(edit);
        root->AddItem(other);
        pm.SetRootControl(root);
        root->SetPos(CUIRect(0, 0, 300, 200));
    }
    EditHost(const EditHost&) = delete;
    EditHost& operator=(const EditHost&) = delete;

    LRESULT Post(UINT uMsg, WPARAM wParam, LPARAM lParam = 0)
    {
        return ::SendMessageA(host.Handle(), uMsg, wParam, lParam);
    }
    void Type(const char* pstr)
    {
        for (; *pstr != '\0'; ++pstr)
            Post(WM_CHAR, static_cast<unsigned char>(*pstr));
    }
    void Click(int x, int y)
    {
        Post(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        Post(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    int Returns() const
    {
        int n = 0;
        for (const std::string& s : log)
            n += s == "notify:return:edit" ? 1 : 0;
        return n;
    }
};

void SetControlKey(bool bDown)
{
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = bDown ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

} // namespace

TEST(RichEditAgreement, InstallerTextBoxGetsBothBarsAndShowsTheVerticalOneForALongText)
{
    CPaintManagerUI pm;
    HostWindow host(pm, HostWindow::VisiblePopup, 600, 400);
    CSkinBuilder builder;
    CControlUI* pRoot = builder.Build(kAgreementSkin, nullptr, nullptr, &pm);
    ASSERT_NE(pRoot, nullptr);
    pm.SetRootControl(pRoot);
    auto* pEdit = static_cast<CRichEditUI*>(pm.FindControlByName("Txt_info"));
    ASSERT_NE(pEdit, nullptr);
    ASSERT_EQ(pEdit->GetInterface("RichEdit"), pEdit);
    ASSERT_TRUE(pEdit->HasTextServices());
    EXPECT_EQ(pEdit->GetWinStyle() & (WS_VSCROLL | WS_HSCROLL | ES_DISABLENOSCROLL),
              WS_VSCROLL | WS_HSCROLL | ES_DISABLENOSCROLL);
    ASSERT_NE(pEdit->GetVerticalScrollBar(), nullptr);
    ASSERT_NE(pEdit->GetHorizontalScrollBar(), nullptr);
    EXPECT_TRUE(pEdit->GetHorizontalScrollBar()->IsHorizontal());

    struct Case
    {
        int nLines;
        bool bVerticalBar;
    };
    // Laid out before any drawing: the scroll range is right from the start.
    const Case cases[] = {{60, true}, {2, false}, {60, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nLines);
        pEdit->SetEnabled(false);
        pEdit->SetText(LongText(c.nLines).c_str());
        pRoot->SetPos(CUIRect(0, 0, 600, 400));
        CScrollBarUI* pBar = pEdit->GetVerticalScrollBar();
        EXPECT_EQ(pBar->IsVisible(), c.bVerticalBar);
        if (c.bVerticalBar) {
            // Sixty lines of at least 12 pixels are more than two boxes high.
            EXPECT_GT(pBar->GetScrollRange(), 320);
            // The bar sits on the right of the text area, inside the control.
            EXPECT_EQ(pBar->GetPos().right, pEdit->GetPos().right);
            EXPECT_EQ(pBar->GetPos().top, pEdit->GetPos().top);
        }
    }

    // The bar scrolls the text, even of the disabled box: its lower button, then the wheel, then a drag.
    CScrollBarUI* pBar = pEdit->GetVerticalScrollBar();
    const auto press = [pBar](int nKind, POINT pt) {
        InputEventUI event;
        event.nKind = nKind;
        event.pSender = pBar;
        event.ptMouse = pt;
        event.wParam = CScrollBarUI::kTimerId;
        pBar->DeliverEvent(event);
    };
    const CUIRect rcButton2 = pBar->GetButton2Rect();
    press(UIEV_BUTTONDOWN, POINT{rcButton2.left + 2, rcButton2.top + 2});
    press(UIEV_BUTTONUP, POINT{rcButton2.left + 2, rcButton2.top + 2});
    const int nAfterLine = pBar->GetScrollPos();
    EXPECT_GT(nAfterLine, 0);
    InputEventUI wheel;
    wheel.nKind = UIEV_SCROLLWHEEL;
    wheel.pSender = pEdit;
    wheel.wParam = 1;
    pEdit->DeliverEvent(wheel);
    EXPECT_GT(pBar->GetScrollPos(), nAfterLine);
    const CUIRect rcThumb = pBar->GetThumbRect();
    press(UIEV_BUTTONDOWN, POINT{rcThumb.left + 2, rcThumb.top + 2});
    press(UIEV_MOUSEMOVE, POINT{rcThumb.left + 2, pEdit->GetPos().bottom + 100});
    press(UIEV_TIMER, POINT{0, 0});
    press(UIEV_BUTTONUP, POINT{rcThumb.left + 2, pEdit->GetPos().bottom + 100});
    EXPECT_EQ(pBar->GetScrollPos(), pBar->GetScrollRange());

    // A full paint cycle of the window settles: the layout and the drawing do not keep asking for more.
    ::InvalidateRect(host.Handle(), nullptr, FALSE);
    ::UpdateWindow(host.Handle());
    HostWindow::Pump();
    EXPECT_TRUE(pBar->IsVisible());
    EXPECT_FALSE(::GetUpdateRect(host.Handle(), nullptr, FALSE));
}

TEST(RichEditText, TextIsKeptInTheSystemCodePage)
{
    EditHost t;
    ASSERT_TRUE(t.edit->HasTextServices());
    struct Case
    {
        const char* pstrWhat;
        const char* pstrSet;
        long nInsertAt; // -2: no insertion; -1: append
        const char* pstrInsert;
        const char* pstrExpected;
    };
    const Case cases[] = {
        {"plain", "hello", -2, "", "hello"},
        {"double-byte", "\xc7\xeb\xca\xe4\xc8\xeb", -2, "", "\xc7\xeb\xca\xe4\xc8\xeb"},
        {"insert", "held", 3, "lo wor", "hello word"},
        {"append", "\xc7\xeb", -1, "ok", "\xc7\xebok"},
        {"empty", "", -2, "", ""},
        {"paragraphs", "one\r\n\r\n\xc7\xeb\r\n", -2, "", "one\r\n\r\n\xc7\xeb\r\n"},
        {"break inserted", "ab", 1, "\r\n", "a\r\nb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        t.edit->SetText(c.pstrSet);
        if (c.nInsertAt == -1)
            t.edit->AppendText(c.pstrInsert);
        else if (c.nInsertAt >= 0)
            t.edit->InsertText(c.nInsertAt, c.pstrInsert);
        EXPECT_EQ(std::string(t.edit->GetText()), c.pstrExpected);
    }
    t.edit->SetText("one two three");
    EXPECT_EQ(std::string(t.edit->GetTextRange(4, 7)), "two");
    t.edit->SetSel(8, 13);
    EXPECT_EQ(std::string(t.edit->GetSelText()), "three");
}

TEST(RichEditInput, OnlyAnEnabledWritableFocusedControlTakesKeysAndClicks)
{
    struct Case
    {
        const char* pstrWhat;
        const char* pstrAttributes;
        bool bEnabled;
        bool bFocusByClick;
        const char* pstrExpected;
    };
    const Case cases[] = {
        {"enabled, clicked", "", true, true, "abx"},
        {"enabled, not focused", "", true, false, "ab"},
        {"disabled", "", false, true, "ab"},
        {"read-only before initialisation", "readonly=\"true\"", true, true, "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        EditHost t(c.pstrAttributes);
        t.edit->SetText("ab");
        t.edit->SetEnabled(c.bEnabled);
        if (c.bFocusByClick) {
            t.Click(150, 50); // behind the text, so the caret goes to the end
            EXPECT_EQ(t.pm.GetFocusedControl() == t.edit, c.bEnabled);
        }
        t.Post(WM_KEYDOWN, VK_END);
        t.Type("x");
        EXPECT_EQ(std::string(t.edit->GetText()), c.pstrExpected);
    }
}

TEST(RichEditInput, EnterIsHeldBackWhenReturnIsNotWanted)
{
    struct Case
    {
        const char* pstrAttributes;
        bool bCtrl;
        int nReturns;
        bool bLineBreak;
    };
    const Case cases[] = {
        {"", false, 0, true},
        {"wantreturn=\"false\"", false, 1, false},
        {"wantctrlreturn=\"false\"", true, 1, false},
        {"wantctrlreturn=\"false\"", false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pstrAttributes << " ctrl " << c.bCtrl);
        EditHost t(c.pstrAttributes);
        t.edit->SetText("ab");
        t.edit->SetFocus();
        t.edit->SetSel(2, 2);
        SetControlKey(c.bCtrl);
        t.Post(WM_KEYDOWN, VK_RETURN);
        t.Post(WM_CHAR, c.bCtrl ? '\n' : '\r'); // what the keyboard makes of Enter and Ctrl+Enter
        SetControlKey(false);
        EXPECT_EQ(t.Returns(), c.nReturns);
        EXPECT_EQ(t.edit->GetLineCount() > 1, c.bLineBreak);
    }
}

TEST(RichEditInput, TabReachesARichEditThatWantsIt)
{
    struct Case
    {
        const char* pstrAttributes;
        bool bEnabled;
        bool bTabInText;
    };
    const Case cases[] = {
        {"", true, true},
        {"wanttab=\"false\"", true, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pstrAttributes << " enabled " << c.bEnabled);
        EditHost t(c.pstrAttributes);
        t.edit->SetText("ab");
        t.edit->SetEnabled(c.bEnabled);
        t.pm.FocusControl(t.edit);
        t.edit->SetSel(2, 2);
        // The key goes the way of a queued message: offered to the manager first (which moves the focus
        // on unless the focused control wants the key), then dispatched.
        MSG msg = {t.host.Handle(), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
        const bool bConsumed = CPaintManagerUI::RouteQueuedMessage(&msg);
        if (!bConsumed) {
            ::DispatchMessageA(&msg);
            t.Post(WM_CHAR, '\t');
        }
        EXPECT_EQ(bConsumed, !c.bTabInText);
        EXPECT_EQ(std::string(t.edit->GetText()) == "ab\t", c.bTabInText);
    }
}

TEST(RichEditPaint, TextShowsInItsColourOverWhatLiesBeneathAndStaysOutOfTheBars)
{
    // The installer's box over dark art: the text services must leave the background alone and draw only
    // the text, in the skin's colour, enabled or not, and only in the text area left free by the bars.
    constexpr DWORD kArt = 0xFF203040;
    const std::string sWide = std::string(120, 'W') + "\r\n";
    std::string sLong;
    for (int i = 0; i < 40; ++i)
        sLong += sWide;
    struct Case
    {
        const char* pstrWhat;
        const char* pstrColor; // the skin's textcolor
        bool bEnabled;
        const char* pstrText;
        bool bBrightText; // white text: the glyphs are light; otherwise dark
        int nMinGlyph;    // glyph pixels in the text area: more than this, and fewer than nMaxGlyph
        int nMaxGlyph;
    };
    const Case cases[] = {
        {"white, disabled (the installer's)", "0xFFFFFFFF", false, "Hello world", true, 20, 2000},
        {"white, enabled", "0xFFFFFFFF", true, "\xd3\xc3\xbb\xa7\xd0\xad\xd2\xe9 WWWW", true, 20, 2000},
        {"black", "#FF000000", true, "Hello world", false, 20, 2000},
        {"no text", "0xFFFFFFFF", false, "", true, -1, 1},
        {"wider and taller than the box", "0xFFFFFFFF", false, sLong.c_str(), true, 5000, 182400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        CPaintManagerUI pm;
        HostWindow host(pm, HostWindow::VisiblePopup, 600, 400);
        CSkinBuilder builder;
        std::string sSkin = kAgreementSkin;
        sSkin.replace(sSkin.find("0xFFFFFFFF"), 10, c.pstrColor);
        CControlUI* pRoot = builder.Build(sSkin.c_str(), nullptr, nullptr, &pm);
        ASSERT_NE(pRoot, nullptr);
        pm.SetRootControl(pRoot);
        auto* pEdit = static_cast<CRichEditUI*>(pm.FindControlByName("Txt_info"));
        ASSERT_NE(pEdit, nullptr);
        ASSERT_TRUE(pEdit->HasTextServices());
        pEdit->SetEnabled(c.bEnabled);
        pEdit->SetText(c.pstrText);
        pRoot->SetPos(CUIRect(0, 0, 600, 400));
        PaintCanvas canvas(600, 400, kArt);
        pRoot->Paint(canvas.DC(), CUIRect(0, 0, 600, 400));

        const auto isGlyph = [&c](DWORD dw) {
            const int nMin = std::min({ChannelOf(dw, 0), ChannelOf(dw, 1), ChannelOf(dw, 2)});
            const int nMax = std::max({ChannelOf(dw, 0), ChannelOf(dw, 1), ChannelOf(dw, 2)});
            return c.bBrightText ? nMin >= 0xC0 : nMax <= 0x20;
        };
        const auto count = [&canvas](const RECT& rc, const std::function<bool(DWORD)>& pred) {
            int n = 0;
            for (int y = rc.top; y < rc.bottom; ++y)
                for (int x = rc.left; x < rc.right; ++x)
                    n += pred(canvas.Rgb(x, y)) ? 1 : 0;
            return n;
        };
        // The text area: the control less its visible bars.
        CUIRect rcText = pEdit->GetPos();
        for (CScrollBarUI* pBar : {pEdit->GetVerticalScrollBar(), pEdit->GetHorizontalScrollBar()}) {
            if (!pBar->IsVisible())
                continue;
            if (pBar->IsHorizontal())
                rcText.bottom = pBar->GetPos().top;
            else
                rcText.right = pBar->GetPos().left;
            // The bars show no text through them.
            EXPECT_EQ(count(pBar->GetPos(), isGlyph), 0);
        }
        // Glyph cores in the text colour, not a box filled in that colour; everything else in the area is
        // the art or the glyphs' anti-aliased edges blending into it.
        const int nGlyph = count(rcText, isGlyph);
        EXPECT_GT(nGlyph, c.nMinGlyph);
        EXPECT_LT(nGlyph, c.nMaxGlyph);
        const int nOther = count(rcText, [&](DWORD dw) { return !isGlyph(dw) && !NearRgb(dw, kArt, 2); });
        EXPECT_LE(nOther, nGlyph);
        // Nothing outside the control.
        EXPECT_TRUE(canvas.AllRgb(CUIRect(0, 0, 600, 30), kArt));
        EXPECT_TRUE(canvas.AllRgb(CUIRect(0, 30, 20, 400), kArt));
        EXPECT_TRUE(canvas.AllRgb(CUIRect(20, 350, 600, 400), kArt));
    }
}
