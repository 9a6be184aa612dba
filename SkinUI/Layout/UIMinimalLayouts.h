// Containers the skin builder knows by tag but the installer's skin never uses: the tile and child layouts,
// the list and its header (a vertical and a horizontal layout), the list's container element, and the tree
// view with its nodes. They are reduced to what building them needs: construction, a class name and
// interface key, the common attributes of their base and a child list. A tree view takes tree nodes; a tree
// node keeps its items in its own child list.
#pragma once

#include "SkinUI/Core/UIContainer.h"
#include "SkinUI/Layout/UILinearLayout.h"

namespace SkinUI {

class CTileLayoutUI : public CContainerUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CChildLayoutUI : public CContainerUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CListUI : public CVerticalLayoutUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CListHeaderUI : public CHorizontalLayoutUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CListContainerElementUI : public CContainerUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CTreeNodeUI : public CListContainerElementUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    // Where the node's items (nested nodes and other controls) go.
    IContainerUI* GetItemContainer();
};

class CTreeViewUI : public CListUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    // Takes ownership on success, like AddItem.
    bool AddNode(CTreeNodeUI* pNode);
};

} // namespace SkinUI
