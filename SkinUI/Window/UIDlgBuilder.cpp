// CSkinBuilder: loading the document, shared resources and window attributes, and the control tree.
#include "SkinUI/Window/UIDlgBuilder.h"

#include "SkinUI/Control/UIAnimation.h"
#include "SkinUI/Control/UIButton.h"
#include "SkinUI/Control/UIEdit.h"
#include "SkinUI/Control/UILabel.h"
#include "SkinUI/Control/UIMinimalControls.h"
#include "SkinUI/Control/UIProgress.h"
#include "SkinUI/Control/UIRichEdit.h"
#include "SkinUI/Core/UIBase.h"
#include "SkinUI/Core/UIContainer.h"
#include "SkinUI/Core/UIPlatformText.h"
#include "SkinUI/Core/UIScrollBar.h"
#include "SkinUI/Layout/UILinearLayout.h"
#include "SkinUI/Layout/UIMinimalLayouts.h"
#include "SkinUI/Layout/UITabLayout.h"

#include <cstdlib>
#include <cstring>

namespace SkinUI {

namespace {

// Include nesting deeper than this is taken for a loop; every Include of one build together may build at
// most kIncludeBudget documents.
constexpr int kMaxIncludeDepth = 16;
constexpr int kIncludeBudget = 1000;
// The Include source is read into a buffer of this many bytes plus a terminator.
constexpr int kMaxIncludeSource = 499;

template <class T>
CControlUI* MakeControl()
{
    return new T;
}

struct ControlFactoryEntry
{
    const char* pstrTag;
    CControlUI* (*pfnCreate)();
};

// The framework's controls by tag. Controls join the table with one line each.
const ControlFactoryEntry kControlFactories[] = {
    {"Control", MakeControl<CControlUI>},
    {"Container", MakeControl<CContainerUI>},
    {"VerticalLayout", MakeControl<CVerticalLayoutUI>},
    {"HorizontalLayout", MakeControl<CHorizontalLayoutUI>},
    {"TabLayout", MakeControl<CTabLayoutUI>},
    {"ScrollBar", MakeControl<CScrollBarUI>},
    {"RichEdit", MakeControl<CRichEditUI>},
    {"TileLayout", MakeControl<CTileLayoutUI>},
    {"ChildLayout", MakeControl<CChildLayoutUI>},
    {"Slider", MakeControl<CSliderUI>},
    {"Combo", MakeControl<CComboUI>},
    {"ComboBox", MakeControl<CComboBoxUI>},
    {"List", MakeControl<CListUI>},
    {"ListHeader", MakeControl<CListHeaderUI>},
    {"ListHeaderItem", MakeControl<CListHeaderItemUI>},
    {"ListTextElement", MakeControl<CListTextElementUI>},
    {"ListLabelElement", MakeControl<CListLabelElementUI>},
    {"ListContainerElement", MakeControl<CListContainerElementUI>},
    {"TreeView", MakeControl<CTreeViewUI>},
    {"DateTime", MakeControl<CDateTimeUI>},
    {"ActiveX", MakeControl<CActiveXUI>},
    {"WebBrowser", MakeControl<CWebBrowserUI>},
    {"Label", MakeControl<CLabelUI>},
    {"Text", MakeControl<CTextUI>},
    {"Button", MakeControl<CButtonUI>},
    {"Option", MakeControl<COptionUI>},
    {"CheckBox", MakeControl<CCheckBoxUI>},
    {"FadeButton", MakeControl<CFadeButtonUI>},
    {"Progress", MakeControl<CProgressUI>},
    {"Edit", MakeControl<CEditUI>},
};

bool Is(const char* pstrText, const char* pstrWanted)
{
    return pstrText != nullptr && std::strcmp(pstrText, pstrWanted) == 0;
}

// Colours of Image masks and Window attributes: an optional '#', then hexadecimal (an optional "0x").
DWORD ParseHexColor(const char* pstrValue)
{
    return AttributeText::ParseColor(pstrValue);
}

} // namespace

CSkinBuilder::CSkinBuilder() : CSkinBuilder(0, nullptr) {}

CSkinBuilder::CSkinBuilder(int nIncludeDepth, int* pIncludeBudget)
    : m_pCallback(nullptr),
      m_pstrTypeId(nullptr),
      m_bFromResource(false),
      m_nIncludeDepth(nIncludeDepth),
      m_nOwnIncludeBudget(kIncludeBudget),
      m_pIncludeBudget(pIncludeBudget != nullptr ? pIncludeBudget : &m_nOwnIncludeBudget)
{
}

CControlUI* CSkinBuilder::CreateControl(const char* pstrTag)
{
    if (pstrTag == nullptr)
        return nullptr;
    for (const ControlFactoryEntry& entry : kControlFactories) {
        if (std::strcmp(entry.pstrTag, pstrTag) == 0)
            return entry.pfnCreate();
    }
    return nullptr;
}

CSkinMarkup* CSkinBuilder::GetMarkup()
{
    return &m_xml;
}

void CSkinBuilder::CopyLastError(char* pstrMessage, int cchMax) const
{
    m_xml.CopyLastError(pstrMessage, cchMax);
}

void CSkinBuilder::CopyLastErrorLocation(char* pstrSource, int cchMax) const
{
    m_xml.CopyLastErrorLocation(pstrSource, cchMax);
}

const char* CSkinBuilder::ResourceType() const
{
    if (!m_bFromResource)
        return nullptr;
    return m_pstrTypeId != nullptr ? m_pstrTypeId : m_sType.Chars();
}

// ---- Loading ----

CControlUI* CSkinBuilder::Build(CUIResName xml, const char* pstrType, IDialogBuilderCallback* pCallback,
                                CPaintManagerUI* pManager, CControlUI* pParent)
{
    m_bFromResource = false;
    if (xml.IsId()) {
        if (pstrType == nullptr)
            return nullptr;
        const HINSTANCE hModule = CPaintManagerUI::GetResourceModule();
        const HRSRC hResource = FindGbkResource(hModule, xml.Name(), pstrType);
        if (hResource == nullptr)
            return nullptr;
        const HGLOBAL hGlobal = ::LoadResource(hModule, hResource);
        const DWORD dwSize = ::SizeofResource(hModule, hResource);
        const void* pBytes = hGlobal != nullptr ? ::LockResource(hGlobal) : nullptr;
        if (pBytes == nullptr || dwSize == 0)
            return nullptr;
        m_xml.Release();
        if (!m_xml.LoadBuffer(static_cast<const BYTE*>(pBytes), dwSize, MarkupEncoding::Utf8))
            return nullptr;
        m_bFromResource = true;
        if (IS_INTRESOURCE(pstrType)) {
            m_pstrTypeId = pstrType;
        } else {
            m_pstrTypeId = nullptr;
            m_sType = pstrType;
        }
    } else if (xml.Name()[0] == '<') {
        if (!m_xml.LoadText(xml.Name()))
            return nullptr;
    } else if (!m_xml.LoadFile(xml.Name(), MarkupEncoding::Utf8)) {
        return nullptr;
    }
    return BuildLoaded(pCallback, pManager, pParent);
}

CControlUI* CSkinBuilder::BuildLoaded(IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager, CControlUI* pParent)
{
    m_pCallback = pCallback;
    CSkinMarkupNode root = m_xml.Root();
    if (!root.Valid())
        return nullptr;
    if (pManager != nullptr) {
        RegisterResources(root, pManager);
        // Window attributes need the window: they size and shape it.
        if (Is(root.Name(), "Window") && pManager->GetHostWindow() != nullptr)
            ApplyWindowAttributes(root, pManager);
    }
    return BuildChildren(root, pParent, pManager);
}

void CSkinBuilder::RegisterResources(CSkinMarkupNode root, CPaintManagerUI* pManager)
{
    for (CSkinMarkupNode node = root.FirstChild(); node.Valid(); node = node.NextSibling()) {
        const char* pstrTag = node.Name();
        if (Is(pstrTag, "Image")) {
            const char* pstrName = node.AttrValue("name");
            const char* pstrType = node.AttrValue("restype");
            const DWORD dwMask = ParseHexColor(node.AttrValue("mask"));
            if (pstrName != nullptr && *pstrName != '\0')
                pManager->LoadSkinImage(pstrName, (pstrType != nullptr && *pstrType != '\0') ? pstrType : nullptr,
                                        dwMask);
        } else if (Is(pstrTag, "Font")) {
            const char* pstrName = node.AttrValue("name");
            const int nSize = node.HasAttr("size") ? AttributeText::ParseInt(node.AttrValue("size")) : 12;
            const bool bBold = Is(node.AttrValue("bold"), "true");
            const bool bUnderline = Is(node.AttrValue("underline"), "true");
            const bool bItalic = Is(node.AttrValue("italic"), "true");
            if (pstrName == nullptr || *pstrName == '\0')
                continue;
            pManager->RegisterFont(pstrName, nSize, bBold, bUnderline, bItalic);
            if (Is(node.AttrValue("default"), "true"))
                pManager->SetBaseFont(pstrName, nSize, bBold, bUnderline, bItalic);
        } else if (Is(pstrTag, "Default")) {
            const char* pstrName = node.AttrValue("name");
            if (pstrName != nullptr && *pstrName != '\0')
                pManager->SetClassDefaults(pstrName, node.AttrValue("value"));
        }
    }
}

void CSkinBuilder::ApplyWindowAttributes(CSkinMarkupNode root, CPaintManagerUI* pManager)
{
    using AttributeText::ParseIntList;
    const int nCount = root.AttrCount();
    for (int i = 0; i < nCount; ++i) {
        const char* pstrName = root.AttrName(i);
        const char* pstrValue = root.AttrValue(i);
        int v[4] = {};
        if (Is(pstrName, "size")) {
            ParseIntList(pstrValue, v, 2);
            pManager->SetInitialSize(v[0], v[1]);
        } else if (Is(pstrName, "sizebox")) {
            ParseIntList(pstrValue, v, 4);
            pManager->SetResizeBorder(CUIRect(v[0], v[1], v[2], v[3]));
        } else if (Is(pstrName, "caption")) {
            ParseIntList(pstrValue, v, 4);
            pManager->SetCaptionArea(CUIRect(v[0], v[1], v[2], v[3]));
        } else if (Is(pstrName, "roundcorner")) {
            ParseIntList(pstrValue, v, 2);
            pManager->SetCornerRounding(v[0], v[1]);
        } else if (Is(pstrName, "mininfo")) {
            ParseIntList(pstrValue, v, 2);
            pManager->SetMinimumSize(v[0], v[1]);
        } else if (Is(pstrName, "maxinfo")) {
            ParseIntList(pstrValue, v, 2);
            pManager->SetMaximumSize(v[0], v[1]);
        } else if (Is(pstrName, "showdirty")) {
            pManager->SetShowDirty(Is(pstrValue, "true"));
        } else if (Is(pstrName, "alpha")) {
            pManager->SetWindowOpacity(AttributeText::ParseInt(pstrValue));
        } else if (Is(pstrName, "bktrans")) {
            pManager->SetBackdropSnapshot(Is(pstrValue, "true"));
        } else if (Is(pstrName, "disabledfontcolor")) {
            pManager->SetDisabledFontColor(ParseHexColor(pstrValue));
        } else if (Is(pstrName, "defaultfontcolor")) {
            pManager->SetDefaultFontColor(ParseHexColor(pstrValue));
        } else if (Is(pstrName, "linkfontcolor")) {
            pManager->SetLinkFontColor(ParseHexColor(pstrValue));
        } else if (Is(pstrName, "linkhoverfontcolor")) {
            pManager->SetLinkHoverFontColor(ParseHexColor(pstrValue));
        } else if (Is(pstrName, "selectedcolor")) {
            pManager->SetSelectedColor(ParseHexColor(pstrValue));
        }
    }
}

// ---- The control tree ----

CControlUI* CSkinBuilder::BuildChildren(CSkinMarkupNode node, CControlUI* pParent, CPaintManagerUI* pManager)
{
    IContainerUI* pContainer = nullptr;
    bool bContainerLooked = false;
    CControlUI* pResult = nullptr;
    for (CSkinMarkupNode child = node.FirstChild(); child.Valid(); child = child.NextSibling()) {
        const char* pstrTag = child.Name();
        // Resources count only as children of the root (RegisterResources).
        if (Is(pstrTag, "Image") || Is(pstrTag, "Font") || Is(pstrTag, "Default"))
            continue;
        if (Is(pstrTag, "Include")) {
            BuildInclude(child, pParent, pManager);
            continue;
        }
        if (Is(pstrTag, "TreeNode")) {
            if (!BuildTreeNode(child, pParent, pManager))
                return nullptr;
            continue;
        }

        CControlUI* pControl = CreateControl(pstrTag);
        if (pControl == nullptr) {
            const CUIPtrArray* pFactories = CPaintManagerUI::GetControlFactories();
            for (int i = 0; i < pFactories->Count() && pControl == nullptr; ++i) {
                const auto pfnFactory = reinterpret_cast<ControlFactoryProc>(pFactories->At(i));
                if (pfnFactory != nullptr)
                    pControl = pfnFactory(pstrTag);
            }
        }
        if (pControl == nullptr && m_pCallback != nullptr)
            pControl = m_pCallback->MakeControl(pstrTag);
        if (pControl == nullptr) {
            TraceDebug("未知控件:%s", pstrTag != nullptr ? pstrTag : "");
            continue;
        }

        if (child.HasChild())
            BuildChildren(child, pControl, pManager);

        if (pParent != nullptr) {
            auto* pTreeNode = static_cast<CTreeNodeUI*>(pParent->GetInterface("TreeNode"));
            if (pTreeNode != nullptr) {
                if (!pTreeNode->GetItemContainer()->AddItem(pControl)) {
                    delete pControl;
                    continue;
                }
            } else {
                if (!bContainerLooked) {
                    pContainer = static_cast<IContainerUI*>(pParent->GetInterface("IContainer"));
                    bContainerLooked = true;
                }
                UIASSERT(pContainer);
                if (pContainer == nullptr) {
                    // Nothing at this level can be attached; the control made for it is not kept.
                    delete pControl;
                    return nullptr;
                }
                if (!pContainer->AddItem(pControl)) {
                    delete pControl;
                    continue;
                }
            }
        }

        ApplyAttributes(child, pControl, pManager, pstrTag);
        // Attaching the finished tree to a manager later gives every control its manager and initialises it.
        if (pManager != nullptr)
            pControl->SetManager(nullptr, nullptr, false);
        if (pResult == nullptr) {
            pResult = pControl;
        } else if (pParent == nullptr) {
            // Only the first top-level control is handed back; without a parent the others would be lost.
            TraceDebug("Only the first top-level control is kept: %s", pstrTag);
            delete pControl;
        }
    }
    return pResult;
}

void CSkinBuilder::ApplyAttributes(CSkinMarkupNode node, CControlUI* pControl, CPaintManagerUI* pManager,
                                   const char* pstrTag)
{
    // The class defaults come first, so that the element's own attributes override them.
    if (pManager != nullptr) {
        pControl->SetManager(pManager, nullptr, false);
        if (const char* pstrDefaults = pManager->GetClassDefaults(pstrTag))
            pControl->ApplyAttributeList(pstrDefaults);
    }
    const int nCount = node.AttrCount();
    for (int i = 0; i < nCount; ++i)
        pControl->ApplyAttribute(node.AttrName(i), node.AttrValue(i));
}

bool CSkinBuilder::BuildTreeNode(CSkinMarkupNode node, CControlUI* pParent, CPaintManagerUI* pManager)
{
    auto* pParentNode = pParent != nullptr ? static_cast<CTreeNodeUI*>(pParent->GetInterface("TreeNode")) : nullptr;
    auto* pNode = new CTreeNodeUI;
    if (pParentNode != nullptr && !pParentNode->GetItemContainer()->AddItem(pNode)) {
        delete pNode;
        return true;
    }
    // Tree nodes keep their manager.
    ApplyAttributes(node, pNode, pManager, "TreeNode");
    if (node.HasChild())
        BuildChildren(node, pNode, pManager);
    if (pParentNode != nullptr)
        return true;

    auto* pTreeView = pParent != nullptr ? static_cast<CTreeViewUI*>(pParent->GetInterface("TreeView")) : nullptr;
    UIASSERT(pTreeView);
    if (pTreeView == nullptr) {
        delete pNode;
        return false;
    }
    if (!pTreeView->AddNode(pNode))
        delete pNode;
    return true;
}

void CSkinBuilder::BuildInclude(CSkinMarkupNode node, CControlUI* pParent, CPaintManagerUI* pManager)
{
    if (!node.HasAttrs())
        return;
    int nCount = 1;
    if (node.HasAttr("count"))
        nCount = AttributeText::ParseInt(node.AttrValue("count"));
    char szSource[kMaxIncludeSource + 1] = {};
    if (!node.CopyAttrValue("source", szSource, kMaxIncludeSource))
        return;
    if (m_nIncludeDepth >= kMaxIncludeDepth) {
        TraceDebug("Include nested too deeply: %s", szSource);
        return;
    }
    for (int i = 0; i < nCount; ++i) {
        if (*m_pIncludeBudget <= 0) {
            TraceDebug("Include limit reached: %s", szSource);
            return;
        }
        --*m_pIncludeBudget;
        CSkinBuilder builder(m_nIncludeDepth + 1, m_pIncludeBudget);
        CControlUI* pIncluded = nullptr;
        if (m_bFromResource) {
            const unsigned long uId = std::strtoul(szSource, nullptr, 10) % 65536;
            pIncluded = builder.Build(CUIResName(static_cast<unsigned int>(uId)), ResourceType(), m_pCallback, pManager,
                                      pParent);
        } else {
            pIncluded = builder.Build(szSource, nullptr, m_pCallback, pManager, pParent);
        }
        // Included controls live in the parent; without one nothing could ever reach or delete them.
        if (pParent == nullptr)
            delete pIncluded;
    }
}

} // namespace SkinUI
