#include "app/DesktopShortcut.h"

#include "SkinUI/Utils/UITextConvert.h"

#include "tests/zip/ZipTestSupport.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

using namespace ZipTest;
using SkinUI::GbkToWide;

namespace {

// COM for the test thread, as the installer's entry initialises it.
class CComScope
{
public:
    CComScope() { m_bOk = SUCCEEDED(::CoInitialize(nullptr)); }
    ~CComScope()
    {
        if (m_bOk)
            ::CoUninitialize();
    }
    bool m_bOk;
};

struct LinkInfo
{
    bool bLoaded = false;
    std::wstring strPath;
    std::wstring strWorkingFolder;
};

LinkInfo ReadLink(const std::wstring& strLink)
{
    LinkInfo info;
    IShellLinkW* pLink = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&pLink))))
        return info;
    IPersistFile* pFile = nullptr;
    if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
        if (SUCCEEDED(pFile->Load(strLink.c_str(), STGM_READ))) {
            wchar_t sz[MAX_PATH] = {};
            info.bLoaded = true;
            // The target as its item list names it: the link's stored path text is kept in the system's code
            // page by Wine (Windows keeps it in UTF-16 as well), the item list in UTF-16 by both.
            LPITEMIDLIST pidl = nullptr;
            if (SUCCEEDED(pLink->GetIDList(&pidl)) && pidl != nullptr) {
                if (::SHGetPathFromIDListW(pidl, sz))
                    info.strPath = sz;
                ::CoTaskMemFree(pidl);
            }
            pLink->GetWorkingDirectory(sz, MAX_PATH);
            info.strWorkingFolder = sz;
        }
        pFile->Release();
    }
    pLink->Release();
    return info;
}

std::wstring Wide(const std::string& strGbk)
{
    return GbkToWide(strGbk.c_str());
}

// A file made through the wide calls, so that a Chinese path is the same under every code page.
bool WriteWideFile(const std::string& strPath)
{
    const HANDLE h = ::CreateFileW(Wide(strPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD dw = 0;
    const bool bOk = ::WriteFile(h, "MZ", 2, &dw, nullptr) && dw == 2;
    ::CloseHandle(h);
    return bOk;
}

} // namespace

TEST(DesktopShortcut, LinkPointsAtTheClientAndWorksInItsFolder)
{
    CComScope com;
    ASSERT_TRUE(com.m_bOk);
    CScratchFolder desktop("desktop");
    CScratchFolder scratch("install");
    const std::string install = scratch / "安装";
    ASSERT_TRUE(::CreateDirectoryW(Wide(install).c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(Wide(install + "\\VeltaraClient").c_str(), nullptr));
    const std::string exe = install + "\\VeltaraClient\\VeltaraClient.exe";
    const std::string otherExe = install + "\\Other.exe";
    ASSERT_TRUE(WriteWideFile(exe));
    ASSERT_TRUE(WriteWideFile(otherExe));

    // The second placement replaces the first link.
    for (const std::string& target : {otherExe, exe}) {
        ASSERT_TRUE(PlaceDesktopShortcut(Wide(desktop.Path()), target.c_str())) << target;
        const LinkInfo link = ReadLink(Wide(desktop / "Veltara.lnk"));
        ASSERT_TRUE(link.bLoaded) << target;
        EXPECT_EQ(::lstrcmpiW(link.strPath.c_str(), Wide(target).c_str()), 0)
            << SkinUI::WideToUtf8(link.strPath.c_str());
        EXPECT_EQ(::lstrcmpiW(link.strWorkingFolder.c_str(), Wide(target.substr(0, target.rfind('\\'))).c_str()), 0);
    }
    EXPECT_EQ(desktop.Tree(), (std::set<std::string>{"Veltara.lnk"}));
    // A link that cannot be saved is reported.
    EXPECT_FALSE(CreateDesktopShortcut(exe.c_str(), Wide(desktop / "NoSuchFolder\\Veltara.lnk").c_str()));
    ::DeleteFileW(Wide(exe).c_str());
    ::DeleteFileW(Wide(otherExe).c_str());
    ::RemoveDirectoryW(Wide(install + "\\VeltaraClient").c_str());
    ::RemoveDirectoryW(Wide(install).c_str());
}

// A user whose name GBK lacks (accented Latin, an emoji) still gets the link in that very desktop folder.
TEST(DesktopShortcut, DesktopNamedBeyondGbkGetsTheLink)
{
    CComScope com;
    ASSERT_TRUE(com.m_bOk);
    CScratchFolder scratch("desktop-beyond");
    CScratchFolder install("install-beyond");
    const std::string exe = install / "VeltaraClient.exe";
    ASSERT_TRUE(WriteWholeFile(exe, "MZ"));
    for (const wchar_t* pwstrName : {L"\u0141ukasz-A\u00f1o", L"\U0001F3AE"}) {
        const std::wstring strDesktop = Wide(scratch.Path()) + L"\\" + pwstrName;
        ASSERT_TRUE(::CreateDirectoryW(strDesktop.c_str(), nullptr));
        ASSERT_TRUE(PlaceDesktopShortcut(strDesktop, exe.c_str()));
        const LinkInfo link = ReadLink(strDesktop + L"\\Veltara.lnk");
        EXPECT_TRUE(link.bLoaded);
        EXPECT_EQ(::lstrcmpiW(link.strPath.c_str(), Wide(exe).c_str()), 0);
        ::DeleteFileW((strDesktop + L"\\Veltara.lnk").c_str());
        ::RemoveDirectoryW(strDesktop.c_str());
    }
}

TEST(DesktopShortcut, EmptyDesktopFolderSkipsTheLink)
{
    CComScope com;
    CScratchFolder scratch("rootless");
    CCurrentFolder cwd(scratch.Path());
    ASSERT_TRUE(cwd.Ok());
    const std::string rootLink = scratch.Path().substr(0, 3) + "Veltara.lnk";
    const bool bExistedBefore = ::GetFileAttributesA(rootLink.c_str()) != INVALID_FILE_ATTRIBUTES;
    const std::string exe = scratch / "VeltaraClient.exe";
    EXPECT_FALSE(PlaceDesktopShortcut(std::wstring(), exe.c_str()));
    EXPECT_TRUE(scratch.Tree().empty());
    if (!bExistedBefore) {
        EXPECT_EQ(::GetFileAttributesA(rootLink.c_str()), INVALID_FILE_ATTRIBUTES) << "a link at the drive root";
    }

    const std::wstring desktop = GetDesktopFolder();
    ASSERT_FALSE(desktop.empty());
    const DWORD dw = ::GetFileAttributesW(desktop.c_str());
    EXPECT_TRUE(dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY));
}
