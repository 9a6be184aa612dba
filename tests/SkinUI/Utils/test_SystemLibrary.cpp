#include "SkinUI/Utils/SystemLibrary.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

using SkinUI::CUISystemLibrary;

namespace {
std::string ModulePath(HMODULE hModule)
{
    char szPath[MAX_PATH] = {};
    ::GetModuleFileNameA(hModule, szPath, MAX_PATH);
    return szPath;
}

bool IsBelow(const std::string& path, const char* pstrFolder)
{
    return _strnicmp(path.c_str(), pstrFolder, std::strlen(pstrFolder)) == 0;
}

// The common controls' assembly folder (Windows and Wine name it alike). Wine's copy there reports version 5 from
// DllGetVersion, so the folder is what tells the two apart.
bool IsCommonControlsAssembly(std::string path)
{
    for (char& c : path)
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return path.find("\\winsxs\\") != std::string::npos &&
           path.find("microsoft.windows.common-controls_6595b64144ccf1df_6.") != std::string::npos;
}
} // namespace

TEST(SystemLibrary, LoadsFromTheSystemFolderByFullPath)
{
    CUISystemLibrary lib("msimg32.dll");
    ASSERT_TRUE(lib.IsLoaded());
    EXPECT_NE(lib.Proc("AlphaBlend"), nullptr);
    char szSystem[MAX_PATH] = {};
    ::GetSystemDirectoryA(szSystem, MAX_PATH);
    EXPECT_TRUE(IsBelow(ModulePath(lib.Handle()), szSystem)) << ModulePath(lib.Handle());

    CUISystemLibrary missing("no-such-library-here.dll");
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(missing.Proc("Anything"), nullptr);
}

TEST(SystemLibrary, PathsThatDoNotFitAreRefused)
{
    wchar_t szSmall[8];
    EXPECT_FALSE(CUISystemLibrary::SystemPath("wininet.dll", szSmall, 8));
    wchar_t szPath[MAX_PATH];
    ASSERT_TRUE(CUISystemLibrary::SystemPath("wininet.dll", szPath, MAX_PATH));
    EXPECT_NE(std::wstring(szPath).find(L"\\wininet.dll"), std::wstring::npos);
}

// The installer's manifest names comctl32 version 6: loaded side by side, the assembly's copy is taken under an
// activation context that names it, and the system folder's without one.
TEST(SystemLibrary, SideBySideLoadsTheAssemblyTheActivationContextNames)
{
    char szSystem[MAX_PATH] = {};
    ::GetSystemDirectoryA(szSystem, MAX_PATH);
    {
        const CUISystemLibrary plain("comctl32.dll", CUISystemLibrary::LoadFrom::SideBySide);
        ASSERT_TRUE(plain.IsLoaded());
        EXPECT_TRUE(IsBelow(ModulePath(plain.Handle()), szSystem)) << ModulePath(plain.Handle());
    }

    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    // The same test program runs at once under other locales in the same prefix: each process needs its own file.
    const std::string manifest =
        std::string(szTemp) + "veltara_sxs_test_" + std::to_string(::GetCurrentProcessId()) + ".manifest";
    const char kManifest[] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"><dependency><dependentAssembly>"
        "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""
        " processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>"
        "</dependentAssembly></dependency></assembly>";
    HANDLE hFile = ::CreateFileA(manifest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    DWORD cbWritten = 0;
    const BOOL bWritten = ::WriteFile(hFile, kManifest, sizeof(kManifest) - 1, &cbWritten, nullptr);
    ::CloseHandle(hFile);
    ASSERT_TRUE(bWritten && cbWritten == sizeof(kManifest) - 1);

    ACTCTXA ctx = {};
    ctx.cbSize = sizeof(ctx);
    ctx.lpSource = manifest.c_str();
    HANDLE hCtx = ::CreateActCtxA(&ctx);
    const DWORD dwError = ::GetLastError();
    ::DeleteFileA(manifest.c_str());
    ASSERT_NE(hCtx, INVALID_HANDLE_VALUE) << "error " << dwError;
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(hCtx, &cookie));
    {
        const CUISystemLibrary v6("comctl32.dll", CUISystemLibrary::LoadFrom::SideBySide);
        ASSERT_TRUE(v6.IsLoaded());
        EXPECT_TRUE(IsCommonControlsAssembly(ModulePath(v6.Handle()))) << ModulePath(v6.Handle());
    }
    ::DeactivateActCtx(0, cookie);
    ::ReleaseActCtx(hCtx);
}
