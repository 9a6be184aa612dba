// A program with plain imports of wininet.dll and comctl32.dll: the import check must refuse both.
#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

int main()
{
    ::InitCommonControls();
    return InternetAttemptConnect(0) == ERROR_SUCCESS ? 0 : 1;
}
