// Unpacking to files and handles: folders below the base folder, destinations kept inside it, bounded
// paths, times and write failures.
#include "zip/ZipReader.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ZipTest;

namespace {

ZipResult UnzipTo(ZipHandle hZip, int iIndex, const std::string& strDest)
{
    return ZipUnzipItem(hZip, iIndex, const_cast<char*>(strDest.c_str()), 0, ZipKindFile);
}

SItemSpec File(const std::string& strName, const std::string& strData)
{
    SItemSpec item;
    item.strName = strName;
    item.strData = strData;
    return item;
}

SItemSpec Folder(const std::string& strName, std::uint32_t nExternal)
{
    SItemSpec item;
    item.strName = strName;
    item.nMethod = 0;
    item.nExternal = nExternal;
    return item;
}

} // namespace

TEST(ZipUnpackFiles, ItemsBecomeFilesAndFoldersBelowTheBaseFolder)
{
    std::vector<SItemSpec> items = {
        File("a/b/c.txt", MakeContent(50000, 1, true)),
        File("top.txt", "top"),
        File("中文/说明.txt", MakeContent(3000, 2, false)),
        File("empty.txt", ""),
        Folder("d/e/", 0x41ED0010),      // folder with attributes
        Folder("bare/", 0),              // folder without attributes
        Folder("f/g", 0x41ED0000),       // folder by its Unix mode, no trailing separator
        File("w\\win.txt", "backslash"), // separators of either kind
    };
    items[1].nMethod = 0;
    items[0].strLocalExtra = std::string("UT\x05\x00\x01", 5) + std::string("\x00\x5E\xD0\x60", 4); // 1624268288
    CScratchFolder scratch("files");
    ASSERT_TRUE(::CreateDirectoryA((scratch / "target").c_str(), nullptr));
    {
        CCurrentFolder cwd(scratch / "target");
        ASSERT_TRUE(cwd.Ok());
        CMemoryZip zip(BuildArchive(items));
        ASSERT_NE(zip.hZip, nullptr);
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            ZipItemInfo info;
            ASSERT_EQ(ZipGetItem(zip.hZip, i, &info), ZipOk);
            EXPECT_EQ(ZipUnzipItem(zip.hZip, i, info.szName, 0, ZipKindFile), ZipOk) << info.szName;
        }
    }
    const std::set<std::string> expected = {
        "target\\",        "target\\a\\",    "target\\a\\b\\",         "target\\a\\b\\c.txt",
        "target\\top.txt", "target\\中文\\", "target\\中文\\说明.txt", "target\\empty.txt",
        "target\\d\\",     "target\\d\\e\\", "target\\bare\\",         "target\\f\\",
        "target\\f\\g\\",  "target\\w\\",    "target\\w\\win.txt",
    };
    EXPECT_EQ(scratch.Tree(), expected);
    EXPECT_EQ(ReadWholeFile(scratch / "target\\a\\b\\c.txt"), items[0].strData);
    EXPECT_EQ(ReadWholeFile(scratch / "target\\top.txt"), "top");
    EXPECT_EQ(ReadWholeFile(scratch / "target\\中文\\说明.txt"), items[2].strData);
    EXPECT_EQ(ReadWholeFile(scratch / "target\\w\\win.txt"), "backslash");

    // The times of the record reach the file: here the modification time of the extended timestamp.
    HANDLE h = ::CreateFileA((scratch / "target\\a\\b\\c.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME ftWrite;
    ASSERT_TRUE(::GetFileTime(h, nullptr, nullptr, &ftWrite));
    ::CloseHandle(h);
    const std::uint64_t nTicks = (static_cast<std::uint64_t>(ftWrite.dwHighDateTime) << 32) | ftWrite.dwLowDateTime;
    EXPECT_EQ(nTicks, (1624268288ULL + 11644473600ULL) * 10000000ULL);
}

TEST(ZipUnpackFiles, ExistingFilesAreReplaced)
{
    CScratchFolder scratch("replace");
    CCurrentFolder cwd(scratch.Path());
    ASSERT_TRUE(cwd.Ok());
    ASSERT_TRUE(WriteWholeFile(scratch / "data.bin", std::string(100000, 'o')));
    CMemoryZip zip(BuildArchive({File("data.bin", "new content")}));
    ASSERT_NE(zip.hZip, nullptr);
    EXPECT_EQ(UnzipTo(zip.hZip, 0, "data.bin"), ZipOk);
    EXPECT_EQ(ReadWholeFile(scratch / "data.bin"), "new content");
    // A destination that cannot be created as a file.
    ASSERT_TRUE(::CreateDirectoryA((scratch / "busy").c_str(), nullptr));
    EXPECT_EQ(UnzipTo(zip.hZip, 0, "busy"), ZipOpenFileFailed);
    EXPECT_EQ(UnzipTo(zip.hZip, 1, "x"), ZipBadArgs);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, nullptr, 0, ZipKindFile), ZipBadArgs);
}

TEST(ZipUnpackFiles, DestinationsOutsideTheTargetAreRefused)
{
    const char* const aEscapes[] = {
        "../x.exe",
        "a/../../x.exe",
        "\\x.exe",
        "/x.exe",
        "C:x.exe",
        "C:\\zip-escape-probe.exe",
        "a\\..\\..\\x.exe",
        "..",
        ".. /x.exe",
        "a/.. ",
        "sub/..",
        "x.exe:stream",
        "....",
        "a/ ../x.exe",
        "\\\\server\\share\\x.exe",
    };
    std::vector<SItemSpec> items;
    for (const char* p : aEscapes)
        items.push_back(File(p, "payload"));
    for (const char* p : {"../up/", "a/../../up/", "/root/", "C:\\up\\"})
        items.push_back(Folder(p, 0x41ED0010));
    items.push_back(File("ok.txt", "fine"));
    const int iOk = static_cast<int>(items.size()) - 1;

    CScratchFolder scratch("escape");
    const std::string strTarget = scratch / "t1\\t2";
    ASSERT_TRUE(::CreateDirectoryA((scratch / "t1").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(strTarget.c_str(), nullptr));
    {
        CCurrentFolder cwd(strTarget);
        ASSERT_TRUE(cwd.Ok());
        CMemoryZip zip(BuildArchive(items));
        ASSERT_NE(zip.hZip, nullptr);
        for (int i = 0; i < iOk; ++i) {
            ZipItemInfo info;
            ASSERT_EQ(ZipGetItem(zip.hZip, i, &info), ZipOk);
            EXPECT_EQ(ZipUnzipItem(zip.hZip, i, info.szName, 0, ZipKindFile), ZipBadArgs) << info.szName;
        }
        // A harmless item given a harmful destination, and a harmful folder item given a harmless one.
        for (const char* p : aEscapes)
            EXPECT_EQ(UnzipTo(zip.hZip, iOk, p), ZipBadArgs) << p;
        EXPECT_EQ(UnzipTo(zip.hZip, iOk - 4, "fine/"), ZipBadArgs);
        // Names that only look like parent steps are ordinary names.
        for (const char* p : {"a..b.txt", "..a/x.txt", ".hidden", "a/./b.txt", "b..c/y.txt"})
            EXPECT_EQ(UnzipTo(zip.hZip, iOk, p), ZipOk) << p;
    }
    const std::set<std::string> expected = {"t1\\",
                                            "t1\\t2\\",
                                            "t1\\t2\\a..b.txt",
                                            "t1\\t2\\..a\\",
                                            "t1\\t2\\..a\\x.txt",
                                            "t1\\t2\\.hidden",
                                            "t1\\t2\\a\\",
                                            "t1\\t2\\a\\b.txt",
                                            "t1\\t2\\b..c\\",
                                            "t1\\t2\\b..c\\y.txt"};
    EXPECT_EQ(scratch.Tree(), expected);
    EXPECT_EQ(::GetFileAttributesA("C:\\zip-escape-probe.exe"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetFileAttributesA("C:\\up"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetFileAttributesA("C:\\root"), INVALID_FILE_ATTRIBUTES);
}

TEST(ZipUnpackFiles, PathsThatDoNotFitAreRefused)
{
    CScratchFolder scratch("long");
    // A base folder of about 200 characters.
    std::string strDeep = scratch.Path();
    while (strDeep.size() < 190) {
        strDeep += "\\dddddddddddddddddddd";
        ASSERT_TRUE(::CreateDirectoryA(strDeep.c_str(), nullptr));
    }
    const std::size_t nBase = strDeep.size() + 1;
    const std::string strFits = std::string(MAX_PATH - 1 - nBase - 10, 'f') + "/x.txt";
    const std::string strLong = std::string(MAX_PATH - nBase, 'g') + "/x.txt";
    const std::string strLongFolder = std::string(MAX_PATH - nBase, 'h') + "/";
    const std::set<std::string> before = scratch.Tree();
    {
        CCurrentFolder cwd(strDeep);
        ASSERT_TRUE(cwd.Ok());
        CMemoryZip zip(BuildArchive({File(strFits, "ok"), File(strLong, "no"), Folder(strLongFolder, 0x10)}));
        ASSERT_NE(zip.hZip, nullptr);
        EXPECT_EQ(UnzipTo(zip.hZip, 1, strLong), ZipOpenFileFailed);
        EXPECT_EQ(UnzipTo(zip.hZip, 2, strLongFolder), ZipOpenFileFailed);
        EXPECT_EQ(scratch.Tree(), before);
        EXPECT_EQ(UnzipTo(zip.hZip, 0, strFits), ZipOk);
    }
    EXPECT_EQ(ReadWholeFile(strDeep + "\\" + strFits.substr(0, strFits.size() - 6) + "\\x.txt"), "ok");
}

TEST(ZipUnpackFiles, CallersHandleIsWrittenAtItsPosition)
{
    CScratchFolder scratch("handle");
    std::vector<SItemSpec> items = {File("data", MakeContent(40000, 4, true)), Folder("folder/", 0x10)};
    items[0].strLocalExtra = std::string("UT\x05\x00\x01", 5) + std::string("\x00\x00\x00\x50", 4);
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    const std::string strPath = scratch / "out.bin";
    HANDLE h = ::CreateFileA(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD nWritten;
    ASSERT_TRUE(::WriteFile(h, "HEAD", 4, &nWritten, nullptr));
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, h, 0, ZipKindHandle), ZipOk);
    FILETIME ftWrite;
    ASSERT_TRUE(::GetFileTime(h, nullptr, nullptr, &ftWrite));
    const std::uint64_t nTicks = (static_cast<std::uint64_t>(ftWrite.dwHighDateTime) << 32) | ftWrite.dwLowDateTime;
    EXPECT_EQ(nTicks, (0x50000000ULL + 11644473600ULL) * 10000000ULL);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 1, h, 0, ZipKindHandle), ZipOk); // a folder writes nothing
    ASSERT_TRUE(::WriteFile(h, "TAIL", 4, &nWritten, nullptr));       // still the caller's, still open
    ::CloseHandle(h);
    EXPECT_EQ(ReadWholeFile(strPath), "HEAD" + items[0].strData + "TAIL");

    // A handle that cannot be written.
    HANDLE hRead = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hRead, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, hRead, 0, ZipKindHandle), ZipWriteFailed);
    ::CloseHandle(hRead);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, INVALID_HANDLE_VALUE, 0, ZipKindHandle), ZipBadArgs);
}

namespace {

// Records every progress call; asks to stop once nStopAfter bytes were written.
struct SProgressLog
{
    std::uint64_t nStopAfter = UINT64_MAX;
    std::vector<std::uint64_t> aWritten;
    std::uint64_t nTotal = 0;

    static bool Report(void* pContext, std::uint64_t nWritten, std::uint64_t nTotal)
    {
        SProgressLog& log = *static_cast<SProgressLog*>(pContext);
        log.aWritten.push_back(nWritten);
        log.nTotal = nTotal;
        return nWritten < log.nStopAfter;
    }
};

} // namespace

TEST(ZipUnpackFiles, ProgressAndStop)
{
    CScratchFolder scratch("progress");
    CCurrentFolder cwd(scratch.Path());
    ASSERT_TRUE(cwd.Ok());
    std::vector<SItemSpec> items = {File("big.bin", MakeContent(100000, 5, true)), File("damaged.bin", "")};
    items[1].strData = MakeContent(60000, 6, false);
    items[1].nMethod = 0;
    SLayout layout;
    std::string archive = BuildArchive(items, "", "", &layout);
    archive[layout.aData[1] + 50000] = static_cast<char>(archive[layout.aData[1] + 50000] ^ 1); // only the CRC tells
    CMemoryZip zip(archive);
    ASSERT_NE(zip.hZip, nullptr);
    const struct
    {
        const char* pstrWhat;
        int iItem;
        ZipKind kind;
        std::uint64_t nStopAfter;
        ZipResult nExpected;
        std::uint64_t nWritten;
        std::size_t nCalls;
    } aCases[] = {
        {"whole item to a handle", 0, ZipKindHandle, UINT64_MAX, ZipOk, 100000, 7},
        {"whole item to a file", 0, ZipKindFile, UINT64_MAX, ZipOk, 100000, 7},
        {"stop after two pieces, handle", 0, ZipKindHandle, 32768, ZipCancelled, 32768, 2},
        {"stop after two pieces, file", 0, ZipKindFile, 32768, ZipCancelled, 32768, 2},
        {"stop at the last piece", 0, ZipKindHandle, 100000, ZipCancelled, 100000, 7},
        {"damaged item: every byte written, then the CRC fails", 1, ZipKindHandle, UINT64_MAX, ZipWriteFailed, 60000,
         4},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pstrWhat);
        const std::string strOut = scratch / "out.bin";
        HANDLE h = ::CreateFileA(strOut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        if (c.kind == ZipKindFile)
            ::CloseHandle(h);
        SProgressLog log;
        log.nStopAfter = c.nStopAfter;
        std::uint64_t nWritten = 12345;
        void* pDest = c.kind == ZipKindFile ? static_cast<void*>(const_cast<char*>("out.bin")) : h;
        EXPECT_EQ(ZipUnzipItemEx(zip.hZip, c.iItem, pDest, c.kind, &SProgressLog::Report, &log, &nWritten),
                  c.nExpected);
        if (c.kind == ZipKindHandle)
            ::CloseHandle(h);
        EXPECT_EQ(nWritten, c.nWritten);
        ASSERT_EQ(log.aWritten.size(), c.nCalls);
        for (std::size_t i = 0; i + 1 < log.aWritten.size(); ++i)
            EXPECT_EQ(log.aWritten[i], 16384 * (i + 1));
        EXPECT_EQ(log.aWritten.back(), c.nWritten);
        EXPECT_EQ(log.nTotal, items[c.iItem].strData.size());
        // What was written stays, exactly those bytes.
        const std::string strGot = ReadWholeFile(strOut);
        EXPECT_EQ(strGot.size(), c.nWritten);
        if (c.iItem == 0) {
            EXPECT_EQ(strGot, items[0].strData.substr(0, c.nWritten));
        }
    }
    // Without a progress function it is ZipUnzipItem; memory and unknown kinds are refused.
    std::uint64_t nWritten = 0;
    EXPECT_EQ(ZipUnzipItemEx(zip.hZip, 0, const_cast<char*>("plain.bin"), ZipKindFile, nullptr, nullptr, &nWritten),
              ZipOk);
    EXPECT_EQ(nWritten, 100000u);
    EXPECT_EQ(ReadWholeFile(scratch / "plain.bin"), items[0].strData);
    char aBlock[10];
    EXPECT_EQ(ZipUnzipItemEx(zip.hZip, 0, aBlock, ZipKindMemory, nullptr, nullptr, &nWritten), ZipBadArgs);
    EXPECT_EQ(nWritten, 0u);
    EXPECT_EQ(ZipUnzipItemEx(zip.hZip, 0, aBlock, static_cast<ZipKind>(9), nullptr, nullptr, nullptr), ZipBadArgs);
    EXPECT_EQ(ZipUnzipItemEx(nullptr, 0, aBlock, ZipKindFile, nullptr, nullptr, &nWritten), ZipBadArgs);
}
