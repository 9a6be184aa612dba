// The edit control: its closed field painted into a memory bitmap (state images, password characters), its
// markup, and its native edit window in a real host window: opening on a click with the text selected,
// typing through the X server, "textchanged" and "return", texts set through the control, resizing, and
// closing when the field is hidden, disabled or deleted.
#include "PaintCanvas.h"
#include "SkinImages.h"
#include "WindowTestSupport.h"

#include "SkinUI/Control/UIEdit.h"
#include "SkinUI/Utils/UITextConvert.h"
#include "SkinUI/Window/UIDlgBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// State images: one pixel of grid.png stretched over the field gives a plain colour.
const char kNormalImage[] = "file='grid.png' source='10,10,11,11'";
const char kHotImage[] = "file='grid.png' source='20,0,21,1'";
const char kFocusedImage[] = "file='grid.png' source='0,20,1,21'";
const char kDisabledImage[] = "bk.png";

// Records the notifications of one edit with the control's text at the time each arrived.
class EditNotes : public INotifyUI
{
public:
    void ReceiveNotify(NotifyEventUI& msg) override
    {
        if (msg.type == "windowinit" || msg.type == "setfocus" || msg.type == "killfocus")
            return;
        types.push_back(msg.type.Chars());
        texts.push_back(msg.sender != nullptr ? msg.sender->GetText().Chars() : "");
    }
    std::vector<std::string> TextsAt(const char* pstrType) const
    {
        std::vector<std::string> found;
        for (size_t i = 0; i < types.size(); ++i)
            if (types[i] == pstrType)
                found.push_back(texts[i]);
        return found;
    }
    void Clear()
    {
        types.clear();
        texts.clear();
    }
    std::vector<std::string> types;
    std::vector<std::string> texts;
};

// A container that stretches one child across its width (10 pixels in from each side, 30 high) and puts
// the others at fixed places.
class CStretchBoxUI : public CBoxUI
{
public:
    using CBoxUI::CBoxUI;
    void SetPos(RECT rc) override
    {
        CBoxUI::SetPos(rc);
        if (pStretched != nullptr)
            pStretched->SetPos(CUIRect(rc.left + 10, rc.top + 10, rc.right - 10, rc.top + 40));
    }
    CControlUI* pStretched = nullptr;
};

// A 300 x 100 host window with an edit at (10, 10, 290, 40) and a control that takes the focus away at
// (10, 60, 60, 90). That control is the first tab stop, so the first paint gives it the focus and the
// edit starts closed.
struct EditWindow
{
    EventLog log;
    CPaintManagerUI pm;
    HostWindow host{pm, HostWindow::VisiblePopup, 300, 100};
    EditNotes notes;
    CEditUI* edit = nullptr;
    CHookedUI* other = nullptr;

    EditWindow()
    {
        auto pRoot = std::make_unique<CStretchBoxUI>("root");
        pRoot->SetMouseEnabled(false);
        other = pRoot->Place(std::make_unique<CHookedUI>("other", &log, true), CUIRect(10, 60, 60, 90));
        edit = pRoot->Place(std::make_unique<CEditUI>(), CUIRect(0, 0, 0, 0));
        edit->SetName("edit");
        pRoot->pStretched = edit;
        pm.SetRootControl(pRoot.release());
        pm.RegisterNotifier(&notes);
        ::InvalidateRect(host.Handle(), nullptr, FALSE);
        ::UpdateWindow(host.Handle());
    }
    void Click(int x, int y)
    {
        ::SendMessageA(host.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        ::SendMessageA(host.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        HostWindow::Pump();
    }
    // Waits until the queued close of the native window has run.
    bool WaitClosed(HWND hNative)
    {
        return XInput::PumpUntil([&] { return !::IsWindow(hNative) && edit->GetNativeWindow() == nullptr; });
    }
    // The native window's rectangle in the host's client coordinates.
    RECT NativeRect() const
    {
        RECT rc = {};
        ::GetWindowRect(edit->GetNativeWindow(), &rc);
        ::MapWindowPoints(nullptr, host.Handle(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
};

// The native window's text in UTF-16, and as the program's GBK.
std::wstring NativeWideText(HWND hWnd)
{
    wchar_t szText[512] = {};
    ::GetWindowTextW(hWnd, szText, 512);
    return szText;
}

std::string NativeText(HWND hWnd)
{
    return SkinUI::WideToGbk(NativeWideText(hWnd).c_str()).Chars();
}

std::pair<DWORD, DWORD> NativeSelection(HWND hWnd)
{
    DWORD dwStart = 0, dwEnd = 0;
    ::SendMessageA(hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart), reinterpret_cast<LPARAM>(&dwEnd));
    return {dwStart, dwEnd};
}

} // namespace

TEST(EditPaint, ClosedFieldShowsTheImageOfItsState)
{
    SkinImages images;
    CPaintManagerUI pm; // no window: the field can take the focus but opens no native window
    struct Case
    {
        const char* name;
        bool bHot, bFocused, bEnabled;
        bool bWithDisabledImage;
        const char* pstrHotImage;
        DWORD dwShown;
        bool bHotImageKept;
    };
    const Case cases[] = {
        {"normal", false, false, true, true, kHotImage, GridColor(10, 10), true},
        {"hot", true, false, true, true, kHotImage, GridColor(20, 0), true},
        {"focused wins over hot", true, true, true, true, kHotImage, GridColor(0, 20), true},
        {"disabled wins over all", true, true, false, true, kHotImage, kBkColor, true},
        {"disabled without its image: the normal one", false, false, false, false, kHotImage, GridColor(10, 10), true},
        {"a hot image that cannot be drawn falls back and is dropped", true, false, true, true, "missing.png",
         GridColor(10, 10), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintCanvas canvas(40, 20);
        CEditUI edit;
        edit.SetManager(&pm, nullptr, false);
        edit.SetPos(CUIRect(0, 0, 40, 20));
        edit.SetNormalImage(kNormalImage);
        edit.SetHotImage(c.pstrHotImage);
        edit.SetFocusedImage(kFocusedImage);
        if (c.bWithDisabledImage)
            edit.SetDisabledImage(kDisabledImage);
        InputEventUI event;
        if (c.bHot) {
            event.nKind = UIEV_MOUSEENTER;
            edit.HandleEvent(event);
        }
        if (c.bFocused) {
            event.nKind = UIEV_SETFOCUS;
            edit.HandleEvent(event);
            EXPECT_TRUE(edit.IsFocused());
            EXPECT_EQ(edit.GetNativeWindow(), nullptr); // no host window: nothing opened, nothing left behind
        }
        edit.SetEnabled(c.bEnabled);
        edit.Paint(canvas.DC(), CUIRect(0, 0, 40, 20));
        EXPECT_EQ(canvas.Rgb(20, 10), c.dwShown) << std::hex << canvas.Rgb(20, 10);
        EXPECT_EQ(edit.GetHotImage() == c.pstrHotImage, c.bHotImageKept);
        edit.SetManager(nullptr, nullptr, false);
    }
}

TEST(EditPaint, PasswordModeShowsOneCharacterPerCharacter)
{
    CPaintManagerUI pm;
    HostWindow host(pm); // message-only: gives the manager its fonts
    struct Case
    {
        const char* text;
        char chPassword;
        const char* shown;
    };
    const Case cases[] = {
        {"abc", '*', "***"},
        {"a中b", '*', "***"}, // a double-byte character counts once
        {"中文", '*', "**"},
        {"xy", '#', "##"},
    };
    auto paint = [&pm](const char* pstrText, bool bPassword, char chPassword, PaintCanvas& canvas) {
        CEditUI edit;
        edit.SetManager(&pm, nullptr, false);
        edit.SetPos(CUIRect(0, 0, canvas.Width(), canvas.Height()));
        edit.SetTextColor(0xFF000000);
        edit.SetPasswordMode(bPassword);
        edit.SetPasswordChar(chPassword);
        edit.SetText(pstrText);
        edit.Paint(canvas.DC(), CUIRect(0, 0, canvas.Width(), canvas.Height()));
        edit.SetManager(nullptr, nullptr, false);
    };
    auto samePixels = [](const PaintCanvas& a, const PaintCanvas& b) {
        for (int y = 0; y < a.Height(); ++y)
            for (int x = 0; x < a.Width(); ++x)
                if (a.Rgb(x, y) != b.Rgb(x, y))
                    return false;
        return true;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PaintCanvas masked(120, 24), expected(120, 24), plain(120, 24), blank(120, 24);
        paint(c.text, true, c.chPassword, masked);
        paint(c.shown, false, '*', expected);
        paint(c.text, false, c.chPassword, plain);
        EXPECT_TRUE(samePixels(masked, expected));
        EXPECT_FALSE(samePixels(masked, plain));
        EXPECT_FALSE(samePixels(masked, blank)); // something was drawn at all
    }
}

TEST(EditMarkup, BuilderMakesAnEditFromItsTagAndAttributes)
{
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(builder.Build(
        "<Window><Edit name=\"path\" readonly=\"true\" numberonly=\"true\" password=\"true\" maxchar=\"12\" "
        "normalimage=\"n.png\" hotimage=\"h.png\" focusedimage=\"f.png\" disabledimage=\"d.png\" "
        "nativebkcolor=\"#FF102030\" textpadding=\"1,2,3,4\"/></Window>"));
    ASSERT_NE(pRoot, nullptr);
    auto* pEdit = static_cast<CEditUI*>(pRoot->GetInterface("Edit"));
    ASSERT_NE(pEdit, nullptr);
    EXPECT_STREQ(pEdit->GetClassName(), "EditUI");
    EXPECT_TRUE(pEdit->IsReadOnly());
    EXPECT_TRUE(pEdit->IsNumberOnly());
    EXPECT_EQ(pEdit->GetWindowStyles(), static_cast<UINT>(ES_NUMBER));
    EXPECT_TRUE(pEdit->IsPasswordMode());
    EXPECT_EQ(pEdit->GetMaxLength(), 12u);
    EXPECT_STREQ(pEdit->GetNormalImage(), "n.png");
    EXPECT_STREQ(pEdit->GetHotImage(), "h.png");
    EXPECT_STREQ(pEdit->GetFocusedImage(), "f.png");
    EXPECT_STREQ(pEdit->GetDisabledImage(), "d.png");
    EXPECT_EQ(pEdit->GetNativeBackColor(), 0xFF102030u);
    EXPECT_EQ(pEdit->GetTextPadding().bottom, 4); // other names reach the label
    pEdit->SetNumberOnly(false);
    EXPECT_EQ(pEdit->GetWindowStyles(), 0u);
    // A tab stop that wants the text cursor, while enabled only.
    EXPECT_EQ(pEdit->GetControlFlags(), CONTROL_FLAG_TABSTOP | CONTROL_FLAG_SETCURSOR);
    pEdit->SetEnabled(false);
    EXPECT_EQ(pEdit->GetControlFlags(), 0u);
}

TEST(EditWindow, ClickOpensTheNativeWindowWithTheTextSelectedAndLeavingClosesIt)
{
    struct Case
    {
        const char* name;
        const char* text;
        bool bEnabled;
        DWORD dwSelEnd;
    };
    const Case cases[] = {
        {"text: all of it selected", "hello", true, 5},
        {"empty: the first position", "", true, 0},
        {"disabled: the press is swallowed", "hello", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditWindow t;
        t.edit->SetText(c.text);
        t.edit->SetEnabled(c.bEnabled);
        t.Click(50, 25);
        const HWND hNative = t.edit->GetNativeWindow();
        if (!c.bEnabled) {
            EXPECT_EQ(hNative, nullptr);
            EXPECT_EQ(::GetFocus(), t.host.Handle());
            continue;
        }
        ASSERT_NE(hNative, nullptr);
        EXPECT_EQ(::GetParent(hNative), t.host.Handle());
        EXPECT_EQ(::GetFocus(), hNative);
        EXPECT_EQ(NativeText(hNative), c.text);
        EXPECT_EQ(NativeSelection(hNative), std::make_pair(DWORD(0), c.dwSelEnd));
        // Over the text area (padding 4, 3, 4, 3), at the height of the font, centred in it.
        const RECT rc = t.NativeRect();
        const int nFont = t.pm.FontInfoByIndex(-1)->metrics.tmHeight;
        EXPECT_EQ(rc.left, 14);
        EXPECT_EQ(rc.right, 286);
        EXPECT_EQ(rc.bottom - rc.top, nFont);
        EXPECT_EQ(rc.top, 13 + (24 - nFont) / 2);
        // Clicking elsewhere closes it; the text stays, and opening reported no change.
        t.Click(30, 75);
        EXPECT_TRUE(t.WaitClosed(hNative));
        EXPECT_STREQ(t.edit->GetText(), c.text);
        EXPECT_TRUE(t.notes.TextsAt("textchanged").empty());
    }
}

TEST(EditWindow, TypingReportsEachChangeAndReturnIsReported)
{
    if (!XInput::Available())
        GTEST_SKIP() << "xdotool is not available";
    struct Case
    {
        const char* name;
        std::function<void(CEditUI&)> setUp;
        const char* initial;
        const char* typed;
        std::vector<std::string> changes; // the control's text at each "textchanged"
        // Wine's edit window also reports a change for each key it refuses at the length limit (with the
        // text unchanged); Windows does not. Repeats of the same text are then not counted.
        bool bRepeatsAllowed;
    };
    const Case cases[] = {
        {"the selected text is replaced", [](CEditUI&) {}, "x", "ab1", {"a", "ab", "ab1"}, false},
        {"number only", [](CEditUI& e) { e.SetNumberOnly(true); }, "", "a1b2", {"1", "12"}, false},
        {"at most three characters", [](CEditUI& e) { e.SetMaxLength(3); }, "", "abcdef", {"a", "ab", "abc"}, true},
        {"read only", [](CEditUI& e) { e.SetReadOnly(true); }, "ro", "zz", {}, false},
        {"password", [](CEditUI& e) { e.SetPasswordMode(true); }, "", "pw", {"p", "pw"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditWindow t;
        c.setUp(*t.edit);
        t.edit->SetText(c.initial);
        ASSERT_TRUE(XInput::MoveTo(t.host.Handle(), 50, 25));
        ASSERT_TRUE(XInput::Run("click 1"));
        ASSERT_TRUE(XInput::PumpUntil([&t] { return t.edit->GetNativeWindow() != nullptr; }));
        const HWND hNative = t.edit->GetNativeWindow();
        EXPECT_EQ(::SendMessageA(hNative, EM_GETPASSWORDCHAR, 0, 0), t.edit->IsPasswordMode() ? '*' : 0);
        ASSERT_TRUE(XInput::Run(std::string("type --delay 30 ") + c.typed));
        const std::string sFinal = c.changes.empty() ? c.initial : c.changes.back();
        XInput::PumpUntil([&] { return t.notes.TextsAt("textchanged").size() >= c.changes.size(); });
        XInput::PumpUntil([] { return false; }, 200); // nothing more may come
        std::vector<std::string> changes = t.notes.TextsAt("textchanged");
        if (c.bRepeatsAllowed)
            changes.erase(std::unique(changes.begin(), changes.end()), changes.end());
        EXPECT_EQ(changes, c.changes);
        EXPECT_STREQ(t.edit->GetText(), sFinal.c_str());

        t.notes.Clear();
        ASSERT_TRUE(XInput::Run("key Return"));
        EXPECT_TRUE(XInput::PumpUntil([&t] { return !t.notes.types.empty(); }));
        EXPECT_EQ(t.notes.types, std::vector<std::string>{"return"});
        EXPECT_EQ(t.notes.texts, std::vector<std::string>{sFinal});
        EXPECT_EQ(NativeText(hNative), sFinal);
    }
}

// The native window is a Unicode window: any character can be typed. The control's text is GBK: a
// character GBK lacks becomes '?' there (never a look-alike), while the window shows what was typed. The
// characters come as the keyboard's UTF-16 WM_CHAR messages (typing them through X would need keyboard
// mappings that Wine picks up too late for the first key).
TEST(EditWindow, TypedCharactersArriveWholeAndThoseGbkLacksBecomeQuestionMarks)
{
    const struct
    {
        const wchar_t* pwstrTyped;
        const char* pstrText;
    } cases[] = {
        {L"\u6e38\u620f", "游戏"},
        {L"\u30ab\u30ca", "\xA5\xAB\xA5\xCA"}, // kana are in GBK
        {L"A\u00f1o", "A?o"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pstrText);
        EditWindow t;
        t.Click(50, 25);
        const HWND hNative = t.edit->GetNativeWindow();
        ASSERT_NE(hNative, nullptr);
        for (const wchar_t* p = c.pwstrTyped; *p != L'\0'; ++p)
            ::SendMessageW(hNative, WM_CHAR, static_cast<WPARAM>(*p), 1);
        HostWindow::Pump();
        EXPECT_TRUE(NativeWideText(hNative) == c.pwstrTyped) << NativeText(hNative);
        EXPECT_STREQ(t.edit->GetText(), c.pstrText);
        EXPECT_EQ(t.notes.TextsAt("textchanged").back(), c.pstrText);
    }
}

TEST(EditWindow, TextsSetThroughTheControlGoThroughTheNativeWindow)
{
    // Chinese text set through the control survives the round trip through the native window, whatever
    // the system's code page is.
    const char kPath[] = "D:\\游戏\\维塔拉";
    struct Case
    {
        const char* name;
        bool bOpen;
        std::function<void(CEditUI&)> act;
        const char* text;
        std::vector<std::string> changes;
    };
    const Case cases[] = {
        {"set while open", true, [&](CEditUI& e) { e.SetText(kPath); }, kPath, {kPath}},
        {"set while closed: no report", false, [&](CEditUI& e) { e.SetText(kPath); }, kPath, {}},
        {"replace the selection while open",
         true,
         [](CEditUI& e) {
             e.SelectRange(0, 2);
             e.ReplaceSelection("中文");
         },
         "中文llo",
         {"中文llo"}},
        {"select all, then replace",
         true,
         [](CEditUI& e) {
             e.SelectAll();
             e.ReplaceSelection("z");
         },
         "z",
         {"z"}},
        {"replace while closed: nothing", false, [](CEditUI& e) { e.ReplaceSelection("z"); }, "hello", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditWindow t;
        t.edit->SetText("hello");
        if (c.bOpen) {
            t.Click(50, 25);
            ASSERT_NE(t.edit->GetNativeWindow(), nullptr);
        }
        c.act(*t.edit);
        HostWindow::Pump();
        EXPECT_STREQ(t.edit->GetText(), c.text);
        EXPECT_EQ(t.notes.TextsAt("textchanged"), c.changes);
        if (c.bOpen) {
            EXPECT_EQ(NativeText(t.edit->GetNativeWindow()), c.text);
            const HWND hNative = t.edit->GetNativeWindow();
            t.Click(30, 75);
            EXPECT_TRUE(t.WaitClosed(hNative));
            EXPECT_STREQ(t.edit->GetText(), c.text);
        }
    }
}

TEST(EditWindow, ResizingTheHostClosesTheNativeWindowAndReopensItAtTheNewPlace)
{
    EditWindow t;
    t.edit->SetText("resize me");
    t.Click(50, 25);
    const HWND hOld = t.edit->GetNativeWindow();
    ASSERT_NE(hOld, nullptr);
    EXPECT_EQ(t.NativeRect().right, 286);

    ::SetWindowPos(t.host.Handle(), nullptr, 0, 0, 400, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(XInput::PumpUntil([&] { return !::IsWindow(hOld) && t.edit->GetNativeWindow() != nullptr; }));
    const HWND hNew = t.edit->GetNativeWindow();
    ASSERT_NE(hNew, nullptr);
    EXPECT_EQ(t.NativeRect().left, 14);
    EXPECT_EQ(t.NativeRect().right, 386);
    EXPECT_EQ(::GetFocus(), hNew);
    EXPECT_EQ(NativeText(hNew), "resize me");
    EXPECT_EQ(t.pm.GetFocusedControl(), t.edit);
}

TEST(EditWindow, NativeBackColourReplacesThePlatformColours)
{
    struct Case
    {
        const char* name;
        DWORD dwNative;
        COLORREF clrExpected;
    };
    const Case cases[] = {
        {"default: the platform's colours", 0xFFFFFFFF, ::GetSysColor(COLOR_WINDOW)},
        {"set: that colour behind the text", 0xFF00C040, RGB(0x00, 0xC0, 0x40)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditWindow t;
        t.edit->SetNativeBackColor(c.dwNative);
        t.edit->SetText("a");
        t.Click(50, 25);
        const HWND hNative = t.edit->GetNativeWindow();
        ASSERT_NE(hNative, nullptr);
        ::InvalidateRect(hNative, nullptr, TRUE);
        ::UpdateWindow(hNative);
        RECT rc;
        ::GetClientRect(hNative, &rc);
        EXPECT_EQ(WindowPixel(hNative, rc.right - 3, rc.bottom / 2), c.clrExpected);
    }
}

TEST(EditWindow, HidingDisablingOrDeletingAnOpenFieldClosesItsWindow)
{
    struct Case
    {
        const char* name;
        std::function<void(std::unique_ptr<CEditUI>&)> act;
    };
    const Case cases[] = {
        {"hidden", [](std::unique_ptr<CEditUI>& p) { p->SetVisible(false); }},
        {"its container hidden", [](std::unique_ptr<CEditUI>& p) { p->SetInternVisible(false); }},
        {"disabled", [](std::unique_ptr<CEditUI>& p) { p->SetEnabled(false); }},
        {"deleted", [](std::unique_ptr<CEditUI>& p) { p.reset(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPaintManagerUI pm;
        HostWindow host(pm, HostWindow::VisiblePopup, 200, 60);
        auto pEdit = std::make_unique<CEditUI>();
        pEdit->SetManager(&pm, nullptr, false);
        pEdit->SetPos(CUIRect(10, 10, 190, 40));
        pEdit->SetText("typed");
        pm.FocusControl(pEdit.get());
        const HWND hNative = pEdit->GetNativeWindow();
        ASSERT_NE(hNative, nullptr);
        ASSERT_EQ(::GetFocus(), hNative);
        c.act(pEdit);
        EXPECT_NE(::GetFocus(), hNative);
        EXPECT_TRUE(XInput::PumpUntil([&] { return !::IsWindow(hNative); }));
        if (pEdit != nullptr) {
            EXPECT_EQ(pEdit->GetNativeWindow(), nullptr);
            EXPECT_STREQ(pEdit->GetText(), "typed");
            pEdit->SetManager(nullptr, nullptr, false);
        }
    }
}
