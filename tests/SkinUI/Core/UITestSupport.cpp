#include "UITestSupport.h"

#include "SkinUI/Utils/UIAssert.h"

namespace SkinUITest {

using namespace SkinUI;

namespace {

constexpr const wchar_t* kHostClass = L"SkinUITestHost";

int g_nAsserts = 0;
std::string g_sLastAssert;

void CountAssert(const char* pstrCondition, const char* /*pstrFile*/, int /*iLine*/)
{
    ++g_nAsserts;
    g_sLastAssert = pstrCondition;
}

} // namespace

// A Unicode window, as every window of the framework is.
HostWindow::HostWindow(CPaintManagerUI& pm, Kind kind, int cx, int cy) : m_pm(pm), m_hWnd(nullptr)
{
    static bool s_bRegistered = false;
    const HINSTANCE hInst = ::GetModuleHandleW(nullptr);
    if (!s_bRegistered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = hInst;
        wc.lpszClassName = kHostClass;
        wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        s_bRegistered = ::RegisterClassW(&wc) != 0;
    }
    if (kind == MessageOnly) {
        m_hWnd = ::CreateWindowExW(0, kHostClass, L"", 0, 0, 0, cx, cy, HWND_MESSAGE, nullptr, hInst, nullptr);
    } else {
        m_hWnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, kHostClass, L"SkinUI test host", WS_POPUP, 10, 10, cx, cy,
                                   nullptr, nullptr, hInst, nullptr);
    }
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_pm));
    m_pm.AttachWindow(m_hWnd);
    if (kind == VisiblePopup) {
        ::ShowWindow(m_hWnd, SW_SHOW);
        ::SetForegroundWindow(m_hWnd);
    }
}

HostWindow::~HostWindow()
{
    if (m_hWnd != nullptr) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hWnd);
    }
}

void HostWindow::Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK HostWindow::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pm = reinterpret_cast<CPaintManagerUI*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    LRESULT lRes = 0;
    if (pm != nullptr && pm->HandleWindowMessage(uMsg, wParam, lParam, lRes))
        return lRes;
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

std::string KindName(int nKind)
{
    switch (nKind) {
    case UIEV_KEYDOWN:
        return "keydown";
    case UIEV_KEYUP:
        return "keyup";
    case UIEV_CHAR:
        return "char";
    case UIEV_SYSKEY:
        return "syskey";
    case UIEV_MOUSEMOVE:
        return "mousemove";
    case UIEV_MOUSELEAVE:
        return "mouseleave";
    case UIEV_MOUSEENTER:
        return "mouseenter";
    case UIEV_MOUSEHOVER:
        return "mousehover";
    case UIEV_BUTTONDOWN:
        return "buttondown";
    case UIEV_BUTTONUP:
        return "buttonup";
    case UIEV_RBUTTONDOWN:
        return "rbuttondown";
    case UIEV_DBLCLICK:
        return "dblclick";
    case UIEV_CONTEXTMENU:
        return "contextmenu";
    case UIEV_SCROLLWHEEL:
        return "scrollwheel";
    case UIEV_KILLFOCUS:
        return "killfocus";
    case UIEV_SETFOCUS:
        return "setfocus";
    case UIEV_WINDOWSIZE:
        return "windowsize";
    case UIEV_SETCURSOR:
        return "setcursor";
    case UIEV_TIMER:
        return "timer";
    default:
        return "kind" + std::to_string(nKind);
    }
}

CRecordingControlUI::CRecordingControlUI(const char* pstrName, EventLog* pLog, bool bTabStop, const char* pstrClass)
    : m_pLog(pLog), m_bTabStop(bTabStop), m_sClass(pstrClass)
{
    SetName(pstrName);
}

CRecordingControlUI::~CRecordingControlUI()
{
    if (pDeletedFlag != nullptr)
        *pDeletedFlag = true;
}

void CRecordingControlUI::HandleEvent(InputEventUI& event)
{
    events.push_back(event);
    senders.push_back(event.pSender);
    if (m_pLog != nullptr) {
        std::string sEntry = std::string(GetName().Chars()) + ":" + KindName(event.nKind);
        if (event.nKind == UIEV_KILLFOCUS || event.nKind == UIEV_SETFOCUS) {
            sEntry += "<-";
            sEntry += event.pSender != nullptr ? event.pSender->GetName().Chars() : "null";
        }
        m_pLog->push_back(sEntry);
    }
    CControlUI::HandleEvent(event);
}

CTestContainerUI::CTestContainerUI(const char* pstrName, EventLog* pLog, bool bTabStop)
    : CRecordingControlUI(pstrName, pLog, bTabStop, "TestContainerUI")
{
}

CTestContainerUI::~CTestContainerUI()
{
    for (CControlUI* pChild : m_children)
        delete pChild;
}

void CTestContainerUI::AddOwned(CControlUI* pChild)
{
    m_children.push_back(pChild);
    if (m_pManager != nullptr)
        m_pManager->AttachControlTree(pChild, this);
    else
        pChild->SetManager(nullptr, this, false);
}

void CTestContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit)
{
    for (CControlUI* pChild : m_children)
        pChild->SetManager(pManager, this, bInit);
    CControlUI::SetManager(pManager, pParent, bInit);
}

void CTestContainerUI::SetVisible(bool bVisible)
{
    if (m_bVisible == bVisible)
        return;
    CControlUI::SetVisible(bVisible);
    for (CControlUI* pChild : m_children)
        pChild->SetInternVisible(IsVisible());
}

void CTestContainerUI::SetInternVisible(bool bVisible)
{
    CControlUI::SetInternVisible(bVisible);
    for (CControlUI* pChild : m_children)
        pChild->SetInternVisible(IsVisible());
}

CControlUI* CTestContainerUI::FindControl(FindControlProc Proc, void* pData, UINT uFlags)
{
    if ((uFlags & FIND_VISIBLE) != 0 && !IsVisible())
        return nullptr;
    if ((uFlags & FIND_ENABLED) != 0 && !IsEnabled())
        return nullptr;
    if ((uFlags & FIND_HITTEST) != 0 && !::PtInRect(&m_rcPos, *static_cast<const POINT*>(pData)))
        return nullptr;
    if ((uFlags & FIND_ME_FIRST) != 0) {
        if (CControlUI* p = CControlUI::FindControl(Proc, pData, uFlags))
            return p;
    }
    const int n = static_cast<int>(m_children.size());
    for (int k = 0; k < n; ++k) {
        const int i = (uFlags & FIND_TOP_FIRST) != 0 ? n - 1 - k : k;
        if (CControlUI* p = m_children[i]->FindControl(Proc, pData, uFlags))
            return p;
    }
    if ((uFlags & FIND_ME_FIRST) == 0)
        return CControlUI::FindControl(Proc, pData, uFlags);
    return nullptr;
}

void NotifyRecorder::ReceiveNotify(NotifyEventUI& msg)
{
    received.push_back(msg);
    if (m_pLog != nullptr)
        m_pLog->push_back(std::string("notify:") + msg.type.Chars() + ":" +
                          (msg.sender != nullptr ? msg.sender->GetName().Chars() : "null"));
}

AssertCounter::AssertCounter()
{
    g_nAsserts = 0;
    g_sLastAssert.clear();
    SetAssertHandler(CountAssert);
}

AssertCounter::~AssertCounter()
{
    SetAssertHandler(nullptr);
}

int AssertCounter::Count() const
{
    return g_nAsserts;
}

std::string AssertCounter::Last() const
{
    return g_sLastAssert;
}

} // namespace SkinUITest
