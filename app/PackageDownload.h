// The client package's download: the package file that the download streams into (hidden, in the install
// folder, hashed as its bytes arrive) and the decisions between the attempts of one download (resume where
// it stopped, start again from the first byte, or give up), with everything known about the download kept
// in one record. Runs on the window's thread; the hashing runs on the engine's transfer thread.
#pragma once

#include "app/Sha256.h"
#include "sdk/utility/http_request_manager.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

enum class PackageHashVerdict
{
    NotChecked, // no hash to check against (or not yet complete)
    Matched,
    Mismatched,
};

// Everything known about one package download.
struct SPackageDownloadState
{
    std::string strUrl;
    int nStatusCode = 0;          // of the latest answer; 0 when none came
    long long nContentLength = 0; // of the latest answer
    long long nTotal = 0;         // the package's whole length; 0 while unknown
    std::string strETag;          // the package's validators, as its latest whole answer named them
    std::string strLastModified;
    long long nBytes = 0;    // bytes of the package in its file, hashed, in order from the first byte
    long long nFurthest = 0; // the most the file held in this download
    long long nServed = 0;   // body bytes received over every attempt
    int nAttempts = 0;       // requests made
    int nResumes = 0;        // requests for a range
    int nRestarts = 0;       // times the package was begun again from its first byte after a refused answer
    int nFailedInARow = 0;   // attempts since the last one that brought the file further
    HttpBodyEnd eLastEnd = HttpBodyEnd::Running;
    DWORD dwLastError = 0;
    PackageHashVerdict eHash = PackageHashVerdict::NotChecked;
};

// The package's file: made hidden in the install folder, held open so that nobody else may change or remove
// it, and deleted by the system when it is closed (by Close, or when the process ends however it ends). As
// the engine stores the body into it, the bytes pass through the hash in order.
class CPackageFile : public IHttpBodyObserver
{
public:
    CPackageFile() = default;
    ~CPackageFile() override;
    CPackageFile(const CPackageFile&) = delete;
    CPackageFile& operator=(const CPackageFile&) = delete;

    // A new empty file in strFolder (full path); false with the system's error (GetLastError) when it
    // cannot be made. Leftovers of a run that could not delete its file (a power cut) are removed first.
    // Without bHash the bytes are only counted (a build that checks no hash).
    bool Create(const std::wstring& strFolder, bool bHash = true);
    void Close();
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_hFile; }
    const std::wstring& Folder() const { return m_strFolder; }

    // Between transfers (no task stores into the file): the bytes hashed so far, and their hash.
    long long Bytes() const { return m_nBytes; }
    Veltara::Sha256Digest Digest() const;
    // A transfer started somewhere else than at the first byte or the end of the hashed bytes: the hash does
    // not cover the file any more.
    bool Broken() const { return m_bBroken; }

    void OnBodyStart(long long nOffset) override;
    void OnBodyBytes(const char* pBytes, size_t nBytes) override;

    // "<client folder>.~dl" names the package file (a hidden file beside the client folder).
    static std::wstring NamePrefix();

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    std::wstring m_strFolder;
    Veltara::CSha256 m_hash;
    long long m_nBytes = 0;
    bool m_bBroken = false;
    bool m_bHash = true;
};

class CPackageDownload
{
public:
    // After the third automatic resume in a row that brought the file no further, the owner shows the failure.
    static constexpr int kAutomaticResumes = 3;
    // The pause before the first of them; each following one waits twice as long.
    static constexpr DWORD kFirstPauseMs = 1000;

    enum class Failure
    {
        Connection, // no answer, an error status, or the connection kept failing: the file is kept to resume
        Refused,    // the package is not the expected one: it is removed (downloaded again on a retry)
        NoSpace,    // the drive has no room for the rest (NeededBytes, FreeBytes): removed
        Unwritable, // the package file cannot be made or written: removed
    };
    struct SNext
    {
        enum Kind
        {
            Resume,   // make the next request (NextRequest) after dwPauseMs
            Verified, // the package is complete and passed its check: install it
            Failed,   // show eFailure
        } eKind = Failed;
        DWORD dwPauseMs = 0;
        Failure eFailure = Failure::Connection;
    };

    // pstrExpectedSha256: 64 hexadecimal digits, or empty (or null) for no check.
    explicit CPackageDownload(const char* pstrExpectedSha256);

    // A new download of pstrUrl into a new package file in the install folder strFolder; what an earlier
    // download kept is given up. False when the file cannot be made (GetLastError).
    bool Begin(const std::wstring& strFolder, const char* pstrUrl);
    // A download for that folder is under way (its file is kept): the next request goes on with it.
    bool CanResume(const std::wstring& strFolder) const;
    // The player asked to try again: the count of failed attempts starts anew.
    void AllowMoreAttempts() { m_state.nFailedInARow = 0; }
    // The request of the next attempt: from the first byte the file lacks, with the validator of the
    // package's whole answer (If-Range) and its length. Counts the attempt.
    HttpRequestInfo NextRequest();
    // The current attempt's answer head has come. False when the drive cannot take the rest of the package
    // (the owner then stops the task and reports Failure::NoSpace).
    bool OnAnswer(const HttpResponseInfo& response);
    // The current attempt has ended (its transfer finished); nReceived: the body bytes it received.
    SNext OnAttemptEnded(const HttpResponseInfo& response, long long nReceived);
    // Closes and so removes the package file.
    void Discard();

    bool IsVerified() const { return m_bVerified; }
    // The open package file (for the unpacking), or INVALID_HANDLE_VALUE.
    HANDLE PackageHandle() const { return m_pFile ? m_pFile->Handle() : INVALID_HANDLE_VALUE; }
    const SPackageDownloadState& State() const { return m_state; }
    // For Failure::NoSpace: the bytes still to come and the bytes free on the drive.
    std::uint64_t NeededBytes() const { return m_nNeeded; }
    std::uint64_t FreeBytes() const { return m_nFree; }

private:
    SNext Drop();
    void RestartFromZero();
    SNext Fail(Failure eFailure);

    SPackageDownloadState m_state;
    std::shared_ptr<CPackageFile> m_pFile;
    bool m_bCheckHash = false;
    Veltara::Sha256Digest m_expected{};
    bool m_bAnswered = false;   // a server answered in this download
    long long m_nResumeFrom = 0; // where the next request starts
    bool m_bVerified = false;
    std::uint64_t m_nNeeded = 0;
    std::uint64_t m_nFree = 0;
};

// Free bytes for the caller on the drive of a folder; false when the system cannot tell.
bool FreeBytesOnDrive(const std::wstring& strFolder, std::uint64_t& nFree);
