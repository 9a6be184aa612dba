// The containers known to the builder only: class names, interface keys and child lists.
#include "SkinUI/Layout/UIMinimalLayouts.h"

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

IContainerUI* CTreeNodeUI::GetItemContainer()
{
    return this;
}

bool CTreeViewUI::AddNode(CTreeNodeUI* pNode)
{
    return AddItem(pNode);
}

} // namespace SkinUI
