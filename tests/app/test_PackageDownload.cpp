#include "app/PackageDownload.h"

#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace ZipTest;

namespace {

const char kUrl[] = "http://127.0.0.1/veltaragame/client/VeltaraClient.zip";
const char kTag[] = "\"5f3a-1c\"";
const char kDate[] = "Mon, 01 Jan 2024 00:00:00 GMT";

std::string PackageBytes(size_t n)
{
    std::string str(n, '\0');
    for (size_t i = 0; i < n; ++i)
        str[i] = static_cast<char>(i * 7 + 3);
    return str;
}

// One attempt as the engine would run it against a server: the answer's head, the bytes it stores from
// its place on, and how the transfer ended.
struct SAnswer
{
    int nStatus = 200;
    HttpBodyEnd eEnd = HttpBodyEnd::Complete;
    long long nFrom = 0;  // where the stored bytes start in the package (the engine's judgement)
    long long nTo = 0;    // and end; nTo < nFrom stores nothing
    long long nTotal = 0; // the package length the answer names (0: none)
    const char* pstrTag = kTag;
    DWORD dwError = 0;
};

struct SAttempt
{
    HttpRequestInfo request;
    CPackageDownload::SNext next;
};

SAttempt Attempt(CPackageDownload& download, const std::string& strPackage, const SAnswer& answer)
{
    SAttempt attempt{download.NextRequest(), {}};
    HttpResponseInfo response;
    response.m_nStatusCode = answer.nStatus;
    if (answer.nStatus == 200) {
        response.m_nContentLength64 = answer.nTotal;
    } else if (answer.nStatus == 206) {
        response.m_nRangeStart = answer.nFrom;
        response.m_nContentLength64 = answer.nTotal - answer.nFrom;
    }
    response.m_nTotalLength = answer.nTotal;
    response.m_strETag = answer.pstrTag;
    response.m_strLastModified = kDate;
    EXPECT_TRUE(download.OnAnswer(response));
    long long nReceived = 0;
    if (answer.nTo >= answer.nFrom && answer.nStatus != 0) {
        IHttpBodyObserver& observer = *attempt.request.m_pBodyObserver;
        observer.OnBodyStart(answer.nFrom);
        const std::string strPart = strPackage.substr(static_cast<size_t>(answer.nFrom),
                                                      static_cast<size_t>(answer.nTo - answer.nFrom));
        observer.OnBodyBytes(strPart.data(), strPart.size());
        nReceived = static_cast<long long>(strPart.size());
    }
    response.m_eBodyEnd = answer.eEnd;
    response.m_bBodyComplete = answer.eEnd == HttpBodyEnd::Complete;
    response.m_dwBodyError = answer.dwError;
    attempt.next = download.OnAttemptEnded(response, nReceived);
    return attempt;
}

using Kind = CPackageDownload::SNext::Kind;
using Failure = CPackageDownload::Failure;

struct SStep
{
    SAnswer answer;
    // What the request of this attempt asked for.
    long long nAskedFrom;
    const char* pstrIfRange;
    // What the download decided after it.
    Kind eKind;
    DWORD dwPauseMs;
    Failure eFailure;
};

} // namespace

TEST(PackageFile, IsHiddenHeldByThisProcessAndGoneWhenClosed)
{
    CScratchFolder folder("package-file");
    // A file a power cut left behind goes when the next one is made.
    ASSERT_TRUE(WriteWholeFile(folder / "VeltaraClient.~dl1234", "left over"));
    CPackageFile file;
    ASSERT_TRUE(file.Create(folder.WidePath()));
    const std::set<std::string> tree = folder.Tree();
    ASSERT_EQ(1u, tree.size());
    const std::string strName = *tree.begin();
    EXPECT_EQ(0u, strName.find("VeltaraClient.~dl"));
    EXPECT_NE("VeltaraClient.~dl1234", strName);
    const std::string strPath = folder / strName;
    EXPECT_NE(0u, ::GetFileAttributesA(strPath.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    // Nobody else may change or remove it while the download needs it; reading it is harmless.
    EXPECT_EQ(INVALID_HANDLE_VALUE, ::CreateFileA(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                  FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(::DeleteFileA(strPath.c_str()));
    file.Close();
    EXPECT_TRUE(folder.Tree().empty());
    CPackageFile nowhere;
    EXPECT_FALSE(nowhere.Create(folder.WidePath() + L"\\missing"));
}

TEST(PackageFile, HashesTheStoredBytesInOrderAndStartsAgainFromTheFirstByte)
{
    CScratchFolder folder("package-hash");
    CPackageFile file;
    ASSERT_TRUE(file.Create(folder.WidePath()));
    const struct
    {
        long long nStart;
        const char* pstrBytes;
        long long nBytes;
        const char* pstrHashed; // what the hash covers afterwards; null: broken
    } steps[] = {
        {0, "abc", 3, "abc"},
        {3, "def", 6, "abcdef"},   // a resume at the end of the hashed bytes goes on
        {0, "xyz", 3, "xyz"},      // a whole answer starts again
        {2, "!", 3, nullptr},      // anywhere else: the hash no longer covers the file
        {0, "again", 5, "again"},  // until the next start from the first byte
    };
    for (const auto& step : steps) {
        file.OnBodyStart(step.nStart);
        file.OnBodyBytes(step.pstrBytes, std::strlen(step.pstrBytes));
        EXPECT_EQ(step.pstrHashed == nullptr, file.Broken()) << step.pstrBytes;
        if (step.pstrHashed != nullptr) {
            EXPECT_EQ(step.nBytes, file.Bytes()) << step.pstrBytes;
            EXPECT_EQ(Veltara::Sha256(step.pstrHashed, std::strlen(step.pstrHashed)), file.Digest()) << step.pstrBytes;
        }
    }
}

TEST(PackageDownload, EachAttemptResumesRestartsOrEndsTheDownload)
{
    constexpr long long kSize = 100000;
    const std::string package = PackageBytes(static_cast<size_t>(kSize));
    const std::string hash = Veltara::Sha256Hex(package.data(), package.size());
    const auto whole = [](long long nTo, HttpBodyEnd eEnd) {
        SAnswer a;
        a.nTo = nTo;
        a.eEnd = eEnd;
        a.nTotal = kSize;
        return a;
    };
    const auto range = [](long long nFrom, long long nTo, HttpBodyEnd eEnd) {
        SAnswer a;
        a.nStatus = 206;
        a.nFrom = nFrom;
        a.nTo = nTo;
        a.eEnd = eEnd;
        a.nTotal = kSize;
        return a;
    };
    const auto refused = [](int nStatus, HttpBodyEnd eEnd) {
        SAnswer a;
        a.nStatus = nStatus;
        a.nTo = -1;
        a.eEnd = eEnd;
        return a;
    };
    const HttpBodyEnd kDone = HttpBodyEnd::Complete, kCut = HttpBodyEnd::Cut;
    const Failure kConn = Failure::Connection;
    const struct
    {
        const char* pstrWhat;
        std::vector<SStep> steps;
    } cases[] = {
        {"a cut at 40% resumes from there with the validator",
         {{whole(40000, kCut), 0, "", Kind::Resume, 1000, kConn},
          {range(40000, kSize, kDone), 40000, kTag, Kind::Verified, 0, kConn}}},
        {"a stall (the idle limit) counts as a drop",
         {{whole(40000, HttpBodyEnd::Idle), 0, "", Kind::Resume, 1000, kConn},
          {range(40000, kSize, kDone), 40000, kTag, Kind::Verified, 0, kConn}}},
        {"a server that ignores the range sends it all again",
         {{whole(40000, kCut), 0, "", Kind::Resume, 1000, kConn},
          {whole(kSize, kDone), 40000, kTag, Kind::Verified, 0, kConn}}},
        {"a range that does not fit restarts from zero",
         {{whole(40000, kCut), 0, "", Kind::Resume, 1000, kConn},
          {refused(206, HttpBodyEnd::RangeMismatch), 40000, kTag, Kind::Resume, 2000, kConn},
          {whole(kSize, kDone), 0, "", Kind::Verified, 0, kConn}}},
        {"a changed validator restarts from zero",
         {{whole(40000, kCut), 0, "", Kind::Resume, 1000, kConn},
          {refused(206, HttpBodyEnd::ValidatorChanged), 40000, kTag, Kind::Resume, 2000, kConn},
          {whole(kSize, kDone), 0, "", Kind::Verified, 0, kConn}}},
        {"a 206 without a range request, then a proper answer",
         {{refused(206, HttpBodyEnd::PartialUnasked), 0, "", Kind::Resume, 1000, kConn},
          {whole(kSize, kDone), 0, "", Kind::Verified, 0, kConn}}},
        {"more bytes than declared restart from zero",
         {{whole(40000, kCut), 0, "", Kind::Resume, 1000, kConn},
          {range(40000, 60000, HttpBodyEnd::TooLong), 40000, kTag, Kind::Resume, 2000, kConn},
          {whole(kSize, kDone), 0, "", Kind::Verified, 0, kConn}}},
        {"cuts that bring nothing new give up after three resumes, with growing pauses",
         {{whole(40000, kCut), 0, "", Kind::Resume, 1000, kConn},
          {range(40000, 40000, kCut), 40000, kTag, Kind::Resume, 2000, kConn},
          {refused(503, HttpBodyEnd::StatusRefused), 40000, kTag, Kind::Resume, 4000, kConn},
          {range(40000, 40000, kCut), 40000, kTag, Kind::Failed, 0, kConn}}},
        {"every attempt that brings bytes starts the count anew",
         {{whole(20000, kCut), 0, "", Kind::Resume, 1000, kConn},
          {range(20000, 40000, kCut), 20000, kTag, Kind::Resume, 1000, kConn},
          {range(40000, 60000, kCut), 40000, kTag, Kind::Resume, 1000, kConn},
          {range(60000, 80000, kCut), 60000, kTag, Kind::Resume, 1000, kConn},
          {range(80000, kSize, kDone), 80000, kTag, Kind::Verified, 0, kConn}}},
        {"a server that never answered is a failure at once",
         {{refused(0, HttpBodyEnd::NoResponse), 0, "", Kind::Failed, 0, kConn}}},
        {"no answer after an earlier one is a drop",
         {{whole(40000, kCut), 0, "", Kind::Resume, 1000, kConn},
          {refused(0, HttpBodyEnd::NoResponse), 40000, kTag, Kind::Resume, 2000, kConn},
          {range(40000, kSize, kDone), 40000, kTag, Kind::Verified, 0, kConn}}},
        {"an error page is a failure", {{refused(404, HttpBodyEnd::StatusRefused), 0, "", Kind::Failed, 0, kConn}}},
        {"a range beyond the resource restarts from zero",
         {{whole(40000, kCut), 0, "", Kind::Resume, 1000, kConn},
          {refused(416, HttpBodyEnd::StatusRefused), 40000, kTag, Kind::Resume, 2000, kConn},
          {whole(kSize, kDone), 0, "", Kind::Verified, 0, kConn}}},
        {"a complete body short of the package's length is resumed",
         {{whole(60000, kDone), 0, "", Kind::Resume, 1000, kConn},
          {range(60000, kSize, kDone), 60000, kTag, Kind::Verified, 0, kConn}}},
    };
    for (const auto& c : cases) {
        CScratchFolder folder("download");
        CPackageDownload download(hash.c_str());
        ASSERT_TRUE(download.Begin(folder.WidePath(), kUrl)) << c.pstrWhat;
        int i = 0;
        for (const SStep& step : c.steps) {
            const SAttempt attempt = Attempt(download, package, step.answer);
            const std::string strWhere = std::string(c.pstrWhat) + ", attempt " + std::to_string(++i);
            EXPECT_STREQ(kUrl, attempt.request.m_strUrl.Chars()) << strWhere;
            EXPECT_EQ(step.nAskedFrom, attempt.request.m_nStartByte) << strWhere;
            EXPECT_STREQ(step.pstrIfRange, attempt.request.m_strIfRange.Chars()) << strWhere;
            EXPECT_EQ(step.nAskedFrom > 0 ? kSize : 0, attempt.request.m_nExpectedLength) << strWhere;
            EXPECT_NE(nullptr, attempt.request.m_hBodyFile) << strWhere;
            EXPECT_EQ(step.eKind, attempt.next.eKind) << strWhere;
            EXPECT_EQ(step.dwPauseMs, attempt.next.dwPauseMs) << strWhere;
            if (step.eKind == Kind::Failed) {
                EXPECT_EQ(step.eFailure, attempt.next.eFailure) << strWhere;
            }
        }
        const bool bVerified = c.steps.back().eKind == Kind::Verified;
        EXPECT_EQ(bVerified, download.IsVerified()) << c.pstrWhat;
        EXPECT_EQ(bVerified ? PackageHashVerdict::Matched : PackageHashVerdict::NotChecked, download.State().eHash)
            << c.pstrWhat;
        // A download that gave up on the connection keeps its file for the player's retry.
        EXPECT_NE(INVALID_HANDLE_VALUE, download.PackageHandle()) << c.pstrWhat;
        EXPECT_EQ(static_cast<int>(c.steps.size()), download.State().nAttempts) << c.pstrWhat;
    }
}

TEST(PackageDownload, TheRetryButtonResumesWithANewCountOfAttempts)
{
    const std::string package = PackageBytes(50000);
    CScratchFolder folder("download-retry");
    CPackageDownload download("");
    ASSERT_TRUE(download.Begin(folder.WidePath(), kUrl));
    SAnswer cut;
    cut.nTo = 30000;
    cut.eEnd = HttpBodyEnd::Cut;
    cut.nTotal = 50000;
    ASSERT_EQ(Kind::Resume, Attempt(download, package, cut).next.eKind);
    SAnswer nothing;
    nothing.nStatus = 206;
    nothing.nFrom = 30000;
    nothing.nTo = 30000;
    nothing.eEnd = HttpBodyEnd::Cut;
    nothing.nTotal = 50000;
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(Kind::Resume, Attempt(download, package, nothing).next.eKind);
    ASSERT_EQ(Kind::Failed, Attempt(download, package, nothing).next.eKind);
    // The player's retry, for the same folder: the bytes so far stay.
    EXPECT_TRUE(download.CanResume(folder.WidePath()));
    EXPECT_FALSE(download.CanResume(folder.WidePath() + L"\\other"));
    download.AllowMoreAttempts();
    SAnswer rest = nothing;
    rest.nTo = 50000;
    rest.eEnd = HttpBodyEnd::Complete;
    const SAttempt attempt = Attempt(download, package, rest);
    EXPECT_EQ(30000, attempt.request.m_nStartByte);
    EXPECT_EQ(Kind::Verified, attempt.next.eKind);
    EXPECT_EQ(PackageHashVerdict::NotChecked, download.State().eHash); // no hash to check against
    EXPECT_EQ(50000 + 0, download.State().nBytes);
    EXPECT_EQ(50000, download.State().nServed);
    EXPECT_EQ(4, download.State().nResumes);
    // A verified package is installed, not resumed.
    EXPECT_FALSE(download.CanResume(folder.WidePath()));
}

TEST(PackageDownload, AWrongPackageAFullDriveOrAnUnwritableFileRemoveTheFile)
{
    const std::string package = PackageBytes(20000);
    const std::string hash = Veltara::Sha256Hex(package.data(), package.size());
    std::string other = hash;
    other[0] = other[0] == '0' ? '1' : '0';
    const struct
    {
        const char* pstrWhat;
        std::string strHash;
        HttpBodyEnd eEnd;
        DWORD dwError;
        Failure eFailure;
    } cases[] = {
        {"another hash", other, HttpBodyEnd::Complete, 0, Failure::Refused},
        {"a hash that is no hash", "12ab", HttpBodyEnd::Complete, 0, Failure::Refused},
        {"a full drive", hash, HttpBodyEnd::WriteFailed, ERROR_DISK_FULL, Failure::NoSpace},
        {"a full drive (handle)", hash, HttpBodyEnd::WriteFailed, ERROR_HANDLE_DISK_FULL, Failure::NoSpace},
        {"no access", hash, HttpBodyEnd::WriteFailed, ERROR_ACCESS_DENIED, Failure::Unwritable},
    };
    for (const auto& c : cases) {
        CScratchFolder folder("download-fail");
        CPackageDownload download(c.strHash.c_str());
        ASSERT_TRUE(download.Begin(folder.WidePath(), kUrl)) << c.pstrWhat;
        SAnswer answer;
        answer.nTo = c.eEnd == HttpBodyEnd::Complete ? 20000 : 5000;
        answer.eEnd = c.eEnd;
        answer.nTotal = 20000;
        answer.dwError = c.dwError;
        const CPackageDownload::SNext next = Attempt(download, package, answer).next;
        EXPECT_EQ(Kind::Failed, next.eKind) << c.pstrWhat;
        EXPECT_EQ(c.eFailure, next.eFailure) << c.pstrWhat;
        EXPECT_EQ(INVALID_HANDLE_VALUE, download.PackageHandle()) << c.pstrWhat;
        EXPECT_TRUE(folder.Tree().empty()) << c.pstrWhat;
        EXPECT_FALSE(download.IsVerified()) << c.pstrWhat;
        if (c.eFailure == Failure::NoSpace) {
            EXPECT_EQ(15000u, download.NeededBytes()) << c.pstrWhat;
        }
        if (c.eFailure == Failure::Refused) {
            EXPECT_EQ(PackageHashVerdict::Mismatched, download.State().eHash) << c.pstrWhat;
        }
    }
}

TEST(PackageDownload, AnAnswerLargerThanTheDriveIsRefusedBeforeItIsStored)
{
    CScratchFolder folder("download-space");
    CPackageDownload download("");
    ASSERT_TRUE(download.Begin(folder.WidePath(), kUrl));
    download.NextRequest();
    HttpResponseInfo response;
    response.m_nStatusCode = 200;
    response.m_nContentLength64 = 1LL << 60; // an exabyte: no drive has room for it
    EXPECT_FALSE(download.OnAnswer(response));
    EXPECT_EQ(1ull << 60, download.NeededBytes());
    std::uint64_t nFree = 0;
    ASSERT_TRUE(FreeBytesOnDrive(folder.WidePath(), nFree));
    EXPECT_LT(download.FreeBytes(), 1ull << 60);
    // A 5 GB package where there is room for it is no reason to stop.
    if (nFree > 6000000000ull) {
        response.m_nContentLength64 = 5000000000LL;
        EXPECT_TRUE(download.OnAnswer(response));
        EXPECT_EQ(5000000000LL, download.State().nTotal);
    }
}
