#include "SkinUI/Core/UIBase.h"

#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIManager.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <shlwapi.h>
#include <cstring>
#include <string>

namespace SkinUI {

void TraceDebug(const char* pstrFormat, ...)
{
    char szBuffer[300] = {};
    va_list args;
    va_start(args, pstrFormat);
    ::wvnsprintfA(szBuffer, 299, pstrFormat, args);
    va_end(args);
    szBuffer[298] = '\0';
    std::strcat(szBuffer, "\n");
    ::OutputDebugStringW(GbkToWide(szBuffer).c_str());
}

CWindowWnd::CWindowWnd() : m_hWnd(nullptr), m_OldWndProc(::DefWindowProcW) {}

CWindowWnd::~CWindowWnd()
{
    DestroyIcons();
}

void CWindowWnd::DestroyIcons()
{
    if (m_hIconBig != nullptr)
        ::DestroyIcon(m_hIconBig);
    if (m_hIconSmall != nullptr)
        ::DestroyIcon(m_hIconSmall);
    m_hIconBig = nullptr;
    m_hIconSmall = nullptr;
}

void CWindowWnd::WindowGone(CWindowWnd* pThis, HWND hWnd)
{
    pThis->m_hWnd = nullptr;
    pThis->DestroyIcons(); // the window no longer shows them
    pThis->OnWindowGone(hWnd);
}

const char* CWindowWnd::SuperclassName() const
{
    return nullptr;
}

UINT CWindowWnd::ClassStyle() const
{
    return 0;
}

LRESULT CWindowWnd::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_OldWndProc, m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnWindowGone(HWND /*hWnd*/) {}

namespace {

// Windows limits class names to 256 characters and refuses longer ones; Wine 8's wide registration instead
// overruns its own heap with them, so they are refused before the system sees them.
bool ClassNameFits(const std::wstring& strClass)
{
    return !strClass.empty() && strClass.size() <= 256;
}

} // namespace

// Every window of the framework is a Unicode window: its class is registered with the wide call, so its
// texts and typed characters arrive in UTF-16 whatever the system's code page is.
bool CWindowWnd::RegisterOwnClass()
{
    const std::wstring strClass = GbkToWide(WindowClassName());
    if (!ClassNameFits(strClass))
        return false;
    WNDCLASSW wc = {};
    wc.style = ClassStyle();
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hIcon = nullptr;
    wc.lpfnWndProc = CWindowWnd::ClassWindowProc;
    wc.hInstance = CPaintManagerUI::GetModuleInstance();
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = nullptr;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = strClass.c_str();
    const ATOM ret = ::RegisterClassW(&wc);
    UIASSERT(ret != 0 || ::GetLastError() == 1410L);
    return ret != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclassOf()
{
    const std::wstring strSuperclass = GbkToWide(SuperclassName());
    const std::wstring strClass = GbkToWide(WindowClassName());
    if (!ClassNameFits(strClass) || !ClassNameFits(strSuperclass))
        return false;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    // The wide class information gives the base class's Unicode window procedure.
    if (!::GetClassInfoExW(nullptr, strSuperclass.c_str(), &wc)) {
        if (!::GetClassInfoExW(CPaintManagerUI::GetModuleInstance(), strSuperclass.c_str(), &wc)) {
            UIASSERT(!"Unable to locate window class");
            return false;
        }
    }
    m_OldWndProc = wc.lpfnWndProc;
    wc.lpfnWndProc = CWindowWnd::SuperclassWindowProc;
    wc.hInstance = CPaintManagerUI::GetModuleInstance();
    wc.lpszClassName = strClass.c_str();
    const ATOM ret = ::RegisterClassExW(&wc);
    UIASSERT(ret != 0 || ::GetLastError() == 1410L);
    return ret != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::CreateHostWindow(HWND hwndParent, const char* pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y,
                                  int cx, int cy, HMENU hMenu)
{
    if (SuperclassName() != nullptr && !RegisterSuperclassOf())
        return nullptr;
    if (SuperclassName() == nullptr && !RegisterOwnClass())
        return nullptr;
    // A window whose creation fails has had WM_NCDESTROY already, and a self-owning object has deleted
    // itself in OnWindowGone: only a failure may leave the object untouched, so the handle stays local.
    const std::wstring strClass = GbkToWide(WindowClassName());
    const std::wstring strName = GbkToWide(pstrName);
    const HWND hWnd = ::CreateWindowExW(dwExStyle, strClass.c_str(), strName.c_str(), dwStyle, x, y, cx, cy, hwndParent,
                                        hMenu, CPaintManagerUI::GetModuleInstance(), this);
    UIASSERT(hWnd != 0);
    if (hWnd != nullptr)
        m_hWnd = hWnd;
    return hWnd;
}

HWND CWindowWnd::CreateHostWindow(HWND hwndParent, const char* pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                                  HMENU hMenu)
{
    return CreateHostWindow(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left,
                            rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::CreateHostWindow(HWND hwndParent, const char* pstrName, DWORD dwStyle, DWORD dwExStyle)
{
    return CreateHostWindow(hwndParent, pstrName, dwStyle, dwExStyle, 0, 0, 0, 0, nullptr);
}

void CWindowWnd::Show(bool bShow, bool bTakeFocus)
{
    UIASSERT(::IsWindow(m_hWnd));
    if (!::IsWindow(m_hWnd))
        return;
    ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::RunModal()
{
    UIASSERT(::IsWindow(m_hWnd));
    UINT nRet = 0;
    // Locals only: the object may delete itself when its window goes.
    const HWND hWnd = m_hWnd;
    const HWND hWndParent = ::GetWindow(hWnd, GW_OWNER);
    ::ShowWindow(hWnd, SW_SHOWNORMAL);
    ::EnableWindow(hWndParent, FALSE);
    MSG msg = {};
    bool bQuit = false;
    while (::IsWindow(hWnd)) {
        const BOOL bGot = ::GetMessageW(&msg, nullptr, 0, 0);
        if (bGot == 0) {
            bQuit = true; // WM_QUIT
            break;
        }
        if (bGot == -1)
            break;
        if (msg.hwnd == hWnd && msg.message == WM_CLOSE) {
            nRet = static_cast<UINT>(msg.wParam);
            ::EnableWindow(hWndParent, TRUE);
            ::SetFocus(hWndParent);
        }
        if (!CPaintManagerUI::RouteQueuedMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    ::EnableWindow(hWndParent, TRUE);
    ::SetFocus(hWndParent);
    if (bQuit)
        ::ExitProcess(static_cast<UINT>(msg.wParam));
    return nRet;
}

void CWindowWnd::CloseWith(UINT nRet)
{
    UIASSERT(::IsWindow(m_hWnd));
    if (!::IsWindow(m_hWnd))
        return;
    ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(nRet), 0L);
}

void CWindowWnd::CenterOnOwner()
{
    UIASSERT(::IsWindow(m_hWnd));
    UIASSERT((((DWORD)GetWindowLongW(m_hWnd, (-16))) & 0x40000000L) == 0);
    RECT rcDlg = {};
    ::GetWindowRect(m_hWnd, &rcDlg);
    const int w = rcDlg.right - rcDlg.left;
    const int h = rcDlg.bottom - rcDlg.top;

    const HWND hWndOwner = ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(hWndOwner != nullptr ? hWndOwner : m_hWnd, MONITOR_DEFAULTTONEAREST), &info);
    const RECT rcArea = info.rcWork;
    RECT rcCenter = rcArea;
    if (hWndOwner != nullptr)
        ::GetWindowRect(hWndOwner, &rcCenter);

    int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
    if (x < rcArea.left)
        x = rcArea.left;
    else if (x + w > rcArea.right)
        x = rcArea.right - w;
    if (y < rcArea.top)
        y = rcArea.top;
    else if (y + h > rcArea.bottom)
        y = rcArea.bottom - h;
    ::SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetWindowIcon(UINT nRes)
{
    const HINSTANCE hInst = CPaintManagerUI::GetModuleInstance();
    const auto hBig =
        static_cast<HICON>(::LoadImageW(hInst, MAKEINTRESOURCEW(nRes), IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                        ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    UIASSERT(hBig);
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hBig));
    const auto hSmall =
        static_cast<HICON>(::LoadImageW(hInst, MAKEINTRESOURCEW(nRes), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                        ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    UIASSERT(hSmall);
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hSmall));
    // The window never frees the icons it is given; the ones they replaced are no longer shown.
    DestroyIcons();
    m_hIconBig = hBig;
    m_hIconSmall = hSmall;
}

LRESULT CWindowWnd::Send(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    UIASSERT(::IsWindow(m_hWnd));
    return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::Post(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    UIASSERT(::IsWindow(m_hWnd));
    return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::ClassWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* pThis = nullptr;
    if (uMsg == WM_NCCREATE) {
        auto* lpcs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        pThis = static_cast<CWindowWnd*>(lpcs->lpCreateParams);
        pThis->m_hWnd = hWnd;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
    } else {
        pThis = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (uMsg == WM_NCDESTROY && pThis != nullptr) {
            const LRESULT lRes = ::CallWindowProcW(pThis->m_OldWndProc, hWnd, uMsg, wParam, lParam);
            ::SetWindowLongPtrW(pThis->m_hWnd, GWLP_USERDATA, 0L);
            WindowGone(pThis, hWnd);
            return lRes;
        }
    }
    if (pThis != nullptr)
        return pThis->OnMessage(uMsg, wParam, lParam);
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::SuperclassWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* pThis = nullptr;
    if (uMsg == WM_NCCREATE) {
        auto* lpcs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        pThis = static_cast<CWindowWnd*>(lpcs->lpCreateParams);
        ::SetPropW(hWnd, L"WndX", static_cast<HANDLE>(pThis));
        pThis->m_hWnd = hWnd;
    } else {
        pThis = static_cast<CWindowWnd*>(::GetPropW(hWnd, L"WndX"));
        if (uMsg == WM_NCDESTROY && pThis != nullptr) {
            const LRESULT lRes = ::CallWindowProcW(pThis->m_OldWndProc, hWnd, uMsg, wParam, lParam);
            ::SetPropW(hWnd, L"WndX", nullptr);
            WindowGone(pThis, hWnd);
            return lRes;
        }
    }
    if (pThis != nullptr)
        return pThis->OnMessage(uMsg, wParam, lParam);
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

CNotifyPump::CNotifyPump() : m_VirtualWindowMap(83) {}

CNotifyPump::~CNotifyPump() = default;

const NotifyMap* CNotifyPump::ThisNotifyMap()
{
    static const NotifyMapEntry entries[] = {NotifyMapEnd()};
    static const NotifyMap map = {[]() -> const NotifyMap* { return nullptr; }, entries};
    return &map;
}

const NotifyMap* CNotifyPump::GetNotifyMap() const
{
    return ThisNotifyMap();
}

bool CNotifyPump::AddVirtualWindow(const char* pstrName, CNotifyPump* pObject)
{
    if (m_VirtualWindowMap.Lookup(pstrName) != nullptr)
        return false;
    return m_VirtualWindowMap.Insert(pstrName, pObject);
}

bool CNotifyPump::RemoveVirtualWindow(const char* pstrName)
{
    return m_VirtualWindowMap.Erase(pstrName);
}

void CNotifyPump::DispatchNotify(NotifyEventUI& msg)
{
    if (!msg.virtualWindow.IsEmpty()) {
        for (int i = 0; i < m_VirtualWindowMap.Count(); ++i) {
            const char* key = m_VirtualWindowMap.KeyAt(i);
            if (key != nullptr && msg.virtualWindow.CompareIgnoreCase(key) == 0) {
                auto* pObject = static_cast<CNotifyPump*>(m_VirtualWindowMap.Lookup(key, false));
                if (pObject != nullptr && pObject->DispatchByMap(msg))
                    return;
            }
        }
    }
    DispatchByMap(msg);
}

namespace {

// The answer of one table: a name-specific entry at once, else the last type-only entry.
const NotifyMapEntry* FindEntry(const NotifyMapEntry* pEntry, const NotifyEventUI& msg, const CUIString& sSender)
{
    const NotifyMapEntry* pTypeOnly = nullptr;
    for (; pEntry->kind != NotifyKindEnd; ++pEntry) {
        if (pEntry->type != msg.type.Chars())
            continue;
        if (!pEntry->controlName.IsEmpty()) {
            if (pEntry->controlName == sSender.Chars())
                return pEntry;
        } else {
            pTypeOnly = pEntry;
        }
    }
    return pTypeOnly;
}

} // namespace

bool CNotifyPump::DispatchByMap(NotifyEventUI& msg)
{
    const CUIString sSender = msg.sender != nullptr ? msg.sender->GetName() : CUIString();
    const NotifyMapEntry* pFound = nullptr;
    for (const NotifyMap* pMessageMap = GetNotifyMap(); pMessageMap != nullptr && pFound == nullptr;
         pMessageMap = pMessageMap->pfnGetBaseMap != nullptr ? pMessageMap->pfnGetBaseMap() : nullptr) {
        UIASSERT(pMessageMap->pfnGetBaseMap == nullptr || pMessageMap != (*pMessageMap->pfnGetBaseMap)());
        if (pMessageMap->pfnGetBaseMap != nullptr && pMessageMap == (*pMessageMap->pfnGetBaseMap)())
            break; // a map that is its own base would loop for ever
        pFound = FindEntry(pMessageMap->pEntries, msg, sSender);
    }
    if (pFound == nullptr)
        return false;
    switch (pFound->kind) {
    case NotifyKindWords:
        if (pFound->pfnWords == nullptr)
            return false;
        (this->*pFound->pfnWords)(msg.wParam, msg.lParam);
        return true;
    case NotifyKindRecord:
        if (pFound->pfnRecord == nullptr)
            return false;
        (this->*pFound->pfnRecord)(msg);
        return true;
    default:
        UIASSERT(0);
        return false;
    }
}

} // namespace SkinUI
