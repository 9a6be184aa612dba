// The uninstall of a real installation: only unchanged recorded files and the installer's own files go, the
// player's files and anything outside the client folder stay, and a refusal changes nothing.
#include "app/Uninstall.h"

#include "app/InstallFiles.h"
#include "app/InstallRecord.h"
#include "app/StagedInstall.h"
#include "tests/app/PackageFileSupport.h"
#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace ZipTest;

namespace {

// Installs a package of these files (paths below the client folder, '/' separators) into the folder.
void InstallPackage(const CScratchFolder& folder, const std::vector<std::pair<std::string, std::string>>& files)
{
    std::vector<SItemSpec> items;
    for (const auto& f : files) {
        SItemSpec item;
        item.strName = "VeltaraClient/" + f.first;
        item.strData = f.second;
        items.push_back(item);
    }
    const CPackageOnDisk package(BuildArchive(items));
    SInstallControl control;
    CStagedInstall install(package.Handle(), folder.WidePath(), control, nullptr);
    ASSERT_EQ(install.Run(), UnpackOutcome::Installed);
}

const std::vector<std::pair<std::string, std::string>> kPackage = {
    {"VeltaraClient.exe", "exe"}, {"readme.txt", "readme"}, {"config/client.ini", "ini"},
    {"data/a.txt", "a"},          {"data/deep/b.txt", "b"},
};

} // namespace

TEST(Uninstall, RemovesOurUnchangedFilesAndKeepsThePlayersAndEverythingOutside)
{
    CScratchFolder folder("uninstall");
    InstallPackage(folder, kPackage);
    const std::string strClient = folder / "VeltaraClient";
    // The installer's own files beside the record, the player's changes, a read-only file of ours, and a
    // record line that names a file outside the client folder.
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\VeltaraSetup.log", "log"));
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\VeltaraUninstall.exe", "uninstaller"));
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\config\\client.ini", "my settings"));
    ASSERT_TRUE(::CreateDirectoryA((folder / "VeltaraClient\\saves").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\saves\\slot1.sav", "saved game"));
    ASSERT_TRUE(::SetFileAttributesA((folder / "VeltaraClient\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteWholeFile(folder / "outside.txt", "x"));
    const std::string strRecord = ReadWholeFile(folder / "VeltaraClient\\VeltaraSetup.record");
    const std::string strOutside = Veltara::DigestToHex(Veltara::Sha256("x", 1));
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\VeltaraSetup.record",
                               strRecord + strOutside + " 1 ..\\outside.txt\r\n"));

    CUninstall uninstall(folder.WidePath() + L"\\VeltaraClient");
    ASSERT_EQ(uninstall.Plan(), UninstallOutcome::Removed);
    const std::set<std::wstring> kept(uninstall.FilesKept().begin(), uninstall.FilesKept().end());
    EXPECT_EQ(kept, (std::set<std::wstring>{L"config\\client.ini", L"saves\\slot1.sav"}));
    ASSERT_EQ(uninstall.CheckFilesFree(), UninstallOutcome::Removed);
    ASSERT_EQ(uninstall.Remove(), UninstallOutcome::Removed);

    // Emptied folders are gone; the client folder stays for what it still holds.
    EXPECT_EQ(folder.Tree(), (std::set<std::string>{"outside.txt", "VeltaraClient\\", "VeltaraClient\\config\\",
                                                    "VeltaraClient\\config\\client.ini", "VeltaraClient\\saves\\",
                                                    "VeltaraClient\\saves\\slot1.sav"}));
    EXPECT_EQ(ReadWholeFile(folder / "VeltaraClient\\config\\client.ini"), "my settings");
    EXPECT_TRUE(uninstall.ClientFolderRemains());

    // Without the player's files, nothing is left, the client folder included.
    CScratchFolder clean("uninstall-clean");
    InstallPackage(clean, kPackage);
    CUninstall all(clean.WidePath() + L"\\VeltaraClient");
    ASSERT_EQ(all.Plan(), UninstallOutcome::Removed);
    ASSERT_EQ(all.Remove(), UninstallOutcome::Removed);
    EXPECT_TRUE(clean.Tree().empty());
    EXPECT_FALSE(all.ClientFolderRemains());
}

TEST(Uninstall, RefusalsChangeNothing)
{
    enum class Setup
    {
        HeldFile,
        NoRecord,
        ForeignRecord,
        NoFolder
    };
    const struct
    {
        Setup eSetup;
        UninstallOutcome eOutcome;
        const wchar_t* pwstrProblemFile;
    } rows[] = {
        {Setup::HeldFile, UninstallOutcome::FileInUse, L"data\\deep\\b.txt"},
        {Setup::NoRecord, UninstallOutcome::NoRecord, L""},
        {Setup::ForeignRecord, UninstallOutcome::NoRecord, L""},
        {Setup::NoFolder, UninstallOutcome::FolderUnusable, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.eSetup));
        CScratchFolder folder("uninstall-refused");
        InstallPackage(folder, kPackage);
        const std::string strRecord = folder / "VeltaraClient\\VeltaraSetup.record";
        CScopedHandle held;
        switch (row.eSetup) {
        case Setup::HeldFile:
            // As a running client holds its files: no write or delete sharing.
            held.Reset(::CreateFileA((folder / "VeltaraClient\\data\\deep\\b.txt").c_str(), GENERIC_READ,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held.IsOpen());
            break;
        case Setup::NoRecord:
            ASSERT_TRUE(::DeleteFileA(strRecord.c_str()));
            break;
        case Setup::ForeignRecord:
            ASSERT_TRUE(WriteWholeFile(strRecord, "VeltaraSetup install record 9\r\n"));
            break;
        case Setup::NoFolder:
            break;
        }
        const std::set<std::string> before = folder.Tree();
        CUninstall uninstall(folder.WidePath() + (row.eSetup == Setup::NoFolder ? L"\\Elsewhere" : L"\\VeltaraClient"));
        UninstallOutcome eOutcome = uninstall.Plan();
        if (eOutcome == UninstallOutcome::Removed)
            eOutcome = uninstall.CheckFilesFree();
        EXPECT_EQ(eOutcome, row.eOutcome);
        EXPECT_EQ(uninstall.Problem().strFile, row.pwstrProblemFile);
        if (row.eSetup == Setup::HeldFile) {
            EXPECT_EQ(uninstall.Problem().dwError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        }
        EXPECT_EQ(folder.Tree(), before);
    }
}
