// Item names: the exact UTF-16 name and the GBK byte name of every kind of stored name, and files created
// under their exact names. Also run under a locale whose ANSI code page is not 936 (CTest entry
// test_zip_names_en_US): nothing here may depend on the system's code page.
#include "zip/ZipReader.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace ZipTest;

namespace {

std::wstring NameOf(ZipHandle hZip, int iIndex, ZipResult* pResult = nullptr)
{
    wchar_t sz[MAX_PATH * 2];
    unsigned nLength = 12345;
    const ZipResult r = ZipGetItemNameW(hZip, iIndex, sz, MAX_PATH * 2, &nLength);
    if (pResult)
        *pResult = r;
    return r == ZipOk && nLength == std::wcslen(sz) ? std::wstring(sz) : L"<error>";
}

// A Unicode path block (0x7075) naming strUtf8, for a stored name of strStored bytes.
std::string UnicodePath(const std::string& strUtf8, const std::string& strStored)
{
    std::string s(9, '\0');
    s[0] = 'u';
    s[1] = 'p';
    Put16(s, 2, static_cast<std::uint16_t>(5 + strUtf8.size()));
    s[4] = 1;
    Put32(s, 5, Crc(strStored));
    return s + strUtf8;
}

struct SNameCase
{
    const char* pstrWhat;
    std::string strStored;
    std::uint16_t nFlags;
    std::string strCentralExtra;
    const wchar_t* pwstrExact;
    const char* pstrGbk;
};

const std::vector<SNameCase>& NameCases()
{
    static const std::vector<SNameCase> cases = {
        {"accents, flagged", "\xC3\x9Cn\xC3\xAF"
                             "c\xC3\xB6"
                             "d\xC3\xA9-\xC3\xA9.txt",
         0x0800, "", L"\u00DCn\u00EFc\u00F6d\u00E9-\u00E9.txt", "?n?c?d\xA8\xA6-\xA8\xA6.txt"},
        {"kana, flagged", "\xE3\x82\xAB\xE3\x82\xBF\xE3\x82\xAB\xE3\x83\x8A.txt", 0x0800, "",
         L"\u30AB\u30BF\u30AB\u30CA.txt", "\xA5\xAB\xA5\xBF\xA5\xAB\xA5\xCA.txt"},
        {"emoji, flagged", "emoji-\xF0\x9F\x8E\xAE.txt", 0x0800, "", L"emoji-\U0001F3AE.txt", "emoji-??.txt"},
        {"Chinese, flagged", "\xE8\xAF\xB4\xE6\x98\x8E.txt", 0x0800, "", L"\u8BF4\u660E.txt", "\xCB\xB5\xC3\xF7.txt"},
        // Unflagged names are GBK (whatever the system's code page; as code page 437 these bytes are box
        // drawing characters).
        {"Chinese, unflagged GBK", "\xB0\xB2\xD7\xB0/\xCB\xB5\xC3\xF7.txt", 0, "", L"\u5B89\u88C5/\u8BF4\u660E.txt",
         "\xB0\xB2\xD7\xB0/\xCB\xB5\xC3\xF7.txt"},
        {"Unicode path block", "emoji-_.txt", 0, UnicodePath("emoji-\xF0\x9F\x8E\xAE-up.txt", "emoji-_.txt"),
         L"emoji-\U0001F3AE-up.txt", "emoji-?" "?-up.txt"},
        {"stale Unicode path block", "renamed.txt", 0, UnicodePath("old-\xF0\x9F\x8E\xAE.txt", "old.txt"),
         L"renamed.txt", "renamed.txt"},
        {"flagged name ignores a Unicode path block", "flagged.txt", 0x0800,
         UnicodePath("other.txt", "flagged.txt"), L"flagged.txt", "flagged.txt"},
    };
    return cases;
}

std::vector<SItemSpec> NameItems()
{
    std::vector<SItemSpec> items;
    for (const SNameCase& c : NameCases()) {
        SItemSpec item;
        item.strName = c.strStored;
        item.nFlags = c.nFlags;
        item.strCentralExtra = c.strCentralExtra;
        item.strData = std::string("content of ") + c.pstrWhat;
        items.push_back(item);
    }
    return items;
}

// Every file and folder below strRoot as exact relative names with '\' (folders end with '\').
void CollectWide(const std::wstring& strRoot, const std::wstring& strRelative, std::set<std::wstring>& tree)
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((strRoot + L"\\" + strRelative + L"*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring strName = fd.cFileName;
        if (strName == L"." || strName == L"..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree.insert(strRelative + strName + L"\\");
            CollectWide(strRoot, strRelative + strName + L"\\", tree);
        } else {
            tree.insert(strRelative + strName);
        }
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
}

std::string ReadWide(const std::wstring& strPath)
{
    HANDLE h = ::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    char sz[256];
    DWORD nRead = 0;
    ::ReadFile(h, sz, sizeof(sz), &nRead, nullptr);
    ::CloseHandle(h);
    return std::string(sz, nRead);
}

} // namespace

// The locale run must really have another code page, or it proves nothing.
TEST(ZipNames, RunsUnderTheCodePageItWasGiven)
{
    char sz[16] = {};
    if (!::GetEnvironmentVariableA("ZIP_TEST_EXPECT_ACP", sz, sizeof(sz)))
        GTEST_SKIP() << "no code page asked for";
    EXPECT_EQ(::GetACP(), static_cast<UINT>(std::stoul(sz)));
}

TEST(ZipNames, ExactNamesAndTheirGbkBytes)
{
    const std::vector<SNameCase>& cases = NameCases();
    CMemoryZip zip(BuildArchive(NameItems()));
    ASSERT_NE(zip.hZip, nullptr);
    for (int i = 0; i < static_cast<int>(cases.size()); ++i) {
        SCOPED_TRACE(cases[i].pstrWhat);
        EXPECT_EQ(NameOf(zip.hZip, i), cases[i].pwstrExact);
        ZipItemInfo info;
        ASSERT_EQ(ZipGetItem(zip.hZip, i, &info), ZipOk);
        EXPECT_STREQ(info.szName, cases[i].pstrGbk);
    }
    // Found by the GBK name; one that GBK lacks characters of is found by its '?' form too.
    int iIndex = -1;
    EXPECT_EQ(ZipFindItem(zip.hZip, "\xB0\xB2\xD7\xB0\\\xCB\xB5\xC3\xF7.TXT", true, &iIndex, nullptr), ZipOk);
    EXPECT_EQ(iIndex, 4);
    EXPECT_EQ(ZipFindItem(zip.hZip, "\xA5\xAB\xA5\xBF\xA5\xAB\xA5\xCA.txt", false, &iIndex, nullptr), ZipOk);
    EXPECT_EQ(iIndex, 1);
}

TEST(ZipNames, BufferSizesAndBadNames)
{
    std::vector<SItemSpec> items(3);
    items[0].strName = "emoji-\xF0\x9F\x8E\xAE.txt"; // 12 UTF-16 units
    items[0].nFlags = 0x0800;
    items[1].strName = "bad\xC3(";
    items[1].nFlags = 0x0800;
    items[2].strName = "bad-up.txt";
    items[2].strCentralExtra = UnicodePath("bad\xC3(", "bad-up.txt");
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    unsigned nLength = 0;
    EXPECT_EQ(ZipGetItemNameW(zip.hZip, 0, nullptr, 0, &nLength), ZipOk);
    EXPECT_EQ(nLength, 12u);
    wchar_t sz[13];
    EXPECT_EQ(ZipGetItemNameW(zip.hZip, 0, sz, 13, nullptr), ZipOk);
    EXPECT_EQ(std::wstring(sz), L"emoji-\U0001F3AE.txt");
    sz[0] = L'x';
    EXPECT_EQ(ZipGetItemNameW(zip.hZip, 0, sz, 12, &nLength), ZipBadArgs);
    EXPECT_EQ(sz[0], L'\0');
    EXPECT_EQ(nLength, 12u);
    // Names that are not valid UTF-8 are no names, flagged or given by a Unicode path block.
    ZipItemInfo info;
    for (int i : {1, 2}) {
        EXPECT_EQ(ZipGetItemNameW(zip.hZip, i, sz, 13, &nLength), ZipCorrupt) << i;
        EXPECT_EQ(ZipGetItem(zip.hZip, i, &info), ZipCorrupt) << i;
    }
    EXPECT_EQ(ZipGetItemNameW(zip.hZip, -1, sz, 13, &nLength), ZipBadArgs);
    EXPECT_EQ(ZipGetItemNameW(zip.hZip, 3, sz, 13, &nLength), ZipBadArgs);
    EXPECT_EQ(ZipGetItemNameW(nullptr, 0, sz, 13, &nLength), ZipBadArgs);
}

TEST(ZipNames, FilesAreCreatedUnderTheirExactNames)
{
    std::vector<SItemSpec> items = NameItems();
    SItemSpec folder;
    folder.strName = "\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80/"; // フォルダ/
    folder.nFlags = 0x0800;
    folder.nMethod = 0;
    items.push_back(folder);
    SItemSpec deep;
    deep.strName = "\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80/\xF0\x9F\x8E\xAE/A\xC3\xB1o.txt"; // フォルダ/🎮/Año.txt
    deep.nFlags = 0x0800;
    deep.strData = "deep";
    items.push_back(deep);

    CScratchFolder scratch("names");
    {
        CCurrentFolder cwd(scratch.Path());
        ASSERT_TRUE(cwd.Ok());
        CMemoryZip zip(BuildArchive(items));
        ASSERT_NE(zip.hZip, nullptr);
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            ZipItemInfo info;
            ASSERT_EQ(ZipGetItem(zip.hZip, i, &info), ZipOk);
            EXPECT_EQ(ZipUnzipItem(zip.hZip, i, info.szName, 0, ZipKindFile), ZipOk) << i;
        }
        // A wide destination of the caller's choosing.
        EXPECT_EQ(ZipUnzipItem(zip.hZip, 2, const_cast<wchar_t*>(L"copy/\u00C5ngstr\u00F6m-\U0001F3AE.bin"), 0,
                               ZipKindFileW),
                  ZipOk);
        // Only the item's own GBK name stands for its exact name: another name with '?' is just refused by the
        // file system.
        EXPECT_EQ(ZipUnzipItem(zip.hZip, 2, const_cast<char*>("other-?.txt"), 0, ZipKindFile), ZipOpenFileFailed);
        // Destinations are checked as the wide names they become.
        for (const wchar_t* p : {L"../x.txt", L"a/../../x.txt", L"\\x.txt", L"C:x.txt", L"a/\u3000../x.txt/..",
                                 L"x.txt:stream"})
            EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, const_cast<wchar_t*>(p), 0, ZipKindFileW), ZipBadArgs);
    }
    std::set<std::wstring> expected = {
        L"\u00DCn\u00EFc\u00F6d\u00E9-\u00E9.txt",
        L"\u30AB\u30BF\u30AB\u30CA.txt",
        L"emoji-\U0001F3AE.txt",
        L"\u8BF4\u660E.txt",
        L"\u5B89\u88C5\\",
        L"\u5B89\u88C5\\\u8BF4\u660E.txt",
        L"emoji-\U0001F3AE-up.txt",
        L"renamed.txt",
        L"flagged.txt",
        L"\u30D5\u30A9\u30EB\u30C0\\",
        L"\u30D5\u30A9\u30EB\u30C0\\\U0001F3AE\\",
        L"\u30D5\u30A9\u30EB\u30C0\\\U0001F3AE\\A\u00F1o.txt",
        L"copy\\",
        L"copy\\\u00C5ngstr\u00F6m-\U0001F3AE.bin",
    };
    std::set<std::wstring> tree;
    const std::wstring strRoot = scratch.WidePath();
    CollectWide(strRoot, L"", tree);
    EXPECT_EQ(tree, expected);
    EXPECT_EQ(ReadWide(strRoot + L"\\emoji-\U0001F3AE.txt"), "content of emoji, flagged");
    EXPECT_EQ(ReadWide(strRoot + L"\\\u5B89\u88C5\\\u8BF4\u660E.txt"), "content of Chinese, unflagged GBK");
    EXPECT_EQ(ReadWide(strRoot + L"\\\u30D5\u30A9\u30EB\u30C0\\\U0001F3AE\\A\u00F1o.txt"), "deep");
    EXPECT_EQ(ReadWide(strRoot + L"\\copy\\\u00C5ngstr\u00F6m-\U0001F3AE.bin"), "content of emoji, flagged");
}

TEST(ZipNames, ArchivesOpenByWideAndGbkPaths)
{
    const std::vector<SItemSpec> items = NameItems();
    const std::string archive = BuildArchive(items);
    CScratchFolder scratch("paths");
    const std::wstring strFolder = scratch.WidePath() + L"\\\u8BF4\u660E-\U0001F3AE";
    ASSERT_TRUE(::CreateDirectoryW(strFolder.c_str(), nullptr));
    const std::wstring strWide = strFolder + L"\\\u5B89\u88C5.zip";
    HANDLE h = ::CreateFileW(strWide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD nWritten = 0;
    ::WriteFile(h, archive.data(), static_cast<DWORD>(archive.size()), &nWritten, nullptr);
    ::CloseHandle(h);
    CZip byWide(ZipOpen(strWide.c_str(), 0, ZipKindFileW));
    ASSERT_NE(byWide.hZip, nullptr);
    EXPECT_EQ(NameOf(byWide.hZip, 2), L"emoji-\U0001F3AE.txt");
    // A GBK path reaches only what GBK can name: the folder's emoji cannot be given.
    const std::wstring strGbkFolder = scratch.WidePath() + L"\\\u8BF4\u660E";
    ASSERT_TRUE(::CreateDirectoryW(strGbkFolder.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(strWide.c_str(), (strGbkFolder + L"\\\u5B89\u88C5.zip").c_str(), FALSE));
    const std::string strGbk = scratch.Path() + "\\\xCB\xB5\xC3\xF7\\\xB0\xB2\xD7\xB0.zip";
    CZip byGbk(ZipOpen(strGbk.c_str(), 0, ZipKindFile));
    ASSERT_NE(byGbk.hZip, nullptr);
    EXPECT_EQ(NameOf(byGbk.hZip, 3), L"\u8BF4\u660E.txt");
}
