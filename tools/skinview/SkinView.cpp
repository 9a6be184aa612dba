// SkinView: shows a skin in a skinned window and puts it into a chosen state, so that every page of a skin
// can be looked at (and screenshots taken) without the program it belongs to.
//
// Usage: SkinView.exe [options] <skin folder with skin.xml | zip archive with skin.xml>
//   --select <tab layout>=<index>     show that page of a tab layout (repeatable, applied in order)
//   --show <control>=0|1              hide or show a control
//   --text <control>=<text>           set a control's text (taken as given, in the ANSI code page)
//   --value <control>=<n>             set a control's value (a progress bar's, say)
//   --attr <control>:<attribute>=<v>  apply any skin attribute to a control
//   --shadow                          give the window its drop shadow
//   --title <text>                    the window's title (default "SkinView")
//   --exit-after <ms>                 close the window after that time
// Exit code: 0 when the window was closed, 1 when the skin cannot be loaded, 2 for bad arguments.
// Controls that the skin does not have are reported on stderr and skipped.
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Layout/UITabLayout.h"
#include "SkinUI/Window/WinImplBase.h"
#include "SkinUI/Window/WindowShadow.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

constexpr UINT_PTR kExitTimer = 1;

// One state change, applied once the skin is built.
struct Change
{
    std::string sOption; // "--select", "--show", "--text" or "--attr"
    std::string sControl;
    std::string sAttribute; // --attr only
    std::string sValue;
};

struct Options
{
    std::string sFolder;  // the skin's folder relative to the program's folder
    std::string sArchive; // zip file name in that folder, or empty for plain files
    std::vector<Change> changes;
    bool bShadow = false;
    std::string sTitle = "SkinView";
    UINT uExitAfter = 0;
};

int Usage(const char* pstrProblem)
{
    std::fprintf(stderr,
                 "SkinView: %s\n"
                 "usage: SkinView [--select tab=i] [--show name=0|1] [--text name=text] [--value name=n]\n"
                 "                [--attr name:attribute=value] [--shadow] [--title text] [--exit-after ms]\n"
                 "                <skin folder | skin.zip>\n",
                 pstrProblem);
    return 2;
}

// Splits "name=value" (and for --attr "name:attribute=value") at the first separators.
bool ParseChange(const std::string& sOption, const std::string& sArg, Change& change)
{
    const size_t nEq = sArg.find('=');
    if (nEq == std::string::npos || nEq == 0)
        return false;
    change.sOption = sOption;
    change.sControl = sArg.substr(0, nEq);
    change.sValue = sArg.substr(nEq + 1);
    if (sOption == "--value") {
        change.sOption = "--attr";
        change.sAttribute = "value";
    } else if (sOption == "--attr") {
        const size_t nColon = change.sControl.find(':');
        if (nColon == std::string::npos || nColon == 0 || nColon + 1 == change.sControl.size())
            return false;
        change.sAttribute = change.sControl.substr(nColon + 1);
        change.sControl.resize(nColon);
    }
    return true;
}

// Where the skin lies, as the window base wants it: a folder relative to the program's own folder.
bool LocateSkin(const char* pstrPath, Options& opts)
{
    char szFull[MAX_PATH] = {};
    const DWORD nFull = ::GetFullPathNameA(pstrPath, MAX_PATH, szFull, nullptr);
    if (nFull == 0 || nFull >= MAX_PATH)
        return false;
    const DWORD dwAttr = ::GetFileAttributesA(szFull);
    if (dwAttr == INVALID_FILE_ATTRIBUTES)
        return false;
    std::string sFolder = szFull;
    if ((dwAttr & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        const char* pstrName = ::PathFindFileNameA(szFull);
        opts.sArchive = pstrName;
        sFolder.resize(static_cast<size_t>(pstrName - szFull));
    }
    char szRelative[MAX_PATH] = {};
    const CUIString sModuleFolder = CPaintManagerUI::GetModuleFolder();
    if (!::PathRelativePathToA(szRelative, sModuleFolder.Chars(), FILE_ATTRIBUTE_DIRECTORY, sFolder.c_str(),
                               FILE_ATTRIBUTE_DIRECTORY))
        return false; // another drive
    opts.sFolder = szRelative;
    return true;
}

class CSkinViewWnd : public WindowImplBase
{
public:
    explicit CSkinViewWnd(const Options& opts) : m_opts(opts) {}

protected:
    const char* WindowClassName() const override { return "SkinViewWnd"; }
    CUIString SkinFolderName() const override { return m_opts.sFolder.c_str(); }
    CUIString SkinFileName() const override { return "skin.xml"; }
    int SkinSourceKind() const override { return m_opts.sArchive.empty() ? SKIN_FROM_FILE : SKIN_FROM_ARCHIVE_FILE; }
    CUIString SkinArchiveName() const override { return m_opts.sArchive.c_str(); }

    // A tool run from scripts: no message box to wait for.
    void OnSkinLoadFailed() override
    {
        std::fprintf(stderr, "SkinView: the skin cannot be loaded or has no controls\n");
        std::fflush(stderr);
        ::ExitProcess(1);
    }

    void OnSkinReady() override
    {
        for (const Change& change : m_opts.changes)
            Apply(change);
        if (m_opts.bShadow) {
            CWindowShadow::RegisterShadowClass(CPaintManagerUI::GetModuleInstance());
            m_shadow.AttachToWindow(m_hWnd);
            m_shadow.SetShadowSize(6);
            m_shadow.SetShadowOffset(0, 0);
        }
        if (m_opts.uExitAfter > 0)
            ::SetTimer(m_hWnd, kExitTimer, m_opts.uExitAfter, nullptr);
    }

    LRESULT HandleOtherMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override
    {
        if (uMsg == WM_TIMER && wParam == kExitTimer) {
            ::KillTimer(m_hWnd, kExitTimer);
            CloseWith(0);
            return 0;
        }
        return WindowImplBase::HandleOtherMessage(uMsg, wParam, lParam, bHandled);
    }

private:
    void Apply(const Change& change)
    {
        CControlUI* pControl = m_pm.FindControlByName(change.sControl.c_str());
        if (pControl == nullptr) {
            std::fprintf(stderr, "SkinView: %s: the skin has no control \"%s\"\n", change.sOption.c_str(),
                         change.sControl.c_str());
            return;
        }
        if (change.sOption == "--select") {
            auto* pTab = static_cast<CTabLayoutUI*>(pControl->GetInterface("TabLayout"));
            if (pTab == nullptr || !pTab->SelectItem(std::atoi(change.sValue.c_str())))
                std::fprintf(stderr, "SkinView: --select: \"%s\" is no tab layout or has no page %s\n",
                             change.sControl.c_str(), change.sValue.c_str());
        } else if (change.sOption == "--show") {
            pControl->SetVisible(change.sValue != "0");
        } else if (change.sOption == "--text") {
            pControl->SetText(change.sValue.c_str());
        } else {
            pControl->ApplyAttribute(change.sAttribute.c_str(), change.sValue.c_str());
        }
    }

    const Options& m_opts;
    CWindowShadow m_shadow;
};

} // namespace

int main(int argc, char** argv)
{
    // DPI-aware like the installer (whose manifest says so): the skin is shown at the display's scale.
    using SetProcessDpiAwareFn = BOOL(WINAPI*)();
    if (const auto pfn = reinterpret_cast<SetProcessDpiAwareFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDPIAware"))))
        pfn();
    CPaintManagerUI::SetModuleInstance(::GetModuleHandleA(nullptr));
    Options opts;
    const char* pstrSkin = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string sArg = argv[i];
        if (sArg == "--shadow") {
            opts.bShadow = true;
        } else if (sArg == "--title" || sArg == "--exit-after" || sArg == "--select" || sArg == "--show" ||
                   sArg == "--text" || sArg == "--value" || sArg == "--attr") {
            if (i + 1 >= argc)
                return Usage((sArg + " needs a value").c_str());
            const char* pstrValue = argv[++i];
            if (sArg == "--title") {
                opts.sTitle = pstrValue;
            } else if (sArg == "--exit-after") {
                opts.uExitAfter = static_cast<UINT>(std::strtoul(pstrValue, nullptr, 10));
            } else {
                Change change;
                if (!ParseChange(sArg, pstrValue, change))
                    return Usage((sArg + " " + pstrValue + ": malformed").c_str());
                opts.changes.push_back(change);
            }
        } else if (sArg.compare(0, 2, "--") == 0 || pstrSkin != nullptr) {
            return Usage(("unexpected argument " + sArg).c_str());
        } else {
            pstrSkin = argv[i];
        }
    }
    if (pstrSkin == nullptr)
        return Usage("no skin given");
    if (!LocateSkin(pstrSkin, opts))
        return Usage((std::string(pstrSkin) + ": no such folder or archive on the program's drive").c_str());

    CSkinViewWnd wnd(opts);
    if (wnd.CreateHostWindow(nullptr, opts.sTitle.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0) ==
        nullptr)
        return 1;
    wnd.CenterOnOwner();
    wnd.RunModal();
    return 0;
}
