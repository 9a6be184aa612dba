// The native window wrapper and the notification pump, with real windows.
#include "SkinUI/Core/UIBase.h"
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

class TestWnd : public CWindowWnd
{
public:
    explicit TestWnd(const char* pstrClass = "TestWndClass") : m_sClass(pstrClass) {}
    std::vector<UINT> messages;
    int goneCalls = 0;
    HWND goneHandle = nullptr;
    HWND handleWhenGone = reinterpret_cast<HWND>(1);
    bool* deletedFlag = nullptr;
    bool deleteSelf = false;

    ~TestWnd() override
    {
        if (deletedFlag != nullptr)
            *deletedFlag = true;
    }

protected:
    const char* WindowClassName() const override { return m_sClass; }
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(uMsg);
        return CWindowWnd::OnMessage(uMsg, wParam, lParam);
    }
    void OnWindowGone(HWND hWnd) override
    {
        ++goneCalls;
        goneHandle = hWnd;
        handleWhenGone = m_hWnd;
        if (deleteSelf)
            delete this;
    }

private:
    CUIString m_sClass;
};

// A superclass of the system edit window.
class EditWnd : public CWindowWnd
{
public:
    int setTextSeen = 0;
    int goneCalls = 0;

protected:
    const char* WindowClassName() const override { return "TestEditSuperclass"; }
    const char* SuperclassName() const override { return "EDIT"; }
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        if (uMsg == WM_SETTEXT)
            ++setTextSeen;
        return CWindowWnd::OnMessage(uMsg, wParam, lParam);
    }
    void OnWindowGone(HWND) override { ++goneCalls; }
};

RECT WorkArea(HWND hWnd)
{
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoA(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

std::string g_selfPath;

struct Probe
{
    HWND owner;
    BOOL enabledInside;
};

// Runs inside the modal loop: looks at the owner there, then closes the window.
void CALLBACK ProbeOwner(HWND hWnd, UINT, UINT_PTR id, DWORD)
{
    auto* p = static_cast<Probe*>(::GetPropA(hWnd, "probe"));
    p->enabledInside = ::IsWindowEnabled(p->owner);
    ::KillTimer(hWnd, id);
    ::RemovePropA(hWnd, "probe");
    ::PostMessageA(hWnd, WM_CLOSE, 3, 0);
}

} // namespace

TEST(WindowClass, RegisteringTheSameClassTwiceSucceeds)
{
    TestWnd a, b;
    EXPECT_TRUE(a.RegisterOwnClass());
    EXPECT_TRUE(b.RegisterOwnClass());
}

TEST(WindowClass, FailedRegistrationCreatesNothing)
{
    const std::string tooLong(300, 'N'); // class names are limited to 256 characters
    TestWnd w(tooLong.c_str());
    EXPECT_EQ(w.CreateHostWindow(nullptr, "", WS_POPUP, 0), nullptr);
    EXPECT_EQ(w.Handle(), nullptr);
}

TEST(WindowCreation, FourArgumentFormIsZeroByZeroAtTheOrigin)
{
    TestWnd w;
    const HWND hWnd = w.CreateHostWindow(nullptr, "", WS_POPUP, 0);
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(w.Handle(), hWnd);
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right - rc.left, 0);
    EXPECT_EQ(rc.bottom - rc.top, 0);
    // The object saw its creation messages, WM_NCCREATE included.
    ASSERT_FALSE(w.messages.empty());
    EXPECT_EQ(w.messages.front(), static_cast<UINT>(WM_NCCREATE));
    ::DestroyWindow(hWnd);
}

TEST(WindowLifetime, WindowGoneComesOnceAfterTheLastMessage)
{
    TestWnd w;
    const HWND hWnd = w.CreateHostWindow(nullptr, "", WS_POPUP, 0, 10, 10, 50, 50);
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(::GetWindowLongPtrA(hWnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&w));
    ::DestroyWindow(hWnd);
    EXPECT_EQ(w.goneCalls, 1);
    EXPECT_EQ(w.goneHandle, hWnd);
    EXPECT_EQ(w.handleWhenGone, nullptr) << "the handle is cleared before the hook runs";
    EXPECT_EQ(w.Handle(), nullptr);
    ASSERT_FALSE(w.messages.empty());
    EXPECT_EQ(w.messages.back(), static_cast<UINT>(WM_DESTROY)) << "WM_NCDESTROY goes to the previous procedure";

    // A self-owning object deletes itself in the hook.
    bool deleted = false;
    auto* pSelf = new TestWnd();
    pSelf->deleteSelf = true;
    pSelf->deletedFlag = &deleted;
    const HWND hSelf = pSelf->CreateHostWindow(nullptr, "", WS_POPUP, 0);
    ASSERT_NE(hSelf, nullptr);
    ::DestroyWindow(hSelf);
    EXPECT_TRUE(deleted);
}

TEST(WindowSuperclass, ObjectLivesInTheWndXPropertyAndTheSystemProcedureRuns)
{
    EditWnd w;
    const HWND hWnd = w.CreateHostWindow(nullptr, "", WS_POPUP, 0, 0, 0, 100, 20);
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(::GetPropA(hWnd, "WndX"), static_cast<HANDLE>(&w));
    ::SetWindowTextA(hWnd, "hello");
    EXPECT_EQ(w.setTextSeen, 1);
    char szText[32] = {};
    ::GetWindowTextA(hWnd, szText, sizeof(szText));
    EXPECT_STREQ(szText, "hello") << "the edit window's own procedure handled the text";
    ::DestroyWindow(hWnd);
    EXPECT_EQ(w.goneCalls, 1);
    EXPECT_EQ(w.Handle(), nullptr);
}

TEST(WindowModal, RunModalReturnsTheCloseCode)
{
    TestWnd w;
    ASSERT_NE(w.CreateHostWindow(nullptr, "", WS_POPUP, 0, 0, 0, 40, 40), nullptr);
    w.CloseWith(1);
    EXPECT_EQ(w.RunModal(), 1u);
    EXPECT_EQ(w.Handle(), nullptr);

    TestWnd v;
    ASSERT_NE(v.CreateHostWindow(nullptr, "", WS_POPUP, 0, 0, 0, 40, 40), nullptr);
    ::PostMessageA(v.Handle(), WM_CLOSE, 7, 0);
    EXPECT_EQ(v.RunModal(), 7u);
}

TEST(WindowModal, RunModalDisablesTheOwnerWhileItRuns)
{
    TestWnd owner;
    ASSERT_NE(owner.CreateHostWindow(nullptr, "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 80, 80), nullptr);
    TestWnd dlg;
    ASSERT_NE(dlg.CreateHostWindow(owner.Handle(), "", WS_POPUP, 0, 10, 10, 40, 40), nullptr);
    Probe probe{owner.Handle(), TRUE};
    ::SetPropA(dlg.Handle(), "probe", &probe);
    ::SetTimer(dlg.Handle(), 1, 10, ProbeOwner);
    EXPECT_EQ(dlg.RunModal(), 3u);
    EXPECT_FALSE(probe.enabledInside);
    EXPECT_TRUE(::IsWindowEnabled(owner.Handle()));
    ::DestroyWindow(owner.Handle());
}

TEST(WindowModal, QuitMessageEndsTheProcessWithItsCode)
{
    std::string cmd = "\"" + g_selfPath + "\" --modal-quit-child";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_EQ(::WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 42u);
}

TEST(WindowPlacement, CenterOnOwnerCentresAndClampsToTheWorkArea)
{
    TestWnd w;
    ASSERT_NE(w.CreateHostWindow(nullptr, "", WS_POPUP, 0, 0, 0, 200, 100), nullptr);
    const RECT work = WorkArea(w.Handle());
    w.CenterOnOwner();
    RECT rc;
    ::GetWindowRect(w.Handle(), &rc);
    EXPECT_EQ(rc.left, (work.left + work.right) / 2 - 100);
    EXPECT_EQ(rc.top, (work.top + work.bottom) / 2 - 50);
    EXPECT_EQ(rc.right - rc.left, 200) << "the size is kept";

    // Larger than the work area: placed at its left and top edges.
    ::SetWindowPos(w.Handle(), nullptr, 0, 0, work.right - work.left + 300, work.bottom - work.top + 200,
                   SWP_NOMOVE | SWP_NOZORDER);
    w.CenterOnOwner();
    ::GetWindowRect(w.Handle(), &rc);
    EXPECT_EQ(rc.left, work.left);
    EXPECT_EQ(rc.top, work.top);

    // Owned: centred on the owner, kept inside the work area.
    TestWnd owner;
    ASSERT_NE(owner.CreateHostWindow(nullptr, "", WS_POPUP, 0, 100, 100, 400, 300), nullptr);
    TestWnd dlg;
    ASSERT_NE(dlg.CreateHostWindow(owner.Handle(), "", WS_POPUP, 0, 0, 0, 100, 50), nullptr);
    dlg.CenterOnOwner();
    ::GetWindowRect(dlg.Handle(), &rc);
    EXPECT_EQ(rc.left, 250);
    EXPECT_EQ(rc.top, 225);
    ::SetWindowPos(owner.Handle(), nullptr, work.right - 150, work.bottom - 100, 400, 300, SWP_NOZORDER);
    dlg.CenterOnOwner();
    ::GetWindowRect(dlg.Handle(), &rc);
    EXPECT_EQ(rc.right, work.right);
    EXPECT_EQ(rc.bottom, work.bottom);
    ::DestroyWindow(dlg.Handle());
    ::DestroyWindow(owner.Handle());
    ::DestroyWindow(w.Handle());
}

TEST(WindowIcon, SetWindowIconSetsBothSizes)
{
    CPaintManagerUI::SetModuleInstance(::GetModuleHandleA(nullptr));
    TestWnd w;
    ASSERT_NE(w.CreateHostWindow(nullptr, "", WS_POPUP, 0), nullptr);
    w.SetWindowIcon(102);
    const auto big = reinterpret_cast<HICON>(w.Send(WM_GETICON, ICON_BIG));
    const auto small = reinterpret_cast<HICON>(w.Send(WM_GETICON, ICON_SMALL));
    EXPECT_NE(big, nullptr);
    EXPECT_NE(small, nullptr);
    EXPECT_NE(big, small);
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(small, &info));
    BITMAP bm = {};
    ::GetObjectA(info.hbmColor, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, ::GetSystemMetrics(SM_CXSMICON));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyWindow(w.Handle());
}

TEST(WindowIcon, IconsAreFreedWhenReplacedAndWhenTheWindowIsGone)
{
    CPaintManagerUI::SetModuleInstance(::GetModuleHandleA(nullptr));
    TestWnd w;
    ASSERT_NE(w.CreateHostWindow(nullptr, "", WS_POPUP, 0), nullptr);
    const auto IsIcon = [](HICON hIcon) {
        ICONINFO info = {};
        if (!::GetIconInfo(hIcon, &info))
            return false;
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        return true;
    };
    w.SetWindowIcon(102);
    const auto big1 = reinterpret_cast<HICON>(w.Send(WM_GETICON, ICON_BIG));
    const auto small1 = reinterpret_cast<HICON>(w.Send(WM_GETICON, ICON_SMALL));
    w.SetWindowIcon(102);
    const auto big2 = reinterpret_cast<HICON>(w.Send(WM_GETICON, ICON_BIG));
    const auto small2 = reinterpret_cast<HICON>(w.Send(WM_GETICON, ICON_SMALL));
    ASSERT_TRUE(big1 != nullptr && small1 != nullptr && big2 != nullptr && small2 != nullptr);
    EXPECT_FALSE(IsIcon(big1)) << "the replaced large icon leaks";
    EXPECT_FALSE(IsIcon(small1)) << "the replaced small icon leaks";
    EXPECT_TRUE(IsIcon(big2));
    EXPECT_TRUE(IsIcon(small2));
    ::DestroyWindow(w.Handle());
    EXPECT_FALSE(IsIcon(big2));
    EXPECT_FALSE(IsIcon(small2));
}

namespace {
// Refuses its creation and deletes itself when its window is gone. Its memory is kept and filled with a
// pattern once deleted, so that a write into the deleted object shows.
class RefusingWnd : public TestWnd
{
public:
    RefusingWnd() : TestWnd("RefusingWndClass") { deleteSelf = true; }
    static void* operator new(std::size_t cb) { return ::operator new(cb); }
    static void operator delete(void* p, std::size_t cb)
    {
        std::memset(p, 0xDD, cb);
        s_pKept = p;
        s_cbKept = cb;
    }
    static void* s_pKept;
    static std::size_t s_cbKept;

protected:
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        if (uMsg == WM_CREATE)
            return -1;
        return TestWnd::OnMessage(uMsg, wParam, lParam);
    }
};
void* RefusingWnd::s_pKept = nullptr;
std::size_t RefusingWnd::s_cbKept = 0;
} // namespace

TEST(WindowCreation, FailedCreationLeavesASelfDeletedObjectAlone)
{
    auto* pWnd = new RefusingWnd;
    EXPECT_EQ(pWnd->CreateHostWindow(nullptr, "", WS_POPUP, 0), nullptr);
    ASSERT_EQ(RefusingWnd::s_pKept, static_cast<void*>(pWnd)) << "the object did not delete itself";
    const auto* pBytes = static_cast<const unsigned char*>(RefusingWnd::s_pKept);
    for (std::size_t i = 0; i < RefusingWnd::s_cbKept; ++i)
        ASSERT_EQ(pBytes[i], 0xDD) << "the deleted object was written at offset " << i;
    ::operator delete(RefusingWnd::s_pKept);
}

// Notification tables: a base class and a derived class with their own tables.
namespace {

class NamedControl : public CControlUI
{
public:
    explicit NamedControl(const char* pstrName) { SetName(pstrName); }
};

class BasePump : public CNotifyPump
{
public:
    std::vector<std::string> log;
    static const NotifyMap* ThisNotifyMap();
    const NotifyMap* GetNotifyMap() const override { return ThisNotifyMap(); }

    void OnAnyClick(NotifyEventUI&) { log.push_back("base:any-click"); }
    void OnLastAnyClick(NotifyEventUI&) { log.push_back("base:last-any-click"); }
    void OnCloseClick(NotifyEventUI&) { log.push_back("base:closebtn"); }
    void OnTimerWords(WPARAM wParam, LPARAM lParam)
    {
        log.push_back("base:timer " + std::to_string(wParam) + "," + std::to_string(lParam));
    }
    void OnSelect(NotifyEventUI&) { log.push_back("base:select"); }
};

const NotifyMap* BasePump::ThisNotifyMap()
{
    static const NotifyMapEntry entries[] = {
        NotifyEntry("click", "", &BasePump::OnAnyClick),
        NotifyEntry("click", "closebtn", &BasePump::OnCloseClick),
        NotifyEntry("click", "", &BasePump::OnLastAnyClick),
        NotifyEntry("timer", "", &BasePump::OnTimerWords),
        NotifyEntry("selectchanged", "", &BasePump::OnSelect),
        NotifyMapEnd(),
    };
    static const NotifyMap map = {&CNotifyPump::ThisNotifyMap, entries};
    return &map;
}

class DerivedPump : public BasePump
{
public:
    static const NotifyMap* ThisNotifyMap();
    const NotifyMap* GetNotifyMap() const override { return ThisNotifyMap(); }
    void OnSelect(NotifyEventUI&) { log.push_back("derived:select"); }
};

const NotifyMap* DerivedPump::ThisNotifyMap()
{
    static const NotifyMapEntry entries[] = {
        NotifyEntry("selectchanged", "", &DerivedPump::OnSelect),
        NotifyMapEnd(),
    };
    static const NotifyMap map = {&BasePump::ThisNotifyMap, entries};
    return &map;
}

NotifyEventUI Notification(const char* pstrType, CControlUI* pSender, const char* pstrVirtual = "")
{
    NotifyEventUI msg;
    msg.type = pstrType;
    msg.sender = pSender;
    msg.virtualWindow = pstrVirtual;
    return msg;
}

} // namespace

TEST(NotifyMapLookup, NameSpecificEntryBeatsTypeOnlyAndTheLastTypeOnlyWins)
{
    BasePump pump;
    NamedControl close("closebtn"), other("okbtn");
    auto fromClose = Notification("click", &close);
    auto fromOther = Notification("click", &other);
    auto fromNobody = Notification("click", nullptr);
    EXPECT_TRUE(pump.DispatchByMap(fromClose));
    EXPECT_TRUE(pump.DispatchByMap(fromOther));
    EXPECT_TRUE(pump.DispatchByMap(fromNobody));
    EXPECT_EQ(pump.log, (std::vector<std::string>{"base:closebtn", "base:last-any-click", "base:last-any-click"}));

    auto differentCase = Notification("Click", &close);
    EXPECT_FALSE(pump.DispatchByMap(differentCase)) << "types compare exactly";
    auto unknown = Notification("menu", &close);
    EXPECT_FALSE(pump.DispatchByMap(unknown));
}

TEST(NotifyMapLookup, WordHandlersGetTheTwoMessageWords)
{
    BasePump pump;
    auto msg = Notification("timer", nullptr);
    msg.wParam = 8;
    msg.lParam = 99;
    EXPECT_TRUE(pump.DispatchByMap(msg));
    EXPECT_EQ(pump.log, (std::vector<std::string>{"base:timer 8,99"}));
}

TEST(NotifyMapLookup, DerivedTableBeatsItsBase)
{
    DerivedPump pump;
    NamedControl opt("option1"), close("closebtn");
    auto select = Notification("selectchanged", &opt);
    auto click = Notification("click", &close);
    EXPECT_TRUE(pump.DispatchByMap(select));
    EXPECT_TRUE(pump.DispatchByMap(click)); // only the base has it
    EXPECT_EQ(pump.log, (std::vector<std::string>{"derived:select", "base:closebtn"}));
}

TEST(NotifyVirtualWindows, RoutedByNameIgnoringCaseThenFallsBackToTheReceiver)
{
    BasePump outer;
    DerivedPump inner;
    EXPECT_TRUE(outer.AddVirtualWindow("settings", &inner));
    EXPECT_FALSE(outer.AddVirtualWindow("settings", &inner));
    NamedControl opt("option1"), close("closebtn");

    auto routed = Notification("selectchanged", &opt, "SETTINGS");
    outer.DispatchNotify(routed);
    EXPECT_EQ(inner.log, (std::vector<std::string>{"derived:select"}));
    EXPECT_TRUE(outer.log.empty());

    // The routed pump does not handle "menu"; nobody does: dropped. "click" it handles itself.
    auto click = Notification("click", &close, "settings");
    outer.DispatchNotify(click);
    EXPECT_EQ(inner.log.back(), "base:closebtn");

    auto unmatched = Notification("selectchanged", &opt, "elsewhere");
    outer.DispatchNotify(unmatched);
    EXPECT_EQ(outer.log, (std::vector<std::string>{"base:select"}));

    EXPECT_TRUE(outer.RemoveVirtualWindow("settings"));
    EXPECT_FALSE(outer.RemoveVirtualWindow("settings"));
    auto after = Notification("selectchanged", &opt, "settings");
    outer.DispatchNotify(after);
    EXPECT_EQ(outer.log.back(), "base:select");
    EXPECT_EQ(inner.log.size(), 2u);
}

TEST(NotifyVirtualWindows, UnhandledByTheRoutedPumpGoesToTheReceiver)
{
    DerivedPump outer;
    CNotifyPump empty; // handles nothing
    outer.AddVirtualWindow("panel", &empty);
    NamedControl opt("option1");
    auto msg = Notification("selectchanged", &opt, "panel");
    outer.DispatchNotify(msg);
    EXPECT_EQ(outer.log, (std::vector<std::string>{"derived:select"}));
}

int main(int argc, char** argv)
{
    g_selfPath = argv[0];
    char szSelf[MAX_PATH] = {};
    if (::GetModuleFileNameA(nullptr, szSelf, MAX_PATH) > 0)
        g_selfPath = szSelf;
    if (argc > 1 && std::strcmp(argv[1], "--modal-quit-child") == 0) {
        TestWnd w;
        w.CreateHostWindow(nullptr, "", WS_POPUP, 0, 0, 0, 20, 20);
        ::PostQuitMessage(42);
        w.RunModal();
        return 7; // never reached: the quit message ends the process
    }
    CPaintManagerUI::SetModuleInstance(::GetModuleHandleA(nullptr));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
