// The installer program's run: one instance a session, COM, the installer window and its modal loop.
#pragma once

#include <windows.h>

// Exit code of an installer that found another one running (and brought it to the front).
constexpr int kExitAlreadyRunning = 2;

// Runs the installer; returns the process's exit code. pstrExpectedSha256 as for CMainWnd (null: the hash
// this build was made with).
int RunInstaller(HINSTANCE hInstance, const char* pstrExpectedSha256 = nullptr);
