// The installer window in this process, built from the real skin: its set-up, the install-target line,
// Install without room, the custom panel and the unpacking's reports. The download and the finished
// installation are driven through the real program by the end-to-end tests.
#include "app/MainWnd.h"

#include "SkinUI/Control/UIButton.h"
#include "SkinUI/Control/UIEdit.h"
#include "SkinUI/Control/UILabel.h"
#include "SkinUI/Control/UIProgress.h"
#include "SkinUI/Layout/UITabLayout.h"
#include "app/AgreementText.h"
#include "app/DesktopShortcut.h"
#include "app/InstallTarget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

// The installer declares itself DPI-aware in its manifest; this test program does so at start, so that a
// run under a prefix with another display scale (tests/app/dpi/at_dpi.sh) sees the scale the installer sees.
const bool g_bDpiAware = [] {
    using SetProcessDpiAwareFn = BOOL(WINAPI*)();
    const HMODULE hUser32 = ::GetModuleHandleW(L"user32.dll");
    const auto pfn = reinterpret_cast<SetProcessDpiAwareFn>(
        reinterpret_cast<void*>(::GetProcAddress(hUser32, "SetProcessDPIAware")));
    return pfn != nullptr && pfn() != FALSE;
}();

void Pump(DWORD dwMs)
{
    const DWORD dwStart = ::GetTickCount();
    while (::GetTickCount() - dwStart < dwMs) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(5);
    }
}

// One installer window for a test; destroying the window deletes the object.
class CInstallerWindow
{
public:
    CInstallerWindow()
    {
        CPaintManagerUI::SetModuleInstance(::GetModuleHandleA(nullptr));
        m_pWnd = new CMainWnd();
        m_hWnd = m_pWnd->CreateHostWindow(nullptr, "", CMainWnd::kWindowStyle, 0);
        Pump(50);
    }
    ~CInstallerWindow()
    {
        if (::IsWindow(m_hWnd))
            ::DestroyWindow(m_hWnd);
    }
    CInstallerWindow(const CInstallerWindow&) = delete;
    CInstallerWindow& operator=(const CInstallerWindow&) = delete;

    HWND Handle() const { return m_hWnd; }
    CMainWnd& Wnd() { return *m_pWnd; }
    CControlUI* Find(const char* pstrName) { return m_pWnd->GetPaintManager().FindControlByName(pstrName); }
    std::string Text(const char* pstrName)
    {
        CControlUI* p = Find(pstrName);
        return p != nullptr ? std::string(p->GetText().Chars()) : std::string("<missing>");
    }
    DWORD TextColor(const char* pstrName) { return static_cast<CLabelUI*>(Find(pstrName))->GetTextColor(); }
    int Page(const char* pstrTab) { return static_cast<CTabLayoutUI*>(Find(pstrTab))->GetCurSel(); }
    void Click(const char* pstrName)
    {
        CControlUI* p = Find(pstrName);
        ASSERT_NE(p, nullptr) << pstrName;
        m_pWnd->GetPaintManager().SendNotify(p, "click");
    }

private:
    CMainWnd* m_pWnd = nullptr;
    HWND m_hWnd = nullptr;
};

const char kPathError[] = "请输入正确的安装路径！";
const DWORD kSkinShowMsgColor = 0x000094E3;

// What a thread timer saw while the folder dialog ran a message loop inside the window's click handler.
struct DialogWatch
{
    HWND hInstaller = nullptr;
    HWND hOwner = nullptr;
    bool bInstallerEnabled = true;
    int nStage = 0;
};

// Registered after the window, so it hears the click once the window's own handler has returned, and
// notes whether the object (whose download manager owns hEvents) still lived then.
class CAfterClick : public INotifyUI
{
public:
    explicit CAfterClick(HWND hEvents) : m_hEvents(hEvents) {}
    void ReceiveNotify(NotifyEventUI& msg) override
    {
        if (msg.type == "click") {
            m_bHeard = true;
            m_bObjectAlive = ::IsWindow(m_hEvents) != FALSE;
        }
    }
    bool m_bHeard = false;
    bool m_bObjectAlive = false;

private:
    HWND m_hEvents;
};
DialogWatch g_watch;

BOOL CALLBACK FindVisibleDialog(HWND hWnd, LPARAM lParam)
{
    char szClass[16] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (std::strcmp(szClass, "#32770") != 0 || !::IsWindowVisible(hWnd))
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

// First tick with the dialog open: note its owner and close the installer window from outside (as the
// taskbar may); later ticks cancel a dialog that is still there.
void CALLBACK CloseWhileDialogRuns(HWND, UINT, UINT_PTR, DWORD)
{
    HWND hDialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindVisibleDialog, reinterpret_cast<LPARAM>(&hDialog));
    if (hDialog == nullptr)
        return;
    if (g_watch.nStage == 0) {
        g_watch.hOwner = ::GetWindow(hDialog, GW_OWNER);
        g_watch.bInstallerEnabled = ::IsWindowEnabled(g_watch.hInstaller) != FALSE;
        ::PostMessageA(g_watch.hInstaller, WM_CLOSE, 1, 0);
        g_watch.nStage = 1;
    } else {
        ::PostMessageA(hDialog, WM_COMMAND, IDCANCEL, 0);
    }
}

} // namespace

TEST(InstallerWindow, SetUpShowsTheWelcomePageWithTheDefaultFolderChecked)
{
    CInstallerWindow w;
    ASSERT_TRUE(::IsWindow(w.Handle()));
    EXPECT_EQ(w.Page("Tab_MainSwitch"), 0);
    EXPECT_EQ(w.Page("Tab_Switch"), 0);
    EXPECT_EQ(w.Find("Hor_Custom")->GetFixedHeight(), 1);
    EXPECT_EQ(w.Text("Edt_Path"), std::string(GetDefaultInstallFolder()));
    const InstallTargetCheck check = CheckInstallTargetFolder(GetDefaultInstallFolder());
    EXPECT_EQ(w.Text("Txt_ShowMsg"), std::string(check.strText));
    EXPECT_EQ(w.TextColor("Txt_ShowMsg"), check.bError ? kInstallTargetErrorColor : kSkinShowMsgColor);
    // The agreement step is switched off: accepted and hidden, install enabled.
    auto* pAgree = static_cast<COptionUI*>(w.Find("Opt_Agree")->GetInterface("Option"));
    ASSERT_NE(pAgree, nullptr);
    EXPECT_TRUE(pAgree->IsSelected());
    EXPECT_FALSE(pAgree->IsVisible());
    EXPECT_FALSE(w.Find("Btn_agreement")->IsVisible());
    EXPECT_FALSE(w.Find("Label_agreement")->IsVisible());
    EXPECT_TRUE(w.Find("Btn_Install")->IsEnabled());
    ASSERT_NE(w.Find("Txt_info"), nullptr);
    EXPECT_FALSE(w.Find("Txt_info")->IsEnabled());
    // The text services keep a paragraph end as a single CR.
    const auto withoutLineFeeds = [](std::string s) {
        s.erase(std::remove(s.begin(), s.end(), '\n'), s.end());
        return s;
    };
    EXPECT_EQ(withoutLineFeeds(w.Text("Txt_info")), withoutLineFeeds(GetAgreementText()));
    // The button shows the closed panel's pictures.
    EXPECT_NE(std::string(w.Find("Btn_Custom")->GetBackImage()).find("Custom_Up.png"), std::string::npos);
}

TEST(InstallerWindow, FolderCheckColoursTheLineAndInstallWithoutRoomOnlyOpensThePanel)
{
    CInstallerWindow w;
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string good = szTemp;
    const struct
    {
        std::string strFolder;
        bool bRed;
        bool bPathError;
    } cases[] = {
        {good + "NoSuchFolder", true, true},
        {"D:", true, true},
        {good, false, false},
    };
    for (const auto& c : cases) {
        w.Find("Edt_Path")->SetText(c.strFolder.c_str());
        w.Wnd().GetPaintManager().SendNotify(w.Find("Edt_Path"), "killfocus");
        EXPECT_EQ(w.TextColor("Txt_ShowMsg"), c.bRed ? kInstallTargetErrorColor : kSkinShowMsgColor) << c.strFolder;
        EXPECT_EQ(w.Text("Txt_ShowMsg") == kPathError, c.bPathError) << c.strFolder;
    }
    // A killfocus from another control checks nothing.
    w.Find("Edt_Path")->SetText((good + "NoSuchFolder").c_str());
    w.Wnd().GetPaintManager().SendNotify(w.Find("Btn_Install"), "killfocus");
    EXPECT_NE(w.Text("Txt_ShowMsg"), kPathError);

    // A folder that failed the check: Install opens the panel with the red line, and starts nothing.
    w.Wnd().CheckInstallTarget((good + "NoSuchFolder").c_str());
    w.Click("Btn_Install");
    Pump(700);
    EXPECT_EQ(w.Find("Hor_Custom")->GetFixedHeight(), 80);
    EXPECT_EQ(w.Page("Tab_Switch"), 0);
    EXPECT_EQ(w.Text("Txt_ShowMsg"), kPathError);
    // With the panel open, Install does nothing at all.
    w.Click("Btn_Install");
    Pump(200);
    EXPECT_EQ(w.Find("Hor_Custom")->GetFixedHeight(), 80);
    EXPECT_EQ(w.Page("Tab_Switch"), 0);
}

TEST(InstallerWindow, CustomButtonSlidesThePanelAndIgnoresClicksWhileItMoves)
{
    CInstallerWindow w;
    CControlUI* pPanel = w.Find("Hor_Custom");
    CControlUI* pButton = w.Find("Btn_Custom");
    ASSERT_NE(pPanel, nullptr);
    ASSERT_NE(pButton, nullptr);
    // Names are matched ignoring case.
    pButton->SetName("btn_custom");
    CPaintManagerUI& pm = w.Wnd().GetPaintManager();
    for (const int nEnd : {80, 1}) {
        pm.SendNotify(pButton, "click");
        Pump(60);
        const int nMoving = pPanel->GetFixedHeight();
        EXPECT_GT(nMoving, 1);
        EXPECT_LT(nMoving, 80);
        pm.SendNotify(pButton, "click"); // ignored while moving
        pm.SendNotify(pButton, "click");
        Pump(700);
        EXPECT_EQ(pPanel->GetFixedHeight(), nEnd);
        EXPECT_NE(std::string(pButton->GetBackImage()).find(nEnd == 80 ? "Custom_Down.png" : "Custom_Up.png"),
                  std::string::npos);
    }
}

TEST(InstallerWindow, UnpackingReportsMoveTheBarAndAFailureStopsTheRowWithARetry)
{
    CInstallerWindow w;
    static_cast<CTabLayoutUI*>(w.Find("Tab_Switch"))->SelectItem(1); // the progress page, as Install shows it
    auto* pBar = static_cast<CProgressUI*>(w.Find("Pro_Install"));
    const std::string skinFore = pBar->GetForeImage().Chars();
    const DWORD dwSkinStatusColor = w.TextColor("Txt_Error");
    EXPECT_FALSE(w.Find("Btn_Retry")->IsVisible());
    const struct
    {
        LPARAM lValue;
        const char* pstrPercent;
    } steps[] = {{925, "92%"}, {950, "95%"}, {999, "99%"}};
    for (const auto& s : steps) {
        ::PostMessageA(w.Handle(), WM_INSTALL_PROGRESS, UNPACK_PROGRESS, s.lValue);
        Pump(30);
        EXPECT_EQ(pBar->GetValue(), s.lValue);
        EXPECT_EQ(w.Text("Txt_Status"), s.pstrPercent);
    }
    const struct
    {
        WPARAM wNotice;
        const char* pstrText;
    } failures[] = {
        {UNPACK_FAILED, "安装失败，请检查安装路径和磁盘空间后重试！"},
        // A package refused for its hash, or damaged, has a text of its own.
        {UNPACK_REFUSED, "安装包校验失败，请重新下载安装程序。"},
    };
    for (const auto& f : failures) {
        ::PostMessageA(w.Handle(), WM_INSTALL_PROGRESS, f.wNotice, 0);
        Pump(30);
        EXPECT_EQ(w.Text("Txt_Error"), f.pstrText);
        EXPECT_NE(w.Page("Tab_Switch"), 2);
        // The row shows that the work stopped: a marker instead of the percentage, the bar greyed where it
        // stood, the line in a colour of its own, and the retry button.
        EXPECT_EQ(w.Text("Txt_Status"), "已停止");
        EXPECT_EQ(pBar->GetValue(), 999);
        EXPECT_NE(std::string(pBar->GetForeImage().Chars()), skinFore);
        EXPECT_NE(w.TextColor("Txt_Error"), dwSkinStatusColor);
        EXPECT_TRUE(w.Find("Btn_Retry")->IsVisible());
    }
    // Retry (the package is gone, so it downloads again): the row runs again as the skin draws it. Checked
    // before any message is handled: with no server here the new download soon fails in its turn.
    w.Click("Btn_Retry");
    EXPECT_FALSE(w.Find("Btn_Retry")->IsVisible());
    EXPECT_EQ(std::string(pBar->GetForeImage().Chars()), skinFore);
    EXPECT_EQ(w.TextColor("Txt_Error"), dwSkinStatusColor);
    EXPECT_EQ(w.Text("Txt_Status"), "0%");
    EXPECT_EQ(w.Text("Txt_Error"), "");
}

TEST(InstallerWindow, CompletionPutsTheShortcutOnTheDesktopAndShowsTheFinishPage)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    {
        CInstallerWindow w;
        const std::wstring desktop = GetDesktopFolder();
        ASSERT_FALSE(desktop.empty());
        const std::wstring link = desktop + L"\\Veltara.lnk";
        ::DeleteFileW(link.c_str());
        w.Find("Edt_Path")->SetText("D:\\Games");
        ::PostMessageA(w.Handle(), WM_INSTALL_PROGRESS, UNPACK_PROGRESS, 1000);
        Pump(100);
        EXPECT_EQ(w.Text("Txt_Status"), "100%");
        EXPECT_EQ(w.Page("Tab_Switch"), 2);
        EXPECT_STREQ(w.Find("Hor_Window")->GetBackImage(), "bk2.png");
        EXPECT_NE(::GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
        ::DeleteFileW(link.c_str());
    }
    ::CoUninitialize();
}

TEST(InstallerWindow, FolderDialogHoldsTheWindowAndClosingMeanwhileIsSafe)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    {
        CInstallerWindow w;
        const HWND hEvents = w.Wnd().GetEventWindow();
        ASSERT_TRUE(::IsWindow(hEvents));
        g_watch = DialogWatch();
        g_watch.hInstaller = w.Handle();
        CAfterClick after(hEvents);
        w.Wnd().GetPaintManager().RegisterNotifier(&after);
        const UINT_PTR uTimer = ::SetTimer(nullptr, 0, 200, CloseWhileDialogRuns);
        // Queued, so that it arrives from inside the window's message handling as a real click does.
        w.Wnd().GetPaintManager().SendNotify(w.Find("Btn_Change"), "click", 0, 0, true);
        ::PostMessageA(w.Handle(), WM_NULL, 0, 0);
        const DWORD dwStart = ::GetTickCount();
        while (::IsWindow(w.Handle()) && ::GetTickCount() - dwStart < 15000)
            Pump(50);
        Pump(300);
        ::KillTimer(nullptr, uTimer);
        EXPECT_EQ(g_watch.nStage, 1) << "the folder dialog never showed";
        EXPECT_EQ(g_watch.hOwner, w.Handle());
        EXPECT_FALSE(g_watch.bInstallerEnabled) << "the window took input while the dialog was open";
        EXPECT_FALSE(::IsWindow(w.Handle()));
        // The object outlived its click handler and was deleted after it: its download manager's window
        // was still there when the handler returned, and is gone now.
        EXPECT_TRUE(after.m_bHeard);
        EXPECT_TRUE(after.m_bObjectAlive) << "the object was deleted while its click handler still ran";
        EXPECT_FALSE(::IsWindow(hEvents));
    }
    ::CoUninitialize();
}

// ---- The window at the display scale of the prefix (96 here; 144 and 192 through tests/app/dpi/at_dpi.sh) ----

namespace {

// Where the installer's controls are at each scale. Worked out by hand from the skin: every skin length is
// scaled on its own (n * dpi / 96, halves rounded up), and a floating control's rectangle is its container's
// corner plus its scaled offset, with its scaled size.
struct ScaleGeometry
{
    int nDpi;
    SIZE szWindow;
    RECT rcInstall;
    RECT rcCustomClosed, rcPanelClosed, rcSeparatorClosed;
    RECT rcCustomOpen, rcPanelOpen, rcSeparatorOpen, rcPath, rcChange;
};

const ScaleGeometry kScaleGeometry[] = {
    {96, {600, 400}, {313, 183, 562, 267},
     {458, 349, 588, 379}, {0, 389, 600, 390}, {0, 379, 600, 389},
     {458, 270, 588, 300}, {0, 310, 600, 390}, {0, 300, 600, 310}, {123, 316, 472, 341}, {479, 317, 539, 341}},
    {144, {900, 600}, {470, 275, 844, 401},
     {687, 523, 882, 568}, {0, 583, 900, 585}, {0, 568, 900, 583},
     {687, 405, 882, 450}, {0, 465, 900, 585}, {0, 450, 900, 465}, {185, 474, 709, 512}, {719, 476, 809, 512}},
    {192, {1200, 800}, {626, 366, 1124, 534},
     {916, 698, 1176, 758}, {0, 778, 1200, 780}, {0, 758, 1200, 778},
     {916, 540, 1176, 600}, {0, 620, 1200, 780}, {0, 600, 1200, 620}, {246, 632, 944, 682}, {958, 634, 1078, 682}},
};

std::string RectText(const RECT& rc)
{
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
}

// The window's client area drawn into a 32-bit memory bitmap, as its rows of pixels.
std::vector<DWORD> PrintClient(HWND hWnd, int cx, int cy)
{
    std::vector<DWORD> aPixels;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* pvBits = nullptr;
    const HDC hDC = ::CreateCompatibleDC(nullptr);
    const HBITMAP hBitmap = ::CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &pvBits, nullptr, 0);
    if (hBitmap != nullptr && pvBits != nullptr) {
        const HGDIOBJ hOld = ::SelectObject(hDC, hBitmap);
        ::SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hDC), PRF_CLIENT);
        ::GdiFlush();
        const auto* p = static_cast<const DWORD*>(pvBits);
        aPixels.assign(p, p + static_cast<size_t>(cx) * cy);
        ::SelectObject(hDC, hOld);
    }
    if (hBitmap != nullptr)
        ::DeleteObject(hBitmap);
    ::DeleteDC(hDC);
    return aPixels;
}

// The height of the ink a text leaves in a control: the rows of its rectangle that differ between the window
// drawn with the text and without it.
int InkHeight(CInstallerWindow& w, const char* pstrName, const char* pstrText)
{
    CControlUI* pControl = w.Find(pstrName);
    RECT rcClient = {};
    ::GetClientRect(w.Handle(), &rcClient);
    const int cx = rcClient.right;
    const int cy = rcClient.bottom;
    pControl->SetText(pstrText);
    const std::vector<DWORD> aWith = PrintClient(w.Handle(), cx, cy);
    pControl->SetText("");
    const std::vector<DWORD> aWithout = PrintClient(w.Handle(), cx, cy);
    if (aWith.empty() || aWith.size() != aWithout.size())
        return -1;
    const RECT rc = pControl->GetPos();
    int nTop = -1, nBottom = -1;
    for (int y = std::max<int>(rc.top, 0); y < std::min<int>(rc.bottom, cy); ++y) {
        for (int x = std::max<int>(rc.left, 0); x < std::min<int>(rc.right, cx); ++x) {
            const size_t i = static_cast<size_t>(y) * cx + x;
            if ((aWith[i] & 0xFFFFFF) != (aWithout[i] & 0xFFFFFF)) {
                nTop = nTop < 0 ? y : nTop;
                nBottom = y + 1;
                break;
            }
        }
    }
    return nTop < 0 ? 0 : nBottom - nTop;
}

} // namespace

TEST(InstallerWindowAtScale, WindowControlsPanelAndTextScaleWithTheDisplay)
{
    const char* pstrExpected = std::getenv("VELTARA_EXPECT_DPI");
    const int nExpected = pstrExpected != nullptr ? std::atoi(pstrExpected) : 96;
    CInstallerWindow w;
    CPaintManagerUI& pm = w.Wnd().GetPaintManager();
    // The scale must have reached the window: a prefix setting that got lost would test 96 three times.
    ASSERT_EQ(pm.GetDpi(), nExpected) << "the window did not take the prefix's display scale";
    const ScaleGeometry* pWant = nullptr;
    for (const ScaleGeometry& g : kScaleGeometry)
        pWant = g.nDpi == nExpected ? &g : pWant;
    ASSERT_NE(pWant, nullptr) << "no geometry for " << nExpected << " DPI";

    RECT rcClient = {}, rcWindow = {};
    ::GetClientRect(w.Handle(), &rcClient);
    ::GetWindowRect(w.Handle(), &rcWindow);
    EXPECT_EQ(rcClient.right, pWant->szWindow.cx);
    EXPECT_EQ(rcClient.bottom, pWant->szWindow.cy);
    EXPECT_EQ(rcWindow.right - rcWindow.left, pWant->szWindow.cx);
    EXPECT_EQ(rcWindow.bottom - rcWindow.top, pWant->szWindow.cy);

    const auto expectAt = [&w](const char* pstrName, const RECT& rcWant) {
        CControlUI* p = w.Find(pstrName);
        ASSERT_NE(p, nullptr) << pstrName;
        EXPECT_EQ(RectText(p->GetPos()), RectText(rcWant)) << pstrName;
    };
    // The separator line has no name: it is the control of the agreement row that is drawn in its blue.
    const auto separator = [&w]() -> CControlUI* {
        auto* pRow = static_cast<IContainerUI*>(w.Find("Btn_Custom")->GetParent()->GetInterface("IContainer"));
        for (int i = 0; pRow != nullptr && i < pRow->ItemCount(); ++i) {
            CControlUI* p = pRow->ItemAt(i);
            if ((p->GetBackColor() & 0xFFFFFF) == 0x0C78CB)
                return p;
        }
        return nullptr;
    };
    ASSERT_NE(separator(), nullptr);
    expectAt("Btn_Install", pWant->rcInstall);
    expectAt("Btn_Custom", pWant->rcCustomClosed);
    expectAt("Hor_Custom", pWant->rcPanelClosed);
    EXPECT_EQ(RectText(separator()->GetPos()), RectText(pWant->rcSeparatorClosed));

    // The panel slides open in the skin's own steps and ends exactly on its scaled height, then closes
    // exactly on its scaled closed height.
    pm.SendNotify(w.Find("Btn_Custom"), "click");
    Pump(900);
    EXPECT_EQ(w.Find("Hor_Custom")->GetFixedHeight(), 80);
    expectAt("Hor_Custom", pWant->rcPanelOpen);
    expectAt("Btn_Custom", pWant->rcCustomOpen);
    expectAt("Edt_Path", pWant->rcPath);
    expectAt("Btn_Change", pWant->rcChange);
    EXPECT_EQ(RectText(separator()->GetPos()), RectText(pWant->rcSeparatorOpen));

    // Fonts are made at the scaled sizes of the skin (12 and 16), and text is drawn that much taller.
    for (const auto& font : {std::make_pair(0, 12), std::make_pair(1, 16)}) {
        LOGFONTW lf = {};
        ASSERT_NE(::GetObjectW(pm.FontByIndex(font.first), sizeof(lf), &lf), 0);
        EXPECT_EQ(lf.lfHeight, -MulDiv(font.second, nExpected, 96)) << "font " << font.first;
    }
    const char kSample[] = "所需空间：150MB";
    const int nInk = InkHeight(w, "Txt_ShowMsg", kSample);
    pm.SetDpi(96);
    Pump(50);
    const int nInk96 = InkHeight(w, "Txt_ShowMsg", kSample);
    ASSERT_GT(nInk96, 6);
    EXPECT_NEAR(nInk, nInk96 * nExpected / 96.0, 2.0) << "ink " << nInk << " px at " << nExpected << ", " << nInk96
                                                      << " px at 96";

    pm.SetDpi(nExpected);
    pm.SendNotify(w.Find("Btn_Custom"), "click");
    Pump(900);
    EXPECT_EQ(w.Find("Hor_Custom")->GetFixedHeight(), 1);
    expectAt("Hor_Custom", pWant->rcPanelClosed);
}
