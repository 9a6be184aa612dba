// The controls known to the builder only: class names and interface keys.
#include "SkinUI/Control/UIMinimalControls.h"

#include <cstring>

namespace SkinUI {

namespace {

bool IsKey(const char* pstrName, const char* pstrKey)
{
    return pstrName != nullptr && std::strcmp(pstrName, pstrKey) == 0;
}

} // namespace

CUIString CTileLayoutUI::GetClassName() const
{
    return "TileLayoutUI";
}

void* CTileLayoutUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "TileLayout") ? this : CContainerUI::GetInterface(pstrName);
}

CUIString CChildLayoutUI::GetClassName() const
{
    return "ChildLayoutUI";
}

void* CChildLayoutUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ChildLayout") ? this : CContainerUI::GetInterface(pstrName);
}

CUIString CSliderUI::GetClassName() const
{
    return "SliderUI";
}

void* CSliderUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "Slider") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CComboUI::GetClassName() const
{
    return "ComboUI";
}

void* CComboUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "Combo") ? this : CContainerUI::GetInterface(pstrName);
}

CUIString CComboBoxUI::GetClassName() const
{
    return "ComboBoxUI";
}

void* CComboBoxUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ComboBox") ? this : CComboUI::GetInterface(pstrName);
}

CUIString CListUI::GetClassName() const
{
    return "ListUI";
}

void* CListUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "List") ? this : CVerticalLayoutUI::GetInterface(pstrName);
}

CUIString CListHeaderUI::GetClassName() const
{
    return "ListHeaderUI";
}

void* CListHeaderUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ListHeader") ? this : CHorizontalLayoutUI::GetInterface(pstrName);
}

CUIString CListHeaderItemUI::GetClassName() const
{
    return "ListHeaderItemUI";
}

void* CListHeaderItemUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ListHeaderItem") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CListLabelElementUI::GetClassName() const
{
    return "ListLabelElementUI";
}

void* CListLabelElementUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ListLabelElement") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CListTextElementUI::GetClassName() const
{
    return "ListTextElementUI";
}

void* CListTextElementUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ListTextElement") ? this : CListLabelElementUI::GetInterface(pstrName);
}

CUIString CListContainerElementUI::GetClassName() const
{
    return "ListContainerElementUI";
}

void* CListContainerElementUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ListContainerElement") ? this : CContainerUI::GetInterface(pstrName);
}

CUIString CTreeNodeUI::GetClassName() const
{
    return "TreeNodeUI";
}

void* CTreeNodeUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "TreeNode") ? this : CListContainerElementUI::GetInterface(pstrName);
}

CUIString CTreeViewUI::GetClassName() const
{
    return "TreeViewUI";
}

void* CTreeViewUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "TreeView") ? this : CListUI::GetInterface(pstrName);
}

CUIString CDateTimeUI::GetClassName() const
{
    return "DateTimeUI";
}

void* CDateTimeUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "DateTime") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CActiveXUI::GetClassName() const
{
    return "ActiveXUI";
}

void* CActiveXUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "ActiveX") ? this : CControlUI::GetInterface(pstrName);
}

CUIString CWebBrowserUI::GetClassName() const
{
    return "WebBrowserUI";
}

void* CWebBrowserUI::GetInterface(const char* pstrName)
{
    return IsKey(pstrName, "WebBrowser") ? this : CActiveXUI::GetInterface(pstrName);
}

IContainerUI* CTreeNodeUI::GetItemContainer()
{
    return this;
}

bool CTreeViewUI::AddNode(CTreeNodeUI* pNode)
{
    return AddItem(pNode);
}

} // namespace SkinUI
