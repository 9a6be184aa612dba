#include "app/InstallTarget.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kPathError[] = "请输入正确的安装路径！";

std::string TempFolder()
{
    char sz[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, sz);
    std::string s = sz;
    if (!s.empty() && s.back() == '\\')
        s.pop_back();
    return s;
}

// A drive letter that names no drive on this system, as "X:\".
std::string AbsentDriveRoot()
{
    const DWORD dwDrives = ::GetLogicalDrives();
    for (char c = 'Y'; c > 'D'; --c) {
        if ((dwDrives & (1u << (c - 'A'))) == 0)
            return std::string(1, c) + ":\\";
    }
    return "";
}

} // namespace

TEST(InstallTarget, SpaceLineShowsGigabytesWithOneDecimal)
{
    const struct
    {
        int nFree;
        const char* pstrGb;
    } cases[] = {{51200, "50.0"}, {150, "0.1"}, {0, "0.0"}, {1023, "1.0"}, {1075, "1.0"}, {1126, "1.1"}};
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(FormatSpaceLine(c.nFree)), std::string("所需空间：150MB，可用空间：") + c.pstrGb + "GB")
            << c.nFree;
    }
}

TEST(InstallTarget, FolderMustExistAsAFolderWithAPathThatFits)
{
    // The same program runs at once under other locales in the same prefix: each process works in its own folder.
    const std::string temp = TempFolder() + "\\target-" + std::to_string(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryA(temp.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string file = temp + "\\veltara_target_file.txt";
    HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::CloseHandle(h);
    // 200 characters of folder name plus the client's 33 characters still fit; 240 do not.
    const std::string fitting = temp + "\\" + std::string(200 - temp.size(), 'f');
    const std::string tooLong = temp + "\\" + std::string(240 - temp.size(), 'l');
    ASSERT_TRUE(::CreateDirectoryA(fitting.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(::CreateDirectoryA(tooLong.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    // A Chinese name is found whatever the system's code page is.
    const std::string chinese = temp + "\\游戏安装";
    const std::wstring chineseWide = SkinUI::GbkToWide(chinese.c_str());
    ASSERT_TRUE(::CreateDirectoryW(chineseWide.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);

    const struct
    {
        std::string strFolder;
        bool bPathError;
    } cases[] = {
        {temp, false}, {temp + "\\", false}, {fitting, false}, {temp + "\\NoSuchFolder", true},
        {file, true},  {tooLong, true},      {"C:", true},     {"C", true},
        {"", true},    {chinese, false},
        // A wildcard, or a '?' standing for a typed character that GBK lacks, is no folder, not even a root.
        {"C:?", true}, {"C:*", true},       {temp + "\\A?o", true},
    };
    for (const auto& c : cases) {
        const InstallTargetCheck check = CheckInstallTargetFolder(c.strFolder.c_str());
        if (c.bPathError) {
            EXPECT_STREQ(check.strText, kPathError) << c.strFolder;
            EXPECT_TRUE(check.bError) << c.strFolder;
            EXPECT_FALSE(check.bSpaceEnough) << c.strFolder;
        } else {
            // The test machine's temp drive is fixed and has room: the space line in the skin's colour.
            EXPECT_EQ(std::string(check.strText).rfind("所需空间：150MB，可用空间：", 0), 0u) << c.strFolder;
            EXPECT_TRUE(check.bSpaceEnough) << c.strFolder;
            EXPECT_FALSE(check.bError) << c.strFolder;
        }
    }
    EXPECT_FALSE(CheckInstallTargetFolder(nullptr).bSpaceEnough);
    ::DeleteFileA(file.c_str());
    ::RemoveDirectoryA(fitting.c_str());
    ::RemoveDirectoryA(tooLong.c_str());
    ::RemoveDirectoryW(chineseWide.c_str());
    ::RemoveDirectoryA(temp.c_str());
}

TEST(InstallTarget, DriveRootIsJudgedByItsSpace)
{
    // A three-character root passes the path test even when the drive is absent; no fixed drive, no space.
    const std::string absent = AbsentDriveRoot();
    ASSERT_FALSE(absent.empty());
    const InstallTargetCheck check = CheckInstallTargetFolder(absent.c_str());
    EXPECT_STREQ(check.strText, "所需空间：150MB，可用空间：0.0GB");
    EXPECT_TRUE(check.bError);
    EXPECT_FALSE(check.bSpaceEnough);
    EXPECT_EQ(GetFreeMegabytes(absent.c_str()), 0);

    const InstallTargetCheck root = CheckInstallTargetFolder("C:\\");
    EXPECT_EQ(root.bSpaceEnough, GetFreeMegabytes("C:\\") > 150);
    EXPECT_NE(std::string(root.strText), kPathError);
}

TEST(InstallTarget, DefaultFolderIsTheSystemDrivesProgramFolder)
{
    char szSystem[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryA(szSystem, MAX_PATH), 3u);
    const std::string folder = GetDefaultInstallFolder().Chars();
    // A 64-bit process always runs on a 64-bit system.
    if (sizeof(void*) == 8) {
        EXPECT_TRUE(IsNative64BitSystem());
    }
    const std::string expected =
        std::string(szSystem, 3) + (IsNative64BitSystem() ? "Program Files (x86)" : "Program Files");
    EXPECT_EQ(folder, expected);
}
