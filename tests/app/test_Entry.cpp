// Runs the real installer program: its window, its resources and its exit.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string g_installer; // Windows path of the installer program

struct Process
{
    PROCESS_INFORMATION pi{};
    bool Start(const std::string& path)
    {
        std::string cmd = "\"" + path + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        return ::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
    }
    ~Process()
    {
        if (pi.hProcess != nullptr) {
            if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
                ::TerminateProcess(pi.hProcess, 99);
            ::CloseHandle(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
    }
};

struct FindData
{
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMainWnd(HWND hWnd, LPARAM lParam)
{
    auto* p = reinterpret_cast<FindData*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    char szClass[64] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (pid == p->pid && std::strcmp(szClass, "MainWnd") == 0 && ::IsWindowVisible(hWnd)) {
        p->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD pid, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        FindData data{pid, nullptr};
        ::EnumWindows(FindMainWnd, reinterpret_cast<LPARAM>(&data));
        if (data.found != nullptr)
            return data.found;
        ::Sleep(20);
    }
    return nullptr;
}

} // namespace

TEST(InstallerEntry, ShowsTheCentredWindowAndExitsWithZeroWhenClosed)
{
    Process proc;
    ASSERT_TRUE(proc.Start(g_installer)) << g_installer;
    const HWND hWnd = WaitForWindow(proc.pi.dwProcessId, 20000);
    ASSERT_NE(hWnd, nullptr) << "no visible MainWnd window";

    // Created with 0x96CA0000; the skinned window base takes the caption away and draws its own.
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(hWnd, GWL_STYLE)) & 0xFFFF0000u, 0x96CA0000u & ~WS_CAPTION);
    EXPECT_EQ(::GetWindowLongA(hWnd, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE & ~WS_EX_DLGMODALFRAME, 0);
    EXPECT_EQ(::GetParent(hWnd), nullptr);
    char szTitle[16] = {'x'};
    ::GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
    EXPECT_STREQ(szTitle, "");

    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoA(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &info);
    const LONG centreX = (info.rcWork.left + info.rcWork.right) / 2 - 300;
    const LONG centreY = (info.rcWork.top + info.rcWork.bottom) / 2 - 200;
    // The window is visible from its creation at (0, 0) and is centred right after; another process cannot
    // tell when that happened (Wine reports input idle earlier), so wait for it a while.
    RECT rc = {};
    for (int i = 0; i < 250; ++i) {
        ::GetWindowRect(hWnd, &rc);
        if (rc.left == centreX && rc.top == centreY)
            break;
        ::Sleep(20);
    }
    EXPECT_EQ(rc.right - rc.left, 600);
    EXPECT_EQ(rc.bottom - rc.top, 400);
    EXPECT_EQ(rc.left, centreX);
    EXPECT_EQ(rc.top, centreY);

    ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(proc.pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    ::GetExitCodeProcess(proc.pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
}

TEST(InstallerEntry, QuitMessageEndsTheProcessWithItsCode)
{
    Process proc;
    ASSERT_TRUE(proc.Start(g_installer));
    const HWND hWnd = WaitForWindow(proc.pi.dwProcessId, 20000);
    ASSERT_NE(hWnd, nullptr);
    ::PostThreadMessageA(proc.pi.dwThreadId, WM_QUIT, 5, 0);
    ASSERT_EQ(::WaitForSingleObject(proc.pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    ::GetExitCodeProcess(proc.pi.hProcess, &code);
    EXPECT_EQ(code, 5u);
}

TEST(InstallerResources, ManifestSkinAndIcon)
{
    const HMODULE hExe = ::LoadLibraryExA(g_installer.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hExe, nullptr);

    HRSRC hManifest = ::FindResourceA(hExe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(hManifest, nullptr);
    const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(hExe, hManifest))),
                               ::SizeofResource(hExe, hManifest));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\" uiAccess=\"false\""), std::string::npos);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);

    HRSRC hSkin = ::FindResourceA(hExe, MAKEINTRESOURCEA(101), "ZIPRES");
    ASSERT_NE(hSkin, nullptr);
    const DWORD cbSkin = ::SizeofResource(hExe, hSkin);
    const auto* pSkin = static_cast<const unsigned char*>(::LockResource(::LoadResource(hExe, hSkin)));
    ASSERT_GT(cbSkin, 22u);
    EXPECT_EQ(std::memcmp(pSkin, "PK\3\4", 4), 0);
    EXPECT_EQ(std::memcmp(pSkin + cbSkin - 22, "PK\5\6", 4), 0) << "ends with the end-of-directory record";
    EXPECT_NE(std::string(reinterpret_cast<const char*>(pSkin), cbSkin).find("skin.xml"), std::string::npos);

    EXPECT_NE(::FindResourceA(hExe, MAKEINTRESOURCEA(102), MAKEINTRESOURCEA(14)), nullptr) << "icon group 102";
    ::FreeLibrary(hExe);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: test_app_entry <installer.exe>\n");
        return 2;
    }
    // CTest hands over the Unix path; Wine maps the root file system to drive Z:.
    g_installer = argv[1];
    if (!g_installer.empty() && g_installer[0] == '/') {
        g_installer = "Z:" + g_installer;
        for (char& c : g_installer)
            if (c == '/')
                c = '\\';
    }
    return RUN_ALL_TESTS();
}
