// CInstallLog: the log of one installer (or uninstaller) run, for support: a UTF-8 text file in the user's
// temporary folder with the system's facts, every step with its time and every failure with the item and
// the Windows error code. Nothing reads it back. A log that is not open (or could not be made) takes every
// call and writes nothing, so the run never depends on it. Lines may come from any thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CInstallLog
{
public:
    CInstallLog() = default;
    ~CInstallLog();
    CInstallLog(const CInstallLog&) = delete;
    CInstallLog& operator=(const CInstallLog&) = delete;

    // Makes "<prefix>-<local date>-<time>.log" in the user's temporary folder (with the process id added when
    // a log of that name exists). False when it cannot be made; the log then stays closed.
    bool Open(const wchar_t* pwstrPrefix);
    // The same in a given folder.
    bool OpenIn(const std::wstring& strFolder, const wchar_t* pwstrPrefix);
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    // Full path of the log; empty while closed.
    const std::wstring& Path() const { return m_strPath; }

    // One line: the local time, the seconds since the log was opened, then the text.
    void Write(const std::wstring& strText);
    // printf-style with a UTF-16 format: texts as %ls, 64-bit numbers as %llu / %lld.
    void Format(const wchar_t* pwstrFormat, ...);
    // A failure: what failed, the item it concerns (may be empty) and the Windows error code with the
    // system's description of it.
    void Failure(const std::wstring& strWhat, const std::wstring& strItem, DWORD dwError);
    // The program, the Windows version, the code pages, the display's DPI and the process's rights.
    void WriteSystemFacts(const wchar_t* pwstrProgram, const wchar_t* pwstrVersion);

    // Copies the log as it is now to strPath, replacing a file there. False (with the error in the log) when
    // it cannot.
    bool CopyTo(const std::wstring& strPath);

private:
    void WriteRaw(const std::string& strUtf8);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    std::wstring m_strPath;
    ULONGLONG m_nStartTick = 0;
    // A Windows lock rather than std::mutex, whose error path brings the C++ library's ANSI message calls.
    SRWLOCK m_lock = SRWLOCK_INIT;
};

// "error <code>: <the system's description>" for a Windows error code.
std::wstring DescribeWindowsError(DWORD dwError);

// A byte count for a log line: "<bytes> bytes (<n.n> MB)".
std::wstring DescribeBytes(std::uint64_t nBytes);
