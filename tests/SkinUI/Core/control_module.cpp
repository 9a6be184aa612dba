// A control module for the tests: built twice, with and without the CreateControl factory export.
#include <windows.h>

#ifdef WITH_FACTORY
// Knows no control classes: every request is answered with null.
extern "C" __declspec(dllexport) void* CreateControl(const char* pstrClass)
{
    static_cast<void>(pstrClass);
    return nullptr;
}
#else
extern "C" __declspec(dllexport) int NotAFactory()
{
    return 0;
}
#endif
