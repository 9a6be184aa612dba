// The staged installation on real folders: reinstalls keep the player's files, every failure leaves the
// folder as it was, and a crashed run's leftovers are cleaned up.
#include "app/StagedInstall.h"

#include "app/InstallFiles.h"
#include "tests/app/PackageFileSupport.h"
#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace ZipTest;

namespace {

const std::wstring kClient = L"VeltaraClient";

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

// Relative path (with '\') -> content.
using Files = std::map<std::wstring, std::string>;

// The items of a package that holds these files below the client folder.
std::vector<SItemSpec> Items(const Files& files)
{
    std::vector<SItemSpec> items;
    for (const auto& f : files) {
        SItemSpec item;
        item.strName = "VeltaraClient/" + std::string(f.first.begin(), f.first.end());
        for (char& c : item.strName)
            c = c == '\\' ? '/' : c;
        item.strData = f.second;
        items.push_back(item);
    }
    return items;
}

std::string Package(const Files& files)
{
    return BuildArchive(Items(files));
}

UnpackOutcome Install(const std::string& strPackage, const CScratchFolder& folder, SInstallProblem* pProblem = nullptr,
                      bool bStopped = false)
{
    SInstallControl control;
    control.bStop = bStopped;
    const CPackageOnDisk package(strPackage);
    CStagedInstall install(package.Handle(), Wide(folder.Path()), control, nullptr);
    const UnpackOutcome eOutcome = install.Run();
    if (pProblem != nullptr)
        *pProblem = install.Problem();
    return eOutcome;
}

std::string ReadFileW(const std::wstring& strPath)
{
    const HANDLE h = ::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<unreadable>";
    std::string data;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(h, buffer, sizeof(buffer), &n, nullptr) && n > 0)
        data.append(buffer, n);
    ::CloseHandle(h);
    return data;
}

// Every file and folder below a folder: path -> content (folders: "<folder>") and its attributes.
std::map<std::wstring, std::pair<std::string, DWORD>> Snapshot(const std::string& strFolder)
{
    std::map<std::wstring, std::pair<std::string, DWORD>> snapshot;
    const std::wstring strRoot = Wide(strFolder);
    WalkTree(strRoot, [&](const std::wstring& strRelative, const WIN32_FIND_DATAW& data) {
        const bool bFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        snapshot[strRelative] = {bFolder ? "<folder>" : ReadFileW(JoinPath(strRoot, strRelative)),
                                 data.dwFileAttributes};
        return true;
    });
    return snapshot;
}

// The files of the client folder, without the record.
Files ClientFiles(const CScratchFolder& folder)
{
    Files files;
    const std::wstring strRoot = JoinPath(Wide(folder.Path()), kClient);
    WalkTree(strRoot, [&](const std::wstring& strRelative, const WIN32_FIND_DATAW& data) {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && strRelative != kInstallRecordName)
            files[strRelative] = ReadFileW(JoinPath(strRoot, strRelative));
        return true;
    });
    return files;
}

std::string ClientPath(const CScratchFolder& folder, const std::wstring& strRelative)
{
    return folder / ("VeltaraClient\\" + std::string(strRelative.begin(), strRelative.end()));
}

const std::string kNone = "<none>";

} // namespace

TEST(StagedInstall, ReinstallKeepsThePlayersFilesAndReplacesOurs)
{
    const struct
    {
        std::wstring strPath;
        std::string strV1;     // in the first package, or kNone
        std::string strPlayer; // what the player left there before the reinstall: kNone deletes, "" leaves
        std::string strV2;     // in the second package, or kNone
        std::string strAfter;  // after the reinstall, or kNone
    } rows[] = {
        {L"VeltaraClient.exe", "exe 1", "", "exe 2", "exe 2"},
        {L"config\\client.ini", "ini 1", "my settings", "ini 2", "my settings"},
        {L"data\\same.txt", "same", "", "same", "same"},
        {L"data\\changed.txt", "changed 1", "", "changed 2", "changed 2"},
        {L"data\\obsolete.txt", "obsolete", "", kNone, kNone},
        {L"data\\obsolete-edited.txt", "obsolete", "edited", kNone, "edited"},
        {L"data\\new.txt", kNone, "", "new 2", "new 2"},
        {L"data\\deleted.txt", "deleted 1", kNone, "deleted 2", "deleted 2"},
        {L"saves\\slot1.sav", kNone, "saved game", kNone, "saved game"},
        {L"data\\mine.txt", kNone, "the player's, same name as a new package file", "package", "package"},
    };
    Files v1, v2, expected;
    for (const auto& r : rows) {
        if (r.strV1 != kNone)
            v1[r.strPath] = r.strV1;
        if (r.strV2 != kNone)
            v2[r.strPath] = r.strV2;
        if (r.strAfter != kNone)
            expected[r.strPath] = r.strAfter;
    }
    CScratchFolder folder("reinstall");
    ASSERT_EQ(Install(Package(v1), folder), UnpackOutcome::Installed);
    ASSERT_EQ(ClientFiles(folder), v1);
    for (const auto& r : rows) {
        if (r.strPlayer == kNone) {
            ASSERT_TRUE(::DeleteFileA(ClientPath(folder, r.strPath).c_str()));
        } else if (!r.strPlayer.empty()) {
            const std::wstring strParent = r.strPath.substr(0, r.strPath.rfind(L'\\'));
            ASSERT_TRUE(MakeFolderChain(JoinPath(Wide(folder.Path()), kClient), strParent));
            ASSERT_TRUE(WriteWholeFile(ClientPath(folder, r.strPath), r.strPlayer)) << ClientPath(folder, r.strPath);
        }
    }
    // An empty folder of the player's stays, and so does a read-only file of ours that must be replaced.
    ASSERT_TRUE(::CreateDirectoryA((folder / "VeltaraClient\\screenshots").c_str(), nullptr));
    ASSERT_TRUE(::SetFileAttributesA(ClientPath(folder, L"data\\changed.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    ASSERT_EQ(Install(Package(v2), folder), UnpackOutcome::Installed);
    EXPECT_EQ(ClientFiles(folder), expected);
    EXPECT_NE(::GetFileAttributesA((folder / "VeltaraClient\\screenshots").c_str()), INVALID_FILE_ATTRIBUTES);
    // Nothing beside the client folder: no staging folder, no old folder.
    const std::set<std::string> top = {"VeltaraClient"};
    std::set<std::string> besides;
    for (const std::string& entry : folder.Tree())
        besides.insert(entry.substr(0, entry.find('\\')));
    EXPECT_EQ(besides, top);

    // The record lists the package's files with the package's hashes, so a kept change stays a change: a
    // third installation of the same package keeps it again.
    std::vector<SInstalledFile> record;
    ASSERT_TRUE(ParseInstallRecord(ReadWholeFile(folder / "VeltaraClient\\VeltaraSetup.record"), record));
    ASSERT_EQ(record.size(), v2.size());
    for (const SInstalledFile& file : record) {
        ASSERT_EQ(v2.count(file.strPath), 1u);
        const std::string& data = v2[file.strPath];
        EXPECT_EQ(file.nSize, data.size());
        EXPECT_EQ(file.digest, Veltara::Sha256(data.data(), data.size()));
    }
    ASSERT_EQ(Install(Package(v2), folder), UnpackOutcome::Installed);
    EXPECT_EQ(ClientFiles(folder), expected);
}

TEST(StagedInstall, WithoutARecordPackageFilesReplaceAndOthersStay)
{
    CScratchFolder folder("foreign");
    ASSERT_TRUE(::CreateDirectoryA((folder / "VeltaraClient").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((folder / "VeltaraClient\\config").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\VeltaraClient.exe", "someone's exe"));
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\config\\client.ini", "someone's ini"));
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\notes.txt", "notes"));
    // A record of a format this installer does not know counts as none.
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\VeltaraSetup.record", "VeltaraSetup install record 9\r\n"));
    const Files package = {{L"VeltaraClient.exe", "exe"}, {L"config\\client.ini", "ini"}};
    ASSERT_EQ(Install(Package(package), folder), UnpackOutcome::Installed);
    EXPECT_EQ(ClientFiles(folder),
              (Files{{L"VeltaraClient.exe", "exe"}, {L"config\\client.ini", "ini"}, {L"notes.txt", "notes"}}));
}

TEST(StagedInstall, EveryFailureLeavesTheOldInstallationAsItWas)
{
    const Files v1 = {{L"VeltaraClient.exe", "exe 1"}, {L"data\\a.txt", "a 1"}, {L"data\\b.txt", "b 1"}};
    const Files v2 = {{L"VeltaraClient.exe", "exe 2"}, {L"data\\a.txt", "a 2"}, {L"data\\new.txt", "new"}};
    // The damaged item comes last: everything before it was already written when it is found.
    std::vector<SItemSpec> items = Items(v2);
    items.push_back({});
    items.back().strName = "VeltaraClient/z-last.dat";
    items.back().strData = MakeContent(20000, 9, true);
    SLayout layout;
    std::string damaged = BuildArchive(items, "", "", &layout);
    Put32(damaged, layout.aCentral.back() + 16, Crc(items.back().strData) ^ 1);
    Put32(damaged, layout.aLocal.back() + 14, Crc(items.back().strData) ^ 1);
    Files longName = v2;
    longName[L"data\\" + std::wstring(240, L'x')] = "x";

    enum Setup
    {
        Nothing,
        HoldReplacedFile,    // a program holds data\a.txt (read-only) open without sharing
        ForeignReadOnly,     // a read-only file of the player's where the package brings data\new.txt
        PlayersFileInTheWay, // a file of the player's named like a folder of the package
        StopAtOnce,
    };
    const struct
    {
        const char* pstrWhat;
        std::string strPackage;
        Setup eSetup;
        UnpackOutcome eOutcome;
        std::wstring strFile;
    } cases[] = {
        {"a late damaged item", damaged, Nothing, UnpackOutcome::ItemFailed, L"z-last.dat"},
        {"a file in use", Package(v2), HoldReplacedFile, UnpackOutcome::FileLocked, L"data\\a.txt"},
        {"a read-only file not ours", Package(v2), ForeignReadOnly, UnpackOutcome::FileLocked, L"data\\new.txt"},
        {"a kept file where a folder goes", Package({{L"VeltaraClient.exe", "exe 2"}, {L"notes\\n.txt", "n"}}),
         PlayersFileInTheWay, UnpackOutcome::CannotKeep, L"notes"},
        {"a path too long", Package(longName), Nothing, UnpackOutcome::PathTooLong,
         L"data\\" + std::wstring(240, L'x')},
        {"a stop", Package(v2), StopAtOnce, UnpackOutcome::Stopped, L""},
    };
    for (const auto& c : cases) {
        CScratchFolder folder("failure");
        ASSERT_EQ(Install(Package(v1), folder), UnpackOutcome::Installed) << c.pstrWhat;
        HANDLE hHeld = INVALID_HANDLE_VALUE;
        // Held and read-only: the check may lift the mark of a file of ours, but must put it back.
        if (c.eSetup == HoldReplacedFile) {
            ASSERT_TRUE(::SetFileAttributesA(ClientPath(folder, L"data\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY));
            hHeld = ::CreateFileA(ClientPath(folder, L"data\\a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        }
        if (c.eSetup == ForeignReadOnly) {
            ASSERT_TRUE(WriteWholeFile(ClientPath(folder, L"data\\new.txt"), "mine"));
            ASSERT_TRUE(::SetFileAttributesA(ClientPath(folder, L"data\\new.txt").c_str(), FILE_ATTRIBUTE_READONLY));
        }
        if (c.eSetup == PlayersFileInTheWay) {
            ASSERT_TRUE(WriteWholeFile(ClientPath(folder, L"notes"), "my notes"));
        }
        const auto before = Snapshot(folder.Path());
        SInstallProblem problem;
        EXPECT_EQ(Install(c.strPackage, folder, &problem, c.eSetup == StopAtOnce), c.eOutcome) << c.pstrWhat;
        EXPECT_EQ(problem.strFile, c.strFile) << c.pstrWhat;
        if (hHeld != INVALID_HANDLE_VALUE)
            ::CloseHandle(hHeld);
        EXPECT_TRUE(Snapshot(folder.Path()) == before) << c.pstrWhat << ": the folder changed";
        for (const wchar_t* pstrFile : {L"data\\new.txt", L"data\\a.txt"})
            ::SetFileAttributesA(ClientPath(folder, pstrFile).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST(StagedInstall, LeftoversOfAnInterruptedRunAreCleanedUp)
{
    const Files v1 = {{L"VeltaraClient.exe", "exe 1"}, {L"config\\client.ini", "ini 1"}};
    const Files v2 = {{L"VeltaraClient.exe", "exe 2"}, {L"config\\client.ini", "ini 2"}};
    const struct
    {
        const char* pstrWhat;
        bool bCutMidSwitch; // the old client folder sits under its backup name, no client folder
    } cases[] = {
        {"a staging folder left behind", false},
        {"the switch cut between its renames", true},
    };
    for (const auto& c : cases) {
        CScratchFolder folder("leftover");
        ASSERT_EQ(Install(Package(v1), folder), UnpackOutcome::Installed);
        ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient\\config\\client.ini", "my settings"));
        ASSERT_TRUE(::CreateDirectoryA((folder / "VeltaraClient.~new1f2e3d").c_str(), nullptr));
        ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient.~new1f2e3d\\half.dat", "half"));
        if (c.bCutMidSwitch) {
            ASSERT_TRUE(::MoveFileA((folder / "VeltaraClient").c_str(), (folder / "VeltaraClient.~old1f2e3d").c_str()));
        }
        ASSERT_EQ(Install(Package(v2), folder), UnpackOutcome::Installed) << c.pstrWhat;
        EXPECT_EQ(ClientFiles(folder), (Files{{L"VeltaraClient.exe", "exe 2"}, {L"config\\client.ini", "my settings"}}))
            << c.pstrWhat;
        std::set<std::string> top;
        for (const std::string& entry : folder.Tree())
            top.insert(entry.substr(0, entry.find('\\')));
        EXPECT_EQ(top, (std::set<std::string>{"VeltaraClient"})) << c.pstrWhat;
    }
}
