#include "app/SingleInstance.h"

#include <cstdint>

namespace {

// "Local\": the session's own namespace; another user's installer is not ours to stop.
const wchar_t kMutexName[] = L"Local\\VeltaraSetup.Running";
const wchar_t kWindowName[] = L"Local\\VeltaraSetup.Window";

// Reads the published window handle; null when there is none yet.
HWND ReadPublishedWindow()
{
    const HANDLE hMapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, kWindowName);
    if (hMapping == nullptr)
        return nullptr;
    HWND hWnd = nullptr;
    if (const void* pView = ::MapViewOfFile(hMapping, FILE_MAP_READ, 0, 0, sizeof(std::uint64_t))) {
        // Window handles are 32-bit values on 32- and 64-bit Windows alike, so either build can read them.
        hWnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*static_cast<const volatile std::uint64_t*>(pView)));
        ::UnmapViewOfFile(pView);
    }
    ::CloseHandle(hMapping);
    return hWnd;
}

} // namespace

CSingleInstance::CSingleInstance()
{
    m_hMutex = ::CreateMutexW(nullptr, FALSE, kMutexName);
    m_bFirst = m_hMutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
    if (m_bFirst)
        m_hMapping =
            ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(std::uint64_t), kWindowName);
}

CSingleInstance::~CSingleInstance()
{
    if (m_hMapping != nullptr)
        ::CloseHandle(m_hMapping);
    if (m_hMutex != nullptr)
        ::CloseHandle(m_hMutex);
}

void CSingleInstance::PublishWindow(HWND hWnd)
{
    if (m_hMapping == nullptr)
        return;
    if (void* pView = ::MapViewOfFile(m_hMapping, FILE_MAP_WRITE, 0, 0, sizeof(std::uint64_t))) {
        *static_cast<volatile std::uint64_t*>(pView) = reinterpret_cast<std::uintptr_t>(hWnd);
        ::UnmapViewOfFile(pView);
    }
}

bool CSingleInstance::BringFirstForward(DWORD dwWaitMs)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        const HWND hWnd = ReadPublishedWindow();
        if (hWnd != nullptr && ::IsWindow(hWnd)) {
            if (::IsIconic(hWnd))
                ::ShowWindow(hWnd, SW_RESTORE);
            // A program the user just started may take the foreground.
            ::SetForegroundWindow(hWnd);
            return true;
        }
        if (::GetTickCount() - dwStart >= dwWaitMs)
            return false;
        ::Sleep(50);
    }
}
