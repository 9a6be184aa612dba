// Controls the skin builder knows by tag but the installer's skin never uses (list and its parts, combo,
// tree, date-time, slider, ActiveX host, web browser, tile and child layouts), reduced to what building
// them needs: construction, a class name and interface key, the common attributes of their base, and for
// the container-like ones a child list. A tree view takes tree nodes; a tree node keeps its items in its
// own child list.
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

class CSliderUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CComboUI : public CContainerUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CComboBoxUI : public CComboUI
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

class CListHeaderItemUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CListLabelElementUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CListTextElementUI : public CListLabelElementUI
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

class CDateTimeUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CActiveXUI : public CControlUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

class CWebBrowserUI : public CActiveXUI
{
public:
    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
};

} // namespace SkinUI
