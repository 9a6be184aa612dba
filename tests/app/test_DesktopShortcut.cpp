#include "app/DesktopShortcut.h"

#include "tests/zip/ZipTestSupport.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ZipTest;

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
    std::string strPath;
    std::string strWorkingFolder;
};

LinkInfo ReadLink(const std::string& strLink)
{
    LinkInfo info;
    IShellLinkA* pLink = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&pLink))))
        return info;
    IPersistFile* pFile = nullptr;
    if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
        std::vector<wchar_t> wide(MAX_PATH);
        ::MultiByteToWideChar(CP_ACP, 0, strLink.c_str(), -1, wide.data(), MAX_PATH);
        if (SUCCEEDED(pFile->Load(wide.data(), STGM_READ))) {
            char sz[MAX_PATH] = {};
            info.bLoaded = true;
            pLink->GetPath(sz, MAX_PATH, nullptr, SLGP_RAWPATH);
            info.strPath = sz;
            pLink->GetWorkingDirectory(sz, MAX_PATH);
            info.strWorkingFolder = sz;
        }
        pFile->Release();
    }
    pLink->Release();
    return info;
}

} // namespace

TEST(DesktopShortcut, LinkPointsAtTheClientAndWorksInItsFolder)
{
    CComScope com;
    ASSERT_TRUE(com.m_bOk);
    CScratchFolder desktop("desktop");
    CScratchFolder install("安装");
    ASSERT_TRUE(::CreateDirectoryA((install / "VeltaraClient").c_str(), nullptr));
    const std::string exe = install / "VeltaraClient\\VeltaraClient.exe";
    const std::string otherExe = install / "Other.exe";
    ASSERT_TRUE(WriteWholeFile(exe, "MZ"));
    ASSERT_TRUE(WriteWholeFile(otherExe, "MZ"));

    // The second placement replaces the first link.
    for (const std::string& target : {otherExe, exe}) {
        ASSERT_TRUE(PlaceDesktopShortcut(desktop.Path().c_str(), target.c_str())) << target;
        const LinkInfo link = ReadLink(desktop / "Veltara.lnk");
        ASSERT_TRUE(link.bLoaded) << target;
        EXPECT_STRCASEEQ(link.strPath.c_str(), target.c_str());
        EXPECT_STRCASEEQ(link.strWorkingFolder.c_str(), target.substr(0, target.rfind('\\')).c_str());
    }
    EXPECT_EQ(desktop.Tree(), (std::set<std::string>{"Veltara.lnk"}));
    // A link that cannot be saved is reported.
    EXPECT_FALSE(CreateDesktopShortcut(exe.c_str(), (desktop / "NoSuchFolder\\Veltara.lnk").c_str()));
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
    EXPECT_FALSE(PlaceDesktopShortcut("", exe.c_str()));
    EXPECT_FALSE(PlaceDesktopShortcut(nullptr, exe.c_str()));
    EXPECT_TRUE(scratch.Tree().empty());
    if (!bExistedBefore) {
        EXPECT_EQ(::GetFileAttributesA(rootLink.c_str()), INVALID_FILE_ATTRIBUTES) << "a link at the drive root";
    }

    const std::string desktop = GetDesktopFolder().Chars();
    ASSERT_FALSE(desktop.empty());
    const DWORD dw = ::GetFileAttributesA(desktop.c_str());
    EXPECT_TRUE(dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY)) << desktop;
}
