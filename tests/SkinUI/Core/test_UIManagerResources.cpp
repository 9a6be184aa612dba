// The paint manager's shared resources: resource location and archive, reading resources, the image table,
// default colours, fonts, class defaults and the resource parent.
#include "ResourceTestSupport.h"
#include "UITestSupport.h"
#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

namespace {

std::string Read(const char* pstrName, DWORD dwMax = 1000, CPaintManagerUI::ResourceRead* pResult = nullptr)
{
    CPaintManagerUI::ResourceData data;
    const CPaintManagerUI::ResourceRead r = CPaintManagerUI::ReadResourceData(pstrName, dwMax, data);
    if (pResult != nullptr)
        *pResult = r;
    if (r != CPaintManagerUI::ResourceRead::Ok)
        return "<" + std::to_string(static_cast<int>(r)) + ">";
    return std::string(reinterpret_cast<const char*>(data.pBytes.get()), data.dwSize);
}

std::string ArchiveOf(const std::string& strItem, const std::string& strData)
{
    std::vector<ZipTest::SItemSpec> items(1);
    items[0].strName = strItem;
    items[0].strData = strData;
    return ZipTest::BuildArchive(items);
}

} // namespace

TEST(ManagerResources, MemoryArchiveIsOpenedOnceAndHeld)
{
    CResourceLocationGuard guard;
    CPaintManagerUI::SetResourceArchiveFile("skin.zip", false);
    EXPECT_STREQ(CPaintManagerUI::GetResourceArchiveName(), "skin.zip");
    EXPECT_FALSE(CPaintManagerUI::IsResourceArchiveOpen());
    EXPECT_EQ(CPaintManagerUI::GetResourceArchive(), nullptr);

    const std::string strFirst = ArchiveOf("skin.xml", "first");
    const std::string strSecond = ArchiveOf("skin.xml", "second");
    CPaintManagerUI::SetResourceArchiveMemory(strFirst.data(), static_cast<DWORD>(strFirst.size()));
    EXPECT_STREQ(CPaintManagerUI::GetResourceArchiveName(), "membuffer");
    EXPECT_TRUE(CPaintManagerUI::IsResourceArchiveOpen());
    const ZipHandle hHeld = CPaintManagerUI::GetResourceArchive();
    ASSERT_NE(hHeld, nullptr);
    EXPECT_EQ(Read("SKIN.XML"), "first");
    CPaintManagerUI::SetResourceArchiveMemory(strSecond.data(), static_cast<DWORD>(strSecond.size()));
    EXPECT_EQ(CPaintManagerUI::GetResourceArchive(), hHeld) << "a second memory archive is ignored";
    EXPECT_EQ(Read("skin.xml"), "first");

    CPaintManagerUI::SetResourceArchiveFile("", false);
    EXPECT_EQ(CPaintManagerUI::GetResourceArchive(), nullptr);
    // A block that is no archive is recorded as the held archive but yields nothing.
    static const char s_block[4] = {'P', 'K', 5, 6};
    CPaintManagerUI::SetResourceArchiveMemory(s_block, sizeof(s_block));
    EXPECT_STREQ(CPaintManagerUI::GetResourceArchiveName(), "membuffer");
    EXPECT_TRUE(CPaintManagerUI::IsResourceArchiveOpen());
    EXPECT_EQ(CPaintManagerUI::GetResourceArchive(), nullptr);
    CPaintManagerUI::ResourceRead r = CPaintManagerUI::ResourceRead::Ok;
    Read("skin.xml", 1000, &r);
    EXPECT_EQ(r, CPaintManagerUI::ResourceRead::ArchiveOpenFailed);
}

TEST(ManagerResources, ResourcesAreReadWholeFromFolderOrArchive)
{
    using RR = CPaintManagerUI::ResourceRead;
    CResourceLocationGuard guard;
    ZipTest::CScratchFolder folder("resread");
    ZipTest::WriteWholeFile(folder / "a.txt", "0123456789");
    ZipTest::WriteWholeFile(folder / "empty.txt", "");
    std::vector<ZipTest::SItemSpec> items(4);
    items[0].strName = "Dir/Item.TXT";
    items[0].strData = ZipTest::MakeContent(3000, 7, true);
    items[1].strName = "empty.txt";
    items[2].strName = "stored.txt";
    items[2].strData = "0123456789";
    items[2].nMethod = 0;
    items[3].strName = "bad.txt";
    items[3].strData = ZipTest::MakeContent(2000, 8, true);
    items[3].nMethod = 0; // stored: the damage shows only in the checksum at the end
    ZipTest::SLayout layout;
    std::string strArchive = ZipTest::BuildArchive(items, "", "", &layout);
    strArchive[layout.aData[3] + 40] ^= 0x20; // the bad item no longer matches its checksum
    ZipTest::WriteWholeFile(folder / "skin.zip", strArchive);
    CPaintManagerUI::SetResourceFolder(folder.Path().c_str());

    const struct
    {
        const char* pstrArchive; // null: plain files
        bool bKeepOpen;
        const char* pstrName;
        DWORD dwMax;
        RR expected;
    } cases[] = {
        {nullptr, false, "a.txt", 10, RR::Ok},
        {nullptr, false, "a.txt", 9, RR::FileTooLarge},
        {nullptr, false, "empty.txt", 10, RR::FileEmpty},
        {nullptr, false, "none.txt", 10, RR::FileOpenFailed},
        {"skin.zip", false, "dir\\item.txt", 3000, RR::Ok},
        {"skin.zip", true, "DIR/ITEM.TXT", 3000, RR::Ok},
        {"skin.zip", true, "stored.txt", 10, RR::Ok},
        {"skin.zip", true, "stored.txt", 9, RR::FileTooLarge},
        {"skin.zip", true, "empty.txt", 10, RR::FileEmpty},
        {"skin.zip", true, "a.txt", 10, RR::ItemNotFound},
        {"skin.zip", false, "bad.txt", 5000, RR::UnzipFailed},
        {"skin.zip", true, "bad.txt", 5000, RR::UnzipFailed},
        {"none.zip", false, "a.txt", 10, RR::ArchiveOpenFailed},
        {"none.zip", true, "a.txt", 10, RR::ArchiveOpenFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pstrArchive ? c.pstrArchive : "-") + (c.bKeepOpen ? " held " : " ") + c.pstrName);
        CPaintManagerUI::SetResourceArchiveFile(c.pstrArchive ? c.pstrArchive : "", c.bKeepOpen);
        // Twice: an item read whole must read whole again.
        for (int i = 0; i < 2; ++i) {
            RR r = RR::Ok;
            const std::string strData = Read(c.pstrName, c.dwMax, &r);
            EXPECT_EQ(r, c.expected);
            if (r == RR::Ok) {
                EXPECT_EQ(strData.size(), c.dwMax);
            }
        }
    }
    CPaintManagerUI::SetResourceArchiveFile("skin.zip", true);
    EXPECT_EQ(Read("dir/item.txt", 3000), items[0].strData);
    EXPECT_EQ(Read("stored.txt"), "0123456789");
}

TEST(ManagerResources, ImagesAreLoadedOnceIntoTheTable)
{
    CResourceLocationGuard guard;
    ZipTest::CScratchFolder folder("imgtable");
    ZipTest::WriteWholeFile(folder / "bk.png", MakePng(1, 1, {Rgba{255, 0, 255, 255}}));
    ZipTest::WriteWholeFile(folder / "101", MakePng(1, 1, {Rgba{255, 0, 255, 255}}));
    CPaintManagerUI::SetResourceFolder(folder.Path().c_str());
    CPaintManagerUI pm;

    // A typed image must be a numeric resource id.
    EXPECT_EQ(pm.LoadSkinImage("bk.png", "PNG"), nullptr);
    EXPECT_EQ(pm.LoadSkinImage("101", "PNG"), nullptr);
    EXPECT_EQ(pm.FindOrLoadImage("missing.png"), nullptr);

    ImageInfoUI* pImage = pm.FindOrLoadImage("bk.png", nullptr, 0xFFFF00FF);
    ASSERT_NE(pImage, nullptr);
    EXPECT_EQ(pImage->mask, 0xFFFF00FFu);
    EXPECT_TRUE(pImage->hasAlpha) << "the mask removed the only pixel";
    EXPECT_TRUE(pImage->resourceType.IsEmpty());
    EXPECT_EQ(pm.FindOrLoadImage("bk.png"), pImage);
    // Loading a name that is present keeps the record in the table.
    EXPECT_EQ(pm.LoadSkinImage("bk.png"), pImage);
    EXPECT_EQ(pm.FindOrLoadImage("bk.png"), pImage);
    EXPECT_EQ(pImage->mask, 0xFFFF00FFu);

    pm.DropAllImages();
    pImage = pm.FindOrLoadImage("bk.png");
    ASSERT_NE(pImage, nullptr);
    EXPECT_FALSE(pImage->hasAlpha);
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

    // Bold adds 700 to the GUI font's weight (1100 for the usual 400); the face is cut to fit its field.
    LOGFONTA lfGui = {};
    ASSERT_NE(::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lfGui), &lfGui), 0);
    LOGFONTA lf = {};
    ASSERT_NE(::GetObjectA(h1, sizeof(lf), &lf), 0);
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, lfGui.lfWeight + 700);
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

TEST(ManagerResources, ControlModulesAddTheirFactoryOnce)
{
    char szExe[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, szExe, MAX_PATH), 0u);
    std::string strFolder(szExe);
    strFolder.resize(strFolder.rfind('\\') + 1);
    const std::string strModule = strFolder + "skinui_test_controls.dll";
    CUIPtrArray* pFactories = CPaintManagerUI::GetControlFactories();
    const int nBefore = pFactories->Count();

    EXPECT_FALSE(CPaintManagerUI::LoadControlModule(nullptr));
    EXPECT_FALSE(CPaintManagerUI::LoadControlModule((strFolder + "no_such_module.dll").c_str()));
    EXPECT_FALSE(CPaintManagerUI::LoadControlModule((strFolder + "skinui_test_nofactory.dll").c_str()));
    EXPECT_EQ(pFactories->Count(), nBefore);

    ASSERT_TRUE(CPaintManagerUI::LoadControlModule(strModule.c_str()));
    ASSERT_EQ(pFactories->Count(), nBefore + 1);
    // A bare name is found beside the program.
    const HINSTANCE hSaved = CPaintManagerUI::GetModuleInstance();
    CPaintManagerUI::SetModuleInstance(::GetModuleHandleA(nullptr));
    EXPECT_TRUE(CPaintManagerUI::LoadControlModule("skinui_test_controls.dll"));
    CPaintManagerUI::SetModuleInstance(hSaved);
    EXPECT_EQ(pFactories->Count(), nBefore + 1) << "the same factory is listed once";

    const HMODULE hModule = ::GetModuleHandleA(strModule.c_str());
    ASSERT_NE(hModule, nullptr) << "the module stays loaded";
    auto pfnFactory = reinterpret_cast<ControlFactoryProc>(pFactories->At(nBefore));
    EXPECT_EQ(reinterpret_cast<void*>(pfnFactory), reinterpret_cast<void*>(::GetProcAddress(hModule, "CreateControl")));
    EXPECT_EQ(pfnFactory("Button"), nullptr);
}
