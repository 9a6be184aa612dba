#include "app/PackageUnpacker.h"

#include "tests/app/PackageFileSupport.h"
#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace ZipTest;

namespace {

struct Post
{
    WPARAM wNotice;
    LPARAM lValue;
    bool operator==(const Post& o) const { return wNotice == o.wNotice && lValue == o.lValue; }
};

std::ostream& operator<<(std::ostream& os, const Post& p)
{
    return os << "{" << p.wNotice << "," << p.lValue << "}";
}

// A message-only window of the test thread that receives the unpacker's posts.
class CPostSink
{
public:
    CPostSink() { m_hWnd = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr); }
    ~CPostSink() { ::DestroyWindow(m_hWnd); }
    HWND Handle() const { return m_hWnd; }
    std::vector<Post> Take()
    {
        std::vector<Post> posts;
        MSG msg;
        while (::PeekMessageA(&msg, m_hWnd, WM_INSTALL_PROGRESS, WM_INSTALL_PROGRESS, PM_REMOVE))
            posts.push_back({msg.wParam, msg.lParam});
        return posts;
    }

private:
    HWND m_hWnd;
};

SItemSpec File(const std::string& strName, const std::string& strData)
{
    SItemSpec item;
    item.strName = strName;
    item.strData = strData;
    return item;
}

const char kExe[] = "VeltaraClient/VeltaraClient.exe";

std::string CurrentFolder()
{
    char sz[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, sz);
    return sz;
}

struct UnpackRun
{
    UnpackOutcome eOutcome;
    std::vector<Post> posts;
};

UnpackRun Unpack(const std::string& strPackage, const std::string& strFolder)
{
    CPostSink sink;
    CPackageUnpacker unpacker;
    {
        // The unpacker works on its own handle: the caller's may go at once.
        const CPackageOnDisk package(strPackage);
        EXPECT_TRUE(unpacker.Start(sink.Handle(), package.Handle(), strFolder.c_str()));
    }
    unpacker.Join();
    return {unpacker.GetOutcome(), sink.Take()};
}

} // namespace

TEST(PackageUnpacker, InstallsEveryItemAndPostsEachNewValueUpTo1000)
{
    const struct
    {
        int nItems;
        std::vector<LPARAM> aValues;
    } cases[] = {
        {4, {925, 950, 975, 1000}},
        {3, {933, 966, 1000}},
        {1, {1000}},
        // 250 items move the bar 100 times: equal values are posted once.
        {250, {}},
    };
    for (const auto& c : cases) {
        std::vector<SItemSpec> items = {File(kExe, MakeContent(70000, 7, false))};
        for (int i = 1; i < c.nItems; ++i)
            items.push_back(
                File("VeltaraClient/data/文件" + std::to_string(i) + ".dat", MakeContent(100 + i, i, true)));
        CScratchFolder folder("unpack");
        const std::string before = CurrentFolder();
        const UnpackRun run = Unpack(BuildArchive(items), folder.Path());
        EXPECT_EQ(run.eOutcome, UnpackOutcome::Installed) << c.nItems;
        EXPECT_EQ(CurrentFolder(), before);
        std::vector<Post> expected;
        if (c.aValues.empty()) {
            for (int v = 901; v <= 1000; ++v)
                expected.push_back({UNPACK_PROGRESS, v});
        }
        for (LPARAM v : c.aValues)
            expected.push_back({UNPACK_PROGRESS, v});
        EXPECT_EQ(run.posts, expected) << c.nItems << " items";
        for (const SItemSpec& item : items) {
            std::string path = item.strName;
            for (char& ch : path)
                ch = ch == '/' ? '\\' : ch;
            EXPECT_EQ(ReadWholeFile(folder / path), item.strData) << path;
        }
    }
}

TEST(PackageUnpacker, ARefusedPackageWritesNothingAndNeverReportsCompletion)
{
    const std::string exe = MakeContent(5000, 3, false);
    SLayout layout;
    // The damaged item comes late: items before it were already written when it is found.
    const std::vector<SItemSpec> items = {File("VeltaraClient/a.txt", "first"), File(kExe, exe),
                                          File("VeltaraClient/z.txt", MakeContent(3000, 4, true))};
    std::string crcBroken = BuildArchive(items, "", "", &layout);
    Put32(crcBroken, layout.aCentral[2] + 16, Crc(items[2].strData) ^ 1); // the stored CRC no longer matches
    Put32(crcBroken, layout.aLocal[2] + 14, Crc(items[2].strData) ^ 1);
    std::string dataBroken = BuildArchive(items, "", "", &layout);
    for (std::size_t i = 0; i < 64; ++i)
        dataBroken[layout.aData[2] + i] = static_cast<char>(0xFF);
    const std::string noClient = BuildArchive({File("VeltaraClient/a.txt", "first"), File("VeltaraClient/b.exe", exe)});
    const std::string outside = BuildArchive({File(kExe, exe), File("Other/b.exe", exe)});
    const std::string escaping = BuildArchive({File("VeltaraClient/../outside.txt", "x"), File(kExe, exe)});
    const std::string rooted = BuildArchive({File("/veltara-outside.txt", "x"), File(kExe, exe)});
    const std::string driveRelative = BuildArchive({File("C:veltara-outside.txt", "x"), File(kExe, exe)});
    const std::string stream = BuildArchive({File(kExe, exe), File("VeltaraClient/a.txt:hidden", "x")});
    const std::string device = BuildArchive({File(kExe, exe), File("VeltaraClient/data/nul.txt", "x")});
    const std::string twice =
        BuildArchive({File(kExe, exe), File("VeltaraClient/A.txt", "1"), File("VeltaraClient/a.TXT", "2")});
    const std::string tooLong = BuildArchive(
        {File(kExe, exe), File("VeltaraClient/" + std::string(120, 'n') + "/" + std::string(120, 'm'), "x")});
    const std::string emptyArchive = BuildArchive({});

    const struct
    {
        const char* pstrWhat;
        std::string strPackage;
        UnpackOutcome eOutcome;
        WPARAM wNotice;
    } cases[] = {
        {"CRC mismatch", crcBroken, UnpackOutcome::ItemFailed, UNPACK_REFUSED},
        {"damaged data", dataBroken, UnpackOutcome::ItemFailed, UNPACK_REFUSED},
        {"no client", noClient, UnpackOutcome::ClientMissing, UNPACK_REFUSED},
        {"item outside the client folder", outside, UnpackOutcome::ItemFailed, UNPACK_REFUSED},
        {"name leaving the folder", escaping, UnpackOutcome::ItemFailed, UNPACK_REFUSED},
        {"name from the drive root", rooted, UnpackOutcome::ItemFailed, UNPACK_REFUSED},
        {"name with a drive letter", driveRelative, UnpackOutcome::ItemFailed, UNPACK_REFUSED},
        {"name of a stream", stream, UnpackOutcome::ItemFailed, UNPACK_REFUSED},
        {"name of a device", device, UnpackOutcome::ItemFailed, UNPACK_REFUSED},
        {"one name twice", twice, UnpackOutcome::ItemFailed, UNPACK_REFUSED},
        {"name too long for the folder", tooLong, UnpackOutcome::PathTooLong, UNPACK_FAILED},
        {"no items", emptyArchive, UnpackOutcome::NotAnArchive, UNPACK_REFUSED},
        {"an error page", "<html>404 Not Found</html>", UnpackOutcome::NotAnArchive, UNPACK_REFUSED},
        {"empty body", "", UnpackOutcome::NotAnArchive, UNPACK_REFUSED},
    };
    for (const auto& c : cases) {
        CScratchFolder folder("fail");
        const std::string before = CurrentFolder();
        const UnpackRun run = Unpack(c.strPackage, folder.Path());
        EXPECT_EQ(run.eOutcome, c.eOutcome) << c.pstrWhat;
        EXPECT_EQ(CurrentFolder(), before) << c.pstrWhat;
        ASSERT_FALSE(run.posts.empty()) << c.pstrWhat;
        EXPECT_EQ(run.posts.back(), (Post{c.wNotice, 0})) << c.pstrWhat;
        for (const Post& p : run.posts)
            EXPECT_LT(p.lValue, 1000) << c.pstrWhat;
        // No client folder, no staging folder, nothing beside or above the folder.
        EXPECT_TRUE(folder.Tree().empty()) << c.pstrWhat << ": " << folder.Tree().size() << " entries left";
        EXPECT_EQ(::GetFileAttributesA((folder / "..\\outside.txt").c_str()), INVALID_FILE_ATTRIBUTES) << c.pstrWhat;
        EXPECT_EQ(::GetFileAttributesA((folder.Path().substr(0, 3) + "veltara-outside.txt").c_str()),
                  INVALID_FILE_ATTRIBUTES)
            << c.pstrWhat;
        EXPECT_EQ(::GetFileAttributesA("C:veltara-outside.txt"), INVALID_FILE_ATTRIBUTES) << c.pstrWhat;
    }
}

TEST(PackageUnpacker, UnusableFolderWritesNothingAnywhere)
{
    CScratchFolder cwd("cwd");
    CCurrentFolder guard(cwd.Path());
    ASSERT_TRUE(guard.Ok());
    CScratchFolder target("unwritable");
    const std::string package = BuildArchive({File(kExe, "exe"), File("VeltaraClient/b.txt", "b")});
    // A file where the client folder should be.
    ASSERT_TRUE(WriteWholeFile(target / "VeltaraClient", "in the way"));

    const struct
    {
        const char* pstrWhat;
        std::string strFolder;
    } cases[] = {
        {"missing folder", target / "NoSuchFolder"},
        {"a file as folder", target / "VeltaraClient"},
        {"empty folder text", ""},
        {"a file in the client folder's place", target.Path()},
    };
    for (const auto& c : cases) {
        const UnpackRun run = Unpack(package, c.strFolder);
        EXPECT_EQ(run.eOutcome, UnpackOutcome::FolderUnusable) << c.pstrWhat;
        EXPECT_EQ(run.posts, (std::vector<Post>{{UNPACK_FAILED, 0}})) << c.pstrWhat;
        EXPECT_EQ(CurrentFolder(), cwd.Path()) << c.pstrWhat;
        EXPECT_TRUE(cwd.Tree().empty()) << c.pstrWhat << ": something was written to the current folder";
    }
    EXPECT_EQ(target.Tree(), (std::set<std::string>{"VeltaraClient"}));
}

TEST(PackageUnpacker, StopsPartWayThroughAnItemAndLeavesNothing)
{
    // One large item: the stop must not wait for it to be written whole.
    const std::string big(96 * 1024 * 1024, 'v');
    SItemSpec bigItem = File("VeltaraClient/big.dat", big);
    bigItem.nMethod = 0; // stored: the archive is made at once
    const std::string package = BuildArchive({File(kExe, "exe"), bigItem});
    CScratchFolder folder("stop");
    CPostSink sink;
    CPackageUnpacker unpacker;
    const CPackageOnDisk onDisk(package);
    ASSERT_TRUE(unpacker.Start(sink.Handle(), onDisk.Handle(), folder.Path().c_str()));
    // Wait until the item is being written in the hidden staging folder.
    bool bSeen = false;
    for (int i = 0; i < 2000 && !bSeen; ++i) {
        for (const std::string& entry : folder.Tree())
            bSeen = bSeen || entry.find("big.dat") != std::string::npos;
        if (!bSeen)
            ::Sleep(5);
    }
    unpacker.RequestStop();
    unpacker.Join();
    ASSERT_TRUE(bSeen) << "the item was never written";
    EXPECT_EQ(unpacker.GetOutcome(), UnpackOutcome::Stopped);
    EXPECT_EQ(unpacker.GetProblem().strFile, L"big.dat") << "the stop came between items";
    for (const Post& p : sink.Take())
        EXPECT_EQ(p, (Post{UNPACK_PROGRESS, 950})) << "only the first item's progress may arrive";
    EXPECT_TRUE(folder.Tree().empty());
}
