#include "SkinUI/Utils/SystemLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using SkinUI::CUISystemLibrary;

TEST(SystemLibrary, LoadsFromTheSystemFolderByFullPath)
{
    CUISystemLibrary lib("msimg32.dll");
    ASSERT_TRUE(lib.IsLoaded());
    EXPECT_NE(lib.Proc("AlphaBlend"), nullptr);
    char szLoaded[MAX_PATH] = {};
    ::GetModuleFileNameA(lib.Handle(), szLoaded, MAX_PATH);
    char szSystem[MAX_PATH] = {};
    ::GetSystemDirectoryA(szSystem, MAX_PATH);
    EXPECT_EQ(_strnicmp(szLoaded, szSystem, std::strlen(szSystem)), 0) << szLoaded;

    CUISystemLibrary missing("no-such-library-here.dll");
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(missing.Proc("Anything"), nullptr);
}

TEST(SystemLibrary, PathsThatDoNotFitAreRefused)
{
    char szSmall[8];
    EXPECT_FALSE(CUISystemLibrary::SystemPath("wininet.dll", szSmall, sizeof(szSmall)));
    char szPath[MAX_PATH];
    ASSERT_TRUE(CUISystemLibrary::SystemPath("wininet.dll", szPath, sizeof(szPath)));
    EXPECT_NE(std::string(szPath).find("\\wininet.dll"), std::string::npos);
}
