// Archives written by independent tools (Python's zipfile, Info-ZIP zip, bsdtar, 7-Zip, cmake -E tar; made at
// build time by make_interop_archives.py) read back as the tree they were made from.
#include "zip/ZipReader.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

using namespace ZipTest;

namespace {

struct SExpectedFile
{
    std::uint32_t nSize = 0;
    std::uint32_t nCrc = 0;
    bool bHasTime = false;
    std::int64_t nTime = 0;
};

struct SArchive
{
    std::string strFile;
    std::string strTool;
    bool bOpens = false;
    std::set<std::string> features;
    std::map<std::string, SExpectedFile> files;
    std::set<std::string> folders;
};

struct SManifest
{
    std::vector<SArchive> aArchives;
    std::vector<std::string> aMissing;
    bool bRead = false;
};

std::string FromHex(const std::string& strHex)
{
    std::string s;
    for (std::size_t i = 0; i + 1 < strHex.size(); i += 2)
        s.push_back(static_cast<char>(std::stoi(strHex.substr(i, 2), nullptr, 16)));
    return s;
}

const SManifest& Manifest()
{
    static SManifest manifest;
    if (manifest.bRead)
        return manifest;
    manifest.bRead = true;
    bool bOk = false;
    std::istringstream in(ReadWholeFile(std::string(ZIP_INTEROP_DIR) + "/manifest.txt", &bOk));
    if (!bOk)
        return manifest;
    std::string strLine;
    while (std::getline(in, strLine)) {
        std::istringstream line(strLine);
        std::string strKind;
        line >> strKind;
        if (strKind == "archive") {
            SArchive a;
            std::string strOpen, strFeatures;
            line >> a.strFile >> a.strTool >> strOpen >> strFeatures;
            a.bOpens = strOpen == "open";
            std::istringstream feats(strFeatures);
            for (std::string f; std::getline(feats, f, ',');)
                a.features.insert(f);
            manifest.aArchives.push_back(a);
        } else if (strKind == "file" && !manifest.aArchives.empty()) {
            std::string strName, strCrc, strTime;
            SExpectedFile f;
            line >> strName >> f.nSize >> strCrc >> strTime;
            f.nCrc = static_cast<std::uint32_t>(std::stoul(strCrc, nullptr, 16));
            f.bHasTime = strTime != "-";
            if (f.bHasTime)
                f.nTime = std::stoll(strTime);
            manifest.aArchives.back().files[FromHex(strName)] = f;
        } else if (strKind == "dir" && !manifest.aArchives.empty()) {
            std::string strName;
            line >> strName;
            manifest.aArchives.back().folders.insert(FromHex(strName));
        } else if (strKind == "missing") {
            std::string strTool, strPackage;
            line >> strTool >> strPackage;
            manifest.aMissing.push_back(strTool + " (Debian package " + strPackage + ")");
        }
    }
    return manifest;
}

std::string WithoutTrailingSlash(std::string s)
{
    if (!s.empty() && (s.back() == '/' || s.back() == '\\'))
        s.pop_back();
    return s;
}

std::string Backslashed(std::string s)
{
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return s;
}

} // namespace

TEST(ZipInterop, EveryToolIsPresentAndTheFeaturesAreCovered)
{
    const SManifest& manifest = Manifest();
    ASSERT_TRUE(manifest.bRead) << "no manifest in " << ZIP_INTEROP_DIR;
    for (const std::string& strMissing : manifest.aMissing)
        ADD_FAILURE() << "tool not installed: " << strMissing;
    std::set<std::string> tools, features;
    for (const SArchive& a : manifest.aArchives) {
        tools.insert(a.strTool.substr(0, a.strTool.find_first_of("+-")));
        features.insert(a.features.begin(), a.features.end());
    }
    for (const char* p : {"python3", "info", "bsdtar", "7", "cmake"})
        EXPECT_TRUE(tools.count(p)) << p;
    for (const char* p :
         {"stored", "deflated", "descriptor", "utf8-flag", "raw-8bit-name", "folder-dos-attr", "folder-no-attr",
          "folder-unix-mode", "empty-file", "comment", "ut-times", "ntfs-times", "zip64-blocks", "zip64-end",
          "comment-over-limit"})
        EXPECT_TRUE(features.count(p)) << "no archive uses " << p;
}

TEST(ZipInterop, EveryArchiveReadsAsItsSourceTree)
{
    ASSERT_EQ(::GetACP(), 936u);
    const SManifest& manifest = Manifest();
    ASSERT_FALSE(manifest.aArchives.empty());
    for (const SArchive& a : manifest.aArchives) {
        SCOPED_TRACE(a.strFile + " by " + a.strTool);
        const std::string strPath = std::string(ZIP_INTEROP_DIR) + "/" + a.strFile;
        ZipHandle hZip = ZipOpen(strPath.c_str(), 0, ZipKindFile);
        if (!a.bOpens) {
            EXPECT_EQ(hZip, nullptr);
            if (hZip)
                ZipClose(hZip);
            continue;
        }
        ASSERT_NE(hZip, nullptr);
        ZipItemInfo info;
        ASSERT_EQ(ZipGetItem(hZip, -1, &info), ZipOk);
        const int nItems = info.iIndex;
        std::set<std::string> seen, folderItems;
        for (int i = 0; i < nItems; ++i) {
            ASSERT_EQ(ZipGetItem(hZip, i, &info), ZipOk) << i;
            const std::string strName = info.szName;
            SCOPED_TRACE(strName);
            if (a.folders.count(WithoutTrailingSlash(strName))) {
                EXPECT_TRUE(info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
                folderItems.insert(Backslashed(WithoutTrailingSlash(strName)) + "\\");
                continue;
            }
            const auto it = a.files.find(strName);
            if (it == a.files.end()) {
                ADD_FAILURE() << "unexpected item";
                continue;
            }
            seen.insert(strName);
            EXPECT_FALSE(info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
            ASSERT_EQ(static_cast<std::uint32_t>(info.nUncompressedSize), it->second.nSize);
            std::string strData(it->second.nSize, '\0');
            const ZipResult r = ZipUnzipItem(hZip, i, &strData[0], it->second.nSize, ZipKindMemory);
            EXPECT_EQ(r, it->second.nSize ? ZipMoreData : ZipOk);
            if (r == ZipMoreData) {
                EXPECT_EQ(ZipUnzipItem(hZip, i, &strData[0], it->second.nSize, ZipKindMemory), ZipOk);
            }
            EXPECT_EQ(Crc(strData), it->second.nCrc);
            if (it->second.bHasTime) {
                const std::uint64_t nTicks = (static_cast<std::uint64_t>(info.ftModifyTime.dwHighDateTime) << 32) |
                                             info.ftModifyTime.dwLowDateTime;
                EXPECT_EQ(nTicks, static_cast<std::uint64_t>(it->second.nTime + 11644473600LL) * 10000000ULL);
            }
            int iFound = -1;
            EXPECT_EQ(ZipFindItem(hZip, Backslashed(strName).c_str(), true, &iFound, nullptr), ZipOk);
            EXPECT_EQ(iFound, i);
        }
        EXPECT_EQ(seen.size(), a.files.size());
        ZipClose(hZip);

        // The same archive from memory, unpacked to files below a fresh base folder.
        bool bRead = false;
        const std::string strArchive = ReadWholeFile(strPath, &bRead);
        ASSERT_TRUE(bRead);
        CScratchFolder scratch("interop");
        {
            CCurrentFolder cwd(scratch.Path());
            ASSERT_TRUE(cwd.Ok());
            hZip = ZipOpen(strArchive.data(), static_cast<DWORD>(strArchive.size()), ZipKindMemory);
            ASSERT_NE(hZip, nullptr);
            for (int i = 0; i < nItems; ++i) {
                ASSERT_EQ(ZipGetItem(hZip, i, &info), ZipOk);
                EXPECT_EQ(ZipUnzipItem(hZip, i, info.szName, 0, ZipKindFile), ZipOk) << info.szName;
            }
            ZipClose(hZip);
        }
        // Expected: the files, their folders, and the folder items (tools differ in storing empty folders).
        std::set<std::string> expected = folderItems;
        for (const auto& f : a.files) {
            const std::string strFile = Backslashed(f.first);
            expected.insert(strFile);
            for (std::size_t n = strFile.find('\\'); n != std::string::npos; n = strFile.find('\\', n + 1))
                expected.insert(strFile.substr(0, n + 1));
        }
        EXPECT_EQ(scratch.Tree(), expected);
        for (const auto& f : a.files)
            EXPECT_EQ(Crc(ReadWholeFile(scratch / Backslashed(f.first))), f.second.nCrc) << f.first;
    }
}

// Long runs of one byte leave inflate holding output after its last input byte: every block size (below,
// at and above the reader's 16 KB pieces) must still get every byte, from each tool's archive.
TEST(ZipInterop, RepetitiveItemsUnpackInAnyBlockSize)
{
    const SManifest& manifest = Manifest();
    ASSERT_FALSE(manifest.aArchives.empty());
    int nChecked = 0;
    for (const SArchive& a : manifest.aArchives) {
        if (!a.bOpens)
            continue;
        SCOPED_TRACE(a.strFile + " by " + a.strTool);
        bool bRead = false;
        const std::string strArchive = ReadWholeFile(std::string(ZIP_INTEROP_DIR) + "/" + a.strFile, &bRead);
        ASSERT_TRUE(bRead);
        CMemoryZip zip(strArchive);
        ASSERT_NE(zip.hZip, nullptr);
        CScratchFolder scratch("repetitive");
        CCurrentFolder cwd(scratch.Path());
        ASSERT_TRUE(cwd.Ok());
        for (const auto& f : a.files) {
            if (f.first.rfind("pkg/rep/", 0) != 0)
                continue;
            SCOPED_TRACE(f.first);
            int iIndex = -1;
            ASSERT_EQ(ZipFindItem(zip.hZip, f.first.c_str(), false, &iIndex, nullptr), ZipOk);
            for (DWORD nBlock : {f.second.nSize, 1000u, 4096u, 16384u, 16385u, 65536u}) {
                std::string strOut, strBlock(nBlock, '\0');
                ZipResult r;
                while ((r = ZipUnzipItem(zip.hZip, iIndex, &strBlock[0], nBlock, ZipKindMemory)) == ZipMoreData &&
                       strOut.size() <= f.second.nSize) {
                    strOut.append(strBlock.data(), std::min<std::size_t>(nBlock, f.second.nSize - strOut.size()));
                }
                EXPECT_EQ(r, ZipOk) << "block " << nBlock;
                EXPECT_EQ(strOut.size(), f.second.nSize) << "block " << nBlock;
                EXPECT_EQ(Crc(strOut), f.second.nCrc) << "block " << nBlock;
            }
            char szOut[] = "out.bin";
            EXPECT_EQ(ZipUnzipItem(zip.hZip, iIndex, szOut, 0, ZipKindFile), ZipOk);
            EXPECT_EQ(Crc(ReadWholeFile(scratch / szOut)), f.second.nCrc);
            ++nChecked;
        }
    }
    EXPECT_GT(nChecked, 100);
}
