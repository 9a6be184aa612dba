#include "app/UninstallEntry.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/Config.h"
#include "app/InstallFiles.h"
#include "app/InstallLog.h"
#include "app/InstallRecord.h"

#include "BuildConfig.h"

#include <vector>

const wchar_t kUninstallKeyName[] = L"Veltara";
const wchar_t kUninstallSwitch[] = L"/uninstall";

namespace {

const wchar_t kUninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The registry's 32-bit view on 64-bit Windows; ignored on 32-bit Windows.
constexpr REGSAM kView = KEY_WOW64_32KEY;
// Values of our own: the shortcuts the installation made.
const wchar_t kDesktopShortcutValue[] = L"VeltaraDesktopShortcut";
const wchar_t kStartMenuShortcutValue[] = L"VeltaraStartMenuShortcut";

// Closes a registry key at the end of a scope.
class CRegKey
{
public:
    CRegKey() = default;
    ~CRegKey()
    {
        if (m_h != nullptr)
            ::RegCloseKey(m_h);
    }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    HKEY* Out() { return &m_h; }
    HKEY Get() const { return m_h; }

private:
    HKEY m_h = nullptr;
};

std::wstring KeyPath(const wchar_t* pwstrKeyName)
{
    return kUninstallRoot + std::wstring(pwstrKeyName);
}

LONG SetText(HKEY hKey, const wchar_t* pwstrName, const std::wstring& strValue)
{
    return ::RegSetValueExW(hKey, pwstrName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.c_str()),
                            static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t)));
}

LONG SetNumber(HKEY hKey, const wchar_t* pwstrName, DWORD dwValue)
{
    return ::RegSetValueExW(hKey, pwstrName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
}

std::wstring GetText(HKEY hKey, const wchar_t* pwstrName)
{
    DWORD cb = 0;
    if (::RegGetValueW(hKey, nullptr, pwstrName, RRF_RT_REG_SZ, nullptr, nullptr, &cb) != ERROR_SUCCESS || cb == 0)
        return std::wstring();
    std::vector<wchar_t> buffer(cb / sizeof(wchar_t) + 1);
    cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (::RegGetValueW(hKey, nullptr, pwstrName, RRF_RT_REG_SZ, nullptr, buffer.data(), &cb) != ERROR_SUCCESS)
        return std::wstring();
    return buffer.data();
}

// Puts a copy of this program at strTarget: written beside it first and then renamed over it, so that an
// earlier uninstaller is replaced whole or not at all.
DWORD CopySelfTo(const std::wstring& strTarget)
{
    std::vector<wchar_t> module(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
        if (n == 0)
            return ::GetLastError();
        if (n < module.size())
            break;
        module.resize(module.size() * 2);
    }
    const std::wstring strPart = strTarget + L".~new";
    if (!::CopyFileW(module.data(), strPart.c_str(), FALSE))
        return ::GetLastError();
    if (!::MoveFileExW(strPart.c_str(), strTarget.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD dwError = ::GetLastError();
        ::DeleteFileW(strPart.c_str());
        return dwError;
    }
    return 0;
}

} // namespace

LONG WriteUninstallEntry(const SUninstallEntry& entry, const wchar_t* pwstrKeyName)
{
    CRegKey key;
    LONG r = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyPath(pwstrKeyName).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_SET_VALUE | KEY_QUERY_VALUE | kView, nullptr, key.Out(), nullptr);
    if (r != ERROR_SUCCESS)
        return r;
    const struct
    {
        const wchar_t* pwstrName;
        const std::wstring& strValue;
    } texts[] = {
        {L"DisplayName", entry.strDisplayName},
        {L"DisplayIcon", entry.strDisplayIcon},
        {L"Publisher", entry.strPublisher},
        {L"DisplayVersion", entry.strDisplayVersion},
        {L"InstallLocation", entry.strInstallLocation},
        {L"UninstallString", entry.strUninstallString},
        {kDesktopShortcutValue, entry.strDesktopShortcut},
        {kStartMenuShortcutValue, entry.strStartMenuShortcut},
    };
    for (const auto& text : texts) {
        if (r == ERROR_SUCCESS)
            r = SetText(key.Get(), text.pwstrName, text.strValue);
    }
    if (r == ERROR_SUCCESS)
        r = SetNumber(key.Get(), L"EstimatedSize", entry.dwEstimatedSizeKB);
    if (r == ERROR_SUCCESS)
        r = SetNumber(key.Get(), L"NoModify", 1);
    if (r == ERROR_SUCCESS)
        r = SetNumber(key.Get(), L"NoRepair", 1);
    if (r != ERROR_SUCCESS)
        RemoveUninstallEntry(pwstrKeyName); // an entry without its uninstall string would be a dead end
    return r;
}

bool ReadUninstallEntry(SUninstallEntry& entry, const wchar_t* pwstrKeyName)
{
    entry = SUninstallEntry();
    CRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath(pwstrKeyName).c_str(), 0, KEY_QUERY_VALUE | kView, key.Out()) !=
        ERROR_SUCCESS)
        return false;
    entry.strDisplayName = GetText(key.Get(), L"DisplayName");
    entry.strDisplayIcon = GetText(key.Get(), L"DisplayIcon");
    entry.strPublisher = GetText(key.Get(), L"Publisher");
    entry.strDisplayVersion = GetText(key.Get(), L"DisplayVersion");
    entry.strInstallLocation = GetText(key.Get(), L"InstallLocation");
    entry.strUninstallString = GetText(key.Get(), L"UninstallString");
    entry.strDesktopShortcut = GetText(key.Get(), kDesktopShortcutValue);
    entry.strStartMenuShortcut = GetText(key.Get(), kStartMenuShortcutValue);
    DWORD cb = sizeof(entry.dwEstimatedSizeKB);
    if (::RegGetValueW(key.Get(), nullptr, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr, &entry.dwEstimatedSizeKB,
                       &cb) != ERROR_SUCCESS)
        entry.dwEstimatedSizeKB = 0;
    return true;
}

LONG RemoveUninstallEntry(const wchar_t* pwstrKeyName)
{
    const LONG r = ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, KeyPath(pwstrKeyName).c_str(), kView, 0);
    return r == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : r;
}

DWORD FolderSizeKB(const std::wstring& strFolder)
{
    std::uint64_t nBytes = 0;
    WalkTree(strFolder, [&nBytes](const std::wstring&, const WIN32_FIND_DATAW& data) {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            nBytes += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return true;
    });
    const std::uint64_t nKB = (nBytes + 1023) / 1024;
    return nKB > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(nKB);
}

bool RegisterInstallation(const std::wstring& strClientFolder, const std::wstring& strDesktopShortcut,
                          const std::wstring& strStartMenuShortcut, CInstallLog& log)
{
    const std::wstring strUninstaller = JoinPath(strClientFolder, kUninstallerName);
    const DWORD dwCopy = CopySelfTo(strUninstaller);
    if (dwCopy != 0) {
        log.Failure(L"putting the uninstaller in place (no Apps & Features entry written)", strUninstaller, dwCopy);
        return false;
    }
    SUninstallEntry entry;
    entry.strDisplayName = SkinUI::GbkToWide(g_strProductName);
    entry.strDisplayIcon = JoinPath(strClientFolder, SkinUI::GbkToWide(g_strClientExe) + L".exe") + L",0";
    entry.strPublisher = Veltara::kPublisher;
    entry.strDisplayVersion = Veltara::kVersion;
    entry.strInstallLocation = strClientFolder;
    entry.strUninstallString = L"\"" + strUninstaller + L"\" " + kUninstallSwitch;
    entry.dwEstimatedSizeKB = FolderSizeKB(strClientFolder);
    entry.strDesktopShortcut = strDesktopShortcut;
    entry.strStartMenuShortcut = strStartMenuShortcut;
    const LONG r = WriteUninstallEntry(entry);
    if (r != ERROR_SUCCESS) {
        log.Failure(L"writing the Apps & Features entry", L"HKLM\\" + KeyPath(kUninstallKeyName),
                    static_cast<DWORD>(r));
        return false;
    }
    log.Format(L"registered in Apps & Features: HKLM\\%ls (32-bit view), version %ls, %lu KB, uninstaller %ls",
               KeyPath(kUninstallKeyName).c_str(), entry.strDisplayVersion.c_str(),
               static_cast<unsigned long>(entry.dwEstimatedSizeKB), strUninstaller.c_str());
    return true;
}
