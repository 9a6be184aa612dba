// A program that draws text and shows a message through the ANSI calls: the wide-call check must refuse it.
#include <windows.h>

int main()
{
    RECT rc = {0, 0, 10, 10};
    const HDC hDC = ::CreateCompatibleDC(nullptr);
    ::DrawTextA(hDC, "x", 1, &rc, DT_CALCRECT);
    ::DeleteDC(hDC);
    return ::MessageBoxA(nullptr, "x", "x", MB_OK) == IDOK ? 0 : 1;
}
