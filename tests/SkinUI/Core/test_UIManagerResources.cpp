// The paint manager's shared resources: resource location, default colours, fonts, class defaults and the
// resource parent.
#include "UITestSupport.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace SkinUITest;

TEST(ManagerResources, ResourceFolderEndsWithASeparator)
{
    CPaintManagerUI::SetResourceFolder("C:\\skin");
    EXPECT_STREQ(CPaintManagerUI::GetResourceFolder(), "C:\\skin\\");
    CPaintManagerUI::SetResourceFolder("C:/skin/");
    EXPECT_STREQ(CPaintManagerUI::GetResourceFolder(), "C:/skin/");
    CPaintManagerUI::SetResourceFolder("");
    EXPECT_STREQ(CPaintManagerUI::GetResourceFolder(), "");
}

TEST(ManagerResources, MemoryArchiveIsSetOnce)
{
    CPaintManagerUI::SetResourceArchiveFile("skin.zip", false);
    EXPECT_STREQ(CPaintManagerUI::GetResourceArchiveName(), "skin.zip");
    EXPECT_FALSE(CPaintManagerUI::IsResourceArchiveOpen());
    static const char s_block[4] = {};
    CPaintManagerUI::SetResourceArchiveMemory(s_block, sizeof(s_block));
    EXPECT_STREQ(CPaintManagerUI::GetResourceArchiveName(), "membuffer");
    EXPECT_TRUE(CPaintManagerUI::IsResourceArchiveOpen());
    CPaintManagerUI::SetResourceArchiveMemory(nullptr, 0);
    EXPECT_STREQ(CPaintManagerUI::GetResourceArchiveName(), "membuffer");
    CPaintManagerUI::SetResourceArchiveFile("", false);
}

TEST(ManagerResources, ColoursAndClassDefaultsComeFromTheResourceParent)
{
    CPaintManagerUI parent, child;
    EXPECT_EQ(child.GetDefaultFontColor(), 0xFF000000u);
    EXPECT_EQ(child.GetDisabledFontColor(), 0xFFA7A6AAu);
    EXPECT_EQ(child.GetSelectedColor(), 0xFFBAE4FFu);
    parent.SetLinkFontColor(0xFF123456);
    child.SetLinkFontColor(0xFF654321);
    EXPECT_EQ(child.GetLinkFontColor(), 0xFF654321u);
    ASSERT_TRUE(child.SetResourceParent(&parent));
    EXPECT_EQ(child.GetLinkFontColor(), 0xFF123456u);
    EXPECT_FALSE(parent.SetResourceParent(&child)); // no cycles
    EXPECT_EQ(parent.GetResourceParent(), nullptr);

    parent.SetClassDefaults("Button", "width=\"10\"");
    parent.SetClassDefaults("Button", "width=\"20\""); // the first list wins
    EXPECT_STREQ(child.GetClassDefaults("Button"), "width=\"10\"");
    child.SetClassDefaults("Button", "height=\"5\"");
    EXPECT_STREQ(child.GetClassDefaults("Button"), "height=\"5\"");
    EXPECT_EQ(child.GetClassDefaults("Label"), nullptr);
}

TEST(ManagerResources, FontsAreAddressedByIndexWithTheBaseFontAsFallback)
{
    CPaintManagerUI pm;
    HostWindow host(pm);
    const HFONT hBase = pm.GetBaseFont()->handle;
    ASSERT_NE(hBase, nullptr);
    EXPECT_GT(pm.GetBaseFont()->metrics.tmHeight, 0); // measured on first use
    const HFONT h1 = pm.RegisterFont("Tahoma", 12, true, false, false);
    const HFONT h2 = pm.RegisterFont("Tahoma", 12, true, false, false);
    ASSERT_NE(h1, nullptr);
    ASSERT_NE(h2, nullptr);
    EXPECT_NE(h1, h2);
    EXPECT_EQ(pm.CountFonts(), 2);
    EXPECT_EQ(pm.FindFontHandle("Tahoma", 12, true, false, false), h1);
    EXPECT_EQ(pm.FindFontHandle("Tahoma", 12, false, false, false), nullptr);
    EXPECT_EQ(pm.FontByIndex(1), h2);
    EXPECT_EQ(pm.FontByIndex(-1), hBase);
    EXPECT_EQ(pm.FontByIndex(2), hBase);
    EXPECT_EQ(pm.FontInfoOf(h2), pm.FontInfoByIndex(1));
    EXPECT_EQ(pm.FontInfoOf(nullptr), pm.GetBaseFont());

    // Bold adds 700 to the GUI font's weight; the face is cut to fit its 32-byte field.
    LOGFONTA lf = {};
    ASSERT_NE(::GetObjectA(h1, sizeof(lf), &lf), 0);
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_GE(lf.lfWeight, 700 + 400);
    const HFONT hLong = pm.RegisterFont("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij", 10, false, true, true);
    ASSERT_NE(::GetObjectA(hLong, sizeof(lf), &lf), 0);
    EXPECT_EQ(std::string(lf.lfFaceName).size(), 31u);
    EXPECT_TRUE(lf.lfUnderline);
    EXPECT_TRUE(lf.lfItalic);
    pm.DropAllFonts();
    EXPECT_EQ(pm.CountFonts(), 0);
}

TEST(ManagerResources, ColourAdjustmentIsClamped)
{
    CPaintManagerUI::SetColorAdjust(400, -5, 250);
    short h = 0, s = 0, l = 0;
    CPaintManagerUI::GetColorAdjust(h, s, l);
    EXPECT_EQ(h, 360);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(l, 200);
    CPaintManagerUI::SetColorAdjust(180, 100, 100);
}
