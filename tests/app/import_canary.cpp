// A program with a plain import of wininet.dll: the import check must refuse it.
#include <windows.h>
#include <wininet.h>

int main()
{
    return InternetAttemptConnect(0) == ERROR_SUCCESS ? 0 : 1;
}
