#include "app/InstallRecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SInstalledFile Installed(const std::wstring& strPath, std::uint64_t nSize, const std::string& strContent)
{
    SInstalledFile file;
    file.strPath = strPath;
    file.nSize = nSize;
    file.digest = Veltara::Sha256(strContent.data(), strContent.size());
    return file;
}

} // namespace

TEST(InstallRecord, KeepReplaceRuleForEveryCombination)
{
    const struct
    {
        bool bInPackage, bExists, bListed, bUnchanged;
        FileFate eFate;
        const char* pstrWhy;
    } cases[] = {
        {true, false, false, false, FileFate::Install, "new in the package"},
        {true, false, true, false, FileFate::Install, "installed before, deleted by the player: back again"},
        {true, true, true, true, FileFate::Install, "ours and untouched: the new version replaces it"},
        {true, true, true, false, FileFate::Keep, "ours but changed by the player: kept"},
        {true, true, false, false, FileFate::Install, "not ours (or no record): the package's file replaces it"},
        {true, true, false, true, FileFate::Install, "unchanged means nothing without a record line"},
        {false, true, true, true, FileFate::Remove, "ours, untouched, dropped from the package: removed"},
        {false, true, true, false, FileFate::Keep, "ours, changed, dropped from the package: kept"},
        {false, true, false, false, FileFate::Keep, "the player's own file (saves, logs): kept"},
        {false, true, false, true, FileFate::Keep, "the player's own file, whatever unchanged says"},
        {false, false, true, true, FileFate::None, "recorded but gone, not in the package"},
        {false, false, false, false, FileFate::None, "nothing anywhere"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecideFileFate(c.bInPackage, c.bExists, c.bListed, c.bUnchanged), c.eFate) << c.pstrWhy;
}

TEST(InstallRecord, RoundTripsPathsSizesAndHashes)
{
    const std::vector<SInstalledFile> files = {
        Installed(L"VeltaraClient.exe", 70000, "exe"),
        Installed(L"config\\client.ini", 12, "[client]"),
        Installed(L"res\\\u8bf4\u660e \u6587\u4ef6.txt", 0, ""),
        Installed(L"data\\a b\\  two  blanks .dat", 1ull << 40, "big"),
    };
    const std::string text = FormatInstallRecord(files);
    // Paths are written with '/' as zip names are, and read back with '\'.
    EXPECT_NE(text.find(" 12 config/client.ini\r\n"), std::string::npos) << text;
    std::vector<SInstalledFile> back;
    ASSERT_TRUE(ParseInstallRecord(text, back));
    ASSERT_EQ(back.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(back[i].strPath, files[i].strPath) << i;
        EXPECT_EQ(back[i].nSize, files[i].nSize) << i;
        EXPECT_EQ(back[i].digest, files[i].digest) << i;
    }
    // Lookups ignore letter case, as the file system does.
    const auto index = IndexInstallRecord(back);
    EXPECT_EQ(index.count(L"CONFIG\\Client.INI"), 1u);
    EXPECT_EQ(index.count(L"config\\client.ini.bak"), 0u);
}

TEST(InstallRecord, UnknownTextIsNoRecordAndDamagedLinesAreSkipped)
{
    const std::string good = FormatInstallRecord({Installed(L"a.txt", 1, "a"), Installed(L"b.txt", 2, "bb")});
    const std::string header = good.substr(0, good.find("\r\n") + 2);
    const std::string lineA = good.substr(header.size(), good.find("\r\n", header.size()) + 2 - header.size());
    const struct
    {
        const char* pstrWhat;
        std::string strText;
        bool bRecord;
        std::vector<std::wstring> aPaths;
    } cases[] = {
        {"empty file", "", false, {}},
        {"another format", "VeltaraSetup install record 2\r\n" + lineA, false, {}},
        {"a file of the player's", "[client]\r\nname=me\r\n", false, {}},
        {"header only", header, true, {}},
        {"line ends without CR",
         header.substr(0, header.size() - 2) + "\n" + lineA.substr(0, lineA.size() - 2) + "\n",
         true,
         {L"a.txt"}},
        {"last line without an end", header + lineA.substr(0, lineA.size() - 2), true, {L"a.txt"}},
        {"short hash", header + lineA.substr(1), true, {}},
        {"hash with a non-hex digit", header + "g" + lineA.substr(1), true, {}},
        {"size not a number", header + lineA.substr(0, 65) + "x" + lineA.substr(66), true, {}},
        {"no path", header + lineA.substr(0, 67) + "\r\n", true, {}},
        {"path not UTF-8", header + lineA.substr(0, 67) + "\xff\xfe\r\n", true, {}},
        {"damaged line among good ones",
         header + "garbage\r\n" + good.substr(header.size()),
         true,
         {L"a.txt", L"b.txt"}},
    };
    for (const auto& c : cases) {
        std::vector<SInstalledFile> files;
        EXPECT_EQ(ParseInstallRecord(c.strText, files), c.bRecord) << c.pstrWhat;
        std::vector<std::wstring> paths;
        for (const SInstalledFile& f : files)
            paths.push_back(f.strPath);
        EXPECT_EQ(paths, c.aPaths) << c.pstrWhat;
    }
}
