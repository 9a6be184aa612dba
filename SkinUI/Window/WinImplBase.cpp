#include "SkinUI/Window/WinImplBase.h"

#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIPlatformText.h"
#include "SkinUI/Utils/UITextConvert.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace SkinUI {

namespace {

// A copy of a skin archive resource. The paint manager reads the archive in place for as long as it is
// held open, which can be to the end of the process, so the copies are never freed; a resource that is
// asked for again reuses its copy.
struct ArchiveCopy
{
    HINSTANCE hModule;
    CUIString sName; // text name, or empty for an id
    WORD wId;
    const BYTE* pBytes;
    DWORD dwSize;
};

std::vector<ArchiveCopy>& ArchiveCopies()
{
    // Deliberately never destroyed: an archive still held open at exit reads from these blocks.
    static auto* s_pCopies = new std::vector<ArchiveCopy>();
    return *s_pCopies;
}

bool SameResource(const ArchiveCopy& copy, HINSTANCE hModule, const CUIResName& name)
{
    if (copy.hModule != hModule)
        return false;
    if (name.IsId())
        return copy.sName.IsEmpty() && copy.wId == name.Id();
    return !copy.sName.IsEmpty() && copy.sName.CompareIgnoreCase(name.Name()) == 0;
}

// The work area of the monitor nearest the window, relative to that monitor's top-left corner.
RECT RelativeWorkArea(HWND hWnd)
{
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &info);
    RECT rcWork = info.rcWork;
    ::OffsetRect(&rcWork, -info.rcMonitor.left, -info.rcMonitor.top);
    return rcWork;
}

} // namespace

WindowImplBase::~WindowImplBase()
{
    if (::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

const NotifyMap* WindowImplBase::ThisNotifyMap()
{
    static const NotifyMapEntry entries[] = {
        NotifyEntry("click", "", &WindowImplBase::OnClickNotify),
        NotifyMapEnd(),
    };
    static const NotifyMap map = {&CNotifyPump::ThisNotifyMap, entries};
    return &map;
}

const NotifyMap* WindowImplBase::GetNotifyMap() const
{
    return ThisNotifyMap();
}

void WindowImplBase::ReceiveNotify(NotifyEventUI& msg)
{
    DispatchNotify(msg);
}

LRESULT WindowImplBase::FilterMessage(UINT uMsg, WPARAM wParam, LPARAM /*lParam*/, bool& /*bHandled*/)
{
    if (uMsg != WM_KEYDOWN)
        return 0;
    if (wParam == VK_RETURN)
        return 0;
    if (wParam == VK_ESCAPE) {
        CloseWith(1);
        return 1;
    }
    return 0;
}

CControlUI* WindowImplBase::MakeControl(const char* /*pstrClass*/)
{
    return nullptr;
}

UINT WindowImplBase::ClassStyle() const
{
    return CS_DBLCLKS;
}

void WindowImplBase::OnSkinReady() {}

void WindowImplBase::OnClickNotify(NotifyEventUI& msg)
{
    if (msg.sender == nullptr)
        return;
    const CUIString sName = msg.sender->GetName();
    if (sName == "closebtn")
        CloseWith(1);
    else if (sName == "minbtn")
        Send(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (sName == "maxbtn")
        Send(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (sName == "restorebtn")
        Send(WM_SYSCOMMAND, SC_RESTORE, 0);
}

int WindowImplBase::SkinSourceKind() const
{
    return SKIN_FROM_FILE;
}

CUIString WindowImplBase::SkinArchiveName() const
{
    return CUIString();
}

CUIResName WindowImplBase::SkinResourceId() const
{
    return CUIResName("");
}

void WindowImplBase::OnSkinLoadFailed()
{
    ::MessageBoxW(nullptr, GbkToWide("加载资源文件失败").c_str(), L"SkinUI", MB_ICONERROR);
    ::ExitProcess(1);
}

DWORD WindowImplBase::FrameStyle() const
{
    return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)) & ~static_cast<DWORD>(WS_CAPTION);
}

LRESULT WindowImplBase::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    bool bHandled = true;
    LRESULT lRes = 0;
    switch (uMsg) {
    case WM_CREATE:
        lRes = HandleCreate(uMsg, wParam, lParam, bHandled);
        break;
    case WM_CLOSE:
        lRes = HandleClose(uMsg, wParam, lParam, bHandled);
        break;
    case WM_DESTROY:
        lRes = HandleDestroy(uMsg, wParam, lParam, bHandled);
        break;
    case WM_NCACTIVATE:
        lRes = HandleNcActivate(uMsg, wParam, lParam, bHandled);
        break;
    case WM_NCCALCSIZE:
        lRes = HandleNcCalcSize(uMsg, wParam, lParam, bHandled);
        break;
    case WM_NCPAINT:
        lRes = HandleNcPaint(uMsg, wParam, lParam, bHandled);
        break;
    case WM_NCHITTEST:
        lRes = HandleNcHitTest(uMsg, wParam, lParam, bHandled);
        break;
    case WM_GETMINMAXINFO:
        lRes = HandleGetMinMaxInfo(uMsg, wParam, lParam, bHandled);
        break;
    case WM_MOUSEWHEEL:
        lRes = HandleMouseWheel(uMsg, wParam, lParam, bHandled);
        break;
    case WM_MOUSEHOVER:
        lRes = HandleMouseHover(uMsg, wParam, lParam, bHandled);
        break;
    case WM_SIZE:
        lRes = HandleSize(uMsg, wParam, lParam, bHandled);
        break;
    case WM_CHAR:
        lRes = HandleChar(uMsg, wParam, lParam, bHandled);
        break;
    case WM_SYSCOMMAND:
        lRes = HandleSysCommand(uMsg, wParam, lParam, bHandled);
        break;
    case WM_KEYDOWN:
        lRes = HandleKeyDown(uMsg, wParam, lParam, bHandled);
        break;
    case WM_KILLFOCUS:
        lRes = HandleKillFocus(uMsg, wParam, lParam, bHandled);
        break;
    case WM_SETFOCUS:
        lRes = HandleSetFocus(uMsg, wParam, lParam, bHandled);
        break;
    case WM_LBUTTONDOWN:
        lRes = HandleLButtonDown(uMsg, wParam, lParam, bHandled);
        break;
    case WM_LBUTTONUP:
        lRes = HandleLButtonUp(uMsg, wParam, lParam, bHandled);
        break;
    case WM_MOUSEMOVE:
        lRes = HandleMouseMove(uMsg, wParam, lParam, bHandled);
        break;
    default:
        bHandled = false;
        break;
    }
    if (bHandled)
        return lRes;
    lRes = HandleOtherMessage(uMsg, wParam, lParam, bHandled);
    if (bHandled)
        return lRes;
    if (m_pm.HandleWindowMessage(uMsg, wParam, lParam, lRes))
        return lRes;
    return CWindowWnd::OnMessage(uMsg, wParam, lParam);
}

void WindowImplBase::OnWindowGone(HWND /*hWnd*/)
{
    m_pm.UnregisterPreMessageFilter(this);
    m_pm.UnregisterNotifier(this);
    if (CControlUI* pRoot = m_pm.GetRootControl())
        m_pm.ForgetControl(pRoot);
}

LRESULT WindowImplBase::HandleClose(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleDestroy(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleNcActivate(UINT, WPARAM wParam, LPARAM, bool& bHandled)
{
    if (::IsIconic(m_hWnd))
        bHandled = false;
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::HandleNcCalcSize(UINT, WPARAM, LPARAM lParam, bool& /*bHandled*/)
{
    // For both values of wParam the record starts with the rectangle to adjust.
    auto* pRect = reinterpret_cast<RECT*>(lParam);
    if (!::IsZoomed(m_hWnd) || pRect == nullptr)
        return 0; // the whole window is client area: no frame
    const RECT rcWork = RelativeWorkArea(m_hWnd);
    pRect->right = pRect->left + (rcWork.right - rcWork.left);
    pRect->bottom = pRect->top + (rcWork.bottom - rcWork.top);
    return WVR_REDRAW;
}

LRESULT WindowImplBase::HandleNcPaint(UINT, WPARAM, LPARAM, bool& /*bHandled*/)
{
    return 0;
}

LRESULT WindowImplBase::HandleNcHitTest(UINT, WPARAM, LPARAM lParam, bool& /*bHandled*/)
{
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ScreenToClient(m_hWnd, &pt);
    RECT rcClient = {};
    ::GetClientRect(m_hWnd, &rcClient);

    if (!::IsZoomed(m_hWnd)) {
        // The skin's frame lengths are logical: hit-tested at the window's scale.
        const RECT rcBorder = m_pm.ScaleRect(m_pm.GetResizeBorder());
        const bool bLeft = pt.x < rcClient.left + rcBorder.left;
        const bool bRight = pt.x > rcClient.right - rcBorder.right;
        if (pt.y < rcClient.top + rcBorder.top)
            return bLeft ? HTTOPLEFT : (bRight ? HTTOPRIGHT : HTTOP);
        if (pt.y > rcClient.bottom - rcBorder.bottom)
            return bLeft ? HTBOTTOMLEFT : (bRight ? HTBOTTOMRIGHT : HTBOTTOM);
        if (bLeft)
            return HTLEFT;
        if (bRight)
            return HTRIGHT;
    }

    // The caption's left and right are insets from the sides, its top and bottom absolute.
    const RECT rcCaption = m_pm.ScaleRect(m_pm.GetCaptionArea());
    if (pt.x >= rcClient.left + rcCaption.left && pt.x < rcClient.right - rcCaption.right && pt.y >= rcCaption.top &&
        pt.y < rcCaption.bottom && m_pm.GetRootControl() != nullptr) {
        CControlUI* pControl = m_pm.FindControlAt(pt);
        if (pControl != nullptr) {
            // Clickable controls in the caption area stay client area.
            const CUIString sClass = pControl->GetClassName();
            if (sClass.CompareIgnoreCase("ButtonUI") != 0 && sClass.CompareIgnoreCase("OptionUI") != 0 &&
                sClass.CompareIgnoreCase("TextUI") != 0 && sClass.CompareIgnoreCase("FadeButtonUI") != 0)
                return HTCAPTION;
        }
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::HandleGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& bHandled)
{
    auto* pInfo = reinterpret_cast<MINMAXINFO*>(lParam);
    if (pInfo != nullptr) {
        const RECT rcWork = RelativeWorkArea(m_hWnd);
        pInfo->ptMaxPosition.x = rcWork.left;
        pInfo->ptMaxPosition.y = rcWork.top;
        pInfo->ptMaxTrackSize.x = rcWork.right - rcWork.left;
        pInfo->ptMaxTrackSize.y = rcWork.bottom - rcWork.top;
        const SIZE szMin = m_pm.ScaleSize(m_pm.GetMinimumSize());
        pInfo->ptMinTrackSize.x = szMin.cx;
        pInfo->ptMinTrackSize.y = szMin.cy;
    }
    bHandled = false; // the paint manager applies its own limits next
    return 0;
}

LRESULT WindowImplBase::HandleMouseWheel(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleMouseHover(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleSize(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false; // the paint manager lays the tree out again
    const SIZE szRound = m_pm.ScaleSize(m_pm.GetCornerRounding());
    if ((szRound.cx == 0 && szRound.cy == 0) || ::IsIconic(m_hWnd))
        return 0;
    RECT rcWnd = {};
    ::GetWindowRect(m_hWnd, &rcWnd);
    ::OffsetRect(&rcWnd, -rcWnd.left, -rcWnd.top);
    const HRGN hRgn = ::CreateRoundRectRgn(0, 0, rcWnd.right + 1, rcWnd.bottom + 1, szRound.cx, szRound.cy);
    if (hRgn == nullptr)
        return 0;
    // Once set, the region belongs to the system, which frees it when it is replaced or the window goes;
    // deleting it here would free a handle still in use (and later another object that reuses it).
    if (::SetWindowRgn(m_hWnd, hRgn, TRUE) == 0)
        ::DeleteObject(hRgn);
    return 0;
}

LRESULT WindowImplBase::HandleChar(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& /*bHandled*/)
{
    // The low four bits of the command are the system's own.
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        Send(WM_CLOSE, 0, 0);
        return 0;
    }
    return CWindowWnd::OnMessage(uMsg, wParam, lParam);
}

bool WindowImplBase::OpenArchiveResource()
{
    const CUIResName resId = SkinResourceId();
    const HINSTANCE hModule = CPaintManagerUI::GetResourceModule();
    for (const ArchiveCopy& copy : ArchiveCopies()) {
        if (SameResource(copy, hModule, resId)) {
            CPaintManagerUI::SetResourceArchiveMemory(copy.pBytes, copy.dwSize);
            return true;
        }
    }
    const HRSRC hResource = FindGbkResource(hModule, resId.Name(), "ZIPRES");
    if (hResource == nullptr)
        return false;
    const HGLOBAL hGlobal = ::LoadResource(hModule, hResource);
    const DWORD dwSize = ::SizeofResource(hModule, hResource);
    const void* pResource = hGlobal != nullptr ? ::LockResource(hGlobal) : nullptr;
    BYTE* pBytes = nullptr;
    if (pResource != nullptr && dwSize > 0) {
        pBytes = new (std::nothrow) BYTE[dwSize];
        if (pBytes != nullptr)
            std::memcpy(pBytes, pResource, dwSize);
    }
    if (hGlobal != nullptr)
        ::FreeResource(hGlobal);
    if (pBytes == nullptr)
        return false;
    ArchiveCopy copy = {hModule, resId.IsId() ? CUIString() : CUIString(resId.Name()),
                        static_cast<WORD>(resId.IsId() ? resId.Id() : 0), pBytes, dwSize};
    ArchiveCopies().push_back(copy);
    CPaintManagerUI::SetResourceArchiveMemory(pBytes, dwSize);
    return true;
}

LRESULT WindowImplBase::HandleCreate(UINT, WPARAM, LPARAM, bool& /*bHandled*/)
{
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(FrameStyle() | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    RECT rcClient = {};
    ::GetClientRect(m_hWnd, &rcClient);
    ::SetWindowPos(m_hWnd, nullptr, rcClient.left, rcClient.top, rcClient.right - rcClient.left,
                   rcClient.bottom - rcClient.top, SWP_FRAMECHANGED);

    m_pm.AttachWindow(m_hWnd);
    m_pm.RegisterPreMessageFilter(this);

    const CUIString sFolder = CPaintManagerUI::GetModuleFolder() + SkinFolderName();
    CPaintManagerUI::SetResourceFolder(sFolder.Chars());

    const int nKind = SkinSourceKind();
    // A skin archive resource that cannot be had ends like a skin without controls: the user is told,
    // rather than left with an empty, invisible window.
    bool bSourceReady = true;
    if (nKind == SKIN_FROM_ARCHIVE_FILE)
        CPaintManagerUI::SetResourceArchiveFile(SkinArchiveName().Chars(), true);
    else if (nKind == SKIN_FROM_ARCHIVE_RESOURCE)
        bSourceReady = OpenArchiveResource();

    CControlUI* pRoot = nullptr;
    if (bSourceReady) {
        CSkinBuilder builder;
        const CUIString sFile = SkinFileName();
        if (nKind == SKIN_FROM_RESOURCE) {
            const int nId = std::atoi(sFile.Chars());
            pRoot = builder.Build(CUIResName(nId), "xml", this, &m_pm);
        } else {
            pRoot = builder.Build(sFile.Chars(), nullptr, this, &m_pm);
        }
    }
    UIASSERT(pRoot);
    if (pRoot == nullptr) {
        OnSkinLoadFailed();
        return -1; // an override that returns: no window without a skin
    }

    m_pm.SetRootControl(pRoot);
    m_pm.RegisterNotifier(this);
    m_pm.SetBackdropSnapshot(true);
    OnSkinReady();
    return 0;
}

LRESULT WindowImplBase::HandleKeyDown(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleKillFocus(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleSetFocus(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleLButtonDown(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleLButtonUp(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleMouseMove(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleOtherMessage(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

} // namespace SkinUI
