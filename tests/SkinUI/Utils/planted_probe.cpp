// A DLL placed beside a test program, as an attacker would plant one beside the installer.
#include <windows.h>

extern "C" __declspec(dllexport) int PlantedProbe()
{
    return 42;
}
