// The skin builder: the installer's window document, controls by tag with their factories and callback,
// shared resources and class defaults, includes, tree nodes, and damaged documents.
#include "SkinUI/Window/UIDlgBuilder.h"

#include "SkinUI/Control/UIMinimalControls.h"
#include "SkinUI/Core/UIContainer.h"
#include "SkinUI/Layout/UILinearLayout.h"
#include "SkinUI/Layout/UIMinimalLayouts.h"
#include "SkinUI/Layout/UITabLayout.h"
#include "tests/SkinUI/Core/UITestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// A real, never shown top-level window for the manager: window attributes size and shape it.
class HiddenWindow
{
public:
    HiddenWindow()
        : m_hWnd(::CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr))
    {
    }
    ~HiddenWindow() { ::DestroyWindow(m_hWnd); }
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;
    HWND Handle() const { return m_hWnd; }

private:
    HWND m_hWnd;
};

IContainerUI* ContainerOf(CControlUI* pControl)
{
    return pControl != nullptr ? static_cast<IContainerUI*>(pControl->GetInterface("IContainer")) : nullptr;
}

// The frame of the installer's skin: its Window element, fonts and the layouts around the pages.
const char kInstallerSkin[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<Window size=\"600,400\" caption=\"0,0,0,60\" roundcorner=\"1,1,1,1\">"
    "<Font name=\"微软雅黑\" size=\"12\" bold=\"false\" default=\"true\" />"
    "<Font name=\"微软雅黑\" size=\"16\" bold=\"false\" />"
    "<HorizontalLayout name=\"Hor_Window\" bkimage=\"bk.png\">"
    " <VerticalLayout>"
    "  <HorizontalLayout height=\"43\">"
    "   <VerticalLayout width=\"533\" height=\"43\" />"
    "   <VerticalLayout><HorizontalLayout /></VerticalLayout>"
    "  </HorizontalLayout>"
    "  <TabLayout name=\"Tab_MainSwitch\">"
    "   <TabLayout name=\"Tab_Switch\">"
    "    <VerticalLayout name=\"welcome\" /><VerticalLayout name=\"progress\" /><VerticalLayout name=\"finish\" />"
    "   </TabLayout>"
    "   <VerticalLayout name=\"agreement\" />"
    "  </TabLayout>"
    " </VerticalLayout>"
    "</HorizontalLayout>"
    "</Window>";

class CCallback : public IDialogBuilderCallback
{
public:
    CControlUI* MakeControl(const char* pstrClass) override
    {
        asked += std::string(pstrClass) + ";";
        if (std::string(pstrClass) == "AppProbe") {
            auto* p = new CRecordingControlUI("probe");
            p->pDeletedFlag = &bProbeDeleted;
            ++nProbes;
            return p;
        }
        if (std::string(pstrClass) == "AppTag" || std::string(pstrClass) == "PlugTag") {
            auto* p = new CControlUI;
            p->SetUserData("callback");
            return p;
        }
        return nullptr;
    }
    std::string asked;
    bool bProbeDeleted = false;
    int nProbes = 0;
};

CControlUI* PlugFactory(const char* pstrClass)
{
    if (std::string(pstrClass) != "PlugTag")
        return nullptr;
    auto* p = new CControlUI;
    p->SetUserData("factory");
    return p;
}

} // namespace

TEST(SkinBuilderWindow, InstallerWindowElementSizesTheWindowAndRegistersTwoFonts)
{
    CPaintManagerUI pm;
    HiddenWindow window;
    pm.AttachWindow(window.Handle());
    CSkinBuilder builder;
    CControlUI* pRoot = builder.Build(kInstallerSkin, nullptr, nullptr, &pm);
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(pRoot->GetClassName(), "HorizontalLayoutUI");
    EXPECT_EQ(pRoot->GetName(), "Hor_Window");
    EXPECT_EQ(pRoot->GetManager(), nullptr) << "the tree waits to be attached";

    EXPECT_EQ(pm.GetInitialSize().cx, 600);
    EXPECT_EQ(pm.GetInitialSize().cy, 400);
    RECT rcWindow = {};
    ::GetWindowRect(window.Handle(), &rcWindow);
    EXPECT_EQ(rcWindow.right - rcWindow.left, 600);
    EXPECT_EQ(rcWindow.bottom - rcWindow.top, 400);
    EXPECT_EQ(RectText(pm.GetCaptionArea()), "0,0,0,60");
    EXPECT_EQ(pm.GetCornerRounding().cx, 1);
    EXPECT_EQ(pm.GetCornerRounding().cy, 1);
    ASSERT_EQ(pm.CountFonts(), 2);
    EXPECT_EQ(pm.FontInfoByIndex(0)->size, 12);
    EXPECT_EQ(pm.FontInfoByIndex(1)->size, 16);
    EXPECT_EQ(pm.FontInfoByIndex(1)->faceName, "微软雅黑");
    EXPECT_EQ(pm.GetBaseFont()->size, 12);

    // Attached and laid out, the two tab layouts show their first pages below the 43-pixel title row.
    pm.SetRootControl(pRoot);
    pRoot->SetPos(CUIRect(0, 0, 600, 400));
    auto* pMain = static_cast<CTabLayoutUI*>(pm.FindControlByName("Tab_MainSwitch"));
    auto* pSwitch = static_cast<CTabLayoutUI*>(pm.FindControlByName("Tab_Switch"));
    ASSERT_NE(pMain, nullptr);
    ASSERT_NE(pSwitch, nullptr);
    EXPECT_EQ(RectText(pMain->GetPos()), "0,43,600,400");
    EXPECT_EQ(pMain->GetCurSel(), 0);
    EXPECT_EQ(pSwitch->GetCurSel(), 0);
    EXPECT_EQ(RectText(pm.FindControlByName("welcome")->GetPos()), "0,43,600,400");
    EXPECT_FALSE(pm.FindControlByName("progress")->IsVisible());
    EXPECT_EQ(pm.FindControlByName("welcome")->GetManager(), &pm);
}

TEST(SkinBuilderWindow, WindowAttributesNeedTheHostWindowButResourcesDoNot)
{
    CPaintManagerUI pm; // no window
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(builder.Build(kInstallerSkin, nullptr, nullptr, &pm));
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(pm.GetInitialSize().cx, 0);
    EXPECT_EQ(RectText(pm.GetCaptionArea()), "0,0,0,0");
    EXPECT_EQ(pm.CountFonts(), 2);

    // Without a manager nothing is registered; the tree is the same.
    CSkinBuilder plain;
    std::unique_ptr<CControlUI> pPlain(plain.Build(kInstallerSkin));
    ASSERT_NE(pPlain, nullptr);
    EXPECT_EQ(pPlain->GetName(), "Hor_Window");
}

TEST(SkinBuilderWindow, OtherWindowAttributesReachTheManager)
{
    CPaintManagerUI pm;
    HiddenWindow window;
    pm.AttachWindow(window.Handle());
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(builder.Build(
        "<Window sizebox=\"1,2,3,4\" mininfo=\"100,50\" maxinfo=\"800,600\" showdirty=\"true\" bktrans=\"true\" "
        "disabledfontcolor=\"#FF010203\" defaultfontcolor=\"0xFF040506\" linkfontcolor=\"#FF070809\" "
        "linkhoverfontcolor=\"#FF0A0B0C\" selectedcolor=\"#FF0D0E0F\" unknown=\"1\"><Control/></Window>",
        nullptr, nullptr, &pm));
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(RectText(pm.GetResizeBorder()), "1,2,3,4");
    EXPECT_EQ(pm.GetMinimumSize().cx, 100);
    EXPECT_EQ(pm.GetMaximumSize().cy, 600);
    EXPECT_TRUE(pm.IsShowDirty());
    EXPECT_EQ(pm.GetDisabledFontColor(), 0xFF010203u);
    EXPECT_EQ(pm.GetDefaultFontColor(), 0xFF040506u);
    EXPECT_EQ(pm.GetLinkFontColor(), 0xFF070809u);
    EXPECT_EQ(pm.GetLinkHoverFontColor(), 0xFF0A0B0Cu);
    EXPECT_EQ(pm.GetSelectedColor(), 0xFF0D0E0Fu);

    // Only a root named Window configures the window.
    CPaintManagerUI pm2;
    HiddenWindow window2;
    pm2.AttachWindow(window2.Handle());
    CSkinBuilder other;
    std::unique_ptr<CControlUI> pOther(other.Build("<Skin size=\"300,200\"><Control/></Skin>", nullptr, nullptr, &pm2));
    ASSERT_NE(pOther, nullptr);
    EXPECT_EQ(pm2.GetInitialSize().cx, 0);
}

TEST(SkinBuilderTags, EveryFrameworkTagMakesItsClassAndContainersTakeChildren)
{
    struct Case
    {
        const char* pstrTag;
        bool bContainer;
    };
    const Case cases[] = {
        {"Control", false},
        {"Container", true},
        {"VerticalLayout", true},
        {"HorizontalLayout", true},
        {"TabLayout", true},
        {"TileLayout", true},
        {"ChildLayout", true},
        {"Slider", false},
        {"Combo", true},
        {"ComboBox", true},
        {"List", true},
        {"ListHeader", true},
        {"ListHeaderItem", false},
        {"ListTextElement", false},
        {"ListLabelElement", false},
        {"ListContainerElement", true},
        {"TreeView", true},
        {"DateTime", false},
        {"ActiveX", false},
        {"WebBrowser", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrTag);
        const std::string sDoc = std::string("<Window><") + c.pstrTag +
                                 " name=\"made\" width=\"7\"><Control name=\"child\"/></" + c.pstrTag + "></Window>";
        CSkinBuilder builder;
        std::unique_ptr<CControlUI> p(builder.Build(sDoc.c_str()));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->GetClassName(), (std::string(c.pstrTag) + "UI").c_str());
        EXPECT_EQ(p->GetName(), "made"); // the common attributes apply
        EXPECT_EQ(p->GetFixedWidth(), 7);
        EXPECT_NE(p->GetInterface(c.pstrTag), nullptr);
        IContainerUI* pContainer = ContainerOf(p.get());
        EXPECT_EQ(pContainer != nullptr, c.bContainer);
        if (pContainer != nullptr) {
            EXPECT_EQ(pContainer->ItemCount(), 1);
        }
    }
    EXPECT_EQ(CSkinBuilder::CreateControl("control"), nullptr) << "tags are case-sensitive";
    EXPECT_EQ(CSkinBuilder::CreateControl("TreeNode"), nullptr) << "tree nodes are built by their own path";
}

TEST(SkinBuilderTags, UnknownTagsGoToPlugInFactoriesThenToTheCallbackElseAreSkippedWithTheirChildren)
{
    CUIPtrArray* pFactories = CPaintManagerUI::GetControlFactories();
    pFactories->Push(reinterpret_cast<void*>(&PlugFactory));
    CCallback callback;
    CPaintManagerUI pm;
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(builder.Build("<Window><VerticalLayout>"
                                                    "<Bogus><Control name=\"lost\"/></Bogus>"
                                                    "<PlugTag/><AppTag/><Control name=\"kept\"/>"
                                                    "</VerticalLayout></Window>",
                                                    nullptr, &callback, &pm));
    pFactories->Erase(pFactories->IndexOf(reinterpret_cast<void*>(&PlugFactory)));
    ASSERT_NE(pRoot, nullptr);
    IContainerUI* pContainer = ContainerOf(pRoot.get());
    ASSERT_EQ(pContainer->ItemCount(), 3);
    EXPECT_EQ(pContainer->ItemAt(0)->GetUserData(), "factory");
    EXPECT_EQ(pContainer->ItemAt(1)->GetUserData(), "callback");
    EXPECT_EQ(pContainer->ItemAt(2)->GetName(), "kept");
    EXPECT_EQ(callback.asked, "Bogus;AppTag;") << "the callback is asked only for tags nobody else knows";
}

TEST(SkinBuilderResources, FontsAndClassDefaultsAsTheRootDeclaresThem)
{
    CPaintManagerUI pm;
    const int nBaseSize = pm.GetBaseFont()->size;
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(
        builder.Build("<Window>"
                      "<Font size=\"30\" default=\"true\"/>"                // no name: nothing
                      "<Font name=\"Arial\" size=\"20\" default=\"TRUE\"/>" // exact comparison: not the default
                      "<Font name=\"Arial\" bold=\"true\" italic=\"yes\"/>" // size 12 by default
                      "<Default name=\"Control\" value=\"width=&quot;11&quot; height=&quot;22&quot;\"/>"
                      "<Default value=\"width=&quot;99&quot;\"/>"
                      "<VerticalLayout><Default name=\"VerticalLayout\" value=\"width=&quot;5&quot;\"/>"
                      "<Control name=\"a\"/><Control name=\"b\" height=\"33\"/></VerticalLayout>"
                      "</Window>",
                      nullptr, nullptr, &pm));
    ASSERT_NE(pRoot, nullptr);
    ASSERT_EQ(pm.CountFonts(), 2);
    EXPECT_EQ(pm.FontInfoByIndex(0)->size, 20);
    EXPECT_EQ(pm.FontInfoByIndex(1)->size, 12);
    EXPECT_TRUE(pm.FontInfoByIndex(1)->bold);
    EXPECT_FALSE(pm.FontInfoByIndex(1)->italic);
    EXPECT_EQ(pm.GetBaseFont()->size, nBaseSize);

    IContainerUI* pContainer = ContainerOf(pRoot.get());
    ASSERT_EQ(pContainer->ItemCount(), 2);
    EXPECT_EQ(pContainer->ItemAt(0)->GetFixedWidth(), 11);
    EXPECT_EQ(pContainer->ItemAt(0)->GetFixedHeight(), 22);
    EXPECT_EQ(pContainer->ItemAt(1)->GetFixedHeight(), 33) << "the element overrides its class defaults";
    EXPECT_EQ(pm.GetClassDefaults("VerticalLayout"), nullptr) << "resources below a control are ignored";
    EXPECT_EQ(pRoot->GetFixedWidth(), 0);
}

TEST(SkinBuilderStructure, IncludesBuildIntoTheSameParent)
{
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(builder.Build(
        "<Window><VerticalLayout name=\"box\">"
        "<Control name=\"first\"/>"
        "<Include source=\"&lt;Window&gt;&lt;Control name=&quot;inc&quot;/&gt;&lt;/Window&gt;\" count=\"3\"/>"
        "<Include count=\"2\"/>"                                            // no source: skipped
        "<Include source=\"no-such-file.xml\"/>"                            // broken: nothing
        "<Include source=\"&lt;Window&gt;&lt;Control/&gt;\" count=\"-4\"/>" // nothing
        "<Control name=\"last\"/>"
        "</VerticalLayout></Window>"));
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(pRoot->GetName(), "box") << "nothing from an include becomes the result";
    IContainerUI* pContainer = ContainerOf(pRoot.get());
    ASSERT_EQ(pContainer->ItemCount(), 5);
    EXPECT_EQ(pContainer->ItemAt(0)->GetName(), "first");
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(pContainer->ItemAt(i)->GetName(), "inc");
    EXPECT_EQ(pContainer->ItemAt(4)->GetName(), "last");
}

TEST(SkinBuilderStructure, SelfIncludingDocumentsAndAbsurdCountsEnd)
{
    char szFolder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szFolder);
    const std::string sFolder = std::string(szFolder) + "skinbuilder_test\\";
    ::CreateDirectoryA(sFolder.c_str(), nullptr);
    const std::string sFile = sFolder + "self.xml";
    {
        FILE* f = std::fopen(sFile.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("<Window><Control name=\"again\"/><Include source=\"self.xml\" count=\"2\"/></Window>", f);
        std::fclose(f);
    }
    const CUIString sOldFolder = CPaintManagerUI::GetResourceFolder();
    CPaintManagerUI::SetResourceFolder(sFolder.c_str());

    CContainerUI parent;
    CSkinBuilder builder;
    builder.Build("self.xml", nullptr, nullptr, nullptr, &parent);
    EXPECT_GT(parent.ItemCount(), 16);
    EXPECT_LE(parent.ItemCount(), 1001);

    CContainerUI many;
    CSkinBuilder counting;
    counting.Build("<Window><Include source=\"&lt;Window&gt;&lt;Control/&gt;&lt;/Window&gt;\" count=\"2147483647\"/>"
                   "</Window>",
                   nullptr, nullptr, nullptr, &many);
    EXPECT_EQ(many.ItemCount(), 1000);

    CPaintManagerUI::SetResourceFolder(sOldFolder);
    ::DeleteFileA(sFile.c_str());
    ::RemoveDirectoryA(sFolder.c_str());
}

TEST(SkinBuilderStructure, ParentsThatTakeNoChildrenStopTheirLevel)
{
    AssertCounter asserts;
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(builder.Build("<Window><VerticalLayout>"
                                                    "<Control name=\"leaf\"><Control name=\"a\"/><Control/></Control>"
                                                    "<Control name=\"next\"/>"
                                                    "</VerticalLayout></Window>"));
    ASSERT_NE(pRoot, nullptr);
    IContainerUI* pContainer = ContainerOf(pRoot.get());
    ASSERT_EQ(pContainer->ItemCount(), 2);
    EXPECT_EQ(pContainer->ItemAt(0)->GetName(), "leaf");
    EXPECT_EQ(pContainer->ItemAt(1)->GetName(), "next");

    // Building into a parent that is no container yields nothing.
    CControlUI leaf;
    CSkinBuilder into;
    EXPECT_EQ(into.Build("<Window><Control/></Window>", nullptr, nullptr, nullptr, &leaf), nullptr);
    EXPECT_GE(asserts.Count(), 1);
}

TEST(SkinBuilderStructure, TreeNodesNestInTreeViewsAndNowhereElse)
{
    AssertCounter asserts;
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(
        builder.Build("<Window><TreeView name=\"tree\">"
                      "<TreeNode name=\"n1\"><TreeNode name=\"n11\"/><Control name=\"c\"/></TreeNode>"
                      "<TreeNode name=\"n2\"/>"
                      "</TreeView><VerticalLayout><TreeNode/></VerticalLayout></Window>"));
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(pRoot->GetName(), "tree") << "tree nodes never become the result";
    IContainerUI* pTree = ContainerOf(pRoot.get());
    ASSERT_EQ(pTree->ItemCount(), 2);
    CControlUI* pFirst = pTree->ItemAt(0);
    EXPECT_EQ(pFirst->GetName(), "n1");
    IContainerUI* pItems = static_cast<CTreeNodeUI*>(pFirst->GetInterface("TreeNode"))->GetItemContainer();
    ASSERT_EQ(pItems->ItemCount(), 2);
    EXPECT_EQ(pItems->ItemAt(0)->GetName(), "n11");
    EXPECT_EQ(pItems->ItemAt(1)->GetName(), "c");
    EXPECT_EQ(pTree->ItemAt(1)->GetName(), "n2");
    EXPECT_EQ(asserts.Count(), 1) << "a tree node outside a tree view";
}

TEST(SkinBuilderStructure, DamagedDocumentsBuildWhatTheyCan)
{
    struct Case
    {
        const char* pstrName;
        const char* pstrDoc;
        bool bRoot;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"text without elements", "just text", false},
        {"unparsable", "<Window><Control></Other></Window>", false},
        {"no control", "<Window><Font/><Image/><Default/><Include/></Window>", false},
        {"only unknown tags", "<Window><A><B/></A><C/></Window>", false},
        {"root without end tag", "<Window><Control name=\"x\"/>", true},
        {"missing attribute values",
         "<Window size=\"\" caption=\"1\"><Font name=\"\"/><Image name=\"\" mask=\"zz\"/>"
         "<VerticalLayout inset=\"\" pos=\"\" childpadding=\"\"/></Window>",
         true},
        {"absurd numbers",
         "<Window size=\"99999999999,-5\" alpha=\"-7\" roundcorner=\"2147483647\" mininfo=\"-1,-1\">"
         "<Font name=\"Arial\" size=\"-2147483647\"/><Font name=\"Arial\" size=\"99999999999\"/>"
         "<VerticalLayout childpadding=\"2147483647\" inset=\"-2147483648,2147483647,5,5\" sepheight=\"-2147483648\">"
         "<Control width=\"-1\" height=\"2147483647\" padding=\"2147483647,2147483647,-2147483648,0\" "
         "pos=\"0,0,2147483647,5\" float=\"true\"/>"
         "<TabLayout selectedid=\"2147483647\"><Control/></TabLayout>"
         "<Include source=\"&lt;Window&gt;&lt;Control/&gt;&lt;/Window&gt;\" count=\"-2147483648\"/>"
         "</VerticalLayout></Window>",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrName);
        CPaintManagerUI pm;
        HiddenWindow window;
        pm.AttachWindow(window.Handle());
        CSkinBuilder builder;
        CControlUI* pRoot = builder.Build(c.pstrDoc, nullptr, nullptr, &pm);
        EXPECT_EQ(pRoot != nullptr, c.bRoot);
        if (pRoot == nullptr)
            continue;
        // The tree can be attached, laid out and painted.
        pm.SetRootControl(pRoot);
        pRoot->SetPos(CUIRect(0, 0, 600, 400));
        const HDC hDC = ::CreateCompatibleDC(nullptr);
        pRoot->Paint(hDC, CUIRect(0, 0, 600, 400));
        ::DeleteDC(hDC);
    }

    CSkinBuilder failing;
    EXPECT_EQ(failing.Build("<Window><Control></Other></Window>"), nullptr);
    char szError[100] = {};
    failing.CopyLastError(szError, sizeof(szError));
    EXPECT_STRNE(szError, "") << "the document tells why";
}

TEST(SkinBuilderStructure, ControlsThatCannotBeAttachedAreDeleted)
{
    const char* const docs[] = {
        "<Window><Control/><AppProbe/></Window>", // a second top-level control without a parent
        "<Window><Control/><Include source=\"&lt;Window&gt;&lt;AppProbe/&gt;&lt;/Window&gt;\"/></Window>",
        "<Window><Control><AppProbe/></Control></Window>", // under a control that takes no children
    };
    for (const char* pstrDoc : docs) {
        SCOPED_TRACE(pstrDoc);
        AssertCounter asserts;
        CCallback callback;
        CSkinBuilder builder;
        std::unique_ptr<CControlUI> pRoot(builder.Build(pstrDoc, nullptr, &callback));
        ASSERT_NE(pRoot, nullptr);
        EXPECT_EQ(pRoot->GetClassName(), "ControlUI");
        EXPECT_EQ(callback.nProbes, 1);
        EXPECT_TRUE(callback.bProbeDeleted);
    }
}

TEST(SkinBuilderStructure, DocumentFromAResourceIncludesResourcesOfTheSameType)
{
    const HINSTANCE hOld = CPaintManagerUI::GetModuleInstance();
    CPaintManagerUI::SetModuleInstance(::GetModuleHandleA(nullptr));
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(builder.Build(201, "SKINXML"));
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(pRoot->GetName(), "res");
    IContainerUI* pContainer = ContainerOf(pRoot.get());
    ASSERT_EQ(pContainer->ItemCount(), 2);
    EXPECT_EQ(pContainer->ItemAt(1)->GetName(), "part");

    CSkinBuilder missing;
    EXPECT_EQ(missing.Build(999, "SKINXML"), nullptr);
    EXPECT_EQ(missing.Build(201, nullptr), nullptr);
    EXPECT_EQ(missing.Build(201, "OTHERTYPE"), nullptr);
    CPaintManagerUI::SetModuleInstance(hOld);
}
