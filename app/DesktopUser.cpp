#include "app/DesktopUser.h"

#include "app/ComRef.h"
#include "app/DesktopShortcut.h"
#include "app/InstallFiles.h"

#include <exdisp.h>
#include <knownfolders.h>
#include <oleauto.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cwchar>

namespace {

std::wstring ErrorNote(const wchar_t* pwstrWhat, DWORD dwError)
{
    wchar_t sz[32] = {};
    std::swprintf(sz, 32, L" (error 0x%08lx)", static_cast<unsigned long>(dwError));
    return pwstrWhat + std::wstring(sz);
}

// The token of the process that owns the desktop shell's window; false (and why) when there is none or it
// cannot be opened.
bool OpenShellToken(CScopedHandle& token, std::wstring& strWhy)
{
    const HWND hShell = ::GetShellWindow();
    if (hShell == nullptr) {
        strWhy = L"no desktop shell runs";
        return false;
    }
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hShell, &dwProcessId);
    CScopedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId));
    if (process.Get() == nullptr) {
        strWhy = ErrorNote(L"the desktop shell's process cannot be opened", ::GetLastError());
        return false;
    }
    if (!::OpenProcessToken(process.Get(), TOKEN_QUERY | TOKEN_IMPERSONATE | TOKEN_DUPLICATE, token.Out())) {
        strWhy = ErrorNote(L"the desktop shell's token cannot be opened", ::GetLastError());
        return false;
    }
    return true;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id, HANDLE hToken, HRESULT& hr)
{
    wchar_t* pwstrPath = nullptr;
    hr = ::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, hToken, &pwstrPath);
    std::wstring strPath = SUCCEEDED(hr) && pwstrPath != nullptr ? pwstrPath : L"";
    ::CoTaskMemFree(pwstrPath);
    return strPath;
}

// The desktop shell's automation object (IShellDispatch2), reached through the desktop's window in the shell
// windows list, its browser, its active view and that view's background object.
HRESULT DesktopShellDispatch(CComRef<IShellDispatch2>& shell)
{
    CComRef<IShellWindows> windows;
    HRESULT hr =
        ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.OutVoid());
    if (FAILED(hr))
        return hr;
    VARIANT vLocation;
    ::VariantInit(&vLocation);
    vLocation.vt = VT_I4;
    vLocation.lVal = CSIDL_DESKTOP;
    VARIANT vEmpty;
    ::VariantInit(&vEmpty);
    long lWnd = 0;
    CComRef<IDispatch> desktop;
    hr = windows->FindWindowSW(&vLocation, &vEmpty, SWC_DESKTOP, &lWnd, SWFO_NEEDDISPATCH, desktop.Out());
    if (hr != S_OK || !desktop)
        return FAILED(hr) ? hr : E_FAIL; // S_FALSE: the shell has no desktop window
    CComRef<IServiceProvider> services;
    CComRef<IShellBrowser> browser;
    CComRef<IShellView> view;
    CComRef<IDispatch> background;
    CComRef<IShellFolderViewDual> folderView;
    CComRef<IDispatch> application;
    if (FAILED(hr = desktop->QueryInterface(IID_IServiceProvider, services.OutVoid())) ||
        FAILED(hr = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.OutVoid())) ||
        FAILED(hr = browser->QueryActiveShellView(view.Out())) ||
        FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid())) ||
        FAILED(hr = background->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid())) ||
        FAILED(hr = folderView->get_Application(application.Out())))
        return hr;
    return application->QueryInterface(IID_IShellDispatch2, shell.OutVoid());
}

// A VARIANT holding a copy of a text, cleared at the end of its scope.
class CTextVariant
{
public:
    explicit CTextVariant(const std::wstring& strText)
    {
        ::VariantInit(&m_v);
        m_v.vt = VT_BSTR;
        m_v.bstrVal = ::SysAllocStringLen(strText.c_str(), static_cast<UINT>(strText.size()));
    }
    ~CTextVariant() { ::VariantClear(&m_v); }
    CTextVariant(const CTextVariant&) = delete;
    CTextVariant& operator=(const CTextVariant&) = delete;
    bool IsValid() const { return m_v.bstrVal != nullptr; }
    const VARIANT& Get() const { return m_v; }

private:
    VARIANT m_v;
};

} // namespace

SDesktopUserFolders GetDesktopUserFolders()
{
    SDesktopUserFolders folders;
    CScopedHandle token;
    if (OpenShellToken(token, folders.strNote)) {
        HRESULT hrDesktop = S_OK, hrPrograms = S_OK;
        folders.strDesktop = KnownFolder(FOLDERID_Desktop, token.Get(), hrDesktop);
        folders.strPrograms = KnownFolder(FOLDERID_Programs, token.Get(), hrPrograms);
        if (!folders.strDesktop.empty() && !folders.strPrograms.empty()) {
            folders.bShellUser = true;
            folders.strNote = L"the desktop shell's account";
            return folders;
        }
        folders.strNote = ErrorNote(L"the desktop shell's folders cannot be read",
                                    static_cast<DWORD>(FAILED(hrDesktop) ? hrDesktop : hrPrograms));
    }
    // The installer's own account: the desktop folder as the shortcut has always found it.
    HRESULT hr = S_OK;
    folders.strDesktop = GetDesktopFolder();
    folders.strPrograms = KnownFolder(FOLDERID_Programs, nullptr, hr);
    folders.strNote += L"; the installer's own account";
    return folders;
}

SLaunchResult StartAsDesktopUser(const std::wstring& strExe, const std::wstring& strFolder)
{
    SLaunchResult result;
    if (::GetShellWindow() != nullptr) {
        // A shell runs: it starts the client, or nothing does (never the installer's administrator token).
        result.ePath = LaunchPath::DesktopShell;
        CComRef<IShellDispatch2> shell;
        HRESULT hr = DesktopShellDispatch(shell);
        if (FAILED(hr)) {
            result.dwError = static_cast<DWORD>(hr);
            result.strNote = L"the desktop shell cannot be asked to start programs";
            return result;
        }
        CTextVariant vArguments(L""), vFolder(strFolder), vVerb(L"open");
        VARIANT vShow;
        ::VariantInit(&vShow);
        vShow.vt = VT_I4;
        vShow.lVal = SW_SHOWNORMAL;
        BSTR bstrFile = ::SysAllocStringLen(strExe.c_str(), static_cast<UINT>(strExe.size()));
        hr = bstrFile != nullptr && vFolder.IsValid() && vVerb.IsValid()
                 ? shell->ShellExecute(bstrFile, vArguments.Get(), vFolder.Get(), vVerb.Get(), vShow)
                 : E_OUTOFMEMORY;
        ::SysFreeString(bstrFile);
        result.bStarted = SUCCEEDED(hr);
        result.dwError = result.bStarted ? 0 : static_cast<DWORD>(hr);
        result.strNote = result.bStarted ? L"started by the desktop shell" : L"the desktop shell refused to start it";
        return result;
    }
    // No desktop shell (a system without one, or Wine): nobody else can start it.
    result.ePath = LaunchPath::Direct;
    result.strNote = L"no desktop shell runs: started directly, with the installer's rights";
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = strExe.c_str();
    info.lpDirectory = strFolder.c_str();
    info.nShow = SW_SHOW;
    result.bStarted = ::ShellExecuteExW(&info) != FALSE;
    result.dwError = result.bStarted ? 0 : ::GetLastError();
    return result;
}
