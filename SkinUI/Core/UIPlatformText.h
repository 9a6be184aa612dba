// The framework's GBK texts handed to the platform's wide (UTF-16) calls for drawing, measuring and finding
// resources, so that no text passes through the system's ANSI code page on its way to the screen.
#pragma once

#include <windows.h>

namespace SkinUI {

// DrawTextW of nBytes GBK bytes (up to the terminator when negative); the result and rectangle as
// DrawText gives them. DT_MODIFYSTRING is never passed on: the caller's text is not written.
int DrawGbkText(HDC hDC, const char* pstrText, int nBytes, RECT* prc, UINT uFormat);

// TextOutW of nBytes GBK bytes at x, y.
BOOL GbkTextOut(HDC hDC, int x, int y, const char* pstrText, int nBytes);

// The extent of nBytes GBK bytes in the font selected into hDC; zero on failure.
SIZE GbkTextExtent(HDC hDC, const char* pstrText, int nBytes);

// FindResourceW for a name and a type that are GBK texts or integer ids (MAKEINTRESOURCE).
HRSRC FindGbkResource(HMODULE hModule, const char* pstrName, const char* pstrType);

} // namespace SkinUI
