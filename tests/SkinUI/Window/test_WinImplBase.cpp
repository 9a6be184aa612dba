// The skinned window base with real windows: its four skin sources and the failure path, hit-testing of
// the caption and the sizing border, the message dispatch order, closing (Escape, the close button, the
// system menu), the system buttons, the rounded region and the min/max limits.
#include "SkinUI/Window/WinImplBase.h"

#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

std::string g_selfPath;

// A clickable control in the caption area, as the hit test sees a button.
class CProbeButtonUI : public CControlUI
{
public:
    CUIString GetClassName() const override { return "ButtonUI"; }
};

struct SkinSource
{
    int nKind = WindowImplBase::SKIN_FROM_FILE;
    std::string sFolder;
    std::string sFile = "skin.xml";
    std::string sArchive;
    int nResId = 0;
};

class TestSkinWnd : public WindowImplBase
{
public:
    explicit TestSkinWnd(SkinSource source) : m_source(std::move(source)) {}

    HWND Create() { return CreateHostWindow(nullptr, "wib", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0); }

    int nLoadFailures = 0;
    bool bReady = false;
    std::vector<std::string> log;

protected:
    const char* WindowClassName() const override { return "WibTestWnd"; }
    CUIString SkinFolderName() const override { return m_source.sFolder.c_str(); }
    CUIString SkinFileName() const override { return m_source.sFile.c_str(); }
    int SkinSourceKind() const override { return m_source.nKind; }
    CUIString SkinArchiveName() const override { return m_source.sArchive.c_str(); }
    CUIResName SkinResourceId() const override { return CUIResName(m_source.nResId); }
    void OnSkinLoadFailed() override { ++nLoadFailures; }
    void OnSkinReady() override { bReady = true; }
    CControlUI* MakeControl(const char* pstrClass) override
    {
        return std::strcmp(pstrClass, "ProbeButton") == 0 ? new CProbeButtonUI() : nullptr;
    }

    // Logged handlers: WM_KEYDOWN is passed on, WM_CHAR kept with 7, WM_APP+7 kept by HandleOtherMessage with 9.
    LRESULT HandleClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override
    {
        log.push_back("close");
        return WindowImplBase::HandleClose(uMsg, wParam, lParam, bHandled);
    }
    LRESULT HandleKeyDown(UINT, WPARAM wParam, LPARAM, bool& bHandled) override
    {
        log.push_back("keydown " + std::to_string(wParam));
        bHandled = false;
        return 0;
    }
    LRESULT HandleChar(UINT, WPARAM, LPARAM, bool& bHandled) override
    {
        log.push_back("char");
        bHandled = true;
        return 7;
    }
    LRESULT HandleOtherMessage(UINT uMsg, WPARAM, LPARAM, bool& bHandled) override
    {
        if (uMsg == WM_KEYDOWN || uMsg == WM_CLOSE || uMsg == WM_CHAR || uMsg >= WM_APP)
            log.push_back("other " + std::to_string(uMsg));
        if (uMsg == WM_APP + 9)
            ::PostMessageA(Handle(), WM_CLOSE, 5, 0); // the fallback close of the closing test
        bHandled = uMsg == WM_APP + 7;
        return bHandled ? 9 : 0;
    }

private:
    SkinSource m_source;
};

// A scratch folder below the test program's folder, removed with its files at the end.
class SkinFolder
{
public:
    SkinFolder() : m_sName("wib_skin_" + std::to_string(::GetCurrentProcessId()))
    {
        ::CreateDirectoryA(Path("").c_str(), nullptr);
    }
    ~SkinFolder()
    {
        for (const std::string& sFile : m_files)
            ::DeleteFileA(Path(sFile).c_str());
        ::RemoveDirectoryA(Path("").c_str());
    }
    const std::string& Name() const { return m_sName; }
    void Write(const std::string& sFile, const std::string& sBytes)
    {
        std::ofstream(Path(sFile), std::ios::binary) << sBytes;
        m_files.push_back(sFile);
    }

private:
    std::string Path(const std::string& sFile) const
    {
        return std::string(CPaintManagerUI::GetModuleFolder().Chars()) + m_sName + "\\" + sFile;
    }
    std::string m_sName;
    std::vector<std::string> m_files;
};

// Starts every window from no resource archive and no resource folder.
void ResetResourceLocation()
{
    CPaintManagerUI::SetResourceArchiveFile("", false);
    CPaintManagerUI::SetResourceFolder("");
}

SkinSource MarkupSkin(SkinFolder& folder, const std::string& sMarkup)
{
    static int s_nSkin = 0;
    SkinSource source;
    source.sFolder = folder.Name();
    source.sFile = "skin" + std::to_string(++s_nSkin) + ".xml";
    folder.Write(source.sFile, sMarkup);
    return source;
}

void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Shows the window and lets it paint once, which lays the tree out.
void ShowAndPaint(HWND hWnd)
{
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hWnd);
    Pump();
}

LRESULT HitTest(HWND hWnd, int x, int y)
{
    POINT pt = {x, y};
    ::ClientToScreen(hWnd, &pt);
    return ::SendMessageA(hWnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
}

SIZE WindowSize(HWND hWnd)
{
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

class WindowImplBaseTest : public ::testing::Test
{
protected:
    void SetUp() override { ResetResourceLocation(); }
    void TearDown() override { ResetResourceLocation(); }
    SkinFolder folder;
};

TEST_F(WindowImplBaseTest, EachSkinSourceBuildsTheTreeAndSizesTheWindow)
{
    folder.Write("plain.xml", "<Window size=\"220,140\"><VerticalLayout name=\"plain\"/></Window>");
    ZipTest::SItemSpec item;
    item.strName = "skin.xml";
    item.strData = "<Window size=\"200,120\"><HorizontalLayout name=\"zipped\"/></Window>";
    folder.Write("skin.zip", ZipTest::BuildArchive({item}));
    struct Case
    {
        const char* pstrWhat;
        SkinSource source;
        const char* pstrControl;
        SIZE size;
    };
    const Case cases[] = {
        {"plain file", {WindowImplBase::SKIN_FROM_FILE, folder.Name(), "plain.xml", "", 0}, "plain", {220, 140}},
        {"archive file",
         {WindowImplBase::SKIN_FROM_ARCHIVE_FILE, folder.Name(), "skin.xml", "skin.zip", 0},
         "zipped",
         {200, 120}},
        {"xml resource", {WindowImplBase::SKIN_FROM_RESOURCE, "", "301", "", 0}, "fromres", {240, 160}},
        {"archive resource",
         {WindowImplBase::SKIN_FROM_ARCHIVE_RESOURCE, "", "skin.xml", "", 401},
         "packed",
         {260, 180}},
        // The same archive resource again reuses its copy.
        {"archive resource again",
         {WindowImplBase::SKIN_FROM_ARCHIVE_RESOURCE, "", "skin.xml", "", 401},
         "packed",
         {260, 180}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        ResetResourceLocation();
        HWND hWnd = nullptr;
        {
            TestSkinWnd wnd(c.source);
            hWnd = wnd.Create();
            ASSERT_NE(hWnd, nullptr);
            EXPECT_EQ(wnd.nLoadFailures, 0);
            EXPECT_TRUE(wnd.bReady);
            ASSERT_NE(wnd.GetPaintManager().GetRootControl(), nullptr);
            EXPECT_NE(wnd.GetPaintManager().FindControlByName(c.pstrControl), nullptr);
            const SIZE size = WindowSize(hWnd);
            EXPECT_EQ(size.cx, c.size.cx);
            EXPECT_EQ(size.cy, c.size.cy);
            // No frame: the client area is the whole window, and the caption style is gone.
            RECT rcClient = {};
            ::GetClientRect(hWnd, &rcClient);
            EXPECT_EQ(rcClient.right, c.size.cx);
            EXPECT_EQ(rcClient.bottom, c.size.cy);
            const LONG lStyle = ::GetWindowLongA(hWnd, GWL_STYLE);
            EXPECT_EQ(lStyle & WS_CAPTION, 0);
            EXPECT_EQ(lStyle & (WS_CLIPSIBLINGS | WS_CLIPCHILDREN), WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
        }
        EXPECT_FALSE(::IsWindow(hWnd)) << "the object takes its live window with it";
    }
}

TEST_F(WindowImplBaseTest, ASkinThatCannotBeHadTakesTheFailurePathAndLeavesNoWindow)
{
    folder.Write("empty.xml", "<Window size=\"100,100\"></Window>");
    struct Case
    {
        const char* pstrWhat;
        SkinSource source;
    };
    const Case cases[] = {
        {"missing archive resource", {WindowImplBase::SKIN_FROM_ARCHIVE_RESOURCE, "", "skin.xml", "", 499}},
        {"empty archive resource", {WindowImplBase::SKIN_FROM_ARCHIVE_RESOURCE, "", "skin.xml", "", 402}},
        {"archive resource that is no archive", {WindowImplBase::SKIN_FROM_ARCHIVE_RESOURCE, "", "skin.xml", "", 403}},
        {"missing file", {WindowImplBase::SKIN_FROM_FILE, folder.Name(), "absent.xml", "", 0}},
        {"skin without controls", {WindowImplBase::SKIN_FROM_FILE, folder.Name(), "empty.xml", "", 0}},
        {"missing archive file", {WindowImplBase::SKIN_FROM_ARCHIVE_FILE, folder.Name(), "skin.xml", "none.zip", 0}},
        {"missing xml resource", {WindowImplBase::SKIN_FROM_RESOURCE, "", "399", "", 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        ResetResourceLocation();
        TestSkinWnd wnd(c.source);
        EXPECT_EQ(wnd.Create(), nullptr);
        EXPECT_EQ(wnd.nLoadFailures, 1);
        EXPECT_FALSE(wnd.bReady);
        EXPECT_EQ(wnd.GetPaintManager().GetRootControl(), nullptr);
    }
}

// The child side of the next test: a window whose skin archive resource is missing, with the real failure
// path; a watcher thread checks the message box and dismisses it.
BOOL CALLBACK FindVisibleDialog(HWND hWnd, LPARAM lParam)
{
    char szClass[16] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (std::strcmp(szClass, "#32770") != 0 || !::IsWindowVisible(hWnd))
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

DWORD WINAPI DismissFailureBox(LPVOID pMainThread)
{
    const DWORD dwMainThread = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(pMainThread));
    for (int i = 0; i < 1000; ++i) {
        ::Sleep(10);
        HWND hBox = nullptr;
        ::EnumThreadWindows(dwMainThread, FindVisibleDialog, reinterpret_cast<LPARAM>(&hBox));
        if (hBox == nullptr)
            continue;
        char szCaption[32] = {};
        ::GetWindowTextA(hBox, szCaption, sizeof(szCaption));
        bool bTextFound = false;
        bool bIconFound = false;
        for (HWND hChild = ::GetWindow(hBox, GW_CHILD); hChild != nullptr; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
            char szText[64] = {};
            ::GetWindowTextA(hChild, szText, sizeof(szText));
            bTextFound = bTextFound || std::strcmp(szText, "加载资源文件失败") == 0;
            ::GetClassNameA(hChild, szText, sizeof(szText));
            bIconFound = bIconFound || (std::strcmp(szText, "Static") == 0 &&
                                        (::GetWindowLongA(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                                        ::SendMessageA(hChild, STM_GETICON, 0, 0) != 0);
        }
        if (std::strcmp(szCaption, "SkinUI") != 0 || !bTextFound || !bIconFound)
            ::ExitProcess(3);
        ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
        return 0;
    }
    ::ExitProcess(4); // no message box came
}

int RunFailingChild()
{
    class RealFailureWnd : public WindowImplBase
    {
    protected:
        const char* WindowClassName() const override { return "WibFailWnd"; }
        CUIString SkinFolderName() const override { return ""; }
        CUIString SkinFileName() const override { return "skin.xml"; }
        int SkinSourceKind() const override { return SKIN_FROM_ARCHIVE_RESOURCE; }
        CUIResName SkinResourceId() const override { return CUIResName(499); }
    } wnd;
    const HANDLE hWatcher =
        ::CreateThread(nullptr, 0, DismissFailureBox,
                       reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(::GetCurrentThreadId())), 0, nullptr);
    if (hWatcher == nullptr)
        return 5;
    wnd.CreateHostWindow(nullptr, "", WS_POPUP, 0);
    return 6; // not reached: the failure ends the process
}

TEST_F(WindowImplBaseTest, AMissingSkinArchiveTellsTheUserAndEndsTheProcessWithCodeOne)
{
    std::string cmd = "\"" + g_selfPath + "\" --skin-failure-child";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_EQ(::WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD dwCode = 0;
    ::GetExitCodeProcess(pi.hProcess, &dwCode);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    EXPECT_EQ(dwCode, 1u) << "3: wrong box text, caption or icon, 4: no box, 6: the process went on";
}

TEST_F(WindowImplBaseTest, HitTestFindsCaptionBorderAndClient)
{
    const SkinSource captionSkin =
        MarkupSkin(folder, "<Window size=\"300,200\" caption=\"0,0,0,60\"><VerticalLayout>"
                           "<HorizontalLayout height=\"60\"><ProbeButton name=\"minbtn\" width=\"40\"/>"
                           "</HorizontalLayout><VerticalLayout/></VerticalLayout></Window>");
    const SkinSource insetSkin = MarkupSkin(folder, "<Window size=\"300,200\" caption=\"20,0,20,60\"><VerticalLayout/>"
                                                    "</Window>");
    const SkinSource borderSkin =
        MarkupSkin(folder, "<Window size=\"300,200\" caption=\"0,0,0,60\" sizebox=\"4,4,4,4\">"
                           "<VerticalLayout/></Window>");
    struct Case
    {
        const SkinSource* pSkin;
        bool bMaximised;
        POINT pt;
        LRESULT lExpected;
    };
    const Case cases[] = {
        {&captionSkin, false, {100, 10}, HTCAPTION}, // over a layout in the caption area
        {&captionSkin, false, {10, 10}, HTCLIENT},   // over a button
        {&captionSkin, false, {10, 100}, HTCLIENT},  // below the caption area
        {&captionSkin, false, {298, 2}, HTCAPTION},  // no sizing border
        {&insetSkin, false, {10, 10}, HTCLIENT},     // left of the caption's inset
        {&insetSkin, false, {290, 10}, HTCLIENT},    // right of it
        {&insetSkin, false, {150, 10}, HTCAPTION},       {&borderSkin, false, {2, 2}, HTTOPLEFT},
        {&borderSkin, false, {150, 2}, HTTOP},           {&borderSkin, false, {298, 2}, HTTOPRIGHT},
        {&borderSkin, false, {2, 100}, HTLEFT},          {&borderSkin, false, {298, 100}, HTRIGHT},
        {&borderSkin, false, {2, 198}, HTBOTTOMLEFT},    {&borderSkin, false, {150, 198}, HTBOTTOM},
        {&borderSkin, false, {298, 198}, HTBOTTOMRIGHT}, {&borderSkin, false, {150, 100}, HTCLIENT},
        {&borderSkin, true, {2, 2}, HTCAPTION}, // a maximised window cannot be sized
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("point " + std::to_string(c.pt.x) + "," + std::to_string(c.pt.y) +
                     (c.bMaximised ? " maximised" : ""));
        TestSkinWnd wnd(*c.pSkin);
        const HWND hWnd = wnd.Create();
        ASSERT_NE(hWnd, nullptr);
        ShowAndPaint(hWnd);
        if (c.bMaximised) {
            ::ShowWindow(hWnd, SW_MAXIMIZE);
            ::UpdateWindow(hWnd);
            Pump();
            ASSERT_TRUE(::IsZoomed(hWnd));
        }
        EXPECT_EQ(HitTest(hWnd, c.pt.x, c.pt.y), c.lExpected);
    }
}

TEST_F(WindowImplBaseTest, MessagesReachTheHandlerThenHandleOtherMessageThenTheFramework)
{
    const SkinSource skin = MarkupSkin(folder, "<Window size=\"100,80\"><VerticalLayout/></Window>");
    struct Case
    {
        UINT uMsg;
        WPARAM wParam;
        LRESULT lExpected;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {WM_KEYDOWN, 'A', 0, {"keydown 65", "other 256"}}, // the handler passes it on
        {WM_CHAR, 'a', 7, {"char"}},                       // the handler keeps it
        {WM_APP + 7, 0, 9, {"other " + std::to_string(WM_APP + 7)}},
        {WM_APP + 8, 0, 0, {"other " + std::to_string(WM_APP + 8)}}, // then the default procedure
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uMsg);
        TestSkinWnd wnd(skin);
        const HWND hWnd = wnd.Create();
        ASSERT_NE(hWnd, nullptr);
        wnd.log.clear();
        EXPECT_EQ(::SendMessageA(hWnd, c.uMsg, c.wParam, 0), c.lExpected);
        EXPECT_EQ(wnd.log, c.log);
    }
}

TEST_F(WindowImplBaseTest, EscapeCloseButtonAndSystemMenuCloseTheWindow)
{
    const SkinSource skin =
        MarkupSkin(folder, "<Window size=\"200,100\"><HorizontalLayout><ProbeButton name=\"closebtn\"/>"
                           "<ProbeButton name=\"okbtn\"/></HorizontalLayout></Window>");
    enum Action
    {
        Escape,
        Return,
        CloseClick,
        OtherClick,
        SysClose
    };
    struct Case
    {
        const char* pstrWhat;
        Action action;
        UINT nExpected;
    };
    const Case cases[] = {
        {"escape", Escape, 1},
        {"return does not close", Return, 5},
        {"close button", CloseClick, 1},
        {"another button does not close", OtherClick, 5},
        {"system menu close", SysClose, 0}, // a sent WM_CLOSE, which the modal loop does not see
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        TestSkinWnd wnd(skin);
        const HWND hWnd = wnd.Create();
        ASSERT_NE(hWnd, nullptr);
        CPaintManagerUI& pm = wnd.GetPaintManager();
        switch (c.action) {
        case Escape:
        case Return:
            ::PostMessageA(hWnd, WM_KEYDOWN, c.action == Escape ? VK_ESCAPE : VK_RETURN, 0);
            break;
        case CloseClick:
        case OtherClick:
            pm.SendNotify(pm.FindControlByName(c.action == CloseClick ? "closebtn" : "okbtn"), "click");
            break;
        case SysClose:
            ::PostMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        }
        // Whatever did not close the window, this closes it with 5, after what the action posted.
        ::PostMessageA(hWnd, WM_APP + 9, 0, 0);
        EXPECT_EQ(wnd.RunModal(), c.nExpected);
        EXPECT_FALSE(::IsWindow(hWnd));
        EXPECT_NE(std::find(wnd.log.begin(), wnd.log.end(), "close"), wnd.log.end()) << "HandleClose is reached";
        if (c.action == Escape || c.action == Return) {
            const std::string sKey = "keydown " + std::to_string(c.action == Escape ? VK_ESCAPE : VK_RETURN);
            EXPECT_NE(std::find(wnd.log.begin(), wnd.log.end(), sKey), wnd.log.end()) << "the key is not consumed";
        }
    }
}

TEST_F(WindowImplBaseTest, SystemButtonsMinimiseMaximiseAndRestore)
{
    const SkinSource skin =
        MarkupSkin(folder, "<Window size=\"200,100\"><HorizontalLayout><ProbeButton name=\"minbtn\"/>"
                           "<ProbeButton name=\"maxbtn\"/><ProbeButton name=\"restorebtn\"/>"
                           "</HorizontalLayout></Window>");
    TestSkinWnd wnd(skin);
    const HWND hWnd = wnd.Create();
    ASSERT_NE(hWnd, nullptr);
    ShowAndPaint(hWnd);
    CPaintManagerUI& pm = wnd.GetPaintManager();
    struct Step
    {
        const char* pstrButton;
        bool bIconic;
        bool bZoomed;
    };
    const Step steps[] = {
        {"maxbtn", false, true},
        {"restorebtn", false, false},
        {"minbtn", true, false},
        {"restorebtn", false, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.pstrButton);
        pm.SendNotify(pm.FindControlByName(s.pstrButton), "click");
        Pump();
        EXPECT_EQ(::IsIconic(hWnd) != FALSE, s.bIconic);
        EXPECT_EQ(::IsZoomed(hWnd) != FALSE, s.bZoomed);
    }
    // Maximised to the work area, without a frame around it.
    pm.SendNotify(pm.FindControlByName("maxbtn"), "click");
    Pump();
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoA(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &info);
    RECT rcClient = {};
    ::GetClientRect(hWnd, &rcClient);
    EXPECT_EQ(rcClient.right, info.rcWork.right - info.rcWork.left);
    EXPECT_EQ(rcClient.bottom, info.rcWork.bottom - info.rcWork.top);
}

TEST_F(WindowImplBaseTest, CornerRoundingGivesTheWindowARegionThatFollowsItsSize)
{
    struct Case
    {
        const char* pstrMarkup;
        bool bRegion;
    };
    const Case cases[] = {
        {"<Window size=\"200,100\" roundcorner=\"0,0\"><VerticalLayout/></Window>", false},
        {"<Window size=\"200,100\" roundcorner=\"6,6\"><VerticalLayout/></Window>", true},
        {"<Window roundcorner=\"6,6\" size=\"200,100\"><VerticalLayout/></Window>", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrMarkup);
        TestSkinWnd wnd(MarkupSkin(folder, c.pstrMarkup));
        const HWND hWnd = wnd.Create();
        ASSERT_NE(hWnd, nullptr);
        // As created (whichever attribute came first), then after resizing.
        for (const SIZE size : {SIZE{200, 100}, SIZE{250, 150}, SIZE{180, 90}}) {
            if (size.cx != 200)
                ::SetWindowPos(hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            const HRGN hRgn = ::CreateRectRgn(0, 0, 0, 0);
            const int nType = ::GetWindowRgn(hWnd, hRgn);
            if (!c.bRegion) {
                EXPECT_EQ(nType, ERROR);
            } else {
                EXPECT_EQ(nType, COMPLEXREGION);
                RECT rcBox = {};
                ::GetRgnBox(hRgn, &rcBox);
                EXPECT_EQ(rcBox.left, 0);
                EXPECT_EQ(rcBox.top, 0);
                EXPECT_GE(rcBox.right, size.cx);
                EXPECT_GE(rcBox.bottom, size.cy);
                EXPECT_LE(rcBox.right, size.cx + 1);
                EXPECT_LE(rcBox.bottom, size.cy + 1);
                // Inside the corner is cut away, the middle is not.
                EXPECT_FALSE(::PtInRegion(hRgn, 0, 0));
                EXPECT_TRUE(::PtInRegion(hRgn, size.cx / 2, size.cy / 2));
            }
            ::DeleteObject(hRgn);
        }
    }
}

TEST_F(WindowImplBaseTest, MinMaxInfoUsesTheWorkAreaAndTheSkinMinimum)
{
    struct Case
    {
        const char* pstrMarkup;
        POINT ptMin;
    };
    const Case cases[] = {
        {"<Window size=\"300,200\" mininfo=\"120,90\"><VerticalLayout/></Window>", {120, 90}},
        {"<Window size=\"300,200\"><VerticalLayout/></Window>", {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrMarkup);
        TestSkinWnd wnd(MarkupSkin(folder, c.pstrMarkup));
        const HWND hWnd = wnd.Create();
        ASSERT_NE(hWnd, nullptr);
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        ::GetMonitorInfoA(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &info);
        MINMAXINFO mmi = {};
        mmi.ptMinTrackSize = POINT{77, 77};
        ::SendMessageA(hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        EXPECT_EQ(mmi.ptMaxPosition.x, info.rcWork.left - info.rcMonitor.left);
        EXPECT_EQ(mmi.ptMaxPosition.y, info.rcWork.top - info.rcMonitor.top);
        EXPECT_EQ(mmi.ptMaxTrackSize.x, info.rcWork.right - info.rcWork.left);
        EXPECT_EQ(mmi.ptMaxTrackSize.y, info.rcWork.bottom - info.rcWork.top);
        EXPECT_EQ(mmi.ptMinTrackSize.x, c.ptMin.x);
        EXPECT_EQ(mmi.ptMinTrackSize.y, c.ptMin.y);
    }
}

} // namespace

int main(int argc, char** argv)
{
    CPaintManagerUI::SetModuleInstance(::GetModuleHandleA(nullptr));
    char szSelf[MAX_PATH] = {};
    if (::GetModuleFileNameA(nullptr, szSelf, MAX_PATH) > 0)
        g_selfPath = szSelf;
    if (argc > 1 && std::strcmp(argv[1], "--skin-failure-child") == 0)
        return RunFailingChild();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
