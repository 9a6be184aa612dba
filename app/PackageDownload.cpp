#include "app/PackageDownload.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/Config.h"
#include "app/InstallFiles.h"

#include <wininet.h>

#include <cwchar>

namespace {

bool IsStrongEntityTag(const std::string& strTag)
{
    return !strTag.empty() && strTag[0] == '"';
}

} // namespace

bool FreeBytesOnDrive(const std::wstring& strFolder, std::uint64_t& nFree)
{
    ULARGE_INTEGER freeToCaller = {};
    if (!::GetDiskFreeSpaceExW(strFolder.c_str(), &freeToCaller, nullptr, nullptr))
        return false;
    nFree = freeToCaller.QuadPart;
    return true;
}

// ----- The package file ------------------------------------------------------------------------------------

std::wstring CPackageFile::NamePrefix()
{
    return SkinUI::GbkToWide(g_strClientFolder) + L".~dl";
}

CPackageFile::~CPackageFile()
{
    Close();
}

bool CPackageFile::Create(const std::wstring& strFolder, bool bHash)
{
    Close();
    std::wstring strFull;
    if (!FullFolderPath(strFolder, strFull)) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    const std::wstring strRoot = ExtendedPath(strFull);
    // A file of an earlier run is normally gone with that run; a power cut may have left one.
    WIN32_FIND_DATAW data = {};
    const HANDLE hFind = ::FindFirstFileW(JoinPath(strRoot, NamePrefix() + L"*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                const std::wstring strOld = JoinPath(strRoot, data.cFileName);
                ::SetFileAttributesW(strOld.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(strOld.c_str());
            }
        } while (::FindNextFileW(hFind, &data));
        ::FindClose(hFind);
    }
    wchar_t szUnique[32] = {};
    std::swprintf(szUnique, 32, L"%lx%lx", static_cast<unsigned long>(::GetCurrentProcessId()),
                  static_cast<unsigned long>(::GetTickCount()));
    // Others may read it, never change or remove it; it goes when its last handle closes.
    const HANDLE hFile = ::CreateFileW(JoinPath(strRoot, NamePrefix() + szUnique).c_str(),
                                       GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    m_hFile = hFile;
    m_strFolder = strFull;
    m_hash = Veltara::CSha256();
    m_nBytes = 0;
    m_bBroken = false;
    m_bHash = bHash;
    return true;
}

void CPackageFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    m_strFolder.clear();
}

Veltara::Sha256Digest CPackageFile::Digest() const
{
    Veltara::CSha256 hash = m_hash; // the running hash goes on unchanged
    return hash.Finish();
}

void CPackageFile::OnBodyStart(long long nOffset)
{
    if (nOffset == 0) {
        m_hash = Veltara::CSha256();
        m_nBytes = 0;
        m_bBroken = false;
    } else if (nOffset != m_nBytes) {
        m_bBroken = true;
    }
}

void CPackageFile::OnBodyBytes(const char* pBytes, size_t nBytes)
{
    if (m_bBroken)
        return;
    if (m_bHash)
        m_hash.Update(pBytes, nBytes);
    m_nBytes += static_cast<long long>(nBytes);
}

// ----- The download ----------------------------------------------------------------------------------------

CPackageDownload::CPackageDownload(const char* pstrExpectedSha256)
{
    m_bCheckHash = pstrExpectedSha256 != nullptr && *pstrExpectedSha256 != '\0';
    // A hash that is not 64 hexadecimal digits matches no package.
    if (m_bCheckHash && !Veltara::DigestFromHex(pstrExpectedSha256, m_expected))
        m_expected.fill(0);
}

bool CPackageDownload::Begin(const std::wstring& strFolder, const char* pstrUrl)
{
    Discard();
    m_state = SPackageDownloadState();
    m_state.strUrl = pstrUrl != nullptr ? pstrUrl : "";
    m_bAnswered = false;
    m_nResumeFrom = 0;
    m_pFile = std::make_shared<CPackageFile>();
    if (!m_pFile->Create(strFolder, m_bCheckHash)) {
        const DWORD dwError = ::GetLastError();
        m_pFile.reset();
        ::SetLastError(dwError);
        return false;
    }
    return true;
}

bool CPackageDownload::CanResume(const std::wstring& strFolder) const
{
    std::wstring strFull;
    return m_pFile && m_pFile->IsOpen() && !m_bVerified && FullFolderPath(strFolder, strFull) &&
           ::CompareStringOrdinal(strFull.c_str(), -1, m_pFile->Folder().c_str(), -1, TRUE) == CSTR_EQUAL;
}

HttpRequestInfo CPackageDownload::NextRequest()
{
    HttpRequestInfo request = FCHttpRequestManager::MakeDownloadRequest(m_state.strUrl.c_str());
    // The hash protects the content, so a package host may send the installer on to https.
    request.m_dwOpenFlags |= INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    if (m_pFile) {
        request.m_hBodyFile = m_pFile->Handle();
        request.m_pBodyObserver = m_pFile;
    }
    if (m_nResumeFrom > 0) {
        request.m_nStartByte = m_nResumeFrom;
        // A weak ETag may not stand for a range; the date does then.
        const std::string& strValidator =
            IsStrongEntityTag(m_state.strETag) ? m_state.strETag : m_state.strLastModified;
        request.m_strIfRange = strValidator.c_str();
        request.m_nExpectedLength = m_state.nTotal;
        ++m_state.nResumes;
    }
    ++m_state.nAttempts;
    return request;
}

bool CPackageDownload::OnAnswer(const HttpResponseInfo& response)
{
    m_state.nStatusCode = response.m_nStatusCode;
    m_state.nContentLength = response.m_nContentLength64;
    if (response.m_nStatusCode == 0)
        return true;
    m_bAnswered = true;
    long long nFrom = 0;
    if (response.m_nStatusCode == 200) {
        // A whole answer names the package from here on.
        m_state.nTotal = response.m_nContentLength64;
        m_state.strETag = response.m_strETag.Chars();
        m_state.strLastModified = response.m_strLastModified.Chars();
    } else if (response.m_nStatusCode == 206 && response.m_nRangeStart == m_nResumeFrom) {
        nFrom = m_nResumeFrom;
        if (m_state.nTotal == 0)
            m_state.nTotal = response.m_nTotalLength;
    } else {
        return true; // not stored: nothing to make room for
    }
    if (m_state.nTotal <= nFrom || !m_pFile)
        return true;
    std::uint64_t nFree = 0;
    const std::uint64_t nNeeded = static_cast<std::uint64_t>(m_state.nTotal - nFrom);
    if (!FreeBytesOnDrive(m_pFile->Folder(), nFree) || nNeeded <= nFree)
        return true; // a drive that cannot tell: the writes will find out
    m_nNeeded = nNeeded;
    m_nFree = nFree;
    return false;
}

CPackageDownload::SNext CPackageDownload::OnAttemptEnded(const HttpResponseInfo& response, long long nReceived)
{
    m_state.eLastEnd = response.m_eBodyEnd;
    m_state.dwLastError = response.m_dwBodyError;
    m_state.nServed += nReceived;
    if (!m_pFile)
        return Fail(Failure::Unwritable);
    m_state.nBytes = m_pFile->Bytes();
    m_nResumeFrom = m_state.nBytes;
    if (m_pFile->Broken()) {
        RestartFromZero();
        return Drop();
    }
    switch (response.m_eBodyEnd) {
    case HttpBodyEnd::Complete:
        if (m_state.nTotal > 0 && m_state.nBytes != m_state.nTotal)
            return Drop();
        if (m_bCheckHash) {
            m_state.eHash = m_pFile->Digest() == m_expected ? PackageHashVerdict::Matched
                                                            : PackageHashVerdict::Mismatched;
            if (m_state.eHash == PackageHashVerdict::Mismatched)
                return Fail(Failure::Refused);
        }
        m_bVerified = true;
        return SNext{SNext::Verified, 0, Failure::Connection};
    case HttpBodyEnd::WriteFailed:
        if (response.m_dwBodyError == ERROR_DISK_FULL || response.m_dwBodyError == ERROR_HANDLE_DISK_FULL) {
            m_nNeeded = m_state.nTotal > m_state.nBytes ? static_cast<std::uint64_t>(m_state.nTotal - m_state.nBytes)
                                                        : 0;
            if (!FreeBytesOnDrive(m_pFile->Folder(), m_nFree))
                m_nFree = 0;
            return Fail(Failure::NoSpace);
        }
        return Fail(Failure::Unwritable);
    case HttpBodyEnd::NoResponse:
        // A server that never answered is not a connection that dropped.
        if (!m_bAnswered)
            return Fail(Failure::Connection);
        return Drop();
    case HttpBodyEnd::StatusRefused: {
        const int nStatus = response.m_nStatusCode;
        if (nStatus == 416) { // the range lies beyond what the server has now
            RestartFromZero();
            return Drop();
        }
        if (nStatus >= 500 || nStatus == 408 || nStatus == 429)
            return Drop(); // the server is busy or failing for a while
        return Fail(Failure::Connection);
    }
    case HttpBodyEnd::PartialUnasked:
    case HttpBodyEnd::RangeMismatch:
    case HttpBodyEnd::ValidatorChanged:
    case HttpBodyEnd::TooLong:
        // The answer cannot be joined to the bytes the file holds, or lies about its length.
        RestartFromZero();
        return Drop();
    default: // cut, the idle limit, a stop
        return Drop();
    }
}

void CPackageDownload::RestartFromZero()
{
    m_nResumeFrom = 0;
    m_state.strETag.clear();
    m_state.strLastModified.clear();
    m_state.nTotal = 0;
    ++m_state.nRestarts;
}

// An attempt that ended early: another one after a pause, unless too many in a row brought nothing new.
CPackageDownload::SNext CPackageDownload::Drop()
{
    if (m_nResumeFrom > m_state.nFurthest) {
        m_state.nFurthest = m_nResumeFrom;
        m_state.nFailedInARow = 1;
    } else {
        ++m_state.nFailedInARow;
    }
    if (m_state.nFailedInARow > kAutomaticResumes)
        return SNext{SNext::Failed, 0, Failure::Connection};
    return SNext{SNext::Resume, kFirstPauseMs << (m_state.nFailedInARow - 1), Failure::Connection};
}

CPackageDownload::SNext CPackageDownload::Fail(Failure eFailure)
{
    if (eFailure != Failure::Connection)
        Discard();
    return SNext{SNext::Failed, 0, eFailure};
}

void CPackageDownload::Discard()
{
    // A task that still holds a reference stores nothing more once stopped: the file goes with the last handle.
    if (m_pFile)
        m_pFile->Close();
    m_pFile.reset();
    m_bVerified = false;
    m_nResumeFrom = 0;
}
