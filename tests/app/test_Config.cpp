#include "app/Config.h"

#include <gtest/gtest.h>

#include <string>

TEST(InstallerConfig, PackageUrlKeepsSchemeAndPath)
{
    const std::string url = ComposePackageUrl().Chars();
    EXPECT_EQ(url.rfind("http://", 0), 0u) << url;
    const std::string tail = "/veltaragame/client/VeltaraClient.zip";
    ASSERT_GE(url.size(), tail.size());
    EXPECT_EQ(url.substr(url.size() - tail.size()), tail);
    EXPECT_EQ(std::string(g_strPackageBaseUrl).find(':', 7), std::string::npos)
        << "a port in the URL would be taken as a proxy";
}

TEST(InstallerConfig, ClientPathsFollowTheInstallFolderAsTyped)
{
    EXPECT_STREQ(ComposeClientExePath("D:\\Games"), "D:\\Games\\VeltaraClient\\VeltaraClient.exe");
    EXPECT_STREQ(ComposeClientFolder("D:\\Games"), "D:\\Games\\VeltaraClient");
    EXPECT_STREQ(ComposeClientExePath("D:\\Games\\"), "D:\\Games\\\\VeltaraClient\\VeltaraClient.exe");
    EXPECT_STREQ(ComposeClientExePath("C:\\Program Files (x86)"),
                 "C:\\Program Files (x86)\\VeltaraClient\\VeltaraClient.exe");
    // A long folder with Chinese names goes through unchanged.
    const std::string deep = "E:\\游戏\\" + std::string(200, 'x');
    EXPECT_EQ(std::string(ComposeClientFolder(deep.c_str())), deep + "\\VeltaraClient");
}

TEST(InstallerConfig, ShortcutIsNamedAfterTheProduct)
{
    EXPECT_STREQ(ComposeShortcutPath("C:\\users\\me\\Desktop"), "C:\\users\\me\\Desktop\\Veltara.lnk");
    EXPECT_STREQ(g_strProductName, "Veltara");
}
