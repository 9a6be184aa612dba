// After HardenDllSearch, a DLL beside the program is no longer found by its bare name, while system DLLs
// still load. Its own program: the change is process-wide.
#include "SkinUI/Utils/SystemLibrary.h"

#include <gtest/gtest.h>

TEST(DllSearch, APlantedDllBesideTheProgramIsNotLoadedAfterHardening)
{
    HMODULE hBefore = ::LoadLibraryA("veltara_planted_probe.dll");
    ASSERT_NE(hBefore, nullptr) << "the probe DLL must lie beside the test program";
    ::FreeLibrary(hBefore);

    SkinUI::HardenDllSearch();

    HMODULE hAfter = ::LoadLibraryA("veltara_planted_probe.dll");
    EXPECT_EQ(hAfter, nullptr);
    if (hAfter != nullptr)
        ::FreeLibrary(hAfter);

    SkinUI::CUISystemLibrary system("msimg32.dll");
    EXPECT_TRUE(system.IsLoaded());
}
