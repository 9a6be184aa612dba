// A stand-in for the game client, used by the demo package and the end-to-end tests: it records that it was
// started (its working folder, its command line and its own path) and shows a small window.
//
// The record is appended, as UTF-8 lines, to the file named by the environment variable VELTARA_CLIENT_RECORD,
// or else to VeltaraClient.started.txt beside the executable:
//     started
//     exe=<full path of this program>
//     cwd=<working folder>
//     cmdline=<command line>
// With VELTARA_CLIENT_CLOSE_MS set to a number the window closes itself after that many milliseconds, so that
// a test leaves no client running. With VELTARA_CLIENT_HOLD naming a file (relative to the program's folder),
// the client keeps that file open while it runs, readable by others but not writable or deletable, as a game
// holds its resource files.
#include "SkinUI/Utils/UITextConvert.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

const wchar_t kClassName[] = L"VeltaraClientWnd";
const UINT_PTR kCloseTimer = 1;

std::string ToUtf8(const std::wstring& text)
{
    return SkinUI::WideToUtf8(text.c_str(), static_cast<int>(text.size()));
}

std::wstring EnvVar(const wchar_t* pstrName)
{
    wchar_t buf[32768];
    const DWORD n = ::GetEnvironmentVariableW(pstrName, buf, static_cast<DWORD>(sizeof(buf) / sizeof(buf[0])));
    return (n > 0 && n < sizeof(buf) / sizeof(buf[0])) ? std::wstring(buf, n) : std::wstring();
}

std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring CurrentFolder()
{
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return std::wstring();
    std::wstring cwd(n, L'\0');
    const DWORD got = ::GetCurrentDirectoryW(n, &cwd[0]);
    cwd.resize(got < n ? got : 0);
    return cwd;
}

// Appends the start record; returns false when the file cannot be written.
bool RecordStart()
{
    const std::wstring exe = ModulePath();
    std::wstring target = EnvVar(L"VELTARA_CLIENT_RECORD");
    if (target.empty()) {
        const size_t slash = exe.find_last_of(L"\\/");
        target =
            (slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash + 1)) + L"VeltaraClient.started.txt";
    }
    const std::string text = "started\nexe=" + ToUtf8(exe) + "\ncwd=" + ToUtf8(CurrentFolder()) +
                             "\ncmdline=" + ToUtf8(::GetCommandLineW()) + "\n";
    HANDLE hFile = ::CreateFileW(target.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(hFile);
    return ok && written == text.size();
}

LRESULT CALLBACK ClientWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hDC = ::BeginPaint(hWnd, &ps);
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        ::FillRect(hDC, &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::SetBkMode(hDC, TRANSPARENT);
        ::DrawTextW(hDC, L"Veltara client is running", -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kCloseTimer)
            ::DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
}

// Opens the file named by VELTARA_CLIENT_HOLD for as long as the client runs; null when none is named.
HANDLE HoldFile()
{
    const std::wstring name = EnvVar(L"VELTARA_CLIENT_HOLD");
    if (name.empty())
        return nullptr;
    const std::wstring exe = ModulePath();
    const size_t slash = exe.find_last_of(L"\\/");
    const std::wstring path = (slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash + 1)) + name;
    const HANDLE hFile = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    return hFile == INVALID_HANDLE_VALUE ? nullptr : hFile;
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int nCmdShow)
{
    const HANDLE hHeld = HoldFile();
    const bool bRecorded = RecordStart();

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ClientWndProc;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    if (::RegisterClassExW(&wc) == 0)
        return 2;
    HWND hWnd = ::CreateWindowExW(0, kClassName, L"Veltara", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 360,
                                  160, nullptr, nullptr, hInstance, nullptr);
    if (hWnd == nullptr)
        return 2;
    ::ShowWindow(hWnd, nCmdShow);
    ::UpdateWindow(hWnd);

    const std::wstring closeMs = EnvVar(L"VELTARA_CLIENT_CLOSE_MS");
    if (!closeMs.empty()) {
        const unsigned long ms = std::wcstoul(closeMs.c_str(), nullptr, 10);
        ::SetTimer(hWnd, kCloseTimer, ms > 0 ? static_cast<UINT>(ms) : 1u, nullptr);
    }

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (hHeld != nullptr)
        ::CloseHandle(hHeld);
    // A client that could not record its start says so through its exit code.
    return bRecorded ? static_cast<int>(msg.wParam) : 1;
}
