#include "app/InstallLog.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/InstallFiles.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";

std::wstring LocalStamp(const SYSTEMTIME& st, bool bForName)
{
    wchar_t sz[40] = {};
    if (bForName)
        std::swprintf(sz, 40, L"%04u%02u%02u-%02u%02u%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                      st.wSecond);
    else
        std::swprintf(sz, 40, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                      st.wSecond, st.wMilliseconds);
    return sz;
}

std::wstring VFormat(const wchar_t* pwstrFormat, va_list args)
{
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(buffer.data(), buffer.size(), pwstrFormat, copy);
        va_end(copy);
        if (n >= 0 && static_cast<std::size_t>(n) < buffer.size())
            return std::wstring(buffer.data(), n);
        if (buffer.size() >= (1u << 20))
            return std::wstring(pwstrFormat); // a format that never fits: at least say what was meant
        buffer.resize(buffer.size() * 4);
    }
}

// The Windows version as the kernel reports it: GetVersionEx answers what the manifest lets it.
std::wstring WindowsVersion()
{
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    const HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto pfn =
        hNtdll != nullptr
            ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(hNtdll, "RtlGetVersion")))
            : nullptr;
    if (pfn == nullptr || pfn(&info) != 0)
        return L"unknown";
    SYSTEM_INFO si = {};
    ::GetNativeSystemInfo(&si);
    const bool b64 = si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                     si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
    wchar_t sz[200] = {};
    std::swprintf(sz, 200, L"%lu.%lu build %lu%ls%ls, %ls system, %ls program", info.dwMajorVersion,
                  info.dwMinorVersion, info.dwBuildNumber, info.szCSDVersion[0] != L'\0' ? L" " : L"",
                  info.szCSDVersion, b64 ? L"64-bit" : L"32-bit", sizeof(void*) == 8 ? L"64-bit" : L"32-bit");
    return sz;
}

bool IsElevated()
{
    CScopedHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Out()))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD cb = 0;
    return ::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &cb) &&
           elevation.TokenIsElevated != 0;
}

class CLockGuard
{
public:
    explicit CLockGuard(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
    ~CLockGuard() { ::ReleaseSRWLockExclusive(&m_lock); }
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;

private:
    SRWLOCK& m_lock;
};

} // namespace

std::wstring DescribeWindowsError(DWORD dwError)
{
    wchar_t* pwstrText = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, dwError, 0, reinterpret_cast<wchar_t*>(&pwstrText), 0, nullptr);
    std::wstring strText = n > 0 && pwstrText != nullptr ? std::wstring(pwstrText, n) : std::wstring();
    ::LocalFree(pwstrText);
    while (!strText.empty() && (strText.back() == L'\n' || strText.back() == L'\r' || strText.back() == L' '))
        strText.pop_back();
    wchar_t sz[32] = {};
    std::swprintf(sz, 32, L"error %lu", static_cast<unsigned long>(dwError));
    return strText.empty() ? std::wstring(sz) : std::wstring(sz) + L": " + strText;
}

std::wstring DescribeBytes(std::uint64_t nBytes)
{
    wchar_t sz[64] = {};
    std::swprintf(sz, 64, L"%llu bytes (%.1f MB)", static_cast<unsigned long long>(nBytes),
                  static_cast<double>(nBytes) / 1048576.0);
    return sz;
}

CInstallLog::~CInstallLog()
{
    if (IsOpen())
        ::CloseHandle(m_hFile);
}

bool CInstallLog::Open(const wchar_t* pwstrPrefix)
{
    wchar_t szTemp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, szTemp);
    if (n == 0 || n > MAX_PATH)
        return false;
    return OpenIn(szTemp, pwstrPrefix);
}

bool CInstallLog::OpenIn(const std::wstring& strFolder, const wchar_t* pwstrPrefix)
{
    if (IsOpen() || pwstrPrefix == nullptr)
        return false;
    SYSTEMTIME st = {};
    ::GetLocalTime(&st);
    const std::wstring strBase = JoinPath(strFolder, std::wstring(pwstrPrefix) + L"-" + LocalStamp(st, true));
    std::wstring strPath = strBase + L".log";
    // One log a run: never another run's log reopened.
    HANDLE h = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) {
        strPath = strBase + L"-" + std::to_wstring(::GetCurrentProcessId()) + L".log";
        h = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (h == INVALID_HANDLE_VALUE)
        return false;
    m_hFile = h;
    m_strPath = strPath;
    m_nStartTick = ::GetTickCount64();
    // The mark lets every editor, old Notepad included, read the file as UTF-8.
    WriteRaw(kUtf8Bom);
    return true;
}

void CInstallLog::WriteRaw(const std::string& strUtf8)
{
    // Unbuffered: a line is in the file even when the process ends right after it.
    DWORD nWritten = 0;
    ::WriteFile(m_hFile, strUtf8.data(), static_cast<DWORD>(strUtf8.size()), &nWritten, nullptr);
}

void CInstallLog::Write(const std::wstring& strText)
{
    if (!IsOpen())
        return;
    SYSTEMTIME st = {};
    ::GetLocalTime(&st);
    const ULONGLONG nElapsed = ::GetTickCount64() - m_nStartTick;
    wchar_t szElapsed[32] = {};
    std::swprintf(szElapsed, 32, L"+%llu.%03llus", nElapsed / 1000, nElapsed % 1000);
    const std::wstring strLine = LocalStamp(st, false) + L" " + szElapsed + L"  " + strText + L"\r\n";
    const std::string strUtf8 = SkinUI::WideToUtf8(strLine.c_str(), static_cast<int>(strLine.size()));
    CLockGuard lock(m_lock);
    WriteRaw(strUtf8);
}

void CInstallLog::Format(const wchar_t* pwstrFormat, ...)
{
    if (!IsOpen() || pwstrFormat == nullptr)
        return;
    va_list args;
    va_start(args, pwstrFormat);
    const std::wstring strText = VFormat(pwstrFormat, args);
    va_end(args);
    Write(strText);
}

void CInstallLog::Failure(const std::wstring& strWhat, const std::wstring& strItem, DWORD dwError)
{
    std::wstring strText = L"FAILED: " + strWhat;
    if (!strItem.empty())
        strText += L"; item: " + strItem;
    strText += L"; " + (dwError != 0 ? DescribeWindowsError(dwError) : std::wstring(L"no Windows error code"));
    Write(strText);
}

void CInstallLog::WriteSystemFacts(const wchar_t* pwstrProgram, const wchar_t* pwstrVersion)
{
    if (!IsOpen())
        return;
    wchar_t szModule[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    Format(L"%ls %ls log (UTF-8); program file %ls", pwstrProgram, pwstrVersion, szModule);
    Format(L"command line: %ls", ::GetCommandLineW());
    Format(L"Windows %ls", WindowsVersion().c_str());
    wchar_t szLocale[LOCALE_NAME_MAX_LENGTH] = {};
    if (::GetUserDefaultLocaleName(szLocale, LOCALE_NAME_MAX_LENGTH) == 0)
        szLocale[0] = L'\0';
    Format(L"code pages: ANSI %u, OEM %u; user locale %ls; UI language 0x%04x", ::GetACP(), ::GetOEMCP(), szLocale,
           ::GetUserDefaultUILanguage());
    int nDpi = 0;
    if (const HDC hDC = ::GetDC(nullptr)) {
        nDpi = ::GetDeviceCaps(hDC, LOGPIXELSX);
        ::ReleaseDC(nullptr, hDC);
    }
    Format(L"display: %d dpi (%d%%), screen %dx%d", nDpi, nDpi * 100 / 96, ::GetSystemMetrics(SM_CXSCREEN),
           ::GetSystemMetrics(SM_CYSCREEN));
    Format(L"rights: %ls", IsElevated() ? L"elevated (administrator)" : L"not elevated");
}

bool CInstallLog::CopyTo(const std::wstring& strPath)
{
    if (!IsOpen())
        return false;
    bool bCopied = false;
    DWORD dwError = 0;
    {
        CLockGuard lock(m_lock);
        bCopied = ::CopyFileW(m_strPath.c_str(), strPath.c_str(), FALSE) != FALSE;
        dwError = bCopied ? 0 : ::GetLastError();
    }
    if (!bCopied)
        Failure(L"copying the log", strPath, dwError);
    return bCopied;
}
